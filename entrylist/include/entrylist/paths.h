// Path rules that never cut a Shift-JIS double-byte character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "entrylist/codepage.h"

namespace pallomar {

// Index of the last byte of `path` that is in `delimiters` and is not the second byte of a
// double-byte character; npos when there is none. NUL is never a delimiter.
std::size_t LastDelimiter(std::string_view path, std::string_view delimiters,
                          const CodePage& cp = ActiveCodePage());

// Lower-cased extension with its dot, or empty.
std::string FileExtension(std::string_view path, const CodePage& cp = ActiveCodePage());
// Folder part: c:\x.exe -> c:\, c:\a\x.exe -> c:\a, c:x.exe -> c:, x.exe -> empty.
std::string FolderOf(std::string_view path, const CodePage& cp = ActiveCodePage());
// How long FolderOf(path) is: it is always the start of the path.
std::size_t FolderLength(std::string_view path, const CodePage& cp = ActiveCodePage());
// Everything after the last "\" or ":", or the whole path.
std::string NamePart(std::string_view path, const CodePage& cp = ActiveCodePage());
// Up to and including the last "\" (the executable's folder for the help file).
std::string FolderWithBackslash(std::string_view path, const CodePage& cp = ActiveCodePage());
// The lowering rule.
std::string Lowered(std::string_view text, const CodePage& cp = ActiveCodePage());

}  // namespace pallomar
