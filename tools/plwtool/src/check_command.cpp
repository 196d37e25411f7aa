// `plwtool check`: the findings of each list given.
#include <exception>

#include "check.h"
#include "commands.h"

namespace plwtool {

int CheckCommand(const Io& io, const std::vector<std::string>& args) {
  Args a;
  if (const auto bad = Split(io, args, {}, a)) return *bad;
  if (a.operands.empty()) return io.Usage("check: missing FILE");
  bool findings = false;
  bool unreadable = false;
  bool anyLoaded = false;
  Output out(io.out, io.host.toTerminal);
  for (const std::string& file : a.operands) {
    const std::string name = io.Name(file);
    // One file's failure, whatever it is, is that file's: the others are still checked.
    try {
      ReportLeftoverCopy(io, "check", file);
      ListReader list(io.fs, true);
      const LoadStatus status = list.Open(file);
      if (status == LoadStatus::Failed) {
        io.Error("check: " + name + ": " + list.Error());
        unreadable = true;
        continue;
      }
      anyLoaded = anyLoaded || status == LoadStatus::Loaded;
      const std::size_t found = ReportFindings(list, status, io.host, io.fs, [&](const Finding& f) {
        out.Text().append(name).append(": ");
        AppendFindingText(out.Text(), f);
        out.Text() += '\n';
        out.LineDone();
      });
      if (found == 0) out.Text() += name + ": no findings\n";
      findings = findings || found != 0;
    } catch (const std::exception& e) {
      io.Error("check: " + name + ": could not be checked: " + e.what());
      unreadable = true;
    }
  }
  if (anyLoaded && !io.host.seesListPaths) {
    out.Text() +=
        "note: files to run and working folders were not looked for: they are Windows "
        "paths, which this host cannot see\n";
  }
  if (!Delivered(io, "check", out)) return kExitUsage;
  if (unreadable) return kExitUsage;
  return findings ? kExitFailed : kExitOk;
}

}  // namespace plwtool
