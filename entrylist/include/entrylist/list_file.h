// The list file: version line "102", then five lines per entry, CR LF line ends.
#pragma once

#include <string>

#include "entrylist/entry_list.h"
#include "entrylist/errors.h"

namespace pallomar {

enum class ListFileReadResult { Loaded, HeaderNotAccepted };

struct ListNotes;

// Appends the file's records to `list` (which the caller has emptied); with `notes`, also says
// what the reader smoothed over. Raises EInOutError.
ListFileReadResult ReadListFile(const std::string& path, EntryList& list,
                                ListNotes* notes = nullptr);

// Stores `list` at `path`: the whole list goes to a new file beside the target, is flushed,
// then replaces the target in one step, so a failure leaves the earlier file as it was.
// Raises EInOutError.
void WriteListFile(const std::string& path, const EntryList& list);

// True when a file (not a folder) exists at `path`.
bool FileExists(const std::string& path);

}  // namespace pallomar
