// A plain list-file reader written to be read, not to be fast: one byte at a time, one
// std::string per line. The fuzzer holds the real parse to it: same result, same entries and
// the same notes, byte for byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "entrylist/entry_list.h"
#include "entrylist/list_parse.h"

namespace pallomar::reference {

struct Reading {
  ListFileReadResult result = ListFileReadResult::HeaderNotAccepted;
  std::vector<Entry> entries;
  ListNotes notes;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  Reading Read() {
    Reading out;
    out.notes.size = bytes_.size();
    const std::string version = Line(kWholeFile, out.notes);
    out.notes.firstLine = version.substr(0, kNoteTextBytes);
    out.notes.firstLineCut = version.size() > kNoteTextBytes;
    if (version != "100" && version != "101" && version != "102") return out;
    out.result = ListFileReadResult::Loaded;
    if (version != "102") Note(out.notes, ListNoteKind::OlderVersion, kWholeFile);
    if (AtPhysicalEnd()) Note(out.notes, ListNoteKind::NoRecords, kWholeFile);

    // One record before the first end test, then one more for as long as the file goes on.
    do {
      const std::size_t entry = out.entries.size();
      std::string lines[5];
      int present = 0;
      for (std::string& line : lines) {
        if (!AtPhysicalEnd()) ++present;
        line = Line(entry, out.notes);
      }
      Entry e;
      e.path = lines[0];
      e.params = lines[1].empty() ? std::string(kDummyMarker) : lines[1];
      e.folder = lines[2].empty() ? std::string(kDummyMarker) : lines[2];
      e.windowState = lines[3];
      e.runCheck = lines[4] == "True" ? "1" : "0";
      out.entries.push_back(e);

      if (present > 0) {
        if (lines[1] == kDummyMarker) Note(out.notes, ListNoteKind::DummyParams, entry);
        if (lines[2] == kDummyMarker) Note(out.notes, ListNoteKind::DummyFolder, entry);
        if (present == 5 && lines[4] != "True" && lines[4] != "False") {
          Note(out.notes, ListNoteKind::RunCheckText, entry, 0, lines[4]);
        }
        if (present < 5) {
          bool blank = true;
          for (const std::string& line : lines) blank = blank && line.empty();
          if (blank) {
            Note(out.notes, ListNoteKind::BlankTail, entry);
          } else {
            Note(out.notes, ListNoteKind::CutRecord, entry, static_cast<std::size_t>(present));
          }
        }
      }
    } while (!AtEnd());
    if (!AtPhysicalEnd()) {
      Note(out.notes, ListNoteKind::CtrlZTail, kWholeFile, bytes_.size() - at_);
    }
    return out;
  }

 private:
  bool AtPhysicalEnd() const { return at_ >= bytes_.size(); }
  bool AtEnd() const { return AtPhysicalEnd() || bytes_[at_] == '\x1A'; }

  // One line: it ends at LF or CR LF; any other CR is dropped; a NUL drops the rest of the
  // line; past the end every line is empty.
  std::string Line(std::size_t entry, ListNotes& notes) {
    std::string value;
    bool cut = false;
    bool loneCr = false;
    bool nul = false;
    bool lfOnly = false;
    while (!AtPhysicalEnd()) {
      const char c = bytes_[at_++];
      if (c == '\n') {
        lfOnly = true;
        break;
      }
      if (c == '\r') {
        if (!AtPhysicalEnd() && bytes_[at_] == '\n') {
          ++at_;
          break;
        }
        loneCr = true;
        continue;
      }
      if (c == '\0') {
        cut = true;
        nul = true;
        continue;
      }
      if (!cut) value += c;
    }
    if (loneCr) Once(loneCrNoted_, notes, ListNoteKind::LoneCr, entry);
    if (nul) Once(nulNoted_, notes, ListNoteKind::NulCut, entry);
    if (lfOnly) Once(lfOnlyNoted_, notes, ListNoteKind::LfOnly, entry);
    return value;
  }

  static void Note(ListNotes& notes, ListNoteKind kind, std::size_t entry, std::size_t count = 0,
                   const std::string& text = "") {
    notes.items.push_back(
        {kind, entry, count, text.substr(0, kNoteTextBytes), text.size() > kNoteTextBytes});
  }
  static void Once(bool& done, ListNotes& notes, ListNoteKind kind, std::size_t entry) {
    if (!done) Note(notes, kind, entry);
    done = true;
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
  bool loneCrNoted_ = false;
  bool nulNoted_ = false;
  bool lfOnlyNoted_ = false;
};

inline Reading Read(std::string_view bytes) { return Reader(bytes).Read(); }

}  // namespace pallomar::reference
