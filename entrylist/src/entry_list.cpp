#include "entrylist/entry_list.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "entry_list_impl.h"
#include "entrylist/errors.h"

namespace pallomar {

namespace {

// Small texts share blocks of this size; a larger text gets a block of its own.
constexpr std::size_t kBlockSize = 64 * 1024;

std::string_view CutAtNul(std::string_view s) {
  const auto nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// The length tag for field `field` holding `s`. Only the marker in the parameters and folder
// and the two flag values become constants: the path and window state always keep their
// bytes, so an appended row lies like a loaded line-per-field record.
std::uint32_t EncodeLength(int field, std::string_view s) {
  if ((field == kParams || field == kFolder) && s == kDummyMarker) return rowtag::kDummy;
  if (field == kRunCheck && s == "0") return rowtag::kZero;
  if (field == kRunCheck && s == "1") return rowtag::kOne;
  if (s.size() > rowtag::kMaxBytes) throw ETooLongError(ETooLongError::What::EntryText);
  return static_cast<std::uint32_t>(s.size());
}

EntryList::Impl& Ensure(EntryList::Impl*& impl) {
  if (impl == nullptr) impl = new EntryList::Impl();
  return *impl;
}

void CheckRow(const EntryList::Impl* impl, std::size_t row) {
  if (impl == nullptr || row >= impl->rows.size()) throw std::out_of_range("no such entry");
}

}  // namespace

std::string& Entry::operator[](int field) {
  switch (field) {
    case kPath:
      return path;
    case kParams:
      return params;
    case kFolder:
      return folder;
    case kWindowState:
      return windowState;
    case kRunCheck:
      return runCheck;
    default:
      throw std::out_of_range("no such field");
  }
}

const std::string& Entry::operator[](int field) const { return const_cast<Entry&>(*this)[field]; }

char* EntryList::Impl::Allocate(std::size_t n) {
  if (n == 0) return nullptr;
  if (!blocks.empty() && blockSizes.back() - blockUsed >= n) {
    char* p = blocks.back().get() + blockUsed;
    blockUsed += n;
    return p;
  }
  if (n > kBlockSize / 4) {
    // A big text gets its own block, kept before the current one so that block's free room
    // stays usable.
    auto own = std::make_unique<char[]>(n);
    char* p = own.get();
    const auto at = blocks.empty() ? blocks.end() : blocks.end() - 1;
    blocks.insert(at, std::move(own));
    blockSizes.insert(blockSizes.empty() ? blockSizes.end() : blockSizes.end() - 1, n);
    blockBytes += n;
    if (blocks.size() == 1) blockUsed = n;  // the only block is full
    return p;
  }
  blocks.push_back(std::make_unique<char[]>(kBlockSize));
  blockSizes.push_back(kBlockSize);
  blockBytes += kBlockSize;
  blockUsed = n;
  return blocks.back().get();
}

EntryList::Impl& EntryListAccess::Of(EntryList& list) { return Ensure(list.impl_); }

EntryList::EntryList() : impl_(nullptr) {}
EntryList::~EntryList() { delete impl_; }
EntryList::EntryList(EntryList&& other) noexcept : impl_(other.impl_) { other.impl_ = nullptr; }
EntryList& EntryList::operator=(EntryList&& other) noexcept {
  if (this != &other) {
    delete impl_;
    impl_ = other.impl_;
    other.impl_ = nullptr;
  }
  return *this;
}

std::size_t EntryList::Count() const { return impl_ == nullptr ? 0 : impl_->rows.size(); }

std::string_view EntryList::Get(std::size_t row, Field field) const {
  CheckRow(impl_, row);
  if (field < 0 || field >= kFieldCount) throw std::out_of_range("no such field");
  const Row& r = impl_->rows[row];
  const std::uint32_t len = r.len[field];
  if (rowtag::IsConstant(len)) return rowtag::ConstantText(len);
  return {FieldStart(r, field), len};
}

Entry EntryList::EntryAt(std::size_t row) const {
  Entry e;
  for (int f = 0; f < kFieldCount; ++f) e[f] = std::string(Get(row, static_cast<Field>(f)));
  return e;
}

void EntryList::Append(std::string_view path, std::string_view params, std::string_view folder,
                       std::string_view windowState, std::string_view runCheck) {
  const std::string_view texts[kFieldCount] = {CutAtNul(path), CutAtNul(params), CutAtNul(folder),
                                               CutAtNul(windowState), CutAtNul(runCheck)};
  // Each text but the last is followed by CR LF, as in a file, so that saving can copy the
  // row's first four lines in one piece.
  Row row{};
  row.gap = 2;
  std::size_t total = 2 * (kFieldCount - 1);
  for (int f = 0; f < kFieldCount; ++f) {
    row.len[f] = EncodeLength(f, texts[f]);
    total += rowtag::Bytes(row.len[f]);
  }
  Impl& impl = Ensure(impl_);
  // Make room for the row first so that a failure leaves the list unchanged.
  if (impl.rows.size() == impl.rows.capacity()) {
    impl.rows.reserve(impl.rows.empty() ? 16 : impl.rows.size() * 2);
  }
  char* p = impl.Allocate(total);
  row.base = p;
  for (int f = 0; f < kFieldCount; ++f) {
    const std::uint32_t n = rowtag::Bytes(row.len[f]);
    if (n != 0) std::memcpy(p, texts[f].data(), n);
    p += n;
    if (f != kRunCheck) {
      *p++ = '\r';
      *p++ = '\n';
    }
  }
  impl.rows.push_back(row);
}

void EntryList::Append(const Entry& e) {
  Append(e.path, e.params, e.folder, e.windowState, e.runCheck);
}

void EntryList::Remove(std::size_t row) {
  CheckRow(impl_, row);
  impl_->rows.erase(impl_->rows.begin() + static_cast<std::ptrdiff_t>(row));
}

void EntryList::Move(std::size_t from, std::size_t to) {
  CheckRow(impl_, from);
  CheckRow(impl_, to);
  auto& rows = impl_->rows;
  const auto f = rows.begin() + static_cast<std::ptrdiff_t>(from);
  const auto t = rows.begin() + static_cast<std::ptrdiff_t>(to);
  if (from < to) {
    std::rotate(f, f + 1, t + 1);
  } else if (to < from) {
    std::rotate(t, f, f + 1);
  }
}

void EntryList::Clear() {
  delete impl_;
  impl_ = nullptr;
}

std::size_t EntryList::BytesHeld() const {
  if (impl_ == nullptr) return 0;
  return impl_->loadedSize + impl_->retiredBytes + impl_->blockBytes +
         impl_->rows.capacity() * sizeof(Row);
}

}  // namespace pallomar
