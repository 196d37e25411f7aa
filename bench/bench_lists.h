// Generated launch lists and the plain reader and writer the real ones are measured against.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "entrylist/entry_list.h"

namespace pallomar::bench {

// `n` entries: paths of 40 to 120 bytes, about one in four holding Shift-JIS characters whose
// second byte is 0x5C, parameters and folders sometimes absent.
EntryList MakeList(std::size_t n);

// Baseline reader: std::ifstream and std::getline, five std::strings per entry.
using BaselineEntry = std::array<std::string, 5>;
bool BaselineRead(const std::string& path, std::vector<BaselineEntry>& out);
// Heap and object bytes the baseline's entries take.
std::size_t BaselineBytes(const std::vector<BaselineEntry>& entries);

// Baseline writer: std::ofstream and operator<< for every line.
bool BaselineWrite(const std::string& path, const EntryList& list);

}  // namespace pallomar::bench
