#include "entrylist/list_file.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "entry_list_impl.h"
#include "file_io.h"
#include "list_file_internal.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PALLOMAR_SSE2 1
#endif

namespace pallomar {

namespace {

constexpr char kCtrlZ = 0x1A;
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

// Reads one line at `r`: its value goes to `w` (never past `r`), CRs dropped and cut at the
// first NUL; `r` moves past the LF. At the end of the data every line reads empty.
std::uint32_t ReadLine(char*& r, char* end, char*& w, bool& terminated) {
  char* const start = w;
  bool cut = false;
  terminated = false;
  while (r < end) {
    char* q = const_cast<char*>(FindSpecial(r, end));
    if (!cut) {
      const auto n = static_cast<std::size_t>(q - r);
      if (w != r) std::memmove(w, r, n);
      w += n;
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

  bool Drain() {
    if (used_ == 0) return true;
    error_ = sink_(buf_.get(), used_);
    used_ = 0;
    return error_ == 0;
  }

  int Error() const { return error_; }

 private:
  static constexpr std::size_t kSize = 1 << 20;
  const std::function<int(const char*, std::size_t)>& sink_;
  std::unique_ptr<char[]> buf_;
  std::size_t used_ = 0;
  int error_ = 0;
};

std::string TemporaryName(const std::string& target, int attempt) {
  static unsigned counter = 0;
  const auto now = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  unsigned long long mix = now ^ (static_cast<unsigned long long>(++counter) << 40) ^
                           (reinterpret_cast<std::uintptr_t>(&target) << 8) ^
                           static_cast<unsigned long long>(attempt);
  mix *= 0x9E3779B97F4A7C15ull;
  static const char kHex[] = "0123456789abcdef";
  std::string name = target;
  name += ".~";
  for (int i = 0; i < 8; ++i) name += kHex[(mix >> (60 - 4 * i)) & 0xF];
  name += ".tmp";
  return name;
}

// The way the list was always written: truncate and write in place. Used only when no file
// can be made beside the target.
void WriteInPlace(fileio::FileSystem& fs, const std::string& path, const EntryList& list) {
  fileio::Handle h{};
  if (const int e = fs.CreateOrTruncate(path, h)) throw EInOutError(e);
  int e = 0;
  try {
    e = listfile::Serialize(list, [&](const char* p, std::size_t n) { return fs.Write(h, p, n); });
  } catch (...) {
    fs.Close(h);
    throw;
  }
  // A failed close is what the user sees, whatever went before.
  if (const int ce = fs.Close(h)) e = ce;
  if (e != 0) throw EInOutError(e);
}

}  // namespace

namespace listfile {

ListFileReadResult Parse(std::unique_ptr<char[]> bytes, std::size_t size, bool complete,
                         EntryList& list) {
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
  impl.rows.reserve(impl.rows.size() + CountLineFeeds(r, end) / 5 + 1);

  // Each record's values are moved together at its own start, so the row is its base and
  // five lengths; the parameters, folder and the two flags often take no bytes at all.
  do {
    Row row;
    row.base = r;
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

int Serialize(const EntryList& list, const std::function<int(const char*, std::size_t)>& sink) {
  Output out(sink);
  if (!out.Line("102")) return out.Error();
  if (const EntryList::Impl* impl = EntryListAccess::Peek(list)) {
    for (const Row& row : impl->rows) {
      const char* p = row.base;
      for (int f = 0; f < kFieldCount; ++f) {
        const std::uint32_t len = row.len[f];
        std::string_view v;
        if (rowtag::IsConstant(len)) {
          v = rowtag::ConstantText(len);
        } else {
          v = {p, len};
          p += len;
        }
        if ((f == kParams || f == kFolder) && v == kDummyMarker) v = {};
        if (f == kRunCheck) v = v == "0" ? "False" : "True";
        if (!out.Line(v)) return out.Error();
      }
    }
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

ListFileReadResult ReadListFile(const std::string& path, EntryList& list) {
  fileio::FileSystem& fs = fileio::Current();
  fileio::Handle h{};
  if (const int e = fs.OpenRead(path, h)) throw EInOutError(e);
  std::unique_ptr<char[]> buf;
  std::size_t used = 0;
  int readError = 0;
  try {
    std::uint64_t size = 0;
    readError = fs.Size(h, size);
    if (readError == 0) {
      if (size > SIZE_MAX / 2) throw std::length_error("list file too large");
      // Straight into the buffer the list keeps: the bytes are held once.
      std::size_t capacity = static_cast<std::size_t>(size);
      buf.reset(new char[capacity]);
      for (;;) {
        if (used == capacity) {
          // The file grew since its size was asked: make room and read on.
          const std::size_t more = capacity / 2 > 65536 ? capacity / 2 : 65536;
          std::unique_ptr<char[]> bigger(new char[capacity + more]);
          if (used != 0) std::memcpy(bigger.get(), buf.get(), used);
          buf = std::move(bigger);
          capacity += more;
        }
        std::size_t got = 0;
        readError = fs.Read(h, buf.get() + used, capacity - used, got);
        if (readError != 0 || got == 0) break;
        used += got;
      }
    }
  } catch (...) {
    fs.Close(h);
    throw;
  }
  const int closeError = fs.Close(h);
  const ListFileReadResult result =
      listfile::Parse(std::move(buf), used, readError == 0, list);
  if (readError != 0) throw EInOutError(readError);
  if (closeError != 0) throw EInOutError(closeError);
  return result;
}

void WriteListFile(const std::string& path, const EntryList& list) {
  fileio::FileSystem& fs = fileio::Current();
  fileio::TargetState state;
  if (const int e = fs.ProbeTarget(path, state)) throw EInOutError(e);
  const std::string& target = state.linked.empty() ? path : state.linked;

  std::string temp;
  fileio::Handle h{};
  int e = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = TemporaryName(target, attempt);
    e = fs.CreateNew(temp, state, h);
    if (e != fileio::kAlreadyExists) break;
  }
  if (e != 0) {
    // A full disk would cut the list short in place too: leave the earlier file alone.
    if (e == fileio::kDiskFull) throw EInOutError(e);
    WriteInPlace(fs, target, list);
    return;
  }
  try {
    e = listfile::Serialize(list, [&](const char* p, std::size_t n) { return fs.Write(h, p, n); });
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

bool FileExists(const std::string& path) { return fileio::Current().IsFile(path); }

}  // namespace pallomar
