// The application's own message box: a dialog laid out in code with the system message font.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box_layout.h"
#include "texts.h"
#include "win32_internal.h"

namespace pallomar::platform::win32 {

namespace {

struct ButtonDef {
  unsigned flag;
  int id;
  const char* caption;
};

// The order on screen, left to right.
const std::array<ButtonDef, 3> kButtonDefs = {{
    {kButtonYes, kResultYes, text::kButtonYes},
    {kButtonNo, kResultNo, text::kButtonNo},
    {kButtonOK, kResultOK, text::kButtonOK},
}};

struct BoxState {
  const BoxRequest* request = nullptr;
  unsigned buttons = kButtonOK;
  ThreadWindowsDisabled* others = nullptr;
  HFONT font = nullptr;
  HWND text = nullptr;
  WNDPROC textProc = nullptr;
  WNDPROC buttonProc = nullptr;
  // The text as its control holds it: wrapped lines joined by CR LF. The CR LFs put in only to
  // wrap are listed, so that a copy gives back the text as it was.
  std::wstring shown;
  std::vector<std::size_t> softBreaks;
  bool forwardingWheel = false;
};

// Enter answers OK, else Yes; a box with neither has no default button.
int DefaultAnswer(unsigned buttons) {
  if (buttons & kButtonOK) return kResultOK;
  if (buttons & kButtonYes) return kResultYes;
  return 0;
}

// Esc answers No, else OK; a box with neither ignores it.
int EscapeAnswer(unsigned buttons) {
  if (buttons & kButtonNo) return kResultNo;
  if (buttons & kButtonOK) return kResultOK;
  return 0;
}

bool HasButton(unsigned buttons, int id) {
  for (const auto& b : kButtonDefs) {
    if (b.id == id) return (buttons & b.flag) != 0;
  }
  return false;
}

void Finish(HWND box, BoxState& state, int result) {
  // The other windows come back before the box goes, so activation returns to the owner.
  if (state.others) state.others->Restore();
  EndDialog(box, result);
}

HFONT MessageFont() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    return CreateFontIndirectA(&metrics.lfMessageFont);
  }
  return nullptr;
}

// Widths of the characters met so far, each measured once: a long text repeats few of them.
class GlyphWidths {
 public:
  explicit GlyphWidths(HDC dc) : dc_(dc), widths_(0x10000 + 0x100, -1) {}
  int operator()(std::string_view c) {
    const auto first = static_cast<unsigned char>(c[0]);
    const std::size_t key = c.size() == 2
                                ? (std::size_t{first} << 8 | static_cast<unsigned char>(c[1]))
                                : 0x10000 + std::size_t{first};
    int& width = widths_[key];
    if (width < 0) {
      SIZE size{};
      GetTextExtentPoint32A(dc_, c.data(), static_cast<int>(c.size()), &size);
      width = static_cast<int>(size.cx);
    }
    return width;
  }

 private:
  HDC dc_;
  std::vector<int> widths_;
};

void AppendWide(std::wstring& out, std::string_view bytes) {
  if (bytes.empty()) return;
  const int size = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (needed <= 0) return;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(needed));
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, out.data() + at, needed);
}

void FillShownText(BoxState& state, const WrappedText& wrapped) {
  const std::string_view text = state.request->text;
  for (std::size_t i = 0; i < wrapped.lines.size(); ++i) {
    const TextLine& line = wrapped.lines[i];
    if (i > 0) {
      if (wrapped.lines[i - 1].soft) state.softBreaks.push_back(state.shown.size());
      state.shown += L"\r\n";
    }
    AppendWide(state.shown, text.substr(line.start, line.length));
  }
}

// The selection, or the whole text when nothing is selected or `whole` asks for it, without the
// wrapping breaks.
void CopyText(HWND edit, const BoxState& state, bool whole) {
  DWORD from = 0;
  DWORD to = 0;
  if (!whole) {
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  }
  std::size_t begin = std::min<std::size_t>(from, state.shown.size());
  std::size_t end = std::min<std::size_t>(to, state.shown.size());
  if (begin >= end) {
    begin = 0;
    end = state.shown.size();
  }
  std::wstring copied;
  copied.reserve(end - begin);
  const auto& soft = state.softBreaks;
  auto next = std::lower_bound(soft.begin(), soft.end(), begin > 0 ? begin - 1 : 0);
  for (std::size_t i = begin; i < end; ++i) {
    while (next != soft.end() && *next + 1 < i) ++next;
    if (next != soft.end() && (i == *next || i == *next + 1)) continue;
    copied.push_back(state.shown[i]);
  }

  if (!OpenClipboard(edit)) return;
  EmptyClipboard();
  const std::size_t bytes = (copied.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = GlobalLock(memory)) {
      std::memcpy(p, copied.c_str(), bytes);
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

LRESULT CALLBACK TextProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
  if (!state || !state->textProc) return DefWindowProcW(edit, message, wParam, lParam);
  try {
    switch (message) {
      case WM_GETDLGCODE: {
        // Enter, Esc, Tab and the access keys stay the box's, as on its buttons; the arrows,
        // page keys and Ctrl+C or Ctrl+A work in the text.
        const LRESULT code = CallWindowProcW(state->textProc, edit, message, wParam, lParam);
        LRESULT kept =
            code & ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTCHARS);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && msg->message == WM_CHAR && msg->wParam < 0x20 && msg->wParam != '\t' &&
            msg->wParam != '\r' && msg->wParam != '\n' && msg->wParam != 0x1B) {
          kept |= DLGC_WANTCHARS;
        }
        return kept;
      }
      case WM_COPY:
        CopyText(edit, *state, false);
        return 0;
      default:
        break;
    }
  } catch (...) {
    return 0;
  }
  return CallWindowProcW(state->textProc, edit, message, wParam, lParam);
}

// Ctrl+C on a button copies the whole text, as in the platform's own boxes.
LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrA(GetParent(button), DWLP_USER));
  if (!state || !state->buttonProc) return DefWindowProcA(button, message, wParam, lParam);
  if (message == WM_CHAR && wParam == 0x03 && state->text) {
    try {
      CopyText(state->text, *state, true);
    } catch (...) {
    }
    return 0;
  }
  return CallWindowProcA(state->buttonProc, button, message, wParam, lParam);
}

// The work area and monitor the box belongs on: that of its stated corner, the centre of the
// screen along a centred axis.
BoxPlacement PlacementFor(const BoxRequest& request) {
  BoxPlacement placement;
  placement.x = request.x;
  placement.y = request.y;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  placement.monitor = {0, 0, screenWidth, screenHeight};
  placement.workArea = placement.monitor;
  const POINT at{request.x < 0 ? screenWidth / 2 : request.x,
                 request.y < 0 ? screenHeight / 2 : request.y};
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoA(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &info)) {
    placement.monitor = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right,
                         info.rcMonitor.bottom};
    placement.workArea = {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
  }
  return placement;
}

void Layout(HWND box, BoxState& state) {
  const BoxRequest& request = *state.request;
  SetWindowTextA(box, request.caption.c_str());

  state.font = MessageFont();
  HFONT font = state.font ? state.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const BoxPlacement placement = PlacementFor(request);

  BoxMetrics metrics;
  metrics.hasIcon = request.icon != nullptr;
  metrics.scrollBarWidth = GetSystemMetrics(SM_CXVSCROLL);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(box, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(box, GWL_EXSTYLE)));
  metrics.frame = {frame.left, frame.top, frame.right, frame.bottom};

  HDC dc = GetDC(box);
  HGDIOBJ oldFont = SelectObject(dc, font);
  // Average character size, the base of the margins and button sizes.
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE alphabet{};
  GetTextExtentPoint32A(dc, kAlphabet, 52, &alphabet);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  metrics.charWidth = std::max(1, static_cast<int>(alphabet.cx / 52));
  metrics.lineHeight = std::max(1, static_cast<int>(tm.tmHeight));
  for (const auto& b : kButtonDefs) {
    if (!(state.buttons & b.flag)) continue;
    RECT r{0, 0, 0, 0};
    DrawTextA(dc, b.caption, -1, &r, DT_CALCRECT | DT_SINGLELINE);
    metrics.buttonCaptionWidths.push_back(static_cast<int>(r.right - r.left));
  }
  GlyphWidths widths(dc);
  // The text control's tab stops when none are set: every 32 dialog units, eight average
  // characters of its font, averaged over the alphabet and rounded as the control does.
  const int tabStop = 8 * static_cast<int>((alphabet.cx / 26 + 1) / 2);
  const WrappedText wrapped = WrapText(
      request.text, BoxWrapWidth(metrics, placement.workArea),
      [&widths](std::string_view c) { return widths(c); }, ActiveCodePage(), tabStop);
  SelectObject(dc, oldFont);
  ReleaseDC(box, dc);

  const BoxLayout layout =
      LayoutMessageBox(metrics, wrapped.widest, wrapped.lines.size(), placement);
  FillShownText(state, wrapped);

  HINSTANCE instance = GetModuleHandleA(nullptr);
  auto child = [&](const char* cls, const char* caption, DWORD style, const BoxRect& r, int id) {
    HWND c = CreateWindowExA(0, cls, caption, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                             r.Width(), r.Height(), box,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
  };

  if (metrics.hasIcon) {
    HWND icon = child("STATIC", nullptr, SS_ICON, layout.icon, kBoxIconId);
    SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, request.icon)), 0);
  }

  // The text: read-only, selectable and copyable, any length; it wraps where WrapText broke
  // it and scrolls when the box could not be tall enough for it.
  const BoxRect& t = layout.text;
  const DWORD textStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | ES_MULTILINE |
                          ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                          (layout.scrolls ? WS_VSCROLL : 0);
  state.text =
      CreateWindowExW(0, L"EDIT", L"", textStyle, t.left, t.top, t.Width(), t.Height(), box,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBoxTextId)), instance, nullptr);
  if (state.text) {
    SendMessageW(state.text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(state.text, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    SendMessageW(state.text, EM_SETLIMITTEXT, 0, 0);  // no 32K cap on what it holds
    SetWindowLongPtrW(state.text, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    state.textProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(state.text, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextProc)));
    SetWindowTextW(state.text, state.shown.c_str());
  }

  const int defaultId = DefaultAnswer(state.buttons);
  HWND focusButton = nullptr;
  std::size_t index = 0;
  for (const auto& b : kButtonDefs) {
    if (!(state.buttons & b.flag)) continue;
    const DWORD style = WS_TABSTOP | (index == 0 ? WS_GROUP : 0) |
                        (b.id == defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND button = child("BUTTON", b.caption, style, layout.buttons[index], b.id);
    const auto proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonProc)));
    if (!state.buttonProc) state.buttonProc = proc;
    if (b.id == defaultId || !focusButton) focusButton = button;
    ++index;
  }
  if (defaultId) SendMessageA(box, DM_SETDEFID, static_cast<WPARAM>(defaultId), 0);
  if (focusButton) SetFocus(focusButton);

  const BoxRect& w = layout.window;
  SetWindowPos(box, nullptr, w.left, w.top, w.Width(), w.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR OnCommand(HWND box, BoxState& state, int id) {
  if (HasButton(state.buttons, id)) {
    Finish(box, state, id);
  } else if (id == IDCANCEL) {
    if (const int answer = EscapeAnswer(state.buttons)) Finish(box, state, answer);
  } else if (id == IDOK) {
    // Enter with no OK button: the default button answers.
    if (const int answer = DefaultAnswer(state.buttons)) Finish(box, state, answer);
  }
  return TRUE;
}

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrA(box, DWLP_USER));
    switch (message) {
      case WM_INITDIALOG:
        state = reinterpret_cast<BoxState*>(lParam);
        SetWindowLongPtrA(box, DWLP_USER, lParam);
        Layout(box, *state);
        return FALSE;  // focus is on the default button already
      case WM_COMMAND:
        if (state) return OnCommand(box, *state, LOWORD(wParam));
        return FALSE;
      case WM_MOUSEWHEEL:
        // The wheel scrolls the text wherever the focus is.
        if (state && state->text && !state->forwardingWheel) {
          state->forwardingWheel = true;
          SendMessageW(state->text, WM_MOUSEWHEEL, wParam, lParam);
          state->forwardingWheel = false;
          SetWindowLongPtrA(box, DWLP_MSGRESULT, 0);
          return TRUE;
        }
        return FALSE;
      case WM_CLOSE:
        // Title bar or Alt+F4: a separate answer from Esc.
        if (state) Finish(box, *state, kResultClosed);
        return TRUE;
      case WM_DESTROY:
        if (state && state->font) {
          DeleteObject(state->font);
          state->font = nullptr;
        }
        return FALSE;
      default:
        return FALSE;
    }
  } catch (...) {
    EndDialog(box, 0);
    return TRUE;
  }
}

// An empty dialog template; the controls are created when it initialises.
struct alignas(DWORD) EmptyTemplate {
  DLGTEMPLATE dialog;
  WORD menu = 0;
  WORD windowClass = 0;
  WORD title = 0;
};

}  // namespace

ThreadWindowsDisabled::ThreadWindowsDisabled(HWND keep) : keep_(keep) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM self) -> BOOL {
        auto* me = reinterpret_cast<ThreadWindowsDisabled*>(self);
        if (window != me->keep_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
          EnableWindow(window, FALSE);
          me->disabled_.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(this));
}

void ThreadWindowsDisabled::Restore() {
  for (HWND window : disabled_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  disabled_.clear();
}

int RunMessageBox(HWND owner, const BoxRequest& request) {
  EmptyTemplate dlg{};
  dlg.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  dlg.dialog.dwExtendedStyle = WS_EX_DLGMODALFRAME;

  BoxState state;
  state.request = &request;
  // A box without buttons could only be closed from its title bar.
  state.buttons = request.buttons & (kButtonYes | kButtonNo | kButtonOK);
  if (state.buttons == 0) state.buttons = kButtonOK;

  ThreadWindowsDisabled others(owner);
  state.others = &others;
  const INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dlg.dialog, owner,
                                                 BoxProc, reinterpret_cast<LPARAM>(&state));
  return static_cast<int>(result);
}

}  // namespace pallomar::platform::win32
