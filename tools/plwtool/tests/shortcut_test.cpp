// `plwtool shortcuts` over shortcut files the tests write byte by byte: what each part of the
// format gives the list, what is left out and why, and hostile files refused without a crash.
// Runs natively and under Wine.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_test_util.h"
#include "shortcut_bytes.h"
#include "shortcut_file.h"
#include "shortcut_set.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace plwtool::testing {
namespace {

const std::string& kHyo = kHyoSjis;           // 表
const std::string kHyoUtf8 = "\xE8\xA1\xA8";  // 表
const std::string kKanaSjis = "\xB1\xB2";     // ｱｲ, half-width
const std::string kKanaUtf8 = "\xEF\xBD\xB1\xEF\xBD\xB2";

// One folder of shortcuts, read by the command.
struct Folder {
  TempFolder dir;
  std::string shortcuts = dir.Path("lnk");
  Folder() { std::filesystem::create_directories(shortcuts); }
  // The path as the command names it.
  std::string Item(const std::string& name) const {
#ifdef _WIN32
    return shortcuts + "\\" + name;
#else
    return shortcuts + "/" + name;
#endif
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    dir.Write("lnk/" + name, bytes);
    return Item(name);
  }
  RunResult Run(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"shortcuts", shortcuts, "-o", dir.Path("out.plw")};
    args.insert(args.end(), more.begin(), more.end());
    return RunTool(args, RealLauncherHost());
  }
  std::string List() const { return dir.Read("out.plw"); }
};

LinkInfoParts Local(const std::string& base, const std::string& suffix = "") {
  LinkInfoParts info;
  info.localBase = base;
  info.suffix = suffix;
  return info;
}

struct ReadCase {
  const char* name;
  ShortcutParts parts;
  std::string record;  // the list's record, as the file holds it
};

class ShortcutRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ShortcutRead, GivesTheEntryTheShortcutHolds) {
  const ReadCase& c = GetParam();
  Folder f;
  f.Put("a.lnk", ShortcutBytes(c.parts));
  const auto r = f.Run();
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(f.List(), "102\r\n" + c.record);
}

ShortcutParts Parts(std::optional<LinkInfoParts> info, bool unicode = true) {
  ShortcutParts p;
  p.info = std::move(info);
  p.unicode = unicode;
  return p;
}

std::vector<ReadCase> ReadCases() {
  std::vector<ReadCase> cases;
  {
    // Everything in ANSI: the bytes as a Japanese system stores them.
    ShortcutParts p = Parts(Local("c:\\tools\\" + kHyo + "\\calc.exe"), false);
    p.arguments = "-v " + kKanaSjis;
    p.workingDir = "c:\\tools\\" + kHyo;
    p.showCommand = 3;
    cases.push_back({"AnsiLinkInfoAndAnsiStringsMaximised", p,
                     ListRecord("c:\\tools\\" + kHyo + "\\calc.exe", "-v " + kKanaSjis,
                                "c:\\tools\\" + kHyo, "1", "True")});
  }
  {
    // An item list before the link info, the path split into base and suffix, and every
    // counted string present (those the list has no field for are stepped over).
    ShortcutParts p = Parts(Local("c:\\windows\\", "notepad.exe"));
    p.idItems = {std::string(20, 'x'), std::string(3, '\0')};
    p.name = "a name";
    p.relativePath = "..\\windows\\notepad.exe";
    p.workingDir = "c:\\" + kHyoUtf8;
    p.arguments = kKanaUtf8 + " \"b c\"";
    p.iconLocation = "c:\\icons\\x.ico";
    p.showCommand = 7;
    cases.push_back({"ItemListThenSplitPathAndUnicodeStringsMinimised", p,
                     ListRecord("c:\\windows\\notepad.exe", kKanaSjis + " \"b c\"", "c:\\" + kHyo,
                                "2", "True")});
  }
  {
    // The wide path is whole where the ANSI one lost a character.
    LinkInfoParts info = Local("c:\\?\\a.exe");
    info.localBaseUnicode = "c:\\" + kHyoUtf8 + "\\a.exe";
    info.suffixUnicode = "";
    cases.push_back({"UnicodeLocalPathIsPreferred", Parts(info),
                     ListRecord("c:\\" + kHyo + "\\a.exe", "", "", "0", "True")});
  }
  {
    LinkInfoParts info;
    info.network = "\\\\server\\share";
    info.suffix = "tools\\a.exe";
    ShortcutParts p = Parts(info);
    p.showCommand = 2;  // not one the format names: normal
    cases.push_back({"NetworkShareAndPathBelowIt", p,
                     ListRecord("\\\\server\\share\\tools\\a.exe", "", "", "0", "True")});
  }
  {
    ShortcutParts p = Parts(Local("C:\\Program Files\\app\\a.exe"));
    p.environmentAnsi = "%ProgramFiles%\\app\\a.exe";
    p.environmentUnicode = "%ProgramFiles%\\app\\a.exe";
    p.workingDir = "%USERPROFILE%";
    cases.push_back({"EnvironmentTargetAsTheShortcutHoldsIt", p,
                     ListRecord("%ProgramFiles%\\app\\a.exe", "", "%USERPROFILE%", "0", "True")});
  }
  {
    ShortcutParts p = Parts(Local("c:\\x\\a.exe"), false);
    p.environmentAnsi = "%windir%\\" + kHyo + ".exe";
    cases.push_back({"EnvironmentTargetInAnsiOnly", p,
                     ListRecord("%windir%\\" + kHyo + ".exe", "", "", "0", "True")});
  }
  {
    // The add rule: no running check for a document; its arguments stay.
    ShortcutParts p = Parts(Local("c:\\docs\\read me.txt"));
    p.arguments = "-p";
    cases.push_back({"DocumentKeepsArgumentsWithoutRunningCheck", p,
                     ListRecord("c:\\docs\\read me.txt", "-p", "", "0", "False")});
  }
  {
    ShortcutParts p = Parts(Local("c:\\x\\DO.COM"));
    ShortcutParts q = Parts(Local("c:\\a.exe"));
    q.arguments = std::string("-a\0", 3);
    q.workingDir = std::string("c:\\w\0", 5);
    cases.push_back(
        {"EndingNulCountedInIsDropped", q, ListRecord("c:\\a.exe", "-a", "c:\\w", "0", "True")});
    cases.push_back(
        {"ComProgramWithoutRunningCheck", p, ListRecord("c:\\x\\DO.COM", "", "", "0", "False")});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, ShortcutRead, ::testing::ValuesIn(ReadCases()),
                         [](const auto& tc) { return std::string(tc.param.name); });

struct LeftCase {
  const char* name;
  ShortcutParts parts;
  std::string reason;
};

class ShortcutLeftOut : public ::testing::TestWithParam<LeftCase> {};

TEST_P(ShortcutLeftOut, IsNamedWithItsReasonAndTheStatusSaysSo) {
  const LeftCase& c = GetParam();
  Folder f;
  const std::string bad = f.Put("b.lnk", ShortcutBytes(c.parts));
  f.Put("a.lnk", ShortcutBytes(Parts(Local("c:\\a.exe"))));
  const auto r = f.Run();
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.err, "plwtool: shortcuts: " + bad + ": left out: " + c.reason +
                       "\nplwtool: shortcuts: 1 of 2 shortcuts left out\n");
  EXPECT_EQ(f.List(), "102\r\n" + ListRecord("c:\\a.exe", "", "", "0", "True"));
}

std::vector<LeftCase> LeftCases() {
  std::vector<LeftCase> cases;
  ShortcutParts url;
  url.idItems = {"\x1f\x50" + std::string(18, 'u'), "http://example.com/"};
  cases.push_back(
      {"ItemListOnly", url,
       "its target is not a file path (a special folder, a URL or another shell item)"});
  ShortcutParts forced = Parts(Local("c:\\a.exe"));
  forced.idItems = {"item"};
  forced.extraFlags = 0x100;  // the link info is to be ignored
  cases.push_back(
      {"LinkInfoForcedAway", forced,
       "its target is not a file path (a special folder, a URL or another shell item)"});
  cases.push_back({"NoTargetAtAll", Parts(std::nullopt), "it names no target"});
  ShortcutParts folder = Parts(Local("c:\\windows"));
  folder.attributes = 0x10;
  cases.push_back({"FolderTarget", folder, "its target is a folder, not a file to run"});
  cases.push_back({"TargetWithoutExtension", Parts(Local("c:\\windows")),
                   "its target has no extension: a folder, or no file to run"});
  cases.push_back(
      {"UrlWrittenAsAPath", Parts(Local("c:\\work\\http:\\example.com\\")),
       "its target is not a file path (a special folder, a URL or another shell item)"});
  ShortcutParts counted = Parts(Local("c:\\a.exe"));
  counted.arguments = std::string("-a\0", 3);  // an ending NUL counted in is no NUL inside
  counted.workingDir = std::string("c:\\w\0x", 6);
  LinkInfoParts emoji = Local("c:\\?.exe");
  emoji.localBaseUnicode = "c:\\\xF0\x9F\x98\x80.exe";
  emoji.suffixUnicode = "";
  cases.push_back({"TargetWithoutShiftJisForm", Parts(emoji), "its target has no Shift-JIS form"});
  ShortcutParts lines = Parts(Local("c:\\a.exe"));
  lines.arguments = "a\r\nb";
  cases.push_back({"ArgumentsWithALineBreak", lines,
                   "its arguments contains a line break (CR or LF), which a list file cannot "
                   "hold"});
  ShortcutParts nul = Parts(Local("c:\\a.exe"));
  nul.workingDir = std::string("c:\\\0x", 5);
  cases.push_back({"NulInsideAfterACountedEnd", counted,
                   "its working folder contains a NUL character, which a list file cannot hold"});
  cases.push_back({"FolderWithANul", nul,
                   "its working folder contains a NUL character, which a list file cannot hold"});
  cases.push_back({"EmptyTarget", Parts(Local("")), "its target is empty"});
  ShortcutParts ctrlZ =
      Parts(Local("\x1A"
                  "a.exe"));
  cases.push_back({"LaterTargetStartingWithCtrlZ", ctrlZ,
                   "its target begins with Ctrl-Z (0x1A), which would end the list there"});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, ShortcutLeftOut, ::testing::ValuesIn(LeftCases()),
                         [](const auto& tc) { return std::string(tc.param.name); });

// A complete shortcut with every part, for cutting and corrupting.
std::string FullShortcut() {
  ShortcutParts p = Parts(Local("c:\\tools\\", "a.exe"));
  p.idItems = {"abcd", "efghij"};
  p.workingDir = "c:\\w";
  p.arguments = "-x";
  p.environmentUnicode = "%x%\\a.exe";
  return ShortcutBytes(p);
}

std::string Patched(std::string bytes, std::size_t at, const std::string& with) {
  bytes.replace(at, with.size(), with);
  return bytes;
}

// Where the parts of FullShortcut() begin.
constexpr std::size_t kIdList = 0x4C;
constexpr std::size_t kLinkInfo = kIdList + 2 + (6 + 8 + 2);
constexpr std::size_t kStrings = kLinkInfo + 28 + 17 + 10 + 6;  // header, volume, two paths
constexpr std::size_t kExtra = kStrings + (2 + 8) + (2 + 4);

struct HostileCase {
  const char* name;
  std::string bytes;
  std::string message;  // what the refusal says
};

class HostileShortcut : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileShortcut, IsRefusedWithAClearMessage) {
  const HostileCase& c = GetParam();
  try {
    (void)ParseShortcut(c.bytes);
    ADD_FAILURE() << "accepted";
  } catch (const ShortcutError& e) {
    EXPECT_EQ(std::string(e.what()), c.message);
  }
}

std::vector<HostileCase> HostileCases() {
  const std::string full = FullShortcut();
  std::vector<HostileCase> cases = {
      {"Empty", "", "too short for a shortcut: 0 bytes, where the header alone takes 76"},
      {"HeaderCut", full.substr(0, 75),
       "too short for a shortcut: 75 bytes, where the header alone takes 76"},
      {"NotAShortcut", Patched(full, 4, "x"), "not a shortcut: its header is not a shell link's"},
      {"ItemListPastTheEnd", Patched(full, kIdList, U16(0xFFFF)),
       "the item list (65535 bytes at offset 78) runs past the end of the file (offset " +
           std::to_string(full.size()) + ")"},
      {"ItemPastItsList", Patched(full, kIdList + 2, U16(0x7000)),
       "an item of the item list (28672 bytes at offset 78) runs past the end of the item list "
       "(offset 94)"},
      // An item of size 1 would never move on.
      {"ItemSizeOneWouldLoop", Patched(full, kIdList + 2, U16(1)),
       "an item of the item list at offset 78 has the size 1, below its own size field"},
      {"ItemListWithoutEndMark", Patched(full, kIdList + 2 + 6 + 8, U16(2)),
       "an item of the item list (2 bytes at offset 94) runs past the end of the item list "
       "(offset 94)"},
      {"LinkInfoPastTheEnd", Patched(full, kLinkInfo, U32(0xFFFFFFF0)),
       "the link info (4294967280 bytes at offset 94) runs past the end of the file (offset " +
           std::to_string(full.size()) + ")"},
      {"LinkInfoTooSmall", Patched(full, kLinkInfo, U32(3)), "the link info's size 3 is below 28"},
      {"LinkInfoHeaderOdd", Patched(full, kLinkInfo + 4, U32(30)),
       "the link info's header size 30 is neither 28 nor 36"},
      {"LocalPathOffsetPastTheLinkInfo", Patched(full, kLinkInfo + 16, U32(0x7FFFFFFF)),
       "the local path (0 bytes at offset 2147483741) runs past the end of the link info "
       "(offset 155)"},
      {"SuffixOffsetPastTheLinkInfo", Patched(full, kLinkInfo + 24, U32(0xFFFFFFFF)),
       "the path suffix (0 bytes at offset 4294967389) runs past the end of the link info "
       "(offset 155)"},
      {"StringCountPastTheEnd", Patched(full, kStrings, U16(0x7FFF)),
       "the working folder (65534 bytes at offset 157) runs past the end of the file (offset " +
           std::to_string(full.size()) + ")"},
      {"StringLongerThanAnyPath", Patched(full, kStrings, U16(0x8000)),
       "the working folder at offset 155 is longer than 32767 characters"},
      {"ExtraBlockPastTheEnd", Patched(full, kExtra, U32(0x10000)),
       "an extra data block (65536 bytes at offset 171) runs past the end of the file (offset " +
           std::to_string(full.size()) + ")"},
      {"EnvironmentBlockTooSmall", Patched(full, kExtra, U32(0x100)),
       "the environment block at offset 171 holds 256 bytes, not 788"},
      {"EnvironmentTargetUnterminated", Patched(full, full.size() - 4 - 520, std::string(520, 'a')),
       "the environment target at offset 439 has no end within the environment block"},
      {"LoneSurrogate", Patched(full, kStrings + 2, U16(0xD800)),
       "the working folder is not valid UTF-16 (a lone surrogate)"},
  };
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileShortcut, ::testing::ValuesIn(HostileCases()),
                         [](const auto& tc) { return std::string(tc.param.name); });

// Every part up to the terminal block is needed: a file cut anywhere is refused.
TEST(HostileShortcut, EveryCutOfAWholeFileIsRefusedAndNothingPastItIsRead) {
  const std::string full = FullShortcut();
  const Shortcut whole = ParseShortcut(full);
  EXPECT_EQ(whole.target.bytes, "%x%\\a.exe");
  std::size_t refused = 0;
  for (std::size_t keep = 0; keep < full.size(); ++keep) {
    // A copy of exactly `keep` bytes, so that the sanitizer sees any read past them.
    const std::unique_ptr<char[]> cut(new char[keep + 1]);
    std::copy(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep), cut.get());
    try {
      (void)ParseShortcut(std::string_view(cut.get(), keep));
    } catch (const ShortcutError&) {
      ++refused;
    }
  }
  EXPECT_EQ(refused, full.size());
}

TEST(HostileShortcut, TenMegabyteStringIsRefusedAfterItsLimitNotReadWhole) {
  ShortcutParts p = Parts(Local(std::string(10 << 20, 'a')));
  const std::string bytes = ShortcutBytes(p);
  try {
    (void)ParseShortcut(bytes);
    ADD_FAILURE() << "accepted";
  } catch (const ShortcutError& e) {
    EXPECT_EQ(std::string(e.what()),
              "the local path at offset 121 is longer than 32767 characters");
  }
  // The command refuses such a file before reading it.
  Folder f;
  const std::string big = f.Put("big.lnk", bytes);
  f.Put("ok.lnk", ShortcutBytes(Parts(Local("c:\\a.exe"))));
  const auto r = f.Run();
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.err.rfind("plwtool: shortcuts: " + big + ": left out: damaged: " +
                            std::to_string(bytes.size()) + " bytes, larger than any shortcut",
                        0),
            0u)
      << r.err;
  EXPECT_EQ(f.List(), "102\r\n" + ListRecord("c:\\a.exe", "", "", "0", "True"));
}

TEST(ShortcutsCommand, ReadsShortcutsInNameOrderAndOnlyBelowWhenAsked) {
  Folder f;
  f.Put("b.LNK", ShortcutBytes(Parts(Local("c:\\b.exe"))));
  f.Put("A.lnk", ShortcutBytes(Parts(Local("c:\\a.exe"))));
  f.Put("c.txt", "not a shortcut");
  std::filesystem::create_directories(f.shortcuts + "/ab");
  f.Put("ab/x.lnk", ShortcutBytes(Parts(Local("c:\\ab\\x.exe"))));
  const std::string a = ListRecord("c:\\a.exe", "", "", "0", "True");
  const std::string b = ListRecord("c:\\b.exe", "", "", "0", "True");
  const std::string x = ListRecord("c:\\ab\\x.exe", "", "", "0", "True");

  auto r = f.Run();
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(f.List(), "102\r\n" + a + b);
  r = f.Run({"--recursive"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(f.List(), "102\r\n" + a + x + b);

  // The plan names each entry's shortcut and writes nothing.
  std::filesystem::remove(f.dir.Path("out.plw"));
  r = RunTool({"shortcuts", "--dry-run", f.shortcuts}, RealLauncherHost());
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out, "entry 1: \"c:\\a.exe\" (normal, no folder, running check on) from " +
                       f.Item("A.lnk") +
                       "\nentry 2: \"c:\\b.exe\" (normal, no folder, running check on) from " +
                       f.Item("b.LNK") + "\n");
  EXPECT_FALSE(FileExists(f.dir.Path("out.plw")));
}

TEST(ShortcutsCommand, AFolderThatCannotBeReadWritesNothing) {
  Folder f;
  const auto r =
      RunTool({"shortcuts", f.dir.Path("none"), "-o", f.dir.Path("out.plw")}, RealLauncherHost());
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.err.rfind("plwtool: shortcuts: " + f.dir.Path("none") + ": cannot be read: ", 0), 0u)
      << r.err;
  EXPECT_FALSE(FileExists(f.dir.Path("out.plw")));
  EXPECT_EQ(RunTool({"shortcuts", f.shortcuts}).status, kExitUsage);
}

#ifndef _WIN32
// The shortcuts the Wine test makes, copied here as a user copies a Startup folder across.
TEST(ShortcutsFromTheShell, AFolderCopiedFromWindowsGivesTheSameList) {
  TempFolder dir;
  const std::string folder = PLWTOOL_SHORTCUT_FOLDER;
  const auto r = RunTool({"shortcuts", folder, "-o", dir.Path("out.plw")}, RealLauncherHost());
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.err, MadeShortcutsErrors(folder, "/"));
  EXPECT_EQ(dir.Read("out.plw"), MadeShortcutsList());
}

// A link to a folder above is not followed: --recursive would never end.
TEST(ShortcutsCommand, ALinkBackUpTheTreeIsNotFollowed) {
  Folder f;
  f.Put("a.lnk", ShortcutBytes(Parts(Local("c:\\a.exe"))));
  ASSERT_EQ(::symlink(f.shortcuts.c_str(), (f.shortcuts + "/loop").c_str()), 0);
  const auto r = f.Run({"--recursive"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(f.List(), "102\r\n" + ListRecord("c:\\a.exe", "", "", "0", "True"));
}
#endif

TEST(CheckOfShortcutTargets, AnEnvironmentVariableInTheFileToRunIsFlagged) {
  TempFolder dir;
  const auto list =
      dir.Write("l.plw", "102\r\n" + ListRecord("%ProgramFiles%\\a.exe", "", "", "0", "True"));
  const auto r = RunTool({"check", list});
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
            list +
                ": entry 1: file to run: \"%ProgramFiles%\\a.exe\" holds the environment "
                "variable %ProgramFiles%, which is not expanded when the list runs\n");
}

}  // namespace
}  // namespace plwtool::testing
