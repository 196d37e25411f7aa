// The process side of `plwtool run`: finding running programs and starting entries. Kept
// behind this small interface so that what `run` decides (which entries start, how, with
// what command line, folder and show command) is plain C++ and testable on any host.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace plwtool {

enum class ShowState { Normal, Maximised, Minimised };

struct StartRequest {
  // True: opened through the shell (documents, shortcuts); false: started as a program.
  bool throughShell = false;
  std::string file;         // the file to run as stored (Shift-JIS)
  std::string commandLine;  // programs: the whole command line
  std::string params;       // the shell: the parameters; empty for none
  std::string folder;       // the working folder; empty for the current folder
  ShowState show = ShowState::Normal;
  unsigned idleWaitMs = 0;  // how long a started program gets to become idle
};

// What waiting for a started program to be ready for input found.
enum class Readiness { NotWaited, Ready, TimedOut, NoInput };

struct StartOutcome {
  bool started = false;
  Readiness ready = Readiness::NotWaited;
  // The new process; none when the shell handed the file to a program already running.
  std::optional<unsigned long> pid;
  std::string error;  // when not started: the system's message, in the ANSI code page
};

class Launcher {
 public:
  virtual ~Launcher() = default;
  // The id of a running process whose executable is `file`; a bare name is first searched
  // for the way the system finds programs.
  virtual std::optional<unsigned long> FindRunning(const std::string& file) = 0;
  virtual StartOutcome Start(const StartRequest& request) = 0;
  // Waits `ms` milliseconds before the next entry starts.
  virtual void Pause(unsigned ms) = 0;
};

// The launcher of this machine. Only Windows (and Wine) has one.
std::shared_ptr<Launcher> MakeWin32Launcher();

}  // namespace plwtool
