// The Win32 implementation of the platform services.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/platform.h"

namespace pallomar::platform {

class Win32Platform final : public Platform {
 public:
  Win32Platform();
  ~Win32Platform() override;

  // The main window: owner of boxes and dialogs, target of drops and help.
  void SetMainWindow(HWND window);

  int ShowMessageBox(std::string_view text, MsgType type, unsigned buttons, int x = kCentre,
                     int y = kCentre) override;
  void AlertBeep() override;
  void ShowErrorBox(std::string_view message) override;
  bool RunOpenDialog(FileDialog& dialog) override;
  bool RunSaveDialog(FileDialog& dialog) override;
  void DragAcceptFiles(bool accept) override;
  std::string DropFirstPath(DropHandle drop) override;
  void DropFinish(DropHandle drop) override;
  void OpenHelpTopics(const std::string& helpFile) override;
  void CloseHelp() override;
  OpenResult OpenDocument(const std::string& path) override;
  WindowsVersion SystemVersion() override;
  unsigned GetWindowsFolder(char* buffer, unsigned size) override;
  std::string CommandLine() override;
  std::string ExecutablePath() override;
  std::string ApplicationTitle() override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace pallomar::platform
