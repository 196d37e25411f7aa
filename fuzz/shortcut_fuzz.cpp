// Feeds arbitrary bytes to the shortcut reader. It must refuse them with its own error or read
// them within its bounds; whatever entry it makes of them must be one a list file holds and
// gives back as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "entrylist/entry_list.h"
#include "shortcut_file.h"
#include "shortcuts.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckText(const plwtool::ShortcutText& t) {
  // A UTF-16 text becomes at most three bytes per unit.
  Check(t.bytes.size() <= plwtool::kShortcutTextLimit * 3 / 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  plwtool::Shortcut link;
  try {
    link = plwtool::ParseShortcut(bytes);
  } catch (const plwtool::ShortcutError& e) {
    Check(e.what()[0] != '\0');
    return 0;
  }
  CheckText(link.target);
  CheckText(link.arguments);
  CheckText(link.workingFolder);
  for (const std::size_t index : {std::size_t{0}, std::size_t{1}}) {
    std::string why;
    const auto entry = plwtool::ShortcutEntry(link, index, why);
    if (!entry) {
      Check(!why.empty());
      continue;
    }
    Check(!entry->path.empty());
    Check(index == 0 || entry->path[0] != '\x1A');
    // The list keeps exactly these bytes: no NUL cuts them.
    pallomar::EntryList list;
    list.Append(*entry);
    Check(list.EntryAt(0) == *entry);
    for (const std::string* field : {&entry->path, &entry->params, &entry->folder}) {
      Check(field->find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    }
  }
  return 0;
}
