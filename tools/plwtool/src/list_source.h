// A list file as the tool reads it: one record at a time through the editor's reader, with the
// reader's notes on what it smoothed over when they are asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "entrylist/entry_list.h"
#include "entrylist/file_system.h"
#include "entrylist/list_parse.h"

namespace plwtool {

enum class LoadStatus { Loaded, NotAList, Failed };

// Reading stopped part way through the file; the message is UTF-8.
class ReadFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ListReader {
 public:
  ListReader(pallomar::FileSystem& fs, bool withNotes);
  ~ListReader();
  ListReader(const ListReader&) = delete;
  ListReader& operator=(const ListReader&) = delete;

  // Opens `path` and reads its version line; only a regular file is read. For Failed,
  // Error() says why.
  LoadStatus Open(const std::string& path);
  const std::string& Error() const { return error_; }

  // The next record, the only row of Record(); false after the last. A file with nothing
  // after its version line has none (the reader's empty entry for it is dropped). Raises
  // ReadFailure.
  bool Next();
  const pallomar::EntryList& Record() const { return stream_->Record(); }
  std::size_t Entry() const { return stream_->Entry(); }
  std::uint64_t Offset() const { return stream_->RecordOffset(); }
  // Record `entry`, which began at `offset`, read again from the same open file without
  // disturbing Next() or Record(); valid until the next such read. Raises ReadFailure.
  const pallomar::EntryList& ReadAside(std::uint64_t offset, std::size_t entry);
  // Goes back to before the first record, for another pass over the same open file (never
  // reopened by name, which a save may have pointed at another file meanwhile). Raises
  // ReadFailure.
  void Rewind();
  // The open file's size now. Raises ReadFailure.
  std::uint64_t Size();

  // The notes of the last step (with notes asked for).
  const pallomar::ListNotes& Notes() const { return notes_; }
  bool DroppedPhantom() const { return droppedPhantom_; }
  // The version line for the JSON form.
  const std::string& Version() const { return version_; }

 private:
  void Close();
  [[noreturn]] void Fail(const std::string& why);
  template <typename F>
  auto Guarded(F&& f) -> decltype(f());

  pallomar::FileSystem& fs_;
  bool withNotes_;
  bool open_ = false;
  pallomar::FileHandle h_{};
  std::unique_ptr<pallomar::ListRecordStream> stream_;
  std::unique_ptr<pallomar::ListRecordStream> aside_;
  pallomar::ListNotes notes_;
  std::string error_;
  std::string version_;
  bool droppedPhantom_ = false;
  bool sawFirst_ = false;
  std::uint64_t firstOffset_ = 0;
};

}  // namespace plwtool
