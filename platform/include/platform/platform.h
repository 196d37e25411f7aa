// What the window needs of the desktop: message boxes, the beep, the error box, file dialogs,
// dropped files, the help viewer and the Windows folder. The Win32 implementation lives in
// platform/src/win32_*.cpp; the window's native tests use a scripted stand-in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "entrylist/codepage.h"

namespace pallomar::platform {

enum class MsgType { Warning, Error, Information, Confirmation, Custom };

// Button sets, combinable.
enum Buttons : unsigned { kButtonYes = 1u, kButtonNo = 2u, kButtonOK = 4u };

// Results of ShowMessageBox.
inline constexpr int kResultOK = 1;
inline constexpr int kResultClosed = 2;  // closed from the title bar or Alt+F4
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// Centres the box on the screen along that axis.
inline constexpr int kCentre = -1;

// Dialog options; the three dialogs use the defaults.
enum DialogOption : unsigned { ofHideReadOnly = 1u, ofEnableSizing = 2u };

class Platform;

// Common state of the open and save dialogs.
class FileDialog {
 public:
  // `cp` splits the dialog's paths and filter without cutting a double-byte character.
  explicit FileDialog(Platform& platform, const CodePage& cp = ActiveCodePage())
      : platform_(&platform), cp_(&cp) {}
  virtual ~FileDialog() = default;

  std::string Filter;  // description|pattern pairs
  int FilterIndex = 1;
  std::string FileName;
  std::string Title;
  std::string DefaultExt;
  unsigned Options = ofHideReadOnly | ofEnableSizing;

  // Drops one trailing "\" unless the value is one character long or it follows ":".
  void SetInitialDir(std::string_view dir);
  const std::string& InitialDir() const { return initialDir_; }
  const CodePage& Cp() const { return *cp_; }

  // Runs the dialog; true when confirmed (FileName and FilterIndex updated).
  virtual bool Execute() = 0;

 protected:
  Platform* platform_;

 private:
  const CodePage* cp_;
  std::string initialDir_;
};

class TOpenDialog : public FileDialog {
 public:
  using FileDialog::FileDialog;
  bool Execute() override;
};

class TSaveDialog : public FileDialog {
 public:
  using FileDialog::FileDialog;
  bool Execute() override;
};

// The filter's description and pattern parts, split on "|" only where it is a whole
// character (never the second byte of a double-byte character).
std::vector<std::string> SplitFilter(std::string_view filter,
                                     const CodePage& cp = ActiveCodePage());

// Executable name without folder, cut at its first ".", every character after the first
// lower-cased: C:\x\TOOL.EXE -> Tool.
std::string ApplicationTitleFor(std::string_view exePath, const CodePage& cp = ActiveCodePage());

// The error box's text: "." appended when the message is not empty and the first byte of its
// last character is above 0x2E.
std::string ErrorBoxText(std::string_view message, const CodePage& cp = ActiveCodePage());

using DropHandle = void*;

// The system's own version (not the one a manifest makes it claim).
struct WindowsVersion {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
  bool server = false;
};

// Which help the system can show: the help file through its viewer, or the HTML page in the
// browser where no viewer for that format exists.
enum class HelpKind { ViewerFile, HtmlPage };

// Windows 10 and later, and servers from 2012 on, have no viewer for the help file format. An
// unknown version (0) keeps the viewer.
HelpKind HelpFor(const WindowsVersion& version);

// How handing a document to the program registered for its type went.
enum class OpenResult { Opened, NotFound, NoProgram, Failed };

class Platform {
 public:
  virtual ~Platform() = default;

  virtual int ShowMessageBox(std::string_view text, MsgType type, unsigned buttons, int x = kCentre,
                             int y = kCentre) = 0;
  virtual void AlertBeep() = 0;
  virtual void ShowErrorBox(std::string_view message) = 0;

  virtual bool RunOpenDialog(FileDialog& dialog) = 0;
  virtual bool RunSaveDialog(FileDialog& dialog) = 0;

  virtual void DragAcceptFiles(bool accept) = 0;
  // The first dropped file's whole path, however long.
  virtual std::string DropFirstPath(DropHandle drop) = 0;
  virtual void DropFinish(DropHandle drop) = 0;

  // Makes `helpFile` the application's help file and asks the viewer for its topics window.
  virtual void OpenHelpTopics(const std::string& helpFile) = 0;
  // Tells the viewer to close if it was opened (at shut-down).
  virtual void CloseHelp() = 0;
  // Opens a document with the program registered for its type (a page in the browser).
  virtual OpenResult OpenDocument(const std::string& path) = 0;
  virtual WindowsVersion SystemVersion() = 0;

  // GetWindowsDirectoryA semantics: copies into buffer when it fits and returns the length;
  // the size needed when it does not fit; 0 on failure.
  virtual unsigned GetWindowsFolder(char* buffer, unsigned size) = 0;

  virtual std::string CommandLine() = 0;     // the ANSI command line
  virtual std::string ExecutablePath() = 0;  // full path of the running executable
  virtual std::string ApplicationTitle() = 0;
};

}  // namespace pallomar::platform
