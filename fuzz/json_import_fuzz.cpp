// Feeds arbitrary bytes to plwtool's JSON import. Whatever it accepts must export and import
// back to the same entries, and the list file written for it must read back as those entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "entrylist/entry_list.h"
#include "entrylist/list_parse.h"
#include "list_file_internal.h"
#include "list_form.h"

namespace {

using pallomar::Entry;
using pallomar::EntryList;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<Entry> Entries(const EntryList& list) {
  std::vector<Entry> out;
  for (std::size_t i = 0; i < list.Count(); ++i) out.push_back(list.EntryAt(i));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  EntryList list;
  try {
    list = plwtool::ReadListJson(in);
  } catch (const plwtool::JsonError&) {
    return 0;
  } catch (const plwtool::FormError&) {
    return 0;
  }
  const std::vector<Entry> entries = Entries(list);

  // Exported and imported again: the same entries.
  std::ostringstream json;
  plwtool::Output out(json);
  // Record by record, as the export writes it.
  plwtool::WriteJsonHead("102", out);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EntryList record;
    record.Append(entries[i]);
    plwtool::WriteJsonRecord(record, i == 0, out);
  }
  plwtool::WriteJsonTail(!entries.empty(), out);
  Check(out.Flush());
  std::istringstream again(json.str());
  Check(Entries(plwtool::ReadListJson(again)) == entries);

  // Written as a list file and read back: the same entries (an empty list reads as the one
  // empty entry of a file with no records, which the tool drops again).
  const std::string bytes = pallomar::listfile::ToBytes(list);
  std::unique_ptr<char[]> buf(new char[bytes.size()]);
  std::memcpy(buf.get(), bytes.data(), bytes.size());
  EntryList read;
  pallomar::ListNotes notes;
  Check(pallomar::ParseListBytes(std::move(buf), bytes.size(), read,
                                 {true, pallomar::kUnknownLineFeeds, &notes}) ==
        pallomar::ListFileReadResult::Loaded);
  if (entries.empty()) {
    Check(read.Count() == 1 && notes.items.size() == 1 &&
          notes.items[0].kind == pallomar::ListNoteKind::NoRecords);
  } else {
    Check(Entries(read) == entries);
  }
  return 0;
}
