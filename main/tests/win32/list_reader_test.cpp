// The running editor read from this second process as a screen reader reads it: the list's
// accessible object through the system, and its events through an out-of-context hook.
#include "editor_process.h"
// The process helpers bring windows.h first.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "entrylist/entry_list.h"
#include "entrylist/list_file.h"

namespace pallomar::win32::testing {
namespace {

using layout::Ctl;

constexpr std::size_t kRows = 1000000;
// Shift-JIS paths whose second bytes are 0x5C, the backslash: ソ 83 5C, 表 95 5C, 能 94 5C,
// 予 97 5C.
const std::string kFirst = "c:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C.exe";
const std::wstring kFirstWide = L"c:\\\u30bd\u30d5\u30c8\\\u8868.exe";
const std::string kMiddle = "d:\\\x97\x5C\x92\xE8\x95\x5C\\\x94\x5C\x97\xCD.txt";
const std::wstring kMiddleWide = L"d:\\\u4e88\u5b9a\u8868\\\u80fd\u529b.txt";
const std::string kLast = "e:\\\x83\x5C\\\x95\x5C\\";
const std::wstring kLastWide = L"e:\\\u30bd\\\u8868\\";

std::string PlainPath(std::size_t row) { return "c:\\tools\\" + std::to_string(row) + ".exe"; }

std::wstring Expected(std::size_t row) {
  if (row == 0) return kFirstWide;
  if (row == kRows / 2) return kMiddleWide;
  if (row == kRows - 1) return kLastWide;
  const std::string p = PlainPath(row);
  return std::wstring(p.begin(), p.end());
}

struct Event {
  DWORD event;
  LONG child;
};
std::vector<Event> g_events;
HWND g_list = nullptr;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD,
                      DWORD) {
  if (hwnd == g_list && object == OBJID_CLIENT) g_events.push_back({event, child});
}

struct Release {
  void operator()(IUnknown* p) const {
    if (p != nullptr) p->Release();
  }
};

std::wstring Name(IAccessible* acc, long child, HRESULT* result = nullptr) {
  BSTR name = nullptr;
  const HRESULT hr = acc->get_accName(Child(child), &name);
  if (result != nullptr) *result = hr;
  std::wstring out = name != nullptr ? std::wstring(name, SysStringLen(name)) : L"";
  SysFreeString(name);
  return out;
}

long IntOf(HRESULT hr, const VARIANT& v) { return SUCCEEDED(hr) && v.vt == VT_I4 ? v.lVal : -1; }

long State(IAccessible* acc, long child) {
  VARIANT v;
  VariantInit(&v);
  return IntOf(acc->get_accState(Child(child), &v), v);
}

long Role(IAccessible* acc, long child) {
  VARIANT v;
  VariantInit(&v);
  return IntOf(acc->get_accRole(Child(child), &v), v);
}

class ListReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    listFile_ =
        std::string(temp) + "pallomar-reader-" + std::to_string(GetCurrentProcessId()) + ".plw";
    EntryList list;
    for (std::size_t i = 0; i < kRows; ++i) {
      const std::string path = i == 0           ? kFirst
                               : i == kRows / 2 ? kMiddle
                               : i == kRows - 1 ? kLast
                                                : PlainPath(i);
      list.Append(path, "$dummy$", "$dummy$", "0", "1");
    }
    WriteListFile(listFile_, list);
  }
  static void TearDownTestSuite() { DeleteFileA(listFile_.c_str()); }

  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string error;
    ASSERT_TRUE(editor.Start(ProgramBesideMe(), listFile_, error)) << error;
    g_list = editor.List();
    g_events.clear();
    hook = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_SELECTION, nullptr, &OnEvent,
                           editor.Pid(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    HRESULT hr = E_FAIL;
    acc.reset(editor.Accessible(hr));
    ASSERT_TRUE(acc) << std::hex << hr;
  }

  void TearDown() override {
    acc.reset();
    if (hook != nullptr) UnhookWinEvent(hook);
    editor.Stop();
    CoUninitialize();
  }

  bool WaitFor(DWORD event, LONG child) {
    return PumpUntil(
        [&] {
          for (const Event& e : g_events)
            if (e.event == event && e.child == child) return true;
          return false;
        },
        5000);
  }

  void ClickRow(int row) {
    const LRESULT top = SendMessageA(editor.List(), LB_GETTOPINDEX, 0, 0);
    const LRESULT height = SendMessageA(editor.List(), LB_GETITEMHEIGHT, 0, 0);
    const LPARAM at = MAKELPARAM(5, static_cast<int>((row - top) * height + height / 2));
    PostMessageA(editor.List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(editor.List(), WM_LBUTTONUP, 0, at);
  }

  static inline std::string listFile_;
  EditorProcess editor;
  HWINEVENTHOOK hook = nullptr;
  std::unique_ptr<IAccessible, Release> acc;
};

TEST_F(ListReaderTest, MillionEntriesAreCountedAndNamedWithTheirShiftJisPaths) {
  long count = 0;
  ASSERT_EQ(acc->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, static_cast<long>(kRows));
  for (std::size_t row : {std::size_t{0}, kRows / 2, kRows - 1, std::size_t{1}, std::size_t{7}})
    EXPECT_EQ(Name(acc.get(), static_cast<long>(row + 1)), Expected(row)) << row;
  EXPECT_EQ(Name(acc.get(), 0), L"\u5b9f\u884c\u30ea\u30b9\u30c8") << "the label above it";
  EXPECT_EQ(Role(acc.get(), 0), ROLE_SYSTEM_LIST);
  for (long bad : {-1L, static_cast<long>(kRows) + 1}) {
    HRESULT hr = S_OK;
    Name(acc.get(), bad, &hr);
    EXPECT_EQ(hr, E_INVALIDARG) << bad;
  }
  // Every row in view is read by name, and the first row past the view is marked off screen.
  RECT client{};
  GetClientRect(editor.List(), &client);
  const long height = static_cast<long>(SendMessageA(editor.List(), LB_GETITEMHEIGHT, 0, 0));
  const long inView = (client.bottom + height - 1) / height;
  ASSERT_GT(inView, 1);
  for (long child = 1; child <= inView; ++child) {
    EXPECT_EQ(State(acc.get(), child) & STATE_SYSTEM_OFFSCREEN, 0) << child;
    EXPECT_EQ(Name(acc.get(), child), Expected(static_cast<std::size_t>(child - 1))) << child;
  }
  EXPECT_EQ(State(acc.get(), inView + 1) & (STATE_SYSTEM_OFFSCREEN | STATE_SYSTEM_INVISIBLE),
            STATE_SYSTEM_OFFSCREEN | STATE_SYSTEM_INVISIBLE);
}

TEST_F(ListReaderTest, ClickIsReportedByStateFocusSelectionAndEvents) {
  ClickRow(2);
  ASSERT_TRUE(WaitFor(EVENT_OBJECT_SELECTION, 3)) << "selection event for the clicked row";
  EXPECT_TRUE(WaitFor(EVENT_OBJECT_FOCUS, 3)) << "focus event for the clicked row";
  const long both = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
  EXPECT_EQ(State(acc.get(), 3), both | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED);
  EXPECT_EQ(State(acc.get(), 2), both);
  EXPECT_EQ(Role(acc.get(), 3), ROLE_SYSTEM_LISTITEM);
  EXPECT_EQ(Role(acc.get(), 2), ROLE_SYSTEM_LISTITEM);
  VARIANT focus;
  VariantInit(&focus);
  EXPECT_EQ(IntOf(acc->get_accFocus(&focus), focus), 3);
  VARIANT selection;
  VariantInit(&selection);
  EXPECT_EQ(IntOf(acc->get_accSelection(&selection), selection), 3);

  // The keys move it on, and the reader hears that too.
  PostMessageA(editor.List(), WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(editor.List(), WM_KEYUP, VK_DOWN, 0);
  EXPECT_TRUE(WaitFor(EVENT_OBJECT_SELECTION, 4));
  EXPECT_TRUE(WaitFor(EVENT_OBJECT_FOCUS, 4));
}

TEST_F(ListReaderTest, RowLocationAndHitTestFollowTheListsClientArea) {
  RECT client{};
  GetClientRect(editor.List(), &client);
  POINT origin{0, 0};
  ClientToScreen(editor.List(), &origin);
  const long height = static_cast<long>(SendMessageA(editor.List(), LB_GETITEMHEIGHT, 0, 0));
  struct Case {
    long child;
    long rowsDown;
  };
  for (const Case c : {Case{1, 0}, Case{3, 2}, Case{1000, 999}}) {
    long left = 0, top = 0, width = 0, h = 0;
    ASSERT_EQ(acc->accLocation(&left, &top, &width, &h, Child(c.child)), S_OK);
    EXPECT_EQ(left, origin.x) << c.child;
    EXPECT_EQ(top, origin.y + c.rowsDown * height) << c.child;
    EXPECT_EQ(width, client.right) << c.child;
    EXPECT_EQ(h, height) << c.child;
  }
  VARIANT hit;
  VariantInit(&hit);
  EXPECT_EQ(IntOf(acc->accHitTest(origin.x + 4, origin.y + 2 * height + height / 2, &hit), hit), 3);
  VariantInit(&hit);
  EXPECT_EQ(acc->accHitTest(origin.x - 50, origin.y - 50, &hit), S_FALSE);
  EXPECT_EQ(hit.vt, VT_EMPTY);
}

TEST_F(ListReaderTest, MoveUpReordersTheNamesAndAnnouncesIt) {
  ASSERT_EQ(acc->accSelect(SELFLAG_TAKESELECTION, Child(2)), S_OK);
  ASSERT_TRUE(WaitFor(EVENT_OBJECT_SELECTION, 2)) << "selected as by a click";
  g_events.clear();
  PostMessageA(editor.Control(Ctl::Buttonup), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor(EVENT_OBJECT_REORDER, CHILDID_SELF));
  EXPECT_TRUE(WaitFor(EVENT_OBJECT_SELECTION, 1)) << "the moved row stays selected";
  EXPECT_EQ(Name(acc.get(), 1), Expected(1));
  EXPECT_EQ(Name(acc.get(), 2), Expected(0));
  EXPECT_EQ(State(acc.get(), 1) & STATE_SYSTEM_SELECTED, STATE_SYSTEM_SELECTED);
}

TEST_F(ListReaderTest, DefaultActionOpensTheDetailsBoxWithoutHoldingTheCaller) {
  BSTR action = nullptr;
  ASSERT_EQ(acc->get_accDefaultAction(Child(5), &action), S_OK);
  EXPECT_GT(SysStringLen(action), 0u);
  SysFreeString(action);
  ASSERT_EQ(acc->accDoDefaultAction(Child(5)), S_OK) << "returns while the box is open";
  HWND box = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (box = editor.FindBox("#32770")) != nullptr; }, 10000));
  EXPECT_EQ(GetWindow(box, GW_OWNER), editor.Form());
  VARIANT selection;
  VariantInit(&selection);
  EXPECT_EQ(IntOf(acc->get_accSelection(&selection), selection), 5) << "the row it was for";
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 10000));
}

TEST_F(ListReaderTest, CallsAfterTheWindowClosedFailWithoutACrash) {
  ASSERT_TRUE(editor.CloseAndWait(20000));
  long count = 0;
  EXPECT_TRUE(FAILED(acc->get_accChildCount(&count)));
  HRESULT hr = S_OK;
  Name(acc.get(), 1, &hr);
  EXPECT_TRUE(FAILED(hr));
}

}  // namespace
}  // namespace pallomar::win32::testing
