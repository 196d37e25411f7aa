// Feeds arbitrary bytes to the list-file parser and checks what every loaded list must hold:
// the same result, entries and notes as the plain reference reader, each row has its five
// values, none holds a line break or NUL, a read cut short keeps a prefix of the records, and
// writing what was read then reading it again gives the same list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "entrylist/entry_list.h"
#include "entrylist/list_parse.h"
#include "list_file_internal.h"
#include "list_reference.h"

namespace {

using pallomar::Entry;
using pallomar::EntryList;
using pallomar::ListFileReadResult;

void Check(bool ok) {
  if (!ok) std::abort();
}

ListFileReadResult ParseCopy(const char* data, std::size_t size, bool complete, EntryList& list) {
  std::unique_ptr<char[]> buf(new char[size]);
  if (size != 0) std::memcpy(buf.get(), data, size);
  return pallomar::ParseListBytes(std::move(buf), size, list, {complete});
}

std::vector<Entry> Entries(const EntryList& list) {
  std::vector<Entry> out;
  out.reserve(list.Count());
  for (std::size_t i = 0; i < list.Count(); ++i) out.push_back(list.EntryAt(i));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  EntryList list;
  pallomar::ListNotes notes;
  std::unique_ptr<char[]> buf(new char[size]);
  if (size != 0) std::memcpy(buf.get(), bytes, size);
  const ListFileReadResult result = pallomar::ParseListBytes(
      std::move(buf), size, list, {true, pallomar::kUnknownLineFeeds, &notes});
  const pallomar::reference::Reading expected = pallomar::reference::Read({bytes, size});
  Check(result == expected.result);
  Check(notes == expected.notes);
  if (result == ListFileReadResult::HeaderNotAccepted) {
    Check(list.Count() == 0);
    return 0;
  }
  Check(list.Count() >= 1);
  const std::vector<Entry> entries = Entries(list);
  Check(entries == expected.entries);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    for (int f = 0; f < pallomar::kFieldCount; ++f) {
      const std::string& v = entries[i][f];
      Check(v.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
      Check(list.Get(i, static_cast<pallomar::Field>(f)) == v);
    }
    Check(!entries[i].params.empty() && !entries[i].folder.empty());
    Check(entries[i].runCheck == "0" || entries[i].runCheck == "1");
  }

  // Cut short by a read failure: the records kept are a prefix of the whole file's.
  EntryList cut;
  if (ParseCopy(bytes, size, false, cut) == ListFileReadResult::Loaded) {
    const std::vector<Entry> prefix = Entries(cut);
    Check(prefix.size() <= entries.size() && prefix.size() + 1 >= entries.size());
    for (std::size_t i = 0; i < prefix.size(); ++i) Check(prefix[i] == entries[i]);
  } else {
    Check(cut.Count() == 0);
  }

  // Written and read again, the list is the same, and so are its bytes. One thing the format
  // cannot carry: a later record whose path begins with Ctrl-Z (read that way after a dropped
  // lone CR) ends the file there when read back.
  std::vector<Entry> kept = entries;
  for (std::size_t i = 1; i < kept.size(); ++i) {
    if (!kept[i].path.empty() && kept[i].path[0] == '\x1A') {
      kept.resize(i);
      break;
    }
  }
  const std::string written = pallomar::listfile::ToBytes(list);
  EntryList again;
  Check(ParseCopy(written.data(), written.size(), true, again) == ListFileReadResult::Loaded);
  Check(Entries(again) == kept);
  if (kept.size() != entries.size()) return 0;
  Check(pallomar::listfile::ToBytes(again) == written);

  // The same rows appended one by one hold the same values.
  EntryList copy;
  for (const Entry& e : entries) copy.Append(e);
  Check(pallomar::listfile::ToBytes(copy) == written);
  return 0;
}
