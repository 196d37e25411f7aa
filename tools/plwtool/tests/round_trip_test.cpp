// Export then import gives back the very bytes the editor's writer produced, over a generated
// set of lists.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "entrylist/entry_list.h"
#include "entrylist/list_file.h"
#include "tool_test_util.h"

namespace plwtool::testing {
namespace {

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : rng_(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  char Byte(int lo, int hi) {
    return static_cast<char>(std::uniform_int_distribution<int>(lo, hi)(rng_));
  }

  // Any text a single-line field can hold: no CR, LF or NUL.
  std::string Text(int maxPieces) {
    std::string s;
    const int pieces = Below(maxPieces + 1);
    for (int i = 0; i < pieces; ++i) {
      switch (Below(11)) {
        case 0:
        case 1:
          s += Byte(0x20, 0x7E);  // ASCII, quotes and backslashes included
          break;
        case 2: {
          static const char* const k5C[] = {"\x95\x5C", "\x83\x5C", "\x94\x5C", "\x8F\x5C"};
          s += k5C[Below(4)];  // 表 ソ 能 宗: a backslash as second byte
          break;
        }
        case 3:
          s += Byte(0xA1, 0xDF);  // half-width katakana
          break;
        case 4:
        case 5:
          s += Below(2) == 0 ? Byte(0x81, 0x9F) : Byte(0xE0, 0xFC);
          s += Below(2) == 0 ? Byte(0x40, 0x7E) : Byte(0x80, 0xFC);
          break;
        case 6: {
          // Characters code page 932 holds twice (NEC and IBM rows).
          static const char* const kTwice[] = {"\xED\x40", "\xFA\x40", "\x87\x90", "\x81\xE0",
                                               "\xEE\xF9", "\x81\xCA", "\xFA\x54"};
          s += kTwice[Below(7)];
          break;
        }
        case 7: {
          static const char kOdd[] = {'\x80', '\xA0', '\xFD', '\xFE', '\xFF'};
          s += kOdd[Below(5)];  // no character of Shift-JIS
          break;
        }
        case 8:
          s += Below(2) == 0 ? Byte(0x81, 0x9F) : Byte(0xE0, 0xFC);  // a lead byte alone
          break;
        case 9: {
          static const char kControl[] = {'\t', '\x1B', '\x7F', '\x1A', '\x01'};
          s += kControl[Below(5)];
          break;
        }
        default:
          s += "c:\\Program Files\\";
      }
    }
    return s;
  }

  std::string Path() {
    std::string p = Text(10);
    if (Below(3) != 0) p += kExtensions[Below(6)];
    // A Ctrl-Z where a record starts ends the file for the reader.
    if (!p.empty() && p[0] == '\x1A') p[0] = 'x';
    return p;
  }

  std::string Optional() {
    switch (Below(4)) {
      case 0:
        return std::string(pallomar::kDummyMarker);
      case 1:
        return "";
      default:
        return Text(6);
    }
  }

  std::string State() {
    static const char* const kStates[] = {"0", "1", "2", "-1", "7", "abc", "", " 1", "1 ", "$10"};
    return Below(5) == 0 ? Text(3) : kStates[Below(10)];
  }

  std::string RunFlag() {
    static const char* const kRun[] = {"0", "1", "", "yes"};
    return kRun[Below(4)];
  }

 private:
  static constexpr const char* kExtensions[] = {".exe", ".EXE", ".com", ".lnk", ".txt", "."};
  std::mt19937 rng_;
};

TEST(RoundTrip, ExportThenImportGivesBackTheWritersBytes) {
  TempFolder dir;
  const auto original = dir.Path("original.plw");
  const auto json = dir.Path("list.json");
  const auto copy = dir.Path("copy.plw");
  int hexFields = 0;
  int backslashSecondBytes = 0;
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    Generator g(seed);
    pallomar::EntryList list;
    const int count = g.Below(7);
    for (int i = 0; i < count; ++i) {
      list.Append(g.Path(), g.Optional(), g.Optional(), g.State(), g.RunFlag());
    }
    pallomar::WriteListFile(original, list);
    const std::string bytes = FileBytes(original);

    const auto exported = RunTool({"export", original});
    ASSERT_EQ(exported.status, kExitOk) << "seed " << seed << ": " << exported.err;
    { std::ofstream(json, std::ios::binary) << exported.out; }
    const auto imported = RunTool({"import", json, copy});
    ASSERT_EQ(imported.status, kExitOk) << "seed " << seed << ": " << imported.err;
    ASSERT_EQ(FileBytes(copy), bytes) << "seed " << seed << "\n" << exported.out;

    // The form is stable: the copy exports to the same JSON.
    EXPECT_EQ(RunTool({"export", copy}).out, exported.out) << "seed " << seed;
    EXPECT_EQ(RunTool({"export", original, "--format", "csv"}).status, kExitOk);

    for (std::size_t at = exported.out.find("{\"hex\""); at != std::string::npos;
         at = exported.out.find("{\"hex\"", at + 1)) {
      ++hexFields;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
      if (static_cast<unsigned char>(bytes[i]) >= 0x81 && bytes[i + 1] == '\\') {
        ++backslashSecondBytes;
      }
    }
  }
  // The generated set really holds what the property is about.
  EXPECT_GT(hexFields, 50);
  EXPECT_GT(backslashSecondBytes, 50);
}

// Any bytes at all are a file that check reads to the end: findings or none, never a failure
// to check it.
TEST(Check, ArbitraryBytesAreAlwaysChecked) {
  TempFolder dir;
  const auto file = dir.Path("bytes.plw");
  static const char* const kPieces[] = {"\r\n", "\n",  "\r",    "\x1A",     "(NUL)",
                                        "True", "102", "a.exe", "\x95\x5C", ""};
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    Generator g(seed);
    std::string bytes = g.Below(4) == 0 ? "" : std::string(kPieces[6 + g.Below(2)]) + "\r\n";
    const int n = g.Below(40);
    for (int i = 0; i < n; ++i) {
      const int k = g.Below(10);
      bytes += k == 4 ? std::string(1, '\0') : std::string(kPieces[k]);
    }
    { std::ofstream(file, std::ios::binary) << bytes; }
    const auto r = RunTool({"check", file});
    EXPECT_NE(r.status, kExitUsage) << "seed " << seed << "\n" << r.err;
  }
}

TEST(RoundTrip, OlderVersionLinesComeBackAsTheCurrentOne) {
  TempFolder dir;
  const auto original = dir.Write("old.plw", "100\r\na.exe\r\n\r\n\r\n0\r\nTrue\r\n");
  const auto exported = RunTool({"export", original});
  ASSERT_EQ(exported.status, kExitOk);
  EXPECT_NE(exported.out.find("\"version\": \"100\""), std::string::npos);
  const auto copy = dir.Path("copy.plw");
  ASSERT_EQ(RunTool({"import", "-", copy}, FakeHost(), exported.out).status, kExitOk);
  EXPECT_EQ(FileBytes(copy), "102\r\na.exe\r\n\r\n\r\n0\r\nTrue\r\n");
}

}  // namespace
}  // namespace plwtool::testing
