// The application's own message box: a dialog laid out in code with the system message font.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

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

void Layout(HWND box, BoxState& state) {
  const BoxRequest& request = *state.request;
  SetWindowTextA(box, request.caption.c_str());

  state.font = MessageFont();
  HFONT font = state.font ? state.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

  HDC dc = GetDC(box);
  HGDIOBJ oldFont = SelectObject(dc, font);
  // Average character size, the base of the margins and button sizes.
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE alphabet{};
  GetTextExtentPoint32A(dc, kAlphabet, 52, &alphabet);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  const int cx = std::max(1, static_cast<int>(alphabet.cx / 52));
  const int cy = std::max(1, static_cast<int>(tm.tmHeight));

  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  RECT textRect{0, 0, std::max(1, screenWidth / 2), 0};
  constexpr UINT kTextFormat = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
  DrawTextA(dc, request.text.c_str(), -1, &textRect, DT_CALCRECT | kTextFormat);
  const int textWidth = textRect.right - textRect.left;
  const int textHeight = textRect.bottom - textRect.top;

  const int horzMargin = MulDiv(8, cx, 4);
  const int vertMargin = MulDiv(8, cy, 8);
  const int horzSpacing = MulDiv(10, cx, 4);
  const int vertSpacing = MulDiv(10, cy, 8);
  const int buttonSpacing = MulDiv(4, cx, 4);
  const int buttonHeight = MulDiv(14, cy, 8);
  int buttonWidth = MulDiv(50, cx, 4);
  int buttonCount = 0;
  for (const auto& b : kButtonDefs) {
    if (!(state.buttons & b.flag)) continue;
    ++buttonCount;
    RECT r{0, 0, 0, 0};
    DrawTextA(dc, b.caption, -1, &r, DT_CALCRECT | DT_SINGLELINE);
    buttonWidth = std::max(buttonWidth, static_cast<int>(r.right - r.left) + MulDiv(8, cx, 4));
  }
  SelectObject(dc, oldFont);
  ReleaseDC(box, dc);

  const bool hasIcon = request.icon != nullptr;
  const int iconSize = 32;
  const int textLeft = horzMargin + (hasIcon ? iconSize + horzSpacing : 0);
  const int contentHeight = std::max(hasIcon ? iconSize : 0, textHeight);
  const int rowWidth = buttonCount * buttonWidth + (buttonCount - 1) * buttonSpacing;
  const int clientWidth = std::max(textLeft + textWidth + horzMargin, rowWidth + 2 * horzMargin);
  const int buttonTop = vertMargin + contentHeight + vertSpacing;
  const int clientHeight = buttonTop + buttonHeight + vertMargin;

  HINSTANCE instance = GetModuleHandleA(nullptr);
  auto child = [&](const char* cls, const char* caption, DWORD style, int x, int y, int w, int h,
                   int id) {
    HWND c = CreateWindowExA(0, cls, caption, WS_CHILD | WS_VISIBLE | style, x, y, w, h, box,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
  };

  if (hasIcon) {
    HWND icon =
        child("STATIC", nullptr, SS_ICON, horzMargin, vertMargin, iconSize, iconSize, kBoxIconId);
    SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, request.icon)), 0);
  }
  child("STATIC", request.text.c_str(), SS_LEFT | SS_NOPREFIX, textLeft, vertMargin, textWidth,
        textHeight, kBoxTextId);

  const int defaultId = DefaultAnswer(state.buttons);
  HWND focusButton = nullptr;
  int x = (clientWidth - rowWidth) / 2;
  bool first = true;
  for (const auto& b : kButtonDefs) {
    if (!(state.buttons & b.flag)) continue;
    const DWORD style = WS_TABSTOP | (first ? WS_GROUP : 0) |
                        (b.id == defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND button = child("BUTTON", b.caption, style, x, buttonTop, buttonWidth, buttonHeight, b.id);
    if (b.id == defaultId || !focusButton) focusButton = button;
    x += buttonWidth + buttonSpacing;
    first = false;
  }
  if (defaultId) SendMessageA(box, DM_SETDEFID, static_cast<WPARAM>(defaultId), 0);
  if (focusButton) SetFocus(focusButton);

  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(box, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(box, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = request.x < 0 ? (screenWidth - width) / 2 : request.x;
  const int top = request.y < 0 ? (screenHeight - height) / 2 : request.y;
  SetWindowPos(box, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
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
