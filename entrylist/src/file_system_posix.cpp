// The list file's file-system calls on POSIX hosts, with errors mapped onto Windows' numbers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "entrylist/file_system.h"

namespace pallomar {

namespace {

// POSIX errors onto the numbers the messages are chosen by.
int Map(int e) {
  switch (e) {
    case 0:
      return EIO;
    case ENOENT:
      return FileSystem::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
      return FileSystem::kPathNotFound;
    case EMFILE:
    case ENFILE:
      return FileSystem::kTooManyOpen;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return FileSystem::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return FileSystem::kDiskFull;
    case EEXIST:
      return FileSystem::kAlreadyExists;
    default:
      return e;
  }
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return ::stat(FolderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing file and a missing folder are told apart, as Windows does.
int MapOpenError(int e, const std::string& path) {
  if (e == ENOENT && !FolderExists(path)) return FileSystem::kPathNotFound;
  return Map(e);
}

int Fd(FileHandle h) { return static_cast<int>(h); }

class PosixFileSystem final : public FileSystem {
 public:
  int OpenRead(const std::string& path, FileHandle& h) override {
    // Non-blocking, so that a pipe without a writer cannot hold the open; what the file is gets
    // asked of the open file itself, never of the name, which may change meanwhile.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return MapOpenError(errno, path);
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      const int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
      ::close(fd);
      return Map(e);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
      const int e = errno;
      ::close(fd);
      return Map(e);
    }
    h = fd;
    return 0;
  }

  int Size(FileHandle h, std::uint64_t& size) override {
    struct stat st;
    if (::fstat(Fd(h), &st) != 0) return Map(errno);
    size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return 0;
  }

  int Read(FileHandle h, char* buf, std::size_t n, std::size_t& got) override {
    for (;;) {
      const ssize_t r = ::read(Fd(h), buf, std::min<std::size_t>(n, 1u << 30));
      if (r >= 0) {
        got = static_cast<std::size_t>(r);
        return 0;
      }
      if (errno != EINTR) return Map(errno);
    }
  }

  int ProbeTarget(const std::string& path, TargetState& state) override {
    state = {};
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
      // Absent: the creation step reports a missing folder or a bad name itself.
      return errno == ENOENT ? 0 : Map(errno);
    }
    state.exists = true;
    state.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
    state.owner = static_cast<std::uint32_t>(st.st_uid);
    state.group = static_cast<std::uint32_t>(st.st_gid);
    state.links = static_cast<std::uint32_t>(st.st_nlink);
    struct stat lst;
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
      char* resolved = ::realpath(path.c_str(), nullptr);
      if (resolved == nullptr) return Map(errno);
      state.linked = resolved;
      std::free(resolved);
    }
    if (!S_ISREG(st.st_mode)) return kAccessDenied;
    // Replacing by rename would pass over a read-only file; the administrator too must
    // honour it, so look at the mode bits rather than ask access().
    if ((st.st_mode & 0222) == 0) return kAccessDenied;
    // Catches what the mode bits do not show (immutable files, read-only mounts).
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return Map(errno);
    ::close(fd);
    return 0;
  }

  std::string Beside(const std::string& path, std::string_view name) override {
    const auto slash = path.rfind('/');
    std::string out = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    out += name;
    return out;
  }

  int CreateNew(const std::string& path, const TargetState& like, FileHandle& h) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return errno == ENOENT ? kPathNotFound : Map(errno);
    if (like.exists) {
      // The replacement keeps the target's owner where this user may give it (the group
      // alone is often allowed), then its permissions: a change of owner clears set-id bits.
      if (::fchown(fd, static_cast<uid_t>(like.owner), static_cast<gid_t>(like.group)) != 0) {
        (void)::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(like.group));
      }
      (void)::fchmod(fd, static_cast<mode_t>(like.mode));
    }
    h = fd;
    return 0;
  }

  int OpenForRewrite(const std::string& path, FileHandle& h) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return MapOpenError(errno, path);
    h = fd;
    return 0;
  }

  int Reserve(FileHandle h, std::uint64_t length) override {
    if (length > static_cast<std::uint64_t>(LLONG_MAX)) return kDiskFull;
    const int e = ::posix_fallocate(Fd(h), 0, static_cast<off_t>(length));
    if (e == 0) return 0;
    if (e != EOPNOTSUPP && e != EINVAL) return Map(e);
    // No reservation on this file system: the length alone, and a later write reports a
    // full disk.
    std::uint64_t size = 0;
    if (const int se = Size(h, size)) return se;
    if (size >= length) return 0;
    return ::ftruncate(Fd(h), static_cast<off_t>(length)) == 0 ? 0 : Map(errno);
  }

  int Seek(FileHandle h, std::uint64_t offset) override {
    if (offset > static_cast<std::uint64_t>(LLONG_MAX)) return kPathNotFound;
    return ::lseek(Fd(h), static_cast<off_t>(offset), SEEK_SET) < 0 ? Map(errno) : 0;
  }

  int Write(FileHandle h, const char* data, std::size_t n) override {
    while (n > 0) {
      const ssize_t w = ::write(Fd(h), data, std::min<std::size_t>(n, 1u << 30));
      if (w < 0) {
        if (errno == EINTR) continue;
        return Map(errno);
      }
      if (w == 0) return kDiskFull;
      data += w;
      n -= static_cast<std::size_t>(w);
    }
    return 0;
  }

  int Flush(FileHandle h) override { return ::fsync(Fd(h)) == 0 ? 0 : Map(errno); }

  int SetLength(FileHandle h, std::uint64_t length) override {
    if (length > static_cast<std::uint64_t>(LLONG_MAX)) return kDiskFull;
    return ::ftruncate(Fd(h), static_cast<off_t>(length)) == 0 ? 0 : Map(errno);
  }

  int Close(FileHandle h) override { return ::close(Fd(h)) == 0 ? 0 : Map(errno); }

  int Replace(const std::string& from, const std::string& to, const TargetState&) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return Map(errno);
    // Makes the new name durable. The new list is in place whatever this answers, so a
    // folder that cannot be synced is no failure of the save.
    const int dir = ::open(FolderOf(to).c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (dir >= 0) {
      (void)::fsync(dir);
      ::close(dir);
    }
    return 0;
  }

  int Remove(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 ? 0 : Map(errno);
  }

  bool IsFile(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  bool IsFolder(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool IsRegular(FileHandle h) override {
    struct stat st;
    return ::fstat(Fd(h), &st) == 0 && S_ISREG(st.st_mode);
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem real;
  return real;
}

}  // namespace pallomar
