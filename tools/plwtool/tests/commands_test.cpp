// The commands as a user runs them: what they print, what they write, and their status.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "memory_file_system.h"
#include "tool_test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace plwtool::testing {
namespace {

// Shift-JIS pieces: 表 and ソ end in 0x5C; ｱｲ are half-width katakana.
const std::string kHyo = "\x95\x5C";
const std::string kSo = "\x83\x5C";
const std::string kHalfAI = "\xB1\xB2";

std::string Record(const std::string& path, const std::string& params, const std::string& folder,
                   const std::string& state, const std::string& run) {
  return path + "\r\n" + params + "\r\n" + folder + "\r\n" + state + "\r\n" + run + "\r\n";
}

std::string TwoEntryList() {
  return "102\r\n" + Record("c:\\" + kHyo + "\\a.exe", "-v", "", "1", "True") +
         Record("c:\\" + kHalfAI + ".txt", "", "c:\\docs", "7", "False");
}

TEST(Show, PrintsTheTableInTheTerminalsEncodingWithWordsAndAlignedColumns) {
  MemoryFolder dir;
  const auto file = dir.Write("two.plw", TwoEntryList());
  const auto r = dir.Run({"show", file});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");
  // Full-width characters take two columns, half-width katakana one.
  EXPECT_EQ(
      r.out,
      "番号  実行するファイル  実行パラメータ  作業フォルダ  ウィンドウサイズ  実行中チェック\n"
      "   1  c:\\表\\a.exe       -v                            最大化            する\n"
      "   2  c:\\ｱｲ.txt                         c:\\docs       7                 しない\n");
}

struct CellCase {
  const char* name;
  std::string record;
  std::string shown;     // must appear on the entry's line
  std::string notShown;  // must not appear anywhere
};

class ShowCells : public ::testing::TestWithParam<CellCase> {};

TEST_P(ShowCells, ShowsTheFieldAsAPersonShouldSeeIt) {
  MemoryFolder dir;
  const auto file = dir.Write("l.plw", "102\r\n" + GetParam().record);
  const auto r = dir.Run({"show", file});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto line = r.out.substr(r.out.find('\n') + 1);
  EXPECT_NE(line.find(GetParam().shown), std::string::npos) << r.out;
  if (!GetParam().notShown.empty()) {
    EXPECT_EQ(r.out.find(GetParam().notShown), std::string::npos) << r.out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowCells,
    ::testing::Values(
        CellCase{"MarkerNeverShown", Record("a.exe", "$dummy$", "", "0", "True"), "通常",
                 "$dummy$"},
        CellCase{"Minimised", Record("a.exe", "", "", "2", "True"), "最小化", ""},
        CellCase{"OddStateAsItsText", Record("a.exe", "", "", "abc", "True"), "abc", "通常"},
        CellCase{"SoKeepsItsBackslash", Record("c:\\" + kSo + "\\b.exe", "", "", "0", "True"),
                 "c:\\ソ\\b.exe", ""},
        CellCase{"InvalidBytesAsHex", Record("c:\\\x81\x7F.exe", "", "", "0", "True"),
                 "c:\\\\x81\\x7F.exe", ""},
        CellCase{"EscapeNeverReachesTheTerminal", Record("c:\\\x1B[31m.exe", "", "", "0", "True"),
                 "c:\\\\x1B[31m.exe", "\x1B"},
        CellCase{"ByteEightyAsHexOnEveryHost", Record("c:\\a\x80.exe", "", "", "0", "True"),
                 "c:\\a\\x80.exe", "\xC2\x80"},
        CellCase{"RunCheckOffForAnyTextButTrue", Record("a.exe", "", "", "0", "true"), "しない",
                 ""}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Show, AListWithNoRecordsShowsOnlyTheHeadings) {
  MemoryFolder dir;
  const auto r = dir.Run({"show", dir.Write("e.plw", "102\r\n")});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
}

// A memory file system where the list changes once, as the first pass over it reaches its end.
class ChangingFileSystem : public pallomar::testing::MemoryFileSystem {
 public:
  std::function<void(MemoryFileSystem&)> change;
  int Read(pallomar::FileHandle h, char* buf, std::size_t n, std::size_t& got) override {
    const int e = MemoryFileSystem::Read(h, buf, n, got);
    if (e == 0 && got == 0 && change) std::exchange(change, nullptr)(*this);
    return e;
  }
};

struct ChangeCase {
  const char* name;
  std::string before;
  std::function<void(pallomar::testing::MemoryFileSystem&, const std::string&)> change;
  bool refused;  // else the list as it was opened is shown whole
};

class ShowChanged : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ShowChanged, NeverPadsBelowZeroNorShowsAMixOfTwoLists) {
  const std::string file = "/mem/l.plw";
  MemoryFolder plain;
  const auto whole = plain.Run({"show", plain.Write("l.plw", GetParam().before)});
  ASSERT_EQ(whole.status, kExitOk) << whole.err;

  ChangingFileSystem fs;
  fs.Put(file, GetParam().before);
  fs.change = [&](pallomar::testing::MemoryFileSystem& m) { GetParam().change(m, file); };
  const auto r = RunTool({"show", file}, FakeHost(), "", fs);
  EXPECT_EQ(fs.change, nullptr) << "the list was never changed";
  EXPECT_EQ(fs.Calls(pallomar::testing::FsCall::OpenRead), 1);
  if (GetParam().refused) {
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.err, "plwtool: show: " + file +
                         ": the list changed while it was read; nothing more is shown\n");
    EXPECT_LE(r.out.size(), whole.out.size()) << r.out;
  } else {
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, whole.out);
  }
}

const std::string kOneLongPath = "102\r\n" + Record(std::string(17, 'p'), "", "", "0", "True");
const std::string kLongParams = "102\r\n" + Record("a", std::string(30, 'p'), "", "0", "True");

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowChanged,
    ::testing::Values(ChangeCase{"AnEntryAddedInPlace", TwoEntryList(),
                                 [](auto& fs, const std::string& f) {
                                   fs.Put(f, TwoEntryList() + Record("x", "", "", "0", "True"));
                                 },
                                 true},
                      ChangeCase{"AnEntryRemovedInPlace", TwoEntryList(),
                                 [](auto& fs, const std::string& f) {
                                   fs.Put(f, "102\r\n" + Record("x", "", "", "0", "True"));
                                 },
                                 true},
                      // The same size each time: only what the second pass reads tells.
                      ChangeCase{"MoreEntriesInTheSameSize", kOneLongPath,
                                 [](auto& fs, const std::string& f) {
                                   fs.Put(f, "102\r\n" + Record("a", "", "", "0", "True") +
                                                 Record("b", "", "", "0", "True"));
                                 },
                                 true},
                      ChangeCase{"AFieldWiderThanMeasuredInTheSameSize", kLongParams,
                                 [](auto& fs, const std::string& f) {
                                   fs.Put(f, "102\r\n" + Record(std::string(30, 'a'), "p", "", "0",
                                                                "True"));
                                 },
                                 true},
                      ChangeCase{"AnotherListSavedUnderItsName", TwoEntryList(),
                                 [](auto& fs, const std::string& f) {
                                   fs.Put("/mem/new.plw",
                                          "102\r\n" + Record("x", "", "", "0", "True"));
                                   pallomar::TargetState was;
                                   ASSERT_EQ(fs.ProbeTarget(f, was), 0);
                                   ASSERT_EQ(fs.Replace("/mem/new.plw", f, was), 0);
                                 },
                                 false}),
    [](const auto& tc) { return std::string(tc.param.name); });

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string errPart;
};

class BadUse : public ::testing::TestWithParam<UsageCase> {};

TEST_P(BadUse, SaysWhatIsWrongOnStandardErrorWithTheStatus) {
  MemoryFolder dir;
  const auto list = dir.Write("ok.plw", TwoEntryList());
  const auto text = dir.Write("text.plw", "hello\r\n");
  std::vector<std::string> args;
  for (auto a : GetParam().args) {
    if (a == "$LIST") a = list;
    if (a == "$TEXT") a = text;
    if (a == "$MISSING") a = dir.Path("missing.plw");
    if (a == "$DIR") a = dir.Path("");
    args.push_back(a);
  }
  const auto r = dir.Run(args);
  EXPECT_EQ(r.status, GetParam().status);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(GetParam().errPart), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadUse,
    ::testing::Values(
        UsageCase{"NoCommand", {}, kExitUsage, "missing command"},
        UsageCase{"UnknownCommand", {"list", "$LIST"}, kExitUsage, "unknown command \"list\""},
        UsageCase{"ShowWithoutFile", {"show"}, kExitUsage, "show: missing FILE"},
        UsageCase{"ShowTwoFiles", {"show", "$LIST", "$LIST"}, kExitUsage, "unexpected argument"},
        UsageCase{"ExportUnknownFormat",
                  {"export", "$LIST", "--format", "xml"},
                  kExitUsage,
                  "unknown format \"xml\""},
        UsageCase{"ExportFormatWithoutValue",
                  {"export", "$LIST", "--format"},
                  kExitUsage,
                  "--format needs"},
        UsageCase{
            "ExportUnknownOption", {"export", "$LIST", "-x"}, kExitUsage, "unknown option \"-x\""},
        UsageCase{"ImportWithoutTarget", {"import", "a.json"}, kExitUsage, "missing OUT.plw"},
        UsageCase{"CheckWithoutFile", {"check"}, kExitUsage, "check: missing FILE"},
        UsageCase{"ShowMissingFile", {"show", "$MISSING"}, kExitFailed, "ファイルが見つかりません"},
        UsageCase{
            "ExportMissingFile", {"export", "$MISSING"}, kExitFailed, "ファイルが見つかりません"},
        UsageCase{"ShowAFolder", {"show", "$DIR"}, kExitFailed, "show: "},
        UsageCase{"ShowNotAList",
                  {"show", "$TEXT"},
                  kExitFailed,
                  "not a list file (its first line \"hello\""},
        UsageCase{"ExportNotAList", {"export", "$TEXT"}, kExitFailed, "not a list file"},
        UsageCase{
            "ImportMissingJson", {"import", "$MISSING", "out.plw"}, kExitFailed, "cannot be read"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Help, GoesToStandardOutputWithSuccess) {
  const auto r = RunTool({"--help"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_NE(r.out.find("plwtool check FILE..."), std::string::npos);
}

TEST(Export, JsonKeepsAbsentValuesAsNullAndTheStateTextAsWritten) {
  MemoryFolder dir;
  const auto r = dir.Run({"export", dir.Write("two.plw", TwoEntryList())});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "{\n"
            "  \"format\": \"pallomar-list\",\n"
            "  \"version\": \"102\",\n"
            "  \"entries\": [\n"
            "    {\n"
            "      \"path\": \"c:\\\\表\\\\a.exe\",\n"
            "      \"params\": \"-v\",\n"
            "      \"folder\": null,\n"
            "      \"windowState\": \"1\",\n"
            "      \"runCheck\": true\n"
            "    },\n"
            "    {\n"
            "      \"path\": \"c:\\\\ｱｲ.txt\",\n"
            "      \"params\": null,\n"
            "      \"folder\": \"c:\\\\docs\",\n"
            "      \"windowState\": \"7\",\n"
            "      \"runCheck\": false\n"
            "    }\n"
            "  ]\n"
            "}\n");
}

TEST(Export, BytesThatAreNotShiftJisGoOutAsHex) {
  MemoryFolder dir;
  const auto r = dir.Run(
      {"export", dir.Write("x.plw", "102\r\n" + Record("a\x81\x7F.exe", "", "", "\x82", "True"))});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("\"path\": {\"hex\": \"61817F2E657865\"}"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"windowState\": {\"hex\": \"82\"}"), std::string::npos) << r.out;
}

TEST(Export, AFileWithNoRecordsIsAnEmptyList) {
  MemoryFolder dir;
  const auto r = dir.Run({"export", dir.Write("e.plw", "101\r\n")});
  ASSERT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out,
            "{\n  \"format\": \"pallomar-list\",\n  \"version\": \"101\",\n  \"entries\": []\n}\n");
}

TEST(Export, CsvQuotesFieldsWithCommasQuotesAndAddsAHeaderRow) {
  MemoryFolder dir;
  const auto file =
      dir.Write("c.plw", "102\r\n" + Record("c:\\a,b.exe", "say \"hi\"", "", "0", "True") +
                             Record("c:\\" + kHyo + ".exe", "", "c:\\x", "2", "False"));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"export", file, "--format", "csv"},
        std::vector<std::string>{"export", "--format=csv", file}}) {
    const auto r = dir.Run(args);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "number,path,params,folder,windowState,runCheck\r\n"
              "1,\"c:\\a,b.exe\",\"say \"\"hi\"\"\",,0,true\r\n"
              "2,c:\\表.exe,,c:\\x,2,false\r\n");
  }
}

TEST(Import, WritesTheFileTheEditorWouldWrite) {
  MemoryFolder dir;
  const auto json = dir.Write("l.json", R"({"format":"pallomar-list","version":"102","entries":[
    {"path":"a.exe","params":"-v","folder":null,"windowState":"2","runCheck":false}]})");
  const auto out = dir.Path("out.plw");
  const auto r = dir.Run({"import", json, out});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(dir.Read(out), "102\r\na.exe\r\n-v\r\n\r\n2\r\nFalse\r\n");
}

TEST(Import, ReadsStandardInputForADash) {
  MemoryFolder dir;
  const auto out = dir.Path("out.plw");
  const auto r = dir.Run({"import", "-", out}, FakeHost(),
                         R"({"format":"pallomar-list","entries":[{"path":"c:\\表.exe",)"
                         R"("windowState":"0","runCheck":true}]})");
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(dir.Read(out), "102\r\nc:\\" + kHyo + ".exe\r\n\r\n\r\n0\r\nTrue\r\n");
}

TEST(Import, AnEmptyListIsWrittenWithAWarning) {
  MemoryFolder dir;
  const auto out = dir.Path("out.plw");
  const auto r =
      dir.Run({"import", "-", out}, FakeHost(), R"({"format":"pallomar-list","entries":[]})");
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(dir.Read(out), "102\r\n");
  EXPECT_NE(r.err.find("warning: no entries"), std::string::npos);
}

struct BadJson {
  const char* name;
  std::string json;
  std::string where;  // "line:column: field: message" or a part of it
};

class ImportRejects : public ::testing::TestWithParam<BadJson> {};

TEST_P(ImportRejects, TellsWhereAndLeavesTheTargetAsItWas) {
  MemoryFolder dir;
  const auto out = dir.Write("out.plw", "102\r\nold.exe\r\n\r\n\r\n0\r\nTrue\r\n");
  const auto r = dir.Run({"import", "-", out}, FakeHost(), GetParam().json);
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("(standard input):" + GetParam().where), std::string::npos) << r.err;
  EXPECT_EQ(dir.Read(out), "102\r\nold.exe\r\n\r\n\r\n0\r\nTrue\r\n");
  EXPECT_EQ(dir.Names().size(), 1u);
}

const std::string kHead = R"({"format":"pallomar-list","entries":[)";

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportRejects,
    ::testing::Values(
        BadJson{"Empty", "", "1:1: unexpected end"},
        BadJson{"Unclosed", "{\n  \"format\": \"pallomar-list\",\n", "3:1: expected a member"},
        BadJson{"TrailingComma", kHead + "],}", "1:40: expected a member name"},
        BadJson{"NotAnObject", "[]", "1:1: (document): expected an object, found an array"},
        BadJson{"WrongFormat", R"({"format":"other","entries":[]})", "1:11: format: expected"},
        BadJson{"MissingFormat", R"({"entries":[]})", "1:1: format: missing member"},
        BadJson{"BadVersion", R"({"format":"pallomar-list","version":"103","entries":[]})",
                "1:37: version: expected \"100\""},
        BadJson{"UnknownTopMember", R"({"format":"pallomar-list","entries":[],"x":1})",
                "1:44: x: unknown member"},
        BadJson{"EntryNotObject", kHead + "1]}", "1:38: entries[0]: expected an object"},
        BadJson{"MissingRunCheck", kHead + R"({"path":"a.exe","windowState":"0"}]})",
                "1:38: entries[0].runCheck: missing member"},
        BadJson{"StateAsNumber", kHead + R"({"path":"a.exe","windowState":1,"runCheck":true}]})",
                "1:68: entries[0].windowState: expected a string"},
        BadJson{"RunCheckAsString", kHead + R"({"path":"a","windowState":"0","runCheck":"True"}]})",
                "1:79: entries[0].runCheck: expected a boolean, found a string"},
        BadJson{"MisspeltMember",
                kHead + R"({"path":"a","param":"x","windowState":"0","runCheck":true}]})",
                "1:58: entries[0].param: unknown member"},
        BadJson{"LineBreakInPath", kHead + R"({"path":"a\nb","windowState":"0","runCheck":true}]})",
                "1:46: entries[0].path: contains a line break"},
        BadJson{"NulInFolder",
                kHead + R"({"path":"a","folder":"x\u0000y","windowState":"0","runCheck":true}]})",
                "1:59: entries[0].folder: contains a NUL"},
        BadJson{"CtrlZStartsALaterPath",
                kHead + "{\"path\":\"a\",\"windowState\":\"0\",\"runCheck\":true},\n" +
                    R"({"path":"\u001aa","windowState":"0","runCheck":true}]})",
                "2:9: entries[1].path: begins with Ctrl-Z"},
        BadJson{
            "NoShiftJisForm",
            kHead + "{\"path\":\"a\xF0\x9F\x98\x80\",\"windowState\":\"0\",\"runCheck\":true}]}",
            "1:46: entries[0].path: the character U+1F600 \"\xF0\x9F\x98\x80\" has no exact "
            "Shift-JIS "
            "form"},
        BadJson{"OddHex", kHead + R"({"path":{"hex":"123"},"windowState":"0","runCheck":true}]})",
                "1:53: entries[0].path.hex: odd number"},
        BadJson{"NotHex", kHead + R"({"path":{"hex":"zz"},"windowState":"0","runCheck":true}]})",
                "1:53: entries[0].path.hex: expected hexadecimal"},
        BadJson{"SecondEntryCounted",
                kHead + "{\"path\":\"a\",\"windowState\":\"0\",\"runCheck\":true},\n"
                        "{\"path\":\"b\",\"windowState\":null,\"runCheck\":true}]}",
                "2:27: entries[1].windowState: expected a string"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Import, AFolderThatDoesNotExistIsReportedAndNothingIsCreated) {
  MemoryFolder dir;
  const auto out = dir.Path("no/such/folder/out.plw");
  const auto r = dir.Run({"import", "-", out}, FakeHost(),
                         kHead + R"({"path":"a.exe","windowState":"0","runCheck":true}]})");
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("import: " + out + ": "), std::string::npos) << r.err;
  EXPECT_FALSE(dir.Exists(out));
  EXPECT_TRUE(dir.Names().empty());
}

struct CheckCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;  // the report, without the file name
  int status;
};

class Check : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Check, ReportsEachFindingOnItsOwnLine) {
  MemoryFolder dir;
  const auto file = dir.Write("l.plw", GetParam().bytes);
  const auto r = dir.Run({"check", file});
  std::string expected;
  for (const auto& l : GetParam().lines) expected += file + ": " + l + "\n";
  // The note belongs to lists that were read; a file the editor does not open has none.
  if (expected.find("does not open") == std::string::npos) {
    expected +=
        "note: files to run and working folders were not looked for: they are Windows paths, "
        "which this host cannot see\n";
  }
  if (GetParam().status == kExitOk) {
    expected = file + ": no findings\n" + expected.substr(expected.find("note:"));
  }
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.status, GetParam().status);
}

const std::string kOnSave = " (the editor changes this when it saves the list)";
const std::string kOnReAdd =
    " (the editor changes this when the entry is taken out and added again)";
const std::string kGood = Record("c:\\a.exe", "-v", "c:\\", "0", "True");

INSTANTIATE_TEST_SUITE_P(
    Cases, Check,
    ::testing::Values(
        CheckCase{
            "Clean", "102\r\n" + kGood + Record("c:\\b.txt", "", "", "2", "False"), {}, kExitOk},
        CheckCase{"OlderVersion",
                  "100\r\n" + kGood,
                  {"version line: \"100\" is an older version line" + kOnSave},
                  kExitFailed},
        CheckCase{"VersionWithSpace",
                  " 102\r\n" + kGood,
                  {"version line: \" 102\" is not 100, 101 or 102; the editor does not open this "
                   "file"},
                  kExitFailed},
        CheckCase{"EmptyFile",
                  "",
                  {"version line: the file is empty; the editor does not open it"},
                  kExitFailed},
        CheckCase{"NoRecords",
                  "102\r\n",
                  {"the file holds no entries; the editor shows one empty entry for it" + kOnSave},
                  kExitFailed},
        CheckCase{"StateOutOfRange",
                  "102\r\n" + Record("c:\\a.exe", "", "", "7", "True"),
                  {"entry 1: window state: \"7\" is not 0, 1 or 2; it becomes \"2\" (minimised)" +
                   kOnReAdd},
                  kExitFailed},
        CheckCase{"StateSpaceOne",
                  "102\r\n" + Record("c:\\a.exe", "", "", " 1", "True"),
                  {"entry 1: window state: \" 1\" is not 0, 1 or 2; it becomes \"1\" (maximised)" +
                   kOnReAdd},
                  kExitFailed},
        CheckCase{"StateNotANumber",
                  "102\r\n" + Record("c:\\a.exe", "", "", "abc", "True"),
                  {"entry 1: window state: \"abc\" is not a number; the editor reports an error "
                   "when the entry is taken out or its details are shown"},
                  kExitFailed},
        CheckCase{"StateNoChoice",
                  "102\r\n" + Record("c:\\a.exe", "", "", "-1", "True"),
                  {"entry 1: window state: \"-1\": no window state is chosen"},
                  kExitFailed},
        CheckCase{"RunCheckLowerCase",
                  "102\r\n" + Record("c:\\a.exe", "", "", "0", "true"),
                  {"entry 1: running check: \"true\" is neither \"True\" nor \"False\"; it reads "
                   "as off" +
                   kOnSave},
                  kExitFailed},
        CheckCase{"EmptyPath",
                  "102\r\n" + kGood + Record("", "", "", "0", "False"),
                  {"entry 2: file to run: empty; the launcher has nothing to start"},
                  kExitFailed},
        CheckCase{"NoExtension",
                  "102\r\n" + Record("c:\\dir.d\\tool", "", "", "0", "False"),
                  {"entry 1: file to run: \"c:\\dir.d\\tool\" has no extension"},
                  kExitFailed},
        CheckCase{"ParamsOnShortcut",
                  "102\r\n" + Record("c:\\a.lnk", "-x", "", "0", "False"),
                  {"entry 1: parameters: given for a file that is not .exe or .com; they are "
                   "dropped" +
                   kOnReAdd},
                  kExitFailed},
        CheckCase{
            "RunCheckOnCom",
            "102\r\n" + Record("c:\\a.com", "-x", "", "0", "True"),
            {"entry 1: running check: on for a file that is not .exe; it is turned off" + kOnReAdd},
            kExitFailed},
        CheckCase{"ExtensionBehindHyoIsSeen",
                  "102\r\n" + Record("c:\\" + kHyo + ".exe", "-x", "", "0", "True"),
                  {},
                  kExitOk},
        CheckCase{"StrayBlankLine",
                  "102\r\n" + kGood + "\r\n",
                  {"entry 2: an empty entry made by blank lines at the end of the file" + kOnSave},
                  kExitFailed},
        CheckCase{"CutShort",
                  "102\r\n" + kGood + "c:\\b.exe\r\n-v\r\n",
                  {"entry 2: the file ends after line 2 of this entry's 5; the missing lines "
                   "read as empty" +
                       kOnSave,
                   "entry 2: window state: \"\" is not a number; the editor reports an error "
                   "when the entry is taken out or its details are shown"},
                  kExitFailed},
        CheckCase{"DuplicateIgnoringCase",
                  "102\r\n" + kGood + Record("C:\\A.EXE", "-v", "", "1", "True") +
                      Record("c:\\a.exe", "-w", "", "0", "True"),
                  {"entry 2: file to run: same file to run and parameters as entry 1"},
                  kExitFailed},
        CheckCase{
            "DummyLines",
            "102\r\n" + Record("c:\\a.exe", "$dummy$", "$dummy$", "0", "True"),
            {"entry 1: parameters: the line reads \"$dummy$\", which means none" + kOnSave,
             "entry 1: working folder: the line reads \"$dummy$\", which means none" + kOnSave},
            kExitFailed},
        CheckCase{"DataAfterCtrlZ",
                  "102\r\n" + kGood + "\x1A" + "junk",
                  {"4 bytes after an end-of-file mark (Ctrl-Z) are ignored" + kOnSave},
                  kExitFailed},
        CheckCase{"CtrlZAloneIsFine", "102\r\n" + kGood + "\x1A", {}, kExitOk},
        CheckCase{"LoneCr",
                  "102\r\nc:\\a\r.exe\r\n-v\r\nc:\\\r\n0\r\nTrue\r\n",
                  {"a CR inside a line is dropped on reading" + kOnSave},
                  kExitFailed},
        CheckCase{"LfOnlyIsFine", "102\nc:\\a.exe\n-v\nc:\\\n0\nTrue\n", {}, kExitOk}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Check, LooksForPathsWhereTheHostCanSeeThem) {
  pallomar::testing::MemoryFileSystem fs;
  fs.Put("l.plw", "102\r\n" + Record("c:\\here.exe", "", "c:\\gone", "0", "True") +
                      Record("c:\\gone.exe", "", "c:\\dir", "0", "True") +
                      Record("notepad.exe", "", "", "0", "True"));
  fs.Put("c:\\here.exe", "");
  fs.AddFolder("c:\\dir");
  const auto r = RunTool({"check", "l.plw"}, FakeHost(true), "", fs);
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.out,
            "l.plw: entry 1: working folder: \"c:\\gone\" does not exist\n"
            "l.plw: entry 2: file to run: \"c:\\gone.exe\" does not exist\n");
}

// A save that swaps another list in under the name just after check opened it.
class SwappedOnceOpened : public pallomar::testing::MemoryFileSystem {
 public:
  int OpenRead(const std::string& path, pallomar::FileHandle& h) override {
    const int e = MemoryFileSystem::OpenRead(path, h);
    if (!swapped_) {
      swapped_ = true;
      Put("new.plw", "102\r\n" + Record("c:\\b.exe", "-v", "", "0", "True") +
                         Record("c:\\c.exe", "-v", "", "0", "True"));
      EXPECT_EQ(Replace("new.plw", path, pallomar::TargetState{}), 0);
    }
    return e;
  }

 private:
  bool swapped_ = false;
};

TEST(Check, LooksBackInTheListItOpenedNotTheOneSavedUnderItsNameSince) {
  SwappedOnceOpened fs;
  fs.Put("l.plw", "102\r\n" + kGood + Record("C:\\A.EXE", "-v", "", "0", "True"));
  const auto r = RunTool({"check", "l.plw"}, FakeHost(), "", fs);
  EXPECT_TRUE(r.out.starts_with(
      "l.plw: entry 2: file to run: same file to run and parameters as entry 1\nnote: "))
      << r.out;
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(fs.OpenHandles(), 0u);
}

TEST(Check, AnUnreadableFileGivesStatusTwoAndTheOthersAreStillChecked) {
  MemoryFolder dir;
  const auto good = dir.Write("good.plw", "102\r\n" + kGood);
  const auto odd = dir.Write("odd.plw", "101\r\n" + kGood);
  const auto missing = dir.Path("missing.plw");
  const auto r = dir.Run({"check", good, missing, odd});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.err, "plwtool: check: " + missing + ": ファイルが見つかりません\n");
  EXPECT_NE(r.out.find(good + ": no findings\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(odd + ": version line"), std::string::npos) << r.out;
}

TEST(Check, FindingsWithoutUnreadableFilesGiveStatusOne) {
  MemoryFolder dir;
  const auto good = dir.Write("good.plw", "102\r\n" + kGood);
  const auto odd = dir.Write("odd.plw", "101\r\n" + kGood);
  EXPECT_EQ(dir.Run({"check", good, odd}).status, kExitFailed);
  EXPECT_EQ(dir.Run({"check", good, good}).status, kExitOk);
}

#ifdef _WIN32
TEST(Show, TheRealHostWritesTheConsolesCodePage) {
  UINT cp = GetConsoleOutputCP();
  if (cp == 0) cp = GetACP();
  if (cp != 932) GTEST_SKIP() << "console code page " << cp;
  TempFolder dir;  // the real program on the real file system
  const auto file =
      dir.Write("l.plw", "102\r\n" + Record("c:\\" + kHyo + ".exe", "", "", "1", "True"));
  std::istringstream in;
  std::ostringstream out, err;
  ASSERT_EQ(RunPlwtool({"show", file}, in, out, err), kExitOk) << err.str();
  // Headings, path and words all in Shift-JIS: 番号 ... c:\表.exe ... 最大化
  EXPECT_EQ(out.str().rfind("\x94\xD4\x8D\x86", 0), 0u) << out.str();
  EXPECT_NE(out.str().find("c:\\" + kHyo + ".exe"), std::string::npos);
  EXPECT_NE(out.str().find("\x8D\xC5\x91\xE5\x89\xBB"), std::string::npos);
}
#endif

TEST(Check, TheRealHostLooksForPathsOnlyOnWindows) {
  TempFolder dir;  // the real program on the real file system
  const auto present = dir.Write("present.exe", "");
  const auto file = dir.Write("l.plw", "102\r\n" + Record(present, "", "", "0", "True") +
                                           Record(dir.Path("absent.exe"), "", "", "0", "True"));
  std::istringstream in;
  std::ostringstream out, err;
  const int status = RunPlwtool({"check", file}, in, out, err);
#ifdef _WIN32
  EXPECT_EQ(status, kExitFailed);  // the absent one
  EXPECT_EQ(out.str().find("present.exe\" does not exist"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("absent.exe\" does not exist"), std::string::npos) << out.str();
#else
  // Linux paths are no Windows paths: nothing is looked for, and the report says so.
  EXPECT_EQ(status, kExitOk);
  EXPECT_NE(out.str().find("note: files to run and working folders were not looked for"),
            std::string::npos);
#endif
}

}  // namespace
}  // namespace plwtool::testing
