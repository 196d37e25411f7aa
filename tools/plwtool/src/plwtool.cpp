#include "plwtool.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <istream>
#include <ostream>

#include "check.h"
#include "entrylist/errors.h"
#include "entrylist/list_file.h"
#include "entrylist/model.h"
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
  // Anything the user typed, as it may be echoed.
  std::string Name(const std::string& text) const { return ShownUtf8(host.nameToUtf8(text)); }
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

constexpr std::size_t kColumns = 6;
using Row = std::array<std::string, kColumns>;

Row Cells(const pallomar::EntryList& list, std::size_t i) {
  const auto optional = [&](pallomar::Field f) {
    const auto v = list.Get(i, f);
    return v == pallomar::kDummyMarker ? std::string() : DisplayText(v);
  };
  return {std::to_string(i + 1),
          DisplayText(list.Get(i, pallomar::kPath)),
          optional(pallomar::kParams),
          optional(pallomar::kFolder),
          StateWord(list.Get(i, pallomar::kWindowState)),
          pallomar::RunCheckOn(list.Get(i, pallomar::kRunCheck)) ? "する" : "しない"};
}

// The table row by row: one pass for the column widths, one to write, so that only one row
// is ever formatted at a time.
void WriteTable(const pallomar::EntryList& list, Output& out) {
  const Row headings = {"番号",         "実行するファイル", "実行パラメータ",
                        "作業フォルダ", "ウィンドウサイズ", "実行中チェック"};
  std::array<std::size_t, kColumns> widths{};
  const auto measure = [&](const Row& row) {
    for (std::size_t k = 0; k < kColumns; ++k) {
      widths[k] = std::max(widths[k], DisplayWidth(row[k]));
    }
  };
  measure(headings);
  for (std::size_t i = 0; i < list.Count(); ++i) measure(Cells(list, i));

  const auto write = [&](const Row& row, bool numbered) {
    std::string& line = out.Text();
    const std::size_t start = line.size();
    for (std::size_t k = 0; k < kColumns; ++k) {
      const std::string& cell = row[k];
      const std::string pad(widths[k] - DisplayWidth(cell), ' ');
      if (k > 0) line += "  ";
      // Numbers line up on the right, texts on the left.
      if (k == 0 && numbered) {
        line += pad + cell;
      } else {
        line += cell + pad;
      }
    }
    while (line.size() > start && line.back() == ' ') line.pop_back();
    line += '\n';
    out.LineDone();
  };
  write(headings, false);
  for (std::size_t i = 0; i < list.Count(); ++i) write(Cells(list, i), true);
}

// Loads `file`; on failure says why and returns false.
bool Load(const Io& io, const std::string& command, const std::string& file, LoadedList& out) {
  out = LoadList(file, io.host);
  if (out.status == LoadStatus::Failed) {
    io.Error(command + ": " + io.Name(file) + ": " + out.error);
    return false;
  }
  if (out.status == LoadStatus::NotAList) {
    io.Error(command + ": " + io.Name(file) + ": not a list file (its first line " +
             QuotedStart(out.notes.firstLine) + " is not 100, 101 or 102)");
    return false;
  }
  return true;
}

// Everything for standard output has been handed on; says so when it could not be.
bool Delivered(const Io& io, const std::string& command, Output& out) {
  if (out.Flush()) return true;
  io.Error(command + ": the output could not be written");
  return false;
}

int Show(const Io& io, const std::vector<std::string>& args) {
  if (args.size() < 2) return io.Usage("show: missing FILE");
  if (args.size() > 2) return io.Usage("show: unexpected argument \"" + io.Name(args[2]) + "\"");
  LoadedList list;
  if (!Load(io, "show", args[1], list)) return kExitFailed;
  Output out(io.out, io.host.toTerminal);
  WriteTable(list.list, out);
  return Delivered(io, "show", out) ? kExitOk : kExitFailed;
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
  Output out(io.out);
  if (format == "csv") {
    WriteListCsv(list.list, out);
  } else {
    WriteListJson(list.list, list.Version(), out);
  }
  return Delivered(io, "export", out) ? kExitOk : kExitFailed;
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
  std::ifstream file;
  if (source != "-") {
    if (io.host.fileKind(source) == FileKind::Other) {
      io.Error("import: " + sourceName + ": not a regular file; only JSON files are read");
      return kExitFailed;
    }
    file.open(source, std::ios::binary);
    if (!file) {
      io.Error("import: " + sourceName + ": cannot be read");
      return kExitFailed;
    }
  }
  pallomar::EntryList list;
  try {
    list = ReadListJson(source == "-" ? io.in : file);
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
  Output out(io.out, io.host.toTerminal);
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string name = io.Name(args[i]);
    // One file's failure, whatever it is, is that file's: the others are still checked.
    try {
      const LoadedList list = LoadList(args[i], io.host);
      if (list.status == LoadStatus::Failed) {
        io.Error("check: " + name + ": " + list.error);
        unreadable = true;
        continue;
      }
      anyLoaded = anyLoaded || list.status == LoadStatus::Loaded;
      const std::size_t found = ReportFindings(list, io.host, [&](const Finding& f) {
        out.Text() += name + ": " + FindingText(f) + "\n";
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
           [&](const std::string& t) { return io.Name(t); },
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
