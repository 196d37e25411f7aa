#include "form.h"

#include <cstddef>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "entrylist/entry_fields.h"
#include "entrylist/errors.h"
#include "entrylist/list_file.h"
#include "entrylist/paths.h"
#include "texts.h"

namespace pallomar {

namespace {

using platform::kButtonNo;
using platform::kButtonOK;
using platform::kButtonYes;
using platform::MsgType;

// Parses one argument of a line without NUL starting at `pos`, moving `pos` past it.
std::string NextArgument(std::string_view s, std::size_t& pos, const CodePage& cp) {
  for (;;) {
    while (pos < s.size() && IsArgumentBreak(s[pos])) ++pos;
    // An empty pair of quotes before an argument stands for nothing.
    if (pos + 1 < s.size() && s[pos] == '"' && s[pos + 1] == '"')
      pos += 2;
    else
      break;
  }
  std::string arg;
  while (pos < s.size() && !IsArgumentBreak(s[pos])) {
    if (s[pos] == '"') {
      ++pos;
      while (pos < s.size() && s[pos] != '"') {
        const std::size_t n = cp.CharLength(s, pos);
        arg.append(s.substr(pos, n));
        pos += n;
      }
      if (pos < s.size() && s[pos] == '"') ++pos;
    } else {
      const std::size_t n = cp.CharLength(s, pos);
      arg.append(s.substr(pos, n));
      pos += n;
    }
  }
  return arg;
}

}  // namespace

std::string FirstArgument(std::string_view commandLine, const CodePage& cp) {
  // NUL ends the line; a lead byte just before it is the line's last character and stands alone.
  commandLine = commandLine.substr(0, commandLine.find('\0'));
  std::size_t pos = 0;
  NextArgument(commandLine, pos, cp);  // the program
  return NextArgument(commandLine, pos, cp);
}

TForm1::TForm1(FormView& view, platform::Platform& platform, FileSystem& files, const CodePage& cp)
    : OpenDialog1(platform, cp),
      OpenDialog2(platform, cp),
      SaveDialog1(platform, cp),
      view_(view),
      platform_(platform),
      files_(files),
      cp_(&cp),
      model_(cp) {
  OpenDialog1.Filter = text::kFilterRun;
  OpenDialog1.FilterIndex = 1;
  OpenDialog2.Filter = text::kFilterList;
  OpenDialog2.FilterIndex = 1;
  SaveDialog1.Filter = text::kFilterList;
  SaveDialog1.FilterIndex = 1;
  SaveDialog1.SetInitialDir("\\");
  SaveDialog1.DefaultExt = "plw";
}

void TForm1::Dispatch(const std::function<void()>& handler) noexcept {
  // The error box itself may fail (no memory); then there is nothing left to tell anyone.
  // Only the program's own errors carry a text fit for the box: any other error's text is the
  // library's English, so the box shows the general text instead.
  try {
    try {
      handler();
    } catch (const std::bad_alloc&) {
      platform_.ShowErrorBox(text::kOutOfMemory);
    } catch (const std::exception& e) {
      const char* message = ProgramMessage(e);
      platform_.ShowErrorBox(message != nullptr ? message : text::kUnexpectedError);
    } catch (...) {
      platform_.ShowErrorBox(text::kUnexpectedError);
    }
  } catch (...) {
  }
}

ScreenPoint TForm1::BoxAt(int dx, int dy) const {
  const ScreenPoint corner = view_.WindowTopLeft();
  return {corner.x + dx, corner.y + dy};
}

// --- panel binding ---

void TForm1::ReadPanel() {
  model_.panel.path = view_.EditText(EditId::Edit1);
  model_.panel.params = view_.EditText(EditId::Edit2);
  model_.panel.folder = view_.EditText(EditId::Edit3);
  model_.panel.SetWindowState(view_.RadioIndex());
  model_.panel.runCheck = view_.CheckBoxChecked();
}

void TForm1::ReadSelection() {
  const int index = view_.ListSelection();
  if (index >= 0 && static_cast<std::size_t>(index) < model_.list.Count())
    model_.selected = static_cast<std::size_t>(index);
  else
    model_.selected.reset();
}

void TForm1::WritePanelEdits() {
  view_.SetEditText(EditId::Edit1, model_.panel.path);
  view_.SetEditText(EditId::Edit2, model_.panel.params);
  view_.SetEditText(EditId::Edit3, model_.panel.folder);
}

void TForm1::WritePanel() {
  WritePanelEdits();
  view_.SetRadioIndex(model_.panel.windowState);
  view_.SetCheckBoxChecked(model_.panel.runCheck);
}

void TForm1::WriteSelection() {
  view_.SetListSelection(model_.selected ? static_cast<int>(*model_.selected) : -1);
}

void TForm1::ResyncListAfterError(std::size_t countBefore) noexcept {
  try {
    if (model_.list.Count() != countBefore) {
      view_.ListReset(model_.list.Count());
      WriteSelection();
    }
  } catch (...) {
  }
}

// --- private operations ---

void TForm1::SetCurrentFile(const std::string& path) {
  view_.SetCaption(std::string(text::kAppCaptionPrefix) + path);
  const std::string folder = FolderOf(path, *cp_);
  const std::string name = NamePart(path, *cp_);
  OpenDialog2.SetInitialDir(folder);
  OpenDialog2.FileName = name;
  SaveDialog1.SetInitialDir(folder);
  SaveDialog1.FileName = name;
}

void TForm1::ClearAll() {
  view_.SetCaption(text::kAppCaption);
  model_.Clear();
  view_.ListReset(0);
  WriteSelection();
  WritePanel();
}

void TForm1::LoadListFile(const std::string& path, std::optional<FileRecord> file) {
  if (!FileExists(path, files_)) {
    platform_.AlertBeep();
    const ScreenPoint at = BoxAt(135, 120);
    platform_.ShowMessageBox(text::kMsgFileNotFound, MsgType::Error, kButtonOK, at.x, at.y);
    return;
  }
  // Told before the read: a torn list may fail to load, and the copy is what the user needs.
  // Only the user removes it.
  const std::string copy = LeftoverSaveCopy(path, files_);
  if (!copy.empty()) {
    platform_.AlertBeep();
    const ScreenPoint at = BoxAt(120, 120);
    platform_.ShowMessageBox(text::kMsgSaveCopyLeft + std::string("\n\n") +
                                 text::kSaveCopyListLabel + path + "\n" + text::kSaveCopyCopyLabel +
                                 copy,
                             MsgType::Warning, kButtonOK, at.x, at.y);
  }
  ReplacingList(
      [&] {
        ClearAll();
        ListFileReadResult result;
        try {
          result = ReadListFile(path, model_.list, files_);
        } catch (...) {
          // What was read before the failure stays in the list, so the window must show it.
          ResyncListAfterError(0);
          throw;
        }
        if (model_.list.Count() != 0) view_.ListReset(model_.list.Count());
        if (result == ListFileReadResult::HeaderNotAccepted) {
          platform_.AlertBeep();
          const ScreenPoint at = BoxAt(120, 120);
          platform_.ShowMessageBox(text::kMsgCannotRead, MsgType::Error, kButtonOK, at.x, at.y);
          return;
        }
        SetCurrentFile(path);
      },
      std::move(file));
}

// --- undo and redo ---

FileRecord TForm1::CurrentFile() const {
  return {view_.Caption(), OpenDialog2.InitialDir(), OpenDialog2.FileName, SaveDialog1.InitialDir(),
          SaveDialog1.FileName};
}

void TForm1::ShowFile(const FileRecord& file) {
  view_.SetCaption(file.caption);
  OpenDialog2.SetInitialDir(file.listFolder);
  OpenDialog2.FileName = file.listName;
  SaveDialog1.SetInitialDir(file.saveFolder);
  SaveDialog1.FileName = file.saveName;
}

void TForm1::ReplacingList(const std::function<void()>& replace, std::optional<FileRecord> before) {
  ReadSelection();
  ReadPanel();
  const std::optional<std::size_t> selected = model_.selected;
  PanelValues panel = model_.panel;
  FileRecord file = before ? std::move(*before) : CurrentFile();
  // Moved out, not copied: keeping a list of a million entries costs nothing.
  EntryList list = std::move(model_.list);
  auto record = [&] {
    // New on a window that is already new changes nothing worth a step.
    if (list.Count() == 0 && model_.list.Count() == 0 && panel == model_.panel &&
        file == CurrentFile())
      return;
    history_.Record(Step::Replaced(std::move(list), selected, std::move(panel), std::move(file)));
  };
  try {
    replace();
  } catch (...) {
    record();
    throw;
  }
  record();
}

void TForm1::ChangeBack(bool undo) {
  ReadSelection();
  ReadPanel();
  FileRecord file = CurrentFile();
  const std::optional<Step::Shown> shown =
      undo ? history_.Undo(model_, file) : history_.Redo(model_, file);
  if (!shown) {
    platform_.AlertBeep();
    return;
  }
  const std::size_t count = model_.list.Count();
  switch (shown->list) {
    case Step::Shown::List::Unchanged:
      break;
    case Step::Shown::List::Rows:
      view_.ListRowsChanged(shown->first, shown->last, count);
      break;
    case Step::Shown::List::Reset:
      view_.ListReset(count);
      break;
  }
  WriteSelection();
  if (shown->panel)
    WritePanel();
  else if (shown->path)
    view_.SetEditText(EditId::Edit1, model_.panel.path);
  if (shown->file) ShowFile(file);
}

void TForm1::UndoKeyPress() {
  Dispatch([&] { ChangeBack(true); });
}

void TForm1::RedoKeyPress() {
  Dispatch([&] { ChangeBack(false); });
}

// --- window lifecycle and menus ---

void TForm1::FormShow() {
  Dispatch([&] {
    platform_.DragAcceptFiles(true);

    char folder[31] = {};
    const unsigned length = platform_.GetWindowsFolder(folder, sizeof folder);
    // 0 is a failed query: an initial folder built from nothing would point nowhere.
    if (length > 0 && length <= 30) {
      const std::string programs = std::string(folder, length) + text::kStartMenuPrograms;
      OpenDialog1.SetInitialDir(programs);
      OpenDialog2.SetInitialDir(programs);
      SaveDialog1.SetInitialDir(programs);
    }

    const std::string argument = FirstArgument(platform_.CommandLine(), *cp_);
    if (!argument.empty()) LoadListFile(argument);

    OpenDialog1.Title = text::kOpenDialog1Title;
  });
  // The window as start-up leaves it is where taking back stops.
  history_.Clear();
}

void TForm1::FormClose() {
  Dispatch([&] {
    platform_.DragAcceptFiles(false);
    // A help viewer opened by this program must not outlive it.
    platform_.CloseHelp();
  });
}

void TForm1::New1Click() {
  Dispatch([&] { ReplacingList([&] { ClearAll(); }, std::nullopt); });
}

void TForm1::Open1Click() {
  Dispatch([&] {
    FileRecord before = CurrentFile();
    if (!OpenDialog2.Execute()) return;
    LoadListFile(OpenDialog2.FileName, std::move(before));
  });
}

void TForm1::S1Click() {
  Dispatch([&] {
    if (model_.list.Empty()) {
      platform_.AlertBeep();
      return;
    }
    if (!SaveDialog1.Execute()) return;
    const std::string path = SaveDialog1.FileName;
    if (FileExists(path, files_)) {
      const ScreenPoint at = BoxAt(130, 120);
      const int answer = platform_.ShowMessageBox(text::kMsgOverwrite, MsgType::Warning,
                                                  kButtonYes | kButtonNo, at.x, at.y);
      // Only a clear yes replaces a file; a box closed from its title bar is not one.
      if (answer != platform::kResultYes) return;
    }
    WriteListFile(path, model_.list, files_);
    SetCurrentFile(path);
  });
}

void TForm1::Exit1Click() {
  Dispatch([&] { view_.CloseWindow(); });
}

void TForm1::SearchforHelpOn1Click() {
  Dispatch([&] {
    const std::string folder = FolderWithBackslash(platform_.ExecutablePath(), *cp_);
    if (platform::HelpFor(platform_.SystemVersion()) == platform::HelpKind::ViewerFile) {
      platform_.OpenHelpTopics(folder + text::kHelpFileName);
      return;
    }
    // No viewer here: the HTML page opens in the browser, at its top, which is the contents.
    // Its failures are told, since no viewer of ours would tell them.
    const std::string page = folder + text::kHelpPageName;
    const platform::OpenResult result =
        FileExists(page, files_) ? platform_.OpenDocument(page) : platform::OpenResult::NotFound;
    const char* message = nullptr;
    switch (result) {
      case platform::OpenResult::Opened:
        return;
      case platform::OpenResult::NotFound:
        message = text::kMsgHelpNotFound;
        break;
      case platform::OpenResult::NoProgram:
        message = text::kMsgHelpNoProgram;
        break;
      case platform::OpenResult::Failed:
        message = text::kMsgHelpNotOpened;
        break;
    }
    platform_.AlertBeep();
    const ScreenPoint at = BoxAt(135, 120);
    platform_.ShowMessageBox(std::string(message) + "\n\n" + page, MsgType::Error, kButtonOK, at.x,
                             at.y);
  });
}

void TForm1::About1Click() {
  Dispatch([&] {
    platform_.AlertBeep();
    const ScreenPoint at = BoxAt(150, 120);
    platform_.ShowMessageBox(text::kAboutText, MsgType::Custom, kButtonOK, at.x, at.y);
  });
}

void TForm1::WMDropFiles(platform::DropHandle drop) {
  Dispatch([&] {
    try {
      const std::string path = platform_.DropFirstPath(drop);
      if (FileExtension(path, *cp_) == ".plw")
        LoadListFile(path);
      else
        PutPath(path);
    } catch (...) {
      platform_.DropFinish(drop);
      throw;
    }
    platform_.DropFinish(drop);
  });
}

}  // namespace pallomar
