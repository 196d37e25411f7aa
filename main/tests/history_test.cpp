// Undo and redo: sequences of changes taken back and made again, compared with what the
// window showed before and after each one.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "form_fixture.h"

namespace pallomar::testing {
namespace {

// Everything a user can see or reach of the window's state after a command.
struct Seen {
  std::vector<Entry> entries;
  std::size_t rows;
  int selection;
  PanelValues panel;
  std::string caption;
  std::string listFolder, listName, saveFolder, saveName;
  bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& s, std::ostream* os) {
  *os << s.entries.size() << " entries (" << s.rows << " rows), sel " << s.selection << ", panel ["
      << s.panel.path << "|" << s.panel.params << "|" << s.panel.folder << "|"
      << s.panel.windowState << "|" << s.panel.runCheck << "], caption [" << s.caption
      << "], save [" << s.saveFolder << "|" << s.saveName << "]";
  for (const Entry& e : s.entries) *os << " " << e.path;
}

class HistoryTest : public FormFixture {
 protected:
  Seen Now() const {
    return {Entries(),
            view.rows,
            view.selection,
            PanelShown(),
            view.caption,
            form.OpenDialog2.InitialDir(),
            form.OpenDialog2.FileName,
            form.SaveDialog1.InitialDir(),
            form.SaveDialog1.FileName};
  }
  void Drop(const std::string& path) {
    platform.dropPaths[&dropToken] = path;
    form.WMDropFiles(&dropToken);
  }
  void Type(std::string path, std::string params = "", std::string folder = "") {
    view.edits = {std::move(path), std::move(params), std::move(folder)};
  }
  // Undo (or redo) must beep once and leave everything as it was.
  void ExpectRefused(bool undo) {
    const Seen before = Now();
    Forget();
    undo ? form.UndoKeyPress() : form.RedoKeyPress();
    EXPECT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::Beep}));
    EXPECT_EQ(Now(), before);
  }

  int dropToken = 0;
};

// What the user does in the controls before a command (typing, selecting), then the command.
struct Command {
  const char* what;
  std::function<void()> prepare;
  std::function<void()> run;
  bool step = true;
};

TEST_F(HistoryTest, EveryChangeTakenBackAndMadeAgainShowsTheWindowAsItWas) {
  WriteRaw("second.plw", ListBytes({E("c:\\s1.exe"), E("c:\\s2.exe", "-q", "c:\\s", "2", "0")}));
  WriteRaw("bad.plw", "99\r\n");
  MakeFolder("docs");
  form.FormShow();
  auto select = [&](int row) { return [this, row] { view.selection = row; }; };
  const std::vector<Command> commands = {
      {"open", [] {},
       [&] {
         LoadEntries({E("c:\\a.exe"), E("c:\\b.exe"), E("c:\\c.exe")}, "a.plw");
       }},
      {"add with params",
       [&] {
         Type("c:\\d.exe", "-x", "c:\\d");
         view.radio = 1;
       },
       [&] { form.ButtonaddClick(); }},
      {"add without extension, after the box", [&] { Type("c:\\notes"); },
       [&] { form.ButtonaddClick(); }},
      {"take out over typed text",
       [&] {
         view.selection = 1;
         Type("typed", "-t", "c:\\t");
         view.check = false;
       },
       [&] { form.ButtondelClick(); }},
      {"move up from the end", select(3), [&] { form.ButtonupClick(); }},
      {"move down", [] {}, [&] { form.ButtondownClick(); }},
      {"erase the first", select(0), [&] { form.ButtoneraseClick(); }},
      {"browse",
       [&] {
         platform.dialogAnswers.push_back({true, "C:\\Tools\\Run.EXE"});
       },
       [&] { form.Button1Click(); }},
      {"drop a path", [] {}, [&] { Drop("docs"); }},
      {"drop a list with a row selected", select(2), [&] { Drop("second.plw"); }},
      {"save as",
       [&] {
         platform.dialogAnswers.push_back({true, "saved.plw"});
       },
       [&] { form.S1Click(); }, false},
      {"new over typed text", [&] { Type("half", "typed"); }, [&] { form.New1Click(); }},
      // An empty list replaced keeps no list: the two above are all that is kept.
      {"open a bad header over typed text", [&] { Type("again"); }, [&] { Open("bad.plw"); }},
      {"add to the new list", [&] { Type("c:\\n.exe"); }, [&] { form.ButtonaddClick(); }},
  };
  std::vector<Seen> before;  // what the window showed as each step began
  std::vector<const char*> names;
  for (const Command& c : commands) {
    c.prepare();
    if (c.step) {
      before.push_back(Now());
      names.push_back(c.what);
    }
    c.run();
  }
  const Seen last = Now();
  ASSERT_EQ(platform.Count(CallKind::ErrorBox), 0u) << ErrorTexts();
  ASSERT_EQ(form.Changes().UndoCount(), before.size());

  for (std::size_t k = before.size(); k-- > 0;) {
    SCOPED_TRACE(std::string("undo of: ") + names[k]);
    Forget();
    form.UndoKeyPress();
    EXPECT_EQ(platform.Count(CallKind::Beep), 0u);
    EXPECT_EQ(Now(), before[k]);
    ExpectViewRowsMatchModel();
  }
  ExpectRefused(true);
  // Typing between steps is no step: undoing a step that leaves the panel alone keeps it. The
  // take-out above therefore comes before the moves, so that every panel here is a step's.
  // Made again, each step returns to what the window showed when it was taken back: the
  // typing and selection before the next step, the save's file record after the drop.
  for (std::size_t k = 0; k < before.size(); ++k) {
    SCOPED_TRACE(std::string("redo of: ") + names[k]);
    Forget();
    form.RedoKeyPress();
    EXPECT_EQ(platform.Count(CallKind::Beep), 0u);
    EXPECT_EQ(Now(), k + 1 < before.size() ? before[k + 1] : last);
    ExpectViewRowsMatchModel();
  }
  ExpectRefused(false);
  EXPECT_TRUE(platform.calls.size() == 1u) << "undo and redo open nothing and touch no file";
  EXPECT_EQ(ReadRaw("saved.plw"),
            ListBytes({E("c:\\s1.exe"), E("c:\\s2.exe", "-q", "c:\\s", "2", "0")}));
}

TEST_F(HistoryTest, StartUpListIsWhereTakingBackStops) {
  WriteRaw("start.plw", ListBytes({E("c:\\a.exe"), E("c:\\b.exe")}));
  platform.commandLine = "pallomar.exe start.plw";
  form.FormShow();
  ExpectRefused(true);
  EXPECT_EQ(form.Model().list.Count(), 2u);
  view.selection = 0;
  form.ButtoneraseClick();
  form.UndoKeyPress();
  EXPECT_EQ(Entries(), (std::vector<Entry>{E("c:\\a.exe"), E("c:\\b.exe")}));
  EXPECT_EQ(view.caption, "Pallomar Ver. 1.02 - start.plw");
  ExpectRefused(true);
}

TEST_F(HistoryTest, ListThatFailsPartWayCanStillBeTakenBack) {
  std::vector<Entry> many;
  for (int i = 0; i < 50; ++i) many.push_back(E("c:\\tool" + std::to_string(i) + ".exe"));
  WriteRaw("big.plw", ListBytes(many));
  form.FormShow();
  LoadEntries({E("c:\\old.exe")}, "old.plw");
  const Seen loaded = Now();
  files.readPiece = 300;
  files.FailAt(FsCall::Read, 2, 5);
  Open("big.plw");
  files.ClearFaults();
  ASSERT_EQ(platform.Count(CallKind::ErrorBox), 1u);
  ASSERT_LT(form.Model().list.Count(), many.size());
  form.UndoKeyPress();
  EXPECT_EQ(Now(), loaded);
}

TEST_F(HistoryTest, CommandsThatChangeNothingLeaveNoStep) {
  form.FormShow();
  Type("c:\\a.exe");
  form.ButtonaddClick();
  struct NoChange {
    const char* what;
    std::function<void()> run;
  };
  const std::vector<NoChange> nothing = {
      {"up on the first",
       [&] {
         view.selection = 0;
         form.ButtonupClick();
       }},
      {"down on the last", [&] { form.ButtondownClick(); }},
      {"erase with nothing selected",
       [&] {
         view.selection = -1;
         form.ButtoneraseClick();
       }},
      {"add with Edit1 empty", [&] { form.ButtonaddClick(); }},
      {"cancelled browse", [&] { form.Button1Click(); }},
      {"open a missing file", [&] { Open("gone.plw"); }},
      {"drop the path Edit1 holds",
       [&] {
         Type("c:\\same.exe");
         Drop("c:\\same.exe");
       }},
      {"details",
       [&] {
         view.selection = 0;
         form.ButtoninfoClick();
       }},
  };
  for (const NoChange& c : nothing) {
    c.run();
    EXPECT_EQ(form.Changes().UndoCount(), 1u) << c.what;
  }
  // New on a window that is already new is no step either.
  Type("");
  form.New1Click();
  form.New1Click();
  EXPECT_EQ(form.Changes().UndoCount(), 2u);
}

TEST_F(HistoryTest, NewChangeAfterUndoDropsWhatCouldHaveBeenMadeAgain) {
  form.FormShow();
  for (const char* p : {"c:\\x.exe", "c:\\y.exe"}) {
    Type(p);
    form.ButtonaddClick();
  }
  form.UndoKeyPress();
  Type("c:\\z.exe");
  form.ButtonaddClick();
  ExpectRefused(false);
  form.UndoKeyPress();
  form.UndoKeyPress();
  EXPECT_TRUE(Entries().empty());
  form.RedoKeyPress();
  form.RedoKeyPress();
  EXPECT_EQ(Entries(), (std::vector<Entry>{E("c:\\x.exe", "$dummy$", "$dummy$", "0", "1"),
                                           E("c:\\z.exe", "$dummy$", "$dummy$", "0", "1")}));
}

TEST_F(HistoryTest, HistoryKeepsAHundredStepsAndTwoLists) {
  struct Case {
    const char* what;
    std::function<void()> fill;
    std::size_t kept;
  };
  WriteRaw("l1.plw", ListBytes({E("c:\\1.exe")}));
  WriteRaw("l2.plw", ListBytes({E("c:\\2.exe")}));
  WriteRaw("l3.plw", ListBytes({E("c:\\3.exe")}));
  const Case cases[] = {
      {"105 adds",
       [&] {
         for (int i = 0; i < 105; ++i) {
           Type("c:\\r" + std::to_string(i) + ".exe");
           form.ButtonaddClick();
         }
       },
       100},
      // Opening l1 replaces an empty list, which costs nothing; l2, l3 and New replace three
      // lists, and only the last two are kept.
      {"three lists replaced",
       [&] {
         Open("l1.plw");
         Open("l2.plw");
         Open("l3.plw");
         form.New1Click();
       },
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    form.FormShow();
    form.New1Click();
    c.fill();
    for (std::size_t i = 0; i < c.kept; ++i) form.UndoKeyPress();
    ExpectRefused(true);
    form.FormShow();  // a fresh history for the next case
  }
  // What the two kept steps lead back to: l2 as it was opened.
  Open("l1.plw");
  Open("l2.plw");
  Open("l3.plw");
  form.New1Click();
  form.UndoKeyPress();
  form.UndoKeyPress();
  EXPECT_EQ(Entries(), (std::vector<Entry>{E("c:\\2.exe")}));
  EXPECT_EQ(view.caption, "Pallomar Ver. 1.02 - l2.plw");
}

TEST_F(HistoryTest, UndoingNewGivesBackTheSameListNotACopy) {
  std::vector<Entry> many;
  for (int i = 0; i < 2000; ++i) many.push_back(E("c:\\tool" + std::to_string(i) + ".exe"));
  form.FormShow();
  LoadEntries(many, "big.plw");
  const char* firstPath = form.Model().list.Get(0, kPath).data();
  const std::size_t bytes = form.Model().list.BytesHeld();
  form.New1Click();
  // The history holds the list's own storage, not a second one.
  EXPECT_GE(form.Changes().BytesHeld(), bytes);
  EXPECT_LT(form.Changes().BytesHeld(), bytes + 4096);
  form.UndoKeyPress();
  EXPECT_EQ(form.Model().list.Get(0, kPath).data(), firstPath);
  EXPECT_EQ(Entries(), many);
  EXPECT_EQ(view.resets.back(), many.size());
}

TEST(UndoKeyTest, CtrlZUndoesOutsideEditsAndCtrlYOrCtrlShiftZRedoEverywhere) {
  struct Case {
    unsigned key;
    bool ctrl, shift, alt, inEdit;
    UndoKey want;
  };
  const Case cases[] = {
      {'Z', true, false, false, false, UndoKey::Undo},
      {'Z', true, false, false, true, UndoKey::None},  // the edit's own undo
      {'Z', true, true, false, true, UndoKey::Redo},
      {'Y', true, false, false, true, UndoKey::Redo},
      {'Y', true, true, false, false, UndoKey::Redo},
      {'Z', false, false, false, false, UndoKey::None},
      {'Z', true, false, true, false, UndoKey::None},  // AltGr and Ctrl+Alt are other keys
      {'X', true, false, false, false, UndoKey::None},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UndoKeyFor(c.key, c.ctrl, c.shift, c.alt, c.inEdit), c.want)
        << static_cast<char>(c.key) << c.ctrl << c.shift << c.alt << c.inEdit;
}

}  // namespace
}  // namespace pallomar::testing
