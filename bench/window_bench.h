// What the window benchmarks share: the clock, a median over runs, a list file to load, and the
// benchmarks that start the program as its own process.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace window_bench {

// Milliseconds on the performance counter.
double Now();

struct Stats {
  double median = 0;
  double max = 0;
};
Stats Measure(int runs, const std::function<double()>& once);

// A list file of `count` entries in the temporary folder; its path.
std::string MakeList(std::size_t count);

// The program's start until its window shows and it is idle, beside the system's own editor.
void BenchLaunch(const char* exe, int runs);
// A screen reader's share: row names read from a second process, through the list's
// accessible object in the running editor.
void BenchAccessibleNames(const char* exe, std::size_t count, int runs);

}  // namespace window_bench
