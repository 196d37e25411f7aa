// Looks at and drives a running editor from a second process, as the unpacked-package test
// needs: what its window shows, its boxes and dialogs, and the help viewer it starts. It
// prints what it finds in UTF-8, one fact a line, and leaves the judging to the caller.
//
//   package_probe show          caption, row count and each row's details box
//   package_probe add PATH      types PATH into the path field and presses the add button
//   package_probe save          File > Save As, confirms the dialog and the overwrite question
//   package_probe help          reports the help viewer's window or box, and closes the box
//   package_probe settled       after 2 s: how many help viewers run, and the editor's own box
//                               (closed), if it shows one
//   package_probe exit          File > Exit
//   package_probe parts         the window's named parts in reading order, one a line:
//                               "N<TAB>left<TAB>top<TAB>width<TAB>height<TAB>caption", in
//                               pixels from the window's outer top-left corner
//
// Only small texts are read across processes (captions, box texts): Wine 8 is unreliable for
// list items and big texts there.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <tuple>
#include <vector>

#include "layout.h"

namespace {

using pallomar::layout::Command;
using pallomar::layout::ControlId;
using pallomar::layout::Ctl;

// The message box's text control (platform/src/win32_internal.h).
constexpr int kBoxTextId = 101;
// The common save dialog's file-name field: an edit, or the edit inside the combo box.
constexpr int kDialogNameEdit = 0x480;
constexpr int kDialogNameCombo = 0x47c;

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

void Say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

[[noreturn]] void Fail(const std::string& why) {
  Say("probe: " + why);
  std::exit(1);
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[2048] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return buffer;
}

// Line breaks as "|": one fact stays on one line.
std::string OneLine(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    if (c == '\r') continue;
    out += c == '\n' ? '|' : c;
  }
  return out;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::vector<HWND> VisibleTopWindows() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND w, LPARAM out) -> BOOL {
        if (IsWindowVisible(w)) reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM out) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND DescendantWithId(HWND parent, int id) {
  for (HWND w : Descendants(parent))
    if (GetDlgCtrlID(w) == id) return w;
  return nullptr;
}

// Polls `find` every 100 ms for up to `seconds`.
template <typename Find>
HWND WaitFor(Find find, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (HWND w = find()) return w;
    Sleep(100);
  }
  return nullptr;
}

// The editor's window once it is shown: its controls exist and its first show has loaded the
// list named on the command line.
HWND WaitForForm() {
  HWND form = WaitFor(
      []() -> HWND {
        HWND w = FindWindowW(L"TForm1", nullptr);
        if (w == nullptr || !IsWindowVisible(w)) return nullptr;
        if (GetDlgItem(w, ControlId(Ctl::ListBox1)) == nullptr ||
            GetDlgItem(w, ControlId(Ctl::Buttoninfo)) == nullptr)
          return nullptr;
        return w;
      },
      30);
  if (form == nullptr) Fail("no editor window (TForm1) was shown");
  Sleep(500);
  return form;
}

// A dialog of the editor's process: a message box when `box`, else the save dialog.
HWND EditorDialog(DWORD editor, bool box) {
  for (HWND w : VisibleTopWindows()) {
    if (ProcessOf(w) != editor || ClassOf(w) != L"#32770") continue;
    const bool isBox = DescendantWithId(w, kBoxTextId) != nullptr;
    if (isBox == box) return w;
  }
  return nullptr;
}

void WaitGone(HWND window, const char* what) {
  for (int i = 0; i < 100 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(100);
  if (IsWindow(window) && IsWindowVisible(window)) Fail(std::string(what) + " did not close");
}

void Answer(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Command_(HWND form, Command command) {
  PostMessageW(form, WM_COMMAND, MAKEWPARAM(static_cast<int>(command), 0), 0);
}

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); }

void Show(HWND form) {
  const DWORD editor = ProcessOf(form);
  HWND list = GetDlgItem(form, ControlId(Ctl::ListBox1));
  HWND info = GetDlgItem(form, ControlId(Ctl::Buttoninfo));
  if (list == nullptr || info == nullptr) Fail("the editor window has no list or details button");
  Say("caption: " + OneLine(TextOf(form)));
  const int rows = RowCount(list);
  Say("rows: " + std::to_string(rows));
  for (int i = 0; i < rows; ++i) {
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
    PostMessageW(info, BM_CLICK, 0, 0);
    HWND box = WaitFor([&] { return EditorDialog(editor, true); }, 10);
    if (box == nullptr) Fail("no details box for row " + std::to_string(i + 1));
    Say("row " + std::to_string(i + 1) + ": " + OneLine(TextOf(DescendantWithId(box, kBoxTextId))));
    Answer(box, IDOK);
    WaitGone(box, "the details box");
  }
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void Add(HWND form, const std::wstring& path) {
  HWND edit = GetDlgItem(form, ControlId(Ctl::Edit1));
  HWND list = GetDlgItem(form, ControlId(Ctl::ListBox1));
  const int before = RowCount(list);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(GetDlgItem(form, ControlId(Ctl::Buttonadd)), BM_CLICK, 0, 0);
  for (int i = 0; i < 50 && RowCount(list) == before; ++i) Sleep(100);
  Say("rows: " + std::to_string(RowCount(list)));
}

void Save(HWND form) {
  const DWORD editor = ProcessOf(form);
  Command_(form, Command::S1Click);
  HWND dialog = WaitFor([&] { return EditorDialog(editor, false); }, 20);
  if (dialog == nullptr) Fail("the save dialog did not open");
  // The dialog may show before its fields exist.
  HWND name = WaitFor(
      [&]() -> HWND {
        for (HWND c : Descendants(dialog)) {
          const int id = GetDlgCtrlID(c);
          if (ClassOf(c) == L"Edit" && (id == kDialogNameEdit || id == kDialogNameCombo)) return c;
        }
        return nullptr;
      },
      10);
  if (name == nullptr) {
    std::string seen;
    for (HWND c : Descendants(dialog))
      seen += " " + Utf8(ClassOf(c)) + "#" + std::to_string(GetDlgCtrlID(c));
    Fail("the save dialog has no file-name field; it has:" + seen);
  }
  Sleep(300);  // and before it fills them
  Say("dialog name: " + OneLine(TextOf(name)));
  Answer(dialog, IDOK);
  HWND box = WaitFor([&] { return EditorDialog(editor, true); }, 10);
  if (box != nullptr) {
    Say("question: " + OneLine(TextOf(DescendantWithId(box, kBoxTextId))));
    Answer(box, IDYES);
    WaitGone(box, "the overwrite question");
  }
  WaitGone(dialog, "the save dialog");
  Sleep(300);
  Say("caption: " + OneLine(TextOf(form)));
}

// The viewer runs in a process of its own. A box of its own means it could not show the file;
// otherwise its window shows the file's text.
void Help(HWND form) {
  const DWORD editor = ProcessOf(form);
  const DWORD self = GetCurrentProcessId();
  HWND shown = nullptr;
  LRESULT shownLength = 0;
  for (int i = 0; i < 300; ++i) {
    for (HWND w : VisibleTopWindows()) {
      const DWORD pid = ProcessOf(w);
      if (pid == editor || pid == self) continue;
      if (ClassOf(w) == L"#32770") {
        std::wstring text;
        for (HWND c : Descendants(w))
          if (ClassOf(c) == L"Static") text += TextOf(c);
        Say("viewer box: " + OneLine(text));
        Answer(w, IDNO);
        Answer(w, IDOK);
        return;
      }
      for (HWND c : Descendants(w)) {
        if (std::wcsncmp(ClassOf(c).c_str(), L"RichEdit", 8) != 0) continue;
        const LRESULT length = SendMessageW(c, WM_GETTEXTLENGTH, 0, 0);
        if (length > 0) {
          shown = w;
          shownLength = length;
        }
      }
    }
    // A window with text, and no box for two seconds after it: the file was shown.
    if (shown != nullptr && i >= 20) break;
    Sleep(100);
  }
  if (shown == nullptr) Fail("no help viewer appeared");
  Say("viewer window: " + OneLine(TextOf(shown)) + ", text of " + std::to_string(shownLength) +
      " characters");
}

int CountProcesses(const wchar_t* exe) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) Fail("no process snapshot");
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, exe) == 0) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// What a help command left behind once it had time to: a viewer, a box of the editor's.
void Settled(HWND form) {
  Sleep(2000);
  Say("viewer processes: " + std::to_string(CountProcesses(L"winhlp32.exe")));
  HWND box = EditorDialog(ProcessOf(form), true);
  if (box == nullptr) {
    Say("editor box: none");
    return;
  }
  Say("editor box: " + OneLine(TextOf(DescendantWithId(box, kBoxTextId))));
  Answer(box, IDOK);
  WaitGone(box, "the editor's box");
}

// The parts of the window a user can name by what they show: the title bar, the menus and
// every control with a caption of its own (the list and the fields are named by their labels).
void Parts(HWND form) {
  struct Part {
    RECT rect;
    std::wstring caption;
  };
  RECT outer{};
  GetWindowRect(form, &outer);
  std::vector<Part> parts;
  TITLEBARINFO title{};
  title.cbSize = sizeof title;
  if (!GetTitleBarInfo(form, &title)) Fail("the window has no title bar");
  parts.push_back({title.rcTitleBar, TextOf(form)});
  // Wine lets no other process read a window's menu, so the menu bar is one part, named by
  // the table the window builds its menus from, and placed between the title bar and the
  // client area.
  RECT client{};
  GetClientRect(form, &client);
  POINT clientTop{0, 0};
  ClientToScreen(form, &clientTop);
  std::wstring menus;
  for (const pallomar::layout::MenuDef& m : pallomar::layout::Menu()) {
    wchar_t caption[128] = {};
    MultiByteToWideChar(932, 0, m.caption, -1, caption, 128);
    menus += (menus.empty() ? L"" : L" ") + std::wstring(caption);
  }
  parts.push_back(
      {{clientTop.x, title.rcTitleBar.bottom, clientTop.x + client.right, clientTop.y}, menus});
  for (HWND child = GetWindow(form, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    const auto ctl = pallomar::layout::ControlForId(GetDlgCtrlID(child));
    if (!ctl || !IsWindowVisible(child)) continue;
    const auto kind = pallomar::layout::Def(*ctl).kind;
    using pallomar::layout::Kind;
    if (kind != Kind::Label && kind != Kind::Button && kind != Kind::CheckBox) continue;
    Part part{};
    GetWindowRect(child, &part.rect);
    part.caption = TextOf(child);
    if (!part.caption.empty()) parts.push_back(part);
  }
  std::stable_sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) {
    return std::tie(a.rect.top, a.rect.left) < std::tie(b.rect.top, b.rect.left);
  });
  int number = 0;
  for (const Part& p : parts) {
    Say(std::to_string(++number) + "\t" + std::to_string(p.rect.left - outer.left) + "\t" +
        std::to_string(p.rect.top - outer.top) + "\t" + std::to_string(p.rect.right - p.rect.left) +
        "\t" + std::to_string(p.rect.bottom - p.rect.top) + "\t" + OneLine(p.caption));
  }
}

}  // namespace

int main() {
  // The caller reads bytes: no CR before each line feed.
  _setmode(_fileno(stdout), _O_BINARY);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2)
    Fail("usage: package_probe show|add PATH|save|help|settled|exit|parts");
  const std::wstring command = argv[1];
  HWND form = WaitForForm();
  if (command == L"show") {
    Show(form);
  } else if (command == L"add" && argc == 3) {
    Add(form, argv[2]);
  } else if (command == L"save") {
    Save(form);
  } else if (command == L"help") {
    Help(form);
  } else if (command == L"settled") {
    Settled(form);
  } else if (command == L"parts") {
    Parts(form);
  } else if (command == L"exit") {
    Command_(form, Command::Exit1Click);
  } else {
    Fail("unknown command");
  }
  return 0;
}
