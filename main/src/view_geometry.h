// The arithmetic behind ListBox1's repaints and Form1's scroll bars, apart from the system
// calls that apply it.
#pragma once

#include <cstddef>
#include <optional>

namespace pallomar::view {

// Which part of the list's client area to repaint after rows changed.
struct Repaint {
  enum class Kind { Nothing, Everything, Band };
  Kind kind = Kind::Nothing;
  int top = 0;  // Band: pixel rows [top, bottom) of the client area
  int bottom = 0;
  bool operator==(const Repaint&) const = default;
};

// Rows [first, last] changed; `resized` when rows came or went, so that every row below
// `first` shifted too. `topRow` is the first row shown, `itemHeight` and `clientHeight` in
// pixels. Only rows on screen are repainted.
Repaint RepaintRange(std::size_t first, std::size_t last, bool resized, std::size_t topRow,
                     int itemHeight, int clientHeight);

// A scroll bar request, as the system sends it.
enum class ScrollRequest { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom };

struct ScrollBar {
  int max = 0;   // last position of the range, which starts at 0
  int page = 0;  // visible length
  int pos = 0;
  int trackPos = 0;  // where the thumb is being dragged
};

// The position after `request`, kept where the page still ends inside the range; `line` is
// one step of the arrows and the wheel.
int ScrollTarget(ScrollRequest request, const ScrollBar& bar, int line);

// The furthest scroll position when `extent` pixels of content sit in `client` pixels.
int ScrollLimit(int extent, int client);

}  // namespace pallomar::view
