// Windows (and Wine): the system's code-page conversion, the console's code page, and the
// file system the list's paths refer to.
#include <windows.h>

#include "host.h"
#include "launcher.h"

namespace plwtool {

namespace {

std::optional<std::wstring> ToWide(UINT cp, std::string_view text, DWORD flags) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(cp, flags, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// `strict`: fail rather than put a default or best-fit character in.
std::optional<std::string> FromWide(UINT cp, const std::wstring& wide, bool strict) {
  if (wide.empty()) return std::string();
  const bool utf8 = cp == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : (strict ? WC_NO_BEST_FIT_CHARS : 0);
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = (strict && !utf8) ? &usedDefault : nullptr;
  const int n = WideCharToMultiByte(cp, flags, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, usedDefaultPtr);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(cp, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                      usedDefaultPtr);
  if (usedDefault) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> SjisToUtf8(std::string_view sjis) {
  const auto wide = ToWide(932, sjis, MB_ERR_INVALID_CHARS);
  if (!wide) return std::nullopt;
  // Code page 932 maps some characters twice (NEC and IBM rows): such bytes keep their raw
  // form, or importing the export would change them.
  const auto back = FromWide(932, *wide, true);
  if (!back || *back != sjis) return std::nullopt;
  return FromWide(CP_UTF8, *wide, true);
}

std::optional<std::string> Utf8ToSjis(std::string_view utf8) {
  const auto wide = ToWide(CP_UTF8, utf8, MB_ERR_INVALID_CHARS);
  if (!wide) return std::nullopt;
  return FromWide(932, *wide, true);
}

Host CurrentHost() {
  Host h;
  h.toTerminal = [](std::string_view s) {
    UINT cp = GetConsoleOutputCP();
    if (cp == 0) cp = GetACP();  // no console: the file gets the system's code page
    if (cp == CP_UTF8) return std::string(s);
    const auto wide = ToWide(CP_UTF8, s, 0);
    if (!wide) return std::string(s);
    return FromWide(cp, *wide, false).value_or(std::string(s));
  };
  h.nameToUtf8 = [](std::string_view s) {
    const auto wide = ToWide(CP_ACP, s, 0);
    if (!wide) return std::string(s);
    return FromWide(CP_UTF8, *wide, false).value_or(std::string(s));
  };
  h.seesListPaths = true;
  h.probe = [](const std::string& path) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
  };
  h.fileKind = [](const std::string& path) {
    // Opened without access rights: enough to ask what it is, even for a file in use.
    const HANDLE f =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (f == INVALID_HANDLE_VALUE) return FileKind::Absent;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool disk = GetFileType(f) == FILE_TYPE_DISK && GetFileInformationByHandle(f, &info) &&
                      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(f);
    return disk ? FileKind::Regular : FileKind::Other;
  };
  h.launcher = MakeWin32Launcher();
  return h;
}

}  // namespace plwtool
