// The application's taskbar entry: an unowned window of no size, captioned with the
// application title, that owns Form1 and stands for it when the application is minimised.
#pragma once

#include <windows.h>

#include <string>

namespace pallomar::win32 {

class AppWindow {
 public:
  AppWindow() = default;
  AppWindow(const AppWindow&) = delete;
  AppWindow& operator=(const AppWindow&) = delete;

  // Registers the class and creates the window, visible but not active. False on failure.
  bool Create(HINSTANCE instance, HICON icon, const std::string& title);
  // Form1, which gets the activation and the close this window receives.
  void SetForm(HWND form) { form_ = form; }
  HWND Handle() const { return hwnd_; }

  // Form1 leaves the screen and the taskbar entry shows the application minimised.
  void Minimize();
  // As Minimize, for a start with Form1 never shown.
  void StartMinimized();

  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  void Detach() { hwnd_ = nullptr; }
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  void Restore();
  void ActivateForm();

  HWND hwnd_ = nullptr;
  HWND form_ = nullptr;
};

}  // namespace pallomar::win32
