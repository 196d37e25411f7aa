// The list file's bytes for a list: the version line, then each row's five lines, CR LF ends.
#include <cstring>
#include <memory>
#include <string_view>

#include "entry_list_impl.h"
#include "entrylist/list_parse.h"
#include "list_file_internal.h"

namespace pallomar {

namespace {

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

}  // namespace

namespace listfile {

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
  if (!out.Line(kCurrentVersion)) return out.Error();
  const EntryList::Impl* impl = EntryListAccess::Peek(list);
  if (impl == nullptr) {
    out.Drain();
    return out.Error();
  }
  for (const Row& row : impl->rows) {
    // A flag of exactly "0" is always held as the constant.
    const std::string_view flag = row.len[kRunCheck] == rowtag::kZero ? "False\r\n" : "True\r\n";
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

}  // namespace pallomar
