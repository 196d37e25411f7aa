// A list file read one record at a time from an open file, through the same record parse as a
// whole buffer.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "entry_list_impl.h"
#include "entrylist/errors.h"
#include "entrylist/list_parse.h"
#include "list_parse_internal.h"

namespace pallomar {

using listparse::kCtrlZ;
using listparse::NoteTaker;
using listparse::ReadRecord;
using listparse::ReadVersion;
using listparse::StopScanner;

struct ListRecordStream::State {
  State(FileSystem& f, FileHandle file, ListNotes* n) : fs(f), h(file), notes(n), taker(n) {}
  ~State() { std::free(buf); }

  FileSystem& fs;
  FileHandle h;
  ListNotes* notes;
  NoteTaker taker;
  char* buf = nullptr;
  std::size_t cap = 0;
  std::size_t at = 0;       // the read position in `buf`
  std::size_t used = 0;     // bytes in `buf`
  std::uint64_t base = 0;   // the file offset of buf[0]
  std::uint64_t total = 0;  // bytes read from the file
  bool eof = false;
  bool done = false;
  bool empty = false;
  std::size_t entry = 0;       // the record the next step reads
  std::uint64_t recordAt = 0;  // where the last record read began
  EntryList record;
  std::string firstLine;

  // Reads one more piece, moving what is still to read to the front first.
  void ReadMore() {
    if (at != 0) {
      std::memmove(buf, buf + at, used - at);
      used -= at;
      base += at;
      at = 0;
    }
    if (used == cap) {
      // realloc: the C library can move a big buffer by remapping its pages, not copying them.
      const std::size_t bigger = cap == 0 ? kFirstPiece : cap * 2;
      char* const grown = static_cast<char*>(std::realloc(buf, bigger));
      if (grown == nullptr) throw std::bad_alloc();
      buf = grown;
      cap = bigger;
    }
    std::size_t got = 0;
    if (const int e = fs.Read(h, buf + used, std::min(cap - used, kReadPiece), got)) {
      throw EInOutError(e);
    }
    used += got;
    total += got;
    if (notes != nullptr) notes->size = total;
    if (got == 0) eof = true;
  }

  // Makes the buffer hold `lines` whole lines from the read position and the byte after them,
  // or everything up to the end of the file.
  void Hold(int lines) {
    std::size_t scanned = at;
    int seen = 0;
    for (;;) {
      while (seen < lines && scanned < used) {
        const void* lf = std::memchr(buf + scanned, '\n', used - scanned);
        if (lf == nullptr) {
          scanned = used;
          break;
        }
        scanned = static_cast<std::size_t>(static_cast<const char*>(lf) - buf) + 1;
        ++seen;
      }
      if ((seen == lines && scanned < used) || eof) return;
      const std::size_t before = at;
      ReadMore();
      scanned -= before - at;
    }
  }

  static constexpr std::size_t kFirstPiece = 64 * 1024;
  static constexpr std::size_t kReadPiece = 1 << 20;
};

ListRecordStream::ListRecordStream(FileSystem& fs, FileHandle h, ListNotes* notes)
    : state_(std::make_unique<State>(fs, h, notes)) {}

ListRecordStream::~ListRecordStream() = default;

ListFileReadResult ListRecordStream::Start() {
  State& s = *state_;
  s.Hold(1);
  char* r = s.buf + s.at;
  char* const end = s.buf + s.used;
  // The first line is kept even without notes: a message may quote it.
  ListNotes own;
  NoteTaker ownTaker(&own);
  const bool accepted = s.notes != nullptr ? ReadVersion(r, end, s.taker, s.notes, true)
                                           : ReadVersion(r, end, ownTaker, &own, true);
  s.firstLine = s.notes != nullptr ? s.notes->firstLine : own.firstLine;
  if (!accepted) {
    s.done = true;
    return ListFileReadResult::HeaderNotAccepted;
  }
  s.at = static_cast<std::size_t>(r - s.buf);
  // Whether anything follows the version line: the bytes after it are in the buffer already.
  s.empty = s.at == s.used && s.eof;
  return ListFileReadResult::Loaded;
}

bool ListRecordStream::Next() {
  State& s = *state_;
  if (s.notes != nullptr) s.notes->items.clear();
  if (s.done) return false;
  s.Hold(kFieldCount);
  if (s.entry != 0 && (s.at == s.used || s.buf[s.at] == kCtrlZ)) {
    s.done = true;
    if (s.at != s.used && s.notes != nullptr) {
      // The rest of the file is counted, not kept.
      std::uint64_t rest = s.used - s.at;
      s.at = s.used;
      while (!s.eof) {
        const std::size_t before = s.used;
        s.ReadMore();
        rest += s.used - before;
        s.at = s.used;
      }
      s.taker.Add(ListNoteKind::CtrlZTail, kWholeFile, static_cast<std::size_t>(rest));
    }
    return false;
  }
  char* r = s.buf + s.at;
  char* const end = s.buf + s.used;
  StopScanner scan(end);
  Row row;
  s.recordAt = s.base + s.at;
  ReadRecord(r, end, scan, s.taker, s.entry, true, row);
  s.at = static_cast<std::size_t>(r - s.buf);
  EntryList::Impl& impl = EntryListAccess::Of(s.record);
  impl.rows.assign(1, row);
  ++s.entry;
  // The reader's last record ends the file; so does a step that reached its end.
  if (s.at == s.used && s.eof) s.done = true;
  return true;
}

const EntryList& ListRecordStream::Record() const { return state_->record; }
std::size_t ListRecordStream::Entry() const { return state_->entry - 1; }
std::uint64_t ListRecordStream::RecordOffset() const { return state_->recordAt; }
bool ListRecordStream::NothingAfterVersion() const { return state_->empty; }
const std::string& ListRecordStream::FirstLine() const { return state_->firstLine; }
std::uint64_t ListRecordStream::ReadPosition() const { return state_->base + state_->used; }

void ListRecordStream::SeekRecord(std::uint64_t offset, std::size_t entry) {
  State& s = *state_;
  if (const int e = s.fs.Seek(s.h, offset)) throw EInOutError(e);
  s.at = s.used = 0;
  s.base = offset;
  s.eof = s.done = false;
  s.entry = entry;
}

}  // namespace pallomar
