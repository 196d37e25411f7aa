// The commands, each in a file of its own: `args` as given to the tool, the command first.
#pragma once

#include <string>
#include <vector>

#include "tool_io.h"

namespace plwtool {

int ShowCommand(const Io& io, const std::vector<std::string>& args);
int ExportCommand(const Io& io, const std::vector<std::string>& args);
int ImportCommand(const Io& io, const std::vector<std::string>& args);
int CheckCommand(const Io& io, const std::vector<std::string>& args);

}  // namespace plwtool
