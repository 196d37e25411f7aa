// `plwtool shortcuts`: a list made from folders of shortcut files.
#pragma once

#include <string>
#include <vector>

#include "entrylist/entry_list.h"
#include "shortcut_file.h"
#include "tool_io.h"

namespace plwtool {

// No shortcut is this large; a bigger file is refused unread.
inline constexpr std::uint64_t kShortcutFileLimit = 1 << 20;

struct ShortcutsRequest {
  std::vector<std::string> folders;
  std::string output;  // the list to write; unused for a dry run
  bool recursive = false;
  bool dryRun = false;
};

// The entry the editor would store for a shortcut, as the `index`th entry (from 0) of a
// list. Left out (nullopt) with the reason in `why` when the shortcut names no file the
// list can hold.
std::optional<pallomar::Entry> ShortcutEntry(const Shortcut& link, std::size_t index,
                                             std::string& why);

// Reads the shortcuts and writes the list (or, for a dry run, says what it would hold).
int ShortcutsCommand(const Io& io, const ShortcutsRequest& request);

}  // namespace plwtool
