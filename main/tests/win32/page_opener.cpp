// Stands in for the browser in the help test (scripts/tests/help_browser_test.sh): registered
// for .html in that test's prefix, it writes the path it was given, as the bytes it received,
// to opened.txt beside itself, and ends.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  char self[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string log(self, n);
  log = log.substr(0, log.find_last_of('\\') + 1) + "opened.txt";
  std::FILE* out = std::fopen(log.c_str(), "wb");
  if (out == nullptr) return 1;
  for (int i = 1; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
  std::fclose(out);
  return 0;
}
