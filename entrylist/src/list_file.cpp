#include "entrylist/list_file.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "entry_list_impl.h"
#include "entrylist/file_system.h"
#include "list_file_internal.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PALLOMAR_SSE2 1
#endif

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pallomar {

namespace {

// Big buffers are filled once from end to end: on Linux, ask for huge pages for the untouched
// memory so that filling them costs a few hundred page faults instead of tens of thousands.
void AdviseHugePages([[maybe_unused]] void* p, [[maybe_unused]] std::size_t n) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (n < 2 * kHuge) return;
  const auto from = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
  const auto to = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(kHuge - 1);
  if (to > from) (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

constexpr char kCtrlZ = 0x1A;
constexpr std::size_t kReadPiece = 4u << 20;
constexpr std::string_view kCrLf = "\r\n";

// The first LF, CR or NUL in [p, end), or end.
const char* FindSpecial(const char* p, const char* end) {
#ifdef PALLOMAR_SSE2
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i zero = _mm_setzero_si128();
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)),
                                     _mm_cmpeq_epi8(v, zero));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  for (; p < end; ++p) {
    if (*p == '\n' || *p == '\r' || *p == '\0') return p;
  }
  return end;
}

std::size_t CountLineFeeds(const char* p, const char* end) {
  std::size_t count = 0;
#ifdef PALLOMAR_SSE2
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    // Byte counters overflow after 255 rounds: fold them into the total before that.
    __m128i acc = _mm_setzero_si128();
    for (int round = 0; round < 255 && end - p >= 16; ++round, p += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(v, lf));
    }
    const __m128i sums = _mm_sad_epu8(acc, _mm_setzero_si128());
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
#endif
  for (; p < end; ++p) count += *p == '\n' ? 1 : 0;
  return count;
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
#ifdef PALLOMAR_SSE2
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i zero = _mm_setzero_si128();
  while (end - r >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)),
                                     _mm_cmpeq_epi8(v, zero));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) {
      const auto k = static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
      if (move) CopyDownSmall(w, r, k);
      w += k;
      return r + k;
    }
    if (move) _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
    w += 16;
    r += 16;
  }
#endif
  char* const q = const_cast<char*>(FindSpecial(r, end));
  const auto n = static_cast<std::size_t>(q - r);
  if (move && n != 0) std::memmove(w, r, n);
  w += n;
  return q;
}

// Reads one line at `r`: its value goes to `w` (never past `r`), CRs dropped and cut at the
// first NUL; `r` moves past the LF. At the end of the data every line reads empty.
std::uint32_t ReadLine(char*& r, char* end, char*& w, bool& terminated) {
  char* const start = w;
  bool cut = false;
  terminated = false;
  while (r < end) {
    char* q;
    if (cut) {
      q = const_cast<char*>(FindSpecial(r, end));
    } else {
      q = ScanAndMove(r, end, w);
    }
    r = q;
    if (q == end) break;
    const char c = *q;
    ++r;
    if (c == '\n') {
      terminated = true;
      break;
    }
    if (c == '\r') {
      if (r < end && *r == '\n') {
        ++r;
        terminated = true;
        break;
      }
    } else {
      cut = true;  // NUL
    }
  }
  const auto n = static_cast<std::size_t>(w - start);
  if (n > rowtag::kMaxBytes) throw std::length_error("list file line too long");
  return static_cast<std::uint32_t>(n);
}

bool Equals(const char* p, std::uint32_t n, std::string_view s) {
  return n == s.size() && std::memcmp(p, s.data(), n) == 0;
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
#ifdef PALLOMAR_SSE2
    for (;;) {
      if (base_ != nullptr && from >= base_ && from < base_ + 64) {
        const std::uint64_t m = mask_ & (~0ull << (from - base_));
        if (m != 0) return base_ + __builtin_ctzll(m);
        if (end_ - base_ <= 64) return end_;
        from = base_ + 64;
      }
      if (end_ - from < 64) {
        base_ = nullptr;
        return FindSpecial(from, end_);
      }
      Load(from);
    }
#else
    return FindSpecial(from, end_);
#endif
  }

 private:
#ifdef PALLOMAR_SSE2
  void Load(const char* p) {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
      const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)),
                                       _mm_cmpeq_epi8(v, zero));
      mask |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << (16 * i);
    }
    base_ = p;
    mask_ = mask;
  }
#endif

  const char* end_;
  const char* base_ = nullptr;
  std::uint64_t mask_ = 0;
};

// Takes the record at `r` as it lies in the buffer when its five lines all end alike (LF, or
// CR LF) and hold no CR or NUL: the usual case, which moves no byte. False leaves `r` as it was.
bool TakeInPlace(char*& r, char* end, StopScanner& scan, Row& row) {
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
  r = p;
  return true;
}

// Buffers the file's bytes and hands them on in pieces of about 1 MiB.
class Output {
 public:
  explicit Output(const std::function<int(const char*, std::size_t)>& sink)
      : sink_(sink), buf_(new char[kSize]) {}

  bool Line(std::string_view s) {
    if (s.size() + 2 > kSize - used_) {
      if (!Drain()) return false;
      if (s.size() + 2 > kSize) {
        error_ = sink_(s.data(), s.size());
        if (error_ != 0) return false;
        s = {};
      }
    }
    if (!s.empty()) std::memcpy(buf_.get() + used_, s.data(), s.size());
    used_ += s.size();
    buf_[used_++] = '\r';
    buf_[used_++] = '\n';
    return true;
  }

  // Appends `n` bytes as they are, when they fit in the buffer at all.
  bool Raw(const char* p, std::size_t n) {
    if (n > kSize - used_ && !Drain()) return false;
    std::memcpy(buf_.get() + used_, p, n);
    used_ += n;
    return true;
  }

  // Room for `n` <= kSize bytes, which the caller fills; null after a failed drain.
  char* Take(std::size_t n) {
    if (n > kSize - used_ && !Drain()) return nullptr;
    char* at = buf_.get() + used_;
    used_ += n;
    return at;
  }

  static constexpr std::size_t kSize = 1 << 20;

  bool Drain() {
    if (used_ == 0) return true;
    error_ = sink_(buf_.get(), used_);
    used_ = 0;
    return error_ == 0;
  }

  int Error() const { return error_; }

 private:
  const std::function<int(const char*, std::size_t)>& sink_;
  std::unique_ptr<char[]> buf_;
  std::size_t used_ = 0;
  int error_ = 0;
};

// A name of fixed, short length, so that every target whose name fits has a temporary name
// that fits beside it too.
std::string TemporaryName(const std::string& target, int attempt) {
  static unsigned counter = 0;
  const auto now =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  unsigned long long mix = now ^ (static_cast<unsigned long long>(++counter) << 40) ^
                           (reinterpret_cast<std::uintptr_t>(&target) << 8) ^
                           static_cast<unsigned long long>(attempt);
  mix *= 0x9E3779B97F4A7C15ull;
  static const char kHex[] = "0123456789abcdef";
  std::string name = "~plw";
  for (int i = 0; i < 8; ++i) name += kHex[(mix >> (60 - 4 * i)) & 0xF];
  name += ".tmp";
  return name;
}

std::function<int(const char*, std::size_t)> WriterTo(FileSystem& fs, FileHandle h) {
  return [&fs, h](const char* p, std::size_t n) { return fs.Write(h, p, n); };
}

// The whole content of an open file, from its start.
int ReadAll(FileSystem& fs, FileHandle h, std::string& out) {
  std::uint64_t size = 0;
  if (const int e = fs.Size(h, size)) return e;
  if (size > SIZE_MAX / 2) throw std::length_error("list file too large");
  out.reserve(static_cast<std::size_t>(size));
  char piece[65536];
  for (;;) {
    std::size_t got = 0;
    if (const int e = fs.Read(h, piece, sizeof piece, got)) return e;
    if (got == 0) return 0;
    out.append(piece, got);
  }
}

// After a failed step of the in-place rewrite: the earlier bytes go back over whatever reached
// the file and the earlier length is restored. Best effort: the step's own error is the one
// reported.
void PutBack(FileSystem& fs, FileHandle h, const std::string& old, bool written) {
  if (written && fs.Seek(h, 0) == 0) (void)fs.Write(h, old.data(), old.size());
  (void)fs.SetLength(h, old.size());
  (void)fs.Flush(h);
}

// Rewrites an existing file in place for when no new file can be made beside it, or when it
// has more than one name. It is never shorter or cut before all the new bytes are in it: the
// room for the longer of the two lists is taken first, the new bytes overwrite from the start
// and are flushed, and only then is the file cut to the new length.
void RewriteInPlace(FileSystem& fs, const std::string& path, const EntryList& list) {
  FileHandle h{};
  if (const int e = fs.OpenForRewrite(path, h)) throw EInOutError(e);
  std::string old;
  int readError = 0;
  try {
    readError = ReadAll(fs, h, old);
  } catch (...) {
    fs.Close(h);
    throw;
  }
  if (readError != 0) {
    fs.Close(h);
    throw EInOutError(readError);
  }
  std::uint64_t length = 0;
  listfile::Serialize(list, [&](const char*, std::size_t n) {
    length += n;
    return 0;
  });
  bool written = false;
  int e = 0;
  try {
    e = fs.Reserve(h, std::max<std::uint64_t>(length, old.size()));
    if (e == 0) e = fs.Seek(h, 0);
    if (e == 0) {
      written = true;
      e = listfile::Serialize(list, WriterTo(fs, h));
    }
    if (e == 0) e = fs.Flush(h);
    if (e == 0) e = fs.SetLength(h, length);
    if (e == 0) e = fs.Flush(h);
  } catch (...) {
    PutBack(fs, h, old, written);
    fs.Close(h);
    throw;
  }
  if (e != 0) {
    PutBack(fs, h, old, written);
    fs.Close(h);
    throw EInOutError(e);
  }
  if (const int ce = fs.Close(h)) {
    // A failure is reported, so the file must not hold the new list: put the earlier back.
    FileHandle again{};
    if (fs.OpenForRewrite(path, again) == 0) {
      PutBack(fs, again, old, true);
      fs.Close(again);
    }
    throw EInOutError(ce);
  }
}

}  // namespace

namespace listfile {

ListFileReadResult Parse(std::unique_ptr<char[]> bytes, std::size_t size, bool complete,
                         EntryList& list, std::size_t lineFeeds) {
  char* const begin = bytes.get();
  char* const end = begin + size;
  char* r = begin;
  char* w = begin;
  bool terminated = false;
  const std::uint32_t n = ReadLine(r, end, w, terminated);
  if (!complete && !terminated) return ListFileReadResult::HeaderNotAccepted;
  if (!(Equals(begin, n, "100") || Equals(begin, n, "101") || Equals(begin, n, "102"))) {
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
  if (lineFeeds == listfile::kUnknown) lineFeeds = CountLineFeeds(r, end);
  impl.rows.reserve(impl.rows.size() + lineFeeds / 5 + 1);
  AdviseHugePages(impl.rows.data() + impl.rows.size(),
                  (impl.rows.capacity() - impl.rows.size()) * sizeof(Row));

  StopScanner scan(end);
  do {
    Row row;
    if (TakeInPlace(r, end, scan, row)) {
      impl.rows.push_back(row);
      continue;
    }
    scan.Reset();
    // Otherwise the record's values are moved together at its own start, over the dropped
    // bytes; the row is then its base and five lengths with no gaps.
    row.base = r;
    row.gap = 0;
    w = r;
    row.len[kPath] = ReadLine(r, end, w, terminated);
    for (int f : {kParams, kFolder}) {
      char* const at = w;
      const std::uint32_t len = ReadLine(r, end, w, terminated);
      if (len == 0 || Equals(at, len, kDummyMarker)) {
        row.len[f] = rowtag::kDummy;
        w = at;
      } else {
        row.len[f] = len;
      }
    }
    char* at = w;
    std::uint32_t len = ReadLine(r, end, w, terminated);
    if (Equals(at, len, "0") || Equals(at, len, "1")) {
      row.len[kWindowState] = *at == '0' ? rowtag::kZero : rowtag::kOne;
      w = at;
    } else {
      row.len[kWindowState] = len;
    }
    at = w;
    len = ReadLine(r, end, w, terminated);
    row.len[kRunCheck] = Equals(at, len, "True") ? rowtag::kOne : rowtag::kZero;
    // A record cut short by a read failure is dropped whole.
    if (!complete && !terminated) break;
    impl.rows.push_back(row);
  } while (r != end && *r != kCtrlZ);
  return ListFileReadResult::Loaded;
}

// A row whose first four texts, each followed by its CR LF, are in the buffer exactly as they
// are to be written: parameters and folder hold no literal marker (7 bytes) and take no
// constant other than the empty line's marker.
bool WritesAsItLies(const Row& row) {
  if (row.gap != 2 || rowtag::IsConstant(row.len[kPath]) ||
      rowtag::IsConstant(row.len[kWindowState])) {
    return false;
  }
  for (int f : {kParams, kFolder}) {
    const std::uint32_t len = row.len[f];
    if (len == kDummyMarker.size() || (rowtag::IsConstant(len) && len != rowtag::kDummy)) {
      return false;
    }
  }
  return true;
}

int Serialize(const EntryList& list, const std::function<int(const char*, std::size_t)>& sink) {
  Output out(sink);
  if (!out.Line("102")) return out.Error();
  const EntryList::Impl* impl = EntryListAccess::Peek(list);
  if (impl == nullptr) {
    out.Drain();
    return out.Error();
  }
  for (const Row& row : impl->rows) {
    const bool off = row.len[kRunCheck] == rowtag::kZero ||
                     (row.len[kRunCheck] == 1 && FieldStart(row, kRunCheck)[0] == '0');
    const std::string_view flag = off ? "False\r\n" : "True\r\n";
    // A record loaded as it lay, CR LF ends and no literal marker, is written from its own
    // bytes: the first four lines there are exactly the lines to write.
    if (WritesAsItLies(row)) {
      const std::size_t n = static_cast<std::size_t>(FieldStart(row, kRunCheck) - row.base);
      if (n + flag.size() <= Output::kSize) {
        if (!out.Raw(row.base, n) || !out.Raw(flag.data(), flag.size())) return out.Error();
        continue;
      }
    }
    std::string_view v[kRunCheck];
    std::size_t need = flag.size() + 2 * kRunCheck;
    const char* p = row.base;
    for (int f = 0; f < kRunCheck; ++f) {
      const std::uint32_t len = row.len[f];
      if (rowtag::IsConstant(len)) {
        v[f] = rowtag::ConstantText(len);
      } else {
        v[f] = {p, len};
        p += len;
      }
      p += row.gap;
      if ((f == kParams || f == kFolder) && v[f] == kDummyMarker) v[f] = {};
      need += v[f].size();
    }
    if (need <= Output::kSize) {
      // The whole record in one piece of the buffer.
      char* o = out.Take(need);
      if (o == nullptr) return out.Error();
      for (const std::string_view& text : v) {
        if (!text.empty()) std::memcpy(o, text.data(), text.size());
        o += text.size();
        *o++ = '\r';
        *o++ = '\n';
      }
      std::memcpy(o, flag.data(), flag.size());
      continue;
    }
    for (const std::string_view& text : v) {
      if (!out.Line(text)) return out.Error();
    }
    if (!out.Raw(flag.data(), flag.size())) return out.Error();
  }
  out.Drain();
  return out.Error();
}

std::string ToBytes(const EntryList& list) {
  std::string bytes;
  Serialize(list, [&](const char* p, std::size_t n) {
    bytes.append(p, n);
    return 0;
  });
  return bytes;
}

}  // namespace listfile

ListFileReadResult ReadListFile(const std::string& path, EntryList& list, FileSystem& fs) {
  FileHandle h{};
  if (const int e = fs.OpenRead(path, h)) throw EInOutError(e);
  std::unique_ptr<char[]> buf;
  std::size_t used = 0;
  std::size_t lineFeeds = 0;
  int readError = 0;
  try {
    std::uint64_t size = 0;
    readError = fs.Size(h, size);
    if (readError == 0) {
      if (size > SIZE_MAX / 2) throw std::length_error("list file too large");
      // Straight into the buffer the list keeps: the bytes are held once.
      std::size_t capacity = static_cast<std::size_t>(size);
      buf.reset(new char[capacity]);
      AdviseHugePages(buf.get(), capacity);
      for (;;) {
        std::size_t got = 0;
        if (used == capacity) {
          // Full: the end of the file is expected. Only if the file grew since its size was
          // asked is the buffer enlarged, never merely to find the end.
          char probe[4096];
          readError = fs.Read(h, probe, sizeof probe, got);
          if (readError != 0 || got == 0) break;
          const std::size_t more = std::max<std::size_t>(capacity / 2, 65536);
          std::unique_ptr<char[]> bigger(new char[capacity + more]);
          if (used != 0) std::memcpy(bigger.get(), buf.get(), used);
          std::memcpy(bigger.get() + used, probe, got);
          buf = std::move(bigger);
          capacity += more;
        } else {
          // Pieces small enough to be counted while they are still in the cache.
          readError = fs.Read(h, buf.get() + used, std::min(capacity - used, kReadPiece), got);
          if (readError != 0 || got == 0) break;
        }
        lineFeeds += CountLineFeeds(buf.get() + used, buf.get() + used + got);
        used += got;
      }
    }
  } catch (...) {
    fs.Close(h);
    throw;
  }
  const int closeError = fs.Close(h);
  const ListFileReadResult result =
      listfile::Parse(std::move(buf), used, readError == 0, list, lineFeeds);
  if (readError != 0) throw EInOutError(readError);
  if (closeError != 0) throw EInOutError(closeError);
  return result;
}

void WriteListFile(const std::string& path, const EntryList& list, FileSystem& fs) {
  TargetState state;
  if (const int e = fs.ProbeTarget(path, state)) throw EInOutError(e);
  const std::string& target = state.linked.empty() ? path : state.linked;
  // Replacing one name of a file with several would part it from the others.
  if (state.exists && state.links > 1) {
    RewriteInPlace(fs, target, list);
    return;
  }

  std::string temp;
  FileHandle h{};
  int e = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = fs.Beside(target, TemporaryName(target, attempt));
    e = fs.CreateNew(temp, state, h);
    if (e != FileSystem::kAlreadyExists) break;
  }
  if (e != 0) {
    // A folder where the list may be written but no file made: the safe in-place rewrite.
    if (!state.exists) throw EInOutError(e);
    RewriteInPlace(fs, target, list);
    return;
  }
  try {
    e = listfile::Serialize(list, WriterTo(fs, h));
  } catch (...) {
    fs.Close(h);
    fs.Remove(temp);
    throw;
  }
  if (e == 0) e = fs.Flush(h);
  if (const int ce = fs.Close(h)) e = ce;
  if (e == 0) e = fs.Replace(temp, target, state);
  if (e != 0) {
    fs.Remove(temp);
    throw EInOutError(e);
  }
}

bool FileExists(const std::string& path, FileSystem& fs) { return fs.IsFile(path); }

}  // namespace pallomar
