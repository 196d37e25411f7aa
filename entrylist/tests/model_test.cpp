// The editing rules as the panel commands see them. Compiled to Shift-JIS.
#include "entrylist/model.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "entrylist/errors.h"

namespace pallomar {
namespace {

const std::string kNotIntegerSuffix = "' は整数ではありません";

// ---- Integer conversion ----

TEST(StrToInt, AcceptsTheStatedForms) {
  struct Case {
    std::string text;
    std::int32_t value;
  };
  const std::vector<Case> cases = {
      {"0", 0},
      {"1", 1},
      {" 1", 1},
      {"   -7", -7},
      {"+5", 5},
      {"-0", 0},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"00000000002147483647", INT32_MAX},
      {"$10", 16},
      {"x1f", 31},
      {"X1F", 31},
      {"0x10", 16},
      {"0X10", 16},
      {" $a", 10},
      {"-0x10", 16},  // a sign before the prefix has no effect
      {"+$10", 16},
      {"-$FFFFFFFF", -1},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"$7fffffff", INT32_MAX},
      {"$000000001", 1},  // leading zeros are not significant digits
      {"0x00000000FFFFFFFE", -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("text: [" + c.text + "]");
    EXPECT_EQ(StrToInt(c.text), c.value);
  }
}

TEST(StrToInt, RejectsEverythingElseNamingTheText) {
  const std::vector<std::string> cases = {
      "",     " ",          "1 ",          "+",
      "-",    "2147483648", "-2147483649", "99999999999999999999",
      "$",    "0x",         "x",           "$123456789",
      "$G",   "1.0",        "\t1",         "１",
      "- 1",  "+-1",        "--1",         "1e3",
      "0x-1", "abc",        "$ 1",         " 0x",
      "0x1 ", "1,000",      "%s%n%d",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE("text: [" + text + "]");
    try {
      const std::int32_t value = StrToInt(text);
      ADD_FAILURE() << "accepted as " << value;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + text + kNotIntegerSuffix);
    }
  }
}

TEST(PanelValues, WindowStateIsBoundedToMinusOneThroughTwo) {
  struct Case {
    std::int64_t set;
    int stored;
  };
  const std::vector<Case> cases = {{-7, -1}, {-1, -1}, {0, 0},          {1, 1},
                                   {2, 2},   {5, 2},   {INT64_MIN, -1}, {INT64_MAX, 2}};
  for (const Case& c : cases) {
    PanelValues p;
    p.SetWindowState(c.set);
    EXPECT_EQ(p.windowState, c.stored) << "set " << c.set;
  }
}

// ---- Operations on the list ----

Entry Row(std::string path, std::string params = "$dummy$", std::string folder = "$dummy$",
          std::string state = "0", std::string flag = "1") {
  return Entry{std::move(path), std::move(params), std::move(folder), std::move(state),
               std::move(flag)};
}

class Model : public ::testing::Test {
 protected:
  std::unique_ptr<CodePage> cp = MakeBuiltinCp932();
  ListModel model{*cp};

  void Fill(const std::vector<Entry>& rows) {
    for (const Entry& e : rows) model.list.Append(e);
  }
  std::vector<Entry> Rows() const {
    std::vector<Entry> out;
    for (std::size_t i = 0; i < model.list.Count(); ++i) out.push_back(model.list.EntryAt(i));
    return out;
  }
  static PanelValues Panel(std::string path, std::string params, std::string folder, int state,
                           bool runCheck) {
    PanelValues p;
    p.path = std::move(path);
    p.params = std::move(params);
    p.folder = std::move(folder);
    p.windowState = state;
    p.runCheck = runCheck;
    return p;
  }
};

TEST_F(Model, AddFromPanelStoresByExtensionRules) {
  struct Case {
    PanelValues panel;
    bool notice;
    Entry stored;
  };
  const std::vector<Case> cases = {
      {Panel("c:\\a.exe", "-v", "c:\\", 1, true), false, Row("c:\\a.exe", "-v", "c:\\", "1", "1")},
      {Panel("C:\\A.EXE", "-v", "", 0, true), false, Row("C:\\A.EXE", "-v", "$dummy$", "0", "1")},
      {Panel("c:\\a.com", "-v", "", 2, true), false, Row("c:\\a.com", "-v", "$dummy$", "2", "0")},
      {Panel("c:\\a.lnk", "-v", "d", 0, true), false, Row("c:\\a.lnk", "$dummy$", "d", "0", "0")},
      {Panel("c:\\a.PIF", "-v", "", 0, true), false,
       Row("c:\\a.PIF", "$dummy$", "$dummy$", "0", "0")},
      {Panel("   ", "-v", "", 0, true), true, Row("   ", "$dummy$", "$dummy$", "0", "0")},
      {Panel("c:\\dir.d\\file", "-v", "", 0, true), true,
       Row("c:\\dir.d\\file", "$dummy$", "$dummy$", "0", "0")},
      {Panel("c:\\a.", "-v", "", 0, true), false, Row("c:\\a.", "$dummy$", "$dummy$", "0", "0")},
      {Panel("c:\\a.exe ", "-v", "", 0, true), false,
       Row("c:\\a.exe ", "$dummy$", "$dummy$", "0", "0")},
      {Panel("c:\\表.exe", "-v", "c:\\表", 0, true), false,
       Row("c:\\表.exe", "-v", "c:\\表", "0", "1")},
      {Panel("c:\\x.表", "", "", 0, true), false, Row("c:\\x.表", "$dummy$", "$dummy$", "0", "0")},
      {Panel("a.exe", "$dummy$", "$dummy$", 0, false), false,
       Row("a.exe", "$dummy$", "$dummy$", "0", "0")},
      {Panel("a.exe", "", "", -1, true), false, Row("a.exe", "$dummy$", "$dummy$", "-1", "1")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("path: [" + c.panel.path + "]");
    model.Clear();
    Fill({Row("first")});
    model.selected = 0;
    model.panel = c.panel;
    int notices = 0;
    EXPECT_EQ(model.AddFromPanel([&] {
      ++notices;
      EXPECT_EQ(model.list.Count(), 1u) << "notice must come before the entry is stored";
    }),
              AddOutcome::Added);
    EXPECT_EQ(notices, c.notice ? 1 : 0);
    EXPECT_EQ(Rows(), (std::vector<Entry>{Row("first"), c.stored}));
    EXPECT_EQ(model.panel, PanelValues{}) << "panel back to its defaults";
    EXPECT_EQ(model.selected, 0u) << "appending keeps the selection";
  }
}

TEST_F(Model, AddFromPanelRefusesAnEmptyPathAndChangesNothing) {
  Fill({Row("first")});
  model.panel = Panel("", "-v", "c:\\", 2, false);
  bool noticed = false;
  EXPECT_EQ(model.AddFromPanel([&] { noticed = true; }), AddOutcome::Refused);
  EXPECT_FALSE(noticed);
  EXPECT_EQ(Rows(), std::vector<Entry>{Row("first")});
  EXPECT_EQ(model.panel, Panel("", "-v", "c:\\", 2, false));
}

TEST_F(Model, AddFromPanelUsesTheModelsCodePage) {
  // On a single-byte page the second byte of 表 is a backslash, so "c:\x.表" has no extension.
  const std::unique_ptr<CodePage> single = MakeSingleByteCodePage();
  ListModel singleModel(*single);
  singleModel.panel.path = "c:\\x.表";
  int notices = 0;
  EXPECT_EQ(singleModel.AddFromPanel([&] { ++notices; }), AddOutcome::Added);
  EXPECT_EQ(notices, 1);
}

TEST_F(Model, AddFromPanelWithoutANoticeActionStillAdds) {
  model.panel.path = "noext";
  EXPECT_EQ(model.AddFromPanel({}), AddOutcome::Added);
  EXPECT_EQ(model.list.Count(), 1u);
}

TEST_F(Model, TakeOutFillsThePanelAndRemovesTheEntry) {
  struct Case {
    Entry row;
    PanelValues panel;
  };
  const std::vector<Case> cases = {
      {Row("c:\\a.exe", "$dummy$", "$dummy$", "1", "1"), Panel("c:\\a.exe", "", "", 1, true)},
      {Row("C:\\A.EXE", "-v", "c:\\", "0", "0"), Panel("C:\\A.EXE", "-v", "c:\\", 0, false)},
      {Row("a", "", "", "2", "yes"), Panel("a", "", "", 2, true)},
      {Row("a", "$DUMMY$", "x", "5", ""), Panel("a", "$DUMMY$", "x", 2, true)},
      {Row("a", "p", "f", "-7", "0"), Panel("a", "p", "f", -1, false)},
      {Row("a", "p", "f", " 1", "True"), Panel("a", "p", "f", 1, true)},
      {Row("a", "p", "f", "$2", "1"), Panel("a", "p", "f", 2, true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("code [" + c.row.windowState + "] flag [" + c.row.runCheck + "]");
    model.Clear();
    Fill({Row("before"), c.row, Row("after")});
    model.selected = 1;
    EXPECT_EQ(model.TakeOut(), SelectOutcome::Done);
    EXPECT_EQ(model.panel, c.panel);
    EXPECT_EQ(Rows(), (std::vector<Entry>{Row("before"), Row("after")}));
    EXPECT_FALSE(model.selected.has_value());
  }
}

TEST_F(Model, TakeOutOfAnUnreadableCodeFillsOnlyTheTextsAndKeepsTheEntry) {
  for (const std::string code : {"1 ", "", "abc", "１"}) {
    SCOPED_TRACE("code [" + code + "]");
    model.Clear();
    const Entry bad = Row("c:\\b.exe", "-x", "$dummy$", code, "0");
    Fill({Row("before"), bad});
    model.selected = 1;
    model.panel = Panel("old", "old", "old", 2, true);
    try {
      model.TakeOut();
      ADD_FAILURE() << "no conversion failure";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + code + kNotIntegerSuffix);
    }
    EXPECT_EQ(model.panel, Panel("c:\\b.exe", "-x", "", 2, true));
    EXPECT_EQ(Rows(), (std::vector<Entry>{Row("before"), bad}));
    EXPECT_EQ(model.selected, 1u);
  }
}

TEST_F(Model, TakenOutCodeOfMinusSevenIsStoredAgainAsMinusOne) {
  Fill({Row("a.exe", "$dummy$", "$dummy$", "-7", "1")});
  model.selected = 0;
  ASSERT_EQ(model.TakeOut(), SelectOutcome::Done);
  ASSERT_EQ(model.AddFromPanel({}), AddOutcome::Added);
  EXPECT_EQ(Rows(), std::vector<Entry>{Row("a.exe", "$dummy$", "$dummy$", "-1", "1")});
}

TEST_F(Model, EraseSelectedRemovesOnlyThatEntryAndLeavesThePanel) {
  Fill({Row("a"), Row("b"), Row("c")});
  model.selected = 1;
  model.panel = Panel("typed", "p", "f", 1, false);
  EXPECT_EQ(model.EraseSelected(), SelectOutcome::Done);
  EXPECT_EQ(Rows(), (std::vector<Entry>{Row("a"), Row("c")}));
  EXPECT_FALSE(model.selected.has_value());
  EXPECT_EQ(model.panel, Panel("typed", "p", "f", 1, false));
}

TEST_F(Model, MovesSwapWholeEntriesAndTheSelectionFollows) {
  const Entry a = Row("a", "pa", "fa", "0", "1");
  const Entry b = Row("b", "pb", "fb", "1", "0");
  const Entry c = Row("c", "pc", "fc", "2", "1");
  struct Case {
    std::size_t selected;
    bool up;
    MoveOutcome outcome;
    std::vector<Entry> rows;
    std::size_t selectedAfter;
  };
  const std::vector<Case> cases = {
      {1, true, MoveOutcome::Moved, {b, a, c}, 0},
      {2, true, MoveOutcome::Moved, {a, c, b}, 1},
      {0, true, MoveOutcome::Unchanged, {a, b, c}, 0},
      {1, false, MoveOutcome::Moved, {a, c, b}, 2},
      {0, false, MoveOutcome::Moved, {b, a, c}, 1},
      {2, false, MoveOutcome::Unchanged, {a, b, c}, 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.up ? "up" : "down") + " from " + std::to_string(k.selected));
    model.Clear();
    Fill({a, b, c});
    model.selected = k.selected;
    EXPECT_EQ(k.up ? model.MoveUp() : model.MoveDown(), k.outcome);
    EXPECT_EQ(Rows(), k.rows);
    EXPECT_EQ(model.selected, k.selectedAfter);
  }
}

TEST_F(Model, MovesOfASingleEntryChangeNothing) {
  Fill({Row("only")});
  model.selected = 0;
  EXPECT_EQ(model.MoveUp(), MoveOutcome::Unchanged);
  EXPECT_EQ(model.MoveDown(), MoveOutcome::Unchanged);
  EXPECT_EQ(Rows(), std::vector<Entry>{Row("only")});
  EXPECT_EQ(model.selected, 0u);
}

TEST_F(Model, OperationsNeedingASelectionChangeNothingWithoutOne) {
  struct Setup {
    const char* name;
    std::vector<Entry> rows;
    std::optional<std::size_t> selected;
  };
  const std::vector<Setup> setups = {
      {"empty list", {}, std::nullopt},
      {"entries, none selected", {Row("a", "p", "f", "1", "0"), Row("b")}, std::nullopt},
      {"stale index", {Row("a"), Row("b")}, 2},
  };
  for (const Setup& s : setups) {
    SCOPED_TRACE(s.name);
    model.Clear();
    Fill(s.rows);
    model.selected = s.selected;
    model.panel = Panel("typed", "p", "f", 1, false);
    EXPECT_EQ(model.TakeOut(), SelectOutcome::NothingSelected);
    EXPECT_EQ(model.EraseSelected(), SelectOutcome::NothingSelected);
    EXPECT_EQ(model.MoveUp(), MoveOutcome::NothingSelected);
    EXPECT_EQ(model.MoveDown(), MoveOutcome::NothingSelected);
    EXPECT_EQ(model.DetailsText(), std::nullopt);
    EXPECT_EQ(Rows(), s.rows);
    EXPECT_EQ(model.panel, Panel("typed", "p", "f", 1, false));
    EXPECT_EQ(model.selected, s.selected);
  }
}

TEST_F(Model, ClearEmptiesListSelectionAndPanel) {
  Fill({Row("a"), Row("b")});
  model.selected = 1;
  model.panel = Panel("typed", "p", "f", -1, false);
  model.Clear();
  EXPECT_EQ(model.list.Count(), 0u);
  EXPECT_FALSE(model.selected.has_value());
  EXPECT_EQ(model.panel, PanelValues{});
  EXPECT_EQ(model.panel, Panel("", "", "", 0, true));
}

// ---- Details text ----

std::string Details(const std::string& path, const std::string& params, const std::string& folder,
                    const std::string& word, const std::string& check) {
  return "実行するファイル : " + path + "\n\n実行パラメータ : " + params +
         "\n\n作業フォルダ : " + folder + "\n\nウィンドウサイズ : " + word +
         "\n\n実行中チェック : " + check;
}

TEST_F(Model, DetailsTextDescribesTheSelectedEntry) {
  struct Case {
    Entry row;
    std::string text;
  };
  const std::vector<Case> cases = {
      {Row("c:\\tools\\a.exe", "$dummy$", "c:\\tools", "1", "1"),
       Details("c:\\tools\\a.exe", "", "c:\\tools", "最大化", "する")},
      {Row("a", "-v", "$dummy$", "0", "0"), Details("a", "-v", "", "通常", "しない")},
      {Row("a", "", "", "2", "x"), Details("a", "", "", "最小化", "する")},
      {Row("a", "$DUMMY$", "f", "5", ""), Details("a", "$DUMMY$", "f", "", "する")},
      {Row("a", "p", "f", "-1", "1"), Details("a", "p", "f", "", "する")},
      {Row("a", "p", "f", " $1", "1"), Details("a", "p", "f", "最大化", "する")},
      {Row("表\\ソ", "%s", "%d", "0", "1"), Details("表\\ソ", "%s", "%d", "通常", "する")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("path [" + c.row.path + "] code [" + c.row.windowState + "]");
    model.Clear();
    Fill({Row("other"), c.row});
    model.selected = 1;
    EXPECT_EQ(model.DetailsText(), c.text);
    EXPECT_EQ(Rows(), (std::vector<Entry>{Row("other"), c.row}));
    EXPECT_EQ(model.selected, 1u);
  }
}

TEST_F(Model, DetailsTextOfAnUnreadableCodeRaisesAndChangesNothing) {
  Fill({Row("a", "p", "f", "one", "1")});
  model.selected = 0;
  try {
    (void)model.DetailsText();
    ADD_FAILURE() << "no conversion failure";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'one" + kNotIntegerSuffix);
  }
  EXPECT_EQ(Rows(), std::vector<Entry>{Row("a", "p", "f", "one", "1")});
  EXPECT_EQ(model.selected, 0u);
}

}  // namespace
}  // namespace pallomar
