// Form1's entry panel: the path browser and the list's buttons, each a step that can be taken
// back.
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "entrylist/errors.h"
#include "form.h"
#include "texts.h"

namespace pallomar {

using platform::kButtonOK;
using platform::MsgType;

// --- entry panel ---

void TForm1::PutPath(const std::string& path) {
  std::string before = view_.EditText(EditId::Edit1);
  view_.SetEditText(EditId::Edit1, path);
  if (before == path) return;
  ReadSelection();
  history_.Record(Step::PathPut(std::move(before), model_.selected));
}

void TForm1::Button1Click() {
  Dispatch([&] {
    if (!OpenDialog1.Execute()) return;
    ReadPanel();
    ReadSelection();
    PanelValues before = model_.panel;
    model_.panel = PanelForFile(OpenDialog1.FileName, *cp_);
    WritePanel();
    if (before != model_.panel)
      history_.Record(Step::PanelFilled(std::move(before), model_.selected));
  });
}

void TForm1::ButtonaddClick() {
  Dispatch([&] {
    ReadPanel();
    ReadSelection();
    PanelValues typed = model_.panel;
    const std::size_t before = model_.list.Count();
    AddOutcome outcome;
    try {
      outcome = model_.AddFromPanel([&] {
        platform_.AlertBeep();
        platform_.ShowMessageBox(text::kMsgNeedExtension, MsgType::Information, kButtonOK,
                                 platform::kCentre, platform::kCentre);
      });
    } catch (...) {
      ResyncListAfterError(before);
      throw;
    }
    if (outcome == AddOutcome::Refused) {
      platform_.AlertBeep();
      return;
    }
    const std::size_t count = model_.list.Count();
    view_.ListRowsChanged(before, count - 1, count);
    WritePanel();
    history_.Record(Step::Added(before, std::move(typed), model_.selected));
  });
}

void TForm1::ButtondelClick() {
  Dispatch([&] {
    ReadSelection();
    if (!model_.selected) {
      platform_.AlertBeep();
      return;
    }
    ReadPanel();
    const std::size_t row = *model_.selected;
    const std::size_t before = model_.list.Count();
    PanelValues typed = model_.panel;
    Entry entry = model_.list.EntryAt(row);
    SelectOutcome outcome;
    try {
      outcome = model_.TakeOut();
    } catch (const EConvertError&) {
      // The edits already show the entry; the window state and check stay as they were.
      WritePanelEdits();
      throw;
    } catch (...) {
      ResyncListAfterError(before);
      throw;
    }
    if (outcome == SelectOutcome::NothingSelected) {
      platform_.AlertBeep();
      return;
    }
    WritePanel();
    view_.ListRowsChanged(row, before - 1, model_.list.Count());
    WriteSelection();
    history_.Record(Step::TakenOut(row, std::move(entry), std::move(typed)));
  });
}

void TForm1::ButtoneraseClick() {
  Dispatch([&] {
    ReadSelection();
    const std::size_t before = model_.list.Count();
    const std::optional<std::size_t> row = model_.selected;
    Entry entry = row ? model_.list.EntryAt(*row) : Entry{};
    if (model_.EraseSelected() == SelectOutcome::NothingSelected || !row) {
      platform_.AlertBeep();
      return;
    }
    view_.ListRowsChanged(*row, before - 1, model_.list.Count());
    WriteSelection();
    history_.Record(Step::Erased(*row, std::move(entry)));
  });
}

void TForm1::ButtonupClick() { MoveSelected(true); }

void TForm1::ButtondownClick() { MoveSelected(false); }

void TForm1::MoveSelected(bool up) {
  Dispatch([&] {
    ReadSelection();
    const std::optional<std::size_t> from = model_.selected;
    const MoveOutcome outcome = up ? model_.MoveUp() : model_.MoveDown();
    if (outcome == MoveOutcome::NothingSelected) {
      platform_.AlertBeep();
      return;
    }
    if (outcome == MoveOutcome::Unchanged || !from || !model_.selected) return;
    // The rows that changed run from the upper of the two to the lower.
    const std::size_t to = *model_.selected;
    view_.ListRowsChanged(up ? to : *from, up ? *from : to, model_.list.Count());
    WriteSelection();
    history_.Record(Step::Moved(*from, to));
  });
}

void TForm1::ShowDetails() {
  ReadSelection();
  const std::optional<std::string> details = model_.DetailsText();
  if (!details) {
    platform_.AlertBeep();
    return;
  }
  const ScreenPoint at = BoxAt(40, 70);
  platform_.ShowMessageBox(*details, MsgType::Custom, kButtonOK, at.x, at.y);
}

void TForm1::ButtoninfoClick() {
  Dispatch([&] { ShowDetails(); });
}

void TForm1::ListBox1DblClick() {
  Dispatch([&] { ShowDetails(); });
}

}  // namespace pallomar
