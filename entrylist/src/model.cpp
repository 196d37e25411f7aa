#include "entrylist/model.h"

#include "entrylist/errors.h"
#include "entrylist/paths.h"
#include "texts.h"

namespace pallomar {

// Only the three exact values have words: the details box shows an out-of-range value unbounded.
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
  windowState = WindowState::FromValue(value).Bounded();
}

std::int32_t StrToInt(std::string_view text) {
  const std::optional<std::int32_t> value = TryStrToInt(text);
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
  e.params = StoredOptional(IsProgramExtension(extension) ? values.params : std::string());
  e.folder = StoredOptional(values.folder);
  e.windowState = WindowState::FromValue(values.windowState).StoredText();
  e.runCheck = std::string(RunCheckFlag(KeepsRunCheck(extension) && values.runCheck));
  return e;
}

void FillFromRow(const EntryList& list, std::size_t row, PanelValues& values) {
  values.path.assign(list.Get(row, kPath));
  values.params.assign(OptionalValue(list.Get(row, kParams)));
  values.folder.assign(OptionalValue(list.Get(row, kFolder)));
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
  out.append("\n\n").append(text::kDetailsParams).append(OptionalValue(list.Get(i, kParams)));
  out.append("\n\n").append(text::kDetailsFolder).append(OptionalValue(list.Get(i, kFolder)));
  out.append("\n\n").append(text::kDetailsWindow).append(word);
  out.append("\n\n").append(text::kDetailsRunCheck);
  out.append(RunCheckWord(RunCheckOn(list.Get(i, kRunCheck))));
  return out;
}

}  // namespace pallomar
