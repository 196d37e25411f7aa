// The editor as a second process, seen from outside as a screen reader sees it: its window,
// its list and the list's accessible object. Every wait is bounded, and the process is ended
// when the holder goes, so that nothing here can hang a test.
#pragma once

#include <windows.h>
// The accessibility header needs windows.h first.
#include <oleacc.h>

#include <algorithm>
#include <string>

#include "layout.h"

namespace pallomar::win32::testing {

// pallomar.exe beside the running program.
inline std::string ProgramBesideMe() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self);
  path.resize(path.find_last_of('\\') + 1);
  return path + "pallomar.exe";
}

// Handles what is queued for this thread, out-of-context event hooks among it, for up to `ms`
// or until `done` says so. Returns whether `done` came true.
template <class Done>
bool PumpUntil(Done done, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE,
                              static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)), QS_ALLINPUT);
  }
}

class EditorProcess {
 public:
  EditorProcess() = default;
  EditorProcess(const EditorProcess&) = delete;
  EditorProcess& operator=(const EditorProcess&) = delete;
  ~EditorProcess() { Stop(); }

  // Starts `exe` with `listFile` on its command line and waits until its window is up with the
  // list loaded. False, with the reason in `error`, when it does not come up in time.
  bool Start(const std::string& exe, const std::string& listFile, std::string& error) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string command = "\"" + exe + "\" \"" + listFile + "\"";
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &process_)) {
      error = "cannot start " + exe + " (error " + std::to_string(GetLastError()) + ")";
      return false;
    }
    const ULONGLONG end = GetTickCount64() + 60000;
    while (GetTickCount64() < end) {
      form_ = FindForm(process_.dwProcessId);
      if (form_ != nullptr) break;
      if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) {
        error = "the editor ended before its window came up";
        return false;
      }
    }
    if (form_ == nullptr) {
      error = "the editor's window did not come up";
      return false;
    }
    WaitForInputIdle(process_.hProcess, 20000);
    return true;
  }

  HWND Form() const { return form_; }
  HWND Control(layout::Ctl id) const { return GetDlgItem(form_, layout::ControlId(id)); }
  HWND List() const { return Control(layout::Ctl::ListBox1); }
  DWORD Pid() const { return process_.dwProcessId; }

  // The list's accessible object, as a screen reader asks for it; nullptr on failure.
  IAccessible* Accessible(HRESULT& hr) const {
    IAccessible* object = nullptr;
    hr = AccessibleObjectFromWindow(List(), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                    reinterpret_cast<void**>(&object));
    return SUCCEEDED(hr) ? object : nullptr;
  }

  // A visible top-level window of the editor with the class `cls`, other than Form1.
  HWND FindBox(const char* cls) const { return FindTopLevel(Pid(), cls, form_); }

  // Closes the window as its close box does; true once the process has ended.
  bool CloseAndWait(DWORD ms) {
    if (process_.hProcess == nullptr) return true;
    if (form_ != nullptr) PostMessageA(form_, WM_CLOSE, 0, 0);
    return WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0;
  }

  void Stop() {
    if (process_.hProcess == nullptr) return;
    if (!CloseAndWait(5000)) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    form_ = nullptr;
  }

 private:
  static HWND FindForm(DWORD pid) { return FindTopLevel(pid, "TForm1", nullptr); }

  // A visible top-level window of process `pid` with the class `cls`, other than `except`.
  static HWND FindTopLevel(DWORD pid, const char* cls, HWND except) {
    struct Search {
      DWORD pid;
      const char* cls;
      HWND except;
      HWND found;
    } search{pid, cls, except, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          char name[64] = {};
          GetClassNameA(w, name, sizeof name);
          if (owner != s->pid || w == s->except || !IsWindowVisible(w) ||
              lstrcmpA(name, s->cls) != 0)
            return TRUE;
          s->found = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  PROCESS_INFORMATION process_{};
  HWND form_ = nullptr;
};

// A VARIANT naming child `id` (0 is the list itself).
inline VARIANT Child(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

}  // namespace pallomar::win32::testing
