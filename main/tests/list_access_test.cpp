// What a screen reader is told about ListBox1's rows, from the list's geometry alone.
#include "list_access.h"

#include <gtest/gtest.h>

#include <climits>

namespace pallomar::view {
namespace {

// 100 rows of 16 px in a 200x100 area scrolled to row 10: rows 10..16 are in view, row 16 only
// partly.
ListShown Shown(std::optional<std::size_t> selection = std::nullopt, bool focused = false) {
  return {100, 10, 16, 200, 100, selection, focused};
}

TEST(ListAccessTest, ChildIdsOutsideOneToCountNameNoRow) {
  struct Case {
    long child;
    std::optional<std::size_t> row;
  };
  for (const Case c : {Case{0, std::nullopt}, Case{-1, std::nullopt}, Case{1, 0}, Case{100, 99},
                       Case{101, std::nullopt}, Case{LONG_MIN, std::nullopt}}) {
    EXPECT_EQ(RowOfChild(c.child, 100), c.row) << c.child;
    if (c.row) {
      EXPECT_EQ(ChildOfRow(*c.row), c.child);
    }
  }
}

TEST(ListAccessTest, RowsPartlyInViewAreOnScreenAndRowsBeyondAreOffscreen) {
  struct Case {
    std::size_t row;
    int top;
    bool offscreen;
  };
  for (const Case c : {Case{9, -16, true}, Case{10, 0, false}, Case{16, 96, false},
                       Case{17, 112, true}, Case{0, -160, true}}) {
    const layout::Rect r = RowRect(Shown(), c.row);
    EXPECT_EQ(r, (layout::Rect{0, c.top, 200, 16})) << c.row;
    EXPECT_EQ(StateOfRow(Shown(), c.row).offscreen, c.offscreen) << c.row;
  }
  // A row far below a long list keeps a place within int instead of wrapping round.
  ListShown huge = Shown();
  huge.count = 400000000;
  EXPECT_EQ(RowRect(huge, 399999999).top, INT_MAX);
}

TEST(ListAccessTest, FocusAndSelectionFollowTheListsFocus) {
  EXPECT_EQ(StateOfRow(Shown(12, true), 12), (RowState{true, true, false}));
  EXPECT_EQ(StateOfRow(Shown(12, false), 12), (RowState{true, false, false}));
  EXPECT_EQ(StateOfRow(Shown(12, true), 13), (RowState{false, false, false}));
  EXPECT_EQ(FocusChild(Shown(12, true)), 13);
  EXPECT_EQ(FocusChild(Shown(std::nullopt, true)), kSelf);
  EXPECT_EQ(FocusChild(Shown(12, false)), std::nullopt);
}

TEST(ListAccessTest, HitTestFindsTheRowUnderThePointOrTheListBelowTheLast) {
  ListShown shortList = Shown();
  shortList.count = 12;  // rows 10 and 11 shown, empty list area below
  struct Case {
    const ListShown* list;
    int x, y;
    std::optional<long> child;
  };
  const ListShown full = Shown();
  for (const Case c : {Case{&full, 0, 0, 11}, Case{&full, 199, 15, 11}, Case{&full, 5, 16, 12},
                       Case{&full, 5, 99, 17}, Case{&full, 200, 5, std::nullopt},
                       Case{&full, 5, -1, std::nullopt}, Case{&shortList, 5, 40, kSelf}}) {
    EXPECT_EQ(ChildAt(*c.list, c.x, c.y), c.child) << c.x << "," << c.y;
  }
}

TEST(ListAccessTest, RowTextIsThePathAndNothingPastTheModel) {
  EntryList entries;
  entries.Append("c:\\\x95\x5C.exe", "-x", "$dummy$", "0", "1");
  EXPECT_EQ(RowText(entries, 0), "c:\\\x95\x5C.exe");
  EXPECT_EQ(RowText(entries, 1), "");
}

}  // namespace
}  // namespace pallomar::view
