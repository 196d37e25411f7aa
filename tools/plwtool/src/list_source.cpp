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
  aside_.reset();
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

const pallomar::EntryList& ListReader::ReadAside(std::uint64_t offset, std::size_t entry) {
  if (!aside_) aside_ = std::make_unique<pallomar::ListRecordStream>(fs_, h_);
  // The two streams share the file's position: the main one carries on where it left it.
  const std::uint64_t resume = stream_->ReadPosition();
  const bool read = Guarded([&] {
    aside_->SeekRecord(offset, entry);
    return aside_->Next();
  });
  if (const int e = fs_.Seek(h_, resume)) Fail(Utf8Message(pallomar::EInOutError(e)));
  if (!read) Fail("the file changed while it was read");
  return aside_->Record();
}

}  // namespace plwtool
