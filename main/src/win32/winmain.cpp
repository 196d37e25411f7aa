// The program: the platform services, Form1, its first showing and the one message loop.
#include <objbase.h>
#include <windows.h>

#include "platform/win32_platform.h"
#include "win32/main_window.h"

namespace {

// The one message loop, each message routed through Form1's keys. Returns the exit code.
int RunMessageLoop(pallomar::win32::MainWindow& window) {
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    window.Route(msg);
  }
}

int RunProgram(HINSTANCE instance, int showCommand) {
  try {
    pallomar::platform::Win32Platform platform;
    pallomar::win32::MainWindow window(platform);
    if (!window.Create(instance)) return 1;
    platform.SetMainWindow(window.Handle());
    window.Show(showCommand);
    return RunMessageLoop(window);
  } catch (...) {
    // Only start-up can get here (the handlers catch their own errors): no window to report in.
    return 1;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // Screen readers reach the list's accessible object through COM calls served on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = RunProgram(instance, showCommand);
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}
