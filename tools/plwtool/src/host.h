// What the tool needs from the machine it runs on: Shift-JIS conversion, the terminal's
// encoding, standard input and the launcher. One implementation per host.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plwtool {

// Shift-JIS (code page 932) bytes as UTF-8. nullopt when the bytes are not valid Shift-JIS,
// or when converting back would not give the same bytes: a text that gets a string form
// always comes back byte for byte.
std::optional<std::string> SjisToUtf8(std::string_view sjis);
// The same, asked of the host for the whole text; SjisToUtf8 asks it once per character.
std::optional<std::string> HostSjisToUtf8(std::string_view sjis);
// UTF-8 as Shift-JIS; nullopt when the UTF-8 is malformed or a character has no Shift-JIS
// form that reads back as the same character (no best-fit substitutes).
std::optional<std::string> Utf8ToSjis(std::string_view utf8);

class Launcher;

// One name in a folder, as the host lists it.
struct FolderItem {
  std::string path;  // the folder's path joined with the name, as the host opens it
  // The name alone in Shift-JIS (the ANSI code page's bytes), as they sort and as the path
  // rules read them; the host's own bytes when the name has no such form.
  std::string name;
  bool folder = false;  // a folder of its own (never a link to one, which could loop)
};

// What the tool needs from the machine beside its file system, which it is given apart.
struct Host {
  // The tool's own UTF-8 text in the terminal's encoding.
  std::function<std::string(std::string_view utf8)> toTerminal;
  // A file name as given on the command line, as UTF-8 for messages.
  std::function<std::string(std::string_view name)> nameToUtf8;
  // Whether the paths inside a list (Windows paths) mean anything here.
  bool seesListPaths = false;
  // Whether reading standard input failed (as opposed to ending): closed, or not readable.
  std::function<bool()> inputFailed;
  // Lists `folder` (without "." and ".."); 0 or the error number the file system uses.
  std::function<int(const std::string& folder, std::vector<FolderItem>& items)> listFolder;
  // Starts programs and sees running ones; none where Windows programs cannot run.
  std::shared_ptr<Launcher> launcher;
};

// The machine the tool runs on.
Host CurrentHost();

}  // namespace plwtool
