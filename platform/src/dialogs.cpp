// The open and save dialogs' own state; running them is the platform's work.
#include <cstddef>
#include <string_view>

#include "entrylist/paths.h"
#include "platform/platform.h"

namespace pallomar::platform {

void FileDialog::SetInitialDir(std::string_view dir) {
  const std::size_t n = dir.size();
  // A root such as "C:\" or "\" keeps its backslash: without it the folder would change.
  if (n > 1 && dir[n - 2] != ':' && LastDelimiter(dir, "\\", *cp_) == n - 1) dir.remove_suffix(1);
  initialDir_.assign(dir);
}

bool TOpenDialog::Execute() { return platform_->RunOpenDialog(*this); }

bool TSaveDialog::Execute() { return platform_->RunSaveDialog(*this); }

}  // namespace pallomar::platform
