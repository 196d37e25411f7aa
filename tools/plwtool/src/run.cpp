#include "run.h"

#include <optional>
#include <ostream>
#include <string_view>

#include "check.h"
#include "entrylist/entry_fields.h"
#include "entrylist/paths.h"
#include "launcher.h"
#include "plwtool.h"
#include "shown_text.h"

namespace plwtool {

namespace {

// Paths in the plan are cut only where no Windows path reaches.
constexpr std::size_t kShownPathChars = 260;

bool Given(std::string_view field) { return !pallomar::IsNoneText(field); }

struct WindowChoice {
  ShowState show = ShowState::Normal;
  std::string words;  // for the entry's line
};

// The window as the editor reads the stored state; the words say how it was read.
WindowChoice ChooseWindow(std::string_view text) {
  const pallomar::WindowState state = pallomar::WindowState::Read(text);
  using Kind = pallomar::WindowState::Kind;
  if (state.kind() == Kind::Unreadable) {
    return {ShowState::Normal, "normal: window state " + Quoted(text) + " is not an integer"};
  }
  if (state.kind() == Kind::None) {
    return {ShowState::Normal, "normal: window state " + Quoted(text) + " chooses none"};
  }
  WindowChoice choice;
  choice.show = state.kind() == Kind::Maximised   ? ShowState::Maximised
                : state.kind() == Kind::Minimised ? ShowState::Minimised
                                                  : ShowState::Normal;
  choice.words = state.PlainWord();
  if (!state.IsCanonical()) {
    choice.words += ": window state " + Quoted(text) + " read as " + state.StoredText();
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

struct EntryResult {
  std::string line;
  bool failed = false;
  bool started = false;  // or would be, in a plan
};

// Seconds as typed: digits, and up to three after a point; at most an hour.
std::optional<unsigned> Milliseconds(std::string_view text) {
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view part = point == std::string_view::npos ? "" : text.substr(point + 1);
  if (whole.empty() || whole.size() > 4 || part.size() > 3 ||
      (point != std::string_view::npos && part.empty())) {
    return std::nullopt;
  }
  unsigned ms = 0;
  for (const char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    ms = ms * 10 + static_cast<unsigned>(c - '0');
  }
  ms *= 1000;
  unsigned scale = 100;
  for (const char c : part) {
    if (c < '0' || c > '9') return std::nullopt;
    ms += static_cast<unsigned>(c - '0') * scale;
    scale /= 10;
  }
  if (ms > 3600 * 1000) return std::nullopt;
  return ms;
}

// "1 s", "0.5 s", "1.25 s".
std::string SecondsText(unsigned ms) {
  std::string text = std::to_string(ms / 1000);
  if (const unsigned rest = ms % 1000; rest != 0) {
    std::string digits = std::to_string(1000 + rest).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text + " s";
}

std::string ReadyWords(Readiness ready, unsigned limitMs) {
  switch (ready) {
    case Readiness::Ready:
      return ", ready";
    case Readiness::TimedOut:
      return ", not ready within " + SecondsText(limitMs);
    case Readiness::NoInput:
      return ", not waited for: it takes no window input";
    case Readiness::NotWaited:
      break;
  }
  return "";
}

class Runner {
 public:
  // `waitMs`: how long each program gets to become ready; `waitReady`: the line says how
  // that went.
  Runner(const Host& host, bool dryRun, unsigned waitMs, bool waitReady)
      : host_(host),
        launcher_(host.launcher.get()),
        dryRun_(dryRun),
        waitMs_(waitMs),
        waitReady_(waitReady) {}

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

    if (dryRun_) {
      if (waitReady_) details += ", then waits up to " + SecondsText(waitMs_) + " until ready";
      return {head + "would start " + what + " (" + details + ")\n", false, true};
    }
    StartRequest request;
    request.throughShell = throughShell;
    request.file = std::string(path);
    if (request.throughShell) {
      if (Given(params)) request.params = std::string(params);
    } else {
      request.commandLine = pallomar::CommandLineOf(path, params);
    }
    request.folder = std::string(folder.folder);
    request.show = window.show;
    request.idleWaitMs = waitMs_;
    const StartOutcome outcome = launcher_->Start(request);
    if (!outcome.started) {
      // The system's message is in the ANSI code page, as a file name on the command line is.
      return {head + fail + Quoted(path) + ": " + host_.nameToUtf8(outcome.error) + "\n", true};
    }
    const std::string process =
        outcome.pid ? "pid " + std::to_string(*outcome.pid) : "no new process";
    if (waitReady_) details += ReadyWords(outcome.ready, waitMs_);
    return {head + "started " + what + " (" + process + ", " + details + ")\n", false, true};
  }

 private:
  const Host& host_;
  Launcher* launcher_;
  bool dryRun_;
  unsigned waitMs_;
  bool waitReady_;
};

bool IsSeconds(std::string_view text) { return Milliseconds(text).has_value(); }

}  // namespace

int RunCommand(const Io& io, const std::vector<std::string>& args) {
  using Value = OptionRule::Value;
  Args a;
  if (const auto bad = Split(io, args,
                             {{"--dry-run"},
                              {"--no-wait"},
                              {"--delay", Value::Required, "SECONDS"},
                              // SECONDS may be left out: the next argument is taken only when
                              // it is a number.
                              {"--wait-ready", Value::Optional, {}, IsSeconds}},
                             a)) {
    return *bad;
  }
  bool dryRun = false;
  bool wait = true;
  unsigned delayMs = 0;
  std::optional<unsigned> readyMs;
  const auto badSeconds = [&](std::string_view name, const std::string& value) {
    return io.Usage("run: " + std::string(name) + ": " + QuotedUtf8(io.Name(value)) +
                    " is not a number of seconds from 0 to 3600 (such as 1 or 0.5)");
  };
  for (const GivenOption& o : a.options) {
    if (o.name == "--dry-run") {
      dryRun = true;
    } else if (o.name == "--no-wait") {
      wait = false;
    } else if (o.name == "--delay") {
      const auto ms = Milliseconds(o.value);
      if (!ms) return badSeconds(o.name, o.value);
      delayMs = *ms;
    } else {
      readyMs = o.hasValue ? Milliseconds(o.value) : kReadyWaitMs;
      if (!readyMs) return badSeconds(o.name, o.value);
    }
  }
  const std::vector<std::string>& files = a.operands;
  if (readyMs && !wait) return io.Usage("run: --wait-ready and --no-wait contradict each other");
  if (files.empty()) return io.Usage("run: missing FILE");
  if (files.size() > 1) {
    return io.Usage("run: unexpected argument " + QuotedUtf8(io.Name(files[1])));
  }
  Launcher* launcher = io.host.launcher.get();
  if (!dryRun && launcher == nullptr) {
    io.Error("run: starting Windows programs needs Windows or Wine; --dry-run shows the plan");
    return kExitUsage;
  }
  ListReader list(io.fs, false);
  if (!Open(io, "run", files[0], list)) return kExitUsage;

  const Runner runner(io.host, dryRun, readyMs.value_or(wait ? kIdleWaitMs : 0),
                      readyMs.has_value());
  Output out(io.out, io.host.toTerminal);
  bool failed = false;
  bool pauseDue = false;  // the pause after a start comes before the next entry, if any
  try {
    while (list.Next()) {
      if (pauseDue) {
        out.Text() += std::string(dryRun ? "would pause " : "pause ") + SecondsText(delayMs) +
                      " before entry " + std::to_string(list.Entry() + 1) + "\n";
        if (!dryRun) {
          (void)out.Flush();
          launcher->Pause(delayMs);
        }
        pauseDue = false;
      }
      const EntryResult result = runner.Entry(list.Record(), list.Entry());
      failed = failed || result.failed;
      pauseDue = result.started && delayMs > 0;
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
    io.Error("run: " + io.Name(files[0]) + ": " + e.what());
    return kExitUsage;
  }
  if (!out.Flush()) {
    io.Error("run: the output could not be written");
    return kExitFailed;
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace plwtool
