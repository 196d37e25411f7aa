#include "history.h"

#include <algorithm>
#include <utility>

namespace pallomar {
namespace {

// Puts `entry` back at `row`; the rows from there on move down one.
void InsertRow(EntryList& list, std::size_t row, const Entry& entry) {
  list.Append(entry);
  const std::size_t last = list.Count() - 1;
  if (row < last) list.Move(last, row);
}

std::size_t TextBytes(const Entry& e) {
  return e.path.size() + e.params.size() + e.folder.size() + e.windowState.size() +
         e.runCheck.size();
}

std::size_t TextBytes(const PanelValues& p) {
  return p.path.size() + p.params.size() + p.folder.size();
}

}  // namespace

Step Step::Added(std::size_t row, PanelValues panel, std::optional<std::size_t> selected) {
  Step s;
  s.rows_ = Rows::Added;
  s.row_ = row;
  s.panel_ = Panel::All;
  s.panelValues_ = std::move(panel);
  s.selected_ = selected;
  return s;
}

Step Step::TakenOut(std::size_t row, Entry entry, PanelValues panel) {
  Step s;
  s.rows_ = Rows::Removed;
  s.row_ = row;
  s.entry_ = std::move(entry);
  s.panel_ = Panel::All;
  s.panelValues_ = std::move(panel);
  s.selected_ = row;
  return s;
}

Step Step::Erased(std::size_t row, Entry entry) {
  Step s;
  s.rows_ = Rows::Removed;
  s.row_ = row;
  s.entry_ = std::move(entry);
  s.selected_ = row;
  return s;
}

Step Step::Moved(std::size_t from, std::size_t to) {
  Step s;
  s.rows_ = Rows::Moved;
  s.row_ = from;
  s.to_ = to;
  s.selected_ = from;
  return s;
}

Step Step::PanelFilled(PanelValues panel, std::optional<std::size_t> selected) {
  Step s;
  s.panel_ = Panel::All;
  s.panelValues_ = std::move(panel);
  s.selected_ = selected;
  return s;
}

Step Step::PathPut(std::string before, std::optional<std::size_t> selected) {
  Step s;
  s.panel_ = Panel::Path;
  s.panelValues_.path = std::move(before);
  s.selected_ = selected;
  return s;
}

Step Step::Replaced(EntryList list, std::optional<std::size_t> selected, PanelValues panel,
                    FileRecord file) {
  Step s;
  s.panel_ = Panel::All;
  s.panelValues_ = std::move(panel);
  s.selected_ = selected;
  s.whole_ = std::make_unique<Whole>(Whole{std::move(list), std::move(file)});
  return s;
}

Step::Shown Step::Swap(ListModel& model, FileRecord& file, bool undo) {
  Shown shown;
  EntryList& list = model.list;
  // The rows first: only they can fail (no memory), and then nothing has changed yet.
  switch (rows_) {
    case Rows::None:
      break;
    case Rows::Added:
    case Rows::Removed: {
      // Taking back an add and making a removal again take the row out; the other two put it
      // back.
      const bool takeOut = (rows_ == Rows::Added) == undo;
      const std::size_t before = list.Count();
      if (takeOut) {
        entry_ = list.EntryAt(row_);
        list.Remove(row_);
      } else {
        InsertRow(list, row_, entry_);
        entry_ = Entry{};
      }
      shown.list = Shown::List::Rows;
      shown.first = row_;
      shown.last = std::max(before, list.Count()) - 1;
      break;
    }
    case Rows::Moved:
      if (undo)
        list.Move(to_, row_);
      else
        list.Move(row_, to_);
      shown.list = Shown::List::Rows;
      shown.first = std::min(row_, to_);
      shown.last = std::max(row_, to_);
      break;
  }
  std::swap(model.selected, selected_);
  switch (panel_) {
    case Panel::None:
      break;
    case Panel::Path:
      std::swap(model.panel.path, panelValues_.path);
      shown.path = true;
      break;
    case Panel::All:
      std::swap(model.panel, panelValues_);
      shown.panel = true;
      break;
  }
  if (whole_) {
    std::swap(list, whole_->list);
    std::swap(file, whole_->file);
    shown.list = Shown::List::Reset;
    shown.file = true;
  }
  return shown;
}

std::size_t Step::BytesHeld() const {
  std::size_t bytes = sizeof(Step) + TextBytes(entry_) + TextBytes(panelValues_);
  if (whole_) bytes += sizeof(Whole) + whole_->list.BytesHeld();
  return bytes;
}

bool Step::HoldsList() const { return whole_ && whole_->list.BytesHeld() != 0; }

void History::Record(Step step) {
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
  steps_.push_back(std::move(step));
  std::size_t lists = static_cast<std::size_t>(
      std::count_if(steps_.begin(), steps_.end(), [](const Step& s) { return s.HoldsList(); }));
  while (steps_.size() > kMaxSteps || lists > kMaxLists) {
    if (steps_.front().HoldsList()) --lists;
    steps_.pop_front();
  }
  done_ = steps_.size();
}

std::optional<Step::Shown> History::Undo(ListModel& model, FileRecord& file) {
  if (done_ == 0) return std::nullopt;
  const Step::Shown shown = steps_[done_ - 1].Swap(model, file, true);
  --done_;
  return shown;
}

std::optional<Step::Shown> History::Redo(ListModel& model, FileRecord& file) {
  if (done_ == steps_.size()) return std::nullopt;
  const Step::Shown shown = steps_[done_].Swap(model, file, false);
  ++done_;
  return shown;
}

void History::Clear() {
  steps_.clear();
  done_ = 0;
}

std::size_t History::BytesHeld() const {
  std::size_t bytes = 0;
  for (const Step& s : steps_) bytes += s.BytesHeld();
  return bytes;
}

UndoKey UndoKeyFor(unsigned virtualKey, bool ctrl, bool shift, bool alt, bool inEdit) {
  if (!ctrl || alt) return UndoKey::None;
  if (virtualKey == 'Y') return UndoKey::Redo;
  if (virtualKey != 'Z') return UndoKey::None;
  if (shift) return UndoKey::Redo;
  return inEdit ? UndoKey::None : UndoKey::Undo;
}

}  // namespace pallomar
