#include "check.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "entrylist/codepage.h"
#include "entrylist/entry_fields.h"
#include "entrylist/paths.h"
#include "keyed_hash.h"
#include "shown_text.h"

namespace plwtool {

using pallomar::kDummyMarker;

namespace {

// Only full paths are looked for: a bare name is found by the launcher's search path.
bool IsFullPath(std::string_view p) {
  if (p.size() >= 3 && p[1] == ':' && p[2] == '\\') {
    const char d = p[0];
    return (d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z');
  }
  return p.size() >= 2 && p[0] == '\\' && p[1] == '\\';
}

// The first %NAME% in a path, as a shortcut's target may be written; empty when none. '%' is
// never the second byte of a double-byte character.
std::string_view EnvironmentVariable(std::string_view p) {
  const std::size_t open = p.find('%');
  if (open == std::string_view::npos) return {};
  const std::size_t close = p.find('%', open + 1);
  if (close == std::string_view::npos || close == open + 1) return {};
  return p.substr(open, close - open + 1);
}

// Hands each finding on as it is made. A list can hold millions of entries with the same
// findings: a message that must be composed is written into Message(), which is kept.
class Collector {
 public:
  explicit Collector(const std::function<void(const Finding&)>& report) : report_(report) {}
  void File(std::string_view message, Change change = Change::None) {
    Emit({0, {}, message, change});
  }
  void Entry(std::size_t n, std::string_view field, std::string_view message,
             Change change = Change::None) {
    Emit({n, field, message, change});
  }
  // An empty buffer for the next finding's message.
  std::string& Message() {
    message_.clear();
    return message_;
  }
  std::size_t count = 0;

 private:
  void Emit(const Finding& f) {
    ++count;
    report_(f);
  }
  const std::function<void(const Finding&)>& report_;
  std::string message_;
};

// The window state as adding the entry again would store it, beside what the file holds.
void CheckWindowState(Collector& c, std::size_t n, std::string_view text) {
  const pallomar::WindowState state = pallomar::WindowState::Read(text);
  if (!state.Readable()) {
    std::string& m = c.Message();
    m += Quoted(text);
    m += " is not a number; the editor reports an error when the entry is taken out or its "
         "details are shown";
    c.Entry(n, "window state", m);
  } else if (!state.IsCanonical()) {
    std::string& m = c.Message();
    m += Quoted(text);
    m.append(" is not 0, 1 or 2; it becomes \"").append(state.StoredText()).append("\" (");
    m.append(state.PlainWord()).append(")");
    c.Entry(n, "window state", m, Change::OnReAdd);
  } else if (state.kind() == pallomar::WindowState::Kind::None) {
    c.Entry(n, "window state", "\"-1\": no window state is chosen");
  }
}

// What an optional line holding the marker means.
std::string_view MarkerMeansNone(Collector& c) {
  return c.Message()
      .append("the line reads \"")
      .append(kDummyMarker)
      .append("\", which means none");
}

// What the reader smoothed over in one record.
void ReportEntryNote(Collector& c, const pallomar::ListNote& note) {
  using K = pallomar::ListNoteKind;
  const std::size_t n = note.entry + 1;
  switch (note.kind) {
    case K::DummyParams:
      c.Entry(n, "parameters", MarkerMeansNone(c), Change::OnSave);
      break;
    case K::DummyFolder:
      c.Entry(n, "working folder", MarkerMeansNone(c), Change::OnSave);
      break;
    case K::RunCheckText:
      c.Entry(n, "running check",
              c.Message()
                  .append(Quoted(note.text))
                  .append(" is neither \"True\" nor \"False\"; it reads as off"),
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

// Windows paths ignore case, so the same program differs only in A-Z. Only a hash of each
// distinct key is kept, with where its entry lies in the file; an equal hash is confirmed
// against the earlier entry read again from the same open file (the last few such keys are
// kept to spare re-reading). The hash is keyed afresh each run, so a crafted list cannot make
// its keys share slots.
class Duplicates {
 public:
  explicit Duplicates(ListReader& file) : file_(file) {
    std::random_device seed;
    for (std::uint64_t& k : key_) k = (std::uint64_t{seed()} << 32) ^ seed();
  }

  // Hashes `record`'s key and fetches the slot it starts at; Earlier() then finds it in the
  // cache. Between the two, the caller's other checks hide the fetch from memory.
  void Look(const pallomar::EntryList& record) {
    hash_ = Hash(record);
    if (slots_.empty() || 2 * (used_ + 1) > slots_.size()) Grow();
#if defined(__GNUC__)
    __builtin_prefetch(&slots_[static_cast<std::size_t>(hash_) & (slots_.size() - 1)]);
#endif
  }

  // The earlier entry (from 1) with the same key as `record`, last given to Look(), or 0.
  std::size_t Earlier(const pallomar::EntryList& record, std::size_t entry, std::uint64_t offset) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t k = static_cast<std::size_t>(hash_) & mask;; k = (k + 1) & mask) {
      Slot& s = slots_[k];
      if (s.entry == 0) {
        s = {hash_, entry + 1, offset};
        ++used_;
        return 0;
      }
      if (s.hash == hash_ && SameKey(record, s)) return s.entry;
    }
  }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::size_t entry = 0;  // from 1; 0 for a free slot
    std::uint64_t offset = 0;
  };
  static constexpr std::size_t kPiece = 64 * 1024;
  static constexpr std::size_t kKeptBytes = 1 << 20;

  // The lowered path in pieces of whole characters, then a line end and the parameters.
  template <typename F>
  void KeyPieces(const pallomar::EntryList& record, F&& f) {
    const pallomar::CodePage& cp = pallomar::ListCodePage();
    const std::string_view path = record.Get(0, pallomar::kPath);
    for (std::size_t from = 0; from < path.size();) {
      std::size_t to = from;
      while (to < path.size() && to - from < kPiece) to += cp.CharLength(path, to);
      piece_.assign(path.substr(from, to - from));
      cp.Lower(piece_);
      f(std::string_view(piece_));
      from = to;
    }
    f(std::string_view("\n"));
    f(record.Get(0, pallomar::kParams));
  }

  std::uint64_t Hash(const pallomar::EntryList& record) {
    TableHasher h(key_[0], key_[1]);
    KeyPieces(record, [&](std::string_view p) { h.Add(p); });
    return h.Finish();
  }

  std::string Key(const pallomar::EntryList& record) {
    std::string key;
    KeyPieces(record, [&](std::string_view p) { key += p; });
    return key;
  }

  bool SameKey(const pallomar::EntryList& record, const Slot& s) {
    if (const auto it = kept_.find(s.entry); it != kept_.end()) return it->second == Key(record);
    std::string earlier = Key(file_.ReadAside(s.offset, s.entry - 1));
    const bool same = earlier == Key(record);
    if (earlier.size() <= 1024) {
      if (keptBytes_ + earlier.size() > kKeptBytes) {
        kept_.clear();
        keptBytes_ = 0;
      }
      keptBytes_ += earlier.size();
      kept_.emplace(s.entry, std::move(earlier));
    }
    return same;
  }

  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.entry == 0) continue;
      std::size_t k = static_cast<std::size_t>(s.hash) & mask;
      while (slots_[k].entry != 0) k = (k + 1) & mask;
      slots_[k] = s;
    }
  }

  ListReader& file_;
  std::uint64_t key_[2];
  std::vector<Slot> slots_;
  std::size_t used_ = 0;
  std::unordered_map<std::size_t, std::string> kept_;
  std::size_t keptBytes_ = 0;
  std::string piece_;
  std::uint64_t hash_ = 0;
};

}  // namespace

void AppendFindingText(std::string& out, const Finding& f) {
  if (f.entry != 0) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), f.entry).ptr;
    out.append("entry ").append(digits, end).append(": ");
  }
  if (!f.field.empty()) out.append(f.field).append(": ");
  out += f.message;
  if (f.change == Change::OnSave) out += " (the editor changes this when it saves the list)";
  if (f.change == Change::OnReAdd) {
    out += " (the editor changes this when the entry is taken out and added again)";
  }
}

std::size_t ReportFindings(ListReader& file, LoadStatus status, const Host& host,
                           pallomar::FileSystem& fs,
                           const std::function<void(const Finding&)>& report) {
  using K = pallomar::ListNoteKind;
  Collector c(report);
  const pallomar::ListNotes& notes = file.Notes();
  if (status == LoadStatus::NotAList) {
    if (notes.size == 0) {
      c.File("version line: the file is empty; the editor does not open it");
    } else {
      c.File("version line: " + Quoted(notes.firstLine) +
             " is not 100, 101 or 102; the editor does not open this file");
    }
    return c.count;
  }
  if (status != LoadStatus::Loaded) return c.count;

  // The file's own notes where the reader meets them: the version line first, a CR or NUL
  // where the first one is, what follows a Ctrl-Z at the end.
  const auto fileNotes = [&] {
    for (const pallomar::ListNote& note : notes.items) {
      switch (note.kind) {
        case K::OlderVersion:
          c.File("version line: " + Quoted(notes.firstLine) + " is an older version line",
                 Change::OnSave);
          break;
        case K::CtrlZTail:
          if (note.count > 1) {
            c.File(std::to_string(note.count - 1) +
                       " bytes after an end-of-file mark (Ctrl-Z) are ignored",
                   Change::OnSave);
          }
          break;
        case K::LoneCr:
          c.File("a CR inside a line is dropped on reading", Change::OnSave);
          break;
        case K::NulCut:
          c.File(
              "a NUL byte inside a line cuts it short: the rest of the line is dropped on "
              "reading",
              Change::OnSave);
          break;
        default:
          break;
      }
    }
  };
  fileNotes();
  if (file.DroppedPhantom()) {
    c.File("the file holds no entries; the editor shows one empty entry for it", Change::OnSave);
    return c.count;
  }

  Duplicates duplicates(file);
  while (file.Next()) {
    fileNotes();
    const pallomar::EntryList& list = file.Record();
    const std::size_t n = file.Entry() + 1;
    // This entry's notes: a cut or blank record first, then its lines.
    bool blankTail = false;
    for (const bool ends : {true, false}) {
      for (const pallomar::ListNote& note : notes.items) {
        const bool isEnd = note.kind == K::CutRecord || note.kind == K::BlankTail;
        if (note.entry != file.Entry() || isEnd != ends) continue;
        ReportEntryNote(c, note);
        blankTail = blankTail || note.kind == K::BlankTail;
      }
    }
    if (blankTail) continue;

    duplicates.Look(list);
    const auto path0 = list.Get(0, pallomar::kPath);
    const auto params = list.Get(0, pallomar::kParams);
    const auto folder = list.Get(0, pallomar::kFolder);
    std::string ext;
    if (path0.empty()) {
      c.Entry(n, "file to run", "empty; the launcher has nothing to start");
    } else {
      ext = pallomar::FileExtension(path0);
      if (ext.empty()) c.Entry(n, "file to run", Quoted(path0) + " has no extension");
      if (const std::string_view variable = EnvironmentVariable(path0); !variable.empty()) {
        c.Entry(n, "file to run",
                Quoted(path0) + " holds the environment variable " + ShownStart(variable) +
                    ", which is not expanded when the list runs");
      }
    }
    // What taking the entry out and adding it again would store.
    if (!pallomar::IsNoneText(params) && !pallomar::IsProgramExtension(ext)) {
      c.Entry(n, "parameters", "given for a file that is not .exe or .com; they are dropped",
              Change::OnReAdd);
    }
    const bool runCheck = pallomar::RunCheckOn(list.Get(0, pallomar::kRunCheck));
    if (runCheck && !pallomar::KeepsRunCheck(ext)) {
      c.Entry(n, "running check", "on for a file that is not .exe; it is turned off",
              Change::OnReAdd);
    }
    CheckWindowState(c, n, list.Get(0, pallomar::kWindowState));

    if (const std::size_t earlier = duplicates.Earlier(list, file.Entry(), file.Offset())) {
      c.Entry(n, "file to run",
              c.Message()
                  .append("same file to run and parameters as entry ")
                  .append(std::to_string(earlier)));
    }

    if (host.seesListPaths) {
      const std::string p(path0);
      if (IsFullPath(p) && !fs.IsFile(p) && !fs.IsFolder(p)) {
        c.Entry(n, "file to run", Quoted(path0) + " does not exist");
      }
      const std::string f(folder);
      if (!pallomar::IsNoneText(folder) && IsFullPath(f) && !fs.IsFolder(f)) {
        c.Entry(n, "working folder", Quoted(folder) + " does not exist");
      }
    }
  }
  fileNotes();
  return c.count;
}

}  // namespace plwtool
