// ListBox1 as a virtual list: the list box holds only a row count and paints each row from the
// model's paths on demand, so loading or editing a long list touches no row texts.
#pragma once

#include <windows.h>

#include <cstddef>

#include "entrylist/entry_list.h"

namespace pallomar::win32 {

class VirtualList {
 public:
  // The font the rows are drawn in and their height; known before the list box is made, which
  // asks for the height as it is created.
  void SetMetrics(HFONT font, int itemHeight);
  // The list box: owner-drawn, without data of its own.
  void SetHandle(HWND list) { list_ = list; }
  HWND Handle() const { return list_; }
  int ItemHeight() const { return itemHeight_; }

  // -1 for none.
  int Selection() const;
  void SetSelection(int index) const;
  // All rows may have changed; the list now has `count`.
  void Reset(std::size_t count) const;
  // Rows [first, last] changed and the list now has `count`; keeps the selection and the top
  // row, and repaints only the changed rows on screen.
  void RowsChanged(std::size_t first, std::size_t last, std::size_t count) const;

  void Measure(MEASUREITEMSTRUCT& mis) const;
  void Draw(const DRAWITEMSTRUCT& dis, const EntryList& entries) const;

 private:
  HWND list_ = nullptr;
  HFONT font_ = nullptr;
  int itemHeight_ = 13;
};

}  // namespace pallomar::win32
