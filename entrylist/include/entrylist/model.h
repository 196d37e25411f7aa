// The editing rules: the list, its one selected entry and the values of the edit panel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "entrylist/codepage.h"
#include "entrylist/entry_fields.h"
#include "entrylist/entry_list.h"

namespace pallomar {

struct PanelValues {
  std::string path;
  std::string params;
  std::string folder;
  int windowState = 0;  // -1 (no choice marked) .. 2
  bool runCheck = true;

  // Stores the nearest bound for values outside -1..2.
  void SetWindowState(std::int64_t value);
  bool operator==(const PanelValues&) const = default;
};

// TryStrToInt's conversion (entry_fields.h), raising EConvertError where it has no answer: for
// the editor, which must raise the error.
std::int32_t StrToInt(std::string_view text);

// The editor's words (Shift-JIS) for a window state (empty for -1, no choice) and for the
// running check, as its details show them.
std::string_view WindowWord(std::int32_t state);
std::string_view RunCheckWord(bool on);

// The entry that adding `values` stores, `extension` being the path's FileExtension: the
// parameters only for .exe and .com, the running check only for .exe, the window state as its
// number, an empty parameters or folder value as the marker.
Entry AddedEntry(const PanelValues& values, std::string_view extension);

// Fills `values` from row `row` as taking the entry out does: the path, parameters and folder
// (the marker as empty), then the window state (raises EConvertError, leaving the three texts
// filled), then the running check.
void FillFromRow(const EntryList& list, std::size_t row, PanelValues& values);

// Panel values for a chosen file: path lower-cased, its folder, state 0, running check on.
PanelValues PanelForFile(std::string_view path, const CodePage& cp = ActiveCodePage());

enum class AddOutcome { Refused, Added };
enum class SelectOutcome { NothingSelected, Done };
enum class MoveOutcome { NothingSelected, Unchanged, Moved };

class ListModel {
 public:
  explicit ListModel(const CodePage& cp = ActiveCodePage()) : cp_(&cp) {}

  EntryList list;
  std::optional<std::size_t> selected;
  PanelValues panel;

  // `notice` runs before anything is stored when the path has no extension.
  AddOutcome AddFromPanel(const std::function<void()>& notice);
  SelectOutcome TakeOut();  // raises EConvertError
  SelectOutcome EraseSelected();
  MoveOutcome MoveUp();
  MoveOutcome MoveDown();
  void Clear();
  // nullopt when nothing is selected; raises EConvertError.
  std::optional<std::string> DetailsText() const;

 private:
  // The selection when it names a row of the list; a stale index counts as none.
  std::optional<std::size_t> SelectedRow() const;

  const CodePage* cp_;
};

}  // namespace pallomar
