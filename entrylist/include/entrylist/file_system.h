// The file-system calls the list-file reader and writer make. Callers pass the file system in:
// RealFileSystem() for the host's own, an in-memory one in tests. Every call returns 0 or the
// error number the user is shown: Windows' own numbers, or POSIX errors mapped onto them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pallomar {

using FileHandle = std::intptr_t;

// What the writer learns about its target before it replaces it.
struct TargetState {
  bool exists = false;
  // Host detail the replacement keeps: POSIX mode bits, or Windows file attributes.
  std::uint32_t mode = 0;
  // POSIX owner and group, kept where the host permits.
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  // Names the file has; a file with more than one is rewritten in place so they stay one file.
  std::uint32_t links = 1;
  // The file to replace when the path is a symbolic link to it (else empty): the link stays.
  std::string linked;
  // Windows: the target's access rules, which the new file has from the start.
  std::string security;
  // POSIX: the target's extended attributes (its access list among them), name and value,
  // which the new file must carry before it may take the target's place.
  std::vector<std::pair<std::string, std::string>> attributes;
};

class FileSystem {
 public:
  // Error numbers shared by every host.
  static constexpr int kFileNotFound = 2;
  static constexpr int kPathNotFound = 3;
  static constexpr int kTooManyOpen = 4;
  static constexpr int kAccessDenied = 5;
  static constexpr int kGeneralFailure = 31;
  static constexpr int kSharingViolation = 32;
  static constexpr int kLockViolation = 33;
  static constexpr int kAlreadyExists = 80;
  static constexpr int kDiskFull = 112;
  // A file in use that the host will not rename (a mount point): it may be written in place.
  static constexpr int kBusy = 170;
  // The new file cannot carry the target's extended attributes or access list.
  static constexpr int kAttributesNotKept = 282;
  static constexpr int kDeviceError = 1117;

  virtual ~FileSystem() = default;

  // Read access only; others may read but not write meanwhile. A folder is refused (5). The
  // open itself never waits, not even for a pipe without a writer.
  virtual int OpenRead(const std::string& path, FileHandle& h) = 0;
  // Whether the open file is a regular file, whose reading ends (not a pipe, device or console).
  virtual bool IsRegular(FileHandle h) = 0;
  virtual int Size(FileHandle h, std::uint64_t& size) = 0;
  // Reads up to `n` bytes at the handle's position; `got` 0 means the end of the file.
  virtual int Read(FileHandle h, char* buf, std::size_t n, std::size_t& got) = 0;

  // Whether `path` can be replaced: 0 when it is absent or writable, else why not (a folder,
  // a read-only file, a file another program holds open).
  virtual int ProbeTarget(const std::string& path, TargetState& state) = 0;
  // The path of `name` in the folder that holds `path`.
  virtual std::string Beside(const std::string& path, std::string_view name) = 0;
  // Creates a file that must not exist yet (80 when it does), write access only, which no one
  // else can read before it takes the permissions (and where permitted the owner) of `like`
  // when that exists, else what any new file gets in that folder. It can be removed by name
  // while open. 282 when it cannot carry the attributes of `like`: no file is left then.
  virtual int CreateNew(const std::string& path, const TargetState& like, FileHandle& h) = 0;
  // Opens an existing file for reading and writing, at its start, without changing it; no
  // other save writes it until it is closed.
  virtual int OpenForRewrite(const std::string& path, FileHandle& h) = 0;
  // Makes the file at least `length` bytes long with the room for them taken on the disk;
  // a failure (a full disk) leaves the length as it was.
  virtual int Reserve(FileHandle h, std::uint64_t length) = 0;
  virtual int Seek(FileHandle h, std::uint64_t offset) = 0;
  // Writes all `n` bytes at the handle's position, or fails.
  virtual int Write(FileHandle h, const char* data, std::size_t n) = 0;
  // Forces what was written to the disk.
  virtual int Flush(FileHandle h) = 0;
  // Cuts or extends the file to exactly `length` bytes.
  virtual int SetLength(FileHandle h, std::uint64_t length) = 0;
  // The handle is gone afterwards, whatever the answer.
  virtual int Close(FileHandle h) = 0;
  // Puts `from` in the place of `to` in one step; `was` is what ProbeTarget found at `to`.
  // A host that will not replace a file that may still be written answers 5 or 32.
  virtual int Replace(const std::string& from, const std::string& to, const TargetState& was) = 0;
  // Gives the file `from` the name `to`, which must be free (80 when it is not), durably.
  virtual int MoveNew(const std::string& from, const std::string& to) = 0;
  virtual int Remove(const std::string& path) = 0;
  virtual bool IsFile(const std::string& path) = 0;
  virtual bool IsFolder(const std::string& path) = 0;
};

// The host's own file system.
FileSystem& RealFileSystem();

// Removes a file of the host's by name at once. Safe in a signal handler.
bool RemoveFileNow(const char* path) noexcept;

// While held, the signals that would end the program (POSIX: SIGINT, SIGTERM, SIGHUP,
// SIGQUIT) wait, and are acted on when the last hold goes: a rewrite in place is never cut
// short by one. On Windows the console handler waits while InterruptsHeld().
class InterruptHold {
 public:
  InterruptHold() noexcept;
  ~InterruptHold();
  InterruptHold(const InterruptHold&) = delete;
  InterruptHold& operator=(const InterruptHold&) = delete;
};
bool InterruptsHeld() noexcept;

#ifndef _WIN32
// The error number shown for the POSIX error `e`.
int HostErrorNumber(int e);
#endif

}  // namespace pallomar
