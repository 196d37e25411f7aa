// The entry panel: browse, add, take out, erase, move and details, bound to the controls.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "form_fixture.h"

namespace pallomar::testing {
namespace {

using platform::kButtonOK;
using platform::kCentre;
using platform::MsgType;

using FormPanelTest = FormFixture;

// --- browse ---

struct BrowseCase {
  std::string chosen;
  std::string path;
  std::string folder;
};

TEST_F(FormPanelTest, BrowseFillsThePanelFromTheChosenFileWhateverItHeld) {
  const BrowseCase cases[] = {
      {"C:\\Program Files\\App\\Tool.EXE", "c:\\program files\\app\\tool.exe",
       "c:\\program files\\app"},
      {"C:\\Go.exe", "c:\\go.exe", "c:\\"},
      {"D:\\ソフト\\表.EXE", "d:\\ソフト\\表.exe", "d:\\ソフト"},
  };
  form.FormShow();
  for (const BrowseCase& c : cases) {
    SCOPED_TRACE(c.chosen);
    view.edits = {"old", "-x", "c:\\old"};
    view.radio = 2;
    view.check = false;
    view.selection = -1;
    Forget();
    platform.dialogAnswers.push_back({true, c.chosen});
    form.Button1Click();
    ASSERT_EQ(platform.Effects(), (std::vector<CallKind>{CallKind::OpenDialog}));
    EXPECT_EQ(platform.calls[0].dialogObject, &form.OpenDialog1);
    EXPECT_EQ(platform.calls[0].dialog.Title, "実行するファイルの追加");
    EXPECT_EQ(view.edits[0], c.path);
    EXPECT_EQ(view.edits[1], "");
    EXPECT_EQ(view.edits[2], c.folder);
    EXPECT_EQ(view.radio, 0);
    EXPECT_TRUE(view.check);
    EXPECT_EQ(view.log, (std::vector<std::string>{"edit1", "edit2", "edit3", "radio", "check"}));
  }
}

TEST_F(FormPanelTest, CancelledBrowseChangesNothingAndNeverBeeps) {
  view.edits = {"keep", "-x", "c:\\k"};
  form.Button1Click();
  EXPECT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::OpenDialog}));
  EXPECT_TRUE(view.log.empty());
  EXPECT_EQ(view.edits[0], "keep");
}

// --- add ---

struct AddCase {
  const char* name;
  std::string path, params, folder;
  int radio;
  bool check;
  bool notice;
  Entry stored;
};

TEST_F(FormPanelTest, AddStoresThePanelUnderTheExtensionRules) {
  const AddCase cases[] = {
      {"exe keeps all", "C:\\Tools\\A.EXE", "-v", "c:\\tools", 1, true, false,
       E("C:\\Tools\\A.EXE", "-v", "c:\\tools", "1", "1")},
      {"com loses check", "c:\\a.com", "-x", "", 0, true, false,
       E("c:\\a.com", "-x", "$dummy$", "0", "0")},
      {"lnk loses params", "c:\\a.lnk", "-x", "c:\\", 2, true, false,
       E("c:\\a.lnk", "$dummy$", "c:\\", "2", "0")},
      {"no extension", "c:\\tools\\notes", "-x", "", 0, true, true,
       E("c:\\tools\\notes", "$dummy$", "$dummy$", "0", "0")},
      {"spaces only", "   ", "", "", 0, true, true, E("   ", "$dummy$", "$dummy$", "0", "0")},
      {"dot in folder", "c:\\dir.d\\file", "", "", 0, false, true,
       E("c:\\dir.d\\file", "$dummy$", "$dummy$", "0", "0")},
      {"exe and space", "c:\\a.exe ", "-v", "", 0, true, false,
       E("c:\\a.exe ", "$dummy$", "$dummy$", "0", "0")},
      {"trailing dot", "c:\\a.", "-v", "", 0, true, false,
       E("c:\\a.", "$dummy$", "$dummy$", "0", "0")},
      {"no choice marked", "c:\\a.exe", "", "", -1, false, false,
       E("c:\\a.exe", "$dummy$", "$dummy$", "-1", "0")},
      {"typed marker", "c:\\a.exe", "$dummy$", "", 0, true, false,
       E("c:\\a.exe", "$dummy$", "$dummy$", "0", "1")},
  };
  for (const AddCase& c : cases) {
    SCOPED_TRACE(c.name);
    LoadEntries({E("c:\\first.exe")});
    view.selection = 0;
    view.edits = {c.path, c.params, c.folder};
    view.radio = c.radio;
    view.check = c.check;
    Forget();
    std::size_t rowsDuringNotice = 99;
    platform.onBox = [&](const Call&) { rowsDuringNotice = form.Model().list.Count(); };
    form.ButtonaddClick();
    platform.onBox = nullptr;
    if (c.notice) {
      ASSERT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::Beep, CallKind::MsgBox}));
      const Call& box = platform.calls[1];
      EXPECT_EQ(box.text, "実行ファイルの場合は\n\n「拡張子」が必要です");
      EXPECT_EQ(box.type, MsgType::Information);
      EXPECT_EQ(box.buttons, kButtonOK);
      EXPECT_EQ(box.x, kCentre);
      EXPECT_EQ(box.y, kCentre);
      EXPECT_EQ(rowsDuringNotice, 1u) << "the notice comes before anything is stored";
    } else {
      EXPECT_TRUE(platform.calls.empty());
    }
    ASSERT_EQ(form.Model().list.Count(), 2u);
    EXPECT_EQ(form.Model().list.EntryAt(1), c.stored);
    EXPECT_EQ(PanelShown(), PanelValues{}) << "the panel is reset";
    EXPECT_EQ(view.selection, 0) << "the selection stays";
    EXPECT_EQ(view.rowChanges, (std::vector<RowsChange>{{1, 1, 2}}));
    EXPECT_TRUE(view.resets.empty()) << "one added row must not repaint the whole list";
    EXPECT_EQ(view.log,
              (std::vector<std::string>{"rows", "edit1", "edit2", "edit3", "radio", "check"}));
  }
}

TEST_F(FormPanelTest, AddWithEmptyPathBeepsAloneAndKeepsThePanel) {
  view.edits = {"", "-x", "c:\\w"};
  view.radio = 2;
  view.check = false;
  form.ButtonaddClick();
  EXPECT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::Beep}));
  EXPECT_TRUE(view.log.empty());
  EXPECT_EQ(view.edits[1], "-x");
  EXPECT_EQ(view.radio, 2);
  EXPECT_FALSE(view.check);
  EXPECT_EQ(form.Model().list.Count(), 0u);
}

// --- commands that need a selection ---

struct NeedsSelection {
  const char* name;
  void (TForm1::*handler)();
};

const NeedsSelection kNeedsSelection[] = {
    {"take out", &TForm1::ButtondelClick}, {"erase", &TForm1::ButtoneraseClick},
    {"up", &TForm1::ButtonupClick},        {"down", &TForm1::ButtondownClick},
    {"details", &TForm1::ButtoninfoClick}, {"double-click", &TForm1::ListBox1DblClick},
};

TEST_F(FormPanelTest, EveryCommandNeedingASelectionBeepsOnceWithoutOne) {
  for (bool withEntries : {false, true}) {
    for (const NeedsSelection& c : kNeedsSelection) {
      SCOPED_TRACE(std::string(c.name) + (withEntries ? " with entries" : " empty list"));
      if (withEntries)
        LoadEntries({E("c:\\a.exe"), E("c:\\b.exe")});
      else
        form.New1Click();
      view.selection = -1;
      view.edits = {"x", "y", "z"};
      Forget();
      const std::vector<Entry> before = Entries();
      (form.*c.handler)();
      EXPECT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::Beep}));
      EXPECT_EQ(Entries(), before);
      EXPECT_TRUE(view.log.empty());
    }
  }
}

TEST_F(FormPanelTest, StaleSelectionPastTheEndCountsAsNone) {
  LoadEntries({E("c:\\a.exe")});
  view.selection = 5;
  Forget();
  form.ButtoneraseClick();
  EXPECT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::Beep}));
  EXPECT_EQ(form.Model().list.Count(), 1u);
}

// --- take out ---

TEST_F(FormPanelTest, TakeOutMovesTheEntryIntoThePanel) {
  LoadEntries({E("c:\\a.exe"), E("c:\\Tools\\B.exe", "-v", "c:\\tools", "5", "0"), E("c:\\c.exe")});
  view.selection = 1;
  Forget();
  form.ButtondelClick();
  EXPECT_TRUE(platform.calls.empty());
  EXPECT_EQ(view.edits[0], "c:\\Tools\\B.exe");
  EXPECT_EQ(view.edits[1], "-v");
  EXPECT_EQ(view.edits[2], "c:\\tools");
  EXPECT_EQ(view.radio, 2) << "code 5 marks the nearest choice";
  EXPECT_FALSE(view.check);
  EXPECT_EQ(Entries(), (std::vector<Entry>{E("c:\\a.exe"), E("c:\\c.exe")}));
  EXPECT_EQ(view.selection, -1);
  EXPECT_EQ(view.rowChanges, (std::vector<RowsChange>{{1, 2, 2}}));
  EXPECT_TRUE(view.resets.empty());
  ExpectViewRowsMatchModel();
  // Panel first, then the list.
  EXPECT_EQ(view.log, (std::vector<std::string>{"edit1", "edit2", "edit3", "radio", "check", "rows",
                                                "select"}));
}

TEST_F(FormPanelTest, TakeOutThenAddReturnsTheEntryAtTheEnd) {
  const Entry cases[] = {
      E("c:\\a.exe", "-v", "c:\\w", "1", "1"),
      E("c:\\a.exe", "$dummy$", "$dummy$", "-7", "1"),
      E("c:\\a.exe", "$dummy$", "$dummy$", " 1", "0"),
  };
  const Entry back[] = {
      E("c:\\a.exe", "-v", "c:\\w", "1", "1"),
      E("c:\\a.exe", "$dummy$", "$dummy$", "-1", "1"),
      E("c:\\a.exe", "$dummy$", "$dummy$", "1", "0"),
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].windowState);
    LoadEntries({cases[i], E("c:\\z.exe")});
    view.selection = 0;
    form.ButtondelClick();
    form.ButtonaddClick();
    EXPECT_EQ(Entries(), (std::vector<Entry>{E("c:\\z.exe"), back[i]}));
    ExpectViewRowsMatchModel();
  }
}

TEST_F(FormPanelTest, TakeOutOfABadCodeShowsTheErrorAndFillsOnlyTheEdits) {
  for (const char* code : {"abc", "1 ", ""}) {
    SCOPED_TRACE(code);
    LoadEntries({E("c:\\a.exe", "-v", "$dummy$", code, "0"), E("c:\\b.exe")});
    view.selection = 0;
    view.edits = {"old", "old", "old"};
    view.radio = 1;
    view.check = true;
    Forget();
    form.ButtondelClick();
    ASSERT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::ErrorBox}));
    EXPECT_EQ(platform.calls[0].text, "'" + std::string(code) + "' は整数ではありません");
    EXPECT_EQ(view.edits[0], "c:\\a.exe");
    EXPECT_EQ(view.edits[1], "-v");
    EXPECT_EQ(view.edits[2], "");
    EXPECT_EQ(view.radio, 1);
    EXPECT_TRUE(view.check);
    EXPECT_EQ(form.Model().list.Count(), 2u);
    EXPECT_EQ(view.selection, 0);
    EXPECT_EQ(view.log, (std::vector<std::string>{"edit1", "edit2", "edit3"}));
  }
}

// --- erase ---

TEST_F(FormPanelTest, EraseRemovesTheEntryAndLeavesThePanel) {
  LoadEntries({E("c:\\a.exe"), E("c:\\b.exe"), E("c:\\c.exe")});
  for (const auto& [selected, left] :
       {std::pair<int, std::vector<Entry>>{2, {E("c:\\a.exe"), E("c:\\b.exe")}},
        {0, {E("c:\\b.exe")}},
        {0, {}}}) {
    view.selection = selected;
    view.edits = {"p", "q", "r"};
    Forget();
    form.ButtoneraseClick();
    EXPECT_TRUE(platform.calls.empty());
    EXPECT_EQ(Entries(), left);
    EXPECT_EQ(view.edits[0], "p");
    EXPECT_EQ(view.selection, -1);
    EXPECT_EQ(view.log, (std::vector<std::string>{"rows", "select"}));
    ExpectViewRowsMatchModel();
  }
}

// --- move ---

struct MoveCase {
  const char* name;
  bool up;
  int selected;
  std::vector<std::string> order;  // paths afterwards
  int selectedAfter;
  std::vector<RowsChange> changes;
};

TEST_F(FormPanelTest, MovesSwapWithTheNeighbourAndKeepItSelected) {
  const MoveCase cases[] = {
      {"up middle", true, 1, {"b", "a", "c"}, 0, {{0, 1, 3}}},
      {"up last", true, 2, {"a", "c", "b"}, 1, {{1, 2, 3}}},
      {"up first", true, 0, {"a", "b", "c"}, 0, {}},
      {"down first", false, 0, {"b", "a", "c"}, 1, {{0, 1, 3}}},
      {"down last", false, 2, {"a", "b", "c"}, 2, {}},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    LoadEntries(
        {E("a", "pa", "fa", "0", "1"), E("b", "pb", "fb", "1", "0"), E("c", "pc", "fc", "2", "1")});
    view.selection = c.selected;
    Forget();
    (c.up ? form.ButtonupClick() : form.ButtondownClick());
    EXPECT_TRUE(platform.calls.empty()) << "no beep when the entry cannot move";
    std::vector<std::string> order;
    for (const Entry& e : Entries()) {
      order.push_back(e.path);
      EXPECT_EQ(e.params, "p" + e.path) << "columns move together";
      EXPECT_EQ(e.folder, "f" + e.path);
    }
    EXPECT_EQ(order, c.order);
    EXPECT_EQ(view.selection, c.selectedAfter);
    EXPECT_EQ(view.rowChanges, c.changes);
    EXPECT_TRUE(view.resets.empty());
  }
}

TEST_F(FormPanelTest, RepeatedDownKeepsMovingTheSameEntry) {
  LoadEntries({E("x"), E("a"), E("b")});
  view.selection = 0;
  for (int i = 0; i < 3; ++i) form.ButtondownClick();
  EXPECT_EQ(Entries(), (std::vector<Entry>{E("a"), E("b"), E("x")}));
  EXPECT_EQ(view.selection, 2);
  EXPECT_EQ(platform.Count(CallKind::Beep), 0u);
}

TEST_F(FormPanelTest, SingleEntryMovesAreSilent) {
  LoadEntries({E("c:\\a.exe")});
  view.selection = 0;
  Forget();
  form.ButtonupClick();
  form.ButtondownClick();
  EXPECT_TRUE(platform.calls.empty());
  EXPECT_TRUE(view.log.empty());
}

// --- details ---

struct DetailsCase {
  Entry entry;
  std::string text;
};

TEST_F(FormPanelTest, DetailsBoxShowsTheEntryAtItsOwnOffsets) {
  const DetailsCase cases[] = {
      {E("c:\\tools\\a.exe", "$dummy$", "c:\\tools", "1", "1"),
       "実行するファイル : c:\\tools\\a.exe\n\n実行パラメータ : \n\n作業フォルダ : c:\\tools\n\n"
       "ウィンドウサイズ : 最大化\n\n実行中チェック : する"},
      {E("b.exe", "-v", "$dummy$", "5", "0"),
       "実行するファイル : b.exe\n\n実行パラメータ : -v\n\n作業フォルダ : \n\n"
       "ウィンドウサイズ : \n\n実行中チェック : しない"},
  };
  for (const DetailsCase& c : cases) {
    for (auto handler : {&TForm1::ButtoninfoClick, &TForm1::ListBox1DblClick}) {
      SCOPED_TRACE(c.entry.path);
      LoadEntries({E("first"), c.entry});
      view.selection = 1;
      view.topLeft = {317, 45};
      Forget();
      (form.*handler)();
      ASSERT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::MsgBox}));
      const Call& box = platform.calls[0];
      EXPECT_EQ(box.text, c.text);
      EXPECT_EQ(box.type, MsgType::Custom);
      EXPECT_EQ(box.buttons, kButtonOK);
      EXPECT_EQ(box.x, 357);
      EXPECT_EQ(box.y, 115);
      EXPECT_EQ(form.Model().list.Count(), 2u);
      EXPECT_TRUE(view.log.empty());
    }
  }
}

TEST_F(FormPanelTest, DetailsOfABadCodeShowOnlyTheError) {
  LoadEntries({E("c:\\a.exe", "$dummy$", "$dummy$", "1.5", "1")});
  view.selection = 0;
  Forget();
  form.ButtoninfoClick();
  ASSERT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::ErrorBox}));
  EXPECT_EQ(platform.calls[0].text, "'1.5' は整数ではありません");
}

// --- a dropped file to run, then added ---

TEST_F(FormPanelTest, DroppedProgramIsAddedWithTheRestOfThePanel) {
  view.edits = {"", "-q", "c:\\w"};
  int token = 0;
  platform.dropPaths[&token] = "C:\\Apps\\Run.EXE";
  form.WMDropFiles(&token);
  form.ButtonaddClick();
  EXPECT_EQ(Entries(), (std::vector<Entry>{E("C:\\Apps\\Run.EXE", "-q", "c:\\w", "0", "1")}));
  ExpectViewRowsMatchModel();
}

}  // namespace
}  // namespace pallomar::testing
