#include "win32/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "win32/window_proc.h"

namespace pallomar::win32 {
namespace {

using layout::Command;
using layout::Ctl;
using layout::Kind;

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

// The design size suits the classic frame. A thicker one (padded borders, a taller caption)
// would leave a smaller client area and open the window with its controls cut off: grow it
// until the client area is the design's. SWP_NOMOVE keeps the position the system chose.
void FitToFrame(HWND hwnd, const layout::Scale& scale) {
  RECT frame{};
  if (!AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)),
                          GetMenu(hwnd) != nullptr,
                          static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE))))
    return;
  const layout::Size size =
      layout::OpeningSize(scale, {frame.right - frame.left, frame.bottom - frame.top});
  SetWindowPos(hwnd, nullptr, 0, 0, size.width, size.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

MainWindow::MainWindow(platform::Platform& platform)
    : platform_(platform), form_(std::make_unique<TForm1>(*this, platform, RealFileSystem())) {}

MainWindow::~MainWindow() {
  destroying_ = true;
  if (app_.Handle() != nullptr) DestroyWindow(app_.Handle());  // takes Form1 along
  if (hwnd_ != nullptr && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

bool MainWindow::Create(HINSTANCE instance) {
  const layout::WindowDef& def = layout::Window();
  // The window's controls (and the hint window's class) are the common controls' own, so the
  // window that makes them registers them.
  INITCOMMONCONTROLSEX common{sizeof(common), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&common);
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  if (icon == nullptr) icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &ObjectWindowProc<MainWindow>;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = def.className;
  if (!RegisterOnce(wc) || !controls_.CreateFonts()) return false;
  list_.SetMetrics(controls_.Font(), controls_.LineHeight());
  if (!app_.Create(instance, icon, platform_.ApplicationTitle())) return false;

  // Owned by the taskbar window, Form1 gets no taskbar entry of its own.
  const layout::Scale& scale = controls_.Scale();
  CreateWindowExA(WS_EX_CONTROLPARENT, def.className, def.caption,
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                  CW_USEDEFAULT, CW_USEDEFAULT, scale.Apply(def.outerWidth),
                  scale.Apply(def.outerHeight), app_.Handle(), nullptr, instance, this);
  if (hwnd_ == nullptr) return false;
  app_.SetForm(hwnd_);
  DeleteMenu(GetSystemMenu(hwnd_, FALSE), SC_MAXIMIZE, MF_BYCOMMAND);
  if (!controls_.Create(hwnd_)) return false;
  FitToFrame(hwnd_, scale);  // once the menu bar is there
  list_.Attach(Control(Ctl::ListBox1), form_->Model().list, layout::Def(Ctl::Label1).caption);
  panel_.Attach(hwnd_, Control(Ctl::Bevel1), scale, layout::ControlsExtent(scale));
  panel_.OnSize();
  return true;
}

void MainWindow::Show(int showCommand) {
  if (hwnd_ == nullptr) return;
  // The show handler's work comes before the window first appears: its boxes come up while
  // the window is still hidden, and the command line's list is there when it shows.
  if (!shown_) {
    shown_ = true;
    Run(&TForm1::FormShow);
  }
  if (hwnd_ == nullptr) return;
  switch (showCommand) {
    case SW_SHOWMAXIMIZED:
      ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
      break;
    case SW_SHOWMINNOACTIVE:
      // Only this command starts the application minimised; any other just shows the window.
      app_.StartMinimized();
      return;
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
  for (int i = 0; i < layout::kRadioColumns; ++i) {
    HWND radio = RadioButton(i);
    if (radio != nullptr && SendMessageA(radio, BM_GETCHECK, 0, 0) == BST_CHECKED) return i;
  }
  return -1;
}

void MainWindow::SetRadioIndex(int index) {
  index = std::clamp(index, -1, layout::kRadioColumns - 1);
  for (int i = 0; i < layout::kRadioColumns; ++i) {
    HWND radio = RadioButton(i);
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

ScreenPoint MainWindow::WindowTopLeft() const {
  RECT r{};
  if (hwnd_ != nullptr) GetWindowRect(hwnd_, &r);
  return {r.left, r.top};
}

void MainWindow::CloseWindow() {
  // After the handler has returned, the same road as the close box.
  if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

// --- messages ---

void MainWindow::Run(Command command) {
  for (const auto& [cmd, handler] : kHandlers) {
    if (cmd == command) {
      Run(handler);
      return;
    }
  }
}

bool MainWindow::RouteUndoKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || hwnd_ == nullptr) return false;
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
  char cls[16] = {};
  GetClassNameA(msg.hwnd, cls, sizeof cls);
  const UndoKey key =
      UndoKeyFor(static_cast<unsigned>(msg.wParam), GetKeyState(VK_CONTROL) < 0,
                 GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_MENU) < 0, lstrcmpiA(cls, "Edit") == 0);
  switch (key) {
    case UndoKey::None:
      return false;
    case UndoKey::Undo:
      Run(&TForm1::UndoKeyPress);
      return true;
    case UndoKey::Redo:
      Run(&TForm1::RedoKeyPress);
      return true;
  }
  return false;
}

void MainWindow::Route(MSG& msg) {
  if (RouteUndoKey(msg)) return;
  if (hwnd_ != nullptr && IsWindow(hwnd_) && IsDialogMessageA(hwnd_, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void MainWindow::RunFormClose() {
  if (closed_) return;
  closed_ = true;
  Run(&TForm1::FormClose);
}

LRESULT MainWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_MEASUREITEM:
      list_.Measure(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_DROPFILES:
      Run(&TForm1::WMDropFiles, reinterpret_cast<platform::DropHandle>(wParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MAXIMIZE:
          return 0;  // maximising is not offered to the user
        case SC_MINIMIZE:
          app_.Minimize();
          return 0;
        default:
          break;
      }
      break;
    case WM_SIZE:
      panel_.OnSize();
      break;
    case WM_HSCROLL:
      panel_.OnScroll(SB_HORZ, LOWORD(wParam));
      return 0;
    case WM_VSCROLL:
      panel_.OnScroll(SB_VERT, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      panel_.OnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
      return 0;
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

void MainWindow::OnCommand(int id, int code, HWND from) {
  if (from == nullptr) {
    // Menu items send code 0; IDOK and IDCANCEL from Enter and Esc are no menu item's id.
    if (code != 0) return;
    if (const std::optional<Command> command = layout::MenuCommand(id)) Run(*command);
    return;
  }
  const std::optional<Ctl> control = layout::ControlForId(id);
  if (!control) return;
  const layout::ControlDef& def = layout::Def(*control);
  if ((def.kind == Kind::Button && code == BN_CLICKED) ||
      (def.kind == Kind::ListBox && code == LBN_DBLCLK))
    Run(def.click);
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

void MainWindow::OnDrawItem(const DRAWITEMSTRUCT& dis) const {
  if (dis.hwndItem == Control(Ctl::Bevel1))
    ScrollPanel::DrawBevel(dis);
  else if (dis.hwndItem == list_.Handle())
    list_.Draw(dis, form_->Model().list);
}

}  // namespace pallomar::win32
