// Form1's client area as a scrolling panel: scroll bars appear when the client area is smaller
// than the area the controls cover, and Bevel1 keeps the full client width at the top.
#pragma once

#include <windows.h>

#include "layout.h"

namespace pallomar::win32 {

class ScrollPanel {
 public:
  // Form1, its Bevel1, the scale the controls were placed with and the area they cover.
  void Attach(HWND form, HWND bevel, const layout::Scale& scale, const layout::Extent& extent);

  // After a size change: the bars' ranges, the position kept inside them, the bevel's width.
  void OnSize();
  // A WM_HSCROLL (bar SB_HORZ) or WM_VSCROLL (SB_VERT) request such as SB_LINEDOWN.
  void OnScroll(int bar, int request);
  // A wheel turn: one line up or down.
  void OnWheel(int delta);

  // Bevel1's look: one lowered line along its top edge.
  static void DrawBevel(const DRAWITEMSTRUCT& dis);

 private:
  void ScrollTo(int x, int y);
  void PlaceBevel() const;

  HWND form_ = nullptr;
  HWND bevel_ = nullptr;
  layout::Scale scale_;
  layout::Extent extent_;
  int x_ = 0;
  int y_ = 0;
  bool sizing_ = false;
};

}  // namespace pallomar::win32
