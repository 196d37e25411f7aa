#include "entrylist/entry_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace pallomar {
namespace {

std::vector<Entry> Snapshot(const EntryList& list) {
  std::vector<Entry> out;
  for (std::size_t i = 0; i < list.Count(); ++i) out.push_back(list.EntryAt(i));
  return out;
}

struct AppendCase {
  const char* name;
  Entry in;
  Entry stored;
};

TEST(EntryListAppend, StoresEachFieldByteForByteAndCutsAtNul) {
  using namespace std::string_literals;
  const std::string big(200000, 'x');  // larger than a shared block
  const AppendCase cases[] = {
      {"plain", {"c:\\a.exe", "-v", "c:\\", "1", "0"}, {"c:\\a.exe", "-v", "c:\\", "1", "0"}},
      {"markers and codes",
       {"p", "$dummy$", "$dummy$", "0", "1"},
       {"p", "$dummy$", "$dummy$", "0", "1"}},
      {"all empty", {"", "", "", "", ""}, {"", "", "", "", ""}},
      {"near-markers stay",
       {"$dummy$", "$dummy", "$DUMMY$", "00", "10"},
       {"$dummy$", "$dummy", "$DUMMY$", "00", "10"}},
      {"nul cuts", {"a\0b"s, "\0x"s, "c:\\\0"s, "1\0"s, "0\0\0"s}, {"a", "", "c:\\", "1", "0"}},
      {"shift-jis trail 5c",
       {"c:\\表\\ソ.exe", "表", "c:\\表", "-1", "7"},
       {"c:\\表\\ソ.exe", "表", "c:\\表", "-1", "7"}},
      {"long text", {big, "p", big + "y", "2", "1"}, {big, "p", big + "y", "2", "1"}},
  };
  for (const auto& c : cases) {
    EntryList list;
    list.Append("before", "b", "b", "0", "0");
    list.Append(c.in);
    list.Append("after", "a", "a", "1", "1");
    ASSERT_EQ(list.Count(), 3u) << c.name;
    EXPECT_EQ(list.EntryAt(1), c.stored) << c.name;
    for (int f = 0; f < kFieldCount; ++f) {
      EXPECT_EQ(list.Get(1, static_cast<Field>(f)), c.stored[f]) << c.name << " field " << f;
    }
    // The neighbours are not disturbed by the row between them.
    EXPECT_EQ(list.EntryAt(0), (Entry{"before", "b", "b", "0", "0"})) << c.name;
    EXPECT_EQ(list.EntryAt(2), (Entry{"after", "a", "a", "1", "1"})) << c.name;
  }
}

// Random edits against a plain vector of entries: any slip between the columns, a wrong
// rotation or a text overwritten by a later append shows as a difference.
TEST(EntryListEdits, RemoveAndMoveKeepRowsWholeAgainstReference) {
  std::mt19937 rng(12345);
  EntryList list;
  std::vector<Entry> ref;
  auto text = [&](const char* tag, std::size_t n) {
    std::string s = tag + std::to_string(n);
    s.append(rng() % 40, static_cast<char>('a' + rng() % 26));
    return s;
  };
  const char* codes[] = {"0", "1", "2", "-1", "abc"};
  for (std::size_t step = 0; step < 4000; ++step) {
    const auto op = rng() % 10;
    if (op < 5 || ref.empty()) {
      Entry e{text("p", step), rng() % 3 == 0 ? "$dummy$" : text("a", step),
              rng() % 3 == 0 ? "$dummy$" : text("f", step), codes[rng() % 5],
              rng() % 2 ? "1" : "0"};
      list.Append(e);
      ref.push_back(e);
    } else if (op < 7) {
      const std::size_t i = rng() % ref.size();
      list.Remove(i);
      ref.erase(ref.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      const std::size_t from = rng() % ref.size();
      const std::size_t to = rng() % ref.size();
      list.Move(from, to);
      Entry e = ref[from];
      ref.erase(ref.begin() + static_cast<std::ptrdiff_t>(from));
      ref.insert(ref.begin() + static_cast<std::ptrdiff_t>(to), e);
    }
    if (step % 97 == 0) {
      ASSERT_EQ(Snapshot(list), ref) << "after step " << step;
    }
  }
  EXPECT_EQ(Snapshot(list), ref);
}

TEST(EntryListEdits, MoveToNeighbourSwapsTheTwoRows) {
  EntryList list;
  for (const char* p : {"a", "b", "c"}) list.Append(p, p, p, "0", "1");
  list.Move(0, 1);  // down
  EXPECT_EQ(list.Get(0, kPath), "b");
  EXPECT_EQ(list.Get(1, kFolder), "a");
  list.Move(2, 1);  // up
  EXPECT_EQ(list.Get(1, kParams), "c");
  EXPECT_EQ(list.Get(2, kPath), "a");
  list.Move(1, 1);
  EXPECT_EQ(list.Get(1, kPath), "c");
}

TEST(EntryListEdits, ViewsOfEarlierRowsSurviveLaterAppendsAndRemovals) {
  EntryList list;
  list.Append("first-path", "first-params", "first-folder", "2", "0");
  const std::string_view path = list.Get(0, kPath);
  const std::string_view folder = list.Get(0, kFolder);
  for (int i = 0; i < 6000; ++i) {
    list.Append(std::string(50 + i % 70, 'q'), "x", "y", "1", "1");
    if (i % 3 == 0) list.Remove(1);
  }
  EXPECT_EQ(path, "first-path");
  EXPECT_EQ(folder, "first-folder");
}

TEST(EntryListEdits, OutOfRangeRowsAreRefusedAndChangeNothing) {
  EntryList list;
  EXPECT_THROW(list.Get(0, kPath), std::out_of_range);
  list.Append("a", "b", "c", "0", "1");
  EXPECT_THROW(list.Get(1, kPath), std::out_of_range);
  EXPECT_THROW(list.Remove(1), std::out_of_range);
  EXPECT_THROW(list.Move(0, 1), std::out_of_range);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.EntryAt(0), (Entry{"a", "b", "c", "0", "1"}));
}

TEST(EntryListLifetime, ClearAndMoveLeaveUsableEmptyLists) {
  EntryList list;
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(list.BytesHeld(), 0u);
  list.Append("path", "p", "f", "0", "1");
  EXPECT_GT(list.BytesHeld(), 0u);

  EntryList taken(std::move(list));
  EXPECT_EQ(taken.Count(), 1u);
  EXPECT_TRUE(list.Empty());  // NOLINT(bugprone-use-after-move): moved-from is reusable
  list.Append("again", "p", "f", "1", "0");
  EXPECT_EQ(list.Get(0, kPath), "again");

  list = std::move(taken);
  EXPECT_EQ(list.Get(0, kPath), "path");

  list.Clear();
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(list.BytesHeld(), 0u);
  list.Append("after clear", "", "", "", "");
  EXPECT_EQ(list.EntryAt(0), (Entry{"after clear", "", "", "", ""}));
}

TEST(EntryListLifetime, BytesHeldCountsTextsOnceNotPerRowCopy) {
  EntryList list;
  const std::string path(100, 'p');
  for (int i = 0; i < 10000; ++i) list.Append(path, "$dummy$", "$dummy$", "0", "1");
  // 100 path bytes plus the row itself; constant values take no text bytes.
  EXPECT_LT(list.BytesHeld(), 10000u * (100 + 64));
  EXPECT_GE(list.BytesHeld(), 10000u * 100);
}

TEST(EntryFields, IndexByFieldNumber) {
  Entry e{"a", "b", "c", "d", "e"};
  EXPECT_EQ(e[kPath], "a");
  EXPECT_EQ(e[kRunCheck], "e");
  e[kFolder] = "z";
  EXPECT_EQ(e.folder, "z");
  EXPECT_THROW(e[5], std::out_of_range);
}

}  // namespace
}  // namespace pallomar
