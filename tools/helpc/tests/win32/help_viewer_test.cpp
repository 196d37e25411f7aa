// The compiled help as the viewer shows it. Wine's winhlp32 reads pallomar.hlp in its own
// process; the tests read its text control from outside and press what a person would press.
// A test never waits on a box of the viewer: it looks for one, answers it and ends the viewer.
#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "help_source.h"

namespace {

constexpr int kTextControlId = 0x701;
// The viewer's index button is captioned 索引 in Shift-JIS.
constexpr char kIndexCaption[] = "\x8D\xF5\x88\xF8";

std::string WindowsPath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path.size() > 1 && path[1] == ':' ? path : "Z:" + path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(WindowsPath(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const helpc::HelpSource& Source() {
  static const helpc::HelpSource help = helpc::ParseHelpSource(ReadFile(PALLOMAR_HELP_SOURCE));
  return help;
}

bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::vector<HWND> TopLevelWindows(DWORD pid) {
  std::vector<HWND> found;
  struct Search {
    DWORD pid;
    std::vector<HWND>* found;
  } search{pid, &found};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if ((s->pid == 0 || owner == s->pid) && IsWindowVisible(w)) s->found->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return found;
}

// The viewer's main window: a top-level window whose text control is a RichEdit20A.
struct Viewer {
  HWND main = nullptr;
  HWND text = nullptr;
  DWORD pid = 0;
};

bool FindViewer(DWORD pid, Viewer& viewer) {
  for (HWND w : TopLevelWindows(pid)) {
    HWND text = GetDlgItem(w, kTextControlId);
    if (text && ClassOf(text) == "RichEdit20A") {
      viewer.main = w;
      viewer.text = text;
      GetWindowThreadProcessId(w, &viewer.pid);
      return true;
    }
  }
  return false;
}

// A box of the viewer's own: a dialog window of its process.
HWND FindBox(DWORD pid) {
  for (HWND w : TopLevelWindows(pid)) {
    if (ClassOf(w) == "#32770") return w;
  }
  return nullptr;
}

// Memory in the viewer's process, for messages whose answer is written through a pointer.
class RemoteMemory {
 public:
  RemoteMemory(DWORD pid, size_t size) : size_(size) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) {
      address_ = static_cast<char*>(
          VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
  }
  ~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  char* address() const { return address_; }
  bool Write(size_t offset, const void* data, size_t n) {
    SIZE_T done = 0;
    return address_ && WriteProcessMemory(process_, address_ + offset, data, n, &done) && done == n;
  }
  std::string Read(size_t offset, size_t n) {
    std::string out(n, '\0');
    SIZE_T done = 0;
    if (!address_ || !ReadProcessMemory(process_, address_ + offset, out.data(), n, &done))
      return {};
    out.resize(done);
    return out;
  }

 private:
  HANDLE process_ = nullptr;
  char* address_ = nullptr;
  size_t size_;
};

// The text control's whole text, in the viewer's code page (Shift-JIS here).
std::string ViewerText(const Viewer& viewer) {
  constexpr size_t kLimit = 1 << 16;
  RemoteMemory memory(viewer.pid, sizeof(TEXTRANGEA) + kLimit);
  TEXTRANGEA range{};
  range.chrg.cpMin = 0;
  range.chrg.cpMax = static_cast<LONG>(kLimit / 2 - 1);
  range.lpstrText = memory.address() + sizeof(TEXTRANGEA);
  if (!memory.Write(0, &range, sizeof range)) return {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(viewer.text, EM_GETTEXTRANGE, 0,
                           reinterpret_cast<LPARAM>(memory.address()), SMTO_ABORTIFHUNG, 5000,
                           &copied)) {
    return {};
  }
  return memory.Read(sizeof(TEXTRANGEA), copied);
}

// What the viewer must show of a topic: its title, then each paragraph's text in order.
std::vector<std::string> ExpectedPieces(const helpc::Topic& topic) {
  std::vector<std::string> pieces{topic.title.sjis};
  for (const helpc::Paragraph& p : topic.paragraphs) {
    std::string piece;
    for (const helpc::Run& run : p.runs) {
      if (run.lineBreak) {
        if (!piece.empty()) pieces.push_back(piece);
        piece.clear();
      } else {
        piece += run.text.sjis;
      }
    }
    if (!piece.empty()) pieces.push_back(piece);
  }
  return pieces;
}

// Empty when the text shows the whole topic in order, else the first piece missing.
std::string MissingPiece(const std::string& text, const helpc::Topic& topic) {
  size_t at = 0;
  for (const std::string& piece : ExpectedPieces(topic)) {
    const size_t found = text.find(piece, at);
    if (found == std::string::npos) return piece;
    at = found + piece.size();
  }
  return {};
}

bool StartsWithTitle(const std::string& text, const helpc::Topic& topic) {
  return text.rfind(topic.title.sjis + "\r", 0) == 0;
}

// A process started by the test, ended by its id whatever happens.
class Process {
 public:
  explicit Process(std::string commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &si, &info_);
  }
  ~Process() {
    if (started_) {
      TerminateProcess(info_.hProcess, 0);
      WaitForSingleObject(info_.hProcess, 5000);
      CloseHandle(info_.hProcess);
      CloseHandle(info_.hThread);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool started() const { return started_ != FALSE; }
  DWORD pid() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_{};
  BOOL started_ = FALSE;
};

// Ends a viewer the test did not start itself (one the editor asked for), by its id.
void EndViewer(DWORD pid) {
  if (HWND box = FindBox(pid)) PostMessageA(box, WM_COMMAND, IDOK, 0);
  if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
    TerminateProcess(h, 0);
    WaitForSingleObject(h, 5000);
    CloseHandle(h);
  }
}

std::string HelpFile() { return WindowsPath(PALLOMAR_HELP_FILE); }

// Opens the viewer on a file, optionally at a topic given by its context name.
struct OpenedViewer {
  std::unique_ptr<Process> process;
  Viewer viewer;
};

OpenedViewer OpenViewer(const std::string& file, const std::string& context = "") {
  OpenedViewer opened;
  std::string command = "winhlp32.exe ";
  if (!context.empty()) command += "-i " + context + " ";
  opened.process = std::make_unique<Process>(command + file);
  if (opened.process->started()) {
    WaitFor([&] {
      return FindViewer(opened.process->pid(), opened.viewer) ||
             FindBox(opened.process->pid()) != nullptr;
    });
  }
  return opened;
}

const helpc::Topic& TopicNamed(const std::string& context) {
  for (const helpc::Topic& t : Source().topics) {
    if (t.context == context) return t;
  }
  throw std::runtime_error("no topic " + context);
}

TEST(HelpViewer, HelpMenuOfTheEditorOpensTheContentsTopicWithoutAnErrorBox) {
  Process editor("\"" + WindowsPath(PALLOMAR_EXE) + "\"");
  ASSERT_TRUE(editor.started());
  HWND form = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND w : TopLevelWindows(editor.pid())) {
      char caption[64] = {};
      GetWindowTextA(w, caption, sizeof caption);
      if (std::string(caption).rfind("Pallomar Ver.", 0) == 0) form = w;
    }
    return form != nullptr;
  })) << "the editor's window did not appear";

  // Alt+H opens the Help menu, H chooses its help command, as a person types them.
  SetForegroundWindow(form);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto key = [](WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  };
  key(VK_MENU, false);
  key('H', false);
  key('H', true);
  key(VK_MENU, true);
  key('H', false);
  key('H', true);

  Viewer viewer;
  const bool opened = WaitFor([&] { return FindViewer(0, viewer); });
  DWORD viewerPid = viewer.pid;
  if (!opened) {
    // A viewer that shows only a box has no text window: find its process through the box.
    for (HWND w : TopLevelWindows(0)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid != editor.pid() && ClassOf(w) == "#32770") viewerPid = pid;
    }
  }
  const helpc::Topic& contents = Source().topics.front();
  std::string text;
  WaitFor([&] {
    text = opened ? ViewerText(viewer) : "";
    return StartsWithTitle(text, contents) && MissingPiece(text, contents).empty();
  });
  const bool box = viewerPid != 0 && FindBox(viewerPid) != nullptr;
  if (viewerPid) EndViewer(viewerPid);

  ASSERT_TRUE(opened) << "no help window opened";
  EXPECT_FALSE(box) << "the viewer showed a box of its own";
  EXPECT_TRUE(StartsWithTitle(text, contents)) << text;
  EXPECT_EQ(MissingPiece(text, contents), "") << text;
}

TEST(HelpViewer, EveryTopicOpensByItsContextNameWithItsTitleAndText) {
  for (const helpc::Topic& topic : Source().topics) {
    SCOPED_TRACE(topic.context);
    OpenedViewer opened = OpenViewer(HelpFile(), topic.context);
    std::string text;
    WaitFor([&] {
      text = opened.viewer.text ? ViewerText(opened.viewer) : "";
      return StartsWithTitle(text, topic) && MissingPiece(text, topic).empty();
    });
    EXPECT_EQ(FindBox(opened.process->pid()), nullptr) << "the viewer showed a box";
    EXPECT_TRUE(StartsWithTitle(text, topic)) << text;
    EXPECT_EQ(MissingPiece(text, topic), "") << text;
  }
}

// Screen point of a character of the text control, through the control's own layout.
bool CharacterOnScreen(const Viewer& viewer, LONG index, POINT& point) {
  RemoteMemory memory(viewer.pid, sizeof(POINTL));
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutA(viewer.text, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(memory.address()),
                           index, SMTO_ABORTIFHUNG, 5000, &ignored)) {
    return false;
  }
  const std::string bytes = memory.Read(0, sizeof(POINTL));
  if (bytes.size() != sizeof(POINTL)) return false;
  POINTL p;
  memcpy(&p, bytes.data(), sizeof p);
  point = {p.x, p.y};
  return ClientToScreen(viewer.text, &point) != FALSE;
}

void ClickAt(POINT p) {
  SetCursorPos(p.x, p.y);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

TEST(HelpViewer, ClickOnTheFirstJumpOfTheContentsTopicOpensItsTopic) {
  const helpc::Topic& contents = Source().topics.front();
  const helpc::Run* jump = nullptr;
  for (const helpc::Paragraph& p : contents.paragraphs) {
    for (const helpc::Run& run : p.runs) {
      if (!jump && !run.link.empty()) jump = &run;
    }
  }
  ASSERT_NE(jump, nullptr);
  const helpc::Topic& target = TopicNamed(jump->link);

  OpenedViewer opened = OpenViewer(HelpFile());
  std::string text;
  ASSERT_TRUE(WaitFor([&] {
    text = opened.viewer.text ? ViewerText(opened.viewer) : "";
    return StartsWithTitle(text, contents);
  })) << text;
  const size_t at = text.find(jump->text.sjis);
  ASSERT_NE(at, std::string::npos) << text;
  // Character positions count a double-byte character once.
  const auto characters = [](const std::string& sjis) {
    return MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
  };
  const LONG first = characters(text.substr(0, at));
  const LONG length = characters(jump->text.sjis);
  POINT p;
  ASSERT_TRUE(CharacterOnScreen(opened.viewer, first + length * 3 / 4, p));
  p.x += 2;
  p.y += 6;
  SetForegroundWindow(opened.viewer.main);
  ClickAt(p);
  WaitFor([&] {
    text = ViewerText(opened.viewer);
    return StartsWithTitle(text, target);
  });
  EXPECT_TRUE(StartsWithTitle(text, target)) << text;
  EXPECT_EQ(FindBox(opened.process->pid()), nullptr);
}

TEST(HelpViewer, IndexFindsATopicByItsJapaneseKeyword) {
  const helpc::Topic& topic = TopicNamed("add");
  ASSERT_FALSE(topic.keywords.empty());
  const std::string keyword = topic.keywords.back().sjis;

  OpenedViewer opened = OpenViewer(HelpFile());
  ASSERT_NE(opened.viewer.main, nullptr);
  // The viewer's own index button: Wine's viewer has no HELP_KEY command.
  HWND indexButton = nullptr;
  WaitFor([&] {
    EnumChildWindows(
        opened.viewer.main,
        [](HWND w, LPARAM p) -> BOOL {
          char caption[64] = {};
          GetWindowTextA(w, caption, sizeof caption);
          if (ClassOf(w) == "Button" && strstr(caption, kIndexCaption)) {
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&indexButton));
    return indexButton != nullptr;
  });
  ASSERT_NE(indexButton, nullptr);
  PostMessageA(indexButton, BM_CLICK, 0, 0);

  HWND sheet = nullptr, list = nullptr;
  WaitFor([&] {
    sheet = FindBox(opened.process->pid());
    list = nullptr;
    if (sheet) {
      EnumChildWindows(
          sheet,
          [](HWND w, LPARAM p) -> BOOL {
            if (ClassOf(w) == "ListBox") {
              *reinterpret_cast<HWND*>(p) = w;
              return FALSE;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&list));
    }
    return list != nullptr && SendMessageA(list, LB_GETCOUNT, 0, 0) > 0;
  });
  ASSERT_NE(list, nullptr) << "the index did not open";
  const LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(keyword.c_str()));
  ASSERT_NE(index, LB_ERR) << "the index does not list the keyword";
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);

  std::string text;
  WaitFor([&] {
    text = ViewerText(opened.viewer);
    return StartsWithTitle(text, topic);
  });
  EXPECT_TRUE(StartsWithTitle(text, topic)) << text;
}

// Damage of the internal directory, at offsets from the directory's own start.
struct Damage {
  const char* what;
  std::function<void(std::string& file, size_t directory)> apply;
};

TEST(HelpViewer, FileWithABrokenDirectoryIsRefusedWithTheViewersBox) {
  const std::string good = ReadFile(PALLOMAR_HELP_FILE);
  ASSERT_GT(good.size(), 16u);
  uint32_t directory = 0;
  memcpy(&directory, good.data() + 4, 4);
  ASSERT_LT(directory + 9 + 38u, good.size());
  const Damage damages[] = {
      {"tree magic", [](std::string& f, size_t d) { f[d + 9] = 0; }},
      {"every entry points past the end",
       [](std::string& f, size_t d) {
         // Leaf entries are "name\0" and a 4-byte offset; push every offset out of the file.
         for (size_t at = d + 9 + 38 + 8; at + 5 < f.size(); ++at) {
           if (f[at] == '|') {
             const size_t end = f.find('\0', at);
             if (end == std::string::npos || end + 5 > f.size()) break;
             const uint32_t beyond = 0x7FFFFFF0;
             memcpy(&f[end + 1], &beyond, 4);
             at = end + 4;
           }
         }
       }},
  };
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    std::string broken = good;
    damage.apply(broken, directory);
    ASSERT_NE(broken, good);
    const std::string path = std::string(folder) + "pallomar-broken.hlp";
    std::ofstream(path, std::ios::binary).write(broken.data(), broken.size());

    OpenedViewer opened = OpenViewer(path);
    HWND box = nullptr;
    WaitFor([&] { return (box = FindBox(opened.process->pid())) != nullptr; });
    Viewer shown;
    const bool text = FindViewer(opened.process->pid(), shown) && !ViewerText(shown).empty();
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(box, nullptr) << "the viewer took the broken file without a word";
    EXPECT_FALSE(text) << "the viewer showed text from the broken file";
    DeleteFileA(path.c_str());
  }
}

}  // namespace
