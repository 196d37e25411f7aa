#include "run.h"

#include <ostream>
#include <string_view>

#include "check.h"
#include "entrylist/errors.h"
#include "entrylist/model.h"
#include "entrylist/paths.h"
#include "launcher.h"
#include "list_form.h"
#include "plwtool.h"

namespace plwtool {

namespace {

// Paths in the plan are cut only where no Windows path reaches.
constexpr std::size_t kShownPathChars = 260;

bool Given(std::string_view field) { return !pallomar::IsNoneText(field); }

struct WindowChoice {
  ShowState show = ShowState::Normal;
  std::string words;  // for the entry's line
};

// The window-state text as the editor reads it: its integer conversion, bounded to -1..2.
WindowChoice ChooseWindow(std::string_view text) {
  pallomar::PanelValues bounded;
  try {
    bounded.SetWindowState(pallomar::StrToInt(text));
  } catch (const pallomar::EConvertError&) {
    return {ShowState::Normal, "normal: window state " + Quoted(text) + " is not an integer"};
  }
  const int state = bounded.windowState;
  if (state == -1) {
    return {ShowState::Normal, "normal: window state " + Quoted(text) + " chooses none"};
  }
  WindowChoice choice;
  choice.show = state == 1   ? ShowState::Maximised
                : state == 2 ? ShowState::Minimised
                             : ShowState::Normal;
  choice.words = StateWord(state);
  if (text != std::to_string(state)) {
    choice.words += ": window state " + Quoted(text) + " read as " + std::to_string(state);
  }
  return choice;
}

struct FolderChoice {
  std::string_view folder;  // empty: the current folder
  std::string words;
};

FolderChoice ChooseFolder(std::string_view path, std::string_view folder) {
  if (Given(folder)) return {folder, "folder " + ShownStart(folder, kShownPathChars)};
  const std::string_view own = path.substr(0, pallomar::FolderLength(path));
  if (!own.empty()) return {own, "its own folder " + ShownStart(own, kShownPathChars)};
  return {{}, "current folder"};
}

// The path, quoted when a space or tab would split it, then the parameters as stored.
std::string CommandLine(std::string_view path, std::string_view params) {
  const bool quote = path.find_first_of(" \t") != std::string_view::npos;
  std::string line = quote ? "\"" + std::string(path) + "\"" : std::string(path);
  if (Given(params)) line += " " + std::string(params);
  return line;
}

struct EntryResult {
  std::string line;
  bool failed = false;
};

class Runner {
 public:
  Runner(const Host& host, bool dryRun, bool wait)
      : host_(host), launcher_(host.launcher.get()), dryRun_(dryRun), wait_(wait) {}

  // `record` holds the entry (from 0) as its one row.
  EntryResult Entry(const pallomar::EntryList& record, std::size_t entry) const {
    const std::size_t row = 0;
    const pallomar::EntryList& list = record;
    const std::string head = "entry " + std::to_string(entry + 1) + ": ";
    const std::string_view path = list.Get(row, pallomar::kPath);
    const std::string_view params = list.Get(row, pallomar::kParams);
    const std::string skip = dryRun_ ? "would skip: " : "skipped: ";
    const std::string fail = dryRun_ ? "would fail: " : "failed: ";
    if (path.empty()) return {head + skip + "no file to run\n"};
    // A quote would end the quoted path early and turn the rest of it into parameters.
    if (path.find('"') != std::string_view::npos) {
      return {head + fail + Quoted(path) + ": a file name cannot hold a double quote\n", true};
    }

    const bool runCheck = pallomar::RunCheckOn(list.Get(row, pallomar::kRunCheck));
    if (runCheck && launcher_ != nullptr) {
      if (const auto pid = launcher_->FindRunning(std::string(path))) {
        return {head + skip + "already running (pid " + std::to_string(*pid) + ")\n"};
      }
    }

    const bool throughShell = !pallomar::IsProgramExtension(pallomar::FileExtension(path));
    const WindowChoice window = ChooseWindow(list.Get(row, pallomar::kWindowState));
    const FolderChoice folder = ChooseFolder(path, list.Get(row, pallomar::kFolder));

    std::string what = Quoted(path, kShownPathChars);
    if (Given(params)) what += " " + ShownStart(params, kShownPathChars);
    if (throughShell) what += " through the shell";
    std::string details = window.words + ", " + folder.words;
    if (runCheck && launcher_ == nullptr) details += ", running check not made";

    if (dryRun_) return {head + "would start " + what + " (" + details + ")\n"};
    StartRequest request;
    request.throughShell = throughShell;
    request.file = std::string(path);
    if (request.throughShell) {
      if (Given(params)) request.params = std::string(params);
    } else {
      request.commandLine = CommandLine(path, params);
    }
    request.folder = std::string(folder.folder);
    request.show = window.show;
    request.idleWaitMs = wait_ ? kIdleWaitMs : 0;
    const StartOutcome outcome = launcher_->Start(request);
    if (!outcome.started) {
      // The system's message is in the ANSI code page, as a file name on the command line is.
      return {head + fail + Quoted(path) + ": " + host_.nameToUtf8(outcome.error) + "\n", true};
    }
    const std::string process =
        outcome.pid ? "pid " + std::to_string(*outcome.pid) : "no new process";
    return {head + "started " + what + " (" + process + ", " + details + ")\n"};
  }

 private:
  const Host& host_;
  Launcher* launcher_;
  bool dryRun_;
  bool wait_;
};

}  // namespace

int RunCommand(const RunIo& io, const std::vector<std::string>& args) {
  bool dryRun = false;
  bool wait = true;
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded) {
      files.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "--dry-run") {
      dryRun = true;
    } else if (a == "--no-wait") {
      wait = false;
    } else if (a.size() > 1 && a[0] == '-') {
      return io.usage("run: unknown option " + QuotedUtf8(io.name(a)));
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return io.usage("run: missing FILE");
  if (files.size() > 1) {
    return io.usage("run: unexpected argument " + QuotedUtf8(io.name(files[1])));
  }
  Launcher* launcher = io.host.launcher.get();
  if (!dryRun && launcher == nullptr) {
    io.error("run: starting Windows programs needs Windows or Wine; --dry-run shows the plan");
    return kExitUsage;
  }
  ListReader list(io.fs, false);
  if (!io.open(files[0], list)) return kExitUsage;

  const Runner runner(io.host, dryRun, wait);
  Output out(io.out, io.host.toTerminal);
  bool failed = false;
  try {
    while (list.Next()) {
      const EntryResult result = runner.Entry(list.Record(), list.Entry());
      failed = failed || result.failed;
      out.Text() += result.line;
      // Each line as soon as its entry is started: a program that hangs shows where. A plan
      // starts nothing and goes out in pieces.
      if (dryRun) {
        out.LineDone();
      } else {
        (void)out.Flush();
      }
    }
  } catch (const ReadFailure& e) {
    (void)out.Flush();
    io.error("run: " + io.name(files[0]) + ": " + e.what());
    return kExitUsage;
  }
  if (!out.Flush()) {
    io.error("run: the output could not be written");
    return kExitFailed;
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace plwtool
