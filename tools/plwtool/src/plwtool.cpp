#include "plwtool.h"

#include <algorithm>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "check.h"
#include "entrylist/errors.h"
#include "entrylist/list_file.h"
#include "list_form.h"
#include "list_source.h"
#include "run.h"

namespace plwtool {

namespace {

constexpr char kUsage[] =
    "usage: plwtool show FILE\n"
    "       plwtool export FILE [--format json|csv]\n"
    "       plwtool import JSON OUT.plw      (JSON \"-\" reads standard input)\n"
    "       plwtool check FILE...\n"
    "       plwtool run FILE [--dry-run] [--no-wait]\n";

struct Io {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  const Host& host;

  // A message line on standard error, in the terminal's encoding.
  void Error(const std::string& utf8) const { err << host.toTerminal("plwtool: " + utf8 + "\n"); }
  int Usage(const std::string& utf8) const {
    Error(utf8);
    err << host.toTerminal(kUsage);
    return kExitUsage;
  }
  std::string Name(const std::string& file) const { return host.nameToUtf8(file); }
};

// Columns on a terminal: half-width characters take one, the rest of East Asia two.
std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::uint32_t cp = n == 1 ? c : c & (0xFFu >> (n + 1));
    for (std::size_t k = 1; k < n && i + k < utf8.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    }
    width += (cp < 0x1100 || (cp >= 0xFF61 && cp <= 0xFF9F)) ? 1 : 2;
    i += n;
  }
  return width;
}

std::string StateWord(std::string_view code) {
  if (code == "0") return "通常";
  if (code == "1") return "最大化";
  if (code == "2") return "最小化";
  return DisplayText(code);
}

std::string Table(const pallomar::EntryList& list) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"番号", "実行するファイル", "実行パラメータ", "作業フォルダ", "ウィンドウサイズ",
                  "実行中チェック"});
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const auto optional = [&](pallomar::Field f) {
      const auto v = list.Get(i, f);
      return v == pallomar::kDummyMarker ? std::string() : DisplayText(v);
    };
    rows.push_back({std::to_string(i + 1), DisplayText(list.Get(i, pallomar::kPath)),
                    optional(pallomar::kParams), optional(pallomar::kFolder),
                    StateWord(list.Get(i, pallomar::kWindowState)),
                    list.Get(i, pallomar::kRunCheck) == "0" ? "しない" : "する"});
  }
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows) {
    for (std::size_t k = 0; k < row.size(); ++k) {
      widths[k] = std::max(widths[k], DisplayWidth(row[k]));
    }
  }
  std::string out;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string line;
    for (std::size_t k = 0; k < rows[r].size(); ++k) {
      const std::string& cell = rows[r][k];
      const std::string pad(widths[k] - DisplayWidth(cell), ' ');
      if (k > 0) line += "  ";
      // Numbers line up on the right, texts on the left.
      if (k == 0 && r > 0) {
        line += pad + cell;
      } else {
        line += cell + pad;
      }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  return out;
}

// Loads `file`; on failure says why and returns false.
bool Load(const Io& io, const std::string& command, const std::string& file, LoadedList& out) {
  out = LoadList(file);
  if (out.status == LoadStatus::Failed) {
    io.Error(command + ": " + io.Name(file) + ": " + out.error);
    return false;
  }
  if (out.status == LoadStatus::NotAList) {
    io.Error(command + ": " + io.Name(file) + ": not a list file (its first line \"" +
             DisplayText(out.raw.version) + "\" is not 100, 101 or 102)");
    return false;
  }
  return true;
}

int Show(const Io& io, const std::vector<std::string>& args) {
  if (args.size() < 2) return io.Usage("show: missing FILE");
  if (args.size() > 2) return io.Usage("show: unexpected argument \"" + io.Name(args[2]) + "\"");
  LoadedList list;
  if (!Load(io, "show", args[1], list)) return kExitFailed;
  io.out << io.host.toTerminal(Table(list.list));
  return kExitOk;
}

int Export(const Io& io, const std::vector<std::string>& args) {
  std::string format = "json";
  std::vector<std::string> files;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--format" || a.rfind("--format=", 0) == 0) {
      if (a == "--format") {
        if (i + 1 == args.size()) return io.Usage("export: --format needs json or csv");
        format = args[++i];
      } else {
        format = a.substr(9);
      }
      if (format != "json" && format != "csv") {
        return io.Usage("export: unknown format \"" + io.Name(format) + "\" (json or csv)");
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return io.Usage("export: unknown option \"" + io.Name(a) + "\"");
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return io.Usage("export: missing FILE");
  if (files.size() > 1) {
    return io.Usage("export: unexpected argument \"" + io.Name(files[1]) + "\"");
  }
  LoadedList list;
  if (!Load(io, "export", files[0], list)) return kExitFailed;
  // Both forms are UTF-8 whatever the terminal uses: they are meant for files and programs.
  io.out << (format == "csv" ? ListToCsv(list.list) : ListToJson(list.list, list.raw.version));
  io.out.flush();
  if (!io.out) {
    io.Error("export: the output could not be written");
    return kExitFailed;
  }
  return kExitOk;
}

int Import(const Io& io, const std::vector<std::string>& args) {
  if (args.size() < 3)
    return io.Usage(args.size() < 2 ? "import: missing JSON and OUT.plw"
                                    : "import: missing OUT.plw");
  if (args.size() > 3) {
    return io.Usage("import: unexpected argument \"" + io.Name(args[3]) + "\"");
  }
  const std::string& source = args[1];
  const std::string& target = args[2];
  const std::string sourceName = source == "-" ? "(standard input)" : io.Name(source);
  std::string text;
  if (source == "-") {
    text.assign(std::istreambuf_iterator<char>(io.in), std::istreambuf_iterator<char>());
  } else {
    std::ifstream f(source, std::ios::binary);
    if (!f) {
      io.Error("import: " + sourceName + ": cannot be read");
      return kExitFailed;
    }
    text.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    if (f.bad()) {
      io.Error("import: " + sourceName + ": cannot be read");
      return kExitFailed;
    }
  }
  pallomar::EntryList list;
  try {
    list = ListFromJson(text);
  } catch (const JsonError& e) {
    io.Error("import: " + sourceName + ":" + std::to_string(e.Pos().line) + ":" +
             std::to_string(e.Pos().column) + ": " + e.what());
    return kExitFailed;
  } catch (const FormError& e) {
    io.Error("import: " + sourceName + ":" + std::to_string(e.Pos().line) + ":" +
             std::to_string(e.Pos().column) + ": " + e.Field() + ": " + e.what());
    return kExitFailed;
  }
  try {
    pallomar::WriteListFile(target, list);
  } catch (const pallomar::EInOutError& e) {
    io.Error("import: " + io.Name(target) + ": " + SjisToUtf8(e.what()).value_or(e.what()));
    return kExitFailed;
  }
  if (list.Empty()) {
    io.Error("import: warning: no entries; the editor shows one empty entry for " +
             io.Name(target));
  }
  return kExitOk;
}

int Check(const Io& io, const std::vector<std::string>& args) {
  if (args.size() < 2) return io.Usage("check: missing FILE");
  bool findings = false;
  bool unreadable = false;
  bool anyLoaded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string name = io.Name(args[i]);
    const LoadedList list = LoadList(args[i]);
    if (list.status == LoadStatus::Failed) {
      io.Error("check: " + name + ": " + list.error);
      unreadable = true;
      continue;
    }
    anyLoaded = anyLoaded || list.status == LoadStatus::Loaded;
    const auto found = FindingsFor(list, io.host);
    std::string report;
    for (const auto& f : found) report += name + ": " + FindingText(f) + "\n";
    if (found.empty()) report = name + ": no findings\n";
    findings = findings || !found.empty();
    io.out << io.host.toTerminal(report);
  }
  if (anyLoaded && !io.host.seesListPaths) {
    io.out << io.host.toTerminal(
        "note: files to run and working folders were not looked for: they are Windows "
        "paths, which this host cannot see\n");
  }
  if (unreadable) return kExitUsage;
  return findings ? kExitFailed : kExitOk;
}

}  // namespace

int RunPlwtool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err, const Host& host) {
  const Io io{in, out, err, host};
  try {
    if (args.empty()) return io.Usage("missing command");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
      out << host.toTerminal(kUsage);
      return kExitOk;
    }
    if (command == "show") return Show(io, args);
    if (command == "export") return Export(io, args);
    if (command == "import") return Import(io, args);
    if (command == "check") return Check(io, args);
    if (command == "run") {
      return RunCommand(
          {out, host, [&](const std::string& m) { io.Error(m); },
           [&](const std::string& m) { return io.Usage(m); },
           [&](const std::string& f, LoadedList& l) { return Load(io, "run", f, l); }},
          args);
    }
    return io.Usage("unknown command \"" + io.Name(command) + "\"");
  } catch (const std::exception& e) {
    io.Error(std::string("unexpected failure: ") + e.what());
    return kExitFailed;
  } catch (...) {
    io.Error("unexpected failure");
    return kExitFailed;
  }
}

}  // namespace plwtool
