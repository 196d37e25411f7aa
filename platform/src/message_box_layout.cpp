// The message box's line breaks and geometry.
#include "platform/message_box_layout.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace pallomar::platform {

namespace {

// Room at the right of the text for the caret, so that it never scrolls the text sideways.
constexpr int kCaretRoom = 3;

// a * b / c rounded to the nearest, as the dialog units of the platform are.
int Scale(int a, int b, int c) { return (a * b + c / 2) / c; }

// Wraps the line [begin, end) and appends its pieces; the last piece is not soft.
void WrapLine(std::string_view text, std::size_t begin, std::size_t end, int maxWidth,
              const CharWidth& width, const CodePage& cp, int tabStop, WrappedText& out) {
  // Characters are stepped within the line, so that a lead byte at its end stands alone and a
  // line feed is never taken for a second byte.
  const std::string_view line = text.substr(0, end);
  std::size_t lineStart = begin;
  for (;;) {
    int used = 0;                                  // everything so far, spaces included
    int shown = 0;                                 // up to the last character that is not a space
    std::size_t breakAt = std::string_view::npos;  // just after the last space
    int shownAtBreak = 0;
    std::size_t i = lineStart;
    bool full = false;
    while (i < end) {
      if (text[i] == ' ') {
        used += width(text.substr(i, 1));
        ++i;
        breakAt = i;
        shownAtBreak = shown;
        continue;
      }
      // A tab reaches its stop; unlike a space it does not hang past the edge, so it must fit,
      // and a line may break after it.
      const bool tab = text[i] == '\t' && tabStop > 0;
      const std::size_t n = tab ? 1 : cp.CharLength(line, i);
      const int w = tab ? (used / tabStop + 1) * tabStop - used : width(text.substr(i, n));
      if (used + w > maxWidth && i > lineStart) {
        full = true;
        break;
      }
      used += w;
      shown = used;
      i += n;
      if (tab) {
        breakAt = i;
        shownAtBreak = shown;
      }
    }
    if (!full) {
      out.lines.push_back({lineStart, end - lineStart, shown, false});
      return;
    }
    // Full: break after the last space, or else before the character that did not fit.
    const std::size_t stop = breakAt != std::string_view::npos ? breakAt : i;
    const int stopWidth = breakAt != std::string_view::npos ? shownAtBreak : shown;
    out.lines.push_back({lineStart, stop - lineStart, stopWidth, true});
    lineStart = stop;
  }
}

}  // namespace

WrappedText WrapText(std::string_view text, int maxWidth, const CharWidth& width,
                     const CodePage& cp, int tabStop) {
  WrappedText out;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t feed = text.find('\n', begin);
    std::size_t end = feed == std::string_view::npos ? text.size() : feed;
    if (feed != std::string_view::npos && end > begin && text[end - 1] == '\r') --end;
    WrapLine(text, begin, end, maxWidth, width, cp, tabStop, out);
    if (feed == std::string_view::npos) break;
    begin = feed + 1;
  }
  for (const TextLine& line : out.lines) out.widest = std::max(out.widest, line.width);
  return out;
}

int BoxWrapWidth(const BoxMetrics& metrics, const BoxRect& workArea) {
  return std::max(metrics.charWidth, workArea.Width() / 2 - metrics.scrollBarWidth - kCaretRoom);
}

BoxLayout LayoutMessageBox(const BoxMetrics& metrics, int textWidth, std::size_t lineCount,
                           const BoxPlacement& placement) {
  const int cx = std::max(1, metrics.charWidth);
  const int cy = std::max(1, metrics.lineHeight);
  const int horzMargin = Scale(8, cx, 4);
  const int vertMargin = Scale(8, cy, 8);
  const int horzSpacing = Scale(10, cx, 4);
  const int vertSpacing = Scale(10, cy, 8);
  const int buttonSpacing = Scale(4, cx, 4);
  const int buttonHeight = Scale(14, cy, 8);
  int buttonWidth = Scale(50, cx, 4);
  for (int caption : metrics.buttonCaptionWidths) {
    buttonWidth = std::max(buttonWidth, caption + Scale(8, cx, 4));
  }
  const int buttonCount = static_cast<int>(metrics.buttonCaptionWidths.size());

  // The text area: every line when they fit the work area's height, else as many whole lines
  // as fit, with a scroll bar.
  const int frameWidth = metrics.frame.Width();
  const int frameHeight = metrics.frame.Height();
  const int roomForText =
      placement.workArea.Height() - frameHeight - 2 * vertMargin - vertSpacing - buttonHeight;
  const std::size_t fitting = static_cast<std::size_t>(std::max(1, roomForText / cy));
  const std::size_t lines = std::max<std::size_t>(1, lineCount);
  BoxLayout layout;
  layout.scrolls = lines > fitting;
  const int shownLines = static_cast<int>(std::min(lines, fitting));
  const int textHeight = shownLines * cy;
  const int textAreaWidth =
      std::max(0, textWidth) + kCaretRoom + (layout.scrolls ? metrics.scrollBarWidth : 0);

  const int iconRoom = metrics.hasIcon ? kBoxIconSize + horzSpacing : 0;
  const int textLeft = horzMargin + iconRoom;
  const int contentHeight = std::max(metrics.hasIcon ? kBoxIconSize : 0, textHeight);
  const int rowWidth = buttonCount * buttonWidth + std::max(0, buttonCount - 1) * buttonSpacing;
  const int clientWidth =
      std::max(textLeft + textAreaWidth + horzMargin, rowWidth + 2 * horzMargin);
  const int buttonTop = vertMargin + contentHeight + vertSpacing;
  const int clientHeight = buttonTop + buttonHeight + vertMargin;

  if (metrics.hasIcon) {
    layout.icon = {horzMargin, vertMargin, horzMargin + kBoxIconSize, vertMargin + kBoxIconSize};
  }
  layout.text = {textLeft, vertMargin, textLeft + textAreaWidth, vertMargin + textHeight};
  int x = (clientWidth - rowWidth) / 2;
  for (int i = 0; i < buttonCount; ++i) {
    layout.buttons.push_back({x, buttonTop, x + buttonWidth, buttonTop + buttonHeight});
    x += buttonWidth + buttonSpacing;
  }

  // The window: at the stated corner, or centred on the monitor, then kept inside the work
  // area so that no part of it, its buttons least of all, is off the screen.
  const int width = clientWidth + frameWidth;
  const int height = clientHeight + frameHeight;
  const BoxRect& monitor = placement.monitor;
  const BoxRect& work = placement.workArea;
  int left = placement.x < 0 ? monitor.left + (monitor.Width() - width) / 2 : placement.x;
  int top = placement.y < 0 ? monitor.top + (monitor.Height() - height) / 2 : placement.y;
  left = std::max(work.left, std::min(left, work.right - width));
  top = std::max(work.top, std::min(top, work.bottom - height));
  layout.window = {left, top, left + width, top + height};
  return layout;
}

}  // namespace pallomar::platform
