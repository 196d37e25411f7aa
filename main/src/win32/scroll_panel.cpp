#include "win32/scroll_panel.h"

#include <algorithm>
#include <optional>

#include "view_geometry.h"

namespace pallomar::win32 {
namespace {

std::optional<view::ScrollRequest> RequestFor(int code) {
  switch (code) {
    case SB_LINEUP:
      return view::ScrollRequest::LineUp;
    case SB_LINEDOWN:
      return view::ScrollRequest::LineDown;
    case SB_PAGEUP:
      return view::ScrollRequest::PageUp;
    case SB_PAGEDOWN:
      return view::ScrollRequest::PageDown;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      return view::ScrollRequest::Thumb;
    case SB_TOP:
      return view::ScrollRequest::Top;
    case SB_BOTTOM:
      return view::ScrollRequest::Bottom;
    default:
      return std::nullopt;  // SB_ENDSCROLL and the like move nothing
  }
}

}  // namespace

void ScrollPanel::Attach(HWND form, HWND bevel, const layout::Scale& scale,
                         const layout::Extent& extent) {
  form_ = form;
  bevel_ = bevel;
  scale_ = scale;
  extent_ = extent;
}

void ScrollPanel::OnSize() {
  if (form_ == nullptr || sizing_ || IsIconic(form_)) return;
  sizing_ = true;
  // Showing or hiding one bar changes the client area, so settle it in a couple of passes.
  for (int pass = 0; pass < 3; ++pass) {
    RECT rc{};
    GetClientRect(form_, &rc);
    SCROLLINFO h{
        sizeof(h), SIF_RANGE | SIF_PAGE, 0, extent_.right - 1, static_cast<UINT>(rc.right), 0, 0};
    SCROLLINFO v{
        sizeof(v), SIF_RANGE | SIF_PAGE, 0, extent_.bottom - 1, static_cast<UINT>(rc.bottom), 0, 0};
    SetScrollInfo(form_, SB_HORZ, &h, TRUE);
    SetScrollInfo(form_, SB_VERT, &v, TRUE);
    RECT after{};
    GetClientRect(form_, &after);
    if (after.right == rc.right && after.bottom == rc.bottom) break;
  }
  RECT rc{};
  GetClientRect(form_, &rc);
  ScrollTo(std::min(x_, view::ScrollLimit(extent_.right, rc.right)),
           std::min(y_, view::ScrollLimit(extent_.bottom, rc.bottom)));
  PlaceBevel();
  sizing_ = false;
}

void ScrollPanel::OnScroll(int bar, int request) {
  const std::optional<view::ScrollRequest> what = RequestFor(request);
  SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
  if (!what || !GetScrollInfo(form_, bar, &si)) return;
  const view::ScrollBar state{si.nMax, static_cast<int>(si.nPage), si.nPos, si.nTrackPos};
  const int pos = view::ScrollTarget(*what, state, scale_.Apply(8));
  if (bar == SB_HORZ)
    ScrollTo(pos, y_);
  else
    ScrollTo(x_, pos);
}

void ScrollPanel::OnWheel(int delta) { OnScroll(SB_VERT, delta > 0 ? SB_LINEUP : SB_LINEDOWN); }

void ScrollPanel::ScrollTo(int x, int y) {
  x = std::max(0, x);
  y = std::max(0, y);
  const int dx = x_ - x;
  const int dy = y_ - y;
  x_ = x;
  y_ = y;
  SetScrollPos(form_, SB_HORZ, x, TRUE);
  SetScrollPos(form_, SB_VERT, y, TRUE);
  if (dx != 0 || dy != 0) {
    ScrollWindowEx(form_, dx, dy, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    PlaceBevel();
  }
}

void ScrollPanel::PlaceBevel() const {
  if (bevel_ == nullptr) return;
  RECT rc{};
  GetClientRect(form_, &rc);
  const layout::Rect r = scale_.Apply(layout::Def(layout::Ctl::Bevel1).rect);
  // Aligned to the top: it scrolls up with the controls but always spans the client width.
  SetWindowPos(bevel_, nullptr, 0, r.top - y_, rc.right, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ScrollPanel::DrawBevel(const DRAWITEMSTRUCT& dis) {
  RECT rc = dis.rcItem;
  FillRect(dis.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dis.hDC, &rc, EDGE_ETCHED, BF_TOP);
}

}  // namespace pallomar::win32
