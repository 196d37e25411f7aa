// The list file's file-system calls on POSIX hosts, with errors mapped onto Windows' numbers.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "entrylist/file_system.h"

namespace pallomar {

// Every errno the calls below can give, onto a Windows number of the same meaning: the
// messages are chosen by those numbers, and a raw errno would show as some unrelated one.
int HostErrorNumber(int e) {
  switch (e) {
    case ENOENT:
      return FileSystem::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
    case ENXIO:
    case ENODEV:
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
    case EBADF:
      return 6;  // ERROR_INVALID_HANDLE
    case ENOMEM:
      return 8;  // ERROR_NOT_ENOUGH_MEMORY
    case EXDEV:
      return 17;  // ERROR_NOT_SAME_DEVICE
    case EAGAIN:
    case ENOLCK:
      return FileSystem::kLockViolation;
    case ENOSPC:
    case EDQUOT:
      return FileSystem::kDiskFull;
    case EEXIST:
      return FileSystem::kAlreadyExists;
    case ENOTEMPTY:
      return 145;  // ERROR_DIR_NOT_EMPTY
    case EBUSY:
      return 170;  // ERROR_BUSY
    case EFBIG:
    case EOVERFLOW:
      return 223;  // ERROR_FILE_TOO_LARGE
    case EMLINK:
      return 1142;  // ERROR_TOO_MANY_LINKS
    case EINTR:
      return 995;  // ERROR_OPERATION_ABORTED
    case EIO:
    case ESTALE:
      return FileSystem::kDeviceError;
    default:
      // Includes 0, a failure that set no errno: never a number of some other meaning.
      return FileSystem::kGeneralFailure;
  }
}

namespace {

int Map(int e) { return HostErrorNumber(e); }

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

// Takes the lock on `fd`, waiting for it. Where the file system keeps no locks, there is
// nothing to wait for.
int Lock(int fd, int how) {
  while (::flock(fd, how) != 0) {
    if (errno == EINTR) continue;
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return 0;
    return errno;
  }
  return 0;
}

// Every extended attribute of `path` (its access list among them), following links.
int ReadAttributes(const std::string& path, std::vector<std::pair<std::string, std::string>>& out) {
  out.clear();
  std::string names;
  for (;;) {
    const ssize_t n = ::listxattr(path.c_str(), nullptr, 0);
    if (n < 0) return errno == ENOTSUP ? 0 : errno;
    names.resize(static_cast<std::size_t>(n));
    const ssize_t got = n == 0 ? 0 : ::listxattr(path.c_str(), names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) return errno;
  }
  for (std::size_t at = 0; at < names.size();) {
    const std::string name(names.c_str() + at);
    at += name.size() + 1;
    std::string value;
    for (;;) {
      const ssize_t n = ::getxattr(path.c_str(), name.c_str(), nullptr, 0);
      if (n < 0) {
        if (errno == ENODATA) break;  // gone meanwhile
        return errno;
      }
      value.resize(static_cast<std::size_t>(n));
      const ssize_t got =
          n == 0 ? 0 : ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
      if (got >= 0) {
        value.resize(static_cast<std::size_t>(got));
        out.emplace_back(name, std::move(value));
        break;
      }
      if (errno != ERANGE) return errno;
    }
  }
  return 0;
}

// Where a symbolic link whose target is missing points: a save must create that file and keep
// the link. Empty when `path` is no link; an error number when its chain cannot be followed.
int DanglingLinkTarget(const std::string& path, std::string& target) {
  target.clear();
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat lst;
    if (::lstat(at.c_str(), &lst) != 0) {
      if (errno != ENOENT) return Map(errno);
      if (hops > 0) target = at;
      return 0;
    }
    if (!S_ISLNK(lst.st_mode)) return 0;
    std::string to(static_cast<std::size_t>(lst.st_size > 0 ? lst.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(at.c_str(), to.data(), to.size());
    if (n < 0) return Map(errno);
    if (static_cast<std::size_t>(n) >= to.size()) return FileSystem::kPathNotFound;
    to.resize(static_cast<std::size_t>(n));
    if (to.empty()) return FileSystem::kPathNotFound;
    at = to[0] == '/' ? to : FolderOf(at) + "/" + to;
  }
  return Map(ELOOP);
}

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
    // A save rewriting the list in place holds it exclusively: the reader waits for the whole
    // list rather than read a mix, and holds its own lock until it closes the file.
    if (S_ISREG(st.st_mode)) {
      if (const int e = Lock(fd, LOCK_SH)) {
        ::close(fd);
        return Map(e);
      }
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
      if (errno != ENOENT) return Map(errno);
      // Absent: the creation step reports a missing folder or a bad name itself. A link to
      // the missing file is written through like a link to an existing one.
      return DanglingLinkTarget(path, state.linked);
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
    if (const int e = ReadAttributes(path, state.attributes)) return Map(e);
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
    // In place of a list, only this user may read it until it carries the target's owner: it
    // may hold a list that others must not read. A new list gets what any new file gets here
    // (the umask, or the folder's default access list).
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                          like.exists ? 0600 : 0666);
    if (fd < 0) return errno == ENOENT ? kPathNotFound : Map(errno);
    if (!like.exists) {
      h = fd;
      return 0;
    }
    // The replacement keeps the target's owner where this user may give it (the group alone
    // is often allowed), then its permissions: a change of owner clears set-id bits.
    if (::fchown(fd, static_cast<uid_t>(like.owner), static_cast<gid_t>(like.group)) != 0) {
      (void)::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(like.group));
    }
    // A failure leaves the file narrower than meant, never wider. With an access list the
    // group bits are its mask: they go on only with the list itself, below.
    bool hasAccessList = false;
    for (const auto& [name, value] : like.attributes) {
      hasAccessList = hasAccessList || name == "system.posix_acl_access";
    }
    (void)::fchmod(fd, static_cast<mode_t>(hasAccessList ? like.mode & ~070u : like.mode));
    for (const auto& [name, value] : like.attributes) {
      if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return kAttributesNotKept;
      }
    }
    h = fd;
    return 0;
  }

  int OpenForRewrite(const std::string& path, FileHandle& h) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return MapOpenError(errno, path);
    // A second save of the same file, or a reader, waits here until the first is done with
    // it, so the two never interleave.
    if (const int e = Lock(fd, LOCK_EX)) {
      ::close(fd);
      return Map(e);
    }
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
    SyncFolderOf(to);
    return 0;
  }

  // Makes a new name durable. The file is in place whatever this answers, so a folder that
  // cannot be synced is no failure.
  static void SyncFolderOf(const std::string& path) {
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (dir >= 0) {
      (void)::fsync(dir);
      ::close(dir);
    }
  }

  int MoveNew(const std::string& from, const std::string& to) override {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
      if (errno != EINVAL && errno != ENOSYS) return Map(errno);
      // No such rename here: a second name, which is refused when taken, then the first goes.
      if (::link(from.c_str(), to.c_str()) != 0) return Map(errno);
      (void)::unlink(from.c_str());
    }
    SyncFolderOf(to);
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

bool RemoveFileNow(const char* path) noexcept { return ::unlink(path) == 0; }

namespace {
std::atomic<int> holds{0};
sigset_t beforeHold;
}  // namespace

InterruptHold::InterruptHold() noexcept {
  if (holds.fetch_add(1) != 0) return;
  sigset_t ending;
  sigemptyset(&ending);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, sig);
  (void)pthread_sigmask(SIG_BLOCK, &ending, &beforeHold);
}

InterruptHold::~InterruptHold() {
  // A signal that came meanwhile is delivered here.
  if (holds.fetch_sub(1) == 1) (void)pthread_sigmask(SIG_SETMASK, &beforeHold, nullptr);
}

bool InterruptsHeld() noexcept { return holds.load() != 0; }

FileSystem& RealFileSystem() {
  static PosixFileSystem real;
  return real;
}

}  // namespace pallomar
