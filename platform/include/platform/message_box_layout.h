// Where the message box's text breaks and where its parts sit, worked out from measured
// extents only: no window is needed, so it builds and is tested on any host.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "entrylist/codepage.h"

namespace pallomar::platform {

struct BoxRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const BoxRect&) const = default;
};

// One shown line: the bytes [start, start + length) of the text. Lines follow each other
// without a gap, except that a line feed (with a CR before it) ending a line belongs to none.
struct TextLine {
  std::size_t start = 0;
  std::size_t length = 0;
  int width = 0;      // spaces at the end of a wrapped line hang past it and are not counted
  bool soft = false;  // true when the next line starts because this one was full
};

struct WrappedText {
  std::vector<TextLine> lines;
  int widest = 0;
};

// The width of one character: a single byte, or a lead byte with its second byte.
using CharWidth = std::function<int(std::string_view character)>;

// Breaks at line feeds and wraps each line to `maxWidth`: after spaces where it can, else
// between two characters, never inside a double-byte character. A line holds at least one
// character, however wide. A tab reaches the next multiple of `tabStop` from the line's start,
// as the text control draws it (0: a tab is as wide as `width` says); a line may break after
// a tab that fits.
WrappedText WrapText(std::string_view text, int maxWidth, const CharWidth& width,
                     const CodePage& cp = ActiveCodePage(), int tabStop = 0);

// What the box is made of, measured in the message font.
struct BoxMetrics {
  int charWidth = 1;   // average character width
  int lineHeight = 1;  // height of one text line
  int scrollBarWidth = 0;
  bool hasIcon = false;
  std::vector<int> buttonCaptionWidths;  // one per button, left to right
  // The frame around the client area: how far it reaches past each side.
  BoxRect frame;
};

// Where the box is wanted and what it may cover: a negative x or y centres it on the monitor
// along that axis.
struct BoxPlacement {
  int x = -1;
  int y = -1;
  BoxRect monitor;
  BoxRect workArea;
};

struct BoxLayout {
  BoxRect window;  // screen coordinates
  BoxRect icon;    // client coordinates; empty without an icon
  BoxRect text;    // client coordinates, the scroll bar included when there is one
  bool scrolls = false;
  std::vector<BoxRect> buttons;  // client coordinates, left to right
};

inline constexpr int kBoxIconSize = 32;

// The width lines are wrapped to: half the work area, less room for a scroll bar and the caret.
int BoxWrapWidth(const BoxMetrics& metrics, const BoxRect& workArea);

// The box for wrapped text `textWidth` wide and `lineCount` lines tall. The text area is
// capped so that the box fits the work area's height (it scrolls then), and a box that would
// reach past the work area is moved just inside it.
BoxLayout LayoutMessageBox(const BoxMetrics& metrics, int textWidth, std::size_t lineCount,
                           const BoxPlacement& placement);

}  // namespace pallomar::platform
