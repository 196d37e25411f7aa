// Imports that never change a character, echoes that stay short, and the faults of the command
// line that show only at its edges. Files live in the memory file system unless the real
// program's own streams are the point.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "host.h"
#include "memory_file_system.h"
#include "tool_test_util.h"

namespace plwtool::testing {
namespace {

using pallomar::testing::MemoryFileSystem;

std::string OneEntryJson(const std::string& pathJson) {
  return R"({"format":"pallomar-list","entries":[{"path":")" + pathJson +
         R"(","windowState":"0","runCheck":false}]})";
}

struct CharCase {
  const char* name;
  std::string utf8;   // the character in the JSON path
  std::string bytes;  // what the list file holds for it; empty: refused
  std::string says;   // for a refused one, part of the message
};

class ImportCharacters : public ::testing::TestWithParam<CharCase> {};

// The same table on every host (natively through iconv, under Wine through the system's
// conversion): a character is written only as bytes that read back as it, or as the one
// Shift-JIS character of a documented variant pair.
TEST_P(ImportCharacters, NeverWritesBytesThatReadBackAsAnotherCharacter) {
  const CharCase& c = GetParam();
  MemoryFileSystem fs;
  const auto r =
      RunTool({"import", "-", "out.plw"}, FakeHost(), OneEntryJson("c:\\\\a" + c.utf8), fs);
  if (c.bytes.empty()) {
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("entries[0].path: the character " + c.says), std::string::npos) << r.err;
    EXPECT_FALSE(fs.Get("out.plw").has_value());
  } else {
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(fs.Get("out.plw").value_or(""),
              "102\r\nc:\\a" + c.bytes + "\r\n\r\n\r\n0\r\nFalse\r\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImportCharacters,
    ::testing::Values(CharCase{"YenSign", "\xC2\xA5", "",
                               "U+00A5 \"\xC2\xA5\" has no exact Shift-JIS form; a path "
                               "separator is \"\\\" (U+005C)"},
                      CharCase{"Overline", "\xE2\x80\xBE", "",
                               "U+203E \"\xE2\x80\xBE\" has no exact Shift-JIS "
                               "form; a tilde is \"~\" (U+007E)"},
                      CharCase{"NoShiftJisAtAll", "\xC3\xA9", "",
                               "U+00E9 \"\xC3\xA9\" has no exact Shift-JIS form"},
                      CharCase{"Backslash", "\\\\", "\\", ""},
                      CharCase{"Hiragana", "\xE3\x81\x82", "\x82\xA0", ""},
                      CharCase{"HalfWidthKatakana", "\xEF\xBD\xB1", "\xB1", ""},
                      CharCase{"WaveDash", "\xE3\x80\x9C", "\x81\x60", ""},
                      CharCase{"FullWidthTilde", "\xEF\xBD\x9E", "\x81\x60", ""},
                      CharCase{"DoubleVerticalLine", "\xE2\x80\x96", "\x81\x61", ""},
                      CharCase{"MinusSign", "\xE2\x88\x92", "\x81\x7C", ""},
                      CharCase{"EmDash", "\xE2\x80\x94", "\x81\x5C", ""},
                      CharCase{"CentSign", "\xC2\xA2", "\x81\x91", ""},
                      CharCase{"PoundSign", "\xC2\xA3", "\x81\x92", ""},
                      CharCase{"NotSign", "\xC2\xAC", "\x81\xCA", ""}),
    [](const auto& tc) { return std::string(tc.param.name); });

// Texts are converted a character at a time, each character's answer remembered: every text
// must still get the answer the host gives for it whole, asked first or again.
TEST(Conversion, CharacterByCharacterAgreesWithTheHostOnTheWholeText) {
  const std::string texts[] = {
      "",
      "c:\\tools\\a.exe",
      "\x82\xA0\x95\x5C\xB1",  // hiragana, a 0x5C second byte, half-width katakana
      "\x82\xA2\x81\x40",      // characters sharing lead bytes with others here
      "\x87\x40\xFA\x5C",      // NEC row 13, IBM extension
      "\xED\x40",              // NEC's copy of an IBM character: reads back as another
      "\xEE\xF9",              // a second not sign
      "a\x82\xA0\xED\x40"
      "b",         // one such character in a text that converts
      "a\x81",     // a lead byte at the end
      "\x81\x20",  // a lead byte before a byte that ends no character
      "\x80\xA0\xFD\xFE\xFF\x7F",
  };
  for (int round = 0; round < 2; ++round) {
    for (const std::string& t : texts) {
      EXPECT_EQ(SjisToUtf8(t), HostSjisToUtf8(t))
          << ::testing::PrintToString(t) << " round " << round;
    }
  }
}

// A huge member name was echoed whole, twice, in one error line.
TEST(Echoes, AHugeMemberNameIsCutInTheMessage) {
  MemoryFileSystem fs;
  const std::string name(1000000, 'm');
  const auto r = RunTool({"import", "-", "out.plw"}, FakeHost(),
                         R"({"format":"pallomar-list","entries":[{")" + name + R"(":1}]})", fs);
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("unknown member \"mmm"), std::string::npos) << r.err.substr(0, 300);
  EXPECT_LT(r.err.size(), 1000u);
}

struct OptionCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string says;
};

class Options : public ::testing::TestWithParam<OptionCase> {};

// An unknown option used to be opened as a file; "--" still lets a file's name start with "-".
TEST_P(Options, UnknownOnesAreRefusedBeforeAnyFileOpens) {
  MemoryFileSystem fs;
  fs.Put("--bogus", "102\r\na.exe\r\n\r\n\r\n0\r\nTrue\r\n");
  fs.Put("-l.plw", "102\r\na.exe\r\n\r\n\r\n0\r\nTrue\r\n");
  const int opensBefore = fs.Calls(pallomar::testing::FsCall::OpenRead);
  const auto r = RunTool(GetParam().args, FakeHost(), "", fs);
  EXPECT_EQ(r.status, GetParam().status) << r.err;
  EXPECT_NE((r.err + r.out).find(GetParam().says), std::string::npos) << r.err << r.out;
  if (GetParam().status == kExitUsage) {
    EXPECT_EQ(fs.Calls(pallomar::testing::FsCall::OpenRead), opensBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Options,
    ::testing::Values(
        OptionCase{"Show", {"show", "--bogus"}, kExitUsage, "show: unknown option \"--bogus\""},
        OptionCase{"Check", {"check", "-x", "-l.plw"}, kExitUsage, "check: unknown option \"-x\""},
        OptionCase{"Import", {"import", "--force", "-", "o.plw"}, kExitUsage, "unknown option"},
        OptionCase{"ExportAfterFile", {"export", "-l.plw", "--bad"}, kExitUsage, "unknown option"},
        OptionCase{"RunDryRun", {"run", "--dry", "-l.plw"}, kExitUsage, "unknown option"},
        OptionCase{"DashesEndOptions", {"show", "--", "--bogus"}, kExitOk, "a.exe"},
        OptionCase{
            "DashesForExport", {"export", "--format", "csv", "--", "-l.plw"}, kExitOk, "1,a.exe"}),
    [](const auto& tc) { return std::string(tc.param.name); });

// The list's own bytes decide: every command reads record by record, and the whole-file
// findings come where the reader meets them.
TEST(Streaming, CheckReportsDuplicatesAcrossAHugeEntryAndConfirmsThem) {
  MemoryFileSystem fs;
  fs.readPiece = 7;  // records cut between reads
  const std::string big(300000, 'x');
  fs.Put("l.plw",
         "102\r\n"
         "C:\\A.EXE\r\n-v\r\n\r\n0\r\nTrue\r\n" +
             big + ".exe\r\n\r\n\r\n0\r\nTrue\r\n" + "c:\\a.exe\r\n-v\r\n\r\n0\r\nTrue\r\n" + big +
             ".EXE\r\n\r\n\r\n0\r\nTrue\r\n" + "c:\\a.exe\r\n-w\r\n\r\n0\r\nTrue\r\n");
  const auto r = RunTool({"check", "l.plw"}, FakeHost(), "", fs);
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.out.find("entry 3: file to run: same file to run and parameters as entry 1\n"),
            std::string::npos)
      << r.out.substr(0, 2000);
  EXPECT_NE(r.out.find("entry 4: file to run: same file to run and parameters as entry 2\n"),
            std::string::npos);
  EXPECT_EQ(r.out.find("entry 5: file to run: same"), std::string::npos);
  // No echo of the huge path is longer than its bound.
  EXPECT_LT(r.out.size(), 4000u);
}

TEST(Streaming, AHugeFieldExportsWholeInEveryForm) {
  MemoryFileSystem fs;
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "\x95\x5C";  // 表, 0x5C second byte
  fs.Put("l.plw", "102\r\n" + big + "\r\n\r\n\r\n0\r\nTrue\r\n");
  std::string hyo;
  for (int i = 0; i < 100000; ++i) hyo += "表";
  const auto json = RunTool({"export", "l.plw"}, FakeHost(), "", fs);
  EXPECT_NE(json.out.find("\"path\": \"" + hyo + "\","), std::string::npos);
  const auto csv = RunTool({"export", "l.plw", "--format=csv"}, FakeHost(), "", fs);
  EXPECT_NE(csv.out.find("\r\n1," + hyo + ",,,0,true\r\n"), std::string::npos);
  const auto show = RunTool({"show", "l.plw"}, FakeHost(), "", fs);
  EXPECT_NE(show.out.find("   1  " + hyo + "  "), std::string::npos);
  // And back: the export imports to the same bytes.
  const auto back = RunTool({"import", "-", "back.plw"}, FakeHost(), json.out, fs);
  EXPECT_EQ(back.status, kExitOk) << back.err;
  EXPECT_EQ(fs.Get("back.plw"), fs.Get("l.plw"));
}

#if !defined(_WIN32) && defined(PLWTOOL_PROGRAM)
// The real program with its standard streams as a shell gives them.
// Its standard error goes to a folder of the test's own: tests run side by side.
int Shell(const std::string& redirections, std::string& err) {
  const TempFolder dir;
  const std::string errFile = dir.Path("err");
  const std::string command =
      std::string("'") + PLWTOOL_PROGRAM + "' " + redirections + " 2>'" + errFile + "'";
  const int status = std::system(command.c_str());
  err = FileBytes(errFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RealStreams, HelpThatCannotBeWrittenIsAFailure) {
  std::string err;
  EXPECT_EQ(Shell("--help >/dev/full", err), kExitFailed);
  EXPECT_NE(err.find("could not be written"), std::string::npos) << err;
  EXPECT_EQ(Shell("--help >/dev/null", err), kExitOk);
}

TEST(RealStreams, UnreadableStandardInputSaysSoNotThatTheTextEnded) {
  const TempFolder dir;
  const std::string out = dir.Path("out.plw");
  for (const char* input : {"<&-", "<."}) {
    std::string err;
    EXPECT_EQ(Shell(std::string("import - '") + out + "' " + input, err), kExitFailed) << input;
    EXPECT_NE(err.find("(standard input): could not be read"), std::string::npos) << err;
    EXPECT_EQ(err.find("end of the text"), std::string::npos) << err;
  }
}

// A JSON list of `n` entries whose texts are `width` bytes long, so that two such lists with
// other widths cannot line up if one is read half over the other.
std::string JsonList(int n, int width) {
  std::string json = "{\"format\": \"pallomar-list\", \"version\": \"102\", \"entries\": [";
  for (int i = 0; i < n; ++i) {
    std::string path = "c:\\\\w" + std::to_string(width) + "\\\\" + std::to_string(i);
    path.resize(static_cast<std::size_t>(width), 'x');
    json += std::string(i == 0 ? "" : ",") + "{\"path\": \"" + path + ".exe\", \"params\": \"-" +
            std::to_string(i) + "\", \"folder\": null, \"windowState\": \"" +
            std::to_string(i % 3) + "\", \"runCheck\": true}";
  }
  return json + "]}";
}

// Saves rewrite a hard-linked list in place, 200 times, while the other name is read over and
// over by a second process: each reading that reports success must be one whole list.
TEST(ReadersDuringSaves, NeverReportSuccessOnAMixedList) {
  const TempFolder dir;
  const std::string tool = std::string("'") + PLWTOOL_PROGRAM + "'";
  std::string lists[2];
  std::string json[2];
  for (int k = 0; k < 2; ++k) {
    json[k] = dir.Path("l" + std::to_string(k) + ".json");
    { std::ofstream(json[k], std::ios::binary) << JsonList(4000 - 1500 * k, 40 + 23 * k); }
    const std::string one = dir.Path("one" + std::to_string(k) + ".plw");
    ASSERT_EQ(std::system((tool + " import '" + json[k] + "' '" + one + "'").c_str()), 0);
    lists[k] = FileBytes(one);
  }
  const std::string a = dir.Path("a.plw"), b = dir.Path("b.plw");
  { std::ofstream(a, std::ios::binary) << lists[0]; }
  ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
  std::string whole[2][2];  // [command][list]: what export and show give for each whole list
  const char* commands[] = {"export", "show"};
  for (int c = 0; c < 2; ++c) {
    for (int k = 0; k < 2; ++k) {
      const std::string out = dir.Path("expected");
      const std::string one = dir.Path("one" + std::to_string(k) + ".plw");
      ASSERT_EQ(std::system((tool + " " + commands[c] + " '" + one + "' >'" + out + "'").c_str()),
                0);
      whole[c][k] = FileBytes(out);
    }
  }

  const std::string done = dir.Path("done");
  const std::string writer = "i=0; while [ $i -lt 100 ]; do " + tool + " import '" + json[1] +
                             "' '" + b + "' && " + tool + " import '" + json[0] + "' '" + b +
                             "' || exit 1; i=$((i+1)); done; echo saved >'" + done + "'";
  const std::string script = dir.Path("writer.sh");
  { std::ofstream(script) << writer << "\n"; }
  const std::string pidFile = dir.Path("writer.pid");
  ASSERT_EQ(
      std::system(
          ("sh '" + script + "' </dev/null >/dev/null 2>&1 & echo $! >'" + pidFile + "'").c_str()),
      0);
  // The writer stops with the test, however the test ends.
  struct Stop {
    pid_t pid;
    ~Stop() { ::kill(pid, SIGTERM); }
  } stop{static_cast<pid_t>(std::stol(FileBytes(pidFile)))};
  int reads = 0, successes = 0;
  const std::string out = dir.Path("out");
  for (; !FileExists(done) && reads < 100000; ++reads) {
    const int c = reads % 2;
    // A reader misled into endless output is cut off at 10 MB, a hung one after a minute.
    const int status = std::system(("ulimit -f 20000; timeout 60 " + tool + " " + commands[c] +
                                    " '" + a + "' >'" + out + "' 2>/dev/null")
                                       .c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code != kExitOk) continue;
    ++successes;
    const std::string got = FileBytes(out);
    ASSERT_TRUE(got == whole[c][0] || got == whole[c][1])
        << commands[c] << " reported success on a list that is neither whole list (reading "
        << reads << ", " << got.size() << " bytes)";
  }
  EXPECT_EQ(FileBytes(done), "saved\n") << "the saves did not all succeed";
  EXPECT_EQ(FileBytes(a), lists[0]);
  EXPECT_GT(successes, 0) << reads << " readings";
  std::cout << successes << " of " << reads << " readings succeeded during the saves\n";
  EXPECT_FALSE(FileExists(a + ".before-save"));
}
#endif

}  // namespace
}  // namespace plwtool::testing
