// The findings of `check`: what in a list file is broken, odd, or changed by the editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "entrylist/file_system.h"
#include "host.h"
#include "list_source.h"

namespace plwtool {

enum class Change {
  None,
  OnSave,   // the editor changes it, unasked, when it saves the list
  OnReAdd,  // the editor changes it when the entry is taken out and added again
};

// One finding, as the report is handed it: its texts last only as long as that call.
struct Finding {
  std::size_t entry = 0;     // from 1; 0 for the file as a whole
  std::string_view field;    // empty for the file as a whole
  std::string_view message;  // UTF-8
  Change change = Change::None;
};

// The findings for one list opened with notes (status Loaded or NotAList), one at a time in
// the order of the file, so that a long report is never held whole; `fs` is where the list's
// paths are looked for. Returns how many. Raises ReadFailure.
std::size_t ReportFindings(ListReader& file, LoadStatus status, const Host& host,
                           pallomar::FileSystem& fs,
                           const std::function<void(const Finding&)>& report);

// Appends one report line, without the file name and the line end.
void AppendFindingText(std::string& out, const Finding& f);

}  // namespace plwtool
