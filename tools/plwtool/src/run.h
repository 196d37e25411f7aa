// `plwtool run`: starts a list's entries in order, as a launcher would.
#pragma once

#include <string>
#include <vector>

#include "tool_io.h"

namespace plwtool {

inline constexpr unsigned kIdleWaitMs = 2000;
// How long --wait-ready waits for each program when no SECONDS are given.
inline constexpr unsigned kReadyWaitMs = 30000;

// `args` as given to the tool, "run" first.
int RunCommand(const Io& io, const std::vector<std::string>& args);

}  // namespace plwtool
