// The real Form1 in the test process, over a scripted platform whose drops and drop
// acceptance are the system's own, driven by real window messages.
#pragma once

#include <windows.h>
// The shell headers need windows.h first.
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "entrylist/entry_list.h"
#include "entrylist/list_file.h"
#include "layout.h"
#include "platform/scripted_platform.h"
#include "temp_folder.h"
#include "win32/main_window.h"

namespace pallomar::win32::testing {

using platform::testing::Call;
using platform::testing::CallKind;

// Recorded like the scripted stand-in, but a drop is a real HDROP read with the system's calls.
class DropPlatform : public platform::testing::ScriptedPlatform {
 public:
  HWND window = nullptr;
  // Runs while the error box is open, before it is recorded.
  std::function<void()> onError;
  void ShowErrorBox(std::string_view message) override {
    if (onError) onError();
    ScriptedPlatform::ShowErrorBox(message);
  }
  void DragAcceptFiles(bool accept) override {
    ScriptedPlatform::DragAcceptFiles(accept);
    if (window != nullptr) ::DragAcceptFiles(window, accept ? TRUE : FALSE);
  }
  std::string DropFirstPath(platform::DropHandle drop) override {
    Call c{};
    c.kind = CallKind::DropFirstPath;
    c.drop = drop;
    calls.push_back(c);
    HDROP h = static_cast<HDROP>(drop);
    const UINT length = DragQueryFileA(h, 0, nullptr, 0);
    std::string path(length + 1, '\0');
    DragQueryFileA(h, 0, path.data(), length + 1);
    path.resize(length);
    return path;
  }
  void DropFinish(platform::DropHandle drop) override {
    ScriptedPlatform::DropFinish(drop);
    DragFinish(static_cast<HDROP>(drop));
  }
};

// A DROPFILES block with ANSI paths, as the shell hands it over.
inline HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& p : paths) size += p.size() + 1;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  auto* df = static_cast<DROPFILES*>(GlobalLock(h));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = FALSE;
  char* out = reinterpret_cast<char*>(df + 1);
  for (const std::string& p : paths) {
    memcpy(out, p.c_str(), p.size() + 1);
    out += p.size() + 1;
  }
  GlobalUnlock(h);
  return static_cast<HDROP>(h);
}

// A fresh folder under the temporary folder, removed with its files afterwards.
using pallomar::test_support::TempFolder;

inline std::string WriteList(const std::string& path, const std::vector<Entry>& entries) {
  EntryList list;
  for (const Entry& e : entries) list.Append(e);
  WriteListFile(path, list);
  return path;
}

inline std::string TextOf(HWND hwnd) {
  char buffer[1024] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { CreateWindowFresh(); }

  // A new Form1, not yet shown, over a platform with no calls recorded.
  void CreateWindowFresh() {
    window.reset();
    Pump();
    platform.calls.clear();
    window = std::make_unique<MainWindow>(platform);
    ASSERT_TRUE(window->Create(GetModuleHandleA(nullptr)));
    platform.window = window->Handle();
  }

  void TearDown() override {
    window.reset();
    Pump();  // the stray WM_QUIT of a destroyed Form1 must not reach the next test
  }

  // Handles what is queued (a posted close, the taskbar entry's activation), like the loop does.
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quitPosted = true;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  void ShowForm(int command = SW_SHOWNORMAL) {
    window->Show(command);
    Pump();
  }

  HWND Wnd(layout::Ctl id) const { return window->Control(id); }
  HWND List() const { return Wnd(layout::Ctl::ListBox1); }

  void Click(layout::Ctl id) {
    SendMessageA(Wnd(id), BM_CLICK, 0, 0);
    Pump();
  }

  void Menu(const std::string& name) {
    for (const layout::MenuDef& menu : layout::Menu()) {
      for (const layout::MenuItemDef& item : menu.items) {
        if (name != item.name) continue;
        SendMessageA(window->Handle(), WM_COMMAND, MAKEWPARAM(static_cast<int>(item.command), 0),
                     0);
        Pump();
        return;
      }
    }
    ADD_FAILURE() << "no menu item " << name;
  }

  void Type(layout::Ctl id, const std::string& text) {
    SendMessageA(Wnd(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }

  int ListCount() const { return static_cast<int>(SendMessageA(List(), LB_GETCOUNT, 0, 0)); }
  int ListSel() const { return static_cast<int>(SendMessageA(List(), LB_GETCURSEL, 0, 0)); }
  void Select(int row) { SendMessageA(List(), LB_SETCURSEL, static_cast<WPARAM>(row), 0); }

  std::vector<std::string> ListPaths() const {
    std::vector<std::string> out;
    const EntryList& list = window->Form().Model().list;
    for (std::size_t i = 0; i < list.Count(); ++i) out.emplace_back(list.Get(i, kPath));
    return out;
  }

  // Where a control sits in Form1's client area.
  RECT ClientRectOf(HWND child) const {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  DropPlatform platform;
  std::unique_ptr<MainWindow> window;
  bool quitPosted = false;
};

}  // namespace pallomar::win32::testing
