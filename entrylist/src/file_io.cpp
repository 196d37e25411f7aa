#include "file_io.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#endif

#include <algorithm>

namespace pallomar::fileio {

namespace {

#ifdef _WIN32

HANDLE H(Handle h) { return reinterpret_cast<HANDLE>(h); }
int LastError() {
  const DWORD e = GetLastError();
  return e == 0 ? ERROR_GEN_FAILURE : static_cast<int>(e);
}

class RealFileSystem final : public FileSystem {
 public:
  int OpenRead(const std::string& path, Handle& h) override {
    const HANDLE f =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return LastError();
    h = reinterpret_cast<Handle>(f);
    return 0;
  }

  int Size(Handle h, std::uint64_t& size) override {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(H(h), &li)) return LastError();
    size = static_cast<std::uint64_t>(li.QuadPart);
    return 0;
  }

  int Read(Handle h, char* buf, std::size_t n, std::size_t& got) override {
    DWORD done = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    if (!ReadFile(H(h), buf, ask, &done, nullptr)) return LastError();
    got = done;
    return 0;
  }

  int ProbeTarget(const std::string& path, TargetState& state) override {
    state = {};
    const DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
      const int e = LastError();
      // Absent: the creation step reports a missing folder or a bad name itself.
      if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return 0;
      return e;
    }
    state.exists = true;
    state.mode = attrs;
    if ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0 || (attrs & FILE_ATTRIBUTE_READONLY) != 0) {
      return ERROR_ACCESS_DENIED;
    }
    // Opening for writing the way the list was always written tells whether another program
    // holds the file (sharing violation) or access is denied; it changes nothing.
    const HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return LastError();
    CloseHandle(f);
    return 0;
  }

  int CreateNew(const std::string& path, const TargetState&, Handle& h) override {
    const HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      const int e = LastError();
      return e == ERROR_FILE_EXISTS ? kAlreadyExists : e;
    }
    h = reinterpret_cast<Handle>(f);
    return 0;
  }

  int CreateOrTruncate(const std::string& path, Handle& h) override {
    const HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return LastError();
    h = reinterpret_cast<Handle>(f);
    return 0;
  }

  int Write(Handle h, const char* data, std::size_t n) override {
    while (n > 0) {
      const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
      DWORD done = 0;
      if (!WriteFile(H(h), data, ask, &done, nullptr)) return LastError();
      if (done == 0) return ERROR_DISK_FULL;
      data += done;
      n -= done;
    }
    return 0;
  }

  int Flush(Handle h) override { return FlushFileBuffers(H(h)) ? 0 : LastError(); }
  int Close(Handle h) override { return CloseHandle(H(h)) ? 0 : LastError(); }

  // ReplaceFileA refuses bare relative names on some systems (error 267), so it is given the
  // full paths; a path that cannot be resolved is passed as it is.
  static std::string FullPath(const std::string& path) {
    const DWORD need = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return path;
    std::string full(need, '\0');
    const DWORD got = GetFullPathNameA(path.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return path;
    full.resize(got);
    return full;
  }

  int Replace(const std::string& from, const std::string& to, const TargetState& was) override {
    if (was.exists) {
      // Keeps the target's attributes, owner and creation time.
      if (ReplaceFileA(FullPath(to).c_str(), FullPath(from).c_str(), nullptr,
                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        // Not every implementation carries the attributes over; the list's own must stay.
        constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        const DWORD now = GetFileAttributesA(to.c_str());
        if (now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (was.mode & kKept)) {
          const DWORD want = (now & ~kKept & ~FILE_ATTRIBUTE_NORMAL) | (was.mode & kKept);
          SetFileAttributesA(to.c_str(), want != 0 ? want : FILE_ATTRIBUTE_NORMAL);
        }
        return 0;
      }
      const int e = LastError();
      // The target went away meanwhile: a plain move does.
      if (e != ERROR_FILE_NOT_FOUND) return e;
    }
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastError();
  }

  int Remove(const std::string& path) override {
    return DeleteFileA(path.c_str()) ? 0 : LastError();
  }

  bool IsFile(const std::string& path) override {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
};

#else

// POSIX errors onto the numbers the messages are chosen by.
int Map(int e) {
  switch (e) {
    case 0:
      return EIO;
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
      return kPathNotFound;
    case EMFILE:
    case ENFILE:
      return kTooManyOpen;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return kAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kDiskFull;
    case EEXIST:
      return kAlreadyExists;
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
  if (e == ENOENT && !FolderExists(path)) return kPathNotFound;
  return Map(e);
}

int Fd(Handle h) { return static_cast<int>(h); }

class RealFileSystem final : public FileSystem {
 public:
  int OpenRead(const std::string& path, Handle& h) override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return MapOpenError(errno, path);
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      const int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
      ::close(fd);
      return Map(e);
    }
    h = fd;
    return 0;
  }

  int Size(Handle h, std::uint64_t& size) override {
    struct stat st;
    if (::fstat(Fd(h), &st) != 0) return Map(errno);
    size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return 0;
  }

  int Read(Handle h, char* buf, std::size_t n, std::size_t& got) override {
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

  int CreateNew(const std::string& path, const TargetState& like, Handle& h) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return errno == ENOENT ? kPathNotFound : Map(errno);
    // The replacement keeps the target's permissions.
    if (like.exists) (void)::fchmod(fd, static_cast<mode_t>(like.mode));
    h = fd;
    return 0;
  }

  int CreateOrTruncate(const std::string& path, Handle& h) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return errno == ENOENT ? kPathNotFound : Map(errno);
    h = fd;
    return 0;
  }

  int Write(Handle h, const char* data, std::size_t n) override {
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

  int Flush(Handle h) override { return ::fsync(Fd(h)) == 0 ? 0 : Map(errno); }
  int Close(Handle h) override { return ::close(Fd(h)) == 0 ? 0 : Map(errno); }

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
};

#endif

FileSystem* g_current = nullptr;

}  // namespace

FileSystem& Real() {
  static RealFileSystem real;
  return real;
}

FileSystem& Current() { return g_current != nullptr ? *g_current : Real(); }

void SetCurrent(FileSystem* fs) { g_current = fs; }

}  // namespace pallomar::fileio
