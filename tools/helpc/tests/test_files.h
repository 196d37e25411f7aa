// Files the help tests read: outputs in their temporary folders, and the project's sources.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace helpc_testing {

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file of the project, by its path from the top.
inline std::string SourceFile(const std::string& relative) {
  return ReadFile(std::filesystem::path(PALLOMAR_SOURCE_DIR) / relative);
}

}  // namespace helpc_testing
