// The list file's file-system calls on Windows, through the ANSI API.
#include <windows.h>

#include <algorithm>

#include "entrylist/file_system.h"
#include "entrylist/paths.h"

namespace pallomar {

namespace {

HANDLE H(FileHandle h) { return reinterpret_cast<HANDLE>(h); }

int LastError() {
  const DWORD e = GetLastError();
  return e == 0 ? ERROR_GEN_FAILURE : static_cast<int>(e);
}

LARGE_INTEGER Offset(std::uint64_t n) {
  LARGE_INTEGER li;
  li.QuadPart = static_cast<LONGLONG>(n);
  return li;
}

class Win32FileSystem final : public FileSystem {
 public:
  int OpenRead(const std::string& path, FileHandle& h) override {
    const HANDLE f =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return LastError();
    h = reinterpret_cast<FileHandle>(f);
    return 0;
  }

  int Size(FileHandle h, std::uint64_t& size) override {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(H(h), &li)) return LastError();
    size = static_cast<std::uint64_t>(li.QuadPart);
    return 0;
  }

  int Read(FileHandle h, char* buf, std::size_t n, std::size_t& got) override {
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
    const HANDLE f =
        CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return LastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(f, &info)) state.links = info.nNumberOfLinks;
    CloseHandle(f);
    return 0;
  }

  std::string Beside(const std::string& path, std::string_view name) override {
    // A trail byte may be a backslash: the split must not cut a double-byte character.
    const std::size_t at = LastDelimiter(path, "\\/:");
    std::string out = at == std::string::npos ? std::string() : path.substr(0, at + 1);
    out += name;
    return out;
  }

  int CreateNew(const std::string& path, const TargetState&, FileHandle& h) override {
    // Attributes, owner and creation time come over with ReplaceFileA.
    const HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      const int e = LastError();
      return e == ERROR_FILE_EXISTS ? kAlreadyExists : e;
    }
    h = reinterpret_cast<FileHandle>(f);
    return 0;
  }

  int OpenForRewrite(const std::string& path, FileHandle& h) override {
    const HANDLE f = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return LastError();
    h = reinterpret_cast<FileHandle>(f);
    return 0;
  }

  int Reserve(FileHandle h, std::uint64_t length) override {
    std::uint64_t size = 0;
    if (const int e = Size(h, size)) return e;
    if (size >= length) return 0;
    // Extending the end takes the room on the disk, or fails with the length unchanged.
    return SetLength(h, length);
  }

  int Seek(FileHandle h, std::uint64_t offset) override {
    return SetFilePointerEx(H(h), Offset(offset), nullptr, FILE_BEGIN) ? 0 : LastError();
  }

  int Write(FileHandle h, const char* data, std::size_t n) override {
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

  int Flush(FileHandle h) override { return FlushFileBuffers(H(h)) ? 0 : LastError(); }

  int SetLength(FileHandle h, std::uint64_t length) override {
    if (!SetFilePointerEx(H(h), Offset(length), nullptr, FILE_BEGIN)) return LastError();
    return SetEndOfFile(H(h)) ? 0 : LastError();
  }

  int Close(FileHandle h) override { return CloseHandle(H(h)) ? 0 : LastError(); }

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

  bool IsFolder(const std::string& path) override {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  // Asked of the open handle: a name may be swapped for a pipe or a device after its check.
  bool IsRegular(FileHandle h) override { return GetFileType(H(h)) == FILE_TYPE_DISK; }
};

}  // namespace

FileSystem& RealFileSystem() {
  static Win32FileSystem real;
  return real;
}

}  // namespace pallomar
