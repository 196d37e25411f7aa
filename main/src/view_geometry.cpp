#include "view_geometry.h"

#include <algorithm>

namespace pallomar::view {

Repaint RepaintRange(std::size_t first, std::size_t last, bool resized, std::size_t topRow,
                     int itemHeight, int clientHeight) {
  if (itemHeight <= 0) return {Repaint::Kind::Everything};
  // Rows that came or went above the screen shifted everything shown.
  if (resized && first <= topRow) return {Repaint::Kind::Everything};
  const std::size_t visible = static_cast<std::size_t>(std::max(clientHeight, 0) / itemHeight) + 1;
  const std::size_t lastShown = topRow + visible;
  const std::size_t from = std::max(first, topRow);
  const std::size_t to = resized ? lastShown : std::min(last, lastShown);
  if (from > to) return {};
  const auto height = static_cast<std::size_t>(itemHeight);
  const int top = static_cast<int>((from - topRow) * height);
  const int bottom = static_cast<int>(
      std::min((to - topRow + 1) * height, static_cast<std::size_t>(std::max(clientHeight, 0))));
  if (top >= bottom) return {};
  return {Repaint::Kind::Band, top, bottom};
}

int ScrollTarget(ScrollRequest request, const ScrollBar& bar, int line) {
  const int page = std::max(1, bar.page);
  int pos = bar.pos;
  switch (request) {
    case ScrollRequest::LineUp:
      pos -= line;
      break;
    case ScrollRequest::LineDown:
      pos += line;
      break;
    case ScrollRequest::PageUp:
      pos -= page;
      break;
    case ScrollRequest::PageDown:
      pos += page;
      break;
    case ScrollRequest::Thumb:
      pos = bar.trackPos;
      break;
    case ScrollRequest::Top:
      pos = 0;
      break;
    case ScrollRequest::Bottom:
      pos = bar.max;
      break;
  }
  return std::clamp(pos, 0, ScrollLimit(bar.max + 1, page));
}

int ScrollLimit(int extent, int client) { return std::max(0, extent - client); }

}  // namespace pallomar::view
