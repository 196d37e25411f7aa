// A file system held in memory, for tests: files, folders and hard links under '/'-separated
// paths (relative ones start at a current folder), a disk of limited size, a limit on the
// length of a name, and any call made to fail on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "entrylist/file_system.h"

namespace pallomar::testing {

enum class FsCall {
  OpenRead,
  Size,
  Read,
  ProbeTarget,
  CreateNew,
  OpenForRewrite,
  Reserve,
  Seek,
  Write,
  Flush,
  SetLength,
  Close,
  Replace,
  Remove,
  MoveNew,
  kCount
};

const char* CallName(FsCall call);

class MemoryFileSystem : public FileSystem {
 public:
  explicit MemoryFileSystem(std::string currentFolder = "/mem");

  // --- set-up and inspection; names are resolved like the calls' paths ---
  // Creates the file or replaces its bytes (its other names see them too).
  void Put(const std::string& path, const std::string& bytes);
  void AddFolder(const std::string& path);
  // Gives the file at `existing` a second name.
  void Link(const std::string& existing, const std::string& name);
  void SetMode(const std::string& path, std::uint32_t mode);
  // New files may not be made in this folder; existing ones may still be written.
  void DenyCreateIn(const std::string& folder);
  std::optional<std::string> Get(const std::string& path) const;
  // Every file's full path, sorted: shows a temporary file left behind.
  std::vector<std::string> Files() const;
  std::string Full(const std::string& path) const;
  std::size_t OpenHandles() const { return handles_.size(); }
  std::size_t BytesUsed() const;

  // The disk's size in bytes: a write or reservation past it fails with 112, a write after
  // storing what still fits.
  std::size_t capacity = SIZE_MAX;
  // Longest name (the part after the last '/'); a longer one is refused with 3.
  std::size_t nameLimit = 255;
  // Most bytes one Read delivers.
  std::size_t readPiece = SIZE_MAX;

  // The `nth` call (from 1) of `call` from now on answers `code`. A failing Write stores half
  // its bytes first, as a filling disk does; a failing Close still closes.
  void FailAt(FsCall call, int nth, int code);
  // Every call of `call` on `path` answers `code`.
  void FailOn(FsCall call, const std::string& path, int code);
  void ClearFaults() { faults_.clear(); }
  int Calls(FsCall call) const { return calls_[static_cast<int>(call)]; }

  int OpenRead(const std::string& path, FileHandle& h) override;
  int Size(FileHandle h, std::uint64_t& size) override;
  int Read(FileHandle h, char* buf, std::size_t n, std::size_t& got) override;
  int ProbeTarget(const std::string& path, TargetState& state) override;
  std::string Beside(const std::string& path, std::string_view name) override;
  int CreateNew(const std::string& path, const TargetState& like, FileHandle& h) override;
  int OpenForRewrite(const std::string& path, FileHandle& h) override;
  int Reserve(FileHandle h, std::uint64_t length) override;
  int Seek(FileHandle h, std::uint64_t offset) override;
  int Write(FileHandle h, const char* data, std::size_t n) override;
  int Flush(FileHandle h) override;
  int SetLength(FileHandle h, std::uint64_t length) override;
  int Close(FileHandle h) override;
  int Replace(const std::string& from, const std::string& to, const TargetState& was) override;
  int MoveNew(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;
  bool IsFile(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  // Every file here is a regular file.
  bool IsRegular(FileHandle h) override { return Find(h) != nullptr; }

 private:
  struct Node {
    std::string bytes;
    std::uint32_t mode = 0644;
    std::uint32_t owner = 1000;
    std::uint32_t group = 1000;
  };
  struct Open {
    std::shared_ptr<Node> node;
    std::size_t position = 0;
    bool write = false;
  };
  struct Fault {
    FsCall call;
    int at;  // the call count that fails; 0: every call on `path`
    std::string path;
    int code;
  };

  // The injected answer of this call, or 0.
  int Injected(FsCall call, const std::string& path = {});
  std::string FolderOf(const std::string& full) const;
  bool FolderExists(const std::string& full) const;
  std::uint32_t LinkCount(const std::shared_ptr<Node>& node) const;
  Open* Find(FileHandle h);
  FileHandle Add(std::shared_ptr<Node> node, bool write);
  // Grows `node` to `length` bytes when the disk has the room.
  bool Grow(Node& node, std::size_t length);

  std::string current_;
  std::map<std::string, std::shared_ptr<Node>> files_;
  std::set<std::string> folders_;
  std::set<std::string> denyCreate_;
  std::map<FileHandle, Open> handles_;
  FileHandle nextHandle_ = 1;
  std::vector<Fault> faults_;
  int calls_[static_cast<int>(FsCall::kCount)] = {};
};

}  // namespace pallomar::testing
