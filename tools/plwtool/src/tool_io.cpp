#include "tool_io.h"

#include "entrylist/list_file.h"

namespace plwtool {

std::optional<int> Split(const Io& io, const std::vector<std::string>& args,
                         std::initializer_list<OptionRule> known, Args& out) {
  using Value = OptionRule::Value;
  const std::string& command = args[0];
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      out.operands.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const auto eq = a.find('=');
    const std::string name = a.substr(0, eq);
    const OptionRule* rule = nullptr;
    for (const OptionRule& k : known) {
      if (k.name == name) rule = &k;
    }
    if (rule == nullptr || (rule->value == Value::None && eq != std::string::npos)) {
      return io.Usage(command + ": unknown option " + QuotedUtf8(io.Name(a)));
    }
    GivenOption given{name, {}, false};
    if (eq != std::string::npos) {
      given.value = a.substr(eq + 1);
      given.hasValue = true;
    } else if (rule->value == Value::Required) {
      if (i + 1 >= args.size()) {
        return io.Usage(command + ": " + name + " needs " + std::string(rule->missing));
      }
      given.value = args[++i];
      given.hasValue = true;
    } else if (rule->value == Value::Optional && i + 1 < args.size() &&
               rule->isValue(args[i + 1])) {
      given.value = args[++i];
      given.hasValue = true;
    }
    out.options.push_back(std::move(given));
  }
  return std::nullopt;
}

void ReportLeftoverCopy(const Io& io, const std::string& command, const std::string& file) {
  const std::string copy = pallomar::LeftoverSaveCopy(file, io.fs);
  if (copy.empty() || !io.copiesLeft.insert(file).second) return;
  io.Error(command + ": " + io.Name(file) +
           ": a save of this list was interrupted; the list as it was before is whole in " +
           io.Name(copy) + ". Compare the two, keep the right one as the list and remove the copy");
}

bool Open(const Io& io, const std::string& command, const std::string& file, ListReader& list) {
  ReportLeftoverCopy(io, command, file);
  const LoadStatus status = list.Open(file);
  if (status == LoadStatus::Failed) {
    io.Error(command + ": " + io.Name(file) + ": " + list.Error());
    return false;
  }
  if (status == LoadStatus::NotAList) {
    io.Error(command + ": " + io.Name(file) + ": not a list file (its first line " +
             Quoted(list.Version()) + " is not 100, 101 or 102)");
    return false;
  }
  return true;
}

bool Delivered(const Io& io, const std::string& command, Output& out) {
  if (out.Flush()) return true;
  io.Error(command + ": the output could not be written");
  return false;
}

}  // namespace plwtool
