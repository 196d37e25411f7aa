// What ListBox1 tells a screen reader, as plain arithmetic over the list's geometry and the
// model: which row a child id names, where a row sits, what state it is in and which row lies
// under a point. The accessible object in the Win32 binding only reads the list box and hands
// these answers on; nothing here is kept per row.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "entrylist/entry_list.h"
#include "layout.h"

namespace pallomar::view {

// The list as it stands on screen, read from the list box when a question comes in.
struct ListShown {
  std::size_t count = 0;   // rows in the list box
  std::size_t topRow = 0;  // first row shown
  int itemHeight = 0;
  int clientWidth = 0;
  int clientHeight = 0;
  std::optional<std::size_t> selection;
  bool focused = false;  // the list holds the keyboard focus
};

// Child ids of the rows run 1..count; 0 is the list itself.
inline constexpr long kSelf = 0;
std::optional<std::size_t> RowOfChild(long childId, std::size_t count);
long ChildOfRow(std::size_t row);

// The row's place in the list's client area; a row out of view gets the place it would have,
// above or below the area, kept within the range of int.
layout::Rect RowRect(const ListShown& list, std::size_t row);
// Any part of the row lies inside the client area.
bool RowInView(const ListShown& list, std::size_t row);

struct RowState {
  bool selected = false;
  bool focused = false;
  bool offscreen = false;
  bool operator==(const RowState&) const = default;
};
RowState StateOfRow(const ListShown& list, std::size_t row);

// The child the keyboard focus is on: the selected row while the list has the focus, the list
// itself when nothing is selected, nothing when the focus is elsewhere.
std::optional<long> FocusChild(const ListShown& list);

// What lies under a point of the list's client area. Nothing when the point is outside the
// client area; the list itself below the last row.
std::optional<long> ChildAt(const ListShown& list, int x, int y);

// The row's text as the list paints it: its path, or nothing past the model's end.
std::string_view RowText(const EntryList& entries, std::size_t row);

}  // namespace pallomar::view
