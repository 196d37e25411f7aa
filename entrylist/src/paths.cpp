#include "entrylist/paths.h"

namespace pallomar {
namespace {

// Delimiter sets are two or three bytes: a plain loop, not a library search per byte.
bool IsDelimiter(char c, std::string_view delimiters) {
  if (c == '\0') return false;
  for (const char d : delimiters) {
    if (c == d) return true;
  }
  return false;
}

}  // namespace

std::size_t LastDelimiter(std::string_view path, std::string_view delimiters, const CodePage& cp) {
  // Only from the start is it known which bytes begin a character: a second byte that looks
  // like a delimiter is stepped over with its lead byte.
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); i += cp.CharLength(path, i)) {
    if (IsDelimiter(path[i], delimiters)) found = i;
  }
  return found;
}

std::string FileExtension(std::string_view path, const CodePage& cp) {
  const std::size_t i = LastDelimiter(path, ".\\:", cp);
  if (i == std::string_view::npos || path[i] != '.') return {};
  return Lowered(path.substr(i), cp);
}

std::size_t FolderLength(std::string_view path, const CodePage& cp) {
  const std::size_t found = LastDelimiter(path, "\\:", cp);
  std::size_t length = found == std::string_view::npos ? 0 : found + 1;
  // A backslash that closes a folder name is dropped; one after a drive colon or another
  // backslash is the root and stays. Only the single byte before it is looked at.
  if (length > 1 && path[length - 1] == '\\' && path[length - 2] != '\\' &&
      path[length - 2] != ':') {
    --length;
  }
  return length;
}

std::string FolderOf(std::string_view path, const CodePage& cp) {
  return std::string(path.substr(0, FolderLength(path, cp)));
}

std::string NamePart(std::string_view path, const CodePage& cp) {
  const std::size_t i = LastDelimiter(path, "\\:", cp);
  if (i == std::string_view::npos) return std::string(path);
  return std::string(path.substr(i + 1));
}

std::string FolderWithBackslash(std::string_view path, const CodePage& cp) {
  const std::size_t i = LastDelimiter(path, "\\", cp);
  if (i == std::string_view::npos) return {};
  return std::string(path.substr(0, i + 1));
}

std::string Lowered(std::string_view text, const CodePage& cp) {
  std::string out(text);
  cp.Lower(out);
  return out;
}

}  // namespace pallomar
