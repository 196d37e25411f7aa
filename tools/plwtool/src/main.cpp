// plwtool: launch lists from the command line.
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "plwtool.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // Exports are exact bytes: no LF to CR LF translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  return plwtool::RunPlwtool(args, std::cin, std::cout, std::cerr);
}
