#include "win32/virtual_list.h"

#include <string_view>

#include "view_geometry.h"

namespace pallomar::win32 {

void VirtualList::SetMetrics(HFONT font, int itemHeight) {
  font_ = font;
  itemHeight_ = itemHeight;
}

int VirtualList::Selection() const {
  if (list_ == nullptr) return -1;
  const LRESULT sel = SendMessageA(list_, LB_GETCURSEL, 0, 0);
  return sel == LB_ERR ? -1 : static_cast<int>(sel);
}

void VirtualList::SetSelection(int index) const {
  if (list_ != nullptr) SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void VirtualList::Reset(std::size_t count) const {
  if (list_ == nullptr) return;
  // One message for the whole list: the rows are painted from the model on demand.
  SendMessageA(list_, LB_SETCOUNT, count, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void VirtualList::RowsChanged(std::size_t first, std::size_t last, std::size_t count) const {
  if (list_ == nullptr) return;
  const LRESULT had = SendMessageA(list_, LB_GETCOUNT, 0, 0);
  const bool resized = had == LB_ERR || static_cast<std::size_t>(had) != count;
  if (resized) {
    // LB_SETCOUNT forgets the selection and scrolls to the top; put both back.
    const LRESULT sel = SendMessageA(list_, LB_GETCURSEL, 0, 0);
    const LRESULT top = SendMessageA(list_, LB_GETTOPINDEX, 0, 0);
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LB_SETCOUNT, count, 0);
    if (sel != LB_ERR && static_cast<std::size_t>(sel) < count)
      SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(sel), 0);
    if (top != LB_ERR) SendMessageA(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  }
  RECT client{};
  GetClientRect(list_, &client);
  const LRESULT topRow = SendMessageA(list_, LB_GETTOPINDEX, 0, 0);
  if (topRow == LB_ERR) {
    InvalidateRect(list_, nullptr, TRUE);
    return;
  }
  const view::Repaint repaint = view::RepaintRange(
      first, last, resized, static_cast<std::size_t>(topRow), itemHeight_, client.bottom);
  switch (repaint.kind) {
    case view::Repaint::Kind::Nothing:
      return;
    case view::Repaint::Kind::Everything:
      InvalidateRect(list_, nullptr, TRUE);
      return;
    case view::Repaint::Kind::Band: {
      RECT area = client;
      area.top = repaint.top;
      area.bottom = repaint.bottom;
      InvalidateRect(list_, &area, TRUE);
      return;
    }
  }
}

void VirtualList::Measure(MEASUREITEMSTRUCT& mis) const {
  mis.itemHeight = static_cast<UINT>(itemHeight_);
}

void VirtualList::Draw(const DRAWITEMSTRUCT& dis, const EntryList& entries) const {
  HDC dc = dis.hDC;
  if (dis.itemAction == ODA_FOCUS) {
    DrawFocusRect(dc, &dis.rcItem);
    return;
  }
  const bool selected = (dis.itemState & ODS_SELECTED) != 0;
  const COLORREF oldText =
      SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const COLORREF oldBack = SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, font_);
  std::string_view path;
  if (dis.itemID != static_cast<UINT>(-1) && dis.itemID < entries.Count())
    path = entries.Get(dis.itemID, kPath);
  ExtTextOutA(dc, dis.rcItem.left + 2, dis.rcItem.top, ETO_OPAQUE | ETO_CLIPPED, &dis.rcItem,
              path.data(), static_cast<UINT>(path.size()), nullptr);
  if ((dis.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &dis.rcItem);
  SelectObject(dc, oldFont);
  SetBkColor(dc, oldBack);
  SetTextColor(dc, oldText);
}

}  // namespace pallomar::win32
