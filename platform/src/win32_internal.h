// Pieces of the Win32 platform shared by its sources and its tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace pallomar::platform::win32 {

// Control ids of the message box's icon and text (the buttons use their results).
inline constexpr int kBoxIconId = 100;
inline constexpr int kBoxTextId = 101;

struct BoxRequest {
  std::string text;
  std::string caption;
  LPCSTR icon = nullptr;  // a system icon, or none
  unsigned buttons = kButtonOK;
  int x = kCentre;
  int y = kCentre;
};

// Runs the box modal to the whole application and returns the answer.
int RunMessageBox(HWND owner, const BoxRequest& request);

// Disables the calling thread's visible, enabled top-level windows except `keep` (the owner,
// which the modal dialog disables itself) and enables them again on Restore.
class ThreadWindowsDisabled {
 public:
  explicit ThreadWindowsDisabled(HWND keep);
  ~ThreadWindowsDisabled() { Restore(); }
  ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
  ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;
  void Restore();

 private:
  HWND keep_;
  std::vector<HWND> disabled_;
};

// The filter in the dialog's form: every whole "|" a NUL, two NULs at the end.
std::string DialogFilter(std::string_view filter, const CodePage& cp);

// The OFN_* flags for the dialog's options.
DWORD DialogFlags(unsigned options);

// Runs the open or save dialog; true when confirmed.
bool RunFileDialog(HWND owner, FileDialog& dialog, bool save);

}  // namespace pallomar::platform::win32
