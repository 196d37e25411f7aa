#include "plwtool.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <istream>
#include <optional>
#include <ostream>
#include <set>
#include <streambuf>
#include <unordered_map>
#include <utility>

#include "check.h"
#include "entrylist/entry_fields.h"
#include "entrylist/errors.h"
#include "entrylist/file_system.h"
#include "entrylist/list_file.h"
#include "entrylist/model.h"
#include "list_form.h"
#include "list_source.h"
#include "run.h"
#include "shortcuts.h"
#include "tool_io.h"

namespace plwtool {

namespace {

const std::string& Utf8Word(std::string_view sjis) {
  static std::unordered_map<std::string, std::string> words;
  auto [it, added] = words.try_emplace(std::string(sjis));
  if (added) it->second = SjisToUtf8(sjis).value_or(std::string(sjis));
  return it->second;
}

// A cell of the table: the tool's own text, or a list's field shown in pieces.
struct Cell {
  std::string text;
  std::string_view field;
  bool isField = false;
};

constexpr std::size_t kColumns = 6;
using Row = std::array<Cell, kColumns>;

Cell FieldCell(std::string_view sjis) { return {{}, sjis, true}; }
Cell TextCell(std::string text) { return {std::move(text), {}, false}; }

// The window state in the editor's words when it is stored as one of the three choices.
Cell StateCell(std::string_view stored) {
  const pallomar::WindowState state = pallomar::WindowState::Read(stored);
  if (state.IsCanonical() && state.kind() != pallomar::WindowState::Kind::None) {
    return TextCell(Utf8Word(pallomar::WindowWord(state.Bounded())));
  }
  return FieldCell(stored);
}

Row Cells(const pallomar::EntryList& record, std::size_t number) {
  const auto optional = [&](pallomar::Field f) {
    return FieldCell(pallomar::OptionalValue(record.Get(0, f)));
  };
  return {TextCell(std::to_string(number)),
          FieldCell(record.Get(0, pallomar::kPath)),
          optional(pallomar::kParams),
          optional(pallomar::kFolder),
          StateCell(record.Get(0, pallomar::kWindowState)),
          TextCell(Utf8Word(
              pallomar::RunCheckWord(pallomar::RunCheckOn(record.Get(0, pallomar::kRunCheck)))))};
}

std::size_t Width(const Cell& c) {
  if (!c.isField) return DisplayWidth(c.text);
  std::size_t width = 0;
  ForDisplayText(c.field, [&](std::string_view piece) { width += DisplayWidth(piece); });
  return width;
}

// Writes the cell; returns its width, so that each field is converted once per writing.
std::size_t WriteCell(const Cell& c, Output& out) {
  if (!c.isField) {
    out.Text() += c.text;
    return DisplayWidth(c.text);
  }
  std::size_t width = 0;
  ForDisplayText(c.field, [&](std::string_view piece) {
    width += DisplayWidth(piece);
    out.Text() += piece;
    out.LineDone();
  });
  return width;
}

int Show(const Io& io, const std::vector<std::string>& args) {
  Args a;
  if (const auto bad = Split(io, args, {}, a)) return *bad;
  if (a.operands.empty()) return io.Usage("show: missing FILE");
  if (a.operands.size() > 1) {
    return io.Usage("show: unexpected argument " + QuotedUtf8(io.Name(a.operands[1])));
  }
  const std::string& file = a.operands[0];
  const Row headings = {
      TextCell("番号"),         TextCell("実行するファイル"), TextCell("実行パラメータ"),
      TextCell("作業フォルダ"), TextCell("ウィンドウサイズ"), TextCell("実行中チェック")};
  // The table row by row: one reading for the column widths, one to write, so that only one
  // record is ever held.
  std::array<std::size_t, kColumns> widths{};
  const auto measure = [&](const Row& row) {
    for (std::size_t k = 0; k < kColumns; ++k) widths[k] = std::max(widths[k], Width(row[k]));
  };
  measure(headings);
  Output out(io.out, io.host.toTerminal);
  // Both passes read the one open file, whose shared lock keeps an in-place save out until
  // the last byte; a writer that ignores the lock is caught by the size and the count.
  ListReader list(io.fs, false);
  if (!Open(io, "show", file, list)) return kExitFailed;
  try {
    const std::uint64_t size = list.Size();
    std::size_t records = 0;
    for (; list.Next(); ++records) measure(Cells(list.Record(), list.Entry() + 1));
    const auto changed = [&] {
      throw ReadFailure("the list changed while it was read; nothing more is shown");
    };
    if (list.Size() != size) changed();
    list.Rewind();
    // A column as wide as a huge field is padded in pieces too.
    const auto pad = [&](std::size_t column, std::size_t width) {
      if (width > widths[column]) changed();
      for (std::size_t left = widths[column] - width; left > 0;) {
        const std::size_t n = std::min<std::size_t>(left, 64 * 1024);
        out.Text().append(n, ' ');
        out.LineDone();
        left -= n;
      }
    };
    const auto write = [&](const Row& row, bool numbered) {
      for (std::size_t k = 0; k < kColumns; ++k) {
        if (k > 0) out.Text() += "  ";
        // Numbers line up on the right, texts on the left; the last column needs no padding.
        if (k == 0 && numbered) {
          pad(k, Width(row[k]));
          WriteCell(row[k], out);
        } else {
          const std::size_t width = WriteCell(row[k], out);
          if (k + 1 < kColumns) pad(k, width);
        }
      }
      out.Text() += '\n';
      out.LineDone();
    };
    write(headings, false);
    std::size_t written = 0;
    for (; written < records && list.Next(); ++written) {
      write(Cells(list.Record(), list.Entry() + 1), true);
    }
    if (written != records || list.Next() || list.Size() != size) changed();
  } catch (const ReadFailure& e) {
    (void)out.Flush();
    io.Error("show: " + io.Name(file) + ": " + e.what());
    return kExitFailed;
  }
  return Delivered(io, "show", out) ? kExitOk : kExitFailed;
}

int Export(const Io& io, const std::vector<std::string>& args) {
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

// A file of the file system as a stream, for the JSON reader; a failed read marks it bad.
class FileInput : public std::streambuf {
 public:
  FileInput(pallomar::FileSystem& fs, pallomar::FileHandle h) : fs_(fs), h_(h) {}

 protected:
  int_type underflow() override {
    std::size_t got = 0;
    if (fs_.Read(h_, buf_, sizeof buf_, got) != 0) throw std::ios_base::failure("read failed");
    if (got == 0) return traits_type::eof();
    setg(buf_, buf_, buf_ + got);
    return traits_type::to_int_type(buf_[0]);
  }

 private:
  pallomar::FileSystem& fs_;
  pallomar::FileHandle h_;
  char buf_[64 * 1024];
};

int Import(const Io& io, const std::vector<std::string>& args) {
  Args a;
  if (const auto bad = Split(io, args, {}, a)) return *bad;
  if (a.operands.size() < 2)
    return io.Usage(a.operands.empty() ? "import: missing JSON and OUT.plw"
                                       : "import: missing OUT.plw");
  if (a.operands.size() > 2) {
    return io.Usage("import: unexpected argument " + QuotedUtf8(io.Name(a.operands[2])));
  }
  const std::string& source = a.operands[0];
  const std::string& target = a.operands[1];
  const bool standardInput = source == "-";
  const std::string sourceName = standardInput ? "(standard input)" : io.Name(source);
  pallomar::FileHandle h{};
  bool opened = false;
  struct Closer {
    pallomar::FileSystem& fs;
    pallomar::FileHandle& h;
    bool& opened;
    ~Closer() {
      if (opened) (void)fs.Close(h);
    }
  } closer{io.fs, h, opened};
  if (!standardInput) {
    // Opened first, then asked what it is: the name may be swapped for a pipe in between.
    const int e = io.fs.OpenRead(source, h);
    if (e == 0) opened = true;
    if (e == 0 ? !io.fs.IsRegular(h) : io.fs.IsFolder(source)) {
      io.Error("import: " + sourceName + ": not a regular file; only JSON files are read");
      return kExitFailed;
    }
    if (e != 0) {
      io.Error("import: " + sourceName + ": cannot be read: " +
               SjisToUtf8(pallomar::EInOutError(e).what()).value_or("error " + std::to_string(e)));
      return kExitFailed;
    }
  }
  FileInput fileInput(io.fs, h);
  std::istream file(&fileInput);
  std::istream& input = standardInput ? io.in : file;
  const auto unreadable = [&] {
    return standardInput ? io.host.inputFailed && io.host.inputFailed() : input.bad();
  };
  pallomar::EntryList list;
  try {
    list = ReadListJson(input);
  } catch (const JsonError& e) {
    if (unreadable()) {
      io.Error("import: " + sourceName + ": could not be read");
      return kExitFailed;
    }
    io.Error("import: " + sourceName + ":" + std::to_string(e.Pos().line) + ":" +
             std::to_string(e.Pos().column) + ": " + e.what());
    return kExitFailed;
  } catch (const FormError& e) {
    io.Error("import: " + sourceName + ":" + std::to_string(e.Pos().line) + ":" +
             std::to_string(e.Pos().column) + ": " + e.Field() + ": " + e.what());
    return kExitFailed;
  }
  ReportLeftoverCopy(io, "import", target);
  try {
    pallomar::WriteListFile(target, list, io.fs);
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
      const std::size_t found =
          ReportFindings(list, status, file, io.host, io.fs, [&](const Finding& f) {
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

int Dispatch(const Io& io, const std::vector<std::string>& args);

}  // namespace

int RunPlwtool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err, const Host& host, pallomar::FileSystem& fs) {
  std::set<std::string> copiesLeft;
  const Io io{in, out, err, host, fs, copiesLeft};
  const int status = Dispatch(io, args);
  // Usage errors stay what they are; otherwise the copy is what a script must see.
  return !copiesLeft.empty() && status != kExitUsage ? kExitCopyLeft : status;
}

namespace {

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
    if (command == "show") return Show(io, args);
    if (command == "export") return Export(io, args);
    if (command == "import") return Import(io, args);
    if (command == "check") return Check(io, args);
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

}  // namespace plwtool
