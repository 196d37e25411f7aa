// `plwtool show`: the list as a table, in the editor's words.
#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "commands.h"
#include "entrylist/entry_fields.h"
#include "entrylist/model.h"
#include "texts.h"

namespace plwtool {

namespace {

const std::string& Utf8Word(std::string_view sjis) {
  static std::unordered_map<std::string, std::string> words;
  auto [it, added] = words.try_emplace(std::string(sjis));
  if (added) it->second = SjisToUtf8(sjis).value_or(std::string(sjis));
  return it->second;
}

// A column's heading: the details box's word for the field, without its " : ".
std::string Heading(std::string_view details) {
  constexpr std::string_view kTail = " : ";
  if (details.ends_with(kTail)) details.remove_suffix(kTail.size());
  return Utf8Word(details);
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

// An empty field (most optional ones) has nothing to convert: its text, empty too, stands in.
std::size_t Width(const Cell& c) {
  if (!c.isField || c.field.empty()) return DisplayWidth(c.text);
  std::size_t width = 0;
  ForDisplayText(c.field, [&](std::string_view piece) { width += DisplayWidth(piece); });
  return width;
}

// Writes the cell; returns its width, so that each field is converted once per writing.
std::size_t WriteCell(const Cell& c, Output& out) {
  if (!c.isField || c.field.empty()) {
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

}  // namespace

int ShowCommand(const Io& io, const std::vector<std::string>& args) {
  Args a;
  if (const auto bad = Split(io, args, {}, a)) return *bad;
  if (a.operands.empty()) return io.Usage("show: missing FILE");
  if (a.operands.size() > 1) {
    return io.Usage("show: unexpected argument " + QuotedUtf8(io.Name(a.operands[1])));
  }
  const std::string& file = a.operands[0];
  namespace text = pallomar::text;
  const Row headings = {TextCell("番号"),
                        TextCell(Heading(text::kDetailsPath)),
                        TextCell(Heading(text::kDetailsParams)),
                        TextCell(Heading(text::kDetailsFolder)),
                        TextCell(Heading(text::kDetailsWindow)),
                        TextCell(Heading(text::kDetailsRunCheck))};
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

}  // namespace plwtool
