// Windows (and Wine): the system's code-page conversion, the console's code page, and the
// file system the list's paths refer to.
#include <windows.h>

#include <cstdio>

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

std::optional<std::string> HostSjisToUtf8(std::string_view sjis) {
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
  auto sjis = FromWide(932, *wide, true);
  if (!sjis) return std::nullopt;
  // No best fit, and what is written must read back as the same characters, as on every host.
  const auto back = ToWide(932, *sjis, MB_ERR_INVALID_CHARS);
  if (!back || *back != *wide) return std::nullopt;
  return sjis;
}

namespace {

int ListFolder(const std::string& folder, std::vector<FolderItem>& items) {
  const std::string base = folder.ends_with('\\') || folder.ends_with('/') || folder.ends_with(':')
                               ? folder
                               : folder + "\\";
  WIN32_FIND_DATAA found{};
  const HANDLE h = FindFirstFileA((base + "*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(e);
  }
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    // A junction or link to a folder is not followed: it could lead back up.
    const DWORD a = found.dwFileAttributes;
    items.push_back(
        {base + name, name,
         (a & FILE_ATTRIBUTE_DIRECTORY) != 0 && (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0});
  } while (FindNextFileA(h, &found));
  const DWORD e = GetLastError();
  FindClose(h);
  return e == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(e);
}

}  // namespace

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
  h.inputFailed = [] { return std::ferror(stdin) != 0; };
  h.listFolder = ListFolder;
  h.launcher = MakeWin32Launcher();
  return h;
}

}  // namespace plwtool
