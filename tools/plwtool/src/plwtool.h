// The plwtool commands, callable in-process: show, export, import and check.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "entrylist/file_system.h"
#include "host.h"

namespace plwtool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the command could not do its work; check: findings
inline constexpr int kExitUsage = 2;   // bad command line; check: a file could not be read
// A list had the copy an interrupted save leaves beside it; the command did its work.
inline constexpr int kExitCopyLeft = 3;

// Runs the command in `args` (without the program name). Listings and exports go to `out`,
// messages to `err`; `in` is the JSON for "import -"; every file is reached through `fs`.
// Exceptions never leave it.
int RunPlwtool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err, const Host& host = CurrentHost(),
               pallomar::FileSystem& fs = pallomar::RealFileSystem());

}  // namespace plwtool
