// Timings of the real message box for texts of every shape; run by hand, it prints figures and
// is not a test. "open" is from the call to the box becoming active (layout, wrapping, the text
// control filled), "round trip" until the call returns after an immediate answer.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32_platform.h"

namespace {

LARGE_INTEGER gActivated{};
HHOOK gHook = nullptr;

LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    char cls[16] = {};
    GetClassNameA(reinterpret_cast<HWND>(wParam), cls, sizeof(cls));
    if (std::string(cls) == "#32770") {
      QueryPerformanceCounter(&gActivated);
      PostMessageA(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(gHook, code, wParam, lParam);
}

std::string Repeat(const std::string& piece, std::size_t bytes) {
  std::string out;
  while (out.size() < bytes) out += piece;
  out.resize(bytes - bytes % piece.size());
  return out;
}

}  // namespace

// With "--show N" it opens the box for shape N and waits for an answer, to look at it by hand.
int main(int argc, char** argv) {
  struct Shape {
    const char* name;
    std::string text;
  };
  std::string manyLines;
  for (int i = 0; i < 2000; ++i) manyLines += "entry " + std::to_string(i) + "\n";
  const std::vector<Shape> shapes = {
      {"short", "OK?"},
      {"details, 185-byte path", "\x8E\xC0\x8D\x73\x83\x74\x83\x40\x83\x43\x83\x8B: c:\\tools\\" +
                                     std::string(168, 'a') +
                                     "\\app.exe\n\nabc def \x95\x5C\x83\x5C"},
      {"2000 lines", manyLines},
      {"2000-byte path", "c:\\" + std::string(1992, 'a') + ".exe"},
      {"double-byte run, 64 KiB", Repeat("\x95\x5C\x83\x5C", 65536)},
      {"ASCII run, 64 KiB", std::string(65536, 'a')},
      {"ASCII run, 1 MiB", std::string(1 << 20, 'a')},
      {"double-byte run, 1 MiB", Repeat("\x95\x5C\x83\x5C", 1 << 20)},
      {"words, 1 MiB", Repeat("path c:\\tools\\app.exe ", 1 << 20)},
  };
  pallomar::platform::Win32Platform platform;
  if (argc == 3 && std::string(argv[1]) == "--show") {
    const std::size_t n = std::strtoul(argv[2], nullptr, 10);
    if (n >= shapes.size()) return 2;
    return platform.ShowMessageBox(shapes[n].text, pallomar::platform::MsgType::Information,
                                   pallomar::platform::kButtonOK, 900, 800);
  }
  gHook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  auto ms = [&](LONGLONG ticks) {
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
  };
  for (const Shape& shape : shapes) {
    double open = 0;
    double total = 0;
    constexpr int kRuns = 3;
    for (int run = 0; run < kRuns; ++run) {
      LARGE_INTEGER start{};
      LARGE_INTEGER end{};
      QueryPerformanceCounter(&start);
      platform.ShowMessageBox(shape.text, pallomar::platform::MsgType::Custom,
                              pallomar::platform::kButtonOK);
      QueryPerformanceCounter(&end);
      open += ms(gActivated.QuadPart - start.QuadPart);
      total += ms(end.QuadPart - start.QuadPart);
    }
    std::printf("%-26s %8zu bytes  open %8.1f ms  round trip %8.1f ms\n", shape.name,
                shape.text.size(), open / kRuns, total / kRuns);
  }
  UnhookWindowsHookEx(gHook);
  return 0;
}
