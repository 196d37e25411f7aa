#include "list_access.h"

#include <algorithm>
#include <climits>

namespace pallomar::view {
namespace {

int ClampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

}  // namespace

std::optional<std::size_t> RowOfChild(long childId, std::size_t count) {
  if (childId < 1 || static_cast<unsigned long>(childId) > count) return std::nullopt;
  return static_cast<std::size_t>(childId) - 1;
}

long ChildOfRow(std::size_t row) {
  return static_cast<long>(std::min<std::size_t>(row, LONG_MAX - 1) + 1);
}

layout::Rect RowRect(const ListShown& list, std::size_t row) {
  // Rows far above or below the screen are a long way off: work in 64 bits, then clamp.
  const long long offset = static_cast<long long>(row) - static_cast<long long>(list.topRow);
  return {0, ClampToInt(offset * list.itemHeight), list.clientWidth, list.itemHeight};
}

bool RowInView(const ListShown& list, std::size_t row) {
  if (row < list.topRow || list.itemHeight <= 0) return false;
  const layout::Rect r = RowRect(list, row);
  return r.top < list.clientHeight && r.Bottom() > 0;
}

RowState StateOfRow(const ListShown& list, std::size_t row) {
  const bool selected = list.selection == row;
  return {selected, selected && list.focused, !RowInView(list, row)};
}

std::optional<long> FocusChild(const ListShown& list) {
  if (!list.focused) return std::nullopt;
  if (list.selection && *list.selection < list.count) return ChildOfRow(*list.selection);
  return kSelf;
}

std::optional<long> ChildAt(const ListShown& list, int x, int y) {
  if (x < 0 || y < 0 || x >= list.clientWidth || y >= list.clientHeight) return std::nullopt;
  if (list.itemHeight <= 0) return kSelf;
  const std::size_t row = list.topRow + static_cast<std::size_t>(y / list.itemHeight);
  return row < list.count ? ChildOfRow(row) : kSelf;
}

std::string_view RowText(const EntryList& entries, std::size_t row) {
  return row < entries.Count() ? entries.Get(row, kPath) : std::string_view{};
}

}  // namespace pallomar::view
