// The file-system calls of the list-file reader and writer, behind one small interface so that
// tests can make any single call fail. Every call returns 0 or the error number the user is
// shown: Windows' own numbers, or POSIX errors mapped onto them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pallomar::fileio {

using Handle = std::intptr_t;

// Error numbers shared by both hosts.
inline constexpr int kFileNotFound = 2;
inline constexpr int kPathNotFound = 3;
inline constexpr int kTooManyOpen = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kAlreadyExists = 80;  // the temporary name is taken
inline constexpr int kDiskFull = 112;

struct TargetState {
  bool exists = false;
  // Platform detail the replacement keeps (POSIX mode bits).
  std::uint32_t mode = 0;
  // The file to replace when `path` is a link to it (else empty): the link stays a link.
  std::string linked;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Read access only; others may read but not write meanwhile. A folder is refused (5).
  virtual int OpenRead(const std::string& path, Handle& h) = 0;
  virtual int Size(Handle h, std::uint64_t& size) = 0;
  // Reads up to `n` bytes; `got` 0 means the end of the file.
  virtual int Read(Handle h, char* buf, std::size_t n, std::size_t& got) = 0;

  // Whether `path` can be replaced: 0 when it is absent or writable, else why not (a folder,
  // a read-only file, a file another program holds open).
  virtual int ProbeTarget(const std::string& path, TargetState& state) = 0;
  // Creates a file that must not exist yet, write access only.
  virtual int CreateNew(const std::string& path, const TargetState& like, Handle& h) = 0;
  // Creates `path` or cuts it to zero length, write access only.
  virtual int CreateOrTruncate(const std::string& path, Handle& h) = 0;
  virtual int Write(Handle h, const char* data, std::size_t n) = 0;
  // Forces what was written to the disk.
  virtual int Flush(Handle h) = 0;
  virtual int Close(Handle h) = 0;
  // Puts `from` in the place of `to` in one step; `was` is what ProbeTarget found at `to`.
  virtual int Replace(const std::string& from, const std::string& to, const TargetState& was) = 0;
  virtual int Remove(const std::string& path) = 0;
  virtual bool IsFile(const std::string& path) = 0;
};

FileSystem& Real();
// The file system the reader and writer use: Real() unless a test installed another.
FileSystem& Current();
// Installs `fs` (nullptr restores Real()); for tests.
void SetCurrent(FileSystem* fs);

}  // namespace pallomar::fileio
