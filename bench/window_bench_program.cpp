// The window benchmarks that start the program as its own process: its start until its first
// paint, and row names read by a second process as a screen reader reads them.
#include <windows.h>
// The accessibility headers need windows.h first.
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "editor_process.h"
#include "window_bench.h"

namespace window_bench {

namespace {

// One start of `command` until a visible window of class `windowClass` shows: the times (ms
// from the start) until it shows and, with `untilIdle`, until the process is idle; then the
// window is closed. False when the program cannot be started.
bool TimeStart(std::string command, const char* windowClass, bool untilIdle, double& shown,
               double& idle) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const double t0 = Now();
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return false;
  }
  HWND window = nullptr;
  shown = -1;
  for (int tries = 0; tries < 20000 && shown < 0; ++tries) {
    window = FindWindowA(windowClass, nullptr);
    if (window != nullptr && IsWindowVisible(window)) shown = Now() - t0;
    if (shown < 0) Sleep(0);
  }
  if (untilIdle) WaitForInputIdle(pi.hProcess, 10000);
  idle = Now() - t0;
  if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

void BenchLaunch(const char* exe, int runs) {
  std::vector<double> idle;
  std::vector<double> visible;
  for (int i = 0; i < runs; ++i) {
    double shown = 0, settled = 0;
    if (!TimeStart(std::string("\"") + exe + "\"", "TForm1", true, shown, settled)) {
      std::printf("launch: cannot start %s\n", exe);
      return;
    }
    visible.push_back(shown);
    idle.push_back(settled);
  }
  // The floor: the system's own small editor, from start to its window on the screen.
  std::vector<double> floor;
  for (int i = 0; i < runs; ++i) {
    double shown = 0, ended = 0;
    if (!TimeStart("notepad.exe", "Notepad", false, shown, ended)) break;
    floor.push_back(shown);
  }
  std::sort(floor.begin(), floor.end());
  if (!floor.empty())
    std::printf("launch floor: notepad.exe start to its window visible %.1f ms (median of %zu)\n",
                floor[floor.size() / 2], floor.size());
  std::sort(idle.begin(), idle.end());
  std::sort(visible.begin(), visible.end());
  std::printf(
      "launch (median of %d, wine server running): window visible %.1f ms, idle after first "
      "paint %.1f ms (max %.1f)\n",
      runs, visible[visible.size() / 2], idle[idle.size() / 2], idle.back());
}

void BenchAccessibleNames(const char* exe, std::size_t count, int runs) {
  const std::string path = MakeList(count);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    pallomar::win32::testing::EditorProcess editor;
    std::string error;
    HRESULT hr = E_FAIL;
    IAccessible* acc = nullptr;
    if (!editor.Start(exe, path, error) || (acc = editor.Accessible(hr)) == nullptr) {
      std::printf("screen reader: no accessible list (%s, 0x%08lx)\n", error.c_str(),
                  static_cast<unsigned long>(hr));
    } else {
      constexpr int kCalls = 1000;
      std::size_t chars = 0;
      const Stats names = Measure(runs, [&] {
        const double t0 = Now();
        for (int i = 0; i < kCalls; ++i) {
          BSTR name = nullptr;
          const long child = static_cast<long>((static_cast<std::size_t>(i) * 997) % count) + 1;
          if (SUCCEEDED(acc->get_accName(pallomar::win32::testing::Child(child), &name)))
            chars += SysStringLen(name);
          SysFreeString(name);
        }
        return Now() - t0;
      });
      std::printf(
          "screen reader: %d get_accName calls across processes on %zu entries %.1f ms (max "
          "%.1f), %.1f us each; %zu characters read\n",
          kCalls, count, names.median, names.max, names.median * 1000.0 / kCalls, chars);
      acc->Release();
    }
  }
  CoUninitialize();
  DeleteFileA(path.c_str());
}

}  // namespace window_bench
