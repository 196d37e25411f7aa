// The list file's file-system calls on Windows, through the ANSI API.
#include <windows.h>

#include <algorithm>
#include <atomic>

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

// The file's access rules as the host reports them, or empty.
std::string AccessRules(const std::string& path) {
  DWORD need = 0;
  GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &need);
  std::string rules(need, '\0');
  if (need == 0 ||
      !GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, rules.data(), need, &need)) {
    return {};
  }
  return rules;
}

// Gives `path` the access rules `rules` unless it has them already.
void KeepAccessRules(const std::string& path, const std::string& rules) {
  if (AccessRules(path) == rules) return;
  std::string copy = rules;
  SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, copy.data());
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
    // The new file has the target's access rules from the start: with the folder's, it would
    // be open to whoever may read the folder until it takes the target's place.
    state.security = AccessRules(path);
    return 0;
  }

  std::string Beside(const std::string& path, std::string_view name) override {
    // A trail byte may be a backslash: the split must not cut a double-byte character.
    const std::size_t at = LastDelimiter(path, "\\/:");
    std::string out = at == std::string::npos ? std::string() : path.substr(0, at + 1);
    out += name;
    return out;
  }

  int CreateNew(const std::string& path, const TargetState& like, FileHandle& h) override {
    // Attributes, owner and creation time come over with ReplaceFileA. Deleting is shared so
    // that an interrupted save can remove the file while it is still open.
    SECURITY_ATTRIBUTES rules{sizeof rules, nullptr, FALSE};
    if (!like.security.empty()) {
      rules.lpSecurityDescriptor = const_cast<char*>(like.security.data());
    }
    const HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 &rules, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      const int e = LastError();
      return e == ERROR_FILE_EXISTS ? kAlreadyExists : e;
    }
    h = reinterpret_cast<FileHandle>(f);
    return 0;
  }

  int OpenForRewrite(const std::string& path, FileHandle& h) override {
    // Not shared for writing: a second save is refused until this one is done.
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
      // A target held open by a program that does not let it be removed cannot be replaced;
      // asking first keeps some hosts from leaving a file of their own behind in trying.
      const HANDLE probe =
          CreateFileA(to.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (probe == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION) return kSharingViolation;
      } else {
        CloseHandle(probe);
      }
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
        // Nor the access rules.
        if (!was.security.empty()) KeepAccessRules(to, was.security);
        return 0;
      }
      const int e = LastError();
      // The target is held open by a program that does not let it be removed: it is as it
      // was, and may still be written in place.
      if (e == ERROR_UNABLE_TO_REMOVE_REPLACED) return kSharingViolation;
      // The target went away meanwhile (or was removed and the new file not renamed into its
      // place): a plain move puts the new list there.
      if (e != ERROR_FILE_NOT_FOUND && e != ERROR_UNABLE_TO_MOVE_REPLACEMENT) return e;
    }
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastError();
  }

  int MoveNew(const std::string& from, const std::string& to) override {
    // Without MOVEFILE_REPLACE_EXISTING a name that is taken is refused.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
    const int e = LastError();
    return e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS ? kAlreadyExists : e;
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

bool RemoveFileNow(const char* path) noexcept { return DeleteFileA(path) != 0; }

namespace {
std::atomic<int> holds{0};
}  // namespace

// The console handler runs on a thread of its own; it asks InterruptsHeld() and waits.
InterruptHold::InterruptHold() noexcept { holds.fetch_add(1); }
InterruptHold::~InterruptHold() { holds.fetch_sub(1); }
bool InterruptsHeld() noexcept { return holds.load() != 0; }

FileSystem& RealFileSystem() {
  static Win32FileSystem real;
  return real;
}

}  // namespace pallomar
