// The notes of the one list-file parse: what the reader smoothed over, each where it happened,
// on the fast in-place path and the slow path that moves bytes alike.
#include "entrylist/list_parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "list_reference.h"
#include "memory_file_system.h"

namespace pallomar {
namespace {

using namespace std::string_literals;
using K = ListNoteKind;

struct Parsed {
  ListFileReadResult result;
  std::vector<Entry> entries;
  ListNotes notes;
};

Parsed Parse(const std::string& bytes) {
  std::unique_ptr<char[]> buf(new char[bytes.size()]);
  if (!bytes.empty()) std::memcpy(buf.get(), bytes.data(), bytes.size());
  EntryList list;
  Parsed p;
  ParseOptions options;
  options.notes = &p.notes;
  p.result = ParseListBytes(std::move(buf), bytes.size(), list, options);
  for (std::size_t i = 0; i < list.Count(); ++i) p.entries.push_back(list.EntryAt(i));
  return p;
}

ListNote Note(K kind, std::size_t entry = kWholeFile, std::size_t count = 0,
              std::string text = "") {
  return {kind, entry, count, std::move(text), false};
}

struct NoteCase {
  const char* name;
  std::string bytes;
  std::vector<ListNote> notes;
};

const std::string kRecord = "a.exe\r\n-v\r\nc:\\\r\n0\r\nTrue\r\n";

class Notes : public ::testing::TestWithParam<NoteCase> {};

TEST_P(Notes, SayWhatTheReaderSmoothedOverAndWhere) {
  const Parsed p = Parse(GetParam().bytes);
  EXPECT_EQ(p.notes.items, GetParam().notes);
  // The plain reference reader agrees on everything.
  const reference::Reading r = reference::Read(GetParam().bytes);
  EXPECT_EQ(p.result, r.result);
  EXPECT_EQ(p.entries, r.entries);
  EXPECT_EQ(p.notes, r.notes);
}

// The same file read one record at a time, the file handing over a few bytes per read (so that
// records, line ends and CR LF pairs are cut between reads), gives the same entries and notes.
TEST_P(Notes, ReadRecordByRecordAgreeWithTheWholeFileParse) {
  const Parsed whole = Parse(GetParam().bytes);
  for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
    testing::MemoryFileSystem fs;
    fs.readPiece = piece;
    fs.Put("list.plw", GetParam().bytes);
    FileHandle h{};
    ASSERT_EQ(fs.OpenRead("list.plw", h), 0);
    ListNotes notes;
    ListRecordStream stream(fs, h, &notes);
    Parsed streamed;
    streamed.result = stream.Start();
    streamed.notes.firstLine = notes.firstLine;
    const auto take = [&] {
      for (ListNote& n : notes.items) streamed.notes.items.push_back(n);
    };
    take();
    if (streamed.result == ListFileReadResult::Loaded) {
      while (stream.Next()) {
        take();
        EXPECT_EQ(stream.Entry(), streamed.entries.size());
        streamed.entries.push_back(stream.Record().EntryAt(0));
      }
      take();
    }
    streamed.notes.size = notes.size;
    fs.Close(h);
    EXPECT_EQ(streamed.result, whole.result) << piece;
    EXPECT_EQ(streamed.entries, whole.entries) << piece;
    EXPECT_EQ(streamed.notes, whole.notes) << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Notes,
    ::testing::Values(
        NoteCase{"CleanFileHasNone", "102\r\n" + kRecord + kRecord, {}},
        NoteCase{"OlderVersion", "100\r\n" + kRecord, {Note(K::OlderVersion)}},
        NoteCase{"NothingAfterVersion", "101", {Note(K::OlderVersion), Note(K::NoRecords)}},
        NoteCase{"LfOnlyOnceAtTheFirst",
                 "102\r\na\nb\nc\n0\nTrue\na\nb\nc\n0\nTrue\n",
                 {Note(K::LfOnly, 0)}},
        NoteCase{
            "LoneCrInsideAPath", "102\r\na\r.exe\r\n-v\r\n\r\n0\r\nTrue\r\n", {Note(K::LoneCr, 0)}},
        NoteCase{"CrAsTheLastByte", "102\r\na\r\n\r\n\r\n0\r\nTrue\r", {Note(K::LoneCr, 0)}},
        NoteCase{"NulCutsALine", "102\r\nab\0cd\r\n\r\n\r\n0\r\nTrue\r\n"s, {Note(K::NulCut, 0)}},
        NoteCase{"MarkerLinesInPlace",
                 "102\r\na\r\n$dummy$\r\n$dummy$\r\n0\r\nTrue\r\n",
                 {Note(K::DummyParams, 0), Note(K::DummyFolder, 0)}},
        // The slow path writes the next line over a marker line's bytes.
        NoteCase{"MarkerLinesWhenBytesMove",
                 "102\r\na\r\n$dummy$\r\n$dummy$\r\n0\r\nTr\rue\r\n",
                 {Note(K::LoneCr, 0), Note(K::DummyParams, 0), Note(K::DummyFolder, 0)}},
        NoteCase{"RunCheckNeitherTrueNorFalse",
                 "102\r\n" + kRecord + "b\r\n\r\n\r\n0\r\ntrue\r\n",
                 {Note(K::RunCheckText, 1, 0, "true")}},
        NoteCase{
            "RecordCutShort", "102\r\n" + kRecord + "b.exe\r\n-v\r\n", {Note(K::CutRecord, 1, 2)}},
        NoteCase{"BlankLinesAtTheEnd", "102\r\n" + kRecord + "\r\n\r\n", {Note(K::BlankTail, 1)}},
        NoteCase{"BytesAfterCtrlZ",
                 "102\r\n" + kRecord + "\x1Ajunk",
                 {Note(K::CtrlZTail, kWholeFile, 5)}},
        // The end test comes only after a record: the first path may begin with Ctrl-Z.
        NoteCase{"CtrlZStartsTheFirstPath", "102\r\n\x1A" + kRecord, {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Notes, QuoteAtMostAFewHundredBytesOfAHugeLine) {
  const std::string huge(100000, 'x');
  const Parsed bad = Parse(huge + "\r\n");
  EXPECT_EQ(bad.result, ListFileReadResult::HeaderNotAccepted);
  EXPECT_EQ(bad.notes.firstLine, huge.substr(0, kNoteTextBytes));
  EXPECT_TRUE(bad.notes.firstLineCut);
  const Parsed run = Parse("102\r\na\r\n\r\n\r\n0\r\n" + huge + "\r\n");
  ASSERT_EQ(run.notes.items.size(), 1u);
  EXPECT_EQ(run.notes.items[0].text, huge.substr(0, kNoteTextBytes));
  EXPECT_TRUE(run.notes.items[0].textCut);
}

TEST(Notes, AskingForThemChangesNoEntry) {
  const std::string bytes = "100\na\r\n$dummy$\r\n\r\nx\r\ntrue\r\nb\r\r\n\r\n\r\n1\r\nTrue";
  EntryList plain;
  std::unique_ptr<char[]> buf(new char[bytes.size()]);
  std::memcpy(buf.get(), bytes.data(), bytes.size());
  ASSERT_EQ(ParseListBytes(std::move(buf), bytes.size(), plain), ListFileReadResult::Loaded);
  const Parsed noted = Parse(bytes);
  ASSERT_EQ(noted.entries.size(), plain.Count());
  for (std::size_t i = 0; i < plain.Count(); ++i) EXPECT_EQ(noted.entries[i], plain.EntryAt(i));
}

// A record read before comes back by its offset, from any point of the stream.
TEST(RecordStream, GoesBackToARecordReadBefore) {
  testing::MemoryFileSystem fs;
  fs.Put("list.plw", "102\r\n" + kRecord + "b.txt\r\n\r\n\r\n1\r\nFalse\r\n" + kRecord);
  FileHandle h{};
  ASSERT_EQ(fs.OpenRead("list.plw", h), 0);
  ListRecordStream stream(fs, h);
  ASSERT_EQ(stream.Start(), ListFileReadResult::Loaded);
  std::vector<std::pair<std::uint64_t, Entry>> seen;
  while (stream.Next()) seen.emplace_back(stream.RecordOffset(), stream.Record().EntryAt(0));
  ASSERT_EQ(seen.size(), 3u);
  for (std::size_t i : {1u, 0u, 2u}) {
    stream.SeekRecord(seen[i].first, i);
    ASSERT_TRUE(stream.Next());
    EXPECT_EQ(stream.Entry(), i);
    EXPECT_EQ(stream.Record().EntryAt(0), seen[i].second);
  }
  fs.Close(h);
}

TEST(VersionLine, OnlyTheThreeExactLinesAreAccepted) {
  for (const char* line : {"100", "101", "102"}) EXPECT_TRUE(IsAcceptedVersion(line)) << line;
  for (const char* line : {"", "103", " 102", "102 ", "0102",
                           "\xEF\xBB\xBF"
                           "102",
                           "10"}) {
    EXPECT_FALSE(IsAcceptedVersion(line)) << line;
  }
}

}  // namespace
}  // namespace pallomar
