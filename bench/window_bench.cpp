// Timings of the real window under the real system: loading large lists until they are
// painted, single edits on a large list, and the program's start until its first paint.
// Prints figures; it asserts nothing.
//
//   window_bench.exe --undo                   (only the undo of New on 1,000,000 entries)
//   window_bench.exe [path\to\pallomar.exe]   (with the program: its start, and row names read
//                                            by a second process, in window_bench_program.cpp)
#include <windows.h>
// The shell headers need windows.h first.
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor_process.h"
#include "entrylist/entry_list.h"
#include "entrylist/list_file.h"
#include "platform/scripted_platform.h"
#include "win32/main_window.h"
#include "window_bench.h"

namespace window_bench {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / frequency;
}

std::string MakeList(std::size_t count) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + "pallomar-bench-" + std::to_string(count) + ".plw";
  pallomar::EntryList list;
  for (std::size_t i = 0; i < count; ++i)
    list.Append("c:\\program files\\tool" + std::to_string(i) + "\\run.exe", "-x", "$dummy$", "0",
                "1");
  pallomar::WriteListFile(path, list);
  return path;
}

Stats Measure(int runs, const std::function<double()>& once) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) t.push_back(once());
  std::sort(t.begin(), t.end());
  return {t[t.size() / 2], t.back()};
}

}  // namespace window_bench

namespace {

using pallomar::EntryList;
using pallomar::layout::Ctl;
using pallomar::win32::MainWindow;
using window_bench::MakeList;
using window_bench::Measure;
using window_bench::Now;
using window_bench::Stats;

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

class BenchPlatform : public pallomar::platform::testing::ScriptedPlatform {
 public:
  std::string DropFirstPath(pallomar::platform::DropHandle drop) override {
    char path[MAX_PATH] = {};
    DragQueryFileA(static_cast<HDROP>(drop), 0, path, MAX_PATH);
    return path;
  }
  void DropFinish(pallomar::platform::DropHandle drop) override {
    DragFinish(static_cast<HDROP>(drop));
  }
};

HDROP MakeDrop(const std::string& path) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + path.size() + 2);
  auto* df = static_cast<DROPFILES*>(GlobalLock(h));
  df->pFiles = sizeof(DROPFILES);
  memcpy(reinterpret_cast<char*>(df + 1), path.c_str(), path.size() + 1);
  GlobalUnlock(h);
  return static_cast<HDROP>(h);
}

void BenchLoad(std::size_t count, int runs) {
  const std::string path = MakeList(count);
  BenchPlatform platform;
  MainWindow window(platform);
  if (!window.Create(GetModuleHandleA(nullptr))) return;
  window.Show(SW_SHOWNORMAL);
  Pump();
  HWND list = window.Control(Ctl::ListBox1);

  const Stats load = Measure(runs, [&] {
    const double t0 = Now();
    SendMessageA(window.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(path)), 0);
    UpdateWindow(window.Handle());
    UpdateWindow(list);
    return Now() - t0;
  });
  const Stats read = Measure(runs, [&] {
    EntryList l;
    const double t0 = Now();
    pallomar::ReadListFile(path, l);
    return Now() - t0;
  });
  // The window's own share: the list told of its new rows and painted.
  const Stats show = Measure(runs, [&] {
    InvalidateRect(list, nullptr, TRUE);
    const double t0 = Now();
    window.ListReset(window.Form().Model().list.Count());
    UpdateWindow(list);
    return Now() - t0;
  });
  std::printf(
      "load %7zu entries: drop to painted %8.1f ms (max %8.1f); reading alone %8.1f ms; "
      "list shown after reading %6.2f ms (max %6.2f); rows in list box %ld\n",
      count, load.median, load.max, read.median, show.median, show.max,
      static_cast<long>(SendMessageA(list, LB_GETCOUNT, 0, 0)));
  DeleteFileA(path.c_str());
}

void BenchEdits(std::size_t count, int runs) {
  BenchPlatform platform;
  MainWindow window(platform);
  if (!window.Create(GetModuleHandleA(nullptr))) return;
  window.Show(SW_SHOWNORMAL);
  Pump();
  EntryList& model = window.Form().Model().list;
  for (std::size_t i = 0; i < count; ++i)
    model.Append("c:\\program files\\tool" + std::to_string(i) + "\\run.exe", "-x", "$dummy$", "0",
                 "1");
  window.ListReset(model.Count());
  HWND list = window.Control(Ctl::ListBox1);
  const WPARAM middle = count / 2;
  SendMessageA(list, LB_SETCURSEL, middle, 0);
  UpdateWindow(list);
  auto click = [&](Ctl id) {
    const double t0 = Now();
    SendMessageA(window.Control(id), BM_CLICK, 0, 0);
    UpdateWindow(window.Handle());
    UpdateWindow(list);
    return Now() - t0;
  };
  const Stats takeOut = Measure(runs, [&] {
    SendMessageA(list, LB_SETCURSEL, middle, 0);
    UpdateWindow(list);
    return click(Ctl::Buttondel);
  });
  // Put the taken-out entries back, one add each.
  const Stats adds = Measure(runs, [&] {
    SendMessageA(window.Control(Ctl::Edit1), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>("c:\\tools\\again.exe"));
    return click(Ctl::Buttonadd);
  });
  const Stats up = Measure(runs, [&] {
    SendMessageA(list, LB_SETCURSEL, middle, 0);
    UpdateWindow(list);
    return click(Ctl::Buttonup);
  });
  const Stats down = Measure(runs, [&] {
    SendMessageA(list, LB_SETCURSEL, middle, 0);
    UpdateWindow(list);
    return click(Ctl::Buttondown);
  });
  // Where an edit's time goes: the model alone, and the list box's row count alone.
  const Stats modelOnly = Measure(runs, [&] {
    const double t0 = Now();
    pallomar::Entry e = model.EntryAt(middle);
    model.Remove(middle);
    model.Append(e);
    return Now() - t0;
  });
  const Stats countOnly = Measure(runs, [&] {
    const double t0 = Now();
    SendMessageA(list, LB_SETCOUNT, count - 1, 0);
    SendMessageA(list, LB_SETCOUNT, count, 0);
    return Now() - t0;
  });
  const Stats countQuiet = Measure(runs, [&] {
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    const double t0 = Now();
    SendMessageA(list, LB_SETCOUNT, count - 1, 0);
    SendMessageA(list, LB_SETCOUNT, count, 0);
    const double t1 = Now() - t0;
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    return t1;
  });
  const Stats redrawOn = Measure(runs, [&] {
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    const double t0 = Now();
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    return Now() - t0;
  });
  const Stats scrollOnly = Measure(runs, [&] {
    SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE, 0, static_cast<int>(count) - 1, 7, 0, 0};
    const double t0 = Now();
    SetScrollInfo(list, SB_VERT, &si, TRUE);
    return Now() - t0;
  });
  std::printf(
      "  count change with redraw off %.2f ms, redraw back on %.2f ms, scroll bar %.2f ms\n",
      countQuiet.median, redrawOn.median, scrollOnly.median);
  const Stats rowOnly = Measure(runs, [&] {
    const double t0 = Now();
    SendMessageA(list, LB_DELETESTRING, middle, 0);
    SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), 0);
    return Now() - t0;
  });
  std::printf(
      "  of which: model take-out + add %.2f ms, list box count down + up %.2f ms, one row "
      "deleted + appended %.2f ms (rows %ld)\n",
      modelOnly.median, countOnly.median, rowOnly.median,
      static_cast<long>(SendMessageA(list, LB_GETCOUNT, 0, 0)));
  // The same edits from the handler call on, without the button's own press painting.
  auto direct = [&](void (pallomar::TForm1::*handler)()) {
    const double t0 = Now();
    (window.Form().*handler)();
    UpdateWindow(window.Handle());
    UpdateWindow(list);
    return Now() - t0;
  };
  const Stats takeOutDirect = Measure(runs, [&] {
    SendMessageA(list, LB_SETCURSEL, middle, 0);
    UpdateWindow(list);
    return direct(&pallomar::TForm1::ButtondelClick);
  });
  const Stats addDirect = Measure(runs, [&] {
    SendMessageA(window.Control(Ctl::Edit1), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>("c:\\tools\\again.exe"));
    UpdateWindow(window.Handle());
    return direct(&pallomar::TForm1::ButtonaddClick);
  });
  const Stats upDirect = Measure(runs, [&] {
    SendMessageA(list, LB_SETCURSEL, middle, 0);
    UpdateWindow(list);
    return direct(&pallomar::TForm1::ButtonupClick);
  });
  std::printf(
      "edits on %zu entries (handler to repainted, median/max of %d): add %.2f/%.2f ms, "
      "take out %.2f/%.2f ms, move up %.2f/%.2f ms\n",
      count, runs, addDirect.median, addDirect.max, takeOutDirect.median, takeOutDirect.max,
      upDirect.median, upDirect.max);
  std::printf(
      "edits on %zu entries (click to repainted, median/max of %d): add %.2f/%.2f ms, "
      "take out %.2f/%.2f ms, move up %.2f/%.2f ms, move down %.2f/%.2f ms; rows now %zu\n",
      count, runs, adds.median, adds.max, takeOut.median, takeOut.max, up.median, up.max,
      down.median, down.max, model.Count());
}

// Ctrl+Z after New on a long list, through the program's own routing of the key: the list
// comes back from the history by a move, so this is the list box's new row count and a paint.
void BenchUndoNew(std::size_t count, int runs) {
  const std::string path = MakeList(count);
  BenchPlatform platform;
  MainWindow window(platform);
  if (!window.Create(GetModuleHandleA(nullptr))) return;
  window.Show(SW_SHOWNORMAL);
  Pump();
  SendMessageA(window.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(path)), 0);
  Pump();
  HWND list = window.Control(Ctl::ListBox1);
  auto key = [&](WPARAM vk) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    const double t0 = Now();
    MSG msg{list, WM_KEYDOWN, vk, 1, 0, {}};
    window.Route(msg);
    UpdateWindow(window.Handle());
    UpdateWindow(list);
    const double t = Now() - t0;
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    return t;
  };
  std::size_t rowsBack = 0;
  std::size_t held = 0;
  const Stats newTime = Measure(runs, [&] {
    const double t0 = Now();
    window.Form().New1Click();
    UpdateWindow(window.Handle());
    UpdateWindow(list);
    const double t = Now() - t0;
    held = window.Form().Changes().BytesHeld();
    key('Z');  // back for the next run
    return t;
  });
  const Stats undo = Measure(runs, [&] {
    window.Form().New1Click();
    Pump();
    const double t = key('Z');
    rowsBack = window.Form().Model().list.Count();
    return t;
  });
  const Stats redo = Measure(runs, [&] {
    const double t = key('Y');
    key('Z');
    return t;
  });
  std::printf(
      "undo of New on %zu entries (key to repainted, median/max of %d): New %.2f/%.2f ms, "
      "Ctrl+Z %.2f/%.2f ms, Ctrl+Y %.2f/%.2f ms; rows back %zu; history holds %.1f MB (the "
      "list itself)\n",
      count, runs, newTime.median, newTime.max, undo.median, undo.max, redo.median, redo.max,
      rowsBack, static_cast<double>(held) / (1024.0 * 1024.0));
  DeleteFileA(path.c_str());
}

}  // namespace

void PrintLayout() {
  BenchPlatform platform;
  MainWindow window(platform);
  if (!window.Create(GetModuleHandleA(nullptr))) return;
  RECT outer{};
  RECT client{};
  GetWindowRect(window.Handle(), &outer);
  GetClientRect(window.Handle(), &client);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, window.Font());
  SIZE zero{};
  GetTextExtentPoint32A(dc, "0", 1, &zero);
  SelectObject(dc, old);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  std::printf(
      "layout: %d dpi, height of \"0\" %ld px, scale %d/%d, outer %ldx%ld, client %ldx%ld\n", dpi,
      static_cast<long>(zero.cy), window.Scale().num, window.Scale().den,
      static_cast<long>(outer.right - outer.left), static_cast<long>(outer.bottom - outer.top),
      static_cast<long>(client.right), static_cast<long>(client.bottom));
}

int main(int argc, char** argv) {
  PrintLayout();
  if (argc > 1 && std::string(argv[1]) == "--undo") {
    BenchUndoNew(1000000, 5);
    return 0;
  }
  if (argc > 1 && std::string(argv[1]) == "--edits") {
    BenchEdits(1000, 21);
    BenchEdits(100000, 21);
    return 0;
  }
  BenchLoad(100000, 5);
  BenchLoad(1000000, 3);
  BenchEdits(100000, 21);
  BenchUndoNew(1000000, 5);
  if (argc > 1) window_bench::BenchLaunch(argv[1], 7);
  if (argc > 1) window_bench::BenchAccessibleNames(argv[1], 1000000, 5);
  return 0;
}
