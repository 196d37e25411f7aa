// The common open and save dialogs, placed on the monitor of the active window.
// commdlg.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <string>

#include "entrylist/codepage.h"
#include "win32_internal.h"

namespace pallomar::platform::win32 {

namespace {

// Where the next file dialog of this thread goes; set while one runs.
struct Placement {
  HHOOK hook = nullptr;
  RECT work{};
  bool placed = false;
  HWND dialog = nullptr;
  UINT_PTR settle = 0;
};
thread_local Placement* tPlacement = nullptr;

bool IsDialogClass(HWND window) {
  char name[16] = {};
  return GetClassNameA(window, name, sizeof(name)) > 0 && std::strcmp(name, "#32770") == 0;
}

// The dialog is centred across and a third of the free height down; one larger than the work
// area keeps its top-left corner inside it.
void Place(HWND dialog, const RECT& work) {
  RECT r{};
  if (!GetWindowRect(dialog, &r)) return;
  const LONG width = r.right - r.left;
  const LONG height = r.bottom - r.top;
  const LONG x = work.left + std::max(0L, (work.right - work.left - width) / 2);
  const LONG y = work.top + std::max(0L, (work.bottom - work.top - height) / 3);
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The dialog makes itself sizeable after it first activates, which changes its size; once
// its queue is idle it is placed again for the size it keeps.
void CALLBACK SettleTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  Placement* p = tPlacement;
  if (!p || p->settle != id) return;
  p->settle = 0;
  if (IsWindow(p->dialog)) Place(p->dialog, p->work);
}

LRESULT CALLBACK PlacementHook(int code, WPARAM wParam, LPARAM lParam) {
  Placement* p = tPlacement;
  if (p && code == HCBT_ACTIVATE && !p->placed) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (IsDialogClass(window) && !(GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)) {
      p->placed = true;
      p->dialog = window;
      Place(window, p->work);
      p->settle = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, SettleTimer);
    }
  }
  return CallNextHookEx(p ? p->hook : nullptr, code, wParam, lParam);
}

// Copies at most MAX_PATH - 1 bytes without cutting a double-byte character.
void CopyFileName(const std::string& name, const CodePage& cp, char (&buffer)[MAX_PATH]) {
  std::size_t n = 0;
  while (n < name.size()) {
    const std::size_t len = cp.CharLength(name, n);
    if (n + len > MAX_PATH - 1) break;
    n += len;
  }
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
}

}  // namespace

std::string DialogFilter(std::string_view filter, const CodePage& cp) {
  std::string result;
  for (const std::string& part : SplitFilter(filter, cp)) {
    result += part;
    result += '\0';
  }
  result += '\0';
  return result;
}

DWORD DialogFlags(unsigned options) {
  DWORD flags = OFN_EXPLORER;
  if (options & ofHideReadOnly) flags |= OFN_HIDEREADONLY;
  if (options & ofEnableSizing) flags |= OFN_ENABLESIZING;
  return flags;
}

bool RunFileDialog(HWND owner, FileDialog& dialog, bool save) {
  const std::string filter = DialogFilter(dialog.Filter, dialog.Cp());
  char file[MAX_PATH] = {};
  CopyFileName(dialog.FileName, dialog.Cp(), file);

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = dialog.Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(std::max(0, dialog.FilterIndex));
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = dialog.InitialDir().empty() ? nullptr : dialog.InitialDir().c_str();
  ofn.lpstrTitle = dialog.Title.empty() ? nullptr : dialog.Title.c_str();
  ofn.lpstrDefExt = dialog.DefaultExt.empty() ? nullptr : dialog.DefaultExt.c_str();
  ofn.Flags = DialogFlags(dialog.Options);

  Placement placement;
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  GetMonitorInfoA(MonitorFromWindow(GetActiveWindow(), MONITOR_DEFAULTTOPRIMARY), &info);
  placement.work = info.rcWork;
  Placement* outer = tPlacement;
  tPlacement = &placement;
  placement.hook = SetWindowsHookExA(WH_CBT, PlacementHook, nullptr, GetCurrentThreadId());

  // The owner is disabled by the dialog itself; any other window of ours waits too.
  ThreadWindowsDisabled others(owner);
  const BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  others.Restore();

  if (placement.settle) KillTimer(nullptr, placement.settle);
  if (placement.hook) UnhookWindowsHookEx(placement.hook);
  tPlacement = outer;

  if (!ok) return false;
  dialog.FileName = file;
  dialog.FilterIndex = static_cast<int>(ofn.nFilterIndex);
  return true;
}

}  // namespace pallomar::platform::win32
