#include "entrylist/list_parse.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "entry_list_impl.h"
#include "entrylist/errors.h"
#include "line_scan.h"
#include "list_file_internal.h"

namespace pallomar {

namespace {

using linescan::FindStop;
using linescan::kBlock;

constexpr char kCtrlZ = 0x1A;

bool Equals(const char* p, std::uint32_t n, std::string_view s) {
  return n == s.size() && std::memcmp(p, s.data(), n) == 0;
}

// Copies `n` < 16 bytes from `src` down to `dst` (dst < src, ranges may overlap): every load
// comes before the stores it could meet.
inline void CopyDownSmall(char* dst, const char* src, std::size_t n) {
  if (n >= 8) {
    std::uint64_t a, b;
    std::memcpy(&a, src, 8);
    std::memcpy(&b, src + n - 8, 8);
    std::memcpy(dst, &a, 8);
    std::memcpy(dst + n - 8, &b, 8);
  } else if (n >= 4) {
    std::uint32_t a, b;
    std::memcpy(&a, src, 4);
    std::memcpy(&b, src + n - 4, 4);
    std::memcpy(dst, &a, 4);
    std::memcpy(dst + n - 4, &b, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
  }
}

// Scans from `r` for the first LF, CR or NUL (or `end`) and moves the bytes before it down to
// `w` in the same pass; returns where the scan stopped. A block is stored whole only when it
// holds no stop byte, and a store at `w` < `r` only reaches bytes already loaded, so nothing
// unread is overwritten.
char* ScanAndMove(char* r, char* end, char*& w) {
  const bool move = w != r;
  while (end - r >= static_cast<std::ptrdiff_t>(kBlock)) {
    char block[kBlock];
    std::memcpy(block, r, kBlock);
    if (const std::uint32_t bits = linescan::StopBits(block)) {
      const auto k = static_cast<std::size_t>(std::countr_zero(bits));
      if (move) CopyDownSmall(w, r, k);
      w += k;
      return r + k;
    }
    if (move) std::memcpy(w, block, kBlock);
    w += kBlock;
    r += kBlock;
  }
  char* const q = const_cast<char*>(FindStop(r, end));
  const auto n = static_cast<std::size_t>(q - r);
  if (move && n != 0) std::memmove(w, r, n);
  w += n;
  return q;
}

// What reading one line met on the way.
struct LineInfo {
  bool present = false;     // the line was in the file (not read past its end)
  bool terminated = false;  // it ended with LF or CR LF
  bool lfOnly = false;
  bool loneCr = false;
  bool nul = false;
};

// Reads one line at `r`: its value goes to `w` (never past `r`), CRs dropped and cut at the
// first NUL; `r` moves past the LF. At the end of the data every line reads empty.
std::uint32_t ReadLine(char*& r, char* end, char*& w, LineInfo& info) {
  info = LineInfo{};
  info.present = r < end;
  char* const start = w;
  bool cut = false;
  while (r < end) {
    char* const q = cut ? const_cast<char*>(FindStop(r, end)) : ScanAndMove(r, end, w);
    r = q;
    if (q == end) break;
    const char c = *q;
    ++r;
    if (c == '\n') {
      info.terminated = true;
      info.lfOnly = true;
      break;
    }
    if (c == '\r') {
      if (r < end && *r == '\n') {
        ++r;
        info.terminated = true;
        break;
      }
      info.loneCr = true;
    } else {
      cut = true;  // NUL
      info.nul = true;
    }
  }
  const auto n = static_cast<std::size_t>(w - start);
  if (n > rowtag::kMaxBytes) throw ETooLongError(ETooLongError::What::ListFileLine);
  return static_cast<std::uint32_t>(n);
}

// Finds the stop bytes (LF, CR, NUL) of many short lines from one 64-byte window at a time,
// instead of scanning afresh for each line.
class StopScanner {
 public:
  explicit StopScanner(const char* end) : end_(end) {}

  // Forget the window: the bytes under it were moved.
  void Reset() { base_ = nullptr; }

  // The first stop byte at or after `from`, or the end.
  const char* Next(const char* from) {
    for (;;) {
      if (base_ != nullptr && from >= base_ && from < base_ + kWindow) {
        const std::uint64_t m = mask_ & (~0ull << (from - base_));
        if (m != 0) return base_ + std::countr_zero(m);
        if (end_ - base_ <= kWindow) return end_;
        from = base_ + kWindow;
      }
      if (end_ - from < kWindow) {
        base_ = nullptr;
        return FindStop(from, end_);
      }
      std::uint64_t mask = 0;
      for (std::size_t i = 0; i < kWindow / kBlock; ++i) {
        mask |= std::uint64_t{linescan::StopBits(from + kBlock * i)} << (kBlock * i);
      }
      base_ = from;
      mask_ = mask;
    }
  }

 private:
  static constexpr std::ptrdiff_t kWindow = 64;
  const char* end_;
  const char* base_ = nullptr;
  std::uint64_t mask_ = 0;
};

// Collects the notes, each line kind only once per file.
class NoteTaker {
 public:
  explicit NoteTaker(ListNotes* notes) : notes_(notes) {}
  bool On() const { return notes_ != nullptr; }

  void Add(ListNoteKind kind, std::size_t entry, std::size_t count = 0,
           std::string_view text = {}) {
    ListNote n{kind, entry, count, {}, false};
    n.text.assign(text.substr(0, kNoteTextBytes));
    n.textCut = text.size() > kNoteTextBytes;
    notes_->items.push_back(std::move(n));
  }
  void Line(const LineInfo& info, std::size_t entry) {
    if (info.loneCr) Once(loneCr_, ListNoteKind::LoneCr, entry);
    if (info.nul) Once(nul_, ListNoteKind::NulCut, entry);
    if (info.lfOnly) Once(lfOnly_, ListNoteKind::LfOnly, entry);
  }
  void LfOnly(std::size_t entry) { Once(lfOnly_, ListNoteKind::LfOnly, entry); }

 private:
  void Once(bool& done, ListNoteKind kind, std::size_t entry) {
    if (done) return;
    done = true;
    Add(kind, entry);
  }
  ListNotes* notes_;
  bool loneCr_ = false;
  bool nul_ = false;
  bool lfOnly_ = false;
};

// The notes on a record's parameters, folder and running-check lines, in that order.
void NoteFields(NoteTaker& notes, std::size_t entry, bool dummyParams, bool dummyFolder,
                std::string_view runCheck, bool runCheckPresent) {
  if (dummyParams) notes.Add(ListNoteKind::DummyParams, entry);
  if (dummyFolder) notes.Add(ListNoteKind::DummyFolder, entry);
  if (runCheckPresent && runCheck != "True" && runCheck != "False") {
    notes.Add(ListNoteKind::RunCheckText, entry, 0, runCheck);
  }
}

// Takes the record at `r` as it lies in the buffer when its five lines all end alike (LF, or
// CR LF) and hold no CR or NUL: the usual case, which moves no byte. False leaves `r` as it was.
bool TakeInPlace(char*& r, char* end, StopScanner& scan, Row& row, NoteTaker& notes,
                 std::size_t entry) {
  char* p = r;
  const char* start[kFieldCount];
  std::size_t len[kFieldCount];
  std::uint8_t gap = 0;
  for (int f = 0; f < kFieldCount; ++f) {
    const char* q = scan.Next(p);
    if (q == end) return false;
    std::uint8_t g;
    if (*q == '\n') {
      g = 1;
    } else if (*q == '\r' && q + 1 < end && q[1] == '\n') {
      g = 2;
    } else {
      return false;
    }
    if (f == 0) {
      gap = g;
    } else if (g != gap) {
      return false;
    }
    start[f] = p;
    len[f] = static_cast<std::size_t>(q - p);
    if (len[f] > rowtag::kMaxBytes) return false;
    p = const_cast<char*>(q) + g;
  }
  row.base = r;
  row.gap = gap;
  row.len[kPath] = static_cast<std::uint32_t>(len[kPath]);
  row.len[kParams] = len[kParams] == 0 ? rowtag::kDummy : static_cast<std::uint32_t>(len[kParams]);
  row.len[kFolder] = len[kFolder] == 0 ? rowtag::kDummy : static_cast<std::uint32_t>(len[kFolder]);
  row.len[kWindowState] = static_cast<std::uint32_t>(len[kWindowState]);
  row.len[kRunCheck] = Equals(start[kRunCheck], static_cast<std::uint32_t>(len[kRunCheck]), "True")
                           ? rowtag::kOne
                           : rowtag::kZero;
  if (notes.On()) {
    if (gap == 1) notes.LfOnly(entry);
    NoteFields(notes, entry, std::string_view(start[kParams], len[kParams]) == kDummyMarker,
               std::string_view(start[kFolder], len[kFolder]) == kDummyMarker,
               {start[kRunCheck], len[kRunCheck]}, true);
  }
  r = p;
  return true;
}

// Reads the version line at `r`; false when it is not one the reader accepts.
bool ReadVersion(char*& r, char* end, NoteTaker& notes, ListNotes* out, bool complete) {
  char* w = r;
  char* const begin = r;
  LineInfo info;
  const std::uint32_t n = ReadLine(r, end, w, info);
  const std::string_view version(begin, n);
  if (notes.On()) {
    out->firstLine.assign(version.substr(0, kNoteTextBytes));
    out->firstLineCut = version.size() > kNoteTextBytes;
    notes.Line(info, kWholeFile);
  }
  if (!complete && !info.terminated) return false;
  if (!IsAcceptedVersion(version)) return false;
  if (notes.On()) {
    if (version != kCurrentVersion) notes.Add(ListNoteKind::OlderVersion, kWholeFile);
    if (r == end) notes.Add(ListNoteKind::NoRecords, kWholeFile);
  }
  return true;
}

// Reads the record at `r` into `row`. False when a read failure cut it short (`complete`
// false): such a record is dropped whole.
bool ReadRecord(char*& r, char* end, StopScanner& scan, NoteTaker& notes, std::size_t entry,
                bool complete, Row& row) {
  if (TakeInPlace(r, end, scan, row, notes, entry)) return true;
  scan.Reset();
  // Otherwise the record's values are moved together at its own start, over the dropped
  // bytes; the row is then its base and five lengths with no gaps.
  LineInfo info;
  row.base = r;
  row.gap = 0;
  char* w = r;
  int present = 0;
  bool blank = true;
  const auto line = [&](char* at) {
    const std::uint32_t len = ReadLine(r, end, w, info);
    present += info.present ? 1 : 0;
    blank = blank && len == 0;
    if (notes.On()) notes.Line(info, entry);
    return std::string_view(at, len);
  };
  row.len[kPath] = static_cast<std::uint32_t>(line(w).size());
  // The next line's value may be written over a marker line's bytes: remember it now.
  bool markerLine[2] = {false, false};
  for (int f : {kParams, kFolder}) {
    char* const at = w;
    const std::string_view text = line(at);
    markerLine[f - kParams] = text == kDummyMarker;
    if (text.empty() || text == kDummyMarker) {
      row.len[f] = rowtag::kDummy;
      w = at;
    } else {
      row.len[f] = static_cast<std::uint32_t>(text.size());
    }
  }
  char* at = w;
  std::string_view text = line(at);
  if (text == "0" || text == "1") {
    row.len[kWindowState] = text[0] == '0' ? rowtag::kZero : rowtag::kOne;
    w = at;
  } else {
    row.len[kWindowState] = static_cast<std::uint32_t>(text.size());
  }
  at = w;
  text = line(at);
  row.len[kRunCheck] = text == "True" ? rowtag::kOne : rowtag::kZero;
  if (!complete && !info.terminated) return false;
  if (notes.On() && present != 0) {
    NoteFields(notes, entry, markerLine[0], markerLine[1], text, present == kFieldCount);
    if (present < kFieldCount) {
      notes.Add(blank ? ListNoteKind::BlankTail : ListNoteKind::CutRecord, entry,
                blank ? 0 : static_cast<std::size_t>(present));
    }
  }
  return true;
}

}  // namespace

bool IsAcceptedVersion(std::string_view line) {
  return line == "100" || line == "101" || line == kCurrentVersion;
}

ListFileReadResult ParseListBytes(std::unique_ptr<char[]> bytes, std::size_t size, EntryList& list,
                                  const ParseOptions& options) {
  char* const begin = bytes.get();
  char* const end = begin + size;
  char* r = begin;
  NoteTaker notes(options.notes);
  if (notes.On()) options.notes->size = size;
  if (!ReadVersion(r, end, notes, options.notes, options.complete)) {
    return ListFileReadResult::HeaderNotAccepted;
  }

  // The list owns the buffer before any row points into it.
  EntryList::Impl& impl = EntryListAccess::Of(list);
  if (impl.loaded) {
    impl.retired.push_back(std::move(impl.loaded));
    impl.retiredBytes += impl.loadedSize;
  }
  impl.loaded = std::move(bytes);
  impl.loadedSize = size;
  // Every record but the last takes five line feeds: the rows never grow past this.
  std::size_t lineFeeds = options.lineFeeds;
  if (lineFeeds == kUnknownLineFeeds) lineFeeds = linescan::CountLineFeeds(r, end);
  impl.rows.reserve(impl.rows.size() + lineFeeds / 5 + 1);
  AdviseHugePages(impl.rows.data() + impl.rows.size(),
                  (impl.rows.capacity() - impl.rows.size()) * sizeof(Row));

  StopScanner scan(end);
  std::size_t entry = 0;
  do {
    Row row;
    if (!ReadRecord(r, end, scan, notes, entry, options.complete, row)) break;
    impl.rows.push_back(row);
    ++entry;
  } while (r != end && *r != kCtrlZ);
  if (notes.On() && r != end) {
    notes.Add(ListNoteKind::CtrlZTail, kWholeFile, static_cast<std::size_t>(end - r));
  }
  return ListFileReadResult::Loaded;
}

// ---- one record at a time ----

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
