// `plwtool run` against real processes (Windows, here Wine). The probe program reports how it
// was started; every process a test starts is ended by its id when the test ends, pass or fail.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include "run_test_util.h"
#include "shown_text.h"

namespace plwtool::testing {
namespace {

using namespace std::chrono_literals;

// Holds a handle on each started process from the moment its id is known (so the id cannot
// be reused) and ends them all when it goes out of scope.
class Reaper {
 public:
  Reaper() = default;
  Reaper(const Reaper&) = delete;
  Reaper& operator=(const Reaper&) = delete;
  ~Reaper() {
    for (HANDLE h : handles_) {
      TerminateProcess(h, 1);
      WaitForSingleObject(h, 5000);
      CloseHandle(h);
    }
  }
  void Adopt(unsigned long pid) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                           FALSE, pid);
    if (h != nullptr) handles_.push_back(h);
  }
  // Every "(pid N" on the tool's "started" lines.
  void AdoptStarted(const std::string& out) {
    std::size_t at = 0;
    while ((at = out.find("started ", at)) != std::string::npos) {
      const std::size_t p = out.find("(pid ", at);
      const std::size_t eol = out.find('\n', at);
      at = eol;
      if (p == std::string::npos || p > eol) continue;
      Adopt(std::stoul(out.substr(p + 5)));
    }
  }

 private:
  std::vector<HANDLE> handles_;
};

// Runs the tool and takes charge of what it started before anything can be asserted.
RunResult RunStarting(const std::vector<std::string>& args, Reaper& reaper) {
  RunResult r = RunTool(args, RealLauncherHost());
  reaper.AdoptStarted(r.out);
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  return lines;
}

// The pid on a "started" line; 0 when the line is anything else.
unsigned long StartedPid(const std::string& line) {
  const std::size_t p = line.find("(pid ");
  if (line.find(": started ") == std::string::npos || p == std::string::npos) return 0;
  return std::stoul(line.substr(p + 5));
}

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('\\')); }

std::string BuiltProbe() {
  char self[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  return Folder(std::string(self, n)) + "\\start_probe.exe";
}

// A copy of the probe in `folder` (made with its parents).
std::string ProbeIn(const std::string& folder) {
  for (std::size_t at = folder.find('\\', 3);; at = folder.find('\\', at + 1)) {
    CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    if (at == std::string::npos) break;
  }
  const std::string probe = folder + "\\start_probe.exe";
  EXPECT_TRUE(CopyFileA(BuiltProbe().c_str(), probe.c_str(), FALSE)) << probe;
  return probe;
}

// Where probes started by this test report.
class ProbeReports {
 public:
  explicit ProbeReports(const TempFolder& dir) : base_(dir.Path("report")) {
    SetEnvironmentVariableA("PLWTOOL_PROBE_OUT", base_.c_str());
  }
  ~ProbeReports() { SetEnvironmentVariableA("PLWTOOL_PROBE_OUT", nullptr); }
  // The report of process `pid`; empty when none came within 20 s.
  std::map<std::string, std::string> Of(unsigned long pid) const {
    const std::string file = base_ + "." + std::to_string(pid);
    for (auto waited = 0ms; waited < 20s; waited += 50ms) {
      if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES) break;
      std::this_thread::sleep_for(50ms);
    }
    std::map<std::string, std::string> report;
    for (const auto& line : Lines(FileBytes(file))) {
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) report[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return report;
  }

 private:
  std::string base_;
};

bool Alive(unsigned long pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (h == nullptr) return false;
  const bool alive = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return alive;
}

ULONGLONG CreationTime(unsigned long pid) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (h == nullptr) return 0;
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(h, &created, &exited, &kernel, &user);
  CloseHandle(h);
  return (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

// The state of the first visible top-level window of `pid`, once it has one (up to 20 s).
struct WindowSeen {
  bool found = false;
  bool zoomed = false;
  bool iconic = false;
};

WindowSeen WindowOf(unsigned long pid) {
  struct Search {
    DWORD pid;
    HWND hwnd;
  } search{static_cast<DWORD>(pid), nullptr};
  for (auto waited = 0ms; waited < 20s && search.hwnd == nullptr; waited += 100ms) {
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
          auto* s = reinterpret_cast<Search*>(lp);
          DWORD owner = 0;
          GetWindowThreadProcessId(hwnd, &owner);
          if (owner != s->pid || !IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER)) {
            return TRUE;
          }
          s->hwnd = hwnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.hwnd == nullptr) std::this_thread::sleep_for(100ms);
  }
  if (search.hwnd == nullptr) return {};
  return {true, IsZoomed(search.hwnd) != FALSE, IsIconic(search.hwnd) != FALSE};
}

std::string Replace(std::string text, const std::string& mark, const std::string& by) {
  for (std::size_t at = 0; (at = text.find(mark, at)) != std::string::npos; at += by.size()) {
    text.replace(at, mark.size(), by);
  }
  return text;
}

// Every Windows opens .txt files with a text editor. Wine 8's fresh prefix knows the
// "txtfile" class but not that .txt files belong to it, so ShellExecuteEx refuses them
// (error 193). For the length of a test the classes say so, as Windows' do. (A key among the
// user's own classes is not seen by Wine's shell, so it goes to the classes root.)
class TxtFilesOpenAsText {
 public:
  TxtFilesOpenAsText() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      return;
    }
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      return;
    }
    static const char kClass[] = "txtfile";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kClass), sizeof kClass);
    RegCloseKey(key);
    added_ = true;
  }
  ~TxtFilesOpenAsText() {
    if (added_) RegDeleteKeyA(HKEY_CLASSES_ROOT, ".txt");
  }
  TxtFilesOpenAsText(const TxtFilesOpenAsText&) = delete;
  TxtFilesOpenAsText& operator=(const TxtFilesOpenAsText&) = delete;

 private:
  bool added_ = false;
};

struct ProbeCase {
  const char* name;
  std::string probeFolder;  // under the test's folder
  std::string params;
  std::string givenFolder;  // under the test's folder; empty: none given
  std::string state;
  // %P the probe's path, %D its folder, %W the given folder.
  std::string commandLine;
  std::string folder;
  std::string show;  // wShowWindow
  std::string zoomed;
  std::string iconic;
};

class RunProbe : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(RunProbe, TheProgramGetsItsCommandLineFolderAndShowCommand) {
  const ProbeCase& c = GetParam();
  TempFolder dir;
  const ProbeReports reports(dir);
  Reaper reaper;
  const std::string probeFolder = dir.Path("") + c.probeFolder;
  const std::string probe = ProbeIn(probeFolder);
  const std::string work = c.givenFolder.empty() ? "" : dir.Path("") + c.givenFolder;
  if (!work.empty()) CreateDirectoryA(work.c_str(), nullptr);
  const auto list =
      dir.Write("l.plw", "102\r\n" + ListRecord(probe, c.params, work, c.state, "False"));

  const auto r = RunStarting({"run", list}, reaper);
  ASSERT_EQ(r.status, kExitOk) << r.out << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 1u) << r.out;
  const unsigned long pid = StartedPid(lines[0]);
  ASSERT_NE(pid, 0u) << r.out;

  const auto report = reports.Of(pid);
  ASSERT_FALSE(report.empty()) << "no report from pid " << pid;
  const auto expand = [&](const std::string& s) {
    return Replace(Replace(Replace(s, "%P", probe), "%D", probeFolder), "%W", work);
  };
  EXPECT_EQ(report.at("command line"), expand(c.commandLine));
  EXPECT_EQ(report.at("folder"), expand(c.folder));
  EXPECT_EQ(std::stoul(report.at("flags")) & STARTF_USESHOWWINDOW, unsigned{STARTF_USESHOWWINDOW});
  EXPECT_EQ(report.at("show"), c.show);
  EXPECT_EQ(report.at("zoomed"), c.zoomed);
  EXPECT_EQ(report.at("iconic"), c.iconic);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunProbe,
    ::testing::Values(
        ProbeCase{"NormalState", "plain", "", "", "0", "%P", "%D", "1", "0", "0"},
        ProbeCase{"MaximisedState", "plain", "", "", "1", "%P", "%D", "3", "1", "0"},
        ProbeCase{"MinimisedStateWithoutActivation", "plain", "", "", "2", "%P", "%D", "7", "0",
                  "1"},
        ProbeCase{"PathWithSpacesIsQuoted", "with space", "", "", "0", "\"%P\"", "%D", "1", "0",
                  "0"},
        ProbeCase{"ParamsPassedVerbatim", "plain", "-a  \"b c\" \\x " + kHyoSjis, "", "0",
                  "%P -a  \"b c\" \\x " + kHyoSjis, "%D", "1", "0", "0"},
        ProbeCase{"GivenFolderIsTheCurrentFolder", "plain", "", "work", "0", "%P", "%W", "1", "0",
                  "0"},
        // The editor's folder rule leaves a backslash after a final 表: still the same folder.
        ProbeCase{"DefaultedFolderEndingInASecondByteBackslash", "x" + kHyoSjis, "", "", "0", "%P",
                  "%D", "1", "0", "0"},
        ProbeCase{"DefaultedFolderWithJapaneseName", kHyoSjis + "dir", "", "", "1", "%P", "%D", "3",
                  "1", "0"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(RunProcesses, RunningCheckSkipsARunningProgramByAnyNameAndOffStartsASecond) {
  TempFolder dir;
  const ProbeReports reports(dir);
  Reaper reaper;
  // The probe beside the test: a bare name is searched first in the running program's folder.
  const std::string probe = BuiltProbe();
  std::string shouted = probe;
  for (char& ch : shouted) ch = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;

  const auto on = dir.Write("on.plw", "102\r\n" + ListRecord(probe, "", "", "0", "True"));
  const auto first = RunStarting({"run", on}, reaper);
  ASSERT_EQ(first.status, kExitOk) << first.out;
  const std::string pid = std::to_string(StartedPid(first.out));
  ASSERT_NE(pid, "0") << first.out;

  const auto again = dir.Write("again.plw", "102\r\n" + ListRecord(probe, "", "", "0", "True") +
                                                ListRecord(shouted, "", "", "0", "True") +
                                                ListRecord("start_probe", "", "", "0", "True") +
                                                ListRecord(probe, "", "", "0", "False"));
  const auto second = RunStarting({"run", again}, reaper);
  EXPECT_EQ(second.status, kExitOk);
  const auto lines = Lines(second.out);
  ASSERT_EQ(lines.size(), 4u) << second.out;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i],
              "entry " + std::to_string(i + 1) + ": skipped: already running (pid " + pid + ")");
  }
  const unsigned long other = StartedPid(lines[3]);
  EXPECT_NE(other, 0u) << lines[3];
  EXPECT_NE(std::to_string(other), pid);
  EXPECT_TRUE(Alive(std::stoul(pid)));
  EXPECT_TRUE(Alive(other));
}

// A document no program opens must fail without a dialog: the shell would otherwise ask which
// program to use and wait for an answer.
class RunFails : public ::testing::TestWithParam<const char*> {};

TEST_P(RunFails, WithStatusOneAndTheSystemsMessageAndTheNextEntryStillStarts) {
  TempFolder dir;
  const ProbeReports reports(dir);
  Reaper reaper;
  const std::string probe = ProbeIn(dir.Path("p"));
  const std::string file =
      GetParam()[0] == 'm' ? dir.Path("gone") + "\\nothere.exe" : dir.Write("a.plwnothing", "x");
  const auto list = dir.Write("l.plw", "102\r\n" + ListRecord(file, "", "", "0", "True") +
                                           ListRecord(probe, "", "", "0", "True"));
  const auto r = RunStarting({"run", list}, reaper);
  EXPECT_EQ(r.status, kExitFailed);
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  // The path is echoed as every field is, cut to its first characters.
  const std::string failed = "entry 1: failed: " + Quoted(file) + ": ";
  EXPECT_EQ(lines[0].rfind(failed, 0), 0u) << lines[0];
  EXPECT_GT(lines[0].size(), failed.size()) << "no message from the system";
  const unsigned long pid = StartedPid(lines[1]);
  ASSERT_NE(pid, 0u) << r.out;
  EXPECT_FALSE(reports.Of(pid).empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, RunFails, ::testing::Values("missingProgram", "unknownDocument"),
                         [](const auto& tc) { return std::string(tc.param); });

class RunLeavesOutput : public ::testing::TestWithParam<bool> {};

TEST_P(RunLeavesOutput, AProgramLeftRunningDoesNotHoldTheToolsOutputOpen) {
  const bool document = GetParam();
  TempFolder dir;
  const TxtFilesOpenAsText txt;
  const ProbeReports reports(dir);
  Reaper reaper;
  const std::string file = document ? dir.Write("a.txt", "x") : ProbeIn(dir.Path("p"));
  const auto list = dir.Write("l.plw", "102\r\n" + ListRecord(file, "", "", "0", "False"));

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  std::string command = "\"" + Folder(BuiltProbe()) + "\\plwtool.exe\" run \"" + list + "\"";
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  ASSERT_TRUE(started) << command;
  CloseHandle(pi.hThread);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);

  // Everything the tool wrote, then the end of the pipe within 10 s of its exit.
  std::string out;
  bool ended = false;
  for (auto waited = 0ms; waited < 10s && !ended;) {
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) {
      ended = GetLastError() == ERROR_BROKEN_PIPE;
      break;
    }
    if (available == 0) {
      std::this_thread::sleep_for(50ms);
      waited += 50ms;
      continue;
    }
    std::string chunk(available, '\0');
    DWORD got = 0;
    ReadFile(readEnd, chunk.data(), available, &got, nullptr);
    out.append(chunk, 0, got);
  }
  CloseHandle(readEnd);
  reaper.AdoptStarted(out);
  ASSERT_NE(out.find("entry 1: started "), std::string::npos) << out;
  EXPECT_TRUE(ended) << "the output stayed open after the tool had ended";
}

INSTANTIATE_TEST_SUITE_P(Cases, RunLeavesOutput, ::testing::Values(false, true),
                         [](const auto& tc) { return tc.param ? "Document" : "Program"; });

// A program by its bare name maximised, the probe minimised with parameters and a folder, and
// a document: all three start, in list order, in their window states; a second run skips the
// programs still running.
TEST(RunProcesses, AThreeEntryListStartsInOrderAndASecondRunSkipsWhatRuns) {
  TempFolder dir;
  const TxtFilesOpenAsText txt;
  const ProbeReports reports(dir);
  Reaper reaper;
  const std::string probe = ProbeIn(dir.Path("p"));
  const std::string work = dir.Path("work");
  CreateDirectoryA(work.c_str(), nullptr);
  const auto doc = dir.Write("read me.txt", "hello\r\n");
  const auto list =
      dir.Write("three.plw", "102\r\n" + ListRecord("notepad.exe", "", "", "1", "True") +
                                 ListRecord(probe, "-x 1", work, "2", "True") +
                                 ListRecord(doc, "", "", "0", "True"));
  const auto r = RunStarting({"run", list}, reaper);
  ASSERT_EQ(r.status, kExitOk) << r.out << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  std::vector<unsigned long> pids;
  for (const auto& line : lines) pids.push_back(StartedPid(line));
  ASSERT_TRUE(pids[0] != 0 && pids[1] != 0 && pids[2] != 0) << r.out;

  EXPECT_LE(CreationTime(pids[0]), CreationTime(pids[1]));
  EXPECT_LE(CreationTime(pids[1]), CreationTime(pids[2]));
  const WindowSeen editor = WindowOf(pids[0]);
  EXPECT_TRUE(editor.found && editor.zoomed) << editor.found;
  const auto report = reports.Of(pids[1]);
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report.at("command line"), probe + " -x 1");
  EXPECT_EQ(report.at("folder"), work);
  EXPECT_EQ(report.at("show"), "7");
  EXPECT_EQ(report.at("iconic"), "1");
  EXPECT_NE(lines[2].find("through the shell (pid "), std::string::npos) << lines[2];
  EXPECT_TRUE(Alive(pids[2]));  // the document's program

  const auto second = RunStarting({"run", list}, reaper);
  EXPECT_EQ(second.status, kExitOk) << second.out;
  const auto again = Lines(second.out);
  ASSERT_EQ(again.size(), 3u) << second.out;
  EXPECT_EQ(again[0], "entry 1: skipped: already running (pid " + std::to_string(pids[0]) + ")");
  EXPECT_EQ(again[1], "entry 2: skipped: already running (pid " + std::to_string(pids[1]) + ")");
  // No program runs a document as its executable: it is opened again.
  EXPECT_NE(StartedPid(again[2]), 0u) << again[2];
}

// Three probes a second apart, each waited for until it is ready: the spacing of their start
// times goes to the test's log (a time on a shared machine is a figure, not a pass mark).
TEST(RunPauses, DelayAndWaitReadySpaceRealStartsAndSayHowTheyWent) {
  TempFolder dir;
  const ProbeReports reports(dir);
  Reaper reaper;
  const std::string probe = ProbeIn(dir.Path("p"));
  std::string records;
  for (int i = 0; i < 3; ++i) records += ListRecord(probe, "", "", "0", "False");
  const auto list = dir.Write("probes.plw", "102\r\n" + records);
  const auto r = RunStarting({"run", list, "--delay", "1", "--wait-ready", "10"}, reaper);
  ASSERT_EQ(r.status, kExitOk) << r.out << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 5u) << r.out;
  EXPECT_EQ(lines[1], "pause 1 s before entry 2");
  EXPECT_EQ(lines[3], "pause 1 s before entry 3");
  std::vector<ULONGLONG> created;
  for (const std::size_t k : {0u, 2u, 4u}) {
    const unsigned long pid = StartedPid(lines[k]);
    ASSERT_NE(pid, 0u) << lines[k];
    // The probe has a window and a message loop: it becomes ready within the limit.
    EXPECT_NE(lines[k].find(", ready)"), std::string::npos) << lines[k];
    created.push_back(CreationTime(pid));
  }
  for (std::size_t k = 1; k < created.size(); ++k) {
    // Creation times count 100 ns.
    std::printf("start %zu to %zu: %.3f s apart\n", k, k + 1,
                static_cast<double>(created[k] - created[k - 1]) / 1e7);
  }
  EXPECT_LT(created[0], created[1]);
  EXPECT_LT(created[1], created[2]);
}

}  // namespace
}  // namespace plwtool::testing
