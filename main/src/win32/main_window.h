// Form1 as a real Win32 window: builds the controls from the layout, implements FormView over
// them and hands every window message to one TForm1 handler. ListBox1 is a virtual list that
// paints the model's paths; the other columns live only in the model.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "form.h"
#include "form_view.h"
#include "layout.h"
#include "platform/platform.h"

namespace pallomar::win32 {

// Private messages of Form1.
inline constexpr UINT kMsgFormShow = WM_APP + 1;      // runs FormShow once the window shows
inline constexpr UINT kMsgActivateForm = WM_APP + 2;  // application window passes focus on

// Command ids: controls from kControlIdBase in layout order, menu items from kMenuIdBase.
// Both stay clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc.
inline constexpr int kControlIdBase = 100;
inline constexpr int kRadioIdBase = 150;
inline constexpr int kMenuIdBase = 200;

class MainWindow final : public FormView {
 public:
  explicit MainWindow(platform::Platform& platform);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the application's taskbar window and Form1 with its controls, both still hidden
  // (Form1) or empty (the taskbar window). False when a window cannot be created.
  bool Create(HINSTANCE instance);
  // Shows Form1 the way the process was started: SW_SHOWMAXIMIZED starts it maximised,
  // SW_SHOWMINNOACTIVE starts the application minimised; anything else shows it normally.
  void Show(int showCommand);

  HWND Handle() const { return hwnd_; }
  HWND AppHandle() const { return app_; }
  HWND Control(layout::Ctl id) const { return controls_[static_cast<std::size_t>(id)]; }
  HWND RadioButton(int index) const { return radios_[static_cast<std::size_t>(index)]; }
  HWND Tooltip() const { return tooltip_; }
  HFONT Font() const { return font_; }
  const layout::Scale& Scale() const { return scale_; }
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
  int ListSelection() const override;
  void SetListSelection(int index) override;
  void ListReset(std::size_t count) override;
  void ListRowsChanged(std::size_t first, std::size_t last, std::size_t count) override;
  ScreenPoint WindowTopLeft() const override;
  void CloseWindow() override;

 private:
  template <HWND MainWindow::*Slot, LRESULT (MainWindow::*On)(UINT, WPARAM, LPARAM)>
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnFormMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnAppMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  bool CreateFonts();
  bool CreateControls();
  void CreateMenuBar();
  void CreateTooltips();
  HWND EditHandle(EditId edit) const;

  void QueueFormShow();
  void OnCommand(int id, int code, HWND from);
  void OnActivate(bool active);
  void OnSize();
  void OnScroll(int bar, int request);
  void ScrollTo(int x, int y);
  void PlaceBevel();
  void MeasureItem(MEASUREITEMSTRUCT& mis) const;
  void DrawItem(const DRAWITEMSTRUCT& dis) const;
  void Minimize();
  void Restore();

  // Runs one handler of the form; no exception gets past it.
  void Run(layout::Command command);
  void Run(void (TForm1::*handler)());
  void ShowError(const char* message) noexcept;
  void RunFormClose();

  platform::Platform& platform_;
  std::unique_ptr<TForm1> form_;
  HWND app_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  std::array<HWND, layout::kControlCount> controls_{};
  std::array<HWND, 3> radios_{};
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  int itemHeight_ = 13;
  layout::Scale scale_;
  layout::Extent extent_;
  int scrollX_ = 0;
  int scrollY_ = 0;
  bool sizing_ = false;
  bool shown_ = false;
  bool closed_ = false;
  bool destroying_ = false;
  HWND lastFocus_ = nullptr;
};

// The message loop: Tab and the arrow keys move between Form1's controls. Returns the exit code.
int RunMessageLoop(HWND form);

}  // namespace pallomar::win32
