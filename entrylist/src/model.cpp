#include "entrylist/model.h"

#include <limits>

#include "entrylist/errors.h"
#include "entrylist/paths.h"
#include "texts.h"

namespace pallomar {
namespace {

constexpr std::string_view kFlagOff = "0";
constexpr std::string_view kFlagOn = "1";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hexadecimal digits to the end of `digits`, as a 32-bit two's-complement value.
std::optional<std::int32_t> ParseHex(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint32_t value = 0;
  int significant = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    if (significant > 0 || d != 0) ++significant;
    if (significant > 8) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseDecimal(std::string_view digits, bool negative) {
  if (digits.empty()) return std::nullopt;
  // One past the magnitude of the lowest int32, so both bounds are checked on the way.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kLimit) return std::nullopt;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::string_view rest = text.substr(i);
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    return ParseHex(rest.substr(1));
  }
  if (rest.starts_with("0x") || rest.starts_with("0X")) return ParseHex(rest.substr(2));
  return ParseDecimal(rest, negative);
}

// The stored form of an optional text: an empty one becomes the marker.
std::string OrMarker(const std::string& text) {
  return text.empty() ? std::string(kDummyMarker) : text;
}

std::string_view UnlessMarker(std::string_view text) {
  return text == kDummyMarker ? std::string_view() : text;
}

}  // namespace

std::string_view WindowWord(std::int32_t state) {
  switch (state) {
    case 0:
      return text::kWindowNormal;
    case 1:
      return text::kWindowMaximized;
    case 2:
      return text::kWindowMinimized;
    default:
      return {};
  }
}

std::string_view RunCheckWord(bool on) { return on ? text::kRunCheckOn : text::kRunCheckOff; }

void PanelValues::SetWindowState(std::int64_t value) {
  if (value < -1) value = -1;
  if (value > 2) value = 2;
  windowState = static_cast<int>(value);
}

std::int32_t StrToInt(std::string_view text) {
  const std::optional<std::int32_t> value = ParseInt(text);
  if (!value) throw EConvertError(text);
  return *value;
}

PanelValues PanelForFile(std::string_view path, const CodePage& cp) {
  PanelValues values;
  values.path = Lowered(path, cp);
  values.folder = FolderOf(values.path, cp);
  return values;
}

std::optional<std::size_t> ListModel::SelectedRow() const {
  if (selected && *selected < list.Count()) return selected;
  return std::nullopt;
}

Entry AddedEntry(const PanelValues& values, std::string_view extension) {
  Entry e;
  e.path = values.path;
  e.params = IsProgramExtension(extension) ? OrMarker(values.params) : std::string(kDummyMarker);
  e.folder = OrMarker(values.folder);
  e.windowState = std::to_string(values.windowState);
  e.runCheck = std::string(KeepsRunCheck(extension) && values.runCheck ? kFlagOn : kFlagOff);
  return e;
}

void FillFromRow(const EntryList& list, std::size_t row, PanelValues& values) {
  values.path.assign(list.Get(row, kPath));
  values.params.assign(UnlessMarker(list.Get(row, kParams)));
  values.folder.assign(UnlessMarker(list.Get(row, kFolder)));
  values.SetWindowState(StrToInt(list.Get(row, kWindowState)));
  values.runCheck = RunCheckOn(list.Get(row, kRunCheck));
}

AddOutcome ListModel::AddFromPanel(const std::function<void()>& notice) {
  if (panel.path.empty()) return AddOutcome::Refused;
  const std::string extension = FileExtension(panel.path, *cp_);
  if (extension.empty() && notice) notice();
  // A refused append leaves the panel as the user left it.
  list.Append(AddedEntry(panel, extension));
  panel = PanelValues{};
  return AddOutcome::Added;
}

SelectOutcome ListModel::TakeOut() {
  const std::optional<std::size_t> row = SelectedRow();
  if (!row) return SelectOutcome::NothingSelected;
  const std::size_t i = *row;
  // A failure leaves the three texts filled and the entry where it is.
  FillFromRow(list, i, panel);
  list.Remove(i);
  selected.reset();
  return SelectOutcome::Done;
}

SelectOutcome ListModel::EraseSelected() {
  const std::optional<std::size_t> row = SelectedRow();
  if (!row) return SelectOutcome::NothingSelected;
  list.Remove(*row);
  selected.reset();
  return SelectOutcome::Done;
}

MoveOutcome ListModel::MoveUp() {
  const std::optional<std::size_t> row = SelectedRow();
  if (!row) return MoveOutcome::NothingSelected;
  if (*row == 0) return MoveOutcome::Unchanged;
  list.Move(*row, *row - 1);
  selected = *row - 1;
  return MoveOutcome::Moved;
}

MoveOutcome ListModel::MoveDown() {
  const std::optional<std::size_t> row = SelectedRow();
  if (!row) return MoveOutcome::NothingSelected;
  if (*row + 1 == list.Count()) return MoveOutcome::Unchanged;
  list.Move(*row, *row + 1);
  selected = *row + 1;
  return MoveOutcome::Moved;
}

void ListModel::Clear() {
  list.Clear();
  selected.reset();
  panel = PanelValues{};
}

std::optional<std::string> ListModel::DetailsText() const {
  const std::optional<std::size_t> row = SelectedRow();
  if (!row) return std::nullopt;
  const std::size_t i = *row;
  const std::string_view word = WindowWord(StrToInt(list.Get(i, kWindowState)));

  std::string out;
  out.append(text::kDetailsPath).append(list.Get(i, kPath));
  out.append("\n\n").append(text::kDetailsParams).append(UnlessMarker(list.Get(i, kParams)));
  out.append("\n\n").append(text::kDetailsFolder).append(UnlessMarker(list.Get(i, kFolder)));
  out.append("\n\n").append(text::kDetailsWindow).append(word);
  out.append("\n\n").append(text::kDetailsRunCheck);
  out.append(RunCheckWord(RunCheckOn(list.Get(i, kRunCheck))));
  return out;
}

}  // namespace pallomar
