// The meaning of each stored field, as every reader and writer of a list sees it.
#include "entrylist/entry_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pallomar {
namespace {

using Kind = WindowState::Kind;

TEST(WindowState, StoredTextsReadAsTheEditorBoundsThem) {
  struct Case {
    std::string stored;
    Kind kind;
    int bounded;
    std::string_view word;
    bool canonical;  // a save of its choice writes the same text
  };
  const std::vector<Case> cases = {
      {"0", Kind::Normal, 0, "normal", true},
      {"1", Kind::Maximised, 1, "maximised", true},
      {"2", Kind::Minimised, 2, "minimised", true},
      {"-1", Kind::None, -1, "no choice", true},
      {" 1", Kind::Maximised, 1, "maximised", false},
      {"$2", Kind::Minimised, 2, "minimised", false},
      {"7", Kind::Minimised, 2, "minimised", false},
      {"-2147483648", Kind::None, -1, "no choice", false},
      {"", Kind::Unreadable, 0, "unreadable", false},
      {"1 ", Kind::Unreadable, 0, "unreadable", false},
      {"2147483648", Kind::Unreadable, 0, "unreadable", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("stored: [" + c.stored + "]");
    const WindowState s = WindowState::Read(c.stored);
    EXPECT_EQ(s.kind(), c.kind);
    EXPECT_EQ(s.Bounded(), c.bounded);
    EXPECT_EQ(s.PlainWord(), c.word);
    EXPECT_EQ(s.IsCanonical(), c.canonical);
    EXPECT_EQ(s.Text(), c.stored);  // an unreadable text is kept as it is
    EXPECT_EQ(TryStrToInt(c.stored).has_value(), c.kind != Kind::Unreadable);
  }
}

TEST(EntryFields, OptionalTextsAndFlagsRoundTripThroughTheirStoredForms) {
  EXPECT_EQ(StoredOptional(""), kDummyMarker);
  EXPECT_EQ(OptionalValue(StoredOptional("")), "");
  EXPECT_EQ(OptionalValue("$dummy$ "), "$dummy$ ");  // only the exact marker means none
  EXPECT_EQ(StoredOptional("-x"), "-x");
  EXPECT_TRUE(RunCheckOn(RunCheckFlag(true)));
  EXPECT_FALSE(RunCheckOn(RunCheckFlag(false)));
  EXPECT_TRUE(RunCheckOn(""));  // only exactly "0" is off
  EXPECT_TRUE(RunCheckFileWordOn(RunCheckFileWord(true)));
  EXPECT_FALSE(RunCheckFileWordOn(RunCheckFileWord(false)));
  EXPECT_FALSE(RunCheckFileWordOn("true"));  // in a file only the exact word is on
  EXPECT_FALSE(IsRunCheckFileWord("1"));
  EXPECT_EQ(WindowState::FromValue(-5).StoredText(), "-1");
}

TEST(CommandLineOf, QuotesAPathThatTheArgumentSplitWouldBreak) {
  struct Case {
    std::string path, params, line;
  };
  const std::vector<Case> cases = {
      {"c:\\a.exe", "$dummy$", "c:\\a.exe"},
      {"c:\\a.exe", "", "c:\\a.exe"},
      {"c:\\a b.exe", "-x", "\"c:\\a b.exe\" -x"},
      {"c:\\a\tb.exe", "$dummy$", "\"c:\\a\tb.exe\""},
      {"c:\\a\x1f"
       "b.exe",
       "",
       "\"c:\\a\x1f"
       "b.exe\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(CommandLineOf(c.path, c.params), c.line);
  }
}

TEST(ListCodePage, StepsShiftJisWhateverTheMachine) {
  EXPECT_EQ(ListCodePage().CharLength("\x83\x5c", 0), 2u);  // a trail byte that looks like '\'
  EXPECT_EQ(ListCodePage().CharLength("a\x83", 1), 1u);
}

}  // namespace
}  // namespace pallomar
