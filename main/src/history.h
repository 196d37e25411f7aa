// Undo and redo of the changes to the list: each step keeps only what taking it back needs
// (a row and its index, a move's two places, a panel's values), and a step that replaced the
// whole list holds the replaced list itself, moved in, never copied. Undoing or redoing a step
// swaps what it holds with what the window holds, so the same step serves both ways.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "entrylist/entry_list.h"
#include "entrylist/model.h"

namespace pallomar {

// The window's record of the current file: its caption and where the two list dialogs point
// (folder and name), so that Save As after an undo never offers the file that was undone.
struct FileRecord {
  std::string caption;
  std::string listFolder;
  std::string listName;
  std::string saveFolder;
  std::string saveName;
  bool operator==(const FileRecord&) const = default;
};

class Step {
 public:
  // An entry appended at row `row` from the panel, which held `panel` before.
  static Step Added(std::size_t row, PanelValues panel, std::optional<std::size_t> selected);
  // The entry `entry` taken out of row `row` into the panel, which held `panel` before.
  static Step TakenOut(std::size_t row, Entry entry, PanelValues panel);
  static Step Erased(std::size_t row, Entry entry);
  static Step Moved(std::size_t from, std::size_t to);
  // The panel filled, which held `panel` before.
  static Step PanelFilled(PanelValues panel, std::optional<std::size_t> selected);
  // Only Edit1 given a text, `before` being what it held.
  static Step PathPut(std::string before, std::optional<std::size_t> selected);
  // The whole list replaced (New, Open, a dropped list): the list, selection, panel and file
  // record it had before; the list is moved in.
  static Step Replaced(EntryList list, std::optional<std::size_t> selected, PanelValues panel,
                       FileRecord file);

  // What a step changed when it was taken back or made again, for the window to show.
  struct Shown {
    enum class List { Unchanged, Rows, Reset } list = List::Unchanged;
    std::size_t first = 0;  // Rows: [first, last] changed; last may be past the new end
    std::size_t last = 0;
    bool panel = false;  // every panel value
    bool path = false;   // Edit1 only
    bool file = false;
  };

  // Takes the step back (`undo`) or makes it again on `model` and `file`. The model's
  // selection and panel must be what the window shows now.
  Shown Swap(ListModel& model, FileRecord& file, bool undo);

  // Bytes of entries held: what the history costs in memory.
  std::size_t BytesHeld() const;
  // Holds a list that takes memory.
  bool HoldsList() const;

 private:
  enum class Rows { None, Added, Removed, Moved };
  enum class Panel { None, Path, All };
  struct Whole {
    EntryList list;
    FileRecord file;
  };

  Rows rows_ = Rows::None;
  std::size_t row_ = 0;  // Added/Removed: the row; Moved: where it was
  std::size_t to_ = 0;   // Moved: where it went
  Entry entry_;          // Added/Removed: the row's texts while it is out of the list
  Panel panel_ = Panel::None;
  PanelValues panelValues_;
  std::optional<std::size_t> selected_;
  std::unique_ptr<Whole> whole_;
};

class History {
 public:
  // At most this many steps are kept, and at most this many of them holding a list that
  // takes memory; the oldest steps go first.
  static constexpr std::size_t kMaxSteps = 100;
  static constexpr std::size_t kMaxLists = 2;

  // A new change: the steps that could have been made again are dropped.
  void Record(Step step);
  // Nullopt when there is nothing to take back or make again.
  std::optional<Step::Shown> Undo(ListModel& model, FileRecord& file);
  std::optional<Step::Shown> Redo(ListModel& model, FileRecord& file);
  void Clear();

  std::size_t UndoCount() const { return done_; }
  std::size_t RedoCount() const { return steps_.size() - done_; }
  std::size_t BytesHeld() const;

 private:
  std::deque<Step> steps_;
  std::size_t done_ = 0;  // steps_[0, done_) can be taken back, the rest made again
};

// Which of the two commands a key press asks for: Ctrl+Z takes back, Ctrl+Y and Ctrl+Shift+Z
// make again. Inside an edit field Ctrl+Z is the field's own text undo.
enum class UndoKey { None, Undo, Redo };
UndoKey UndoKeyFor(unsigned virtualKey, bool ctrl, bool shift, bool alt, bool inEdit);

}  // namespace pallomar
