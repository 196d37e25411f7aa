// Shortcut (.lnk) files as Microsoft publishes their format, read from bytes alone: no COM,
// no file system, so it reads the same on every host. Every size and offset in the bytes is
// untrusted; whatever does not fit is refused with a message, never read past.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace plwtool {

// A shortcut that cannot be read; the message (English) says where and why.
class ShortcutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text of the shortcut: UTF-8 when the file held it as UTF-16, else the file's ANSI bytes
// (the code page of the machine that made it).
struct ShortcutText {
  std::string bytes;
  bool utf8 = false;
  bool operator==(const ShortcutText&) const = default;
};

enum class TargetKind {
  None,         // only a shell item list (a special folder, a URL, ...): no file path
  Local,        // a path on a drive
  Network,      // a share's name and the path below it
  Environment,  // a path written with %VARIABLES%, as the shortcut holds it
};

struct Shortcut {
  TargetKind kind = TargetKind::None;
  ShortcutText target;
  bool targetIsFolder = false;  // the target's attributes when the shortcut was made
  bool hasIdList = false;
  ShortcutText arguments;
  ShortcutText workingFolder;
  std::uint32_t showCommand = 1;  // as stored: 1 normal, 3 maximised, 7 minimised
};

// Longest text taken from a shortcut, in bytes as stored (32767 characters of UTF-16, or of
// double-byte ANSI); no Windows path or command line is longer.
inline constexpr std::size_t kShortcutTextLimit = 32767 * 2;

// Reads a whole shortcut file. Raises ShortcutError.
Shortcut ParseShortcut(std::string_view bytes);

}  // namespace plwtool
