// What every command is given and how it speaks: its streams, the host and the file system,
// its messages, its options, and the opening of a list.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "entrylist/file_system.h"
#include "host.h"
#include "list_source.h"
#include "output.h"
#include "plwtool.h"
#include "shown_text.h"

namespace plwtool {

inline constexpr char kUsage[] =
    "usage: plwtool show FILE\n"
    "       plwtool export FILE [--format json|csv]\n"
    "       plwtool import JSON OUT.plw      (JSON \"-\" reads standard input)\n"
    "       plwtool check FILE...\n"
    "       plwtool run FILE [--dry-run] [--no-wait] [--delay SECONDS] [--wait-ready [SECONDS]]\n"
    "       plwtool shortcuts FOLDER... -o LIST.plw [--recursive] [--dry-run]\n";

struct Io {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  const Host& host;
  pallomar::FileSystem& fs;
  // The lists that had the copy an interrupted save left beside them, each said once.
  std::set<std::string>& copiesLeft;

  // A message line on standard error, in the terminal's encoding.
  void Error(const std::string& utf8) const { err << host.toTerminal("plwtool: " + utf8 + "\n"); }
  int Usage(const std::string& utf8) const {
    Error(utf8);
    err << host.toTerminal(kUsage);
    return kExitUsage;
  }
  // Anything the user typed, as it may be echoed: control bytes escaped, length bounded.
  std::string Name(const std::string& text) const {
    return BoundedUtf8(host.nameToUtf8(text), kEchoChars);
  }
  static constexpr std::size_t kEchoChars = 1024;
};

// An option a command knows, and whether a value goes with it.
struct OptionRule {
  enum class Value { None, Required, Optional };
  std::string_view name;
  Value value = Value::None;
  // What the message names when a required value is missing.
  std::string_view missing = "a value";
  // An optional value comes after "=", or is the next argument when this says it is one.
  bool (*isValue)(std::string_view next) = nullptr;
};

struct GivenOption {
  std::string name;
  std::string value;
  bool hasValue = false;
};

// The arguments after the command: options (with their values), in order, and the rest. "--"
// ends the options; "-" alone is not one (standard input).
struct Args {
  std::vector<GivenOption> options;
  std::vector<std::string> operands;
};

// Refuses an option that is not in `known` before anything is opened. nullopt: the arguments
// are fine; else the usage status, said.
std::optional<int> Split(const Io& io, const std::vector<std::string>& args,
                         std::initializer_list<OptionRule> known, Args& out);

// Says so when an interrupted save left its copy of the earlier list beside `file`: the list
// may be torn, the copy is whole. Nothing removes the copy but the user.
void ReportLeftoverCopy(const Io& io, const std::string& command, const std::string& file);

// Opens `file`; on failure says why and returns false.
bool Open(const Io& io, const std::string& command, const std::string& file, ListReader& list);

// Everything for standard output has been handed on; says so when it could not be.
bool Delivered(const Io& io, const std::string& command, Output& out);

}  // namespace plwtool
