// A list file as the tool sees it: the entries as the editor's reader gives them, and the raw
// lines beside them for what the reader smooths over.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "entrylist/entry_list.h"

namespace plwtool {

// One five-line record as the reader forms it, before any mapping.
struct RawRecord {
  std::array<std::string, 5> lines;
  int present = 0;  // how many of the five lines the file really holds
};

struct RawFile {
  std::size_t size = 0;  // bytes in the file
  std::string version;   // the first line
  bool lfOnly = false;   // some line ends in LF without CR
  bool loneCr = false;   // a CR inside a line (the reader drops it)
  // The file ends right after the version line; the reader still yields one empty entry.
  bool nothingAfterVersion = false;
  std::vector<RawRecord> records;
  // Bytes from a Ctrl-Z that ended the file early on, itself included.
  std::size_t ignoredTail = 0;
};

// Splits `bytes` by the reader's line rules: a line ends at LF, every CR is dropped, a NUL
// cuts the value, missing lines are empty, and a Ctrl-Z where a record would start ends the
// file.
RawFile SplitRaw(const std::string& bytes);

enum class LoadStatus { Loaded, NotAList, Failed };

struct LoadedList {
  LoadStatus status = LoadStatus::Failed;
  std::string error;  // for Failed: the file error's message in UTF-8
  int errorCode = 0;
  // False when the raw bytes do not match what the reader read; `raw` is then empty (with
  // the version the writer writes) and only the reader's view counts.
  bool rawFits = false;
  RawFile raw;
  // Empty when nothing follows the version line, so that an empty list exports as one.
  pallomar::EntryList list;
  // The reader's entry for a file with no records was dropped from `list`.
  bool droppedPhantom = false;
};

// Reads `path` through the editor's reader, and its raw bytes for the findings.
LoadedList LoadList(const std::string& path);

}  // namespace plwtool
