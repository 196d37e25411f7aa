// Form1 end to end in this process: real controls, real messages, what the user would see.
#include "window_fixture.h"
// The fixture brings windows.h, which the common controls header needs first.
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/win32_platform.h"
#include "texts.h"

namespace pallomar::win32::testing {
namespace {

using layout::Ctl;

const std::vector<Entry> kThree = {
    {"c:\\tools\\edit.exe", "-n", "c:\\tools", "0", "1"},
    {"c:\\ツール\\表.exe", "$dummy$", "$dummy$", "1", "0"},
    {"d:\\docs\\readme.txt", "$dummy$", "d:\\docs", "2", "0"},
};

// --- frame and layout ---

TEST_F(WindowTest, FrameOffersNoMaximiseAndKeepsItsCaption) {
  char cls[64] = {};
  GetClassNameA(window->Handle(), cls, sizeof cls);
  EXPECT_STREQ(cls, "TForm1");
  EXPECT_EQ(TextOf(window->Handle()), text::kAppCaption);
  const LONG style = GetWindowLongA(window->Handle(), GWL_STYLE);
  EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
  EXPECT_NE(style & WS_THICKFRAME, 0);
  EXPECT_NE(style & WS_SYSMENU, 0);
  HMENU sys = GetSystemMenu(window->Handle(), FALSE);
  EXPECT_EQ(GetMenuState(sys, SC_MAXIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_NE(GetMenuState(sys, SC_MINIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));

  ShowForm();
  SendMessageA(window->Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  Pump();
  EXPECT_FALSE(IsZoomed(window->Handle())) << "the system menu's command must be refused";
}

TEST_F(WindowTest, MaximisedShowCommandStillMaximises) {
  ShowForm(SW_SHOWMAXIMIZED);
  EXPECT_TRUE(IsZoomed(window->Handle()));
  EXPECT_EQ(platform.Count(CallKind::DragAccept), 1u) << "FormShow ran once";
}

TEST_F(WindowTest, MinimisedShowCommandMinimisesTheApplicationAfterFormShow) {
  ShowForm(SW_SHOWMINNOACTIVE);
  EXPECT_TRUE(IsIconic(window->AppHandle()));
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
  EXPECT_EQ(platform.Count(CallKind::DragAccept), 1u) << "FormShow ran";
  // Restoring from the taskbar entry brings Form1 back.
  SendMessageA(window->AppHandle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  Pump();
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_FALSE(IsIconic(window->AppHandle()));
}

TEST_F(WindowTest, OtherShowCommandsShowTheWindowInsteadOfMinimisingIt) {
  for (const int command :
       {SW_SHOWMINIMIZED, SW_MINIMIZE, SW_SHOW, SW_SHOWNOACTIVATE, SW_SHOWDEFAULT, SW_RESTORE}) {
    SCOPED_TRACE(command);
    CreateWindowFresh();
    if (HasFatalFailure()) return;
    ShowForm(command);
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    EXPECT_FALSE(IsIconic(window->Handle()));
    EXPECT_FALSE(IsIconic(window->AppHandle()));
    EXPECT_FALSE(IsZoomed(window->Handle()));
    EXPECT_EQ(platform.Count(CallKind::DragAccept), 1u) << "FormShow ran once";
  }
}

TEST_F(WindowTest, TaskbarEntryCarriesTheApplicationTitle) {
  platform.applicationTitle = "Pallomar";
  ShowForm();
  HWND owner = GetWindow(window->Handle(), GW_OWNER);
  ASSERT_EQ(owner, window->AppHandle());
  EXPECT_EQ(GetWindow(owner, GW_OWNER), nullptr);
  EXPECT_TRUE(IsWindowVisible(owner));
  EXPECT_EQ(GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(TextOf(owner), "Pallomar");
  // Minimising Form1 goes through the taskbar entry.
  SendMessageA(window->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Pump();
  EXPECT_TRUE(IsIconic(owner));
  EXPECT_FALSE(IsWindowVisible(window->Handle()));
}

TEST_F(WindowTest, ControlsSitWhereTheLayoutPutsThem) {
  const layout::Scale& s = window->Scale();
  RECT outer{};
  GetWindowRect(window->Handle(), &outer);
  EXPECT_EQ(outer.right - outer.left, s.Apply(481));
  EXPECT_EQ(outer.bottom - outer.top, s.Apply(359));
  for (Ctl id : {Ctl::Edit1, Ctl::Button1, Ctl::Edit2, Ctl::Edit3, Ctl::RadioGroup1, Ctl::ListBox1,
                 Ctl::Buttonup, Ctl::Buttonerase, Ctl::Buttondown, Ctl::Buttonadd, Ctl::Buttondel,
                 Ctl::Buttoninfo, Ctl::CheckBox1}) {
    const layout::Rect want = s.Apply(layout::Def(id).rect);
    const RECT got = ClientRectOf(Wnd(id));
    EXPECT_EQ(got.left, want.left) << layout::Def(id).name;
    EXPECT_EQ(got.top, want.top) << layout::Def(id).name;
    EXPECT_EQ(got.right - got.left, want.width) << layout::Def(id).name;
    EXPECT_EQ(got.bottom - got.top, want.height) << layout::Def(id).name;
  }
  // At the start size every control is in view: no scroll bars.
  RECT client{};
  GetClientRect(window->Handle(), &client);
  const layout::Extent e = layout::ControlsExtent(s);
  EXPECT_GE(client.right, e.right);
  EXPECT_GE(client.bottom, e.bottom);
  const LONG style = GetWindowLongA(window->Handle(), GWL_STYLE);
  EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL), 0);
}

// Run as it is, the prefix has Wine's classic frame. scripts/tests/frame_metrics_test.sh runs
// it again in a prefix of its own with thicker frames (PALLOMAR_EXPECT_FRAME=thick) and other
// densities (PALLOMAR_EXPECT_DPI).
TEST_F(WindowTest, OpensWithEveryControlInViewWhateverTheFrame) {
  const char* frameSetting = std::getenv("PALLOMAR_EXPECT_FRAME");
  const bool thick = frameSetting != nullptr && std::string(frameSetting) == "thick";
  if (const char* dpi = std::getenv("PALLOMAR_EXPECT_DPI")) {
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), std::atoi(dpi)) << "density not in effect";
    ReleaseDC(nullptr, screen);
  }
  ShowForm();
  HWND form = window->Handle();
  const layout::Scale& s = window->Scale();
  RECT outer{};
  RECT client{};
  GetWindowRect(form, &outer);
  GetClientRect(form, &client);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  std::printf("opened at %d x %d, client area %d x %d, scale %d/%d\n", width, height,
              static_cast<int>(client.right), static_cast<int>(client.bottom), s.num, s.den);
  if (thick) {
    // The frame really is thicker than the classic one, and the window grew by just that.
    EXPECT_GT(width - client.right, 8);
    EXPECT_GT(height - client.bottom, 46);
    EXPECT_EQ(client.right, s.Apply(473));
    EXPECT_EQ(client.bottom, s.Apply(313));
  } else {
    // Exactly as before: 4-pixel borders, 19-pixel title and menu bars around the controls.
    EXPECT_EQ(width, s.Apply(481));
    EXPECT_EQ(height, s.Apply(359));
    EXPECT_EQ(client.right, width - 8);
    EXPECT_EQ(client.bottom, height - 46);
  }
  EXPECT_EQ(GetWindowLongA(form, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0);
  for (const layout::ControlDef& c : layout::Controls()) {
    if (c.kind == layout::Kind::Bevel) continue;  // follows the client width
    const RECT r = ClientRectOf(Wnd(c.id));
    EXPECT_TRUE(IsWindowVisible(Wnd(c.id))) << c.name;
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
        << c.name << " at " << r.left << "," << r.top << " - " << r.right << "," << r.bottom
        << " outside " << client.right << " x " << client.bottom;
  }

  // Made 40 pixels smaller, the window scrolls again.
  SetWindowPos(form, nullptr, 0, 0, width - 40, height - 40, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  const LONG style = GetWindowLongA(form, GWL_STYLE);
  EXPECT_NE(style & WS_HSCROLL, 0);
  EXPECT_NE(style & WS_VSCROLL, 0);
}

TEST_F(WindowTest, LabelsAreSizedToTheirTextAndRadioItemsShareOneRow) {
  HDC dc = GetDC(window->Handle());
  HGDIOBJ old = SelectObject(dc, window->Font());
  for (Ctl id : {Ctl::Label1, Ctl::Label2, Ctl::Label3, Ctl::Label4, Ctl::Label5}) {
    SIZE size{};
    const char* caption = layout::Def(id).caption;
    GetTextExtentPoint32A(dc, caption, lstrlenA(caption), &size);
    const RECT r = ClientRectOf(Wnd(id));
    EXPECT_EQ(r.right - r.left, size.cx) << layout::Def(id).name;
    EXPECT_EQ(TextOf(Wnd(id)), caption);
  }
  SelectObject(dc, old);
  ReleaseDC(window->Handle(), dc);

  const RECT group = ClientRectOf(Wnd(Ctl::RadioGroup1));
  int previousRight = group.left;
  for (int i = 0; i < 3; ++i) {
    const RECT r = ClientRectOf(window->RadioButton(i));
    EXPECT_EQ(r.top, ClientRectOf(window->RadioButton(0)).top);
    EXPECT_GE(r.left, previousRight);
    EXPECT_LE(r.right, group.right);
    EXPECT_GE(r.top, group.top);
    EXPECT_LE(r.bottom, group.bottom);
    previousRight = r.right;
    EXPECT_EQ(TextOf(window->RadioButton(i)), layout::RadioItems()[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(window->RadioIndex(), 0);
  EXPECT_TRUE(window->CheckBoxChecked());
}

TEST_F(WindowTest, TabRunsThroughTheVisibleControlsInLayoutOrder) {
  ShowForm();
  std::vector<HWND> order = {Wnd(Ctl::Edit1),     Wnd(Ctl::Button1),      Wnd(Ctl::Edit2),
                             Wnd(Ctl::Edit3),     window->RadioButton(0), Wnd(Ctl::ListBox1),
                             Wnd(Ctl::Buttonup),  Wnd(Ctl::Buttonerase),  Wnd(Ctl::Buttondown),
                             Wnd(Ctl::Buttonadd), Wnd(Ctl::Buttondel),    Wnd(Ctl::Buttoninfo),
                             Wnd(Ctl::CheckBox1)};
  HWND at = order.front();
  for (std::size_t i = 1; i <= order.size(); ++i) {
    at = GetNextDlgTabItem(window->Handle(), at, FALSE);
    EXPECT_EQ(at, order[i % order.size()]) << "step " << i;
  }
}

TEST_F(WindowTest, DialogKeysMoveFocusButEnterAndEscRunNothing) {
  ShowForm();
  auto key = [&](HWND target, WPARAM vk) {
    MSG msg{target, WM_KEYDOWN, vk, 0, 0, {}};
    EXPECT_TRUE(IsDialogMessageA(window->Handle(), &msg));
    MSG up{target, WM_KEYUP, vk, 0, 0, {}};
    IsDialogMessageA(window->Handle(), &up);
    Pump();
  };
  SetFocus(Wnd(Ctl::Edit1));
  key(Wnd(Ctl::Edit1), VK_TAB);
  EXPECT_EQ(GetFocus(), Wnd(Ctl::Button1));
  SetFocus(Wnd(Ctl::Edit2));
  key(Wnd(Ctl::Edit2), VK_RETURN);
  key(Wnd(Ctl::Edit2), VK_ESCAPE);
  EXPECT_TRUE(IsWindow(platform.window)) << "Esc must not close the editor";
  EXPECT_TRUE(platform.Effects().size() == 1u) << "only FormShow's drop acceptance";
  // The arrow keys stay inside RadioGroup1's items.
  SetFocus(window->RadioButton(0));
  key(window->RadioButton(0), VK_RIGHT);
  EXPECT_EQ(GetFocus(), window->RadioButton(1));
  EXPECT_EQ(window->RadioIndex(), 1);
}

TEST_F(WindowTest, FirstActivationFocusesEdit1) {
  ShowForm();
  SetActiveWindow(window->Handle());
  Pump();
  EXPECT_EQ(GetFocus(), Wnd(Ctl::Edit1));
}

TEST_F(WindowTest, MenuShowsItsCaptionsWithAccessKeys) {
  HMENU bar = GetMenu(window->Handle());
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  auto caption = [](HMENU m, int pos) {
    char buffer[128] = {};
    GetMenuStringA(m, static_cast<UINT>(pos), buffer, sizeof buffer, MF_BYPOSITION);
    return std::string(buffer);
  };
  EXPECT_EQ(caption(bar, 0), text::kMenuFile);
  EXPECT_EQ(caption(bar, 1), text::kMenuHelp);
  HMENU file = GetSubMenu(bar, 0);
  HMENU help = GetSubMenu(bar, 1);
  const std::vector<std::pair<HMENU, std::vector<const char*>>> menus = {
      {file, {text::kMenuNew, text::kMenuOpen, text::kMenuSaveAs, text::kMenuExit}},
      {help, {text::kMenuHelpTopics, text::kMenuAbout}},
  };
  for (const auto& [menu, captions] : menus) {
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(captions.size()));
    for (std::size_t i = 0; i < captions.size(); ++i) {
      EXPECT_EQ(caption(menu, static_cast<int>(i)), captions[i]);
      EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) &
                    (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR),
                0u);
    }
  }
}

TEST_F(WindowTest, OnlyTheSixSmallButtonsHaveHints) {
  HWND tip = window->Tooltip();
  ASSERT_NE(tip, nullptr);
  EXPECT_NE(GetWindowLongA(tip, GWL_STYLE) & TTS_ALWAYSTIP, 0);
  EXPECT_EQ(SendMessageA(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 500);
  EXPECT_EQ(SendMessageA(tip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 2500);
  EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 6);
  for (const layout::ControlDef& c : layout::Controls()) {
    char buffer[256] = {};
    TTTOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = window->Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(Wnd(c.id));
    ti.lpszText = buffer;
    const bool has = SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
    EXPECT_EQ(has, c.hint != nullptr) << c.name;
    if (has && c.hint != nullptr) {
      SendMessageA(tip, TTM_GETTEXTA, sizeof buffer, reinterpret_cast<LPARAM>(&ti));
      EXPECT_STREQ(buffer, c.hint) << c.name;
    }
  }
}

TEST_F(WindowTest, EraseButtonAloneIsBold) {
  for (Ctl id : {Ctl::Buttonerase, Ctl::Buttonup, Ctl::Button1}) {
    auto font = reinterpret_cast<HFONT>(SendMessageA(Wnd(id), WM_GETFONT, 0, 0));
    LOGFONTA lf{};
    ASSERT_NE(GetObjectA(font, sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfWeight >= FW_BOLD, id == Ctl::Buttonerase) << layout::Def(id).name;
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_STREQ(lf.lfFaceName, text::kFontName);
  }
}

// --- scrolling ---

TEST_F(WindowTest, ShrinkingBelowTheControlsBringsScrollBarsAndBevelFollowsTheWidth) {
  ShowForm();
  HWND form = window->Handle();
  const RECT startEdit = ClientRectOf(Wnd(Ctl::Edit1));
  SetWindowPos(form, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  LONG style = GetWindowLongA(form, GWL_STYLE);
  EXPECT_NE(style & WS_HSCROLL, 0);
  EXPECT_NE(style & WS_VSCROLL, 0);
  RECT client{};
  GetClientRect(form, &client);
  RECT bevel = ClientRectOf(Wnd(Ctl::Bevel1));
  EXPECT_EQ(bevel.left, 0);
  EXPECT_EQ(bevel.right, client.right);

  // Scrolling down moves the controls up by the same amount; Edit1 did not move otherwise.
  SendMessageA(form, WM_VSCROLL, SB_PAGEDOWN, 0);
  Pump();
  const int pos = GetScrollPos(form, SB_VERT);
  EXPECT_GT(pos, 0);
  EXPECT_EQ(ClientRectOf(Wnd(Ctl::Edit1)).top, startEdit.top - pos);
  EXPECT_EQ(ClientRectOf(Wnd(Ctl::Edit1)).left, startEdit.left);

  // Back to a size that holds everything: no bars, everything at its place again.
  SetWindowPos(form, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  style = GetWindowLongA(form, GWL_STYLE);
  EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL), 0);
  EXPECT_EQ(ClientRectOf(Wnd(Ctl::Edit1)).top, startEdit.top);
  GetClientRect(form, &client);
  bevel = ClientRectOf(Wnd(Ctl::Bevel1));
  EXPECT_EQ(bevel.right - bevel.left, client.right);
  EXPECT_EQ(bevel.top, 0);
}

// --- start-up, file commands, drops ---

TEST_F(WindowTest, StartWithAListFileShowsItsPathAndEntries) {
  TempFolder dir;
  const std::string path = WriteList(dir.Path("start list.plw"), kThree);
  platform.commandLine = "pallomar.exe \"" + path + "\"";
  ShowForm();
  EXPECT_EQ(TextOf(window->Handle()), std::string(text::kAppCaptionPrefix) + path);
  EXPECT_EQ(ListCount(), 3);
  EXPECT_EQ(ListSel(), -1);
  EXPECT_EQ(ListPaths(),
            (std::vector<std::string>{kThree[0].path, kThree[1].path, kThree[2].path}));
  EXPECT_EQ(window->Form().OpenDialog1.Title, text::kOpenDialog1Title);
  EXPECT_EQ(platform.Count(CallKind::ErrorBox), 0u);
}

// What the window holds and whether it is on the screen when it first becomes visible.
class FirstShowWatch {
 public:
  explicit FirstShowWatch(MainWindow& window) : window_(window) {
    self_ = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, &Hook, nullptr, GetCurrentThreadId());
  }
  ~FirstShowWatch() {
    UnhookWindowsHookEx(hook_);
    self_ = nullptr;
  }
  bool seen = false;
  int rows = -1;
  std::string caption;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && self_ != nullptr && !self_->seen &&
        m->hwnd == self_->window_.Handle() && m->message == WM_SHOWWINDOW && m->wParam != FALSE) {
      self_->seen = true;
      self_->rows =
          static_cast<int>(SendMessageA(self_->window_.Control(Ctl::ListBox1), LB_GETCOUNT, 0, 0));
      self_->caption = TextOf(self_->window_.Handle());
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline FirstShowWatch* self_ = nullptr;
  MainWindow& window_;
  HHOOK hook_ = nullptr;
};

TEST_F(WindowTest, CommandLineListIsAlreadyInTheWindowWhenItFirstAppears) {
  TempFolder dir;
  const std::string path = WriteList(dir.Path("first.plw"), kThree);
  platform.commandLine = "pallomar.exe " + path;
  FirstShowWatch watch(*window);
  ShowForm();
  ASSERT_TRUE(watch.seen);
  EXPECT_EQ(watch.rows, 3) << "an empty window must not show first";
  EXPECT_EQ(watch.caption, std::string(text::kAppCaptionPrefix) + path);
}

TEST_F(WindowTest, StartBoxesComeUpBeforeTheWindowAtTheirOffsetsFromIt) {
  TempFolder dir;
  const std::string badHeader = dir.Path("bad.plw");
  {
    HANDLE f = CreateFileA(badHeader.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(f, "99\r\n", 4, &written, nullptr);
    CloseHandle(f);
  }
  struct Case {
    std::string commandLine;
    const char* text;
    int dx;
  };
  const Case cases[] = {
      {"pallomar.exe c:\\no\\such\\list.plw", text::kMsgFileNotFound, 135},
      {"pallomar.exe " + badHeader, text::kMsgCannotRead, 120},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CreateWindowFresh();
    if (HasFatalFailure()) return;
    platform.commandLine = c.commandLine;
    bool visibleDuringBox = true;
    platform.onBox = [&](const Call&) { visibleDuringBox = IsWindowVisible(window->Handle()); };
    ShowForm();
    platform.onBox = nullptr;
    const auto boxes = platform.CallsOf(CallKind::MsgBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_FALSE(visibleDuringBox) << "the box comes before the window";
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    // Showing does not move the window, so the box sat where it belongs.
    const ScreenPoint corner = window->WindowTopLeft();
    EXPECT_EQ(boxes[0].x, corner.x + c.dx);
    EXPECT_EQ(boxes[0].y, corner.y + 120);
    EXPECT_EQ(TextOf(window->Handle()), text::kAppCaption);
  }
}

TEST_F(WindowTest, UnreadableStartFileShowsTheWindowOnlyAfterTheErrorBox) {
  TempFolder dir;
  const std::string path = WriteList(dir.Path("locked.plw"), kThree);
  // Held without sharing, so the reader's open fails.
  HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  platform.commandLine = "pallomar.exe " + path;
  bool visibleDuringBox = true;
  platform.onError = [&] { visibleDuringBox = IsWindowVisible(window->Handle()); };
  ShowForm();
  platform.onError = nullptr;
  CloseHandle(lock);
  EXPECT_EQ(platform.Count(CallKind::ErrorBox), 1u);
  EXPECT_FALSE(visibleDuringBox) << "the error box comes before the window";
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  EXPECT_EQ(TextOf(window->Handle()), text::kAppCaption);
  EXPECT_EQ(window->Form().OpenDialog1.Title, "");
  // The program goes on: a later command still works.
  Type(Ctl::Edit1, "c:\\a.exe");
  Click(Ctl::Buttonadd);
  EXPECT_EQ(ListCount(), 1);
}

// --- what screen readers hear ---

std::vector<std::pair<DWORD, LONG>> g_listEvents;
HWND g_eventList = nullptr;

void CALLBACK RecordListEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD,
                              DWORD) {
  if (hwnd == g_eventList && object == OBJID_CLIENT) g_listEvents.emplace_back(event, child);
}

TEST_F(WindowTest, EveryListEditAnnouncesAReorderAndMovesAnnounceTheSelection) {
  TempFolder dir;
  const std::string file = WriteList(dir.Path("e.plw"), kThree);
  ShowForm();
  g_eventList = List();
  HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_SELECTION, nullptr, &RecordListEvent,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  using Events = std::vector<std::pair<DWORD, LONG>>;
  const std::pair<DWORD, LONG> reorder{EVENT_OBJECT_REORDER, CHILDID_SELF};
  struct Case {
    const char* what;
    std::function<void()> act;
    Events want;
  };
  const Case cases[] = {
      {"load",
       [&] {
         SendMessageA(window->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file})),
                      0);
       },
       {reorder, reorder}},  // emptied, then filled
      {"add",
       [&] {
         Type(Ctl::Edit1, "c:\\d.exe");
         Click(Ctl::Buttonadd);
       },
       {reorder}},
      {"select", [&] { Select(2); }, {{EVENT_OBJECT_SELECTION, 3}}},
      {"move up", [&] { Click(Ctl::Buttonup); }, {reorder, {EVENT_OBJECT_SELECTION, 2}}},
      {"move down", [&] { Click(Ctl::Buttondown); }, {reorder, {EVENT_OBJECT_SELECTION, 3}}},
      {"take out", [&] { Click(Ctl::Buttondel); }, {reorder}},
      {"erase",
       [&] {
         Select(0);
         Click(Ctl::Buttonerase);
       },
       {{EVENT_OBJECT_SELECTION, 1}, reorder}},
      {"clear", [&] { Menu("New1"); }, {reorder}},
  };
  for (const Case& c : cases) {
    g_listEvents.clear();
    c.act();
    Pump();
    EXPECT_EQ(g_listEvents, c.want) << c.what;
  }
  UnhookWinEvent(hook);
}

TEST_F(WindowTest, AccessibleObjectHeldPastTheWindowAnswersDisconnected) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ShowForm();
  IAccessible* acc = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(List(), static_cast<DWORD>(OBJID_CLIENT),
                                       __uuidof(IAccessible), reinterpret_cast<void**>(&acc)),
            S_OK);
  long count = -1;
  EXPECT_EQ(acc->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 0);
  window.reset();
  Pump();
  EXPECT_EQ(acc->get_accChildCount(&count), RPC_E_DISCONNECTED);
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  BSTR name = nullptr;
  EXPECT_EQ(acc->get_accName(self, &name), RPC_E_DISCONNECTED);
  EXPECT_EQ(name, nullptr);
  acc->Release();
  if (SUCCEEDED(com)) CoUninitialize();
}

TEST_F(WindowTest, DroppedFilesLoadAListOrFillEdit1) {
  TempFolder dir;
  const std::string list = WriteList(dir.Path("DROP.PLW"), kThree);
  ShowForm();
  struct Case {
    std::vector<std::string> paths;
    std::string caption;
    int count;
    std::string edit1;
  };
  const std::string loaded = std::string(text::kAppCaptionPrefix) + list;
  const Case cases[] = {
      {{list, "c:\\other.exe"}, loaded, 3, ""},
      {{"C:\\Tools\\Run.EXE", list}, loaded, 3, "C:\\Tools\\Run.EXE"},
      {{"c:\\notes\\list.plw.txt"}, loaded, 3, "c:\\notes\\list.plw.txt"},
  };
  for (const Case& c : cases) {
    const std::size_t finished = platform.Count(CallKind::DropFinish);
    const LRESULT result = SendMessageA(window->Handle(), WM_DROPFILES,
                                        reinterpret_cast<WPARAM>(MakeDrop(c.paths)), 0);
    Pump();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(platform.Count(CallKind::DropFinish), finished + 1) << c.paths[0];
    EXPECT_EQ(TextOf(window->Handle()), c.caption) << c.paths[0];
    EXPECT_EQ(ListCount(), c.count) << c.paths[0];
    EXPECT_EQ(TextOf(Wnd(Ctl::Edit1)), c.edit1) << c.paths[0];
  }
}

TEST_F(WindowTest, ExitRunsFormCloseAndEndsTheLoop) {
  ShowForm();
  Menu("Exit1");
  EXPECT_FALSE(IsWindow(platform.window));
  EXPECT_TRUE(quitPosted);
  const auto accepts = platform.CallsOf(CallKind::DragAccept);
  ASSERT_EQ(accepts.size(), 2u);
  EXPECT_TRUE(accepts[0].accept);
  EXPECT_FALSE(accepts[1].accept);
}

TEST_F(WindowTest, CloseBoxTakesTheSameRoadAsExit) {
  ShowForm();
  SendMessageA(window->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  EXPECT_FALSE(IsWindow(platform.window));
  EXPECT_TRUE(quitPosted);
  EXPECT_EQ(platform.Count(CallKind::HelpClose), 1u);
}

TEST_F(WindowTest, NewMenuEmptiesListPanelAndCaption) {
  TempFolder dir;
  platform.commandLine = "pallomar.exe " + WriteList(dir.Path("n.plw"), kThree);
  ShowForm();
  Type(Ctl::Edit2, "-x");
  SendMessageA(window->RadioButton(2), BM_CLICK, 0, 0);
  Menu("New1");
  EXPECT_EQ(ListCount(), 0);
  EXPECT_EQ(TextOf(window->Handle()), text::kAppCaption);
  EXPECT_EQ(TextOf(Wnd(Ctl::Edit2)), "");
  EXPECT_EQ(window->RadioIndex(), 0);
}

TEST_F(WindowTest, AboutBoxSitsAtItsOffsetFromTheWindow) {
  ShowForm();
  SetWindowPos(window->Handle(), nullptr, 37, 53, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Menu("About1");
  const auto boxes = platform.CallsOf(CallKind::MsgBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].x, 37 + 150);
  EXPECT_EQ(boxes[0].y, 53 + 120);
  EXPECT_EQ(boxes[0].text, text::kAboutText);
}

// --- entry panel through the real buttons ---

TEST_F(WindowTest, AddTakeOutEraseAndMoveThroughTheButtons) {
  ShowForm();
  for (const char* path : {"c:\\a.exe", "c:\\b.exe", "c:\\c.exe"}) {
    Type(Ctl::Edit1, path);
    Click(Ctl::Buttonadd);
  }
  EXPECT_EQ(ListCount(), 3);
  EXPECT_EQ(TextOf(Wnd(Ctl::Edit1)), "");

  Select(2);
  Click(Ctl::Buttonup);
  EXPECT_EQ(ListPaths(), (std::vector<std::string>{"c:\\a.exe", "c:\\c.exe", "c:\\b.exe"}));
  EXPECT_EQ(ListSel(), 1);
  Click(Ctl::Buttonup);
  Click(Ctl::Buttonup);  // already first: silent
  EXPECT_EQ(ListSel(), 0);
  EXPECT_EQ(ListPaths()[0], "c:\\c.exe");
  Click(Ctl::Buttondown);
  EXPECT_EQ(ListSel(), 1);
  EXPECT_EQ(platform.Count(CallKind::Beep), 0u);

  Click(Ctl::Buttondel);  // takes c:\c.exe out into the panel
  EXPECT_EQ(TextOf(Wnd(Ctl::Edit1)), "c:\\c.exe");
  EXPECT_EQ(ListCount(), 2);
  EXPECT_EQ(ListSel(), -1);

  Select(0);
  Click(Ctl::Buttonerase);
  EXPECT_EQ(ListPaths(), (std::vector<std::string>{"c:\\b.exe"}));
  EXPECT_EQ(ListCount(), 1);
  Click(Ctl::Buttonerase);  // nothing selected
  EXPECT_EQ(platform.Count(CallKind::Beep), 1u);
}

TEST_F(WindowTest, DoubleClickOnARowShowsThatEntrysDetails) {
  TempFolder dir;
  platform.commandLine = "pallomar.exe " + WriteList(dir.Path("d.plw"), kThree);
  ShowForm();
  RECT row{};
  SendMessageA(List(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  const LPARAM at = MAKELPARAM(row.left + 5, row.top + 2);
  SendMessageA(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(List(), WM_LBUTTONUP, 0, at);
  SendMessageA(List(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageA(List(), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(ListSel(), 1);
  const auto boxes = platform.CallsOf(CallKind::MsgBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(kThree[1].path), std::string::npos);
  const ScreenPoint corner = window->WindowTopLeft();
  EXPECT_EQ(boxes[0].x, corner.x + 40);
  EXPECT_EQ(boxes[0].y, corner.y + 70);

  // The details button on the same selection gives the same box.
  Click(Ctl::Buttoninfo);
  ASSERT_EQ(platform.Count(CallKind::MsgBox), 2u);
  EXPECT_EQ(platform.CallsOf(CallKind::MsgBox)[1].text, boxes[0].text);
}

TEST_F(WindowTest, KeyboardMovesTheListSelection) {
  TempFolder dir;
  platform.commandLine = "pallomar.exe " + WriteList(dir.Path("k.plw"), kThree);
  ShowForm();
  SetFocus(List());
  for (int i = 0; i < 2; ++i) {
    SendMessageA(List(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(List(), WM_KEYUP, VK_DOWN, 0);
  }
  EXPECT_EQ(ListSel(), 1);
  SendMessageA(List(), WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(ListSel(), 2);
}

TEST_F(WindowTest, PlatformErrorInAHandlerEndsInTheErrorBoxAndTheWindowGoesOn) {
  ShowForm();
  platform.onBox = [](const Call&) { throw std::runtime_error("box failed"); };
  Menu("About1");
  platform.onBox = nullptr;
  const auto errors = platform.CallsOf(CallKind::ErrorBox);
  ASSERT_EQ(errors.size(), 1u);
  // The library's English never reaches the box.
  EXPECT_EQ(errors[0].text, text::kUnexpectedError);
  EXPECT_TRUE(IsWindow(window->Handle()));
  Type(Ctl::Edit1, "c:\\a.exe");
  Click(Ctl::Buttonadd);
  EXPECT_EQ(ListCount(), 1);
}

// --- undo and redo keys ---

// Presses Ctrl (and Shift) with `vk` on `target` and lets the program's own loop route it.
void PressWithCtrl(MainWindow& window, HWND target, WPARAM vk, bool shift = false) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  PostMessageA(target, WM_KEYDOWN, vk, 1);
  PostMessageA(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) window.Route(msg);
  }
  keys[VK_CONTROL] = 0;
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

TEST_F(WindowTest, CtrlZThreeTimesBringsBackTheFirstListAndCtrlYEmptiesItAgain) {
  TempFolder dir;
  const std::string first = WriteList(dir.Path("first.plw"), kThree);
  const std::string second = WriteList(dir.Path("second.plw"), {kThree[2]});
  platform.commandLine = "pallomar.exe \"" + first + "\"";
  ShowForm();
  const std::string firstCaption = std::string(text::kAppCaptionPrefix) + first;
  const std::vector<std::string> firstPaths = ListPaths();
  Select(1);
  Click(Ctl::Buttonerase);
  SendMessageA(window->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({second})), 0);
  Pump();
  Menu("New1");
  ASSERT_EQ(ListCount(), 0);
  ASSERT_EQ(platform.Count(CallKind::Beep), 0u);

  // The keys work wherever the focus is: the list, a button, the window itself.
  for (HWND at : {List(), Wnd(Ctl::Buttonadd), window->Handle()}) PressWithCtrl(*window, at, 'Z');
  EXPECT_EQ(ListPaths(), firstPaths);
  EXPECT_EQ(ListCount(), 3);
  EXPECT_EQ(TextOf(window->Handle()), firstCaption);
  EXPECT_EQ(ListSel(), 1) << "the erased row is selected again, as it was before the erase";
  EXPECT_EQ(platform.Count(CallKind::Beep), 0u);

  // The load at start-up is no step: a fourth Ctrl+Z beeps and changes nothing.
  PressWithCtrl(*window, List(), 'Z');
  EXPECT_EQ(platform.Count(CallKind::Beep), 1u);
  EXPECT_EQ(ListPaths(), firstPaths);

  PressWithCtrl(*window, List(), 'Y');
  EXPECT_EQ(ListCount(), 2);
  PressWithCtrl(*window, Wnd(Ctl::Edit2), 'Z', true);  // Ctrl+Shift+Z, also in an edit
  EXPECT_EQ(TextOf(window->Handle()), std::string(text::kAppCaptionPrefix) + second);
  PressWithCtrl(*window, List(), 'Y');
  EXPECT_EQ(ListCount(), 0);
  EXPECT_EQ(TextOf(window->Handle()), text::kAppCaption);
  PressWithCtrl(*window, List(), 'Y');
  EXPECT_EQ(platform.Count(CallKind::Beep), 2u) << "nothing left to make again";
  EXPECT_TRUE(platform.CallsOf(CallKind::MsgBox).empty());
}

TEST_F(WindowTest, CtrlZInsideEdit1UndoesOnlyItsTyping) {
  ShowForm();
  Type(Ctl::Edit1, "c:\\a.exe");
  Click(Ctl::Buttonadd);
  Type(Ctl::Edit1, "c:\\x");
  SetFocus(Wnd(Ctl::Edit1));
  SendMessageA(Wnd(Ctl::Edit1), EM_SETSEL, 4, 4);
  for (char c : std::string("yz")) SendMessageA(Wnd(Ctl::Edit1), WM_CHAR, c, 1);
  ASSERT_EQ(TextOf(Wnd(Ctl::Edit1)), "c:\\xyz");
  PressWithCtrl(*window, Wnd(Ctl::Edit1), 'Z');
  EXPECT_EQ(TextOf(Wnd(Ctl::Edit1)), "c:\\x") << "the edit's own undo";
  EXPECT_EQ(ListCount(), 1) << "the add stays";
  EXPECT_EQ(platform.Count(CallKind::Beep), 0u);
  // Outside the edit the same key takes the add back, and the typed path returns.
  PressWithCtrl(*window, List(), 'Z');
  EXPECT_EQ(ListCount(), 0);
  EXPECT_EQ(TextOf(Wnd(Ctl::Edit1)), "c:\\a.exe");
}

// --- the virtual list's painting ---

TEST_F(WindowTest, ListPaintsTheModelsPathsWithSelectionColours) {
  TempFolder dir;
  platform.commandLine = "pallomar.exe " + WriteList(dir.Path("p.plw"), kThree);
  ShowForm();
  Select(1);
  RECT client{};
  GetClientRect(List(), &client);
  HDC screen = GetDC(List());
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(dc, bmp);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SendMessageA(List(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  auto rowPixels = [&](int row, COLORREF colour) {
    RECT r{};
    SendMessageA(List(), LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < std::min<LONG>(r.right, 200); ++x)
        if (GetPixel(dc, x, y) == colour) ++n;
    return n;
  };
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
  EXPECT_GT(rowPixels(1, highlight), 100) << "selected row on the highlight colour";
  EXPECT_EQ(rowPixels(0, highlight), 0);
  EXPECT_GT(rowPixels(0, text), 10) << "row 0's path is drawn";
  EXPECT_GT(rowPixels(2, text), 10) << "row 2's path is drawn";
  EXPECT_EQ(rowPixels(3, text), 0) << "nothing past the last row";
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  ReleaseDC(List(), screen);
}

TEST_F(WindowTest, EditsOnALongListKeepTopRowAndSelection) {
  ShowForm();
  EntryList& list = window->Form().Model().list;
  for (int i = 0; i < 500; ++i)
    list.Append("c:\\row" + std::to_string(i) + ".exe", "$dummy$", "$dummy$", "0", "1");
  window->ListReset(list.Count());
  Select(203);
  SendMessageA(List(), LB_SETTOPINDEX, 200, 0);
  ASSERT_EQ(SendMessageA(List(), LB_GETTOPINDEX, 0, 0), 200);
  Type(Ctl::Edit1, "c:\\new.exe");
  Click(Ctl::Buttonadd);
  EXPECT_EQ(ListCount(), 501);
  EXPECT_EQ(ListSel(), 203);
  EXPECT_EQ(SendMessageA(List(), LB_GETTOPINDEX, 0, 0), 200);
  Click(Ctl::Buttonerase);
  EXPECT_EQ(ListCount(), 500);
  EXPECT_EQ(ListPaths()[203], "c:\\row204.exe");
  EXPECT_EQ(SendMessageA(List(), LB_GETTOPINDEX, 0, 0), 200);
}

// --- the real platform's save dialog ---

// The real services, except that the command line names no list file (the test runner's own
// arguments would otherwise be taken for one).
class RealPlatform : public platform::Platform {
 public:
  platform::Win32Platform real;
  int ShowMessageBox(std::string_view text, platform::MsgType type, unsigned buttons, int x,
                     int y) override {
    return real.ShowMessageBox(text, type, buttons, x, y);
  }
  void AlertBeep() override { real.AlertBeep(); }
  void ShowErrorBox(std::string_view message) override { real.ShowErrorBox(message); }
  bool RunOpenDialog(platform::FileDialog& d) override { return real.RunOpenDialog(d); }
  bool RunSaveDialog(platform::FileDialog& d) override { return real.RunSaveDialog(d); }
  void DragAcceptFiles(bool accept) override { real.DragAcceptFiles(accept); }
  std::string DropFirstPath(platform::DropHandle drop) override { return real.DropFirstPath(drop); }
  void DropFinish(platform::DropHandle drop) override { real.DropFinish(drop); }
  void OpenHelpTopics(const std::string& helpFile) override { real.OpenHelpTopics(helpFile); }
  void CloseHelp() override { real.CloseHelp(); }
  platform::OpenResult OpenDocument(const std::string& path) override {
    return real.OpenDocument(path);
  }
  platform::WindowsVersion SystemVersion() override { return real.SystemVersion(); }
  unsigned GetWindowsFolder(char* buffer, unsigned size) override {
    return real.GetWindowsFolder(buffer, size);
  }
  std::string CommandLine() override { return "pallomar.exe"; }
  std::string ExecutablePath() override { return real.ExecutablePath(); }
  std::string ApplicationTitle() override { return real.ApplicationTitle(); }
};

// Answers every dialog this thread opens: the save dialog gets `name` typed and confirmed;
// anything else is recorded and closed, so no test is ever left waiting in a box.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::string name) : name_(std::move(name)) {
    self_ = this;
    hook_ = SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
  }
  ~DialogAnswerer() {
    UnhookWindowsHookEx(hook_);
    self_ = nullptr;
  }
  std::vector<std::string> others;
  int answered = 0;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && self_ != nullptr) {
      char cls[32] = {};
      GetClassNameA(reinterpret_cast<HWND>(wParam), cls, sizeof cls);
      if (std::string(cls) == "#32770") SetTimer(reinterpret_cast<HWND>(wParam), 1, 200, &Tick);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static BOOL CALLBACK FindNameEdit(HWND child, LPARAM out) {
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    const int id = GetDlgCtrlID(child);
    if (std::string(cls) == "Edit" && (id == 0x480 || id == 0x47c)) {
      *reinterpret_cast<HWND*>(out) = child;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND dialog, UINT, UINT_PTR id, DWORD) {
    KillTimer(dialog, id);
    if (self_ == nullptr) return;
    HWND edit = nullptr;
    EnumChildWindows(dialog, &FindNameEdit, reinterpret_cast<LPARAM>(&edit));
    if (edit == nullptr) {
      self_->others.push_back(TextOf(dialog));
      PostMessageA(dialog, WM_CLOSE, 0, 0);
      return;
    }
    ++self_->answered;
    SetWindowTextA(edit, self_->name_.c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  }
  static inline DialogAnswerer* self_ = nullptr;
  std::string name_;
  HHOOK hook_ = nullptr;
};

TEST(RealWindow, SaveAsThroughTheRealDialogWritesTheListWithItsExtension) {
  TempFolder dir;
  const std::string typed = dir.Path() + "\\saved";
  const std::string written = dir.Path("saved.plw");
  RealPlatform platform;
  {
    MainWindow window(platform);
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr)));
    platform.real.SetMainWindow(window.Handle());
    window.Show(SW_SHOWNORMAL);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    struct Row {
      const char* path;
      const char* params;
    };
    for (const Row& r : {Row{"c:\\tools\\edit.exe", "-n"}, Row{"d:\\資料\\週報.xls", ""}}) {
      SetWindowTextA(window.Control(Ctl::Edit1), r.path);
      SetWindowTextA(window.Control(Ctl::Edit2), r.params);
      SendMessageA(window.Control(Ctl::Buttonadd), BM_CLICK, 0, 0);
    }
    DialogAnswerer answerer(typed);
    SendMessageA(window.Handle(), WM_COMMAND,
                 MAKEWPARAM(static_cast<int>(layout::Command::S1Click), 0), 0);
    EXPECT_EQ(answerer.answered, 1);
    EXPECT_TRUE(answerer.others.empty()) << answerer.others.front();
    EXPECT_EQ(TextOf(window.Handle()), std::string(text::kAppCaptionPrefix) + written);
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  HANDLE f = CreateFileA(written.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  char bytes[512] = {};
  DWORD got = 0;
  ReadFile(f, bytes, sizeof bytes, &got, nullptr);
  CloseHandle(f);
  // A .xls entry keeps no parameters and no running check; absent texts are empty lines.
  EXPECT_EQ(std::string(bytes, got),
            "102\r\nc:\\tools\\edit.exe\r\n-n\r\n\r\n0\r\nTrue\r\n"
            "d:\\資料\\週報.xls\r\n\r\n\r\n0\r\nFalse\r\n");
}

TEST_F(WindowTest, AMoveRepaintsOnlyTheTwoRowsItTouched) {
  TempFolder dir;
  std::vector<Entry> many;
  for (int i = 0; i < 30; ++i)
    many.push_back({"c:\\r" + std::to_string(i) + ".exe", "$dummy$", "$dummy$", "0", "1"});
  platform.commandLine = "pallomar.exe " + WriteList(dir.Path("m.plw"), many);
  ShowForm();
  Select(3);
  UpdateWindow(List());
  // Rows 3 and 4 trade places; no message pumping, so nothing repaints before the check.
  SendMessageA(Wnd(Ctl::Buttondown), BM_CLICK, 0, 0);
  RECT dirty{};
  ASSERT_TRUE(GetUpdateRect(List(), &dirty, FALSE));
  RECT row3{}, row4{};
  SendMessageA(List(), LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&row3));
  SendMessageA(List(), LB_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&row4));
  EXPECT_EQ(dirty.top, row3.top);
  EXPECT_EQ(dirty.bottom, row4.bottom);
  EXPECT_EQ(ListSel(), 4);
  EXPECT_EQ(ListPaths()[4], "c:\\r3.exe");

  // Scrolled out of view, a move leaves the visible rows alone.
  UpdateWindow(List());
  SendMessageA(List(), LB_SETCURSEL, 25, 0);
  SendMessageA(List(), LB_SETTOPINDEX, 0, 0);
  UpdateWindow(List());
  window->Form().Model().list.Move(25, 26);
  window->ListRowsChanged(25, 26, 30);
  EXPECT_FALSE(GetUpdateRect(List(), &dirty, FALSE));
}

}  // namespace
}  // namespace pallomar::win32::testing
