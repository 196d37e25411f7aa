#include "win32/virtual_list.h"

#include <commctrl.h>

#include <string_view>

#include "list_access.h"
#include "view_geometry.h"
#include "win32/list_accessible.h"

namespace pallomar::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 1;

// Messages after which the list box may have a new selection: the user's mouse and keys, and
// the requests that set or reset it.
bool MayMoveSelection(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_TIMER:
    case WM_KEYDOWN:
    case WM_CHAR:
    case LB_SETCURSEL:
    case LB_SETCOUNT:
    case LB_RESETCONTENT:
    case LB_DELETESTRING:
    case LB_INSERTSTRING:
    case LB_ADDSTRING:
    case LB_SETCARETINDEX:
      return true;
    default:
      return false;
  }
}

}  // namespace

VirtualList::~VirtualList() { Detach(); }

void VirtualList::Attach(HWND list, const EntryList& entries, std::string_view name) {
  Detach();
  list_ = list;
  entries_ = &entries;
  name_.assign(name);
  if (list_ != nullptr)
    SetWindowSubclass(list_, &VirtualList::ListProc, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
}

void VirtualList::Detach() {
  if (accessible_ != nullptr) {
    accessible_->Disconnect();
    accessible_->Release();
    accessible_ = nullptr;
  }
  if (list_ != nullptr && entries_ != nullptr)
    RemoveWindowSubclass(list_, &VirtualList::ListProc, kSubclassId);
  entries_ = nullptr;
}

LRESULT CALLBACK VirtualList::ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR self) {
  auto* list = reinterpret_cast<VirtualList*>(self);
  if (list == nullptr || hwnd != list->list_) return DefSubclassProc(hwnd, msg, wParam, lParam);
  // Nothing thrown here may unwind into the system's list box code.
  try {
    return list->OnListMessage(msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT VirtualList::OnListMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = list_;
  if (msg == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
    if (accessible_ == nullptr) accessible_ = new ListAccessible(list_, *entries_, name_);
    return LresultFromObject(__uuidof(IAccessible), wParam, accessible_);
  }
  if (msg == WM_NCDESTROY) {
    Detach();
    list_ = nullptr;
    return DefSubclassProc(hwnd, msg, wParam, lParam);
  }
  const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
  if (msg == WM_SETFOCUS && notedSelection_ >= 0) {
    // The system tells of the list taking the focus; readers want the row it is on.
    NotifyWinEvent(EVENT_OBJECT_FOCUS, list_, OBJID_CLIENT,
                   view::ChildOfRow(static_cast<std::size_t>(notedSelection_)));
  } else if (MayMoveSelection(msg)) {
    NoteSelection();
  }
  return result;
}

void VirtualList::NoteSelection() {
  if (list_ == nullptr || restoring_) return;
  const int sel = Selection();
  if (sel == notedSelection_) return;
  notedSelection_ = sel;
  if (sel < 0) return;
  const LONG child = view::ChildOfRow(static_cast<std::size_t>(sel));
  // The focus event only while the list has the focus: a button that moved the row keeps it.
  if (GetFocus() == list_) NotifyWinEvent(EVENT_OBJECT_FOCUS, list_, OBJID_CLIENT, child);
  NotifyWinEvent(EVENT_OBJECT_SELECTION, list_, OBJID_CLIENT, child);
}

void VirtualList::NoteReorder() const {
  if (list_ != nullptr) NotifyWinEvent(EVENT_OBJECT_REORDER, list_, OBJID_CLIENT, CHILDID_SELF);
}

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

void VirtualList::Reset(std::size_t count) {
  if (list_ == nullptr) return;
  // One message for the whole list: the rows are painted from the model on demand.
  SendMessageA(list_, LB_SETCOUNT, count, 0);
  InvalidateRect(list_, nullptr, TRUE);
  NoteReorder();
}

void VirtualList::RowsChanged(std::size_t first, std::size_t last, std::size_t count) {
  if (list_ == nullptr) return;
  const LRESULT had = SendMessageA(list_, LB_GETCOUNT, 0, 0);
  const bool resized = had == LB_ERR || static_cast<std::size_t>(had) != count;
  if (resized) {
    // LB_SETCOUNT forgets the selection and scrolls to the top; put both back.
    const LRESULT sel = SendMessageA(list_, LB_GETCURSEL, 0, 0);
    const LRESULT top = SendMessageA(list_, LB_GETTOPINDEX, 0, 0);
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    restoring_ = true;
    SendMessageA(list_, LB_SETCOUNT, count, 0);
    if (sel != LB_ERR && static_cast<std::size_t>(sel) < count)
      SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(sel), 0);
    restoring_ = false;
    NoteSelection();
    if (top != LB_ERR) SendMessageA(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  }
  NoteReorder();
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
  const std::string_view path =
      dis.itemID == static_cast<UINT>(-1) ? std::string_view{} : view::RowText(entries, dis.itemID);
  ExtTextOutA(dc, dis.rcItem.left + 2, dis.rcItem.top, ETO_OPAQUE | ETO_CLIPPED, &dis.rcItem,
              path.data(), static_cast<UINT>(path.size()), nullptr);
  if ((dis.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &dis.rcItem);
  SelectObject(dc, oldFont);
  SetBkColor(dc, oldBack);
  SetTextColor(dc, oldText);
}

}  // namespace pallomar::win32
