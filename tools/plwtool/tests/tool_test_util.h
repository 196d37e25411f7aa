// Running plwtool in-process, over files in a private temporary folder or in memory.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plwtool.h"
#include "temp_folder.h"

namespace plwtool::testing {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// UTF-8 everywhere; Windows paths mean something only when asked.
inline Host FakeHost(bool seesListPaths = false) {
  Host h;
  h.toTerminal = [](std::string_view s) { return std::string(s); };
  h.nameToUtf8 = [](std::string_view s) { return std::string(s); };
  h.seesListPaths = seesListPaths;
  return h;
}

inline RunResult RunTool(const std::vector<std::string>& args, const Host& host = FakeHost(),
                         const std::string& input = "",
                         pallomar::FileSystem& fs = pallomar::RealFileSystem()) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  RunResult r;
  r.status = RunPlwtool(args, in, out, err, host, fs);
  r.out = out.str();
  r.err = err.str();
  return r;
}

using pallomar::test_support::FileExists;
using pallomar::test_support::ReadFile;
using pallomar::test_support::TempFolder;

}  // namespace plwtool::testing
