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
// then replaces the target in one step. Where it cannot (the target has more than one name,
// or may be written but not replaced, or its access list cannot come over) the target is
// rewritten in place, after a whole copy of the earlier list is on the disk under
// SaveCopyName(target); the copy goes once the new list is whole, so it outlives only an
// interrupted rewrite. Where no copy can be made, or one is there already, the save is refused
// (80 for the latter). A failure leaves the earlier file as it was. Raises EInOutError.
void WriteListFile(const std::string& path, const EntryList& list,
                   FileSystem& fs = RealFileSystem());

// Removes the file a save in progress is writing, if any: its temporary file, or a new list
// not yet whole. For a program's interrupt handler; safe in a signal handler.
void RemoveUnfinishedSave() noexcept;

// The name of the copy an in-place save keeps beside `path` while it rewrites it.
std::string SaveCopyName(const std::string& path);
// The copy an interrupted in-place save left beside the list at `path`, or empty: the earlier
// list, whole, while `path` may hold a torn one. Only the user removes it.
std::string LeftoverSaveCopy(const std::string& path, FileSystem& fs = RealFileSystem());

// True when a file (not a folder) exists at `path`.
bool FileExists(const std::string& path, FileSystem& fs = RealFileSystem());

}  // namespace pallomar
