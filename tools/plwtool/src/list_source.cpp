#include "list_source.h"

#include <new>
#include <stdexcept>

#include "entrylist/errors.h"
#include "entrylist/file_system.h"
#include "entrylist/list_file.h"

namespace plwtool {

LoadedList LoadList(const std::string& path, const Host& host) {
  LoadedList out;
  if (host.fileKind(path) == FileKind::Other) {
    out.error = "not a regular file; only list files are read";
    return out;
  }
  try {
    if (pallomar::ReadListFile(path, out.list, pallomar::RealFileSystem(), &out.notes) ==
        pallomar::ListFileReadResult::HeaderNotAccepted) {
      out.status = LoadStatus::NotAList;
      return out;
    }
  } catch (const pallomar::EInOutError& e) {
    out.error = SjisToUtf8(e.what()).value_or(e.what());
    return out;
  } catch (const std::bad_alloc&) {
    out.error = "too large to read into memory";
    return out;
  } catch (const std::length_error&) {
    out.error = "too large to read into memory";
    return out;
  }
  out.status = LoadStatus::Loaded;
  for (const pallomar::ListNote& n : out.notes.items) {
    if (n.kind == pallomar::ListNoteKind::NoRecords && out.list.Count() == 1) {
      out.list.Clear();
      out.droppedPhantom = true;
    }
  }
  return out;
}

}  // namespace plwtool
