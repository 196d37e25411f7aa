// A stand-in for the desktop platform in native tests: it records every call in order and
// answers from a script set up by the test. Nothing here touches a real window.
#pragma once

#include <cstddef>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace pallomar::platform::testing {

// What a dialog held when it was run.
struct DialogState {
  std::string Filter;
  int FilterIndex = 0;
  std::string FileName;
  std::string Title;
  std::string DefaultExt;
  unsigned Options = 0;
  std::string InitialDir;

  static DialogState Of(const FileDialog& d) {
    return {d.Filter, d.FilterIndex, d.FileName, d.Title, d.DefaultExt, d.Options, d.InitialDir()};
  }
  bool operator==(const DialogState&) const = default;
};

enum class CallKind {
  MsgBox,
  Beep,
  ErrorBox,
  OpenDialog,
  SaveDialog,
  DragAccept,
  DropFirstPath,
  DropFinish,
  HelpTopics,
  HelpClose,
  OpenDocument,
  SystemVersion,
  WindowsFolder,
  CommandLine,
  ExecutablePath,
  ApplicationTitle,
};

// One recorded call. Only the members that belong to its kind are filled.
struct Call {
  CallKind kind = CallKind::MsgBox;
  std::string text;  // box text, error message, help file, opened document
  MsgType type = MsgType::Custom;
  unsigned buttons = 0;
  int x = 0;
  int y = 0;
  int result = 0;  // the box's answer
  DialogState dialog;
  const FileDialog* dialogObject = nullptr;
  bool accept = false;
  DropHandle drop = nullptr;
};

inline Call Make(CallKind kind) {
  Call c;
  c.kind = kind;
  return c;
}

// How a scripted dialog run ends.
struct DialogAnswer {
  bool confirmed = false;
  std::string fileName;  // stored into FileName when confirmed
  int filterIndex = 0;   // stored into FilterIndex when confirmed and not 0
};

class ScriptedPlatform : public Platform {
 public:
  // --- script ---
  // Box answers in order; an unscripted box answers kResultOK.
  std::deque<int> boxResults;
  // Dialog answers in order (open and save share the queue); an unscripted run is cancelled.
  std::deque<DialogAnswer> dialogAnswers;
  // The Windows folder; nullopt makes the query fail (0).
  std::optional<std::string> windowsFolder = std::string("C:\\WINDOWS");
  // When set, the query answers this length whatever the folder (copying what fits).
  std::optional<unsigned> windowsFolderLength;
  std::string commandLine = "pallomar.exe";
  std::string executablePath = "C:\\Pallomar\\pallomar.exe";
  std::string applicationTitle = "Pallomar";
  // Windows 7 by default, as Debian's Wine reports.
  WindowsVersion systemVersion{6, 1, 7601, false};
  // What opening a document answers.
  OpenResult openResult = OpenResult::Opened;
  // Paths per drop handle; a handle without a path makes DropFirstPath raise.
  std::map<DropHandle, std::string> dropPaths;
  // Runs while a box is open (the handler is waiting in it), before it answers.
  std::function<void(const Call&)> onBox;
  // Runs while a dialog is open, before it answers.
  std::function<void(const Call&)> onDialog;

  // --- record ---
  std::vector<Call> calls;

  std::vector<Call> CallsOf(CallKind kind) const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.kind == kind) out.push_back(c);
    return out;
  }
  std::size_t Count(CallKind kind) const { return CallsOf(kind).size(); }
  std::vector<CallKind> Kinds() const {
    std::vector<CallKind> out;
    for (const Call& c : calls) out.push_back(c.kind);
    return out;
  }
  // Kinds without the queries (folder, command line, paths, title), which carry no effect.
  std::vector<CallKind> Effects() const {
    std::vector<CallKind> out;
    for (const Call& c : calls)
      if (!IsQuery(c.kind)) out.push_back(c.kind);
    return out;
  }
  static bool IsQuery(CallKind k) {
    return k == CallKind::WindowsFolder || k == CallKind::CommandLine ||
           k == CallKind::ExecutablePath || k == CallKind::ApplicationTitle ||
           k == CallKind::DropFirstPath || k == CallKind::SystemVersion;
  }

  // --- Platform ---
  int ShowMessageBox(std::string_view text, MsgType type, unsigned buttons, int x, int y) override {
    Call c = Make(CallKind::MsgBox);
    c.text.assign(text);
    c.type = type;
    c.buttons = buttons;
    c.x = x;
    c.y = y;
    c.result = kResultOK;
    if (!boxResults.empty()) {
      c.result = boxResults.front();
      boxResults.pop_front();
    }
    if (onBox) onBox(c);
    calls.push_back(c);
    return c.result;
  }

  void AlertBeep() override { calls.push_back(Make(CallKind::Beep)); }

  void ShowErrorBox(std::string_view message) override {
    Call c = Make(CallKind::ErrorBox);
    c.text.assign(message);
    calls.push_back(c);
  }

  bool RunOpenDialog(FileDialog& dialog) override { return Run(CallKind::OpenDialog, dialog); }
  bool RunSaveDialog(FileDialog& dialog) override { return Run(CallKind::SaveDialog, dialog); }

  void DragAcceptFiles(bool accept) override {
    Call c = Make(CallKind::DragAccept);
    c.accept = accept;
    calls.push_back(c);
  }

  std::string DropFirstPath(DropHandle drop) override {
    Call c = Make(CallKind::DropFirstPath);
    c.drop = drop;
    calls.push_back(c);
    auto it = dropPaths.find(drop);
    if (it == dropPaths.end()) throw std::runtime_error("unscripted drop");
    return it->second;
  }

  void DropFinish(DropHandle drop) override {
    Call c = Make(CallKind::DropFinish);
    c.drop = drop;
    calls.push_back(c);
  }

  void OpenHelpTopics(const std::string& helpFile) override {
    Call c = Make(CallKind::HelpTopics);
    c.text = helpFile;
    calls.push_back(c);
  }

  void CloseHelp() override { calls.push_back(Make(CallKind::HelpClose)); }

  OpenResult OpenDocument(const std::string& path) override {
    Call c = Make(CallKind::OpenDocument);
    c.text = path;
    calls.push_back(c);
    return openResult;
  }

  WindowsVersion SystemVersion() override {
    calls.push_back(Make(CallKind::SystemVersion));
    return systemVersion;
  }

  // Answers as the system call does: the length when the folder fits with its NUL, else the
  // size needed; 0 when the query fails.
  unsigned GetWindowsFolder(char* buffer, unsigned size) override {
    calls.push_back(Make(CallKind::WindowsFolder));
    const std::string text = windowsFolder.value_or("");
    const auto length = static_cast<unsigned>(text.size());
    const bool fits = windowsFolder && length + 1 <= size;
    if (fits) std::memcpy(buffer, text.c_str(), length + 1);
    if (windowsFolderLength) return *windowsFolderLength;
    if (!windowsFolder) return 0;
    return fits ? length : length + 1;
  }

  std::string CommandLine() override {
    calls.push_back(Make(CallKind::CommandLine));
    return commandLine;
  }
  std::string ExecutablePath() override {
    calls.push_back(Make(CallKind::ExecutablePath));
    return executablePath;
  }
  std::string ApplicationTitle() override {
    calls.push_back(Make(CallKind::ApplicationTitle));
    return applicationTitle;
  }

 private:
  bool Run(CallKind kind, FileDialog& dialog) {
    Call c = Make(kind);
    c.dialog = DialogState::Of(dialog);
    c.dialogObject = &dialog;
    DialogAnswer answer;
    if (!dialogAnswers.empty()) {
      answer = std::move(dialogAnswers.front());
      dialogAnswers.pop_front();
    }
    c.result = answer.confirmed ? 1 : 0;
    if (onDialog) onDialog(c);
    calls.push_back(c);
    if (!answer.confirmed) return false;
    dialog.FileName = answer.fileName;
    if (answer.filterIndex != 0) dialog.FilterIndex = answer.filterIndex;
    return true;
  }
};

}  // namespace pallomar::platform::testing
