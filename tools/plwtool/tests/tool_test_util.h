// Running plwtool in-process over files in a private temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plwtool.h"

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

class TempFolder {
 public:
  TempFolder() {
    static int serial = 0;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? info->name() : "t";
    for (char& c : name) c = (c == '/' || c == '\\') ? '_' : c;  // parameterised test names
    dir_ = std::filesystem::temp_directory_path() /
           ("plwtool_" + name + "_" + std::to_string(++serial));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream f(Path(name), std::ios::binary);
    f << bytes;
    return Path(name);
  }
  static std::string Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  // Names in the folder, to see that nothing was left behind.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace plwtool::testing
