// Start-up, shut-down, the File and Help menus and dropped files.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "entrylist/entry_fields.h"
#include "entrylist/errors.h"
#include "form_fixture.h"

namespace pallomar::testing {
namespace {

using platform::kButtonNo;
using platform::kButtonOK;
using platform::kButtonYes;
using platform::kCentre;
using platform::MsgType;

constexpr std::string_view kPlain = "Pallomar Ver. 1.02";
const std::string kWith = "Pallomar Ver. 1.02 - ";
constexpr std::string_view kPrograms = "\\ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ";

// --- command line ---

struct ArgCase {
  std::string_view line;
  std::string_view first;
};

TEST(FirstArgumentTest, SplitsLikeTheProgramsOwnRuleNotTheCRuntimes) {
  const ArgCase cases[] = {
      {"prog a.plw", "a.plw"},
      {"prog first second", "first"},
      {"prog \"\"  a.plw", "a.plw"},      // empty quotes before an argument are skipped
      {"prog \"\" \"\" a.plw", "a.plw"},  // ...however many pairs
      {"prog \"\"a.plw", "a.plw"},        // ...also directly before it
      {"prog a\"\"b", "ab"},              // inside an argument they are just a group
      {"prog \"\"", ""},                  // and alone they are no argument
      {"prog \"C:\\My Lists\\a.plw\"", "C:\\My Lists\\a.plw"},
      {"prog C:\\a\\\"b c\".plw", "C:\\a\\b c.plw"},
      {"prog \\\"a b\\\"", "\\a b\\"},      // no backslash escapes
      {"prog \"open a.plw", "open a.plw"},  // an unclosed quote runs to the end
      {"prog\ta.plw", "a.plw"},
      {"prog \t a.plw\t", "a.plw"},
      {"prog \x01\x1f\x61.plw", "a.plw"},  // every control byte is a blank
      {"prog a.plw   ", "a.plw"},
      {"prog", ""},
      {"prog    ", ""},
      {"", ""},
      {"\"C:\\Program Files\\p.exe\" x.plw", "x.plw"},  // the program may be quoted
      {"\"C:\\Program Files\\p.exe\"", ""},
      {"prog C:\\表\\a.plw", "C:\\表\\a.plw"},  // 表 ends in 0x5C
      {"prog \"ソフト 表\" b", "ソフト 表"},
      {"prog ｽﾀｰﾄ.plw", "ｽﾀｰﾄ.plw"},                    // half-width katakana are single bytes
      {"prog a\x81", "a\x81"},                          // a lead byte at the very end stays alone
      {std::string_view("prog a\0b c", 10), "a"},       // NUL ends the line
      {std::string_view("prog a\x81\0b", 9), "a\x81"},  // ...and is no lead byte's second byte
  };
  for (const ArgCase& c : cases)
    EXPECT_EQ(FirstArgument(c.line, Cp932()), c.first) << "line: " << c.line;
}

// One rule says which bytes break a command line: a path that the command-line form quotes for
// them comes back whole as the editor's argument.
TEST(FirstArgumentTest, ReadsBackThePathTheCommandLineFormQuotes) {
  for (const std::string path : {"C:\\a.plw", "C:\\My Lists\\a.plw", "C:\\a\tb.plw",
                                 "C:\\a\x1f"
                                 "b.plw",
                                 "C:\\表 ソフト\\a.plw"}) {
    EXPECT_EQ(FirstArgument("prog " + CommandLineOf(path, ""), Cp932()), path) << path;
  }
}

// --- construction and start-up ---

using FormStartTest = FormFixture;

TEST_F(FormStartTest, DialogsStartConfiguredForTheirFiles) {
  EXPECT_EQ(form.OpenDialog1.Filter,
            "実行ﾌｧｲﾙ(*.exe, *.com, *.lnk, *.pif)|*.exe;*.com;*.lnk;*.pif|すべてのﾌｧｲﾙ(*.*)|*.*");
  EXPECT_EQ(form.OpenDialog2.Filter, "Pallomar File(*.plw)|*.plw");
  EXPECT_EQ(form.SaveDialog1.Filter, "Pallomar File(*.plw)|*.plw");
  for (const platform::FileDialog* d : {static_cast<platform::FileDialog*>(&form.OpenDialog1),
                                        static_cast<platform::FileDialog*>(&form.OpenDialog2),
                                        static_cast<platform::FileDialog*>(&form.SaveDialog1)}) {
    EXPECT_EQ(d->FilterIndex, 1);
    EXPECT_EQ(d->Options, platform::ofHideReadOnly | platform::ofEnableSizing);
    EXPECT_EQ(d->Title, "");
    EXPECT_EQ(d->FileName, "");
  }
  EXPECT_EQ(form.OpenDialog1.InitialDir(), "");
  EXPECT_EQ(form.OpenDialog2.InitialDir(), "");
  EXPECT_EQ(form.SaveDialog1.InitialDir(), "\\");
  EXPECT_EQ(form.OpenDialog1.DefaultExt, "");
  EXPECT_EQ(form.OpenDialog2.DefaultExt, "");
  EXPECT_EQ(form.SaveDialog1.DefaultExt, "plw");
  EXPECT_TRUE(platform.calls.empty()) << "nothing may run before the window is shown";
}

struct FolderCase {
  const char* name;
  std::optional<std::string> folder;
  bool used;
  std::optional<unsigned> reported = std::nullopt;  // the query's answer, when not the usual
};

TEST_F(FormStartTest, WindowsFolderLongerThanThirtyOrFailedLeavesInitialFolders) {
  const FolderCase cases[] = {
      {"30 chars", "C:\\" + std::string(27, 'W'), true},
      {"short", std::string("C:\\WINDOWS"), true},
      {"31 chars", "C:\\" + std::string(28, 'W'), false},
      {"failed query", std::nullopt, false},
      {"failed query after writing", std::string("C:\\WINDOWS"), false, 0u},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPlatform p;
    p.windowsFolder = c.folder;
    p.windowsFolderLength = c.reported;
    FakeFormView v;
    TForm1 f(v, p, files, Cp932());
    f.FormShow();
    const std::string expected = c.used ? *c.folder + std::string(kPrograms) : "";
    EXPECT_EQ(f.OpenDialog1.InitialDir(), expected);
    EXPECT_EQ(f.OpenDialog2.InitialDir(), expected);
    EXPECT_EQ(f.SaveDialog1.InitialDir(), c.used ? expected : "\\");
    EXPECT_EQ(f.OpenDialog1.Title, "実行するファイルの追加");
    EXPECT_EQ(p.Count(CallKind::ErrorBox), 0u);
  }
}

TEST_F(FormStartTest, ShowAcceptsDropsThenLoadsTheArgumentThenTitlesTheBrowseDialog) {
  WriteRaw("start.plw", ListBytes({E("c:\\a.exe"), E("c:\\b.exe")}));
  // The browse dialog's title must come after the load: seen from inside the load's box.
  WriteRaw("bad.plw", "999\r\n");
  platform.commandLine = "pallomar.exe bad.plw";
  std::string titleDuringBox = "unset";
  platform.onBox = [&](const Call&) { titleDuringBox = form.OpenDialog1.Title; };
  form.FormShow();
  EXPECT_EQ(titleDuringBox, "");
  EXPECT_EQ(form.OpenDialog1.Title, "実行するファイルの追加");
  EXPECT_EQ((platform.Kinds()),
            (std::vector<CallKind>{CallKind::DragAccept, CallKind::WindowsFolder,
                                   CallKind::CommandLine, CallKind::Beep, CallKind::MsgBox}));
  EXPECT_TRUE(platform.calls[0].accept);

  // A good argument loads and its folder beats the Start-menu folder for the list dialogs.
  ScriptedPlatform p;
  p.commandLine = "\"C:\\Program Files\\pallomar.exe\" start.plw";
  FakeFormView v;
  TForm1 f(v, p, files, Cp932());
  f.FormShow();
  EXPECT_EQ(v.caption, kWith + "start.plw");
  EXPECT_EQ(f.Model().list.Count(), 2u);
  EXPECT_EQ(v.rows, 2u);
  EXPECT_EQ(f.OpenDialog1.InitialDir(), "C:\\WINDOWS" + std::string(kPrograms));
  EXPECT_EQ(f.OpenDialog2.InitialDir(), "");
  EXPECT_EQ(f.OpenDialog2.FileName, "start.plw");
  EXPECT_EQ(f.SaveDialog1.InitialDir(), "");
  EXPECT_EQ(f.SaveDialog1.FileName, "start.plw");
}

TEST_F(FormStartTest, NoArgumentLoadsNothingAndKeepsThePlainCaption) {
  for (const char* line : {"pallomar.exe", "pallomar.exe \"\"", "pallomar.exe   "}) {
    ScriptedPlatform p;
    p.commandLine = line;
    FakeFormView v;
    TForm1 f(v, p, files, Cp932());
    f.FormShow();
    EXPECT_EQ(v.caption, kPlain) << line;
    EXPECT_EQ(p.Count(CallKind::Beep), 0u) << line;
    EXPECT_EQ(p.Count(CallKind::MsgBox), 0u) << line;
    EXPECT_EQ(f.OpenDialog1.Title, "実行するファイルの追加");
  }
}

TEST_F(FormStartTest, FailedLoadAtStartShowsTheErrorAndSkipsTheTitle) {
  WriteRaw("locked.plw", ListBytes({E("c:\\a.exe")}));
  files.FailOn(FsCall::OpenRead, "locked.plw", 5);
  platform.commandLine = "pallomar.exe locked.plw";
  form.FormShow();
  ASSERT_EQ(platform.Count(CallKind::ErrorBox), 1u);
  EXPECT_EQ(platform.CallsOf(CallKind::ErrorBox)[0].text, "ファイルへのアクセスが拒否されました");
  EXPECT_EQ(form.OpenDialog1.Title, "") << "the title step must not run after a failed load";
  EXPECT_EQ(view.caption, kPlain);
  // The window goes on: a later command still works.
  files.ClearFaults();
  Open("locked.plw");
  EXPECT_EQ(view.caption, kWith + "locked.plw");
}

TEST_F(FormStartTest, CloseWithdrawsDropsAndClosesTheHelpViewer) {
  form.FormClose();
  EXPECT_EQ((platform.Kinds()), (std::vector<CallKind>{CallKind::DragAccept, CallKind::HelpClose}));
  EXPECT_FALSE(platform.calls[0].accept);
}

// --- loading: caption and dialog memory ---

using FormFileTest = FormFixture;

struct PathCase {
  std::string path;
  std::string folder;  // InitialDir of both list dialogs afterwards
  std::string name;    // their FileName
};

TEST_F(FormFileTest, LoadedFileSetsCaptionAndListDialogsFolderAndName) {
  const PathCase cases[] = {
      {"C:\\Lists\\a.plw", "C:\\Lists", "a.plw"},
      {"C:\\a.plw", "C:\\", "a.plw"},
      {"a.plw", "", "a.plw"},
      {"Lists\\表.plw", "Lists", "表.plw"},  // the 0x5C of 表 splits nothing
      {"Lists\\ソフト.plw", "Lists", "ソフト.plw"},
  };
  MakeFolder("Lists");
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.path);
    WriteRaw(c.path, ListBytes({E("c:\\x.exe")}));
    Forget();
    Open(c.path);
    EXPECT_EQ(view.caption, kWith + c.path);
    EXPECT_EQ(form.OpenDialog2.InitialDir(), c.folder);
    EXPECT_EQ(form.OpenDialog2.FileName, c.name);
    EXPECT_EQ(form.SaveDialog1.InitialDir(), c.folder);
    EXPECT_EQ(form.SaveDialog1.FileName, c.name);
    EXPECT_EQ(platform.Count(CallKind::Beep), 0u);
  }
}

// A save cut short leaves the earlier list beside the list: opening the list must say so,
// naming both files, still open the list, and never remove the copy.
TEST_F(FormFileTest, ACopyLeftByACutSaveIsNamedInAWarningAndKept) {
  const std::string list = ListBytes({E("c:\\a.exe")});
  const std::string earlier = ListBytes({E("c:\\a.exe"), E("c:\\b.exe")});
  for (const bool withCopy : {true, false}) {
    SCOPED_TRACE(withCopy ? "with a copy" : "without");
    WriteRaw("list.plw", list);
    if (withCopy) WriteRaw("list.plw.before-save", earlier);
    Forget();
    Open("list.plw");
    EXPECT_EQ(form.Model().list.Count(), 1u);
    EXPECT_EQ(view.caption, kWith + "list.plw");
    if (!withCopy) {
      EXPECT_EQ(platform.Count(CallKind::MsgBox), 0u);
      continue;
    }
    ASSERT_EQ(platform.Count(CallKind::MsgBox), 1u);
    std::string text;
    for (const Call& c : platform.calls) {
      if (c.kind == CallKind::MsgBox) text = c.text;
    }
    EXPECT_NE(text.find("list.plw\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" list.plw.before-save"), std::string::npos) << text;
    EXPECT_EQ(ReadRaw("list.plw.before-save"), earlier);
    files.Remove("list.plw.before-save");
  }
}

TEST_F(FormFileTest, OpenRunsTheListDialogAndCancelChangesNothing) {
  LoadEntries({E("c:\\a.exe")}, "one.plw");
  Forget();
  platform.dialogAnswers.push_back({false, ""});
  form.Open1Click();
  EXPECT_EQ(platform.Effects(), (std::vector<CallKind>{CallKind::OpenDialog}));
  const Call& run = platform.calls[0];
  EXPECT_EQ(run.dialogObject, &form.OpenDialog2);
  EXPECT_EQ(run.dialog.FileName, "one.plw");
  EXPECT_EQ(run.dialog.Filter, "Pallomar File(*.plw)|*.plw");
  EXPECT_EQ(view.caption, kWith + "one.plw");
  EXPECT_EQ(form.Model().list.Count(), 1u);
  EXPECT_TRUE(view.log.empty());
}

struct LoadFailureCase {
  const char* name;
  std::string bytes;  // empty: no file at all
  bool isFolder;
  std::string boxText;
  int dx;
  bool listCleared;
};

TEST_F(FormFileTest, MissingOrUnreadableFileGetsBeepAndBoxAtItsOffset) {
  const LoadFailureCase cases[] = {
      {"missing", "", false, "ファイルが見つかりません", 135, false},
      {"folder", "", true, "ファイルが見つかりません", 135, false},
      {"bad header", " 102\r\nc:\\x.exe\r\n", false, "指定されたファイルは読めません", 120, true},
      {"empty file", std::string(), false, "指定されたファイルは読めません", 120, true},
  };
  for (const LoadFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    LoadEntries({E("c:\\keep.exe"), E("c:\\two.exe")}, "good.plw");
    const std::string target = std::string("target-") + c.name + ".plw";
    if (c.isFolder) MakeFolder(target);
    if (!c.bytes.empty() || std::string_view(c.name) == "empty file") WriteRaw(target, c.bytes);
    view.edits[0] = "typed";
    Forget();
    Open(target);
    ASSERT_EQ(platform.Effects(),
              (std::vector<CallKind>{CallKind::OpenDialog, CallKind::Beep, CallKind::MsgBox}));
    const Call& box = platform.calls.back();
    EXPECT_EQ(box.text, c.boxText);
    EXPECT_EQ(box.type, MsgType::Error);
    EXPECT_EQ(box.buttons, kButtonOK);
    EXPECT_EQ(box.x, view.topLeft.x + c.dx);
    EXPECT_EQ(box.y, view.topLeft.y + 120);
    if (c.listCleared) {
      EXPECT_EQ(view.caption, kPlain);
      EXPECT_EQ(form.Model().list.Count(), 0u);
      EXPECT_EQ(view.edits[0], "");
    } else {
      EXPECT_EQ(view.caption, kWith + "good.plw");
      EXPECT_EQ(form.Model().list.Count(), 2u);
      EXPECT_EQ(view.edits[0], "typed");
      EXPECT_TRUE(view.log.empty());
    }
    ExpectViewRowsMatchModel();
  }
}

TEST_F(FormFileTest, ReadFailureShowsErrorBoxAndTheListShowsWhatWasRead) {
  std::vector<Entry> many;
  for (int i = 0; i < 50; ++i) many.push_back(E("c:\\tool" + std::to_string(i) + ".exe"));
  WriteRaw("big.plw", ListBytes(many));
  LoadEntries({E("c:\\old.exe")}, "old.plw");
  // Bytes read before the failure.
  for (std::size_t budget : {std::size_t{0}, std::size_t{300}}) {
    SCOPED_TRACE(budget);
    files.readPiece = budget == 0 ? SIZE_MAX : budget;
    files.FailAt(FsCall::Read, budget == 0 ? 1 : 2, 5);
    Forget();
    Open("big.plw");
    files.ClearFaults();
    files.readPiece = SIZE_MAX;
    ASSERT_EQ(platform.Count(CallKind::ErrorBox), 1u);
    EXPECT_EQ(platform.CallsOf(CallKind::ErrorBox)[0].text, "ファイルへのアクセスが拒否されました");
    EXPECT_EQ(view.caption, kPlain);
    EXPECT_LT(form.Model().list.Count(), many.size());
    ExpectViewRowsMatchModel();
  }
}

TEST_F(FormFileTest, NewClearsListPanelAndCaptionWithoutAsking) {
  LoadEntries({E("c:\\a.exe"), E("c:\\b.exe")});
  view.edits = {"p", "q", "r"};
  view.radio = 2;
  view.check = false;
  view.selection = 1;
  Forget();
  form.New1Click();
  EXPECT_TRUE(platform.calls.empty());
  EXPECT_EQ(view.caption, kPlain);
  EXPECT_EQ(form.Model().list.Count(), 0u);
  EXPECT_EQ(view.resets, (std::vector<std::size_t>{0}));
  EXPECT_EQ(view.selection, -1);
  EXPECT_EQ(PanelShown(), PanelValues{});
  // Caption first, then the list, then the edits in order, the radio group and the check box.
  EXPECT_EQ(view.log, (std::vector<std::string>{"caption", "reset", "select", "edit1", "edit2",
                                                "edit3", "radio", "check"}));
  EXPECT_EQ(form.SaveDialog1.FileName, "list.plw") << "the dialogs keep their memory";
}

// --- Save As ---

using FormSaveTest = FormFixture;

TEST_F(FormSaveTest, EmptyListOnlyBeeps) {
  form.S1Click();
  EXPECT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::Beep}));
  EXPECT_EQ(view.caption, kPlain);
}

TEST_F(FormSaveTest, SavesNewFileAndRecordsItInCaptionAndDialogs) {
  LoadEntries({E("c:\\a.exe", "-v", "$dummy$", "2", "0"), E("c:\\b.exe")}, "src.plw");
  Forget();
  platform.dialogAnswers.push_back({true, "out.plw"});
  form.S1Click();
  ASSERT_EQ(platform.Effects(), (std::vector<CallKind>{CallKind::SaveDialog}));
  EXPECT_EQ(platform.calls[0].dialogObject, &form.SaveDialog1);
  EXPECT_EQ(platform.calls[0].dialog.FileName, "src.plw") << "opens at the loaded list";
  EXPECT_EQ(platform.calls[0].dialog.DefaultExt, "plw");
  EXPECT_EQ(ReadRaw("out.plw"),
            "102\r\nc:\\a.exe\r\n-v\r\n\r\n2\r\nFalse\r\nc:\\b.exe\r\n\r\n\r\n0\r\nTrue\r\n");
  EXPECT_EQ(view.caption, kWith + "out.plw");
  EXPECT_EQ(form.OpenDialog2.FileName, "out.plw");
  EXPECT_EQ(form.SaveDialog1.FileName, "out.plw");
}

TEST_F(FormSaveTest, CancelledSaveChangesNothing) {
  LoadEntries({E("c:\\a.exe")}, "src.plw");
  Forget();
  form.S1Click();  // unscripted dialog: cancelled
  EXPECT_EQ(platform.Effects(), (std::vector<CallKind>{CallKind::SaveDialog}));
  EXPECT_EQ(view.caption, kWith + "src.plw");
}

struct OverwriteCase {
  int answer;
  bool written;
};

TEST_F(FormSaveTest, OverwriteQuestionOnlyYesReplacesTheFile) {
  const OverwriteCase cases[] = {
      {platform::kResultYes, true},
      {platform::kResultNo, false},
      {platform::kResultClosed, false},  // closed from the title bar: not a yes
  };
  const std::string before = "102\r\nold\r\n\r\n\r\n0\r\nTrue\r\n";
  for (const OverwriteCase& c : cases) {
    SCOPED_TRACE(c.answer);
    LoadEntries({E("c:\\new.exe")}, "src.plw");
    WriteRaw("existing.plw", before);
    Forget();
    const std::string target = Full("existing.plw");
    platform.dialogAnswers.push_back({true, target});
    platform.boxResults.push_back(c.answer);
    form.S1Click();
    ASSERT_EQ(platform.Effects(), (std::vector<CallKind>{CallKind::SaveDialog, CallKind::MsgBox}))
        << "no beep before the question " << ErrorTexts();
    const Call& box = platform.calls[1];
    EXPECT_EQ(box.text, "既存のファイルを選択しました。\n\nファイルを更新しますか？");
    EXPECT_EQ(box.type, MsgType::Warning);
    EXPECT_EQ(box.buttons, kButtonYes | kButtonNo);
    EXPECT_EQ(box.x, view.topLeft.x + 130);
    EXPECT_EQ(box.y, view.topLeft.y + 120);
    if (c.written) {
      EXPECT_EQ(ReadRaw("existing.plw"), "102\r\nc:\\new.exe\r\n\r\n\r\n0\r\nTrue\r\n");
      EXPECT_EQ(view.caption, kWith + target);
    } else {
      EXPECT_EQ(ReadRaw("existing.plw"), before);
      EXPECT_EQ(view.caption, kWith + "src.plw");
      EXPECT_EQ(form.OpenDialog2.FileName, "src.plw");
    }
  }
}

TEST_F(FormSaveTest, WriteFailureShowsErrorAndKeepsCaptionAndList) {
  LoadEntries({E("c:\\a.exe")}, "src.plw");
  files.FailAt(FsCall::Write, 1, 112);
  Forget();
  platform.dialogAnswers.push_back({true, "full.plw"});
  form.S1Click();
  ASSERT_EQ(platform.Count(CallKind::ErrorBox), 1u);
  EXPECT_EQ(platform.CallsOf(CallKind::ErrorBox)[0].text, "I/O エラー (112)");
  EXPECT_EQ(view.caption, kWith + "src.plw");
  EXPECT_EQ(form.OpenDialog2.FileName, "src.plw");
  EXPECT_EQ(form.Model().list.Count(), 1u);
}

// --- Exit, help, About ---

using FormMenuTest = FormFixture;

TEST_F(FormMenuTest, ExitClosesTheWindowWithoutAsking) {
  LoadEntries({E("c:\\a.exe")});
  Forget();
  form.Exit1Click();
  EXPECT_EQ(view.closed, 1);
  EXPECT_TRUE(platform.Effects().empty());
}

TEST_F(FormMenuTest, HelpFileSitsBesideTheExecutable) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Pallomar\\pallomar.exe", "C:\\Pallomar\\pallomar.hlp"},
      {"C:\\表\\p.exe", "C:\\表\\pallomar.hlp"},
      {"D:\\ｿﾌﾄ\\PALLOMAR.EXE", "D:\\ｿﾌﾄ\\pallomar.hlp"},
  };
  for (const auto& [exe, help] : cases) {
    Forget();
    platform.executablePath = exe;
    form.SearchforHelpOn1Click();
    ASSERT_EQ(platform.Effects(), (std::vector<CallKind>{CallKind::HelpTopics})) << exe;
    EXPECT_EQ(platform.CallsOf(CallKind::HelpTopics)[0].text, help);
  }
}

// Where the system has no viewer for the help file, Help opens the HTML page beside the program
// in the browser, and says so when it cannot; elsewhere the viewer gets the help file.
TEST_F(FormMenuTest, HelpOnSystemsWithoutTheViewerOpensThePageOrSaysWhyNot) {
  using platform::OpenResult;
  using platform::WindowsVersion;
  struct Case {
    const char* what;
    WindowsVersion version;
    std::string exe;
    OpenResult answer;
    std::vector<CallKind> effects;
    std::string opened;  // the help file or page handed over
    std::string box;     // the error box's text, when one is shown
  };
  const std::string page = "C:\\表\\pallomar-help.html";
  const std::string missing = "C:\\無\\pallomar-help.html";
  WriteRaw(page, "<!DOCTYPE html>");
  const std::vector<CallKind> viewer{CallKind::HelpTopics};
  const std::vector<CallKind> browser{CallKind::OpenDocument};
  const std::vector<CallKind> told{CallKind::Beep, CallKind::MsgBox};
  const std::vector<CallKind> refused{CallKind::OpenDocument, CallKind::Beep, CallKind::MsgBox};
  const Case cases[] = {
      {"Windows 7",
       {6, 1, 7601},
       "C:\\表\\p.exe",
       OpenResult::Opened,
       viewer,
       "C:\\表\\pallomar.hlp",
       ""},
      {"Windows 8.1",
       {6, 3, 9600},
       "C:\\表\\p.exe",
       OpenResult::Opened,
       viewer,
       "C:\\表\\pallomar.hlp",
       ""},
      {"version unknown",
       {0, 0, 0},
       "C:\\表\\p.exe",
       OpenResult::Opened,
       viewer,
       "C:\\表\\pallomar.hlp",
       ""},
      {"Windows 10", {10, 0, 19045}, "C:\\表\\p.exe", OpenResult::Opened, browser, page, ""},
      {"Windows 11", {10, 0, 22631}, "C:\\表\\p.exe", OpenResult::Opened, browser, page, ""},
      {"Server 2012", {6, 2, 9200, true}, "C:\\表\\p.exe", OpenResult::Opened, browser, page, ""},
      {"page missing",
       {10, 0, 19045},
       "C:\\無\\p.exe",
       OpenResult::Opened,
       told,
       "",
       "ヘルプ ファイルが見つかりません。\n\n" + missing},
      {"page gone before opening",
       {10, 0, 19045},
       "C:\\表\\p.exe",
       OpenResult::NotFound,
       refused,
       page,
       "ヘルプ ファイルが見つかりません。\n\n" + page},
      {"no browser",
       {10, 0, 19045},
       "C:\\表\\p.exe",
       OpenResult::NoProgram,
       refused,
       page,
       "ヘルプ ファイルを開くプログラムがありません。\n\n" + page},
      {"browser failed",
       {10, 0, 19045},
       "C:\\表\\p.exe",
       OpenResult::Failed,
       refused,
       page,
       "ヘルプ ファイルを開けませんでした。\n\n" + page},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Forget();
    platform.systemVersion = c.version;
    platform.executablePath = c.exe;
    platform.openResult = c.answer;
    form.SearchforHelpOn1Click();
    ASSERT_EQ(platform.Effects(), c.effects);
    for (const Call& call : platform.calls) {
      if (call.kind == CallKind::HelpTopics || call.kind == CallKind::OpenDocument) {
        EXPECT_EQ(call.text, c.opened);
      }
    }
    const auto boxes = platform.CallsOf(CallKind::MsgBox);
    if (c.box.empty()) continue;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.box);
    EXPECT_EQ(boxes[0].type, MsgType::Error);
    EXPECT_EQ(boxes[0].buttons, kButtonOK);
  }
}

TEST_F(FormMenuTest, AboutBeepsThenShowsCustomBox) {
  form.About1Click();
  ASSERT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::Beep, CallKind::MsgBox}));
  const Call& box = platform.calls[1];
  EXPECT_EQ(box.text.substr(0, 20), "Pallomar Ver. 1.02\n\n");
  EXPECT_EQ(box.text.find('\n', 20), std::string::npos) << "one copyright line";
  EXPECT_GT(box.text.size(), 20u);
  EXPECT_EQ(box.type, MsgType::Custom);
  EXPECT_EQ(box.buttons, kButtonOK);
  EXPECT_EQ(box.x, view.topLeft.x + 150);
  EXPECT_EQ(box.y, view.topLeft.y + 120);
}

// --- dropped files ---

using FormDropTest = FormFixture;

struct DropCase {
  std::string path;
  bool loaded;
};

TEST_F(FormDropTest, PlwInAnyCaseLoadsEverythingElseGoesToEdit1) {
  MakeFolder("Tools");
  MakeFolder("dir.d");
  const DropCase cases[] = {
      {"LIST.PLW", true},         {"Mixed.Plw", true},
      {"list.plw.txt", false},    {"Tools", false},  // a folder
      {"C:\\Tools\\Prog", false},                    // no extension, case kept
      {"dir.d\\Notes", false},    {"C:\\App\\Run.EXE", false},
  };
  for (const DropCase& c : cases) {
    SCOPED_TRACE(c.path);
    LoadEntries({E("c:\\keep.exe")}, "keep.plw");
    if (c.loaded) WriteRaw(c.path, ListBytes({E("c:\\d1.exe"), E("c:\\d2.exe")}));
    view.edits = {"before", "p", "f"};
    view.radio = 1;
    Forget();
    int token = 0;
    platform::DropHandle drop = &token;
    platform.dropPaths[drop] = c.path;
    form.WMDropFiles(drop);
    ASSERT_FALSE(platform.calls.empty());
    EXPECT_EQ(platform.calls.back().kind, CallKind::DropFinish);
    EXPECT_EQ(platform.calls.back().drop, drop);
    EXPECT_EQ(platform.Count(CallKind::DropFinish), 1u);
    EXPECT_EQ(platform.Count(CallKind::ErrorBox), 0u);
    if (c.loaded) {
      EXPECT_EQ(view.caption, kWith + c.path);
      EXPECT_EQ(form.Model().list.Count(), 2u);
      EXPECT_EQ(view.edits[0], "");
    } else {
      EXPECT_EQ(view.edits[0], c.path);
      EXPECT_EQ(view.edits[1], "p");
      EXPECT_EQ(view.edits[2], "f");
      EXPECT_EQ(view.radio, 1);
      EXPECT_EQ(view.caption, kWith + "keep.plw");
      EXPECT_EQ(form.Model().list.Count(), 1u);
      EXPECT_EQ(view.log, (std::vector<std::string>{"edit1"}));
    }
    ExpectViewRowsMatchModel();
  }
}

TEST_F(FormDropTest, DropIsReleasedBeforeItsErrorIsShown) {
  // The first path cannot be read from the drop at all.
  int token = 0;
  form.WMDropFiles(&token);
  EXPECT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::DropFirstPath, CallKind::DropFinish,
                                                     CallKind::ErrorBox}));

  // The dropped list fails while being read.
  WriteRaw("locked.plw", ListBytes({E("c:\\a.exe")}));
  files.FailOn(FsCall::OpenRead, "locked.plw", 32);
  Forget();
  platform.dropPaths[&token] = "locked.plw";
  form.WMDropFiles(&token);
  EXPECT_EQ(platform.Effects(), (std::vector<CallKind>{CallKind::DropFinish, CallKind::ErrorBox}));
  EXPECT_EQ(platform.calls.back().text, "I/O エラー (32)");
  EXPECT_EQ(view.caption, kPlain);

  // A missing dropped list is no error: box, then release.
  Forget();
  platform.dropPaths[&token] = "gone.PLW";
  form.WMDropFiles(&token);
  EXPECT_EQ(platform.Effects(),
            (std::vector<CallKind>{CallKind::Beep, CallKind::MsgBox, CallKind::DropFinish}));
}

// --- dispatch ---

TEST_F(FormMenuTest, ErrorWithoutMessageTypeStillReachesTheErrorBox) {
  view.onClose = [] { throw 42; };
  form.Exit1Click();
  ASSERT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::ErrorBox}));
  EXPECT_EQ(platform.calls[0].text, "予期しないエラーが発生しました");
  view.onClose = nullptr;
  form.Exit1Click();
  EXPECT_EQ(view.closed, 1) << "the program goes on after the error";
}

// Whatever a handler raises ends in the error box in Japanese: the program's own errors with
// their messages, anything else (the library's English) as the general texts.
TEST_F(FormMenuTest, NoEnglishTextReachesTheErrorBox) {
  struct Case {
    const char* name;
    std::function<void()> raise;
    std::string shown;
  };
  const std::string unexpected = "予期しないエラーが発生しました";
  const Case cases[] = {
      {"file error", [] { throw EInOutError(5); }, "ファイルへのアクセスが拒否されました"},
      {"list file too large", [] { throw ETooLongError(ETooLongError::What::ListFile); },
       "リストファイルが大きすぎます"},
      {"line too long", [] { throw ETooLongError(ETooLongError::What::ListFileLine); },
       "リストファイルの行が長すぎます"},
      {"entry text too long", [] { throw ETooLongError(ETooLongError::What::EntryText); },
       "項目のテキストが長すぎます"},
      {"out of memory", [] { throw std::bad_alloc(); }, "メモリが不足しています"},
      {"library length error", [] { throw std::length_error("basic_string::_M_create"); },
       unexpected},
      {"failing control", [] { throw std::runtime_error("control failed"); }, unexpected},
      {"no entry", [] { throw std::out_of_range("no such entry"); }, unexpected},
  };
  for (const Case& c : cases) {
    platform.calls.clear();
    view.onSetCaption = c.raise;
    form.New1Click();
    ASSERT_EQ(platform.Kinds(), (std::vector<CallKind>{CallKind::ErrorBox})) << c.name;
    EXPECT_EQ(platform.calls[0].text, c.shown) << c.name;
  }
}

}  // namespace
}  // namespace pallomar::testing
