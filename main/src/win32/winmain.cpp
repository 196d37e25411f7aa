// The program: the platform services, Form1, its first showing and the one message loop.
#include <windows.h>
// The common controls header needs windows.h first.
#include <commctrl.h>

#include "platform/win32_platform.h"
#include "win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  try {
    pallomar::platform::Win32Platform platform;
    pallomar::win32::MainWindow window(platform);
    if (!window.Create(instance)) return 1;
    platform.SetMainWindow(window.Handle());
    window.Show(showCommand);
    return pallomar::win32::RunMessageLoop(window.Handle());
  } catch (...) {
    // Only start-up can get here (the handlers catch their own errors): no window to report in.
    return 1;
  }
}
