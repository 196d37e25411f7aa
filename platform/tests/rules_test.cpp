// The platform's text rules, on the built-in code page 932 and on a single-byte code page.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "entrylist/codepage.h"
#include "platform/platform.h"

namespace pallomar::platform {
namespace {

// "ソ" and "表" end in 0x5C, "ポ" ends in 0x7C: bytes that must not count as "\" or "|".
struct TitleCase {
  const char* exePath;
  const char* title;
};

TEST(ApplicationTitle, NameCutAtFirstDotAndLoweredAfterFirstCharacter) {
  const TitleCase cases[] = {
      {"C:\\x\\TOOL.EXE", "Tool"},
      {"TOOL.EXE", "Tool"},
      {"c:\\tool.exe", "tool"},
      {"C:\\x\\TOOL", "Tool"},
      {"C:\\x\\MY.APP.EXE", "My"},
      {"C:\\dir.d\\APP.EXE", "App"},
      {"C:\\x\\.EXE", ""},
      {"", ""},
      {"C:\\x\\", ""},
      {"C:\\x\\ソFOO.EXE", "ソfoo"},
      {"C:\\表\\ABC.EXE", "Abc"},
      {"C:\\x\\表ABC.EXE", "表abc"},
  };
  const auto cp = MakeBuiltinCp932();
  for (const auto& c : cases) EXPECT_EQ(ApplicationTitleFor(c.exePath, *cp), c.title) << c.exePath;
}

TEST(ApplicationTitle, SingleByteCodePageSplitsAtEveryBackslashByte) {
  const auto cp = MakeSingleByteCodePage();
  EXPECT_EQ(ApplicationTitleFor("C:\\x\\\x83\\FOO.EXE", *cp), "Foo");
}

struct PeriodCase {
  const char* message;
  const char* shown;
};

TEST(ErrorBoxText, PeriodOnlyAfterCharactersAbove0x2E) {
  const PeriodCase cases[] = {
      {"", ""},
      {"abc", "abc."},
      {"abc.", "abc."},
      {"abc ", "abc "},
      {"I/O エラー (32)", "I/O エラー (32)"},
      {"ファイルが見つかりません", "ファイルが見つかりません."},
      {"表", "表."},
      {"a-", "a-"},
      {"a,", "a,"},
      {"a/", "a/."},
      {"a!", "a!"},
      {"'x' は整数ではありません", "'x' は整数ではありません."},
  };
  const auto cp = MakeBuiltinCp932();
  for (const auto& c : cases) EXPECT_EQ(ErrorBoxText(c.message, *cp), c.shown) << c.message;
}

struct FilterCase {
  const char* filter;
  std::vector<std::string> parts;
};

TEST(SplitFilter, SplitsOnlyOnWholeBars) {
  const FilterCase cases[] = {
      {"", {}},
      {"Pallomar File(*.plw)|*.plw", {"Pallomar File(*.plw)", "*.plw"}},
      {"ポ|*.x", {"ポ", "*.x"}},
      {"実行ファイル|*.exe;*.com|すべて|*.*", {"実行ファイル", "*.exe;*.com", "すべて", "*.*"}},
      {"a||b", {"a", "", "b"}},
      {"no bar", {"no bar"}},
  };
  const auto cp = MakeBuiltinCp932();
  for (const auto& c : cases) EXPECT_EQ(SplitFilter(c.filter, *cp), c.parts) << c.filter;
}

TEST(SplitFilter, SingleByteCodePageSplitsAtEveryBarByte) {
  const auto cp = MakeSingleByteCodePage();
  EXPECT_EQ(SplitFilter("\x83|x", *cp), (std::vector<std::string>{"\x83", "x"}));
}

// Records which dialog the platform was asked to run.
class DialogPlatform : public Platform {
 public:
  bool answer = false;
  std::vector<std::string> runs;

  int ShowMessageBox(std::string_view, MsgType, unsigned, int, int) override { return 0; }
  void AlertBeep() override {}
  void ShowErrorBox(std::string_view) override {}
  bool RunOpenDialog(FileDialog& d) override { return Record("open", d); }
  bool RunSaveDialog(FileDialog& d) override { return Record("save", d); }
  void DragAcceptFiles(bool) override {}
  std::string DropFirstPath(DropHandle) override { return {}; }
  void DropFinish(DropHandle) override {}
  void OpenHelpTopics(const std::string&) override {}
  void CloseHelp() override {}
  OpenResult OpenDocument(const std::string&) override { return OpenResult::Failed; }
  WindowsVersion SystemVersion() override { return {}; }
  unsigned GetWindowsFolder(char*, unsigned) override { return 0; }
  std::string CommandLine() override { return {}; }
  std::string ExecutablePath() override { return {}; }
  std::string ApplicationTitle() override { return {}; }

 private:
  bool Record(const char* kind, FileDialog& d) {
    runs.push_back(std::string(kind) + ":" + d.Title);
    return answer;
  }
};

struct DirCase {
  const char* set;
  const char* kept;
};

TEST(InitialDir, DropsOneTrailingBackslashExceptAtARoot) {
  const DirCase cases[] = {
      {"C:\\", "C:\\"},
      {"C:\\Lists\\", "C:\\Lists"},
      {"C:\\Lists", "C:\\Lists"},
      {"C:\\a\\\\", "C:\\a\\"},
      {"\\", "\\"},
      {"a\\", "a"},
      {"C:", "C:"},
      {"", ""},
      {"C:\\x\\表", "C:\\x\\表"},
      {"ソ", "ソ"},
      {"表\\", "表"},
      {"C:\\ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ\\", "C:\\ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ"},
  };
  DialogPlatform platform;
  TOpenDialog dialog(platform);
  for (const auto& c : cases) {
    dialog.SetInitialDir(c.set);
    EXPECT_EQ(dialog.InitialDir(), c.kept) << c.set;
  }
}

TEST(InitialDir, FollowsTheCodePageTheDialogWasGivenNotTheProcesss) {
  // "ソ" is 0x83 0x5C: one character in code page 932, a byte and a backslash in a
  // single-byte code page.
  const auto cp932 = MakeBuiltinCp932();
  const auto single = MakeSingleByteCodePage();
  struct Case {
    const CodePage* cp;
    const char* set;
    const char* kept;
  };
  const Case cases[] = {
      {cp932.get(), "ソ", "ソ"},
      {single.get(), "ソ", "\x83"},
  };
  DialogPlatform platform;
  for (const Case& c : cases) {
    TSaveDialog dialog(platform, *c.cp);
    dialog.SetInitialDir(c.set);
    EXPECT_EQ(dialog.InitialDir(), c.kept) << c.set;
  }
}

TEST(FileDialogs, EachRunsItsOwnKindAndReportsTheAnswer) {
  DialogPlatform platform;
  TOpenDialog open(platform);
  TSaveDialog save(platform);
  open.Title = "o";
  save.Title = "s";
  EXPECT_EQ(open.Options, ofHideReadOnly | ofEnableSizing);
  EXPECT_EQ(save.FilterIndex, 1);

  platform.answer = true;
  EXPECT_TRUE(open.Execute());
  EXPECT_TRUE(save.Execute());
  platform.answer = false;
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(platform.runs, (std::vector<std::string>{"open:o", "save:s", "save:s"}));
}

}  // namespace
}  // namespace pallomar::platform
