// Binds a window to the C++ object that handles its messages: the object comes in as the
// creation parameter and stays in the window's user data until WM_NCDESTROY.
#pragma once

#include <windows.h>

namespace pallomar::win32 {

// T::Attach(HWND) hears of the window as it is created, T::OnMessage(UINT, WPARAM, LPARAM)
// handles every message from then on, and T::Detach() hears that the window is gone.
template <class T>
LRESULT CALLBACK ObjectWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self != nullptr) self->Attach(hwnd);
  }
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  // The form's handlers report their own errors. This keeps a failure of the window code
  // itself (no memory for a text) from unwinding through the system, which cannot take it.
  try {
    result = self->OnMessage(msg, wParam, lParam);
  } catch (...) {
    result = 0;
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->Detach();
  }
  return result;
}

// Registers a window class; one already registered by an earlier window counts as done.
inline bool RegisterOnce(const WNDCLASSEXA& wc) {
  return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace pallomar::win32
