#include "entrylist/list_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "entrylist/errors.h"
#include "entrylist/list_parse.h"
#include "list_file_internal.h"
#include "temp_folder.h"

namespace pallomar {
namespace {

using namespace std::string_literals;
using test_support::TempFolder;

std::vector<Entry> Snapshot(const EntryList& list) {
  std::vector<Entry> out;
  for (std::size_t i = 0; i < list.Count(); ++i) out.push_back(list.EntryAt(i));
  return out;
}

const Entry kBlank{"", "$dummy$", "$dummy$", "", "0"};

struct ReadCase {
  const char* name;
  std::string bytes;
  ListFileReadResult result;
  std::vector<Entry> entries;
};

const std::vector<ReadCase>& ReadCases() {
  static const std::vector<ReadCase> cases = {
      {"worked example",
       "102\r\na.exe\r\n-v\r\n\r\n2\r\nFalse\r\n",
       ListFileReadResult::Loaded,
       {{"a.exe", "-v", "$dummy$", "2", "0"}}},
      {"version line alone", "102\r\n", ListFileReadResult::Loaded, {kBlank}},
      {"version without line end", "102", ListFileReadResult::Loaded, {kBlank}},
      {"version 100",
       "100\r\nx\r\np\r\nf\r\n1\r\nTrue\r\n",
       ListFileReadResult::Loaded,
       {{"x", "p", "f", "1", "1"}}},
      {"version 101",
       "101\nx\np\nf\n1\nTrue\n",
       ListFileReadResult::Loaded,
       {{"x", "p", "f", "1", "1"}}},
      {"empty file", "", ListFileReadResult::HeaderNotAccepted, {}},
      {"ctrl-z first",
       "\x1A"
       "102\r\n",
       ListFileReadResult::HeaderNotAccepted,
       {}},
      {"leading space", " 102\r\nx\r\n", ListFileReadResult::HeaderNotAccepted, {}},
      {"trailing space", "102 \r\nx\r\n", ListFileReadResult::HeaderNotAccepted, {}},
      {"leading zero", "0102\r\nx\r\n", ListFileReadResult::HeaderNotAccepted, {}},
      {"byte-order mark",
       "\xEF\xBB\xBF"
       "102\r\nx\r\n",
       ListFileReadResult::HeaderNotAccepted,
       {}},
      {"version 103", "103\r\nx\r\n", ListFileReadResult::HeaderNotAccepted, {}},
      {"cr-only line ends", "102\rx\rp\rf\r1\rTrue\r", ListFileReadResult::HeaderNotAccepted, {}},
      {"lf-only line ends",
       "102\na\nb\nc\n0\nTrue\nd\n\n\n2\nFalse\n",
       ListFileReadResult::Loaded,
       {{"a", "b", "c", "0", "1"}, {"d", "$dummy$", "$dummy$", "2", "0"}}},
      {"line ends mixed within and across records",
       "102\r\na\nb\r\nc\n0\r\nTrue\nd\ne\nf\n1\nFalse\ng\r\n\r\nh\r\n2\r\nTrue\r\n",
       ListFileReadResult::Loaded,
       {{"a", "b", "c", "0", "1"}, {"d", "e", "f", "1", "0"}, {"g", "$dummy$", "h", "2", "1"}}},
      {"empty line after last record",
       "102\r\na\r\nb\r\nc\r\n0\r\nTrue\r\n\r\n",
       ListFileReadResult::Loaded,
       {{"a", "b", "c", "0", "1"}, kBlank}},
      {"ctrl-z after last record",
       "102\r\na\r\nb\r\nc\r\n0\r\nTrue\r\n\x1A junk\r\nmore\r\n",
       ListFileReadResult::Loaded,
       {{"a", "b", "c", "0", "1"}}},
      {"end test sees the raw byte, not the value",
       "102\r\na\r\nb\r\nc\r\n0\r\nTrue\r\n\r\x1A"
       "z\r\n",
       ListFileReadResult::Loaded,
       {{"a", "b", "c", "0", "1"},
        {"\x1A"
         "z",
         "$dummy$", "$dummy$", "", "0"}}},
      {"ctrl-z inside a line is a byte",
       "102\r\na\x1A"
       "b\r\n\x1A\r\n\r\n0\r\nTrue\r\n",
       ListFileReadResult::Loaded,
       {{"a\x1A"
         "b",
         "\x1A", "$dummy$", "0", "1"}}},
      {"ends after parameters",
       "102\r\na.exe\r\n-x\r\n",
       ListFileReadResult::Loaded,
       {{"a.exe", "-x", "$dummy$", "", "0"}}},
      {"ends inside parameters",
       "102\r\na.exe\r\n-x",
       ListFileReadResult::Loaded,
       {{"a.exe", "-x", "$dummy$", "", "0"}}},
      {"lone cr inside a value",
       "102\r\nab\rcd\r\n\r\n\r\n0\r\nTrue\r\n",
       ListFileReadResult::Loaded,
       {{"abcd", "$dummy$", "$dummy$", "0", "1"}}},
      {"cr as last byte",
       "102\r\na\r\nb\r\nc\r\n0\r\nTrue\r",
       ListFileReadResult::Loaded,
       {{"a", "b", "c", "0", "1"}}},
      {"only True is on",
       "102\r\n1\r\n\r\n\r\n0\r\ntrue\r\n2\r\n\r\n\r\n0\r\nTRUE\r\n3\r\n\r\n\r\n0\r\n1\r\n"
       "4\r\n\r\n\r\n0\r\nYes\r\n5\r\n\r\n\r\n0\r\n\r\n6\r\n\r\n\r\n0\r\nTrue \r\n",
       ListFileReadResult::Loaded,
       {{"1", "$dummy$", "$dummy$", "0", "0"},
        {"2", "$dummy$", "$dummy$", "0", "0"},
        {"3", "$dummy$", "$dummy$", "0", "0"},
        {"4", "$dummy$", "$dummy$", "0", "0"},
        {"5", "$dummy$", "$dummy$", "0", "0"},
        {"6", "$dummy$", "$dummy$", "0", "0"}}},
      {"dummy lines",
       "102\r\np\r\n$dummy$\r\n$dummy$\r\n1\r\nTrue\r\n",
       ListFileReadResult::Loaded,
       {{"p", "$dummy$", "$dummy$", "1", "1"}}},
      {"window codes unchanged",
       "102\r\np\r\n\r\n\r\n7\r\nTrue\r\nq\r\n\r\n\r\nabc\r\nTrue\r\n",
       ListFileReadResult::Loaded,
       {{"p", "$dummy$", "$dummy$", "7", "1"}, {"q", "$dummy$", "$dummy$", "abc", "1"}}},
      {"spaces and tabs kept",
       "102\r\n a b\t\r\n\t\r\n \r\n 1\r\nTrue\r\n",
       ListFileReadResult::Loaded,
       {{" a b\t", "\t", " ", " 1", "1"}}},
      {"nul cuts the value",
       "102\r\nab\0cd\r\n\0\r\nf\r\n0\0x\r\nTrue\0\r\n"s,
       ListFileReadResult::Loaded,
       {{"ab", "$dummy$", "f", "0", "1"}}},
      {"shift-jis with 5c trail",
       "102\r\nc:\\表\\ソフト.exe\r\n表\r\nc:\\表\r\n0\r\nTrue\r\n",
       ListFileReadResult::Loaded,
       {{"c:\\表\\ソフト.exe", "表", "c:\\表", "0", "1"}}},
  };
  return cases;
}

TEST(ListFileParse, ReadingRulesTable) {
  for (const auto& c : ReadCases()) {
    EntryList list;
    std::unique_ptr<char[]> buf(new char[c.bytes.size()]);
    std::copy(c.bytes.begin(), c.bytes.end(), buf.get());
    EXPECT_EQ(ParseListBytes(std::move(buf), c.bytes.size(), list), c.result) << c.name;
    EXPECT_EQ(Snapshot(list), c.entries) << c.name;
  }
}

// A loaded list is written as the same list built entry by entry would be, whatever line ends
// and markers its file had.
TEST(ListFileParse, LoadedListsWriteLikeAppendedOnes) {
  for (const auto& c : ReadCases()) {
    if (c.result != ListFileReadResult::Loaded) continue;
    EntryList loaded;
    std::unique_ptr<char[]> buf(new char[c.bytes.size()]);
    std::copy(c.bytes.begin(), c.bytes.end(), buf.get());
    ParseListBytes(std::move(buf), c.bytes.size(), loaded);
    EntryList built;
    for (const auto& e : c.entries) built.Append(e);
    EXPECT_EQ(listfile::ToBytes(loaded), listfile::ToBytes(built)) << c.name;
  }
}

// Values are moved down over the dropped terminators and CRs in blocks: a CR or NUL at any
// offset of a long value, in any field, must still give the exact bytes.
TEST(ListFileParse, DroppedBytesAtEveryOffsetOfLongValues) {
  const std::string base = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJ";  // 46 bytes
  for (int field = 0; field < 4; ++field) {
    for (std::size_t at = 0; at <= base.size(); ++at) {
      for (const std::string& inserted : {"\r"s, "\r\r"s, "\0"s}) {
        std::string lines[5] = {base + "p", base + "a", base + "f", base + "w", "True"};
        const std::string expect = inserted == "\0"s ? lines[field].substr(0, at) : lines[field];
        lines[field].insert(at, inserted);
        std::string file = "102\r\n";
        for (int k = 0; k < 2; ++k) {
          for (const auto& l : lines) file += l + "\r\n";
        }
        EntryList list;
        std::unique_ptr<char[]> buf(new char[file.size()]);
        std::copy(file.begin(), file.end(), buf.get());
        ASSERT_EQ(ParseListBytes(std::move(buf), file.size(), list), ListFileReadResult::Loaded);
        ASSERT_EQ(list.Count(), 2u);
        for (std::size_t row = 0; row < 2; ++row) {
          for (int f = 0; f < 4; ++f) {
            const std::string want =
                f == field ? (expect.empty() && (f == 1 || f == 2) ? "$dummy$" : expect)
                           : base + "pafw"[f];
            ASSERT_EQ(list.Get(row, static_cast<Field>(f)), want)
                << "field " << field << " offset " << at << " row " << row;
          }
          ASSERT_EQ(list.Get(row, kRunCheck), "1");
        }
      }
    }
  }
}

// The same table through a real file: the reader must add nothing of its own.
TEST(ListFileRead, ReadingRulesTableFromDisk) {
  TempFolder dir;
  for (const auto& c : ReadCases()) {
    const std::string path = dir.Write("case.plw", c.bytes);
    EntryList list;
    EXPECT_EQ(ReadListFile(path, list), c.result) << c.name;
    EXPECT_EQ(Snapshot(list), c.entries) << c.name;
  }
}

TEST(ListFileRead, LongLinesAreReadWhole) {
  TempFolder dir;
  for (std::size_t n : {1000u, 70000u, 3u << 20}) {
    const std::string path(n, 'p');
    const std::string params(n / 2, 'a');
    const std::string file = "102\r\n" + path + "\r\n" + params + "\r\n\r\n0\r\nTrue\r\n";
    EntryList list;
    ASSERT_EQ(ReadListFile(dir.Write("long.plw", file), list), ListFileReadResult::Loaded);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Get(0, kPath), path) << n;
    EXPECT_EQ(list.Get(0, kParams), params) << n;
  }
}

TEST(ListFileRead, AppendsAfterRowsAlreadyInTheList) {
  TempFolder dir;
  EntryList list;
  list.Append("kept", "p", "f", "1", "1");
  ASSERT_EQ(ReadListFile(dir.Write("a.plw", "102\r\nx\r\n\r\n\r\n0\r\nTrue\r\n"), list),
            ListFileReadResult::Loaded);
  ASSERT_EQ(ReadListFile(dir.Write("b.plw", "102\r\ny\r\n\r\n\r\n2\r\nFalse\r\n"), list),
            ListFileReadResult::Loaded);
  EXPECT_EQ(Snapshot(list), (std::vector<Entry>{{"kept", "p", "f", "1", "1"},
                                                {"x", "$dummy$", "$dummy$", "0", "1"},
                                                {"y", "$dummy$", "$dummy$", "2", "0"}}));
}

TEST(ListFileRead, RejectedHeaderLeavesTheListAsItWas) {
  TempFolder dir;
  EntryList list;
  list.Append("kept", "p", "f", "1", "1");
  EXPECT_EQ(ReadListFile(dir.Write("bad.plw", "1O2\r\nx\r\n"), list),
            ListFileReadResult::HeaderNotAccepted);
  EXPECT_EQ(Snapshot(list), (std::vector<Entry>{{"kept", "p", "f", "1", "1"}}));
}

struct WriteCase {
  const char* name;
  std::vector<Entry> entries;
  std::string bytes;
};

TEST(ListFileWrite, WriterTable) {
  const WriteCase cases[] = {
      {"worked example",
       {{"a.exe", "-v", "$dummy$", "2", "0"}},
       "\x31\x30\x32\x0D\x0A\x61\x2E\x65\x78\x65\x0D\x0A\x2D\x76\x0D\x0A\x0D\x0A\x32\x0D\x0A\x46"
       "\x61\x6C\x73\x65\x0D\x0A"},
      {"empty list", {}, "102\r\n"},
      {"flags other than 0 are True",
       {{"a", "", "", "0", "1"},
        {"b", "x", "y", "1", ""},
        {"c", "x", "y", "1", "yes"},
        {"d", "x", "y", "1", "00"}},
       "102\r\na\r\n\r\n\r\n0\r\nTrue\r\nb\r\nx\r\ny\r\n1\r\nTrue\r\n"
       "c\r\nx\r\ny\r\n1\r\nTrue\r\nd\r\nx\r\ny\r\n1\r\nTrue\r\n"},
      {"markers become empty lines",
       {{"$dummy$", "$dummy$", "$dummy$", "$dummy$", "0"}},
       "102\r\n$dummy$\r\n\r\n\r\n$dummy$\r\nFalse\r\n"},
      {"codes as held", {{"p", "q", "r", "-7", "0"}}, "102\r\np\r\nq\r\nr\r\n-7\r\nFalse\r\n"},
      {"seven-byte values that are not the marker",
       {{"1234567", "-abcdef", "$dummy ", "0", "1"}},
       "102\r\n1234567\r\n-abcdef\r\n$dummy \r\n0\r\nTrue\r\n"},
  };
  TempFolder dir;
  for (const auto& c : cases) {
    EntryList list;
    for (const auto& e : c.entries) list.Append(e);
    EXPECT_EQ(listfile::ToBytes(list), c.bytes) << c.name;
    const std::string path = dir.Path("w.plw");
    WriteListFile(path, list);
    EXPECT_EQ(dir.Read("w.plw"), c.bytes) << c.name;
  }
}

TEST(ListFileWrite, EmptyListDoesNotComeBackEmpty) {
  TempFolder dir;
  const std::string path = dir.Path("empty.plw");
  WriteListFile(path, EntryList());
  EntryList back;
  ASSERT_EQ(ReadListFile(path, back), ListFileReadResult::Loaded);
  EXPECT_EQ(Snapshot(back), std::vector<Entry>{kBlank});
}

TEST(ListFileWrite, OverwritingALongerFileLeavesNoTrace) {
  TempFolder dir;
  const std::string path = dir.Write("old.plw", std::string(100000, 'z'));
  EntryList list;
  list.Append("a", "b", "c", "0", "1");
  WriteListFile(path, list);
  EXPECT_EQ(dir.Read("old.plw"), "102\r\na\r\nb\r\nc\r\n0\r\nTrue\r\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"old.plw"});
}

TEST(ListFileWrite, LineLongerThanTheOutputBuffer) {
  TempFolder dir;
  EntryList list;
  const std::string path(3 << 20, 'x');
  list.Append("short", "", "", "0", "0");
  list.Append(path, "p", "f", "1", "1");
  const std::string file = dir.Path("big.plw");
  WriteListFile(file, list);
  EntryList back;
  ASSERT_EQ(ReadListFile(file, back), ListFileReadResult::Loaded);
  EXPECT_EQ(Snapshot(back), (std::vector<Entry>{{"short", "$dummy$", "$dummy$", "0", "0"},
                                                {path, "p", "f", "1", "1"}}));
}

// Lists the writer can store faithfully read back equal to themselves, over many shapes.
TEST(ListFileRoundTrip, WrittenListsReadBackEqual) {
  TempFolder dir;
  std::mt19937 rng(7);
  const std::string alphabet = "abcXYZ019 .:\\-_$\x95\x5C\x83\x5C\x81\x40\x1B\t";
  auto text = [&](std::size_t max) {
    std::string s;
    const std::size_t n = rng() % (max + 1);
    for (std::size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 30; ++round) {
    EntryList list;
    const std::size_t count = 1 + rng() % (round < 25 ? 20 : 3000);
    for (std::size_t i = 0; i < count; ++i) {
      std::string params = text(30), folder = text(60);
      if (params.empty() || rng() % 4 == 0) params = "$dummy$";
      if (folder.empty() || rng() % 4 == 0) folder = "$dummy$";
      list.Append(text(120), params, folder, text(3), rng() % 2 ? "1" : "0");
    }
    const std::string path = dir.Path("rt.plw");
    WriteListFile(path, list);
    EntryList back;
    ASSERT_EQ(ReadListFile(path, back), ListFileReadResult::Loaded);
    ASSERT_EQ(Snapshot(back), Snapshot(list)) << "round " << round;
  }
}

TEST(ListFileExists, OnlyFilesCount) {
  TempFolder dir;
  const std::string file = dir.Write("f.plw", "102\r\n");
  std::filesystem::create_directory(dir.Path("sub"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(dir.Path("sub")));
  EXPECT_FALSE(FileExists(dir.Path("missing.plw")));
  EXPECT_FALSE(FileExists(dir.Path("nofolder/x.plw")));
}

struct MessageCase {
  std::int32_t code;
  std::string message;
};

TEST(InOutErrorMessages, ChosenByCode) {
  const MessageCase cases[] = {
      {2, "ファイルが見つかりません"},
      {3, "不正なファイル名です"},
      {4, "オープンしたファイルが多すぎます"},
      {5, "ファイルへのアクセスが拒否されました"},
      {100, "ファイルの末尾以降を読み込みました"},
      {101, "ディスクがいっぱいです"},
      {106, "入力値が数値ではありません"},
      {32, "I/O エラー (32)"},
      {112, "I/O エラー (112)"},
      {0, "I/O エラー (0)"},
      {-2147483647 - 1, "I/O エラー (-2147483648)"},
      {2147483647, "I/O エラー (2147483647)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InOutErrorMessage(c.code), c.message) << c.code;
    const EInOutError e(c.code);
    EXPECT_EQ(e.Code(), c.code);
    EXPECT_EQ(std::string(e.what()), c.message) << c.code;
  }
}

TEST(ConvertErrorMessages, UserTextIsNeverAFormat) {
  const std::pair<std::string, std::string> cases[] = {
      {"abc", "'abc' は整数ではありません"},
      {"", "'' は整数ではありません"},
      {"%s%d%n%%", "'%s%d%n%%' は整数ではありません"},
      {"表", "'表' は整数ではありません"},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_EQ(std::string(EConvertError(text).what()), message);
  }
}

}  // namespace
}  // namespace pallomar
