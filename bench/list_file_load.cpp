// Loads one list file and reports the process's peak resident memory beside the file's size.
//   list_file_load make FILE N      writes a generated list of N entries
//   list_file_load load FILE        loads it with ReadListFile
//   list_file_load baseline FILE    loads it with the getline baseline
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench_lists.h"
#include "entrylist/list_file.h"

int main(int argc, char** argv) {
  using namespace pallomar;
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s make FILE N | load FILE | baseline FILE\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  const std::string path = argv[2];
  if (mode == "make" && argc == 4) {
    WriteListFile(path, bench::MakeList(std::stoul(argv[3])));
    return 0;
  }
  std::size_t count = 0;
  std::size_t held = 0;
  if (mode == "load") {
    EntryList list;
    if (ReadListFile(path, list) != ListFileReadResult::Loaded) return 1;
    count = list.Count();
    held = list.BytesHeld();
  } else if (mode == "baseline") {
    std::vector<bench::BaselineEntry> entries;
    if (!bench::BaselineRead(path, entries)) return 1;
    count = entries.size();
    held = bench::BaselineBytes(entries);
  } else {
    return 2;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double file = static_cast<double>(std::filesystem::file_size(path));
  const double peak = static_cast<double>(usage.ru_maxrss) * 1024.0;
  std::printf("%s: %zu entries, file %.1f MB, held %.1f MB, peak RSS %.1f MB = %.2fx file\n",
              mode.c_str(), count, file / 1e6, static_cast<double>(held) / 1e6, peak / 1e6,
              peak / file);
  return 0;
}
