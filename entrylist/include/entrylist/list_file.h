// The list file: version line "102", then five lines per entry, CR LF line ends.
#pragma once

#include <string>

#include "entrylist/entry_list.h"
#include "entrylist/errors.h"
#include "entrylist/file_system.h"

namespace pallomar {

enum class ListFileReadResult { Loaded, HeaderNotAccepted };

struct ListNotes;

// Appends the file's records to `list` (which the caller has emptied); with `notes`, also says
// what the reader smoothed over. Raises EInOutError.
ListFileReadResult ReadListFile(const std::string& path, EntryList& list,
                                FileSystem& fs = RealFileSystem(), ListNotes* notes = nullptr);

// Stores `list` at `path`: the whole list goes to a new file beside the target, is flushed,
// then replaces the target in one step. Where no file can be made beside it (or the target
// has more than one name) the target is rewritten in place, its earlier bytes kept in memory
// and put back on any failure. Either way a failure leaves the earlier file as it was.
// Raises EInOutError.
void WriteListFile(const std::string& path, const EntryList& list,
                   FileSystem& fs = RealFileSystem());

// Removes the file a save in progress is writing, if any: its temporary file, or a new list
// not yet whole. For a program's interrupt handler; safe in a signal handler.
void RemoveUnfinishedSave() noexcept;

// True when a file (not a folder) exists at `path`.
bool FileExists(const std::string& path, FileSystem& fs = RealFileSystem());

}  // namespace pallomar
