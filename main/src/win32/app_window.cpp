#include "win32/app_window.h"

#include "win32/window_proc.h"

namespace pallomar::win32 {
namespace {

constexpr char kAppClassName[] = "PallomarApplication";
// Posted to itself: the taskbar entry passes the activation on once the system is done.
constexpr UINT kMsgActivateForm = WM_APP + 2;

}  // namespace

bool AppWindow::Create(HINSTANCE instance, HICON icon, const std::string& title) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &ObjectWindowProc<AppWindow>;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = kAppClassName;
  if (!RegisterOnce(wc)) return false;
  const int cx = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int cy = GetSystemMetrics(SM_CYSCREEN) / 2;
  CreateWindowExA(0, kAppClassName, title.c_str(),
                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS, cx, cy, 0,
                  0, nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) return false;
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  return true;
}

void AppWindow::Minimize() {
  if (form_ != nullptr) ShowWindow(form_, SW_HIDE);
  ShowWindow(hwnd_, SW_MINIMIZE);
}

void AppWindow::StartMinimized() { ShowWindow(hwnd_, SW_SHOWMINNOACTIVE); }

void AppWindow::Restore() {
  if (form_ == nullptr) return;
  ShowWindow(form_, SW_SHOW);
  PostMessageA(hwnd_, kMsgActivateForm, 0, 0);
}

void AppWindow::ActivateForm() {
  // Whatever the taskbar entry activated goes on to Form1 or the box it has open.
  if (form_ == nullptr || !IsWindowVisible(form_) || IsIconic(hwnd_)) return;
  HWND target = GetLastActivePopup(form_);
  if (target == nullptr || !IsWindowEnabled(target)) target = form_;
  if (IsWindowEnabled(target)) SetActiveWindow(target);
}

LRESULT AppWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MAXIMIZE:
        case SC_SIZE:
          return 0;
        case SC_CLOSE:
          if (form_ != nullptr) PostMessageA(form_, WM_CLOSE, 0, 0);
          return 0;
        case SC_RESTORE: {
          const LRESULT r = DefWindowProcA(hwnd_, msg, wParam, lParam);
          Restore();
          return r;
        }
        default:
          break;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(hwnd_, kMsgActivateForm, 0, 0);
      return 0;
    case kMsgActivateForm:
      ActivateForm();
      return 0;
    case WM_CLOSE:
      if (form_ != nullptr) PostMessageA(form_, WM_CLOSE, 0, 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

}  // namespace pallomar::win32
