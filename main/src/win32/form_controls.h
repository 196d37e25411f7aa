// Form1's fonts, controls, menu bar and hints, built from the layout tables.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

#include "layout.h"

namespace pallomar::win32 {

class FormControls {
 public:
  FormControls() = default;
  ~FormControls();
  FormControls(const FormControls&) = delete;
  FormControls& operator=(const FormControls&) = delete;

  // The window's font for this screen and the scale that follows from it. False on failure.
  bool CreateFonts();
  // Every control, the menu bar and the hints, inside `form`. False when a control cannot be
  // made.
  bool Create(HWND form);

  HWND Control(layout::Ctl id) const { return controls_[static_cast<std::size_t>(id)]; }
  HWND RadioButton(int index) const { return radios_[static_cast<std::size_t>(index)]; }
  HWND Tooltip() const { return tooltip_; }
  HFONT Font() const { return font_; }
  const layout::Scale& Scale() const { return scale_; }
  // Height of one line of text in the window's font: ListBox1's rows.
  int LineHeight() const { return lineHeight_; }

 private:
  bool CreateControls(HWND form);
  bool CreateRadioItems(HWND form, HINSTANCE instance, const layout::Rect& group);
  static void CreateMenuBar(HWND form);
  void CreateTooltips(HWND form);

  std::array<HWND, layout::kControlCount> controls_{};
  std::array<HWND, layout::kRadioColumns> radios_{};
  HWND tooltip_ = nullptr;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  int lineHeight_ = 13;
  layout::Scale scale_;
};

}  // namespace pallomar::win32
