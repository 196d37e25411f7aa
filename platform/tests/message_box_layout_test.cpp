// The message box's line breaks and geometry over texts of every shape, with a fixed-width
// font: a single byte 7 px, a double-byte character 14 px.
#include "platform/message_box_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "entrylist/codepage.h"

namespace pallomar::platform {
namespace {

constexpr int kSingle = 7;
constexpr int kDouble = 14;
// Second bytes 0x5C: the "\" of a path if a character were cut.
const std::string kHyo = "\x95\x5C";  // 表
const std::string kSo = "\x83\x5C";   // ソ

int FixedWidth(std::string_view c) { return c.size() == 2 ? kDouble : kSingle; }

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

struct Shape {
  const char* name;
  std::string text;
  std::size_t lines;  // at 300 px
  bool breaksAtSpaces;
};

std::vector<Shape> Shapes() {
  std::string manyLines;
  for (int i = 0; i < 500; ++i) manyLines += "entry " + std::to_string(i) + "\n";
  manyLines += "end";
  return {
      {"short", "OK?", 1, false},
      {"many lines", manyLines, 501, false},
      // 42 single bytes fill 294 of 300 px.
      {"185-byte path", "c:\\tools\\" + std::string(168, 'a') + "\\app.exe", 5, false},
      {"2000-byte run", std::string(2000, 'a'), 48, false},
      // 21 double-byte characters fill 294 px.
      {"double-byte run, second bytes 0x5C", Repeat(kHyo + kSo, 1050), 100, false},
      {"words", Repeat("word ", 300), 38, true},
      {"64 KiB", std::string(65536, 'a'), 1561, false},
      {"1 MiB", Repeat(kHyo, 524288), 24967, false},
  };
}

// Offsets where characters start, by the code page's lead bytes.
std::vector<bool> CharacterStarts(const std::string& text) {
  const auto cp = MakeBuiltinCp932();
  std::vector<bool> starts(text.size() + 1, false);
  std::size_t i = 0;
  while (i < text.size()) {
    starts[i] = true;
    // A line feed ends the line: it is never a second byte.
    const std::string_view line = std::string_view(text).substr(0, text.find('\n', i));
    i += i < line.size() ? cp->CharLength(line, i) : 1;
  }
  starts[text.size()] = true;
  return starts;
}

int ShownWidth(std::string_view line) {
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  const auto cp = MakeBuiltinCp932();
  int width = 0;
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t n = cp->CharLength(line, i);
    width += n == 2 ? kDouble : kSingle;
    i += n;
  }
  return width;
}

TEST(WrapText, NoByteLostNoCharacterCutNoLineTooWideForEveryShape) {
  const auto cp = MakeBuiltinCp932();
  constexpr int kMax = 300;
  for (const Shape& shape : Shapes()) {
    SCOPED_TRACE(shape.name);
    const std::string& text = shape.text;
    const WrappedText wrapped = WrapText(text, kMax, FixedWidth, *cp);
    ASSERT_EQ(wrapped.lines.size(), shape.lines);
    const std::vector<bool> starts = CharacterStarts(text);
    std::size_t expectedStart = 0;
    int widest = 0;
    for (std::size_t i = 0; i < wrapped.lines.size(); ++i) {
      const TextLine& line = wrapped.lines[i];
      ASSERT_EQ(line.start, expectedStart) << "line " << i;
      ASSERT_TRUE(starts[line.start]) << "line " << i << " starts on a second byte";
      const std::string_view shown = std::string_view(text).substr(line.start, line.length);
      ASSERT_EQ(line.width, ShownWidth(shown)) << "line " << i;
      ASSERT_LE(line.width, kMax) << "line " << i;
      if (line.soft && shape.breaksAtSpaces) {
        ASSERT_EQ(shown.back(), ' ') << "line " << i;
      }
      widest = std::max(widest, line.width);
      expectedStart = line.start + line.length;
      if (!line.soft && i + 1 < wrapped.lines.size()) {
        ASSERT_EQ(text[expectedStart], '\n') << "line " << i << " ends without a line feed";
        ++expectedStart;
      }
    }
    EXPECT_EQ(expectedStart, text.size());
    EXPECT_FALSE(wrapped.lines.back().soft);
    EXPECT_EQ(wrapped.widest, widest);
  }
}

struct BreakCase {
  const char* name;
  std::string text;
  int maxWidth;
  std::vector<std::string> lines;
};

TEST(WrapText, BreaksWhereAReaderExpects) {
  const auto cp = MakeBuiltinCp932();
  const BreakCase cases[] = {
      {"empty", "", 100, {""}},
      {"line feeds and an empty line", "a\n\nb", 100, {"a", "", "b"}},
      {"CR LF is one break", "a\r\nb", 100, {"a", "b"}},
      {"feed at the end gives an empty last line", "abc\n", 100, {"abc", ""}},
      {"lead byte before a feed keeps the feed", "\x95\nb", 100, {"\x95", "b"}},
      {"second byte 0x5C is not cut off", "a" + kHyo + kHyo, 20, {"a", kHyo, kHyo}},
      {"character wider than the line stands alone", kSo + kSo, 10, {kSo, kSo}},
      {"after the space, which hangs", std::string(6, 'a') + " bbb", 50, {"aaaaaa ", "bbb"}},
      {"a word too long for a line is cut",
       "ab " + std::string(10, 'c'),
       50,
       {"ab ", "ccccccc", "ccc"}},
      {"path with no spaces fills each line", "c:\\" + kHyo + "\\ab", 40, {"c:\\" + kHyo, "\\ab"}},
      // Tabs reach the next stop (eight single widths), so they take more room than a byte.
      {"tab to its stop fits", "a\tbb", 70, {"a\tbb"}},
      {"tab to its stop pushes the word over", "a\tbbb", 70, {"a\t", "bbb"}},
      {"tab past the edge starts the next line",
       std::string(8, 'a') + "\tb",
       70,
       {std::string(8, 'a'), "\tb"}},
  };
  for (const BreakCase& c : cases) {
    SCOPED_TRACE(c.name);
    const WrappedText wrapped = WrapText(c.text, c.maxWidth, FixedWidth, *cp, 8 * kSingle);
    std::vector<std::string> lines;
    for (const TextLine& line : wrapped.lines)
      lines.push_back(c.text.substr(line.start, line.length));
    EXPECT_EQ(lines, c.lines);
  }
}

BoxMetrics Metrics() {
  BoxMetrics m;
  m.charWidth = kSingle;
  m.lineHeight = 16;
  m.scrollBarWidth = 17;
  m.hasIcon = true;
  m.buttonCaptionWidths = {20};
  m.frame = {-3, -22, 3, 3};
  return m;
}

bool Inside(const BoxRect& inner, const BoxRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

struct Screen {
  const char* name;
  BoxRect monitor;
  BoxRect work;
};

const Screen kScreens[] = {
    {"1280x1024", {0, 0, 1280, 1024}, {0, 0, 1280, 1024}},
    {"taskbar below", {0, 0, 1280, 1024}, {0, 0, 1280, 984}},
    {"second monitor to the left", {-1024, 0, 0, 768}, {-1024, 30, 0, 768}},
    {"small", {0, 0, 640, 480}, {0, 0, 640, 480}},
};

TEST(LayoutMessageBox, EveryShapeFitsTheWorkAreaWithItsButtonsAndTextWithinHalfItsWidth) {
  const auto cp = MakeBuiltinCp932();
  const BoxMetrics metrics = Metrics();
  for (const Shape& shape : Shapes()) {
    for (const Screen& screen : kScreens) {
      SCOPED_TRACE(std::string(shape.name) + " on " + screen.name);
      const WrappedText wrapped =
          WrapText(shape.text, BoxWrapWidth(metrics, screen.work), FixedWidth, *cp);
      for (const auto& [x, y] :
           {std::pair{-1, -1}, std::pair{135, 120}, std::pair{5000, 5000}, std::pair{-1, 900}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        const BoxLayout layout = LayoutMessageBox(metrics, wrapped.widest, wrapped.lines.size(),
                                                  {x, y, screen.monitor, screen.work});
        EXPECT_TRUE(Inside(layout.window, screen.work));
        const BoxRect client{0, 0, layout.window.Width() - metrics.frame.Width(),
                             layout.window.Height() - metrics.frame.Height()};
        ASSERT_EQ(layout.buttons.size(), 1u);
        EXPECT_TRUE(Inside(layout.buttons[0], client));
        EXPECT_TRUE(Inside(layout.text, client));
        EXPECT_LE(layout.text.bottom, layout.buttons[0].top);
        EXPECT_LE(layout.text.Width(), screen.work.Width() / 2);
        const int allLines = static_cast<int>(wrapped.lines.size()) * metrics.lineHeight;
        EXPECT_EQ(layout.scrolls, layout.text.Height() < allLines);
        EXPECT_EQ(layout.text.Height() % metrics.lineHeight, 0);
        // A scrolling text takes all the height there is: one line more would not fit.
        if (layout.scrolls) {
          EXPECT_GT(layout.window.Height() + metrics.lineHeight, screen.work.Height());
        } else {
          EXPECT_EQ(layout.text.Height(), allLines);
        }
      }
    }
  }
}

struct PlaceCase {
  const char* name;
  int x;
  int y;
  BoxRect work;
  int left;  // expected corner; -1: centred on the monitor, -2: against the far edge
  int top;
};

TEST(LayoutMessageBox, StatedCornerHoldsWhereItFitsAndIsMovedJustInsideWhereItDoesNot) {
  const BoxRect monitor{0, 0, 1280, 1024};
  const BoxMetrics metrics = Metrics();
  const PlaceCase cases[] = {
      {"fits", 135, 120, monitor, 135, 120},
      {"corner at the work area's edge", 0, 0, monitor, 0, 0},
      {"centred", -1, -1, monitor, -1, -1},
      {"past the right and bottom", 1200, 1000, monitor, -2, -2},
      {"centred across, past the bottom", -1, 1010, monitor, -1, -2},
      {"above a work area that starts lower", 100, 5, {0, 40, 1280, 1024}, 100, 40},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const BoxLayout layout = LayoutMessageBox(metrics, 200, 3, {c.x, c.y, monitor, c.work});
    const int w = layout.window.Width();
    const int h = layout.window.Height();
    const int left = c.left == -1 ? (1280 - w) / 2 : c.left == -2 ? c.work.right - w : c.left;
    const int top = c.top == -1 ? (1024 - h) / 2 : c.top == -2 ? c.work.bottom - h : c.top;
    EXPECT_EQ(layout.window.left, left);
    EXPECT_EQ(layout.window.top, top);
  }
}

}  // namespace
}  // namespace pallomar::platform
