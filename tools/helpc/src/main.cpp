// helpc: compiles the help source into the help file, its contents file and an HTML page.
//
//   helpc SOURCE OUT.hlp OUT.cnt OUT.html
//
// A refused source is reported as "SOURCE:LINE: message" and nothing is written.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <utility>
#include <vector>

#include "help_source.h"
#include "outputs.h"

namespace {

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Each output is written under a temporary name, and only when all are whole are they renamed:
// a refused source or a failed write (a full disk) leaves neither a half file nor a temporary
// one behind, and the earlier outputs stay as they were.
bool WriteAll(const std::vector<std::pair<std::string, std::string>>& outputs,
              std::string& failed) {
  std::vector<std::string> written;
  const auto removeWritten = [&written] {
    for (const std::string& temporary : written) std::remove(temporary.c_str());
  };
  for (const auto& [path, bytes] : outputs) {
    const std::string temporary = path + ".tmp";
    written.push_back(temporary);
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      failed = path;
      removeWritten();
      return false;
    }
  }
  for (size_t i = 0; i < outputs.size(); ++i) {
    const std::string& path = outputs[i].first;
    std::remove(path.c_str());  // Windows renames onto no existing file
    if (std::rename(written[i].c_str(), path.c_str()) != 0) {
      failed = path;
      written.erase(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(i));
      removeWritten();
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: helpc SOURCE OUT.hlp OUT.cnt OUT.html\n";
    return 2;
  }
  const std::string sourcePath = argv[1];
  std::ifstream in(sourcePath, std::ios::binary);
  if (!in) {
    std::cerr << sourcePath << ": cannot be read\n";
    return 1;
  }
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string hlp = argv[2], cnt = argv[3], html = argv[4];
  std::vector<std::pair<std::string, std::string>> outputs;
  try {
    helpc::HelpSource help = helpc::ParseHelpSource(source);
    // Pictures are named relative to the source.
    const auto slash = sourcePath.find_last_of("/\\");
    helpc::LoadPictures(help, slash == std::string::npos ? "" : sourcePath.substr(0, slash + 1));
    outputs = {
        {hlp, helpc::WriteHelpFile(help, BaseName(cnt))},
        {cnt, helpc::WriteContentsFile(help, BaseName(hlp))},
        {html, helpc::WriteHtmlPage(help)},
    };
  } catch (const helpc::SourceError& e) {
    std::cerr << sourcePath << ":" << e.line() << ": " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << sourcePath << ": " << e.what() << "\n";
    return 1;
  }
  std::string failed;
  if (!WriteAll(outputs, failed)) {
    std::cerr << failed << ": cannot be written\n";
    return 1;
  }
  return 0;
}
