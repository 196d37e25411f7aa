// The Win32 platform against the real boxes, dialogs, drops and help viewer, in-process. Every
// dialog is answered from the test: a thread-local CBT hook sees it activate and arms a timer
// that reads and answers it; a watchdog ends any dialog left open so a fault cannot hang.
#include "platform/win32_platform.h"

#include <commdlg.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "entrylist/model.h"
#include "temp_folder.h"
#include "texts.h"
#include "win32_internal.h"

namespace pallomar::platform {
namespace {

std::string TextOf(HWND window) {
  char buffer[4096] = {};
  GetWindowTextA(window, buffer, sizeof(buffer));
  return buffer;
}

std::string ClassOf(HWND window) {
  char buffer[64] = {};
  GetClassNameA(window, buffer, sizeof(buffer));
  return buffer;
}

bool IsDialogWindow(HWND window) {
  return ClassOf(window) == "#32770" && !(GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD);
}

struct Child {
  HWND window;
  std::string cls;
  std::string text;
  int id;
  LONG_PTR style;
  RECT rect;  // client coordinates of the dialog
};

std::vector<Child> ChildrenOf(HWND dialog) {
  std::vector<Child> children;
  auto collect = [](HWND w, LPARAM p) -> BOOL {
    auto* out = reinterpret_cast<std::vector<Child>*>(p);
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    out->push_back({w, ClassOf(w), TextOf(w), GetDlgCtrlID(w), GetWindowLongPtrA(w, GWL_STYLE), r});
    return TRUE;
  };
  EnumChildWindows(dialog, collect, reinterpret_cast<LPARAM>(&children));
  return children;
}

// Drains what a test left in the queue, a stray WM_QUIT included.
void DrainMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) DispatchMessageA(&msg);
  }
}

using Answer = std::function<void(HWND)>;

// Answers the thread's dialogs, in the order they activate, while it lives.
class Answerer {
 public:
  explicit Answerer(std::vector<Answer> answers) : answers_(std::move(answers)) {
    current_ = this;
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    watchdog_ = SetTimer(nullptr, 0, 8000, Watchdog);
  }
  ~Answerer() {
    KillTimer(nullptr, watchdog_);
    for (const auto& [id, pending] : pending_) KillTimer(nullptr, id);
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
    DrainMessages();
  }
  Answerer(const Answerer&) = delete;
  Answerer& operator=(const Answerer&) = delete;

  const std::vector<std::string>& Captions() const { return captions_; }
  bool WatchdogFired() const { return watchdogFired_; }

 private:
  struct Pending {
    HWND dialog;
    Answer answer;
  };

  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    Answerer* me = current_;
    if (me && code == HCBT_ACTIVATE) {
      HWND w = reinterpret_cast<HWND>(wParam);
      if (IsDialogWindow(w) &&
          std::find(me->seen_.begin(), me->seen_.end(), w) == me->seen_.end()) {
        me->seen_.push_back(w);
        me->captions_.push_back(TextOf(w));
        if (!me->answers_.empty()) {
          const UINT_PTR id = SetTimer(nullptr, 0, 60, Fire);
          me->pending_[id] = {w, me->answers_.front()};
          me->answers_.erase(me->answers_.begin());
        }
      }
    }
    return CallNextHookEx(me ? me->hook_ : nullptr, code, wParam, lParam);
  }

  static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    Answerer* me = current_;
    if (!me) return;
    auto it = me->pending_.find(id);
    if (it == me->pending_.end()) return;
    Pending p = it->second;
    me->pending_.erase(it);
    p.answer(p.dialog);
  }

  // A dialog still open this long means the code under test mishandled its answer.
  static void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    Answerer* me = current_;
    if (!me) return;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
          if (IsDialogWindow(w)) {
            *reinterpret_cast<bool*>(p) = true;
            EndDialog(w, 0);
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&me->watchdogFired_));
  }

  static inline thread_local Answerer* current_ = nullptr;
  HHOOK hook_ = nullptr;
  UINT_PTR watchdog_ = 0;
  std::vector<Answer> answers_;
  std::vector<HWND> seen_;
  std::vector<std::string> captions_;
  std::map<UINT_PTR, Pending> pending_;
  bool watchdogFired_ = false;
};

// The key or action that answers a box.
enum class Press { Enter, Esc, TitleBarClose, AltF4, KeyY, KeyN, TabEnter };

void PressKey(HWND dialog, Press press) {
  HWND focus = GetFocus();
  HWND target = (focus && IsChild(dialog, focus)) ? focus : dialog;
  switch (press) {
    case Press::Enter:
      PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
      break;
    case Press::Esc:
      PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      break;
    case Press::TitleBarClose:
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case Press::AltF4:
      PostMessageA(target, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
      break;
    case Press::KeyY:
      PostMessageA(target, WM_CHAR, 'y', 0x00150001);
      break;
    case Press::KeyN:
      PostMessageA(target, WM_CHAR, 'n', 0x00310001);
      break;
    case Press::TabEnter:
      PostMessageA(target, WM_KEYDOWN, VK_TAB, 0x000F0001);
      PostMessageA(dialog, WM_KEYDOWN, VK_RETURN, 0x001C0001);
      break;
  }
}

void Click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// What a user sees of one message box.
struct BoxSeen {
  std::string caption;
  RECT rect{};
  RECT work{};                 // the work area of the box's monitor
  std::vector<Child> buttons;  // left to right
  HICON icon = nullptr;
  bool hasIconControl = false;
  Child text{};
  bool scrollBar = false;
  int focusId = 0;
  bool ownerEnabled = true;
  bool otherEnabled = true;
  LOGFONTA textFont{};
  int result = -1;
  bool watchdog = false;
};

RECT WorkAreaOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcWork;
}

BoxSeen ReadBox(HWND box) {
  BoxSeen seen;
  seen.caption = TextOf(box);
  GetWindowRect(box, &seen.rect);
  seen.work = WorkAreaOf(box);
  for (const Child& c : ChildrenOf(box)) {
    if (c.cls == "Button") seen.buttons.push_back(c);
    if (c.cls == "Static" && (c.style & SS_TYPEMASK) == SS_ICON) {
      seen.hasIconControl = true;
      seen.icon = reinterpret_cast<HICON>(SendMessageA(c.window, STM_GETICON, 0, 0));
    } else if (c.cls == "Edit") {
      seen.text = c;
      seen.scrollBar = (c.style & WS_VSCROLL) != 0;
      HFONT font = reinterpret_cast<HFONT>(SendMessageA(c.window, WM_GETFONT, 0, 0));
      if (font) GetObjectA(font, sizeof(seen.textFont), &seen.textFont);
    }
  }
  std::sort(seen.buttons.begin(), seen.buttons.end(),
            [](const Child& a, const Child& b) { return a.rect.left < b.rect.left; });
  seen.focusId = GetDlgCtrlID(GetFocus());
  return seen;
}

// The clipboard's text in the ANSI code page.
std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "(clipboard not open)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      const int length = lstrlenW(wide);
      const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
      text.resize(static_cast<std::size_t>(bytes));
      WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), bytes, nullptr, nullptr);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void ClearClipboard() {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

// The text as the clipboard gives it back: line feeds as CR LF.
std::string WithCrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Selects [from, to) of the box's text, or nothing, and presses Ctrl+C in it.
void SelectAndCopy(HWND box, int from, int to) {
  HWND text = GetDlgItem(box, win32::kBoxTextId);
  SetFocus(text);
  SendMessageW(text, EM_SETSEL, static_cast<WPARAM>(from), to);
  PostMessageA(text, WM_CHAR, 0x03, 0x002E0001);  // what Ctrl+C types
}

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DrainMessages();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PallomarPlatformTestWindow";
    RegisterClassA(&wc);
    main_ = CreateWindowExA(0, wc.lpszClassName, "main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 40,
                            400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    other_ = CreateWindowExA(0, wc.lpszClassName, "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500,
                             40, 200, 200, nullptr, nullptr, wc.hInstance, nullptr);
    SetActiveWindow(main_);
    platform_.SetMainWindow(main_);
  }
  void TearDown() override {
    DestroyWindow(other_);
    DestroyWindow(main_);
    DrainMessages();
  }

  // Shows a box, reads it once it is up, answers it with `answer`.
  BoxSeen Show(std::string_view text, MsgType type, unsigned buttons, int x, int y,
               const Answer& answer) {
    BoxSeen seen;
    HWND owner = main_;
    HWND other = other_;
    {
      Answerer answerer({[&](HWND box) {
        seen = ReadBox(box);
        seen.ownerEnabled = IsWindowEnabled(owner) != FALSE;
        seen.otherEnabled = IsWindowEnabled(other) != FALSE;
        answer(box);
      }});
      seen.result = platform_.ShowMessageBox(text, type, buttons, x, y);
      seen.watchdog = answerer.WatchdogFired();
    }
    return seen;
  }

  Win32Platform platform_;
  HWND main_ = nullptr;
  HWND other_ = nullptr;
};

// ---- Message boxes ----

struct TypeCase {
  MsgType type;
  const char* caption;
  LPCSTR icon;
};

TEST_F(Win32PlatformTest, EachBoxTypeHasItsCaptionAndIcon) {
  const TypeCase cases[] = {
      {MsgType::Warning, "警告", IDI_EXCLAMATION},
      {MsgType::Error, "エラー", IDI_HAND},
      {MsgType::Information, "情報", IDI_ASTERISK},
      {MsgType::Confirmation, "確認", IDI_QUESTION},
      {MsgType::Custom, "platform_win32_tests", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    BoxSeen seen =
        Show("text", c.type, kButtonOK, kCentre, kCentre, [](HWND box) { Click(box, kResultOK); });
    EXPECT_EQ(seen.caption, c.caption);
    EXPECT_EQ(seen.hasIconControl, c.icon != nullptr);
    if (c.icon) {
      EXPECT_EQ(seen.icon, LoadIconA(nullptr, c.icon));
    }
    EXPECT_EQ(seen.text.text, "text");
    EXPECT_EQ(seen.result, kResultOK);
    EXPECT_FALSE(seen.watchdog);
  }
}

struct ButtonsCase {
  unsigned buttons;
  std::vector<std::string> captions;  // left to right
  std::vector<int> ids;
  int focusId;  // the default button
};

TEST_F(Win32PlatformTest, ButtonsInOrderEqualWidthInACentredRowWithTheDefaultFocused) {
  const ButtonsCase cases[] = {
      {kButtonOK, {"OK"}, {kResultOK}, kResultOK},
      {kButtonYes | kButtonNo, {"はい(&Y)", "いいえ(&N)"}, {kResultYes, kResultNo}, kResultYes},
      {kButtonOK | kButtonNo | kButtonYes,
       {"はい(&Y)", "いいえ(&N)", "OK"},
       {kResultYes, kResultNo, kResultOK},
       kResultOK},
  };
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, FALSE,
                     WS_EX_DLGMODALFRAME);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.captions.back());
    const int click = c.ids.front();
    BoxSeen seen = Show("buttons", MsgType::Confirmation, c.buttons, kCentre, kCentre,
                        [&](HWND box) { Click(box, click); });
    ASSERT_EQ(seen.buttons.size(), c.captions.size());
    for (std::size_t i = 0; i < seen.buttons.size(); ++i) {
      const RECT& r = seen.buttons[i].rect;
      EXPECT_EQ(seen.buttons[i].text, c.captions[i]);
      EXPECT_EQ(seen.buttons[i].id, c.ids[i]);
      EXPECT_EQ(r.right - r.left, seen.buttons[0].rect.right - seen.buttons[0].rect.left);
      EXPECT_EQ(r.top, seen.buttons[0].rect.top);
      EXPECT_GE(r.top, seen.text.rect.bottom);
    }
    const int clientWidth = (seen.rect.right - seen.rect.left) - (frame.right - frame.left);
    EXPECT_NEAR((seen.buttons.front().rect.left + seen.buttons.back().rect.right) / 2,
                clientWidth / 2, 1);
    EXPECT_EQ(seen.focusId, c.focusId);
    EXPECT_EQ(seen.result, click);
  }
}

struct KeyCase {
  const char* name;
  unsigned buttons;
  Press press;
  int result;
  int thenClick;  // a button clicked after the key, for keys the box must ignore
};

TEST_F(Win32PlatformTest, EnterEscAndTitleBarCloseGiveTheirAnswers) {
  const KeyCase cases[] = {
      {"OK Enter", kButtonOK, Press::Enter, kResultOK, 0},
      {"OK Esc", kButtonOK, Press::Esc, kResultOK, 0},
      {"OK close", kButtonOK, Press::TitleBarClose, kResultClosed, 0},
      {"OK Alt+F4", kButtonOK, Press::AltF4, kResultClosed, 0},
      {"YesNo Enter", kButtonYes | kButtonNo, Press::Enter, kResultYes, 0},
      {"YesNo Esc", kButtonYes | kButtonNo, Press::Esc, kResultNo, 0},
      {"YesNo close", kButtonYes | kButtonNo, Press::TitleBarClose, kResultClosed, 0},
      {"YesNo Alt+F4", kButtonYes | kButtonNo, Press::AltF4, kResultClosed, 0},
      {"YesNo access key N", kButtonYes | kButtonNo, Press::KeyN, kResultNo, 0},
      {"YesNo access key Y", kButtonYes | kButtonNo, Press::KeyY, kResultYes, 0},
      {"YesNo Tab then Enter", kButtonYes | kButtonNo, Press::TabEnter, kResultNo, 0},
      {"YesNoOK Enter", kButtonYes | kButtonNo | kButtonOK, Press::Enter, kResultOK, 0},
      {"YesNoOK Esc", kButtonYes | kButtonNo | kButtonOK, Press::Esc, kResultNo, 0},
      {"No alone ignores Enter", kButtonNo, Press::Enter, kResultNo, kResultNo},
      {"Yes alone ignores Esc", kButtonYes, Press::Esc, kResultYes, kResultYes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BoxSeen seen = Show("question", MsgType::Warning, c.buttons, kCentre, kCentre, [&](HWND box) {
      PressKey(box, c.press);
      if (c.thenClick) Click(box, c.thenClick);
    });
    EXPECT_EQ(seen.result, c.result);
    EXPECT_FALSE(seen.watchdog);
  }
}

struct PlaceCase {
  int x;
  int y;
  bool centreX;
  bool centreY;
};

TEST_F(Win32PlatformTest, TopLeftAtXYAndNegativeAxesCentred) {
  const PlaceCase cases[] = {
      {200, 150, false, false},       {kCentre, 150, true, false}, {200, kCentre, false, true},
      {kCentre, kCentre, true, true}, {-7, 0, true, false},        {0, -300, false, true},
  };
  const int screenW = GetSystemMetrics(SM_CXSCREEN);
  const int screenH = GetSystemMetrics(SM_CYSCREEN);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    BoxSeen seen = Show("where", MsgType::Information, kButtonOK, c.x, c.y,
                        [](HWND box) { Click(box, kResultOK); });
    const int w = seen.rect.right - seen.rect.left;
    const int h = seen.rect.bottom - seen.rect.top;
    EXPECT_EQ(seen.rect.left, c.centreX ? (screenW - w) / 2 : c.x);
    EXPECT_EQ(seen.rect.top, c.centreY ? (screenH - h) / 2 : c.y);
  }
}

TEST_F(Win32PlatformTest, LineFeedsBreakLinesAndTheBoxGrows) {
  auto onePress = [](HWND box) { Click(box, kResultOK); };
  BoxSeen one = Show("one", MsgType::Custom, kButtonOK, kCentre, kCentre, onePress);
  BoxSeen three = Show("one\ntwo\nthree", MsgType::Custom, kButtonOK, kCentre, kCentre, onePress);
  const int lineHeight = one.text.rect.bottom - one.text.rect.top;
  ASSERT_GT(lineHeight, 0);
  EXPECT_EQ(three.text.rect.bottom - three.text.rect.top, 3 * lineHeight);
  EXPECT_EQ((three.rect.bottom - three.rect.top) - (one.rect.bottom - one.rect.top),
            2 * lineHeight);
  EXPECT_EQ(three.text.text, WithCrLf("one\ntwo\nthree"));
}

TEST_F(Win32PlatformTest, LongTextWrapsWithinHalfTheScreen) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "ファイル name ";
  BoxSeen seen = Show(text, MsgType::Custom, kButtonOK, kCentre, kCentre,
                      [](HWND box) { Click(box, kResultOK); });
  BoxSeen single = Show("x", MsgType::Custom, kButtonOK, kCentre, kCentre,
                        [](HWND box) { Click(box, kResultOK); });
  EXPECT_LE(seen.text.rect.right - seen.text.rect.left, GetSystemMetrics(SM_CXSCREEN) / 2);
  EXPECT_GT(seen.text.rect.bottom - seen.text.rect.top,
            3 * (single.text.rect.bottom - single.text.rect.top));
}

TEST_F(Win32PlatformTest, BoxUsesTheMessageFontAndShowsAmpersandsLiterally) {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof(metrics);
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
  BoxSeen seen = Show("A&B", MsgType::Information, kButtonOK, kCentre, kCentre,
                      [](HWND box) { Click(box, kResultOK); });
  EXPECT_STREQ(seen.textFont.lfFaceName, metrics.lfMessageFont.lfFaceName);
  EXPECT_EQ(seen.textFont.lfHeight, metrics.lfMessageFont.lfHeight);
  // An edit control takes no "&" for an access key.
  EXPECT_EQ(seen.text.cls, "Edit");
  EXPECT_EQ(seen.text.text, "A&B");
}

TEST_F(Win32PlatformTest, BoxIsModalToEveryWindowOfTheApplication) {
  BoxSeen seen = Show("modal", MsgType::Warning, kButtonYes | kButtonNo, kCentre, kCentre,
                      [](HWND box) { PressKey(box, Press::Esc); });
  EXPECT_FALSE(seen.ownerEnabled);
  EXPECT_FALSE(seen.otherEnabled);
  EXPECT_TRUE(IsWindowEnabled(main_));
  EXPECT_TRUE(IsWindowEnabled(other_));
  EXPECT_EQ(seen.result, kResultNo);
}

// ---- Texts of any length ----

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// The details command's text for an entry whose file to run is `path`.
std::string DetailsOf(const std::string& path) {
  ListModel model;
  model.list.Append(path, kDummyMarker, kDummyMarker, "0", "1");
  model.selected = 0;
  return *model.DetailsText();
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

struct ShapeCase {
  const char* name;
  std::string text;
  bool scrolls;
};

std::vector<ShapeCase> TextShapes() {
  std::string manyLines;
  for (int i = 0; i < 500; ++i) manyLines += "entry " + std::to_string(i) + "\n";
  return {
      {"short", "OK?", false},
      {"many lines", manyLines, true},
      {"details, 185-byte path", DetailsOf("c:\\tools\\" + std::string(168, 'q') + "\\app.exe"),
       false},
      {"details, 2000-byte path", DetailsOf("c:\\" + std::string(1992, 'q') + ".exe"), false},
      {"double-byte run, second bytes 0x5C", Repeat("表ソ能", 700), false},
      {"tabs, drawn to their stops", Repeat("key\tvalue\t", 60), false},
      {"details, 32 KiB path", DetailsOf("c:\\" + std::string(32 * 1024, 'q') + ".exe"), true},
      {"64 KiB", Repeat("c:\\表\\abc", 65536 / 10), true},
      {"1 MiB", Repeat("表ソ" + std::string(28, 'x'), (1 << 20) / 32), true},
  };
}

struct ShapeSeen {
  BoxSeen box;
  bool buttonsOnScreen = false;
  int linesPastTheRightEdge = 0;
};

TEST_F(Win32PlatformTest, BoxOfAnyTextFitsTheWorkAreaAndHoldsTheWholeText) {
  struct At {
    int x;
    int y;
  };
  // Centred, the details box's offset from this test's window, and past the bottom right.
  const At places[] = {{kCentre, kCentre}, {90, 110}, {1200, 1000}};
  for (const ShapeCase& shape : TextShapes()) {
    for (const At& at : places) {
      SCOPED_TRACE(std::string(shape.name) + " at " + std::to_string(at.x) + "," +
                   std::to_string(at.y));
      ClearClipboard();
      ShapeSeen seen;
      seen.box = Show(shape.text, MsgType::Custom, kButtonOK, at.x, at.y, [&](HWND box) {
        seen.buttonsOnScreen = true;
        for (const Child& b : ReadBox(box).buttons) {
          RECT r{};
          GetWindowRect(b.window, &r);
          seen.buttonsOnScreen = seen.buttonsOnScreen && Inside(r, WorkAreaOf(box));
        }
        // Where the first lines end, as the control draws them.
        HWND text = GetDlgItem(box, win32::kBoxTextId);
        RECT client{};
        GetClientRect(text, &client);
        const LRESULT lines = SendMessageW(text, EM_GETLINECOUNT, 0, 0);
        for (LRESULT i = 0; i + 1 < std::min<LRESULT>(lines, 40); ++i) {
          const LRESULT start = SendMessageW(text, EM_LINEINDEX, static_cast<WPARAM>(i), 0);
          const LRESULT length = SendMessageW(text, EM_LINELENGTH, static_cast<WPARAM>(start), 0);
          const LRESULT end =
              SendMessageW(text, EM_POSFROMCHAR, static_cast<WPARAM>(start + length), 0);
          if (end != -1 && static_cast<short>(LOWORD(end)) > client.right) {
            ++seen.linesPastTheRightEdge;
          }
        }
        SelectAndCopy(box, 0, -1);
        Click(box, kResultOK);
      });
      const BoxSeen& b = seen.box;
      EXPECT_EQ(b.result, kResultOK);
      EXPECT_FALSE(b.watchdog);
      EXPECT_TRUE(Inside(b.rect, b.work));
      EXPECT_TRUE(seen.buttonsOnScreen);
      EXPECT_EQ(seen.linesPastTheRightEdge, 0);
      EXPECT_LE(b.text.rect.right - b.text.rect.left, (b.work.right - b.work.left) / 2);
      EXPECT_EQ(b.scrollBar, shape.scrolls);
      // The stated corner holds where the box fits; elsewhere it is just inside.
      const LONG width = b.rect.right - b.rect.left;
      const LONG height = b.rect.bottom - b.rect.top;
      if (at.x >= 0) {
        EXPECT_EQ(b.rect.left, std::min<LONG>(at.x, b.work.right - width));
      }
      if (at.y >= 0) {
        EXPECT_EQ(b.rect.top, std::min<LONG>(at.y, b.work.bottom - height));
      }
      const std::string copied = ClipboardText();
      EXPECT_EQ(copied.size(), WithCrLf(shape.text).size());
      EXPECT_TRUE(copied == WithCrLf(shape.text)) << "the copy differs from the text";
    }
  }
}

enum class Scroll { Wheel, ScrollBar, PageDownInText };

struct ScrollCase {
  const char* name;
  unsigned buttons;
  Scroll scroll;
  Press press;
  int result;
};

TEST_F(Win32PlatformTest, TallTextScrollsByWheelBarAndKeysAndTheKeysStillAnswer) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += "line " + std::to_string(i) + "\n";
  const ScrollCase cases[] = {
      {"wheel over the button, Enter", kButtonOK, Scroll::Wheel, Press::Enter, kResultOK},
      {"wheel, title bar", kButtonYes | kButtonNo, Scroll::Wheel, Press::TitleBarClose,
       kResultClosed},
      {"scroll bar, Esc in the text", kButtonOK, Scroll::ScrollBar, Press::Esc, kResultOK},
      {"Page Down in the text, Enter", kButtonYes | kButtonNo, Scroll::PageDownInText, Press::Enter,
       kResultYes},
      {"Page Down in the text, Esc", kButtonYes | kButtonNo, Scroll::PageDownInText, Press::Esc,
       kResultNo},
      {"Page Down in the text, access key", kButtonYes | kButtonNo, Scroll::PageDownInText,
       Press::KeyN, kResultNo},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(c.name);
    LRESULT firstLine = -1;
    BoxSeen seen = Show(text, MsgType::Warning, c.buttons, kCentre, kCentre, [&](HWND box) {
      HWND edit = GetDlgItem(box, win32::kBoxTextId);
      switch (c.scroll) {
        case Scroll::Wheel:
          SendMessageW(GetFocus(), WM_MOUSEWHEEL,
                       static_cast<WPARAM>(static_cast<DWORD>(-3 * WHEEL_DELTA) << 16), 0);
          break;
        case Scroll::ScrollBar:
          SendMessageW(edit, WM_VSCROLL, SB_PAGEDOWN, 0);
          SetFocus(edit);
          break;
        case Scroll::PageDownInText:
          SetFocus(edit);
          SendMessageW(edit, WM_KEYDOWN, VK_NEXT, 0x01510001);
          break;
      }
      firstLine = SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
      PressKey(box, c.press);
    });
    EXPECT_TRUE(seen.scrollBar);
    EXPECT_GT(firstLine, 0);
    EXPECT_EQ(seen.result, c.result);
    EXPECT_FALSE(seen.watchdog);
  }
}

enum class Pick { Nothing, AcrossAWrap, OnTheButton };

struct CopyCase {
  const char* name;
  Pick pick;
};

TEST_F(Win32PlatformTest, CtrlCCopiesWithoutTheBreaksPutInToWrap) {
  const std::string path = "c:\\" + std::string(600, 'p') + "\\表\\app.exe";
  const std::string text = path + "\n2";
  const CopyCase cases[] = {
      {"nothing selected: the whole text", Pick::Nothing},
      {"on the button, a part selected: the whole text", Pick::OnTheButton},
      {"a part across a wrapping break", Pick::AcrossAWrap},
  };
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.name);
    ClearClipboard();
    std::string expected;
    BoxSeen seen = Show(text, MsgType::Information, kButtonOK, kCentre, kCentre, [&](HWND box) {
      HWND edit = GetDlgItem(box, win32::kBoxTextId);
      const int firstLine = static_cast<int>(SendMessageW(edit, EM_LINELENGTH, 0, 0));
      switch (c.pick) {
        case Pick::Nothing:
          expected = WithCrLf(text);
          SelectAndCopy(box, 0, 0);
          break;
        case Pick::OnTheButton:
          expected = WithCrLf(text);
          SendMessageW(edit, EM_SETSEL, 10, 20);
          PostMessageA(GetDlgItem(box, kResultOK), WM_CHAR, 0x03, 0x002E0001);
          break;
        case Pick::AcrossAWrap:
          // From the 10th character to 10 past the wrap, the CR LF put in there skipped.
          expected = text.substr(10, static_cast<std::size_t>(firstLine));
          SelectAndCopy(box, 10, firstLine + 2 + 10);
          break;
      }
      Click(box, kResultOK);
    });
    EXPECT_EQ(seen.result, kResultOK);
    EXPECT_EQ(ClipboardText(), expected);
  }
}

// ---- The error box ----

struct ErrorCase {
  const char* message;
  const char* shown;
};

TEST_F(Win32PlatformTest, ErrorBoxAddsThePeriodByTheLastCharacter) {
  const ErrorCase cases[] = {
      {"ファイルが見つかりません", "ファイルが見つかりません."},
      {"I/O エラー (32)", "I/O エラー (32)"},
      {"done.", "done."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::string caption;
    std::vector<std::string> texts;
    HICON icon = nullptr;
    bool ownerEnabled = true;
    {
      Answerer answerer({[&](HWND box) {
        caption = TextOf(box);
        ownerEnabled = IsWindowEnabled(main_) != FALSE;
        for (const Child& ch : ChildrenOf(box)) {
          if (ch.cls != "Static") continue;
          if ((ch.style & SS_TYPEMASK) == SS_ICON) {
            icon = reinterpret_cast<HICON>(SendMessageA(ch.window, STM_GETICON, 0, 0));
          } else if (!ch.text.empty()) {
            texts.push_back(ch.text);
          }
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }});
      platform_.ShowErrorBox(c.message);
      EXPECT_FALSE(answerer.WatchdogFired());
    }
    EXPECT_EQ(caption, "platform_win32_tests");
    EXPECT_EQ(texts, std::vector<std::string>{c.shown});
    EXPECT_EQ(icon, LoadIconA(nullptr, IDI_HAND));
    EXPECT_FALSE(ownerEnabled);
  }
}

// ---- File dialogs ----

// The file-name field: edt1, or the edit inside the file-name combo cmb13.
HWND FileNameEdit(HWND dialog) {
  for (const Child& c : ChildrenOf(dialog)) {
    if (c.cls == "Edit" && (c.id == 0x480 || c.id == 0x47c)) return c.window;
  }
  return nullptr;
}

struct DialogSeen {
  std::string caption;
  RECT rect{};
  RECT work{};
  bool ownerEnabled = true;
  bool otherEnabled = true;
};

// Types `name` into the file-name field and confirms, or cancels when `name` is null.
Answer TypeAndConfirm(const char* name, DialogSeen* seen, HWND owner, HWND other) {
  return [=](HWND dialog) {
    if (seen) {
      seen->caption = TextOf(dialog);
      GetWindowRect(dialog, &seen->rect);
      MONITORINFO info{};
      info.cbSize = sizeof(info);
      GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &info);
      seen->work = info.rcWork;
      seen->ownerEnabled = IsWindowEnabled(owner) != FALSE;
      seen->otherEnabled = IsWindowEnabled(other) != FALSE;
    }
    if (!name) {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
      return;
    }
    SetWindowTextA(FileNameEdit(dialog), name);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  };
}

class FileDialogTest : public Win32PlatformTest {
 protected:
  // Runs the dialog with the answers given; returns Execute's result.
  bool Run(FileDialog& dialog, std::vector<Answer> answers,
           std::vector<std::string>* captions = nullptr) {
    Answerer answerer(std::move(answers));
    const bool ok = dialog.Execute();
    EXPECT_FALSE(answerer.WatchdogFired());
    if (captions) *captions = answerer.Captions();
    return ok;
  }

  pallomar::test_support::TempFolder temp_;
};

TEST_F(FileDialogTest, SaveAddsTheDefaultExtensionAndReportsTheFilterChosen) {
  const std::string dir = temp_.Path();
  TSaveDialog save(platform_);
  save.Filter = "すべて|*.*|Pallomar File(*.plw)|*.plw";
  save.DefaultExt = "plw";
  save.SetInitialDir(dir + "\\");
  DialogSeen seen;
  Answer type = TypeAndConfirm("newlist", &seen, main_, other_);
  ASSERT_TRUE(Run(save, {[&](HWND dialog) {
                    HWND types = GetDlgItem(dialog, 0x470);  // cmb1, the filter list
                    SendMessageA(types, CB_SETCURSEL, 1, 0);
                    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK),
                                 reinterpret_cast<LPARAM>(types));
                    type(dialog);
                  }}));
  EXPECT_EQ(save.FileName, dir + "\\newlist.plw");
  EXPECT_EQ(save.FilterIndex, 2);
  EXPECT_EQ(save.InitialDir(), dir);
  EXPECT_FALSE(seen.ownerEnabled);
  EXPECT_FALSE(seen.otherEnabled);
  EXPECT_TRUE(IsWindowEnabled(main_));
  EXPECT_TRUE(IsWindowEnabled(other_));
}

TEST_F(FileDialogTest, DialogIsCentredAcrossAndAThirdDownTheWorkArea) {
  TOpenDialog open(platform_);
  open.Title = "実行するファイルの追加";
  open.SetInitialDir(temp_.Path());
  DialogSeen seen;
  EXPECT_FALSE(Run(open, {TypeAndConfirm(nullptr, &seen, main_, other_)}));
  EXPECT_EQ(seen.caption, "実行するファイルの追加");
  const LONG w = seen.rect.right - seen.rect.left;
  const LONG h = seen.rect.bottom - seen.rect.top;
  EXPECT_EQ(seen.rect.left, seen.work.left + (seen.work.right - seen.work.left - w) / 2);
  EXPECT_EQ(seen.rect.top, seen.work.top + (seen.work.bottom - seen.work.top - h) / 3);
}

TEST_F(FileDialogTest, CancelReturnsFalseAndChangesNothing) {
  for (bool save : {false, true}) {
    SCOPED_TRACE(save ? "save" : "open");
    TSaveDialog saveDialog(platform_);
    TOpenDialog openDialog(platform_);
    FileDialog& d = save ? static_cast<FileDialog&>(saveDialog) : openDialog;
    d.Filter = "A|*.a|Pallomar File(*.plw)|*.plw";
    d.FilterIndex = 2;
    d.FileName = "keep.plw";
    d.SetInitialDir(temp_.Path());
    EXPECT_FALSE(Run(d, {TypeAndConfirm(nullptr, nullptr, main_, other_)}));
    EXPECT_EQ(d.FileName, "keep.plw");
    EXPECT_EQ(d.FilterIndex, 2);
    EXPECT_EQ(d.InitialDir(), temp_.Path());
  }
}

struct FolderCase {
  const char* set;
  const char* kept;
  const char* chosen;
};

TEST_F(FileDialogTest, InitialDirKeepsARootAndOpensThereWithoutItsBackslash) {
  CreateDirectoryA("C:\\Lists", nullptr);
  const FolderCase cases[] = {
      {"C:\\", "C:\\", "C:\\pick.plw"},
      {"C:\\Lists\\", "C:\\Lists", "C:\\Lists\\pick.plw"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    TOpenDialog open(platform_);
    open.SetInitialDir(c.set);
    EXPECT_EQ(open.InitialDir(), c.kept);
    ASSERT_TRUE(Run(open, {TypeAndConfirm("pick.plw", nullptr, main_, other_)}));
    EXPECT_EQ(open.FileName, c.chosen);
    EXPECT_EQ(open.InitialDir(), c.kept);
  }
  RemoveDirectoryA("C:\\Lists");
}

TEST_F(FileDialogTest, OpenAcceptsANameThatDoesNotExist) {
  const std::string dir = temp_.Path();
  TOpenDialog open(platform_);
  open.Filter = text::kFilterList;
  open.SetInitialDir(dir);
  std::vector<std::string> captions;
  ASSERT_TRUE(Run(open, {TypeAndConfirm("no-such-list.plw", nullptr, main_, other_)}, &captions));
  EXPECT_EQ(open.FileName, dir + "\\no-such-list.plw");
  EXPECT_EQ(captions.size(), 1u);  // no question about the missing file
}

TEST_F(FileDialogTest, SaveOverAnExistingFileAsksNothing) {
  const std::string dir = temp_.Path();
  const std::string existing = dir + "\\existing.plw";
  HANDLE f = CreateFileA(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  TSaveDialog save(platform_);
  save.DefaultExt = "plw";
  save.SetInitialDir(dir);
  std::vector<std::string> captions;
  ASSERT_TRUE(Run(save, {TypeAndConfirm("existing", nullptr, main_, other_)}, &captions));
  EXPECT_EQ(save.FileName, existing);
  EXPECT_EQ(captions.size(), 1u);  // no overwrite question
  DeleteFileA(existing.c_str());
}

struct LongNameCase {
  std::string fileName;
  std::string shown;  // what the dialog's name field holds
};

TEST_F(FileDialogTest, OverlongFileNameIsCutWholeCharactersInsteadOfOverrunning) {
  const LongNameCase cases[] = {
      {std::string(300, 'a'), std::string(259, 'a')},
      {std::string(258, 'a') + "表", std::string(258, 'a')},
      {std::string(257, 'a') + "表", std::string(257, 'a') + "表"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fileName.size());
    TOpenDialog open(platform_);
    open.FileName = c.fileName;
    open.SetInitialDir(temp_.Path());
    std::string shown;
    Answer cancel = TypeAndConfirm(nullptr, nullptr, main_, other_);
    EXPECT_FALSE(Run(open, {[&](HWND dialog) {
                       shown = TextOf(FileNameEdit(dialog));
                       cancel(dialog);
                     }}));
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(open.FileName, c.fileName);
  }
}

TEST(DialogRequest, FlagsAreExactlyHideReadOnlySizingExplorer) {
  EXPECT_EQ(win32::DialogFlags(ofHideReadOnly | ofEnableSizing),
            static_cast<DWORD>(OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER));
  const std::string filter = win32::DialogFilter("ポ|*.p|B|*.b", ActiveCodePage());
  EXPECT_EQ(filter, std::string("ポ\0*.p\0B\0*.b\0\0", 14));
}

// ---- Dropped files ----

HGLOBAL MakeDrop(const std::vector<std::string>& paths) {
  std::size_t size = sizeof(DROPFILES) + 1;
  for (const auto& p : paths) size += p.size() + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  char* out = reinterpret_cast<char*>(drop + 1);
  for (const auto& p : paths) {
    std::memcpy(out, p.c_str(), p.size() + 1);
    out += p.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

struct DropCase {
  const char* name;
  std::vector<std::string> paths;
};

TEST_F(Win32PlatformTest, DropGivesTheFirstPathWhole) {
  const std::string longPath = "C:\\" + std::string(293, 'd') + ".plw";
  ASSERT_EQ(longPath.size(), 300u);
  const DropCase cases[] = {
      {"one", {"C:\\Lists\\a.plw"}},
      {"two", {"C:\\first.plw", "C:\\second.exe"}},
      {"300 bytes", {longPath}},
      {"double-byte", {"C:\\表\\ソ.plw"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HGLOBAL drop = MakeDrop(c.paths);
    EXPECT_EQ(platform_.DropFirstPath(drop), c.paths.front());
    platform_.DropFinish(drop);
  }
}

TEST_F(Win32PlatformTest, DragAcceptFilesMarksTheMainWindow) {
  platform_.DragAcceptFiles(true);
  EXPECT_TRUE(GetWindowLongPtrA(main_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  platform_.DragAcceptFiles(false);
  EXPECT_FALSE(GetWindowLongPtrA(main_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

// ---- Help viewer ----

// A stand-in viewer window of the viewer's class, in this process: the real call talks to it.
struct HelpRequest {
  HWND from;
  unsigned command;
  long data;
  std::string file;
};
std::vector<HelpRequest>* gHelpRequests = nullptr;

LRESULT CALLBACK FakeViewerProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA && gHelpRequests) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    struct Wire {
      WORD size;
      WORD command;
      LONG data;
      LONG reserved;
      WORD ofsFilename;
      WORD ofsData;
    };
    const auto* wire = static_cast<const Wire*>(cds->lpData);
    const char* base = static_cast<const char*>(cds->lpData);
    gHelpRequests->push_back({reinterpret_cast<HWND>(wParam), wire->command, wire->data,
                              wire->ofsFilename ? base + wire->ofsFilename : ""});
    return TRUE;
  }
  return DefWindowProcA(w, msg, wParam, lParam);
}

TEST_F(Win32PlatformTest, HelpHandsTheViewerThePathAndFinderThenQuit) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = FakeViewerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "MS_WINHELP";
  ASSERT_TRUE(RegisterClassA(&wc));
  HWND viewer =
      CreateWindowExA(0, "MS_WINHELP", "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(viewer, nullptr);
  std::vector<HelpRequest> requests;
  gHelpRequests = &requests;

  platform_.CloseHelp();  // never opened: nothing to close
  EXPECT_TRUE(requests.empty());
  platform_.OpenHelpTopics("C:\\アプリ\\pallomar.hlp");
  platform_.CloseHelp();
  platform_.CloseHelp();  // already closed

  gHelpRequests = nullptr;
  DestroyWindow(viewer);
  UnregisterClassA("MS_WINHELP", wc.hInstance);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].from, main_);
  EXPECT_EQ(requests[0].command, static_cast<unsigned>(HELP_FINDER));
  EXPECT_EQ(requests[0].data, 0);
  EXPECT_EQ(requests[0].file, "C:\\アプリ\\pallomar.hlp");
  EXPECT_EQ(requests[1].command, static_cast<unsigned>(HELP_QUIT));
  EXPECT_EQ(requests[1].file, "C:\\アプリ\\pallomar.hlp");
}

// Where the help is a page for the browser, a page that cannot be opened must be told apart
// (the window names it in a box), and no help viewer may be told to quit at close.
TEST_F(Win32PlatformTest, DocumentThatCannotBeOpenedSaysWhyAndLeavesNoViewerToClose) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = FakeViewerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "MS_WINHELP";
  ASSERT_TRUE(RegisterClassA(&wc));
  HWND viewer =
      CreateWindowExA(0, "MS_WINHELP", "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  std::vector<HelpRequest> requests;
  gHelpRequests = &requests;

  const pallomar::test_support::TempFolder temp;
  const std::string unowned = temp.Path("ヘルプ.zq9x");  // a type no program is registered for
  HANDLE file = CreateFileA(unowned.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(platform_.OpenDocument(temp.Path("表\\pallomar-help.html")), OpenResult::NotFound);
  EXPECT_EQ(platform_.OpenDocument(unowned), OpenResult::NoProgram);
  platform_.CloseHelp();

  gHelpRequests = nullptr;
  DestroyWindow(viewer);
  UnregisterClassA("MS_WINHELP", wc.hInstance);
  EXPECT_TRUE(requests.empty()) << "a quit for a viewer that was never asked";
}

int CountProcesses(const char* exe) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, exe) == 0) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// Windows of another process named `exe` that are dialogs.
std::vector<HWND> ViewerQuestions() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != GetCurrentProcessId() && IsWindowVisible(w) && IsDialogWindow(w)) {
          reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST_F(Win32PlatformTest, RealViewerAsksAboutAMissingFileAndLeavesNoProcess) {
  const int before = CountProcesses("winhlp32.exe");
  ASSERT_EQ(before, 0);
  const pallomar::test_support::TempFolder temp;
  const std::string missing = temp.Path("pallomar.hlp");

  // The call waits inside the viewer's own question; a second thread answers it.
  struct Watch {
    volatile LONG stop = 0;
    std::vector<std::string> texts;
  } watch;
  auto watcher = [](LPVOID p) -> DWORD {
    auto* w = static_cast<Watch*>(p);
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (!w->stop && GetTickCount64() < deadline) {
      for (HWND q : ViewerQuestions()) {
        for (const Child& c : ChildrenOf(q)) {
          if (c.cls == "Static" && !c.text.empty()) w->texts.push_back(c.text);
        }
        PostMessageA(q, WM_COMMAND, IDNO, 0);
        w->stop = 1;
      }
      Sleep(100);
    }
    return 0;
  };
  HANDLE thread = CreateThread(nullptr, 0, watcher, &watch, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  platform_.OpenHelpTopics(missing);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  const std::vector<std::string>& questionTexts = watch.texts;
  platform_.CloseHelp();

  int left = -1;
  for (int i = 0; i < 100 && left != 0; ++i) {
    left = CountProcesses("winhlp32.exe");
    if (left) Sleep(100);
  }
  EXPECT_EQ(left, 0);
  ASSERT_FALSE(questionTexts.empty());
  bool named = false;
  for (const auto& t : questionTexts) named = named || t.find("pallomar.hlp") != std::string::npos;
  EXPECT_TRUE(named) << questionTexts.front();
}

// ---- Process facts ----

TEST_F(Win32PlatformTest, TitleAndPathsComeFromTheRunningExecutable) {
  EXPECT_EQ(platform_.ApplicationTitle(), "platform_win32_tests");
  const std::string exe = platform_.ExecutablePath();
  ASSERT_GT(exe.size(), 4u);
  EXPECT_EQ(exe.substr(exe.size() - std::strlen("platform_win32_tests.exe")),
            "platform_win32_tests.exe");
  EXPECT_EQ(exe[1], ':');
  EXPECT_NE(platform_.CommandLine().find("platform_win32_tests"), std::string::npos);
}

TEST_F(Win32PlatformTest, WindowsFolderReportsTheSizeNeededWhenTooSmall) {
  char big[MAX_PATH] = {};
  const unsigned length = platform_.GetWindowsFolder(big, sizeof(big));
  ASSERT_GT(length, 3u);
  EXPECT_EQ(length, std::strlen(big));
  char small[3] = {'x', 'x', 'x'};
  EXPECT_EQ(platform_.GetWindowsFolder(small, sizeof(small)), length + 1);
}

}  // namespace
}  // namespace pallomar::platform
