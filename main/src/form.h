// Form1's behaviour: start-up, file commands, help and the entry panel, as plain C++ over the
// entry model, the platform services and the controls.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "entrylist/file_system.h"
#include "entrylist/model.h"
#include "form_view.h"
#include "history.h"
#include "platform/platform.h"

namespace pallomar {

// The first argument of an ANSI command line: blanks (every byte up to and including the
// space) separate, double quotes group and vanish, an empty pair of quotes before an argument
// is skipped, no backslash escapes. A lead byte of `cp` takes the byte after it along, as the
// platform's character stepping does. Argument 0 is the program. Empty when there is none.
std::string FirstArgument(std::string_view commandLine, const CodePage& cp = ActiveCodePage());

class TForm1 {
 public:
  // Sets up the three file dialogs; no handler runs here and nothing is shown. List files are
  // read and written through `files`.
  TForm1(FormView& view, platform::Platform& platform, FileSystem& files,
         const CodePage& cp = ActiveCodePage());

  // Handlers. Each runs its body through Dispatch, so the window procedure calls them directly
  // and no exception ever leaves one.
  void Button1Click();
  void ButtondelClick();
  void ButtonaddClick();
  void ButtonupClick();
  void ButtondownClick();
  void About1Click();
  void Exit1Click();
  void New1Click();
  void S1Click();
  void Open1Click();
  void ButtoneraseClick();
  void FormShow();
  void ButtoninfoClick();
  void SearchforHelpOn1Click();
  void ListBox1DblClick();
  void FormClose();
  void WMDropFiles(platform::DropHandle drop);
  // Ctrl+Z, and Ctrl+Y or Ctrl+Shift+Z: take back the last change to the list, or make again
  // the last one taken back. A beep when there is none.
  void UndoKeyPress();
  void RedoKeyPress();

  const ListModel& Model() const { return model_; }
  ListModel& Model() { return model_; }
  const History& Changes() const { return history_; }

  platform::TOpenDialog OpenDialog1;
  platform::TOpenDialog OpenDialog2;
  platform::TSaveDialog SaveDialog1;

  // Runs `handler`; an error it raises goes to the default error box and the program goes on.
  // Never raises.
  void Dispatch(const std::function<void()>& handler) noexcept;

 private:
  void SetCurrentFile(const std::string& path);
  // `file` is the file record to return to when it is not the present one (the open dialog
  // has already noted its choice).
  void LoadListFile(const std::string& path, std::optional<FileRecord> file = std::nullopt);
  void ClearAll();
  // A dropped path that is no list goes into Edit1.
  void PutPath(const std::string& path);
  // Runs `replace`, which may change the whole list, and records the change (also when it
  // fails part way) unless it left everything as it was.
  void ReplacingList(const std::function<void()>& replace, std::optional<FileRecord> file);
  FileRecord CurrentFile() const;
  void ShowFile(const FileRecord& file);
  // Takes back or makes again one step, or beeps.
  void ChangeBack(bool undo);

  // The panel's controls and the list's selection into the model, and back.
  void ReadPanel();
  void ReadSelection();
  void WritePanelEdits();
  void WritePanel();
  void WriteSelection();
  // The selected entry one place up or down, for ButtonupClick and ButtondownClick.
  void MoveSelected(bool up);
  // Details box for ButtoninfoClick and ListBox1DblClick.
  void ShowDetails();
  // After a list operation that raised: the view follows whatever the list now holds.
  void ResyncListAfterError(std::size_t countBefore) noexcept;
  ScreenPoint BoxAt(int dx, int dy) const;

  FormView& view_;
  platform::Platform& platform_;
  FileSystem& files_;
  const CodePage* cp_;
  ListModel model_;
  History history_;
};

}  // namespace pallomar
