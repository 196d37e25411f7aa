// An in-memory window for the behaviour tests: controls as plain values, and a log of every
// change in the order it was made.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "form_view.h"

namespace pallomar::testing {

struct RowsChange {
  std::size_t first;
  std::size_t last;
  std::size_t count;
  bool operator==(const RowsChange&) const = default;
};

class FakeFormView : public FormView {
 public:
  std::string caption = "Pallomar Ver. 1.02";
  std::array<std::string, 3> edits;
  int radio = 0;
  bool check = true;
  int selection = -1;
  std::size_t rows = 0;  // what the list control believes it holds
  ScreenPoint topLeft{200, 100};
  int closed = 0;

  // Every change, in order: "caption", "edit1".."edit3", "radio", "check", "select", "reset",
  // "rows".
  std::vector<std::string> log;
  std::vector<std::size_t> resets;
  std::vector<RowsChange> rowChanges;
  // Runs at the start of SetCaption and CloseWindow; a test makes them fail through it.
  std::function<void()> onSetCaption;
  std::function<void()> onClose;

  std::string Caption() const override { return caption; }
  void SetCaption(std::string_view text) override {
    if (onSetCaption) onSetCaption();
    caption.assign(text);
    log.push_back("caption");
  }

  std::string EditText(EditId edit) const override { return edits[Index(edit)]; }
  void SetEditText(EditId edit, std::string_view text) override {
    edits[Index(edit)].assign(text);
    log.push_back("edit" + std::to_string(Index(edit) + 1));
  }

  int RadioIndex() const override { return radio; }
  void SetRadioIndex(int index) override {
    radio = index < -1 ? -1 : index > 2 ? 2 : index;
    log.push_back("radio");
  }

  bool CheckBoxChecked() const override { return check; }
  void SetCheckBoxChecked(bool checked) override {
    check = checked;
    log.push_back("check");
  }

  int ListSelection() const override { return selection; }
  void SetListSelection(int index) override {
    selection = index;
    log.push_back("select");
  }
  void ListReset(std::size_t count) override {
    rows = count;
    resets.push_back(count);
    log.push_back("reset");
  }
  void ListRowsChanged(std::size_t first, std::size_t last, std::size_t count) override {
    rows = count;
    rowChanges.push_back({first, last, count});
    log.push_back("rows");
  }

  ScreenPoint WindowTopLeft() const override { return topLeft; }
  void CloseWindow() override {
    if (onClose) onClose();
    ++closed;
  }

  void ClearLog() {
    log.clear();
    resets.clear();
    rowChanges.clear();
  }

 private:
  static std::size_t Index(EditId edit) { return static_cast<std::size_t>(edit); }
};

}  // namespace pallomar::testing
