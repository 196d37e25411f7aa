#include "entrylist/list_parse.h"

#include <cstring>

#include "entry_list_impl.h"
#include "entrylist/entry_fields.h"
#include "entrylist/errors.h"
#include "line_scan.h"
#include "list_file_internal.h"
#include "list_parse_internal.h"

namespace pallomar {
namespace listparse {
namespace {

using linescan::FindStop;
using linescan::kBlock;

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

// The length line `text` of field `field` takes in a row: the tag of the constant it reads as,
// or its own size. An optional line that says none holds the marker, the running check is on
// only for its word, and a window state of "0" or "1" needs no bytes either.
inline std::uint32_t RowLength(int field, std::string_view text) {
  switch (field) {
    case kParams:
    case kFolder:
      if (IsNoneText(text)) return rowtag::kDummy;
      break;
    case kWindowState:
      if (text == "0") return rowtag::kZero;
      if (text == "1") return rowtag::kOne;
      break;
    case kRunCheck:
      return RunCheckFileWordOn(text) ? rowtag::kOne : rowtag::kZero;
    default:
      break;
  }
  return static_cast<std::uint32_t>(text.size());
}

// What the notes say of a record's own lines, taken as each is read: a value moved later may
// go over a marker line's bytes.
struct LineMarks {
  bool marker[2] = {false, false};  // the parameters, the folder line spells the marker
  std::string_view runCheck;

  void Mark(int field, std::string_view text) {
    if (field == kParams || field == kFolder) marker[field - kParams] = text == kDummyMarker;
    if (field == kRunCheck) runCheck = text;
  }
};

// The notes on a record's parameters, folder and running-check lines, in that order.
void NoteFields(NoteTaker& notes, std::size_t entry, const LineMarks& marks, bool runCheckPresent) {
  if (marks.marker[0]) notes.Add(ListNoteKind::DummyParams, entry);
  if (marks.marker[1]) notes.Add(ListNoteKind::DummyFolder, entry);
  if (runCheckPresent && !IsRunCheckFileWord(marks.runCheck)) {
    notes.Add(ListNoteKind::RunCheckText, entry, 0, marks.runCheck);
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
  // A constant takes no bytes, and here the row's texts are where they lie: a line becomes
  // one only where it lies empty, or as the last line, after which nothing is looked for.
  const auto length = [&](int f) {
    return len[f] == 0 || f == kRunCheck ? RowLength(f, {start[f], len[f]})
                                         : static_cast<std::uint32_t>(len[f]);
  };
  row.len[kPath] = length(kPath);
  row.len[kParams] = length(kParams);
  row.len[kFolder] = length(kFolder);
  row.len[kWindowState] = length(kWindowState);
  row.len[kRunCheck] = length(kRunCheck);
  if (notes.On()) {
    if (gap == 1) notes.LfOnly(entry);
    LineMarks marks;
    for (int f = 0; f < kFieldCount; ++f) marks.Mark(f, {start[f], len[f]});
    NoteFields(notes, entry, marks, true);
  }
  r = p;
  return true;
}

}  // namespace

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

namespace {

bool ParseRecord(char*& r, char* end, StopScanner& scan, NoteTaker& notes, std::size_t entry,
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
  LineMarks marks;
  for (int f = 0; f < kFieldCount; ++f) {
    char* const at = w;
    const std::uint32_t len = ReadLine(r, end, w, info);
    present += info.present ? 1 : 0;
    blank = blank && len == 0;
    if (notes.On()) notes.Line(info, entry);
    const std::string_view text(at, len);
    marks.Mark(f, text);
    row.len[f] = RowLength(f, text);
    // A constant's bytes are left out: the next value goes over them.
    if (rowtag::IsConstant(row.len[f])) w = at;
  }
  if (!complete && !info.terminated) return false;
  if (notes.On() && present != 0) {
    NoteFields(notes, entry, marks, present == kFieldCount);
    if (present < kFieldCount) {
      notes.Add(blank ? ListNoteKind::BlankTail : ListNoteKind::CutRecord, entry,
                blank ? 0 : static_cast<std::size_t>(present));
    }
  }
  return true;
}

}  // namespace

bool ReadRecord(char*& r, char* end, StopScanner& scan, NoteTaker& notes, std::size_t entry,
                bool complete, Row& row) {
  return ParseRecord(r, end, scan, notes, entry, complete, row);
}

}  // namespace listparse

bool IsAcceptedVersion(std::string_view line) {
  return line == "100" || line == "101" || line == kCurrentVersion;
}

using listparse::kCtrlZ;
using listparse::NoteTaker;
using listparse::ParseRecord;
using listparse::ReadVersion;
using listparse::StopScanner;

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
    if (!ParseRecord(r, end, scan, notes, entry, options.complete, row)) break;
    impl.rows.push_back(row);
    ++entry;
  } while (r != end && *r != kCtrlZ);
  if (notes.On() && r != end) {
    notes.Add(ListNoteKind::CtrlZTail, kWholeFile, static_cast<std::size_t>(end - r));
  }
  return ListFileReadResult::Loaded;
}

}  // namespace pallomar
