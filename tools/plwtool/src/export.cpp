// `plwtool export`: the list as JSON or CSV.
#include "commands.h"
#include "list_form.h"

namespace plwtool {

int ExportCommand(const Io& io, const std::vector<std::string>& args) {
  Args a;
  if (const auto bad = Split(io, args, {{"--format", OptionRule::Value::Required}}, a)) return *bad;
  std::string format = "json";
  for (const GivenOption& o : a.options) {
    format = o.value;
    if (format != "json" && format != "csv") {
      return io.Usage("export: unknown format " + QuotedUtf8(io.Name(format)) + " (json or csv)");
    }
  }
  if (a.operands.empty()) return io.Usage("export: missing FILE");
  if (a.operands.size() > 1) {
    return io.Usage("export: unexpected argument " + QuotedUtf8(io.Name(a.operands[1])));
  }
  const std::string& file = a.operands[0];
  ListReader list(io.fs, false);
  if (!Open(io, "export", file, list)) return kExitFailed;
  // Both forms are UTF-8 whatever the terminal uses: they are meant for files and programs.
  Output out(io.out);
  try {
    bool any = false;
    if (format == "csv") {
      WriteCsvHead(out);
      while (list.Next()) WriteCsvRecord(list.Record(), list.Entry() + 1, out);
    } else {
      WriteJsonHead(list.Version(), out);
      for (; list.Next(); any = true) WriteJsonRecord(list.Record(), !any, out);
      WriteJsonTail(any, out);
    }
  } catch (const ReadFailure& e) {
    (void)out.Flush();
    io.Error("export: " + io.Name(file) + ": " + e.what());
    return kExitFailed;
  }
  return Delivered(io, "export", out) ? kExitOk : kExitFailed;
}

}  // namespace plwtool
