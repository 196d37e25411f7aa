// ListBox1 as a virtual list: the list box holds only a row count and paints each row from the
// model's paths on demand, so loading or editing a long list touches no row texts.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "entrylist/entry_list.h"

namespace pallomar::win32 {

class ListAccessible;

class VirtualList {
 public:
  VirtualList() = default;
  ~VirtualList();
  VirtualList(const VirtualList&) = delete;
  VirtualList& operator=(const VirtualList&) = delete;

  // The font the rows are drawn in and their height; known before the list box is made, which
  // asks for the height as it is created.
  void SetMetrics(HFONT font, int itemHeight);
  // The list box: owner-drawn, without data of its own. Screen readers get an accessible
  // object that reads the rows from `entries` and names the list `name` (ANSI), and hear of
  // selection changes and reorders through events. Both must outlive the list box.
  void Attach(HWND list, const EntryList& entries, std::string_view name);
  HWND Handle() const { return list_; }
  int ItemHeight() const { return itemHeight_; }

  // -1 for none.
  int Selection() const;
  void SetSelection(int index) const;
  // All rows may have changed; the list now has `count`.
  void Reset(std::size_t count);
  // Rows [first, last] changed and the list now has `count`; keeps the selection and the top
  // row, and repaints only the changed rows on screen.
  void RowsChanged(std::size_t first, std::size_t last, std::size_t count);

  void Measure(MEASUREITEMSTRUCT& mis) const;
  void Draw(const DRAWITEMSTRUCT& dis, const EntryList& entries) const;

 private:
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR self);
  LRESULT OnListMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // Tells screen readers when the selection has moved since they last heard.
  void NoteSelection();
  void NoteReorder() const;
  void Detach();

  HWND list_ = nullptr;
  const EntryList* entries_ = nullptr;
  std::string name_;
  ListAccessible* accessible_ = nullptr;  // made on the first request
  int notedSelection_ = -1;
  bool restoring_ = false;  // a count change puts the selection back: no news for readers
  HFONT font_ = nullptr;
  int itemHeight_ = 13;
};

}  // namespace pallomar::win32
