// Lists for the tests of `plwtool run`.
#pragma once

#include <string>

#include "tool_test_util.h"

namespace plwtool::testing {

inline const std::string kHyoSjis = "\x95\x5C";  // 表: its second byte is a backslash

// One entry as the file holds it; `run` is "True" or "False".
inline std::string ListRecord(const std::string& path, const std::string& params,
                              const std::string& folder, const std::string& state,
                              const std::string& run) {
  return path + "\r\n" + params + "\r\n" + folder + "\r\n" + state + "\r\n" + run + "\r\n";
}

// The machine's own launcher and file names, with the tool's texts left in UTF-8.
inline Host RealLauncherHost() {
  Host h = CurrentHost();
  h.toTerminal = [](std::string_view s) { return std::string(s); };
  return h;
}

}  // namespace plwtool::testing
