// A list file as the tool sees it: the entries as the editor's reader gives them, with the
// reader's notes on what it smoothed over, from one reading of the file.
#pragma once

#include <string>

#include "entrylist/entry_list.h"
#include "entrylist/list_parse.h"
#include "host.h"

namespace plwtool {

enum class LoadStatus { Loaded, NotAList, Failed };

struct LoadedList {
  LoadStatus status = LoadStatus::Failed;
  std::string error;  // for Failed: why, in UTF-8 (the editor's own message for file errors)
  pallomar::ListNotes notes;
  // Empty when nothing follows the version line, so that an empty list exports as one.
  pallomar::EntryList list;
  // The reader's entry for a file with no records was dropped from `list`.
  bool droppedPhantom = false;
  // The version line for the JSON form.
  std::string Version() const {
    return status == LoadStatus::Loaded ? notes.firstLine : std::string();
  }
};

// Reads `path` once through the editor's reader; only a regular file is read.
LoadedList LoadList(const std::string& path, const Host& host);

}  // namespace plwtool
