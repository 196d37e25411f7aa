#include "check.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "entrylist/errors.h"
#include "entrylist/model.h"
#include "entrylist/paths.h"
#include "list_form.h"

namespace plwtool {

using pallomar::kDummyMarker;

namespace {

std::string Quoted(std::string_view sjis) { return QuotedStart(sjis); }

// Only full paths are looked for: a bare name is found by the launcher's search path.
bool IsFullPath(std::string_view p) {
  if (p.size() >= 3 && p[1] == ':' && p[2] == '\\') {
    const char d = p[0];
    return (d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z');
  }
  return p.size() >= 2 && p[0] == '\\' && p[1] == '\\';
}

}  // namespace

const char* StateWord(std::int32_t v) {
  switch (v) {
    case 0:
      return "normal";
    case 1:
      return "maximised";
    case 2:
      return "minimised";
    default:
      return "no choice";
  }
}

namespace {

class Collector {
 public:
  explicit Collector(const std::function<void(const Finding&)>& report) : report_(report) {}
  void File(std::string message, Change change = Change::None) {
    Emit({0, "", std::move(message), change});
  }
  void Entry(std::size_t n, std::string field, std::string message, Change change = Change::None) {
    Emit({n, std::move(field), std::move(message), change});
  }
  std::size_t count = 0;

 private:
  void Emit(const Finding& f) {
    ++count;
    report_(f);
  }
  const std::function<void(const Finding&)>& report_;
};

// The window state as adding the entry again would store it, beside what the file holds.
void CheckWindowState(Collector& c, std::size_t n, std::string_view text,
                      const std::string& stored) {
  if (text == stored) {
    if (text == "-1") c.Entry(n, "window state", "\"-1\": no window state is chosen");
    return;
  }
  const std::int32_t bounded = std::stoi(stored);
  c.Entry(n, "window state",
          Quoted(text) + " is not 0, 1 or 2; it becomes \"" + stored + "\" (" + StateWord(bounded) +
              ")",
          Change::OnReAdd);
}

// What the reader smoothed over in one record.
void ReportEntryNote(Collector& c, const pallomar::ListNote& note) {
  using K = pallomar::ListNoteKind;
  const std::size_t n = note.entry + 1;
  switch (note.kind) {
    case K::DummyParams:
      c.Entry(n, "parameters", "the line reads \"$dummy$\", which means none", Change::OnSave);
      break;
    case K::DummyFolder:
      c.Entry(n, "working folder", "the line reads \"$dummy$\", which means none", Change::OnSave);
      break;
    case K::RunCheckText:
      c.Entry(n, "running check",
              QuotedStart(note.text) + " is neither \"True\" nor \"False\"; it reads as off",
              Change::OnSave);
      break;
    case K::CutRecord:
      c.Entry(n, "",
              "the file ends after line " + std::to_string(note.count) +
                  " of this entry's 5; the missing lines read as empty",
              Change::OnSave);
      break;
    case K::BlankTail:
      c.Entry(n, "", "an empty entry made by blank lines at the end of the file", Change::OnSave);
      break;
    default:
      break;
  }
}

// Windows paths ignore case, so the same program differs only in A-Z. Keys are kept as hashes
// (a list may hold a million entries); equal hashes are compared in full.
class Duplicates {
 public:
  explicit Duplicates(const pallomar::EntryList& list) : list_(list) {
    seen_.reserve(list.Count());
  }

  // The earlier entry (from 1) with the same key as row `i`, or 0.
  std::size_t Earlier(std::size_t i) {
    const std::string key = Key(i);
    const std::size_t h = std::hash<std::string>()(key);
    const auto [from, to] = seen_.equal_range(h);
    for (auto it = from; it != to; ++it) {
      if (Key(it->second) == key) return it->second + 1;
    }
    seen_.emplace(h, i);
    return 0;
  }

 private:
  std::string Key(std::size_t i) const {
    return pallomar::Lowered(list_.Get(i, pallomar::kPath)) + '\n' +
           std::string(list_.Get(i, pallomar::kParams));
  }
  const pallomar::EntryList& list_;
  std::unordered_multimap<std::size_t, std::size_t> seen_;
};

}  // namespace

std::string FindingText(const Finding& f) {
  std::string s;
  if (f.entry != 0) s += "entry " + std::to_string(f.entry) + ": ";
  if (!f.field.empty()) s += f.field + ": ";
  s += f.message;
  if (f.change == Change::OnSave) s += " (the editor changes this when it saves the list)";
  if (f.change == Change::OnReAdd) {
    s += " (the editor changes this when the entry is taken out and added again)";
  }
  return s;
}

std::size_t ReportFindings(const LoadedList& file, const Host& host,
                           const std::function<void(const Finding&)>& report) {
  using K = pallomar::ListNoteKind;
  Collector c(report);
  const pallomar::ListNotes& notes = file.notes;
  if (file.status == LoadStatus::NotAList) {
    if (notes.size == 0) {
      c.File("version line: the file is empty; the editor does not open it");
    } else {
      c.File("version line: " + QuotedStart(notes.firstLine) +
             " is not 100, 101 or 102; the editor does not open this file");
    }
    return c.count;
  }
  if (file.status != LoadStatus::Loaded) return c.count;

  // Notes on the file as a whole first, then entry by entry with what the reader gives.
  const auto find = [&](K kind) -> const pallomar::ListNote* {
    for (const pallomar::ListNote& note : notes.items) {
      if (note.kind == kind) return &note;
    }
    return nullptr;
  };
  if (find(K::OlderVersion) != nullptr) {
    c.File("version line: " + QuotedStart(notes.firstLine) + " is an older version line",
           Change::OnSave);
  }
  if (file.droppedPhantom) {
    c.File("the file holds no entries; the editor shows one empty entry for it", Change::OnSave);
    return c.count;
  }
  if (const pallomar::ListNote* tail = find(K::CtrlZTail); tail != nullptr && tail->count > 1) {
    c.File(
        std::to_string(tail->count - 1) + " bytes after an end-of-file mark (Ctrl-Z) are ignored",
        Change::OnSave);
  }
  if (find(K::LoneCr) != nullptr) {
    c.File("a CR inside a line is dropped on reading", Change::OnSave);
  }
  if (find(K::NulCut) != nullptr) {
    c.File("a NUL byte inside a line cuts it short: the rest of the line is dropped on reading",
           Change::OnSave);
  }

  const pallomar::EntryList& list = file.list;
  Duplicates duplicates(list);
  std::size_t next = 0;  // the next entry note
  const auto& items = notes.items;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const std::size_t n = i + 1;
    // This entry's notes: a cut or blank record first, then its lines.
    const std::size_t first = next;
    while (next < items.size() &&
           (items[next].entry == pallomar::kWholeFile || items[next].entry <= i)) {
      ++next;
    }
    bool blankTail = false;
    for (const bool ends : {true, false}) {
      for (std::size_t k = first; k < next; ++k) {
        const bool isEnd = items[k].kind == K::CutRecord || items[k].kind == K::BlankTail;
        if (items[k].entry != i || isEnd != ends) continue;
        ReportEntryNote(c, items[k]);
        blankTail = blankTail || items[k].kind == K::BlankTail;
      }
    }
    if (blankTail) continue;

    const auto path = list.Get(i, pallomar::kPath);
    const auto folder = list.Get(i, pallomar::kFolder);
    std::string ext;
    if (path.empty()) {
      c.Entry(n, "file to run", "empty; the launcher has nothing to start");
    } else {
      ext = pallomar::FileExtension(path);
      if (ext.empty()) {
        c.Entry(n, "file to run", Quoted(path) + " has no extension");
      }
    }
    // What taking the entry out and adding it again would store.
    pallomar::PanelValues values;
    bool stateIsNumber = true;
    try {
      pallomar::FillFromRow(list, i, values);
    } catch (const pallomar::EConvertError&) {
      stateIsNumber = false;
      values.runCheck = pallomar::RunCheckOn(list.Get(i, pallomar::kRunCheck));
    }
    const pallomar::Entry again = pallomar::AddedEntry(values, ext);
    if (again.params != list.Get(i, pallomar::kParams)) {
      c.Entry(n, "parameters", "given for a file that is not .exe or .com; they are dropped",
              Change::OnReAdd);
    }
    if (pallomar::RunCheckOn(list.Get(i, pallomar::kRunCheck)) &&
        !pallomar::RunCheckOn(again.runCheck)) {
      c.Entry(n, "running check", "on for a file that is not .exe; it is turned off",
              Change::OnReAdd);
    }
    const auto state = list.Get(i, pallomar::kWindowState);
    if (stateIsNumber) {
      CheckWindowState(c, n, state, again.windowState);
    } else {
      c.Entry(n, "window state",
              Quoted(state) +
                  " is not a number; the editor reports an error when the entry is taken out "
                  "or its details are shown");
    }

    if (const std::size_t earlier = duplicates.Earlier(i)) {
      c.Entry(n, "file to run",
              "same file to run and parameters as entry " + std::to_string(earlier));
    }

    if (host.seesListPaths) {
      const std::string p(path);
      if (IsFullPath(p) && host.probe(p) == PathKind::Missing) {
        c.Entry(n, "file to run", Quoted(path) + " does not exist");
      }
      const std::string f(folder);
      if (folder != kDummyMarker && IsFullPath(f) && host.probe(f) != PathKind::Folder) {
        c.Entry(n, "working folder", Quoted(folder) + " does not exist");
      }
    }
  }
  return c.count;
}

}  // namespace plwtool
