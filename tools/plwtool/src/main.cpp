// plwtool: launch lists from the command line.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "entrylist/file_system.h"
#include "entrylist/list_file.h"
#include "plwtool.h"

namespace {

// An interrupted import must not leave the file it was writing behind.
#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
  // A rewrite in place is let finish: cut short, it would tear the list.
  while (pallomar::InterruptsHeld()) Sleep(10);
  pallomar::RemoveUnfinishedSave();
  return FALSE;  // the default handler ends the process
}

void RemoveUnfinishedSaveOnInterrupt() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
#else
extern "C" void OnSignal(int sig) {
  pallomar::RemoveUnfinishedSave();
  // The handler was reset on entry: the signal, delivered again on return, ends the process as
  // it would have without it.
  (void)std::raise(sig);
}

void RemoveUnfinishedSaveOnInterrupt() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction old {};
    // A signal ignored from the start (a background job, nohup) stays ignored.
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction on {};
    on.sa_handler = OnSignal;
    on.sa_flags = SA_RESETHAND;
    sigemptyset(&on.sa_mask);
    (void)sigaction(sig, &on, nullptr);
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Exports are exact bytes: no LF to CR LF translation.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  RemoveUnfinishedSaveOnInterrupt();
  std::vector<std::string> args(argv + 1, argv + argc);
  return plwtool::RunPlwtool(args, std::cin, std::cout, std::cerr);
}
