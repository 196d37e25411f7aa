// A program for the tests of `plwtool run`: it writes how it was started (command line,
// current folder, STARTUPINFO flags and show command, and the state its window took) to the
// file named by PLWTOOL_PROBE_OUT with ".<pid>" appended, then stays until it is ended.
#include <windows.h>

#include <string>

namespace {

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// Written whole under another name first: a reader never sees half a report.
void Report(const std::string& text) {
  char base[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("PLWTOOL_PROBE_OUT", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  const std::string target = std::string(base) + "." + std::to_string(GetCurrentProcessId());
  const std::string partial = target + ".part";
  HANDLE f = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  MoveFileExA(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  GetStartupInfoA(&si);
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);

  WNDCLASSA wc{};
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = instance;
  wc.lpszClassName = "PlwtoolStartProbe";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowA("PlwtoolStartProbe", "start probe", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                            200, nullptr, nullptr, instance, nullptr);
  // As any program does: the show command it was given decides its first window state.
  ShowWindow(hwnd, showCommand);

  Report(std::string("command line=") + GetCommandLineA() + "\nfolder=" + folder +
         "\nflags=" + std::to_string(si.dwFlags) + "\nshow=" + std::to_string(si.wShowWindow) +
         "\nzoomed=" + (IsZoomed(hwnd) ? "1" : "0") + "\niconic=" + (IsIconic(hwnd) ? "1" : "0") +
         "\n");

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
