// helpc: compiles the help source into the help file, its contents file and an HTML page.
//
//   helpc SOURCE OUT.hlp OUT.cnt OUT.html
//
// A refused source is reported as "SOURCE:LINE: message" and nothing is written.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "help_source.h"
#include "outputs.h"

namespace {

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  // Written under a temporary name and renamed, so a failed run leaves no half file behind.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return false;
  }
  std::remove(path.c_str());
  return std::rename(temporary.c_str(), path.c_str()) == 0;
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
  helpc::HelpSource help;
  try {
    help = helpc::ParseHelpSource(source);
  } catch (const helpc::SourceError& e) {
    std::cerr << sourcePath << ":" << e.line() << ": " << e.what() << "\n";
    return 1;
  }
  const std::string hlp = argv[2], cnt = argv[3], html = argv[4];
  const std::pair<std::string, std::string> outputs[] = {
      {hlp, helpc::WriteHelpFile(help, BaseName(cnt))},
      {cnt, helpc::WriteContentsFile(help, BaseName(hlp))},
      {html, helpc::WriteHtmlPage(help)},
  };
  for (const auto& [path, bytes] : outputs) {
    if (!WriteFile(path, bytes)) {
      std::cerr << path << ": cannot be written\n";
      return 1;
    }
  }
  return 0;
}
