// Running plwtool in-process, over files in a private temporary folder or in memory.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "memory_file_system.h"
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

using pallomar::test_support::FileBytes;
using pallomar::test_support::FileExists;
using pallomar::test_support::TempFolder;

// A folder in memory with TempFolder's surface, for commands that need no real file: the
// tool is run over its file system.
class MemoryFolder {
 public:
  pallomar::testing::MemoryFileSystem fs;

  MemoryFolder() { fs.AddFolder("/mem/d"); }
  std::string Path(const std::string& name) const {
    return name.empty() ? "/mem/d" : "/mem/d/" + name;
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    fs.Put(Path(name), bytes);
    return Path(name);
  }
  std::string Read(const std::string& path) const { return fs.Get(path).value_or(""); }
  bool Exists(const std::string& path) const { return fs.Get(path).has_value(); }
  // Full paths of every file: shows one left behind.
  std::vector<std::string> Names() const { return fs.Files(); }
  RunResult Run(const std::vector<std::string>& args, const Host& host = FakeHost(),
                const std::string& input = "") {
    return RunTool(args, host, input, fs);
  }
};

}  // namespace plwtool::testing
