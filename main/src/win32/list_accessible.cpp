#include "win32/list_accessible.h"

#include "texts.h"

namespace pallomar::win32 {
namespace {

// An ANSI text as a new BSTR; nullptr when there is no memory for it.
BSTR AnsiToBstr(std::string_view text) {
  const int length = static_cast<int>(text.size());
  if (length == 0) return SysAllocStringLen(L"", 0);
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
  if (out != nullptr) MultiByteToWideChar(CP_ACP, 0, text.data(), length, out, wide);
  return out;
}

void SetChild(VARIANT* v, long child) {
  v->vt = VT_I4;
  v->lVal = child;
}

void SetEmpty(VARIANT* v) { v->vt = VT_EMPTY; }

}  // namespace

ListAccessible::ListAccessible(HWND list, const EntryList& entries, std::string_view name)
    : list_(list), entries_(&entries), name_(name) {}

void ListAccessible::Disconnect() {
  list_ = nullptr;
  entries_ = nullptr;
}

// --- IUnknown ---

HRESULT ListAccessible::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ListAccessible::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG ListAccessible::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// --- IDispatch ---

HRESULT ListAccessible::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ListAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT ListAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT ListAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                               UINT*) {
  return E_NOTIMPL;
}

// --- reading the list ---

view::ListShown ListAccessible::Shown() const {
  view::ListShown s;
  const LRESULT count = SendMessageA(list_, LB_GETCOUNT, 0, 0);
  const LRESULT top = SendMessageA(list_, LB_GETTOPINDEX, 0, 0);
  const LRESULT height = SendMessageA(list_, LB_GETITEMHEIGHT, 0, 0);
  const LRESULT sel = SendMessageA(list_, LB_GETCURSEL, 0, 0);
  s.count = count > 0 ? static_cast<std::size_t>(count) : 0;
  s.topRow = top > 0 ? static_cast<std::size_t>(top) : 0;
  s.itemHeight = height > 0 ? static_cast<int>(height) : 0;
  if (sel >= 0 && static_cast<std::size_t>(sel) < s.count)
    s.selection = static_cast<std::size_t>(sel);
  RECT client{};
  GetClientRect(list_, &client);
  s.clientWidth = client.right;
  s.clientHeight = client.bottom;
  s.focused = GetFocus() == list_;
  return s;
}

HRESULT ListAccessible::Resolve(const VARIANT& child, std::optional<std::size_t>& row) const {
  if (list_ == nullptr || !IsWindow(list_)) return RPC_E_DISCONNECTED;
  if (child.vt != VT_I4) return E_INVALIDARG;
  row.reset();
  if (child.lVal == view::kSelf) return S_OK;
  const LRESULT count = SendMessageA(list_, LB_GETCOUNT, 0, 0);
  row = view::RowOfChild(child.lVal, count > 0 ? static_cast<std::size_t>(count) : 0);
  return row ? S_OK : E_INVALIDARG;
}

void ListAccessible::SelectRow(std::size_t row) const {
  SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  // The notice a click sends the form, so that the form hears of it the same way.
  const int id = GetDlgCtrlID(list_);
  SendMessageA(GetParent(list_), WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list_));
}

// --- IAccessible ---

HRESULT ListAccessible::get_accParent(IDispatch** parent) {
  if (parent == nullptr) return E_POINTER;
  *parent = nullptr;
  if (list_ == nullptr || !IsWindow(list_)) return RPC_E_DISCONNECTED;
  return AccessibleObjectFromWindow(list_, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch),
                                    reinterpret_cast<void**>(parent));
}

HRESULT ListAccessible::get_accChildCount(long* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  if (list_ == nullptr || !IsWindow(list_)) return RPC_E_DISCONNECTED;
  const LRESULT n = SendMessageA(list_, LB_GETCOUNT, 0, 0);
  *count = n > 0 ? static_cast<long>(n) : 0;
  return S_OK;
}

HRESULT ListAccessible::get_accChild(VARIANT child, IDispatch** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  // Rows are simple elements, not objects of their own.
  return row ? S_FALSE : E_INVALIDARG;
}

HRESULT ListAccessible::get_accName(VARIANT child, BSTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = nullptr;
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  *name = AnsiToBstr(row ? view::RowText(*entries_, *row) : std::string_view(name_));
  return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ListAccessible::get_accValue(VARIANT child, BSTR* value) {
  if (value == nullptr) return E_POINTER;
  *value = nullptr;
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT ListAccessible::get_accDescription(VARIANT child, BSTR* description) {
  return get_accValue(child, description);
}

HRESULT ListAccessible::get_accRole(VARIANT child, VARIANT* role) {
  if (role == nullptr) return E_POINTER;
  SetEmpty(role);
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  SetChild(role, row ? ROLE_SYSTEM_LISTITEM : ROLE_SYSTEM_LIST);
  return S_OK;
}

HRESULT ListAccessible::get_accState(VARIANT child, VARIANT* state) {
  if (state == nullptr) return E_POINTER;
  SetEmpty(state);
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  const view::ListShown shown = Shown();
  long bits = STATE_SYSTEM_FOCUSABLE;
  if (!IsWindowVisible(list_)) bits |= STATE_SYSTEM_INVISIBLE;
  if (!row) {
    if (shown.focused) bits |= STATE_SYSTEM_FOCUSED;
  } else {
    const view::RowState s = view::StateOfRow(shown, *row);
    bits |= STATE_SYSTEM_SELECTABLE;
    if (s.selected) bits |= STATE_SYSTEM_SELECTED;
    if (s.focused) bits |= STATE_SYSTEM_FOCUSED;
    if (s.offscreen) bits |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
  }
  SetChild(state, bits);
  return S_OK;
}

HRESULT ListAccessible::get_accHelp(VARIANT child, BSTR* help) { return get_accValue(child, help); }

HRESULT ListAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
  if (file != nullptr) *file = nullptr;
  if (topic != nullptr) *topic = 0;
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT ListAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
  return get_accValue(child, shortcut);
}

HRESULT ListAccessible::get_accFocus(VARIANT* child) {
  if (child == nullptr) return E_POINTER;
  SetEmpty(child);
  if (list_ == nullptr || !IsWindow(list_)) return RPC_E_DISCONNECTED;
  const std::optional<long> focus = view::FocusChild(Shown());
  if (!focus) return S_FALSE;
  SetChild(child, *focus);
  return S_OK;
}

HRESULT ListAccessible::get_accSelection(VARIANT* children) {
  if (children == nullptr) return E_POINTER;
  SetEmpty(children);
  if (list_ == nullptr || !IsWindow(list_)) return RPC_E_DISCONNECTED;
  const view::ListShown shown = Shown();
  if (!shown.selection) return S_FALSE;
  SetChild(children, view::ChildOfRow(*shown.selection));
  return S_OK;
}

HRESULT ListAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
  if (action == nullptr) return E_POINTER;
  *action = nullptr;
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  *action = AnsiToBstr(text::kListDefaultAction);
  return *action != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ListAccessible::accSelect(long flags, VARIANT child) {
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  // One row at most is ever selected.
  constexpr long kSingle = SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION | SELFLAG_REMOVESELECTION;
  if ((flags & ~kSingle) != 0 || flags == SELFLAG_NONE) return E_INVALIDARG;
  if ((flags & SELFLAG_TAKESELECTION) != 0 && (flags & SELFLAG_REMOVESELECTION) != 0)
    return E_INVALIDARG;
  if (!row && (flags & ~SELFLAG_TAKEFOCUS) != 0) return E_INVALIDARG;
  if ((flags & SELFLAG_TAKEFOCUS) != 0) SetFocus(list_);
  if ((flags & SELFLAG_TAKESELECTION) != 0) SelectRow(*row);
  if ((flags & SELFLAG_REMOVESELECTION) != 0 && Shown().selection == row)
    SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  return S_OK;
}

HRESULT ListAccessible::accLocation(long* left, long* top, long* width, long* height,
                                    VARIANT child) {
  if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
  *left = *top = *width = *height = 0;
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  RECT r{};
  if (!row) {
    GetWindowRect(list_, &r);
  } else {
    const layout::Rect box = view::RowRect(Shown(), *row);
    POINT origin{0, 0};
    ClientToScreen(list_, &origin);
    r = {origin.x + box.left, origin.y + box.top, origin.x + box.Right(), origin.y + box.Bottom()};
  }
  *left = r.left;
  *top = r.top;
  *width = r.right - r.left;
  *height = r.bottom - r.top;
  return S_OK;
}

HRESULT ListAccessible::accNavigate(long, VARIANT start, VARIANT* end) {
  if (end != nullptr) SetEmpty(end);
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(start, row); FAILED(hr)) return hr;
  return E_NOTIMPL;
}

HRESULT ListAccessible::accHitTest(long x, long y, VARIANT* child) {
  if (child == nullptr) return E_POINTER;
  SetEmpty(child);
  if (list_ == nullptr || !IsWindow(list_)) return RPC_E_DISCONNECTED;
  RECT window{};
  GetWindowRect(list_, &window);
  const POINT screen{x, y};
  if (!PtInRect(&window, screen)) return S_FALSE;
  POINT p = screen;
  ScreenToClient(list_, &p);
  // The frame and the scroll bar belong to the list itself.
  SetChild(child, view::ChildAt(Shown(), p.x, p.y).value_or(view::kSelf));
  return S_OK;
}

HRESULT ListAccessible::accDoDefaultAction(VARIANT child) {
  std::optional<std::size_t> row;
  if (const HRESULT hr = Resolve(child, row); FAILED(hr)) return hr;
  // A double-click on a row selects it with its first click.
  if (row) SelectRow(*row);
  // Posted: the details box is modal, and the caller must not wait until it is closed.
  const int id = GetDlgCtrlID(list_);
  if (!PostMessageA(GetParent(list_), WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK),
                    reinterpret_cast<LPARAM>(list_)))
    return HRESULT_FROM_WIN32(GetLastError());
  return S_OK;
}

HRESULT ListAccessible::put_accName(VARIANT, BSTR) {
  return list_ == nullptr ? RPC_E_DISCONNECTED : E_NOTIMPL;
}

HRESULT ListAccessible::put_accValue(VARIANT, BSTR) {
  return list_ == nullptr ? RPC_E_DISCONNECTED : E_NOTIMPL;
}

}  // namespace pallomar::win32
