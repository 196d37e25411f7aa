#include "plwtool.h"

#include <exception>
#include <ostream>
#include <set>

#include "commands.h"
#include "run.h"
#include "shortcuts.h"

namespace plwtool {

namespace {

int Shortcuts(const Io& io, const std::vector<std::string>& args) {
  Args a;
  if (const auto bad = Split(
          io, args, {{"-o", OptionRule::Value::Required}, {"--recursive"}, {"--dry-run"}}, a)) {
    return *bad;
  }
  ShortcutsRequest request;
  request.folders = a.operands;
  for (const GivenOption& o : a.options) {
    if (o.name == "-o") request.output = o.value;
    request.recursive = request.recursive || o.name == "--recursive";
    request.dryRun = request.dryRun || o.name == "--dry-run";
  }
  if (request.folders.empty()) return io.Usage("shortcuts: missing FOLDER");
  if (request.output.empty() && !request.dryRun) return io.Usage("shortcuts: missing -o LIST.plw");
  return ShortcutsCommand(io, request);
}

int Dispatch(const Io& io, const std::vector<std::string>& args) {
  try {
    if (args.empty()) return io.Usage("missing command");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
      io.out << io.host.toTerminal(kUsage) << std::flush;
      if (!io.out) {
        io.Error("the help text could not be written");
        return kExitFailed;
      }
      return kExitOk;
    }
    if (command == "show") return ShowCommand(io, args);
    if (command == "export") return ExportCommand(io, args);
    if (command == "import") return ImportCommand(io, args);
    if (command == "check") return CheckCommand(io, args);
    if (command == "run") return RunCommand(io, args);
    if (command == "shortcuts") return Shortcuts(io, args);
    return io.Usage("unknown command " + QuotedUtf8(io.Name(command)));
  } catch (const std::exception& e) {
    io.Error(std::string("unexpected failure: ") + e.what());
    return kExitFailed;
  } catch (...) {
    io.Error("unexpected failure");
    return kExitFailed;
  }
}

}  // namespace

int RunPlwtool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err, const Host& host, pallomar::FileSystem& fs) {
  std::set<std::string> copiesLeft;
  const Io io{in, out, err, host, fs, copiesLeft};
  const int status = Dispatch(io, args);
  // Usage errors stay what they are; otherwise the copy is what a script must see.
  return !copiesLeft.empty() && status != kExitUsage ? kExitCopyLeft : status;
}

}  // namespace plwtool
