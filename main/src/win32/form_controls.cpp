#include "win32/form_controls.h"

#include <commctrl.h>

#include <algorithm>

namespace pallomar::win32 {
namespace {

using layout::Kind;

HMENU AsId(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

void SetFont(HWND control, HFONT font) {
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

}  // namespace

FormControls::~FormControls() {
  if (boldFont_ != nullptr) DeleteObject(boldFont_);
  if (font_ != nullptr) DeleteObject(font_);
}

bool FormControls::CreateFonts() {
  const layout::WindowDef& def = layout::Window();
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  LOGFONTA lf{};
  lf.lfHeight = layout::FontHeightFor(GetDeviceCaps(screen, LOGPIXELSY));
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  lstrcpynA(lf.lfFaceName, def.fontName, LF_FACESIZE);
  font_ = CreateFontIndirectA(&lf);
  lf.lfWeight = FW_BOLD;
  boldFont_ = CreateFontIndirectA(&lf);
  if (font_ == nullptr || boldFont_ == nullptr) {
    ReleaseDC(nullptr, screen);
    return false;
  }
  HGDIOBJ old = SelectObject(screen, font_);
  SIZE zero{};
  GetTextExtentPoint32A(screen, "0", 1, &zero);
  TEXTMETRICA tm{};
  GetTextMetricsA(screen, &tm);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  scale_ = layout::ScaleFor(zero.cy);
  lineHeight_ = std::max<int>(1, tm.tmHeight);
  return true;
}

bool FormControls::Create(HWND form) {
  CreateMenuBar(form);
  if (!CreateControls(form)) return false;
  CreateTooltips(form);
  return true;
}

void FormControls::CreateMenuBar(HWND form) {
  HMENU bar = CreateMenu();
  for (const layout::MenuDef& menu : layout::Menu()) {
    HMENU popup = CreatePopupMenu();
    for (const layout::MenuItemDef& item : menu.items)
      AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(item.command), item.caption);
    AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), menu.caption);
  }
  SetMenu(form, bar);
}

bool FormControls::CreateControls(HWND form) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(form, GWLP_HINSTANCE));
  HDC dc = GetDC(form);
  HGDIOBJ oldFont = SelectObject(dc, font_);
  bool ok = true;
  for (const layout::ControlDef& c : layout::Controls()) {
    layout::Rect r = scale_.Apply(c.rect);
    const char* cls = "STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    // Each tab stop opens its own group, so the arrow keys stay inside RadioGroup1's items.
    if (c.tabStop) style |= WS_TABSTOP | WS_GROUP;
    const char* caption = c.caption != nullptr ? c.caption : "";
    switch (c.kind) {
      case Kind::Edit:
        cls = "EDIT";
        style |= ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::Button:
        cls = "BUTTON";
        style |= BS_PUSHBUTTON;
        break;
      case Kind::CheckBox:
        cls = "BUTTON";
        style |= BS_AUTOCHECKBOX;
        break;
      case Kind::ListBox:
        cls = "LISTBOX";
        style |= LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::RadioGroup:
        // The frame takes no focus; its first item is the tab stop.
        cls = "BUTTON";
        style = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
        break;
      case Kind::Label: {
        style |= SS_LEFT | SS_NOPREFIX;
        SIZE size{};
        GetTextExtentPoint32A(dc, caption, lstrlenA(caption), &size);
        r.width = size.cx;
        r.height = size.cy;
        break;
      }
      case Kind::Bevel:
        // Drawn by the form: the system's etched static leaves its inside unpainted.
        style |= SS_OWNERDRAW;
        break;
    }
    HWND child = CreateWindowExA(exStyle, cls, caption, style, r.left, r.top, r.width, r.height,
                                 form, AsId(layout::ControlId(c.id)), instance, nullptr);
    if (child == nullptr) {
      ok = false;
      break;
    }
    controls_[static_cast<std::size_t>(c.id)] = child;
    SetFont(child, c.bold ? boldFont_ : font_);
    if (c.kind == Kind::CheckBox && c.checked) SendMessageA(child, BM_SETCHECK, BST_CHECKED, 0);
    if (c.kind == Kind::RadioGroup && !CreateRadioItems(form, instance, r)) {
      ok = false;
      break;
    }
  }
  SelectObject(dc, oldFont);
  ReleaseDC(form, dc);
  return ok;
}

bool FormControls::CreateRadioItems(HWND form, HINSTANCE instance, const layout::Rect& group) {
  const auto items = layout::RadioItems();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const int index = static_cast<int>(i);
    const layout::Rect ir = layout::RadioItemRect(group, index, lineHeight_);
    DWORD style = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;
    if (i == 0) style |= WS_TABSTOP | WS_GROUP;
    HWND radio = CreateWindowExA(0, "BUTTON", items[i], style, group.left + ir.left,
                                 group.top + ir.top, ir.width, ir.height, form,
                                 AsId(layout::kRadioIdBase + index), instance, nullptr);
    if (radio == nullptr) return false;
    radios_[i] = radio;
    SetFont(radio, font_);
  }
  SendMessageA(radios_[layout::kRadioSelected], BM_SETCHECK, BST_CHECKED, 0);
  return true;
}

void FormControls::CreateTooltips(HWND form) {
  tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, form, nullptr, nullptr, nullptr);
  if (tooltip_ == nullptr) return;
  for (const layout::ControlDef& c : layout::Controls()) {
    if (c.hint == nullptr) continue;
    TTTOOLINFOA ti{};
    // The smallest record every common-controls version accepts.
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = form;
    ti.uId = reinterpret_cast<UINT_PTR>(Control(c.id));
    ti.lpszText = const_cast<char*>(c.hint);
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
  SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(500, 0));
  SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(2500, 0));
  SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
}

}  // namespace pallomar::win32
