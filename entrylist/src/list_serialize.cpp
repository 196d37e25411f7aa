// The list file's bytes for a list: the version line, then each row's five lines, CR LF ends.
#include <cstring>
#include <memory>
#include <string_view>

#include "entry_list_impl.h"
#include "entrylist/entry_fields.h"
#include "entrylist/list_parse.h"
#include "list_file_internal.h"

namespace pallomar {

namespace {

// Buffers the file's bytes and hands them on in pieces of about 1 MiB.
class Output {
 public:
  explicit Output(const std::function<int(const char*, std::size_t)>& sink)
      : sink_(sink), buf_(new char[kSize + kSlack]) {}

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

  // Room for `n` <= kSize bytes, which the caller fills; null after a failed drain.
  char* Take(std::size_t n) {
    if (n > kSize - used_ && !Drain()) return nullptr;
    char* at = buf_.get() + used_;
    used_ += n;
    return at;
  }

  static constexpr std::size_t kSize = 1 << 20;
  // Bytes past kSize that a caller may write over and not count: a short text copied whole.
  static constexpr std::size_t kSlack = 8;

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
namespace {

// The line a row's stored field `field` is written as: an optional text's marker as an empty
// line, the running check as its word.
constexpr std::string_view LineText(int field, std::string_view stored) {
  if (field == kParams || field == kFolder) return OptionalValue(stored);
  if (field == kRunCheck) return RunCheckFileWord(RunCheckOn(stored));
  return stored;
}

// What LineText makes of the constants and of the marker, worked out when the program is built:
// the rows of a list mix constants and bytes at random, and a constant costs no branch.
class LineTable {
 public:
  constexpr LineTable() {
    for (int f = 0; f < kFieldCount; ++f) {
      for (std::size_t k = 0; k < rowtag::kConstantCount; ++k) {
        // Only the tags in use: a length that is none of them goes to the piecewise writer.
        const std::string_view text = rowtag::kConstantTexts[k];
        if (!text.empty() && LineText(f, text).empty()) emptyConstants_[f] |= 1u << k;
      }
      changesMarker_[f] = LineText(f, kDummyMarker) != kDummyMarker;
    }
    for (std::size_t k = 0; k < rowtag::kConstantCount; ++k) {
      const std::string_view word = LineText(kRunCheck, rowtag::kConstantTexts[k]);
      if (word.size() + 2 > sizeof check_[k].bytes) continue;  // left to the piecewise writer
      for (std::size_t i = 0; i < word.size(); ++i) check_[k].bytes[i] = word[i];
      check_[k].bytes[word.size()] = '\r';
      check_[k].bytes[word.size() + 1] = '\n';
      check_[k].size = word.size() + 2;
    }
  }
  // The constants that field `field` writes as an empty line, one bit each by ConstantIndex.
  constexpr std::uint32_t EmptyConstants(int field) const { return emptyConstants_[field]; }
  // Whether field `field` writes the marker otherwise than as it is.
  constexpr bool ChangesMarker(int field) const { return changesMarker_[field]; }
  // A running-check constant's line with its CR LF, in 8 bytes to copy whole; size 0 where it
  // does not fit.
  struct CheckLine {
    char bytes[8] = {};
    std::size_t size = 0;
  };
  constexpr const CheckLine& Check(std::uint32_t tag) const {
    return check_[rowtag::ConstantIndex(tag)];
  }

 private:
  std::uint32_t emptyConstants_[kFieldCount] = {};
  bool changesMarker_[kFieldCount] = {};
  CheckLine check_[rowtag::kConstantCount] = {};
};

constexpr LineTable kLines;

// True when field `Field` of length `len` is written as the bytes that lie for it (none for a
// constant). Short of the running check, LineText changes no stored text but the marker, so a
// text of another length is written as it is. Both answers are worked out and one taken without
// a branch: which one it is varies at random.
template <int Field>
bool WrittenAsItLies(std::uint32_t len) {
  constexpr std::uint32_t kEmpty = kLines.EmptyConstants(Field);
  constexpr bool kChangesMarker = kLines.ChangesMarker(Field);
  const bool constant = rowtag::IsConstant(len);
  if constexpr (kEmpty == 0 && !kChangesMarker) return !constant;
  const bool emptyConstant = (kEmpty >> rowtag::ConstantIndex(len)) & 1u;
  const bool maybeMarker = kChangesMarker & (len == kDummyMarker.size());
  return (constant & emptyConstant) | (!constant & !maybeMarker);
}

// The line field `field` of `row` is written as; `p` is where its bytes would lie.
std::string_view LineOf(const Row& row, int field, const char* p) {
  const std::uint32_t len = row.len[field];
  return rowtag::IsConstant(len) ? LineText(field, rowtag::ConstantText(len))
                                 : LineText(field, std::string_view(p, len));
}

// Copies `text` and its CR LF to `o`; returns the end.
char* PutLine(char* o, std::string_view text) {
  if (!text.empty()) std::memcpy(o, text.data(), text.size());
  o += text.size();
  *o++ = '\r';
  *o++ = '\n';
  return o;
}

}  // namespace

int Serialize(const EntryList& list, const std::function<int(const char*, std::size_t)>& sink) {
  Output out(sink);
  if (!out.Line(kCurrentVersion)) return out.Error();
  const EntryList::Impl* impl = EntryListAccess::Peek(list);
  if (impl == nullptr) {
    out.Drain();
    return out.Error();
  }
  for (const Row& row : impl->rows) {
    // A record loaded as it lay, CR LF ends, whose first four lines are in the buffer exactly as
    // they are to be written: those bytes go as they are.
    const bool asItLies = (row.gap == 2) & WrittenAsItLies<kPath>(row.len[kPath]) &
                          WrittenAsItLies<kParams>(row.len[kParams]) &
                          WrittenAsItLies<kFolder>(row.len[kFolder]) &
                          WrittenAsItLies<kWindowState>(row.len[kWindowState]);
    const std::size_t lying = rowtag::Bytes(row.len[kPath]) + rowtag::Bytes(row.len[kParams]) +
                              rowtag::Bytes(row.len[kFolder]) +
                              rowtag::Bytes(row.len[kWindowState]) + 4u * row.gap;
    const std::uint32_t checkLen = row.len[kRunCheck];
    const LineTable::CheckLine& check = kLines.Check(checkLen);
    if (asItLies && rowtag::IsConstant(checkLen) && check.size != 0 &&
        lying + check.size <= Output::kSize) {
      char* o = out.Take(lying + check.size);
      if (o == nullptr) return out.Error();
      std::memcpy(o, row.base, lying);
      std::memcpy(o + lying, check.bytes, sizeof check.bytes);  // within the slack
      continue;
    }
    std::string_view line[kFieldCount];
    std::size_t need = 2 * kFieldCount;
    const char* p = row.base;
    for (int f = 0; f < kFieldCount; ++f) {
      line[f] = LineOf(row, f, p);
      p += rowtag::Bytes(row.len[f]) + row.gap;
      need += line[f].size();
    }
    if (need <= Output::kSize) {
      // The whole record in one piece of the buffer.
      char* o = out.Take(need);
      if (o == nullptr) return out.Error();
      for (const std::string_view& text : line) o = PutLine(o, text);
      continue;
    }
    for (const std::string_view& text : line) {
      if (!out.Line(text)) return out.Error();
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

}  // namespace pallomar
