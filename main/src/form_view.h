// What the window's behaviour reads from and writes to its controls. The Win32 window
// implements it over the real controls; native tests use a plain in-memory stand-in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pallomar {

enum class EditId { Edit1, Edit2, Edit3 };

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

class FormView {
 public:
  virtual ~FormView() = default;

  virtual std::string Caption() const = 0;
  virtual void SetCaption(std::string_view caption) = 0;

  virtual std::string EditText(EditId edit) const = 0;
  virtual void SetEditText(EditId edit, std::string_view text) = 0;

  // RadioGroup1: -1 none marked, 0..2 the item.
  virtual int RadioIndex() const = 0;
  virtual void SetRadioIndex(int index) = 0;

  virtual bool CheckBoxChecked() const = 0;
  virtual void SetCheckBoxChecked(bool checked) = 0;

  // ListBox1's selection, -1 for none.
  virtual int ListSelection() const = 0;
  virtual void SetListSelection(int index) = 0;
  // The list now has `count` rows, all of which may have changed (load, clear). The caller
  // sets the selection afterwards.
  virtual void ListReset(std::size_t count) = 0;
  // Rows [first, last] changed and the list has `count` rows (add, remove, move); after a
  // removal `last` is the old last row, which may be past the new end. Keeps the selection;
  // the caller sets it afterwards when it moved.
  virtual void ListRowsChanged(std::size_t first, std::size_t last, std::size_t count) = 0;

  // The main window's top-left corner on the screen.
  virtual ScreenPoint WindowTopLeft() const = 0;
  // Closes the main window (File > Exit); FormClose follows.
  virtual void CloseWindow() = 0;
};

}  // namespace pallomar
