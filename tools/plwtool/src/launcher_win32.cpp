// Windows (and Wine): entries start through CreateProcessA or ShellExecuteExA; running
// programs are found in a process snapshot by the full path of their executable.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "entrylist/paths.h"
#include "launcher.h"

namespace plwtool {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

// The system's text for `code`, in the ANSI code page, without its line end.
std::string SystemMessage(DWORD code) {
  char* buffer = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  std::string text = n > 0 && buffer != nullptr ? std::string(buffer, n) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  const std::string number = "error " + std::to_string(code);
  return text.empty() ? number : text + " (" + number + ")";
}

int ShowCommand(ShowState s) {
  switch (s) {
    case ShowState::Maximised:
      return SW_SHOWMAXIMIZED;
    case ShowState::Minimised:
      return SW_SHOWMINNOACTIVE;
    case ShowState::Normal:
      break;
  }
  return SW_SHOWNORMAL;
}

// A path as the system spells a running program's image: full, with long names. nullopt when
// it names nothing that exists.
std::optional<std::string> FullImagePath(const std::string& file) {
  std::vector<char> buffer(MAX_PATH);
  const bool bare = file.find_first_of("\\/:") == std::string::npos;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const auto size = static_cast<DWORD>(buffer.size());
    const DWORD n = bare ? SearchPathA(nullptr, file.c_str(), ".exe", size, buffer.data(), nullptr)
                         : GetFullPathNameA(file.c_str(), size, buffer.data(), nullptr);
    if (n == 0) return std::nullopt;
    if (n < size) {
      std::string full(buffer.data(), n);
      std::vector<char> longName(32768);
      const DWORD m =
          GetLongPathNameA(full.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
      if (m == 0) return std::nullopt;  // no such file: nothing can run from it
      if (m < longName.size()) full.assign(longName.data(), m);
      return full;
    }
    buffer.resize(n + 1);  // n is the size needed
  }
  return std::nullopt;
}

class Win32Launcher final : public Launcher {
 public:
  Win32Launcher() = default;
  ~Win32Launcher() override {
    if (comReady_) CoUninitialize();
  }
  Win32Launcher(const Win32Launcher&) = delete;
  Win32Launcher& operator=(const Win32Launcher&) = delete;

  std::optional<unsigned long> FindRunning(const std::string& file) override {
    const auto target = FullImagePath(file);
    if (!target) return std::nullopt;
    // Windows paths ignore case; the editor's lowering rule keeps double-byte characters.
    const std::string wanted = pallomar::Lowered(*target);
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return std::nullopt;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::vector<char> image(32768);
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
      const DWORD pid = entry.th32ProcessID;
      if (pid == 0 || pid == GetCurrentProcessId()) continue;
      Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
      if (!process.valid()) continue;  // not ours to look at
      auto size = static_cast<DWORD>(image.size());
      if (!QueryFullProcessImageNameA(process.get(), 0, image.data(), &size)) continue;
      if (pallomar::Lowered(std::string_view(image.data(), size)) == wanted) return pid;
    }
    return std::nullopt;
  }

  StartOutcome Start(const StartRequest& r) override {
    StartOutcome out;
    const int show = ShowCommand(r.show);
    const char* folder = r.folder.empty() ? nullptr : r.folder.c_str();
    HANDLE started = nullptr;
    if (!r.throughShell) {
      STARTUPINFOA si{};
      si.cb = sizeof si;
      si.dwFlags = STARTF_USESHOWWINDOW;
      si.wShowWindow = static_cast<WORD>(show);
      PROCESS_INFORMATION pi{};
      std::vector<char> line(r.commandLine.begin(), r.commandLine.end());
      line.push_back('\0');
      // Nothing of the tool's passes on: no inherited handles, and a console of its own (as
      // from a launcher without one). Under Wine a program sharing the console still got the
      // tool's standard output, and kept it open for as long as it ran.
      if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                          nullptr, folder, &si, &pi)) {
        out.error = SystemMessage(GetLastError());
        return out;
      }
      CloseHandle(pi.hThread);
      started = pi.hProcess;
      out.pid = pi.dwProcessId;
    } else {
      // The shell may hand a document to a COM server; the single-threaded model is what it
      // expects of a caller. Only documents need it, so other commands never load COM.
      if (!comTried_) {
        comTried_ = true;
        comReady_ =
            SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
      }
      SHELLEXECUTEINFOA sei{};
      sei.cbSize = sizeof sei;
      // No error boxes: a failure is the tool's to report, and nobody may be there to answer.
      sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
      sei.lpFile = r.file.c_str();
      sei.lpParameters = r.params.empty() ? nullptr : r.params.c_str();
      sei.lpDirectory = folder;
      sei.nShow = show;
      if (!ShellExecuteExA(&sei)) {
        out.error = SystemMessage(GetLastError());
        return out;
      }
      started = sei.hProcess;  // none when an existing program took the file
      if (started != nullptr) out.pid = GetProcessId(started);
    }
    out.started = true;
    const Handle process(started);
    if (process.valid() && r.idleWaitMs > 0) {
      // A console program, or one with no message queue, is not waited for at all.
      const DWORD waited = WaitForInputIdle(process.get(), r.idleWaitMs);
      out.ready = waited == 0              ? Readiness::Ready
                  : waited == WAIT_TIMEOUT ? Readiness::TimedOut
                                           : Readiness::NoInput;
    }
    return out;
  }

  void Pause(unsigned ms) override { Sleep(ms); }

 private:
  bool comTried_ = false;
  bool comReady_ = false;
};

}  // namespace

std::shared_ptr<Launcher> MakeWin32Launcher() { return std::make_shared<Win32Launcher>(); }

}  // namespace plwtool
