#include "list_source.h"

#include <new>
#include <stdexcept>

#include "entrylist/errors.h"
#include "host.h"

namespace plwtool {

namespace {

std::string Utf8Message(const pallomar::EInOutError& e) {
  return SjisToUtf8(e.what()).value_or(e.what());
}

constexpr char kNotRegular[] = "not a regular file; only list files are read";
constexpr char kTooLarge[] = "a line is too long to read into memory";

}  // namespace

ListReader::ListReader(pallomar::FileSystem& fs, bool withNotes) : fs_(fs), withNotes_(withNotes) {}

ListReader::~ListReader() { Close(); }

void ListReader::Close() {
  stream_.reset();
  if (open_) (void)fs_.Close(h_);
  open_ = false;
}

void ListReader::Fail(const std::string& why) { throw ReadFailure(why); }

template <typename F>
auto ListReader::Guarded(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const pallomar::EInOutError& e) {
    Fail(Utf8Message(e));
  } catch (const std::bad_alloc&) {
    Fail(kTooLarge);
  } catch (const std::length_error&) {
    Fail(kTooLarge);
  }
}

LoadStatus ListReader::Open(const std::string& path) {
  Close();
  sawFirst_ = false;
  if (const int e = fs_.OpenRead(path, h_)) {
    error_ = fs_.IsFolder(path) ? kNotRegular : Utf8Message(pallomar::EInOutError(e));
    return LoadStatus::Failed;
  }
  open_ = true;
  // Asked of the open file: its name may have been swapped for a pipe since.
  if (!fs_.IsRegular(h_)) {
    error_ = kNotRegular;
    Close();
    return LoadStatus::Failed;
  }
  stream_ = std::make_unique<pallomar::ListRecordStream>(fs_, h_, withNotes_ ? &notes_ : nullptr);
  try {
    const auto result = Guarded([&] { return stream_->Start(); });
    version_ = stream_->FirstLine();
    if (result == pallomar::ListFileReadResult::HeaderNotAccepted) return LoadStatus::NotAList;
  } catch (const ReadFailure& e) {
    error_ = e.what();
    Close();
    return LoadStatus::Failed;
  }
  droppedPhantom_ = stream_->NothingAfterVersion();
  return LoadStatus::Loaded;
}

bool ListReader::Next() {
  if (droppedPhantom_) {
    notes_.items.clear();
    return false;
  }
  const bool more = Guarded([&] { return stream_->Next(); });
  if (more && !sawFirst_) {
    sawFirst_ = true;
    firstOffset_ = stream_->RecordOffset();
  }
  return more;
}

void ListReader::Rewind() {
  if (sawFirst_) Guarded([&] { stream_->SeekRecord(firstOffset_, 0); });
}

std::uint64_t ListReader::Size() {
  std::uint64_t size = 0;
  if (const int e = fs_.Size(h_, size)) Fail(Utf8Message(pallomar::EInOutError(e)));
  return size;
}

void ListReader::ReadAgain(std::uint64_t offset, std::size_t entry) {
  Guarded([&] {
    stream_->SeekRecord(offset, entry);
    if (!stream_->Next()) throw ReadFailure("the file changed while it was read");
  });
}

}  // namespace plwtool
