// `plwtool run`: starts a list's entries in order, as a launcher would.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "host.h"
#include "list_source.h"

namespace plwtool {

inline constexpr unsigned kIdleWaitMs = 2000;
// How long --wait-ready waits for each program when no SECONDS are given.
inline constexpr unsigned kReadyWaitMs = 30000;

// What `run` borrows from the rest of the tool: its output, messages and list opening.
struct RunIo {
  std::ostream& out;
  const Host& host;
  pallomar::FileSystem& fs;
  std::function<void(const std::string& utf8)> error;
  std::function<int(const std::string& utf8)> usage;
  // Anything the user typed, shown as it may be echoed (control bytes escaped).
  std::function<std::string(const std::string& typed)> name;
  // Opens the list; on failure it has said why and returns false.
  std::function<bool(const std::string& file, ListReader& list)> open;
};

// `args` as given to the tool, "run" first.
int RunCommand(const RunIo& io, const std::vector<std::string>& args);

}  // namespace plwtool
