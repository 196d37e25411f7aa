#include "shortcuts.h"

#include <algorithm>
#include <iterator>
#include <ostream>

#include "entrylist/entry_fields.h"
#include "entrylist/errors.h"
#include "entrylist/list_file.h"
#include "entrylist/model.h"
#include "entrylist/paths.h"
#include "list_form.h"
#include "plwtool.h"
#include "shown_text.h"

namespace plwtool {

namespace {

// A shortcut's show command as the list's window state: the format names 3 (maximised) and
// 7 (minimised without activation); every other value means normal.
int WindowStateOf(std::uint32_t showCommand) {
  if (showCommand == 3) return 1;
  if (showCommand == 7) return 2;
  return 0;
}

// A text of the shortcut in Shift-JIS: UTF-16 converted exactly, ANSI bytes as they are (a
// shortcut made on a Japanese system holds them in code page 932).
std::optional<std::string> InShiftJis(const ShortcutText& text) {
  if (!text.utf8) return text.bytes;
  return Utf8ToSjis(text.bytes);
}

// The shortcut files to read: each folder's names in order (ignoring A-Z case, as Windows
// does), a subfolder's at its place among them when asked for.
class Gatherer {
 public:
  Gatherer(const Io& io, bool recursive) : io_(io), recursive_(recursive) {}
  std::vector<std::string> files;

  // False when the folder could not be listed; it has said why.
  bool Gather(const std::string& folder) {
    std::vector<FolderItem> items;
    const int e = io_.host.listFolder ? io_.host.listFolder(folder, items) : 2;
    if (e != 0) {
      io_.Error("shortcuts: " + io_.Name(folder) + ": cannot be read: " +
                SjisToUtf8(pallomar::EInOutError(e).what()).value_or("error " + std::to_string(e)));
      return false;
    }
    std::vector<std::pair<std::string, const FolderItem*>> order;
    order.reserve(items.size());
    for (const FolderItem& item : items) order.emplace_back(pallomar::Lowered(item.name), &item);
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first < b.first : a.second->name < b.second->name;
    });
    for (const auto& [key, item] : order) {
      if (item->folder) {
        if (recursive_ && !Gather(item->path)) return false;
      } else if (pallomar::FileExtension(item->name) == ".lnk") {
        files.push_back(item->path);
      }
    }
    return true;
  }

 private:
  const Io& io_;
  bool recursive_;
};

// The whole file, or nullopt with the reason in `why`.
std::optional<std::string> ReadShortcutFile(pallomar::FileSystem& fs, const std::string& path,
                                            std::string& why) {
  pallomar::FileHandle h{};
  if (const int e = fs.OpenRead(path, h); e != 0) {
    why = "cannot be read: " +
          SjisToUtf8(pallomar::EInOutError(e).what()).value_or("error " + std::to_string(e));
    return std::nullopt;
  }
  struct Closer {
    pallomar::FileSystem& fs;
    pallomar::FileHandle h;
    ~Closer() { (void)fs.Close(h); }
  } closer{fs, h};
  std::uint64_t size = 0;
  if (!fs.IsRegular(h) || fs.Size(h, size) != 0) {
    why = "not a regular file";
    return std::nullopt;
  }
  if (size > kShortcutFileLimit) {
    why = "damaged: " + std::to_string(size) + " bytes, larger than any shortcut (at most " +
          std::to_string(kShortcutFileLimit) + " are read)";
    return std::nullopt;
  }
  // The size is only what the file said before the reading: no more than the limit is read.
  std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
  std::size_t have = 0;
  for (std::size_t got = 1; got != 0 && have < bytes.size();) {
    if (const int e = fs.Read(h, bytes.data() + have, bytes.size() - have, got); e != 0) {
      why = "cannot be read: " +
            SjisToUtf8(pallomar::EInOutError(e).what()).value_or("error " + std::to_string(e));
      return std::nullopt;
    }
    have += got;
  }
  if (have > size) {
    why = "grew while it was read";
    return std::nullopt;
  }
  bytes.resize(have);
  return bytes;
}

// "folder X", or "no folder".
std::string FolderWords(std::string_view folder) {
  return pallomar::IsNoneText(folder) ? "no folder" : "folder " + ShownStart(folder, 260);
}

}  // namespace

std::optional<pallomar::Entry> ShortcutEntry(const Shortcut& link, std::size_t index,
                                             std::string& why) {
  switch (link.kind) {
    case TargetKind::None:
      why = link.hasIdList ? "its target is not a file path (a special folder, a URL or "
                             "another shell item)"
                           : "it names no target";
      return std::nullopt;
    case TargetKind::Local:
    case TargetKind::Network:
    case TargetKind::Environment:
      break;
  }
  if (link.targetIsFolder) {
    why = "its target is a folder, not a file to run";
    return std::nullopt;
  }
  const std::optional<std::string> target = InShiftJis(link.target);
  const std::optional<std::string> arguments = InShiftJis(link.arguments);
  const std::optional<std::string> folder = InShiftJis(link.workingFolder);
  const std::pair<const char*, const std::optional<std::string>*> texts[] = {
      {"its target", &target}, {"its arguments", &arguments}, {"its working folder", &folder}};
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    const auto& [name, text] = texts[i];
    if (!*text) {
      why = std::string(name) + " has no Shift-JIS form";
      return std::nullopt;
    }
    if (const char* reason = NotStorable(**text, index > 0 && i == 0)) {
      why = std::string(name) + " " + reason;
      return std::nullopt;
    }
  }
  if (target->empty()) {
    why = "its target is empty";
    return std::nullopt;
  }
  // No Windows file name holds a colon: beyond a drive's, it is a URL or the like written as a
  // path (a shell may prefix a URL with the current folder). ':' is never a second byte.
  if (target->find(':', 2) != std::string::npos || (target->size() < 2 && target->find(':') == 0)) {
    why = "its target is not a file path (a special folder, a URL or another shell item)";
    return std::nullopt;
  }
  // The editor's rule: a file to run needs an extension. Without one it is a folder (which
  // not every writer marks as one) or nothing the list can start.
  if (pallomar::FileExtension(*target).empty()) {
    why = "its target has no extension: a folder, or no file to run";
    return std::nullopt;
  }
  // The editor's add rule, as if the user had typed the shortcut's fields and added them: the
  // running check only for a program. The arguments stay whatever the target is: the list
  // runs a document's through the shell, and `check` notes them.
  pallomar::PanelValues values;
  values.path = *target;
  values.params = *arguments;
  values.folder = *folder;
  values.windowState = WindowStateOf(link.showCommand);
  values.runCheck = true;
  const std::string extension = pallomar::FileExtension(values.path);
  pallomar::Entry entry = pallomar::AddedEntry(values, extension);
  if (!values.params.empty()) entry.params = values.params;
  return entry;
}

int ShortcutsCommand(const Io& io, const ShortcutsRequest& request) {
  Gatherer gatherer(io, request.recursive);
  for (const std::string& folder : request.folders) {
    if (!gatherer.Gather(folder)) return kExitUsage;
  }
  pallomar::EntryList list;
  Output out(io.out, io.host.toTerminal);
  std::size_t leftOut = 0;
  for (const std::string& file : gatherer.files) {
    std::string why;
    std::optional<pallomar::Entry> entry;
    if (const auto bytes = ReadShortcutFile(io.fs, file, why)) {
      try {
        entry = ShortcutEntry(ParseShortcut(*bytes), list.Count(), why);
      } catch (const ShortcutError& e) {
        why = std::string("damaged: ") + e.what();
      }
    }
    if (!entry) {
      ++leftOut;
      io.Error("shortcuts: " + io.Name(file) + ": left out: " + why);
      continue;
    }
    list.Append(*entry);
    if (request.dryRun) {
      out.Text() += "entry " + std::to_string(list.Count()) + ": " + Quoted(entry->path, 260);
      if (!pallomar::IsNoneText(entry->params)) out.Text() += " " + ShownStart(entry->params, 260);
      out.Text() +=
          " (" + std::string(pallomar::WindowState::Read(entry->windowState).PlainWord()) + ", " +
          FolderWords(entry->folder) + ", running check " +
          (pallomar::RunCheckOn(entry->runCheck) ? "on" : "off") + ") from " + io.Name(file) + "\n";
      out.LineDone();
    }
  }
  if (leftOut > 0) {
    io.Error("shortcuts: " + std::to_string(leftOut) + " of " +
             std::to_string(gatherer.files.size()) + " shortcuts left out");
  }
  if (request.dryRun) {
    if (!out.Flush()) {
      io.Error("shortcuts: the output could not be written");
      return kExitFailed;
    }
  } else {
    try {
      pallomar::WriteListFile(request.output, list, io.fs);
    } catch (const pallomar::EInOutError& e) {
      io.Error("shortcuts: " + io.Name(request.output) + ": " +
               SjisToUtf8(e.what()).value_or(e.what()));
      return kExitUsage;
    }
    if (list.Empty()) {
      io.Error("shortcuts: warning: no entries; the editor shows one empty entry for " +
               io.Name(request.output));
    }
  }
  return leftOut > 0 ? kExitFailed : kExitOk;
}

}  // namespace plwtool
