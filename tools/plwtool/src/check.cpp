#include "check.h"

#include <algorithm>
#include <map>

#include "entrylist/errors.h"
#include "entrylist/model.h"
#include "entrylist/paths.h"
#include "list_form.h"

namespace plwtool {

using pallomar::kDummyMarker;

namespace {

std::string Quoted(std::string_view sjis) { return "\"" + DisplayText(sjis) + "\""; }

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
  void File(std::string message, Change change = Change::None) {
    out.push_back({0, "", std::move(message), change});
  }
  void Entry(std::size_t n, std::string field, std::string message, Change change = Change::None) {
    out.push_back({n, std::move(field), std::move(message), change});
  }
  std::vector<Finding> out;
};

void CheckWindowState(Collector& c, std::size_t n, std::string_view text) {
  if (text == "0" || text == "1" || text == "2") return;
  std::int32_t v = 0;
  try {
    v = pallomar::StrToInt(text);
  } catch (const pallomar::EConvertError&) {
    c.Entry(n, "window state",
            Quoted(text) +
                " is not a number; the editor reports an error when the entry is taken out "
                "or its details are shown");
    return;
  }
  const std::int32_t bounded = std::clamp<std::int32_t>(v, -1, 2);
  const std::string stored = std::to_string(bounded);
  if (text == "-1") {
    c.Entry(n, "window state", "\"-1\": no window state is chosen");
  } else if (stored != text) {
    c.Entry(n, "window state",
            Quoted(text) + " is not 0, 1 or 2; it becomes \"" + stored + "\" (" +
                StateWord(bounded) + ")",
            Change::OnReAdd);
  }
}

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

std::vector<Finding> FindingsFor(const LoadedList& file, const Host& host) {
  Collector c;
  const RawFile& raw = file.raw;
  if (file.status == LoadStatus::NotAList) {
    if (!file.rawFits) {
      c.File("version line: not accepted (the file changed while it was read)");
    } else if (raw.size == 0) {
      c.File("version line: the file is empty; the editor does not open it");
    } else {
      c.File("version line: " + Quoted(raw.version) +
             " is not 100, 101 or 102; the editor does not open this file");
    }
    return std::move(c.out);
  }
  if (file.status != LoadStatus::Loaded) return std::move(c.out);

  if (!file.rawFits) {
    c.File("the file changed while it was read; only what the editor reads is checked");
  } else if (raw.version != "102") {
    c.File("version line: " + Quoted(raw.version) + " is an older version line", Change::OnSave);
  }
  if (file.droppedPhantom) {
    c.File("the file holds no entries; the editor shows one empty entry for it", Change::OnSave);
    return std::move(c.out);
  }
  if (raw.ignoredTail > 1) {
    c.File(std::to_string(raw.ignoredTail - 1) +
               " bytes after an end-of-file mark (Ctrl-Z) are ignored",
           Change::OnSave);
  }
  if (raw.loneCr) c.File("a CR inside a line is dropped on reading", Change::OnSave);

  const pallomar::EntryList& list = file.list;
  const bool rawFits = file.rawFits;
  std::map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const std::size_t n = i + 1;
    const auto path = list.Get(i, pallomar::kPath);
    const auto params = list.Get(i, pallomar::kParams);
    const auto folder = list.Get(i, pallomar::kFolder);
    const auto run = list.Get(i, pallomar::kRunCheck);
    if (rawFits) {
      const RawRecord& rec = raw.records[i];
      if (rec.present < 5) {
        const bool blank = std::all_of(rec.lines.begin(), rec.lines.begin() + rec.present,
                                       [](const std::string& l) { return l.empty(); });
        if (blank && i + 1 == list.Count()) {
          c.Entry(n, "", "an empty entry made by blank lines at the end of the file",
                  Change::OnSave);
          continue;
        }
        c.Entry(n, "",
                "the file ends after line " + std::to_string(rec.present) +
                    " of this entry's 5; the missing lines read as empty",
                Change::OnSave);
      }
      if (rec.lines[1] == kDummyMarker) {
        c.Entry(n, "parameters", "the line reads \"$dummy$\", which means none", Change::OnSave);
      }
      if (rec.lines[2] == kDummyMarker) {
        c.Entry(n, "working folder", "the line reads \"$dummy$\", which means none",
                Change::OnSave);
      }
      if (rec.present == 5 && rec.lines[4] != "True" && rec.lines[4] != "False") {
        c.Entry(n, "running check",
                Quoted(rec.lines[4]) + " is neither \"True\" nor \"False\"; it reads as off",
                Change::OnSave);
      }
    }

    std::string ext;
    if (path.empty()) {
      c.Entry(n, "file to run", "empty; the launcher has nothing to start");
    } else {
      ext = pallomar::FileExtension(path);
      if (ext.empty()) {
        c.Entry(n, "file to run", Quoted(path) + " has no extension");
      }
    }
    if (params != kDummyMarker && ext != ".exe" && ext != ".com") {
      c.Entry(n, "parameters", "given for a file that is not .exe or .com; they are dropped",
              Change::OnReAdd);
    }
    if (run != "0" && ext != ".exe") {
      c.Entry(n, "running check", "on for a file that is not .exe; it is turned off",
              Change::OnReAdd);
    }
    CheckWindowState(c, n, list.Get(i, pallomar::kWindowState));

    // Windows paths ignore case, so the same program differs only in A-Z.
    const std::string key = pallomar::Lowered(path) + '\n' + std::string(params);
    const auto [at, fresh] = seen.emplace(key, n);
    if (!fresh) {
      c.Entry(n, "file to run",
              "same file to run and parameters as entry " + std::to_string(at->second));
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
  return std::move(c.out);
}

}  // namespace plwtool
