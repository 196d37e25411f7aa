// Form1's design as the window is built from it, against the figures and texts written out
// here, and the arithmetic of its list repaints and scroll bars.
#include "layout.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "view_geometry.h"

namespace pallomar::layout {
namespace {

std::string Text(const char* s) { return s == nullptr ? "(none)" : s; }

struct ControlRow {
  Ctl id;
  const char* name;
  int left, top, width, height;
  const char* caption;  // "(none)": no text of its own
  const char* hint;     // "(none)": no hint
  bool tabStop;
};

// clang-format off
const ControlRow kExpected[] = {
    {Ctl::Edit1,       "Edit1",       24,  169, 353, 20, "",        "(none)", true},
    {Ctl::Button1,     "Button1",     387, 166, 75,  25, "参照",    "(none)", true},
    {Ctl::Edit2,       "Edit2",       136, 201, 241, 20, "",        "(none)", true},
    {Ctl::Edit3,       "Edit3",       136, 225, 241, 20, "",        "(none)", true},
    {Ctl::RadioGroup1, "RadioGroup1", 136, 248, 241, 33, "",        "(none)", true},
    {Ctl::ListBox1,    "ListBox1",    24,  26,  417, 95, "(none)",  "(none)", true},
    {Ctl::Buttonup,    "Buttonup",    448, 40,  17,  17, "▲", "選択アイテムを上に移動します", true},
    {Ctl::Buttonerase, "Buttonerase", 448, 64,  17,  17, "×", "選択アイテムを削除します", true},
    {Ctl::Buttondown,  "Buttondown",  448, 88,  17,  17, "▼", "選択アイテムを下に移動します", true},
    {Ctl::Buttonadd,   "Buttonadd",   200, 136, 17,  17, "▲", "リストに追加します", true},
    {Ctl::Buttondel,   "Buttondel",   248, 136, 17,  17, "▼", "リストから取り出します", true},
    {Ctl::Buttoninfo,  "Buttoninfo",  384, 124, 37,  21, "確認", "選択アイテムの設定を表示します", true},
    {Ctl::CheckBox1,   "CheckBox1",   136, 290, 233, 17, "すでに実行中の時は起動しないようにする", "(none)", true},
    {Ctl::Bevel1,      "Bevel1",      0,   0,   473, 9,  "(none)",  "(none)", false},
    {Ctl::Label1,      "Label1",      8,   9,   52,  12, "実行リスト",         "(none)", false},
    {Ctl::Label2,      "Label2",      8,   153, 87,  12, "実行するファイル",   "(none)", false},
    {Ctl::Label3,      "Label3",      44,  205, 76,  12, "実行パラメータ",     "(none)", false},
    {Ctl::Label4,      "Label4",      53,  229, 67,  12, "作業フォルダ",       "(none)", false},
    {Ctl::Label5,      "Label5",      24,  260, 96,  12, "実行時のウィンドウ", "(none)", false},
};
// clang-format on

TEST(LayoutTable, NoControlHasAWrongPlaceSizeCaptionHintOrTabStop) {
  ASSERT_EQ(Controls().size(), std::size(kExpected));
  for (std::size_t i = 0; i < std::size(kExpected); ++i) {
    const ControlRow& want = kExpected[i];
    const ControlDef& got = Controls()[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(got.id, want.id) << "tab and creation order";
    EXPECT_STREQ(got.name, want.name);
    EXPECT_EQ(got.rect, (Rect{want.left, want.top, want.width, want.height}));
    EXPECT_EQ(Text(got.caption), want.caption);
    EXPECT_EQ(Text(got.hint), want.hint);
    EXPECT_EQ(got.tabStop, want.tabStop);
    EXPECT_EQ(&Def(want.id), &got) << "lookup by id finds the control's own row";
  }
  EXPECT_TRUE(Def(Ctl::Buttonerase).bold);
  EXPECT_TRUE(Def(Ctl::CheckBox1).checked);
}

TEST(LayoutTable, FrameFontAndRadioItemsAreNotMistyped) {
  const WindowDef& w = Window();
  EXPECT_STREQ(w.className, "TForm1");
  EXPECT_STREQ(w.caption, "Pallomar Ver. 1.02");
  EXPECT_EQ(w.outerWidth, 481);
  EXPECT_EQ(w.outerHeight, 359);
  EXPECT_EQ(w.clientWidth, 473);
  EXPECT_EQ(w.clientHeight, 313);
  EXPECT_STREQ(w.fontName, "ＭＳ Ｐゴシック");
  EXPECT_EQ(w.fontHeight, -12);
  const std::vector<std::string> items(RadioItems().begin(), RadioItems().end());
  EXPECT_EQ(items, (std::vector<std::string>{"通常", "最大化", "最小化"}));
  EXPECT_EQ(kRadioSelected, 0);
}

struct MenuRow {
  const char* menu;
  const char* name;
  const char* caption;
  Command command;
};

TEST(LayoutTable, MenuCaptionsAndCommandsAreNotMistypedOrMisplaced) {
  const MenuRow expected[] = {
      {"File1", "File1", "ﾌｧｲﾙ(&F)", Command::None},
      {"File1", "New1", "新規作成(&N)", Command::New1Click},
      {"File1", "Open1", "開く(&O)", Command::Open1Click},
      {"File1", "S1", "名前をつけて保存(&S)", Command::S1Click},
      {"File1", "Exit1", "終了(&X)", Command::Exit1Click},
      {"Help1", "Help1", "ﾍﾙﾌﾟ(&H)", Command::None},
      {"Help1", "SearchforHelpOn1", "ﾄﾋﾟｯｸの検索(&H)", Command::SearchforHelpOn1Click},
      {"Help1", "About1", "ﾊﾞｰｼﾞｮﾝ情報(&A)", Command::About1Click},
  };
  std::vector<MenuRow> got;
  for (const MenuDef& menu : Menu()) {
    got.push_back({menu.name, menu.name, menu.caption, Command::None});
    for (const MenuItemDef& item : menu.items)
      got.push_back({menu.name, item.name, item.caption, item.command});
  }
  ASSERT_EQ(got.size(), std::size(expected));
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_STREQ(got[i].menu, expected[i].menu);
    EXPECT_STREQ(got[i].name, expected[i].name);
    EXPECT_STREQ(got[i].caption, expected[i].caption);
    EXPECT_EQ(got[i].command, expected[i].command);
  }
}

TEST(LayoutIds, EnterEscAndForeignIdsRunNoMenuCommand) {
  struct Case {
    int id;
    std::optional<Command> command;
  };
  const Case cases[] = {
      {static_cast<int>(Command::S1Click), Command::S1Click},
      {static_cast<int>(Command::About1Click), Command::About1Click},
      {1, std::nullopt},  // IDOK from Enter
      {2, std::nullopt},  // IDCANCEL from Esc
      {0, std::nullopt},
      // A button's command is not a menu item's.
      {static_cast<int>(Command::ButtonaddClick), std::nullopt},
      {ControlId(Ctl::Edit1), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(MenuCommand(c.id), c.command) << c.id;
  EXPECT_EQ(ControlForId(ControlId(Ctl::Buttoninfo)), Ctl::Buttoninfo);
  EXPECT_EQ(ControlForId(ControlId(Ctl::Label5) + 1), std::nullopt);
  EXPECT_EQ(ControlForId(kControlIdBase - 1), std::nullopt);
  EXPECT_EQ(ControlForId(kRadioIdBase), std::nullopt) << "radio items run no command";
}

TEST(LayoutScale, FontAndPositionsFollowDensityAndMeasuredHeight) {
  struct Case {
    int dpi;
    int fontHeight;
  };
  for (const Case& c :
       {Case{96, -12}, Case{120, -15}, Case{144, -18}, Case{192, -24}, Case{0, -12}}) {
    EXPECT_EQ(FontHeightFor(c.dpi), c.fontHeight) << c.dpi;
  }
  struct ScaleCase {
    int measured;
    int v;
    int want;
  };
  for (const ScaleCase& c :
       {ScaleCase{12, 481, 481}, ScaleCase{13, 481, 521}, ScaleCase{15, 359, 449},
        ScaleCase{24, 17, 34}, ScaleCase{0, 473, 473}}) {
    EXPECT_EQ(ScaleFor(c.measured).Apply(c.v), c.want) << c.measured << " " << c.v;
  }
  EXPECT_EQ(MulDivRound(-12, 120, 96), -15);
  EXPECT_EQ(MulDivRound(7, 1, 2), 4);
  EXPECT_EQ(MulDivRound(-7, 1, 2), -4);
}

TEST(LayoutExtent, ScrollBarsStayAwayAtTheDesignSize) {
  // The controls fit the design client width; Bevel1 follows the client and does not count.
  const Extent e = ControlsExtent(Scale{});
  EXPECT_EQ(e.right, 465);   // Buttonup and its column: 448 + 17
  EXPECT_EQ(e.bottom, 307);  // CheckBox1: 290 + 17
  EXPECT_LE(e.right, Window().clientWidth);
  const Extent doubled = ControlsExtent(Scale{2, 1});
  EXPECT_EQ(doubled.right, 930);
  EXPECT_EQ(doubled.bottom, 614);
}

TEST(LayoutOpeningSize, ThickFramesGrowTheWindowButNeverCutTheClientArea) {
  struct FrameCase {
    const char* name;
    Scale scale;
    Size frame;
    Size want;
  };
  const FrameCase cases[] = {
      // The classic frame leaves exactly the design client area: nothing changes.
      {"classic", Scale{}, {8, 46}, {481, 359}},
      {"classic, font one pixel taller", Scale{13, 12}, {8, 46}, {521, 389}},
      {"thinner than classic", Scale{}, {0, 0}, {481, 359}},
      // Padded borders and a taller caption, as measured at 96 dpi.
      {"thick frame", Scale{13, 12}, {33, 75}, {512 + 33, 339 + 75}},
      {"only the height falls short", Scale{}, {8, 60}, {481, 313 + 60}},
      {"high density", Scale{3, 2}, {40, 100}, {710 + 40, 470 + 100}},
  };
  for (const FrameCase& c : cases) {
    const Size got = OpeningSize(c.scale, c.frame);
    EXPECT_EQ(got, c.want) << c.name << ": " << got.width << " x " << got.height;
    // Whatever the frame, the controls fit in what is left.
    const Extent e = ControlsExtent(c.scale);
    EXPECT_LE(e.right, got.width - c.frame.width) << c.name;
    EXPECT_LE(e.bottom, got.height - c.frame.height) << c.name;
  }
}

TEST(LayoutRadio, ItemsShareOneRowInsideTheGroup) {
  const Rect group{136, 248, 241, 33};
  for (int textHeight : {12, 13, 20}) {
    int previousRight = 0;
    for (int i = 0; i < kRadioColumns; ++i) {
      const Rect r = RadioItemRect(group, i, textHeight);
      EXPECT_EQ(r.top, RadioItemRect(group, 0, textHeight).top);
      EXPECT_GE(r.left, previousRight);
      EXPECT_LE(r.Right(), group.width);
      EXPECT_GT(r.top, 0);
      EXPECT_LE(r.Bottom(), group.height);
      previousRight = r.Right();
    }
  }
}

}  // namespace
}  // namespace pallomar::layout

namespace pallomar::view {
namespace {

using Kind = Repaint::Kind;

TEST(ListRepaint, OnlyChangedRowsOnScreenAreRepainted) {
  struct Case {
    const char* what;
    std::size_t first, last;
    bool resized;
    std::size_t topRow;
    Repaint want;
  };
  // Rows 13 pixels high in a list 91 pixels high: 7 rows and one partly shown.
  const Case cases[] = {
      {"a move of rows 3 and 4", 3, 4, false, 0, {Kind::Band, 39, 65}},
      {"a move scrolled out of view", 25, 26, false, 0, {}},
      {"a move above the top row", 1, 2, false, 10, {}},
      {"a move across the top row", 9, 10, false, 10, {Kind::Band, 0, 13}},
      {"a move at the bottom edge, cut to the list", 6, 7, false, 0, {Kind::Band, 78, 91}},
      {"a row added below the screen", 40, 40, true, 0, {}},
      {"a row removed on screen shifts all below", 2, 29, true, 0, {Kind::Band, 26, 91}},
      {"a row removed above the top row", 3, 29, true, 10, {Kind::Everything}},
      {"a row removed at the top row", 10, 29, true, 10, {Kind::Everything}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RepaintRange(c.first, c.last, c.resized, c.topRow, 13, 91), c.want) << c.what;
  EXPECT_EQ(RepaintRange(3, 4, false, 0, 0, 91).kind, Kind::Everything) << "no row height yet";
  EXPECT_EQ(RepaintRange(3, 4, false, 0, 13, 0), Repaint{}) << "a list of no height";
}

TEST(Scrolling, PositionsStayInsideTheRangeWhateverTheRequest) {
  // 307 pixels of controls in a client 200 high: positions 0 to 107.
  const ScrollBar bar{306, 200, 50, 80};
  struct Case {
    ScrollRequest request;
    ScrollBar bar;
    int want;
  };
  const Case cases[] = {
      {ScrollRequest::LineDown, bar, 58},
      {ScrollRequest::LineUp, bar, 42},
      {ScrollRequest::PageDown, bar, 107},
      {ScrollRequest::PageUp, bar, 0},
      {ScrollRequest::Thumb, bar, 80},
      {ScrollRequest::Top, bar, 0},
      {ScrollRequest::Bottom, bar, 107},
      {ScrollRequest::LineUp, {306, 200, 3, 0}, 0},
      {ScrollRequest::LineDown, {306, 200, 104, 0}, 107},
      {ScrollRequest::Thumb, {306, 200, 0, 500}, 107},
      {ScrollRequest::LineDown, {306, 400, 0, 0}, 0},  // everything fits
      {ScrollRequest::PageDown, {306, 0, 0, 0}, 1},    // a page of nothing still moves
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScrollTarget(c.request, c.bar, 8), c.want) << static_cast<int>(c.request);
  EXPECT_EQ(ScrollLimit(307, 200), 107);
  EXPECT_EQ(ScrollLimit(307, 400), 0);
}

}  // namespace
}  // namespace pallomar::view
