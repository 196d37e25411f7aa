// Path rules on both kinds of code page. This file is compiled to Shift-JIS: 表 and ソ end
// in the byte 0x5C, the backslash; ア (0x83 0x41) ends in an upper-case A.
#include "entrylist/paths.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "entrylist/model.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace pallomar {
namespace {

struct PathCase {
  std::string input;
  std::string onCp932;
  std::string onSingleByte;
};

class PathRules : public ::testing::Test {
 protected:
  std::unique_ptr<CodePage> cp932 = MakeBuiltinCp932();
  std::unique_ptr<CodePage> single = MakeSingleByteCodePage();

  template <typename Rule>
  void Check(const std::vector<PathCase>& cases, Rule rule) {
    for (const PathCase& c : cases) {
      SCOPED_TRACE("input: " + c.input);
      EXPECT_EQ(rule(c.input, *cp932), c.onCp932) << "code page 932";
      EXPECT_EQ(rule(c.input, *single), c.onSingleByte) << "single-byte code page";
    }
  }
};

TEST(Encoding, TestLiteralsAreShiftJis) {
  // Every expectation below relies on these bytes.
  EXPECT_EQ(std::string("表"), "\x95\x5C");
  EXPECT_EQ(std::string("ソ"), "\x83\x5C");
  EXPECT_EQ(std::string("ア"), "\x83\x41");
}

TEST_F(PathRules, FolderOfKeepsRootsAndNeverCutsACharacter) {
  Check(
      {
          {"c:\\x.exe", "c:\\", "c:\\"},
          {"c:\\a\\x.exe", "c:\\a", "c:\\a"},
          {"\\\\srv\\share\\x.exe", "\\\\srv\\share", "\\\\srv\\share"},
          {"c:x.exe", "c:", "c:"},
          {"x.exe", "", ""},
          {"", "", ""},
          {"c:\\", "c:\\", "c:\\"},
          {"c:", "c:", "c:"},
          {"\\", "\\", "\\"},
          {"\\\\", "\\\\", "\\\\"},
          {"\\x.exe", "\\", "\\"},
          {"c:\\dir\\", "c:\\dir", "c:\\dir"},
          // The byte before the last backslash is the second byte of 表: it is not looked
          // through, so the folder keeps its trailing backslash.
          {"c:\\表\\x.exe", "c:\\表\\", "c:\\表\\"},
          {"c:\\ソ\\x.exe", "c:\\ソ\\", "c:\\ソ\\"},
          // A name ending in 表: on 932 the folder is the root, a single-byte page splits it.
          {"c:\\表", "c:\\", "c:\\\x95"},
          {"c:\\a\\表ソ", "c:\\a", "c:\\a\\表\x83"},
          {"表", "", "\x95"},
          // Lead-byte runs: two leads make a whole character, so the backslash counts; three
          // leave the backslash as a second byte.
          {"c:\\\x81\x81\\x", "c:\\\x81\x81", "c:\\\x81\x81"},
          {"c:\\\x95\x95\x95\\x", "c:\\", "c:\\\x95\x95\x95"},
      },
      [](const std::string& p, const CodePage& cp) { return FolderOf(p, cp); });
}

TEST_F(PathRules, FileExtensionIgnoresSecondBytesAndLowers) {
  Check(
      {
          {"c:\\x.exe", ".exe", ".exe"},
          {"C:\\APP.EXE", ".exe", ".exe"},
          {"c:\\dir.d\\file", "", ""},
          {"c:\\a.", ".", "."},
          {"c:\\a.exe ", ".exe ", ".exe "},
          {"c:.exe", ".exe", ".exe"},
          {"c:x", "", ""},
          {".exe", ".exe", ".exe"},
          {"x", "", ""},
          {"", "", ""},
          {"a.tar.GZ", ".gz", ".gz"},
          // 表's second byte is passed over on 932; a single-byte page sees a backslash.
          {"c:\\x.表", ".表", ""},
          {"c:\\表.exe", ".exe", ".exe"},
          {"c:\\ソ", "", ""},
          // The trail byte of ア stays upper-case on 932; a single-byte page lowers it.
          {"c:\\x.アB", ".アb",
           ".\x83"
           "ab"},
      },
      [](const std::string& p, const CodePage& cp) { return FileExtension(p, cp); });
}

TEST_F(PathRules, NamePartIsEverythingAfterTheLastDelimiter) {
  Check(
      {
          {"c:\\a\\x.exe", "x.exe", "x.exe"},
          {"c:x.exe", "x.exe", "x.exe"},
          {"x.exe", "x.exe", "x.exe"},
          {"\\\\srv\\share\\l.plw", "l.plw", "l.plw"},
          {"c:\\dir\\", "", ""},
          {"", "", ""},
          {"c:\\表", "表", ""},
          {"c:\\lists\\ソフト.plw", "ソフト.plw", "\x83\x74\x83\x67.plw"},
      },
      [](const std::string& p, const CodePage& cp) { return NamePart(p, cp); });
}

TEST_F(PathRules, FolderWithBackslashEndsAtTheLastBackslashOnly) {
  Check(
      {
          {"c:\\app\\pallomar.exe", "c:\\app\\", "c:\\app\\"},
          {"c:\\pallomar.exe", "c:\\", "c:\\"},
          {"c:\\表\\p.exe", "c:\\表\\", "c:\\表\\"},
          {"c:\\表", "c:\\", "c:\\表"},
          {"c:p.exe", "", ""},
          {"p.exe", "", ""},
          {"", "", ""},
      },
      [](const std::string& p, const CodePage& cp) { return FolderWithBackslash(p, cp); });
}

TEST_F(PathRules, LoweringKeepsLengthAndSecondBytes) {
  Check(
      {
          {"C:\\Program Files\\APP.EXE", "c:\\program files\\app.exe",
           "c:\\program files\\app.exe"},
          {"アB", "アb",
           "\x83"
           "ab"},
          {"ＡＢ", "ＡＢ", "ＡＢ"},  // no A-Z byte in either character
          {"Z@[`", "z@[`", "z@[`"},
          {"", "", ""},
          {"A\x81", "a\x81", "a\x81"},  // a lone lead byte at the end
      },
      [](const std::string& p, const CodePage& cp) { return Lowered(p, cp); });
  std::string withNul("A\0B", 3);
  EXPECT_EQ(Lowered(withNul, *cp932), std::string("a\0b", 3));
}

TEST_F(PathRules, NulIsNeverADelimiter) {
  const std::string path("a\0b\0", 4);
  EXPECT_EQ(LastDelimiter(path, std::string("\0", 1), *cp932), std::string_view::npos);
  EXPECT_EQ(LastDelimiter(path, std::string("\0", 1), *single), std::string_view::npos);
  EXPECT_EQ(LastDelimiter(std::string("c:\\a\0b", 6), "\\", *cp932), 2u);
}

TEST_F(PathRules, PanelForFileLowersPathAndTakesItsFolder) {
  struct Case {
    std::string chosen;
    std::string path;
    std::string folder;
  };
  const std::vector<Case> cases = {
      {"C:\\Program Files\\App\\Tool.EXE", "c:\\program files\\app\\tool.exe",
       "c:\\program files\\app"},
      {"C:\\表\\アB.EXE", "c:\\表\\アb.exe", "c:\\表\\"},
      {"D:\\RUN.BAT", "d:\\run.bat", "d:\\"},
      {"TOOL.EXE", "tool.exe", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    PanelValues expected;
    expected.path = c.path;
    expected.folder = c.folder;
    expected.params = "";
    expected.windowState = 0;
    expected.runCheck = true;
    EXPECT_EQ(PanelForFile(c.chosen, *cp932), expected);
  }
}

// Every rule that walks a text steps with CharLength; the last backslash shows what a path
// rule then sees.
TEST(CharLength, StepsOverWholeCharactersAndALeadByteAtTheEndStandsAlone) {
  struct StepCase {
    const char* name;
    std::string text;
    std::vector<std::size_t> lengths;  // on code page 932
    std::size_t lastBackslash;         // on code page 932
  };
  const StepCase cases[] = {
      {"lead byte before a 0x5C second byte", "c:\\表", {1, 1, 1, 2}, 2},
      {"0x5C second byte, then a real backslash", "表\\a", {2, 1, 1}, 2},
      {"lead byte at the end", "a\\\x81", {1, 1, 1}, 1},
      {"lead byte alone", "\x81", {1}, std::string::npos},
      {"a run of lead bytes pairs from the start", "\x81\x81\x81\\", {2, 2}, std::string::npos},
      {"second byte in the A-Z range", "アB", {2, 1}, std::string::npos},
      {"half-width katakana are single bytes", "ｽﾀｰﾄ\\", {1, 1, 1, 1, 1}, 4},
      {"edges of the lead ranges",
       "\x80\x40\x9F\x40\xA0\xE0\x40\xFC\x40\xFD",
       {1, 1, 2, 1, 2, 2, 1},
       std::string::npos},
      {"NUL as a second byte", std::string("\x95\0", 2), {2}, std::string::npos},
  };
  const std::unique_ptr<CodePage> builtin = MakeBuiltinCp932();
  const std::unique_ptr<CodePage> single = MakeSingleByteCodePage();
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::size_t> got;
    for (std::size_t i = 0; i < c.text.size(); i += got.back())
      got.push_back(builtin->CharLength(c.text, i));
    EXPECT_EQ(got, c.lengths);
    EXPECT_EQ(LastDelimiter(c.text, "\\", *builtin), c.lastBackslash);
    // On a single-byte code page every byte stands alone, the backslash is the last 0x5C.
    for (std::size_t i = 0; i < c.text.size(); ++i) EXPECT_EQ(single->CharLength(c.text, i), 1u);
    EXPECT_EQ(LastDelimiter(c.text, "\\", *single), c.text.rfind('\\'));
  }
}

TEST(ActiveCodePage, AgreesWithTheBuiltInDescriptionOf932) {
  const CodePage& active = ActiveCodePage();
  EXPECT_EQ(&active, &ActiveCodePage()) << "read once, then shared";
#ifdef _WIN32
  if (GetACP() != 932) GTEST_SKIP() << "ANSI code page is " << GetACP() << ", not 932";
#endif
  const std::unique_ptr<CodePage> builtin = MakeBuiltinCp932();
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(active.IsLeadByte(static_cast<unsigned char>(b)),
              builtin->IsLeadByte(static_cast<unsigned char>(b)))
        << "byte " << b;
  }
  // Texts whose lowering the program relies on: A-Z, and second bytes that must stay.
  for (const std::string text : {"C:\\Program Files\\APP.EXE", "C:\\表\\ソフト\\アB.EXE",
                                 "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abc@[`{", "ｽﾀｰﾄ ﾒﾆｭｰ"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Lowered(text, active), Lowered(text, *builtin));
    EXPECT_EQ(FolderOf(text, active), FolderOf(text, *builtin));
    EXPECT_EQ(FileExtension(text, active), FileExtension(text, *builtin));
  }
}

}  // namespace
}  // namespace pallomar
