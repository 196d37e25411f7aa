#include "win32/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <utility>

#include "texts.h"

namespace pallomar::win32 {
namespace {

using layout::Command;
using layout::Ctl;
using layout::Kind;

constexpr char kAppClassName[] = "PallomarApplication";

// Which TForm1 handler each command runs.
constexpr std::pair<Command, void (TForm1::*)()> kHandlers[] = {
    {Command::Button1Click, &TForm1::Button1Click},
    {Command::ButtonaddClick, &TForm1::ButtonaddClick},
    {Command::ButtondelClick, &TForm1::ButtondelClick},
    {Command::ButtoneraseClick, &TForm1::ButtoneraseClick},
    {Command::ButtonupClick, &TForm1::ButtonupClick},
    {Command::ButtondownClick, &TForm1::ButtondownClick},
    {Command::ButtoninfoClick, &TForm1::ButtoninfoClick},
    {Command::ListBox1DblClick, &TForm1::ListBox1DblClick},
    {Command::New1Click, &TForm1::New1Click},
    {Command::Open1Click, &TForm1::Open1Click},
    {Command::S1Click, &TForm1::S1Click},
    {Command::Exit1Click, &TForm1::Exit1Click},
    {Command::SearchforHelpOn1Click, &TForm1::SearchforHelpOn1Click},
    {Command::About1Click, &TForm1::About1Click},
};

std::string WindowText(HWND hwnd) {
  if (hwnd == nullptr) return {};
  const int length = GetWindowTextLengthA(hwnd);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(got, 0)));
  return text;
}

void SetText(HWND hwnd, std::string_view text) {
  if (hwnd == nullptr) return;
  const std::string copy(text.substr(0, text.find('\0')));
  SetWindowTextA(hwnd, copy.c_str());
}

bool RegisterOnce(const WNDCLASSEXA& wc) {
  return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

MainWindow::MainWindow(platform::Platform& platform)
    : platform_(platform), form_(std::make_unique<TForm1>(*this, platform, RealFileSystem())) {}

MainWindow::~MainWindow() {
  destroying_ = true;
  if (app_ != nullptr && IsWindow(app_)) DestroyWindow(app_);  // takes Form1 along
  if (hwnd_ != nullptr && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  if (boldFont_ != nullptr) DeleteObject(boldFont_);
  if (font_ != nullptr) DeleteObject(font_);
}

// --- creation ---

bool MainWindow::Create(HINSTANCE instance) {
  const layout::WindowDef& def = layout::Window();
  // The hint window's class lives in the common controls.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  if (icon == nullptr) icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));

  WNDCLASSEXA app{};
  app.cbSize = sizeof(app);
  app.lpfnWndProc = &MainWindow::Proc<&MainWindow::app_, &MainWindow::OnAppMessage>;
  app.hInstance = instance;
  app.hIcon = icon;
  app.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  app.lpszClassName = kAppClassName;
  WNDCLASSEXA form = app;
  form.style = CS_DBLCLKS;
  form.lpfnWndProc = &MainWindow::Proc<&MainWindow::hwnd_, &MainWindow::OnFormMessage>;
  form.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  form.lpszClassName = def.className;
  if (!RegisterOnce(app) || !RegisterOnce(form)) return false;
  if (!CreateFonts()) return false;

  // The taskbar entry belongs to this window: unowned, visible, of no size, captioned with the
  // application title. Form1, owned by it, gets no entry of its own.
  const std::string title = platform_.ApplicationTitle();
  const int cx = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int cy = GetSystemMetrics(SM_CYSCREEN) / 2;
  app_ = CreateWindowExA(0, kAppClassName, title.c_str(),
                         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS, cx,
                         cy, 0, 0, nullptr, nullptr, instance, this);
  if (app_ == nullptr) return false;
  HMENU appMenu = GetSystemMenu(app_, FALSE);
  DeleteMenu(appMenu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(appMenu, SC_SIZE, MF_BYCOMMAND);

  const int width = scale_.Apply(def.outerWidth);
  const int height = scale_.Apply(def.outerHeight);
  hwnd_ =
      CreateWindowExA(WS_EX_CONTROLPARENT, def.className, def.caption,
                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                      CW_USEDEFAULT, CW_USEDEFAULT, width, height, app_, nullptr, instance, this);
  if (hwnd_ == nullptr) return false;
  DeleteMenu(GetSystemMenu(hwnd_, FALSE), SC_MAXIMIZE, MF_BYCOMMAND);
  CreateMenuBar();
  if (!CreateControls()) return false;
  CreateTooltips();
  OnSize();
  ShowWindow(app_, SW_SHOWNOACTIVATE);
  return true;
}

bool MainWindow::CreateFonts() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  LOGFONTA lf{};
  lf.lfHeight = layout::FontHeightFor(dpi);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  lstrcpynA(lf.lfFaceName, text::kFontName, LF_FACESIZE);
  font_ = CreateFontIndirectA(&lf);
  lf.lfWeight = FW_BOLD;
  boldFont_ = CreateFontIndirectA(&lf);
  if (font_ == nullptr || boldFont_ == nullptr || screen == nullptr) {
    if (screen != nullptr) ReleaseDC(nullptr, screen);
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
  itemHeight_ = std::max<int>(1, tm.tmHeight);
  return true;
}

void MainWindow::CreateMenuBar() {
  HMENU bar = CreateMenu();
  const auto items = layout::Menu();
  std::vector<HMENU> popups(items.size(), nullptr);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const layout::MenuItemDef& item = items[i];
    if (item.parent < 0) {
      popups[i] = CreatePopupMenu();
      AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popups[i]), item.caption);
    } else {
      AppendMenuA(popups[static_cast<std::size_t>(item.parent)], MF_STRING,
                  static_cast<UINT_PTR>(kMenuIdBase + static_cast<int>(i)), item.caption);
    }
  }
  SetMenu(hwnd_, bar);
}

bool MainWindow::CreateControls() {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE));
  HDC dc = GetDC(hwnd_);
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
        // Drawn here: the system's etched static leaves its inside unpainted.
        style |= SS_OWNERDRAW;
        break;
    }
    const int id = kControlIdBase + static_cast<int>(c.id);
    HWND child =
        CreateWindowExA(exStyle, cls, caption, style, r.left, r.top, r.width, r.height, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (child == nullptr) {
      ok = false;
      break;
    }
    controls_[static_cast<std::size_t>(c.id)] = child;
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(c.bold ? boldFont_ : font_), FALSE);
    if (c.kind == Kind::CheckBox && c.checked) SendMessageA(child, BM_SETCHECK, BST_CHECKED, 0);

    if (c.kind == Kind::RadioGroup) {
      const auto items = layout::RadioItems();
      for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const layout::Rect ir = layout::RadioItemRect(r, i, itemHeight_);
        DWORD rs = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;
        if (i == 0) rs |= WS_TABSTOP | WS_GROUP;
        HWND radio = CreateWindowExA(
            0, "BUTTON", items[static_cast<std::size_t>(i)], rs, r.left + ir.left, r.top + ir.top,
            ir.width, ir.height, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kRadioIdBase + i)), instance, nullptr);
        if (radio == nullptr) {
          ok = false;
          break;
        }
        radios_[static_cast<std::size_t>(i)] = radio;
        SendMessageA(radio, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      }
      if (!ok) break;
      SendMessageA(radios_[layout::kRadioSelected], BM_SETCHECK, BST_CHECKED, 0);
    }
  }
  SelectObject(dc, oldFont);
  ReleaseDC(hwnd_, dc);
  extent_ = layout::ControlsExtent(scale_);
  return ok;
}

void MainWindow::CreateTooltips() {
  tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, nullptr, nullptr);
  if (tooltip_ == nullptr) return;
  for (const layout::ControlDef& c : layout::Controls()) {
    if (c.hint == nullptr) continue;
    TTTOOLINFOA ti{};
    // The smallest record every common-controls version accepts.
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(Control(c.id));
    ti.lpszText = const_cast<char*>(c.hint);
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
  SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(500, 0));
  SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(2500, 0));
  SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
}

void MainWindow::Show(int showCommand) {
  if (hwnd_ == nullptr) return;
  switch (showCommand) {
    case SW_SHOWMAXIMIZED:
      ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
      break;
    case SW_SHOWMINNOACTIVE:
      // Only this command starts the application minimised; any other just shows the window.
      // Form1 is shown once (so FormShow runs), then the application goes to the taskbar.
      ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
      ShowWindow(hwnd_, SW_HIDE);
      ShowWindow(app_, SW_SHOWMINNOACTIVE);
      break;
    default:
      ShowWindow(hwnd_, SW_SHOWNORMAL);
      break;
  }
  UpdateWindow(hwnd_);
}

// --- FormView ---

std::string MainWindow::Caption() const { return WindowText(hwnd_); }
void MainWindow::SetCaption(std::string_view caption) { SetText(hwnd_, caption); }

HWND MainWindow::EditHandle(EditId edit) const {
  switch (edit) {
    case EditId::Edit1:
      return Control(Ctl::Edit1);
    case EditId::Edit2:
      return Control(Ctl::Edit2);
    case EditId::Edit3:
      return Control(Ctl::Edit3);
  }
  return nullptr;
}

std::string MainWindow::EditText(EditId edit) const { return WindowText(EditHandle(edit)); }
void MainWindow::SetEditText(EditId edit, std::string_view text) {
  SetText(EditHandle(edit), text);
}

int MainWindow::RadioIndex() const {
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i) {
    HWND radio = radios_[static_cast<std::size_t>(i)];
    if (radio != nullptr && SendMessageA(radio, BM_GETCHECK, 0, 0) == BST_CHECKED) return i;
  }
  return -1;
}

void MainWindow::SetRadioIndex(int index) {
  index = std::clamp(index, -1, static_cast<int>(radios_.size()) - 1);
  for (int i = 0; i < static_cast<int>(radios_.size()); ++i) {
    HWND radio = radios_[static_cast<std::size_t>(i)];
    if (radio != nullptr)
      SendMessageA(radio, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

bool MainWindow::CheckBoxChecked() const {
  HWND box = Control(Ctl::CheckBox1);
  return box != nullptr && SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SetCheckBoxChecked(bool checked) {
  HWND box = Control(Ctl::CheckBox1);
  if (box != nullptr) SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int MainWindow::ListSelection() const {
  HWND list = Control(Ctl::ListBox1);
  if (list == nullptr) return -1;
  const LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
  return sel == LB_ERR ? -1 : static_cast<int>(sel);
}

void MainWindow::SetListSelection(int index) {
  HWND list = Control(Ctl::ListBox1);
  if (list != nullptr) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void MainWindow::ListReset(std::size_t count) {
  HWND list = Control(Ctl::ListBox1);
  if (list == nullptr) return;
  // One message for the whole list: the rows are painted from the model on demand.
  SendMessageA(list, LB_SETCOUNT, count, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void MainWindow::ListRowsChanged(std::size_t first, std::size_t last, std::size_t count) {
  HWND list = Control(Ctl::ListBox1);
  if (list == nullptr) return;
  const LRESULT had = SendMessageA(list, LB_GETCOUNT, 0, 0);
  const bool resized = had == LB_ERR || static_cast<std::size_t>(had) != count;
  if (resized) {
    // LB_SETCOUNT forgets the selection and scrolls to the top; put both back.
    const LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
    const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_SETCOUNT, count, 0);
    if (sel != LB_ERR && static_cast<std::size_t>(sel) < count)
      SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(sel), 0);
    if (top != LB_ERR) SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  }
  RECT client{};
  GetClientRect(list, &client);
  const LRESULT topRow = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
  if (topRow == LB_ERR) {
    InvalidateRect(list, nullptr, TRUE);
    return;
  }
  // Only the rows on screen that changed; when rows came or went, everything below the first
  // changed row shifted too.
  const std::size_t visible = static_cast<std::size_t>(client.bottom / itemHeight_) + 1;
  const std::size_t firstShown = static_cast<std::size_t>(topRow);
  const std::size_t lastShown = firstShown + visible;
  const std::size_t from = std::max(first, firstShown);
  const std::size_t to = resized ? lastShown : std::min(last, lastShown);
  if (resized && first <= firstShown) {
    InvalidateRect(list, nullptr, TRUE);
    return;
  }
  if (from > to) return;
  RECT area = client;
  area.top = static_cast<LONG>((from - firstShown) * static_cast<std::size_t>(itemHeight_));
  area.bottom = static_cast<LONG>((to - firstShown + 1) * static_cast<std::size_t>(itemHeight_));
  area.bottom = std::min(area.bottom, client.bottom);
  if (area.top < area.bottom) InvalidateRect(list, &area, TRUE);
}

ScreenPoint MainWindow::WindowTopLeft() const {
  RECT r{};
  if (hwnd_ != nullptr) GetWindowRect(hwnd_, &r);
  return {r.left, r.top};
}

void MainWindow::CloseWindow() {
  // After the handler has returned, the same road as the close box.
  if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

// --- dispatch ---

void MainWindow::ShowError(const char* message) noexcept {
  try {
    platform_.ShowErrorBox(message);
  } catch (...) {
    // Nothing is left to report with.
  }
}

void MainWindow::Run(void (TForm1::*handler)()) {
  try {
    (form_.get()->*handler)();
  } catch (const std::exception& e) {
    ShowError(e.what());
  } catch (...) {
    ShowError(text::kUnexpectedError);
  }
}

void MainWindow::Run(Command command) {
  for (const auto& [cmd, handler] : kHandlers) {
    if (cmd == command) {
      Run(handler);
      return;
    }
  }
}

void MainWindow::RunFormClose() {
  if (closed_) return;
  closed_ = true;
  Run(&TForm1::FormClose);
}

// Both window classes attach this object to their window and only dispatch to it. A handler
// reports its own errors; the catch only keeps an exception out of the system.
template <HWND MainWindow::*Slot, LRESULT (MainWindow::*On)(UINT, WPARAM, LPARAM)>
LRESULT CALLBACK MainWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->*Slot = hwnd;
  }
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  try {
    result = (self->*On)(msg, wParam, lParam);
  } catch (...) {
    result = 0;
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->*Slot = nullptr;
  }
  return result;
}

LRESULT MainWindow::OnFormMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_MEASUREITEM:
      MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_DROPFILES:
      form_->WMDropFiles(reinterpret_cast<platform::DropHandle>(wParam));
      return 0;
    case WM_SHOWWINDOW:
      if (wParam != FALSE) QueueFormShow();
      break;
    case WM_WINDOWPOSCHANGED:
      // Showing maximised sends no WM_SHOWWINDOW on every system.
      if ((reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) != 0)
        QueueFormShow();
      break;
    case kMsgFormShow:
      Run(&TForm1::FormShow);
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MAXIMIZE:
          return 0;  // maximising is not offered to the user
        case SC_MINIMIZE:
          Minimize();
          return 0;
        default:
          break;
      }
      break;
    case WM_SIZE:
      OnSize();
      break;
    case WM_HSCROLL:
      OnScroll(SB_HORZ, LOWORD(wParam));
      return 0;
    case WM_VSCROLL:
      OnScroll(SB_VERT, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL: {
      const int lines = GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN;
      OnScroll(SB_VERT, lines);
      return 0;
    }
    case WM_CLOSE:
      RunFormClose();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      RunFormClose();
      if (!destroying_) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void MainWindow::QueueFormShow() {
  // FormShow runs once, from the loop, when the window is already on the screen.
  if (shown_) return;
  shown_ = true;
  PostMessageA(hwnd_, kMsgFormShow, 0, 0);
}

void MainWindow::OnCommand(int id, int code, HWND from) {
  if (from == nullptr) {
    // Menu items (code 0); IDOK and IDCANCEL from Enter and Esc run nothing.
    const int index = id - kMenuIdBase;
    const auto items = layout::Menu();
    if (code == 0 && index >= 0 && index < static_cast<int>(items.size()))
      Run(items[static_cast<std::size_t>(index)].command);
    return;
  }
  const int index = id - kControlIdBase;
  if (index < 0 || index >= layout::kControlCount) return;
  const layout::ControlDef& def = layout::Controls()[static_cast<std::size_t>(index)];
  if (def.kind == Kind::Button && code == BN_CLICKED) Run(def.click);
  if (def.kind == Kind::ListBox && code == LBN_DBLCLK) Run(def.click);
}

void MainWindow::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
    return;
  }
  // First activation: the first control in tab order; later: where the focus was.
  HWND target = lastFocus_ != nullptr && IsWindow(lastFocus_) ? lastFocus_ : Control(Ctl::Edit1);
  if (target != nullptr && !IsIconic(hwnd_)) SetFocus(target);
}

// --- scrolling ---

void MainWindow::OnSize() {
  if (hwnd_ == nullptr || sizing_ || IsIconic(hwnd_)) return;
  sizing_ = true;
  // Showing or hiding one bar changes the client area, so settle it in a couple of passes.
  for (int pass = 0; pass < 3; ++pass) {
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    SCROLLINFO h{
        sizeof(h), SIF_RANGE | SIF_PAGE, 0, extent_.right - 1, static_cast<UINT>(rc.right), 0, 0};
    SCROLLINFO v{
        sizeof(v), SIF_RANGE | SIF_PAGE, 0, extent_.bottom - 1, static_cast<UINT>(rc.bottom), 0, 0};
    SetScrollInfo(hwnd_, SB_HORZ, &h, TRUE);
    SetScrollInfo(hwnd_, SB_VERT, &v, TRUE);
    RECT after{};
    GetClientRect(hwnd_, &after);
    if (after.right == rc.right && after.bottom == rc.bottom) break;
  }
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  const int maxX = std::max(0, extent_.right - static_cast<int>(rc.right));
  const int maxY = std::max(0, extent_.bottom - static_cast<int>(rc.bottom));
  ScrollTo(std::min(scrollX_, maxX), std::min(scrollY_, maxY));
  PlaceBevel();
  sizing_ = false;
}

void MainWindow::OnScroll(int bar, int request) {
  SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(hwnd_, bar, &si)) return;
  const int line = scale_.Apply(8);
  const int page = std::max<int>(1, static_cast<int>(si.nPage));
  int pos = si.nPos;
  switch (request) {
    case SB_LINEUP:
      pos -= line;
      break;
    case SB_LINEDOWN:
      pos += line;
      break;
    case SB_PAGEUP:
      pos -= page;
      break;
    case SB_PAGEDOWN:
      pos += page;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      pos = si.nTrackPos;
      break;
    case SB_TOP:
      pos = si.nMin;
      break;
    case SB_BOTTOM:
      pos = si.nMax;
      break;
    default:
      return;
  }
  pos = std::clamp(pos, 0, std::max(0, si.nMax - page + 1));
  if (bar == SB_HORZ)
    ScrollTo(pos, scrollY_);
  else
    ScrollTo(scrollX_, pos);
}

void MainWindow::ScrollTo(int x, int y) {
  x = std::max(0, x);
  y = std::max(0, y);
  const int dx = scrollX_ - x;
  const int dy = scrollY_ - y;
  scrollX_ = x;
  scrollY_ = y;
  SetScrollPos(hwnd_, SB_HORZ, x, TRUE);
  SetScrollPos(hwnd_, SB_VERT, y, TRUE);
  if (dx != 0 || dy != 0) {
    ScrollWindowEx(hwnd_, dx, dy, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    PlaceBevel();
  }
}

void MainWindow::PlaceBevel() {
  HWND bevel = Control(Ctl::Bevel1);
  if (bevel == nullptr) return;
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  const layout::Rect r = scale_.Apply(layout::Def(Ctl::Bevel1).rect);
  // Aligned to the top: it scrolls up with the controls but always spans the client width.
  SetWindowPos(bevel, nullptr, 0, r.top - scrollY_, rc.right, r.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- the virtual list ---

void MainWindow::MeasureItem(MEASUREITEMSTRUCT& mis) const { mis.itemHeight = itemHeight_; }

void MainWindow::DrawItem(const DRAWITEMSTRUCT& dis) const {
  HDC dc = dis.hDC;
  if (dis.hwndItem == Control(Ctl::Bevel1)) {
    // One lowered line along the top edge.
    RECT rc = dis.rcItem;
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &rc, EDGE_ETCHED, BF_TOP);
    return;
  }
  if (dis.hwndItem != Control(Ctl::ListBox1)) return;
  const bool selected = (dis.itemState & ODS_SELECTED) != 0;
  if (dis.itemAction == ODA_FOCUS) {
    DrawFocusRect(dc, &dis.rcItem);
    return;
  }
  const COLORREF oldText =
      SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const COLORREF oldBack = SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, font_);
  std::string_view path;
  const EntryList& list = form_->Model().list;
  if (dis.itemID != static_cast<UINT>(-1) && dis.itemID < list.Count())
    path = list.Get(dis.itemID, kPath);
  ExtTextOutA(dc, dis.rcItem.left + 2, dis.rcItem.top, ETO_OPAQUE | ETO_CLIPPED, &dis.rcItem,
              path.data(), static_cast<UINT>(path.size()), nullptr);
  if ((dis.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &dis.rcItem);
  SelectObject(dc, oldFont);
  SetBkColor(dc, oldBack);
  SetTextColor(dc, oldText);
}

// --- the application window and minimising ---

void MainWindow::Minimize() {
  // Form1 leaves the screen and the application's taskbar entry shows it minimised.
  ShowWindow(hwnd_, SW_HIDE);
  ShowWindow(app_, SW_MINIMIZE);
}

void MainWindow::Restore() {
  if (hwnd_ == nullptr) return;
  ShowWindow(hwnd_, SW_SHOW);
  PostMessageA(app_, kMsgActivateForm, 0, 0);
}

LRESULT MainWindow::OnAppMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MAXIMIZE:
        case SC_SIZE:
          return 0;
        case SC_CLOSE:
          if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
          return 0;
        case SC_RESTORE: {
          const LRESULT r = DefWindowProcA(app_, msg, wParam, lParam);
          Restore();
          return r;
        }
        default:
          break;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(app_, kMsgActivateForm, 0, 0);
      return 0;
    case kMsgActivateForm: {
      // Whatever the taskbar entry activated goes on to Form1 or the box it has open.
      if (hwnd_ == nullptr || !IsWindowVisible(hwnd_) || IsIconic(app_)) return 0;
      HWND target = GetLastActivePopup(hwnd_);
      if (target == nullptr || !IsWindowEnabled(target)) target = hwnd_;
      if (IsWindowEnabled(target)) SetActiveWindow(target);
      return 0;
    }
    case WM_CLOSE:
      if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(app_, msg, wParam, lParam);
}

int RunMessageLoop(HWND form) {
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    if (form != nullptr && IsWindow(form) && IsDialogMessageA(form, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace pallomar::win32
