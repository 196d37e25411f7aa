// Form1 as a real Win32 window: its controls built from the layout, FormView over them, and
// every window message handed to one TForm1 handler. The taskbar entry, the virtual list and
// the scrolling client area are parts of their own.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "form.h"
#include "form_view.h"
#include "layout.h"
#include "platform/platform.h"
#include "win32/app_window.h"
#include "win32/form_controls.h"
#include "win32/scroll_panel.h"
#include "win32/virtual_list.h"

namespace pallomar::win32 {

class MainWindow final : public FormView {
 public:
  explicit MainWindow(platform::Platform& platform);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the application's taskbar window and Form1 with its controls, Form1 still hidden.
  // False when a window cannot be created.
  bool Create(HINSTANCE instance);
  // Runs FormShow, then shows Form1 the way the process was started: SW_SHOWMAXIMIZED starts
  // it maximised, SW_SHOWMINNOACTIVE starts the application minimised; anything else shows it
  // normally.
  void Show(int showCommand);

  HWND Handle() const { return hwnd_; }
  HWND AppHandle() const { return app_.Handle(); }
  HWND Control(layout::Ctl id) const { return controls_.Control(id); }
  HWND RadioButton(int index) const { return controls_.RadioButton(index); }
  HWND Tooltip() const { return controls_.Tooltip(); }
  HFONT Font() const { return controls_.Font(); }
  const layout::Scale& Scale() const { return controls_.Scale(); }
  TForm1& Form() { return *form_; }

  // FormView.
  std::string Caption() const override;
  void SetCaption(std::string_view caption) override;
  std::string EditText(EditId edit) const override;
  void SetEditText(EditId edit, std::string_view text) override;
  int RadioIndex() const override;
  void SetRadioIndex(int index) override;
  bool CheckBoxChecked() const override;
  void SetCheckBoxChecked(bool checked) override;
  int ListSelection() const override { return list_.Selection(); }
  void SetListSelection(int index) override { list_.SetSelection(index); }
  void ListReset(std::size_t count) override { list_.Reset(count); }
  void ListRowsChanged(std::size_t first, std::size_t last, std::size_t count) override {
    list_.RowsChanged(first, last, count);
  }
  ScreenPoint WindowTopLeft() const override;
  void CloseWindow() override;

  // One message of the program's loop: the undo keys wherever the focus is in Form1, then
  // Tab and the arrow keys between the controls, then the usual translation and dispatch.
  void Route(MSG& msg);
  // Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z pressed in Form1: true when `msg` was one and was handled.
  bool RouteUndoKey(const MSG& msg);

  // For the window procedure.
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  void Detach() { hwnd_ = nullptr; }
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  HWND EditHandle(EditId edit) const;
  void OnCommand(int id, int code, HWND from);
  void OnActivate(bool active);
  void OnDrawItem(const DRAWITEMSTRUCT& dis) const;

  // The one road from a message into a TForm1 handler. Each handler reports its own errors
  // through TForm1::Dispatch, so nothing is left to catch here.
  template <class... Args>
  void Run(void (TForm1::*handler)(Args...), Args... args) {
    (form_.get()->*handler)(args...);
  }
  void Run(layout::Command command);
  void RunFormClose();

  platform::Platform& platform_;
  std::unique_ptr<TForm1> form_;
  AppWindow app_;
  FormControls controls_;
  VirtualList list_;
  ScrollPanel panel_;
  HWND hwnd_ = nullptr;
  HWND lastFocus_ = nullptr;
  bool shown_ = false;
  bool closed_ = false;
  bool destroying_ = false;
};

}  // namespace pallomar::win32
