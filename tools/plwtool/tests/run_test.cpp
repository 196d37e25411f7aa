// `plwtool run` as a user sees it: the lines it prints, what it asks the system to start
// (through a recording launcher) and its status. Runs natively and under Wine.
#include <gtest/gtest.h>

#include <map>

#include "launcher.h"
#include "run_test_util.h"

namespace plwtool::testing {
namespace {

const std::string& kHyo = kHyoSjis;
const auto Record = ListRecord;

// Records what it is asked to start; knows some programs as running and some as failing.
class RecordingLauncher final : public Launcher {
 public:
  std::map<std::string, unsigned long> running;
  std::map<std::string, std::string> failing;  // file -> the system's message
  std::vector<StartRequest> started;
  std::vector<std::string> looked;
  std::map<std::string, Readiness> readiness;  // file -> what waiting finds; else ready
  std::vector<std::string> calls;              // "start FILE" and "pause MS", in order

  std::optional<unsigned long> FindRunning(const std::string& file) override {
    looked.push_back(file);
    const auto it = running.find(file);
    if (it == running.end()) return std::nullopt;
    return it->second;
  }
  StartOutcome Start(const StartRequest& r) override {
    StartOutcome out;
    if (const auto it = failing.find(r.file); it != failing.end()) {
      out.error = it->second;
      return out;
    }
    started.push_back(r);
    calls.push_back("start " + r.file);
    out.started = true;
    if (r.idleWaitMs > 0) {
      const auto it = readiness.find(r.file);
      out.ready = it == readiness.end() ? Readiness::Ready : it->second;
    }
    out.pid = 100 + started.size() - 1;
    return out;
  }
  void Pause(unsigned ms) override { calls.push_back("pause " + std::to_string(ms)); }
};

struct Rig {
  std::shared_ptr<RecordingLauncher> launcher = std::make_shared<RecordingLauncher>();
  Host host = FakeHost();
  TempFolder dir;
  Rig() { host.launcher = launcher; }
  RunResult Run(const std::string& records, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"run", dir.Write("l.plw", "102\r\n" + records)};
    args.insert(args.end(), options.begin(), options.end());
    return RunTool(args, host);
  }
};

struct StartCase {
  const char* name;
  std::string record;
  std::string line;  // the whole line printed for the entry
  bool throughShell;
  std::string commandLine;  // programs
  std::string params;       // the shell
  std::string folder;
  ShowState show;
};

class RunStarts : public ::testing::TestWithParam<StartCase> {};

TEST_P(RunStarts, StartsTheEntryAsItsFieldsSay) {
  const StartCase& c = GetParam();
  Rig rig;
  const auto r = rig.Run(c.record);
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out, c.line);
  ASSERT_EQ(rig.launcher->started.size(), 1u);
  const StartRequest& got = rig.launcher->started[0];
  EXPECT_EQ(got.throughShell, c.throughShell);
  EXPECT_EQ(got.commandLine, c.commandLine);
  EXPECT_EQ(got.params, c.params);
  EXPECT_EQ(got.folder, c.folder);
  EXPECT_EQ(got.show, c.show);
  EXPECT_EQ(got.idleWaitMs, 2000u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunStarts,
    ::testing::Values(
        StartCase{
            "ProgramWithParamsMaximisedInItsFolder",
            Record("c:\\tools\\" + kHyo + "\\calc.exe", "-v", "c:\\tools\\" + kHyo, "1", "False"),
            "entry 1: started \"c:\\tools\\表\\calc.exe\" -v (pid 100, maximised, folder "
            "c:\\tools\\表)\n",
            false, "c:\\tools\\" + kHyo + "\\calc.exe -v", "", "c:\\tools\\" + kHyo,
            ShowState::Maximised},
        StartCase{"PathWithSpaceIsQuoted", Record("c:\\my apps\\a.exe", "x", "", "0", "False"),
                  "entry 1: started \"c:\\my apps\\a.exe\" x (pid 100, normal, its own folder "
                  "c:\\my apps)\n",
                  false, "\"c:\\my apps\\a.exe\" x", "", "c:\\my apps", ShowState::Normal},
        StartCase{"PathWithTabIsQuoted", Record("c:\\a\tb.exe", "", "", "0", "False"),
                  "entry 1: started \"c:\\a\\x09b.exe\" (pid 100, normal, its own folder c:\\)\n",
                  false, "\"c:\\a\tb.exe\"", "", "c:\\", ShowState::Normal},
        StartCase{"ParamsPassedVerbatim", Record("a.exe", "  -x \"b c\"  \\d ", "", "2", "False"),
                  "entry 1: started \"a.exe\"   -x \"b c\"  \\d  (pid 100, minimised, current "
                  "folder)\n",
                  false, "a.exe   -x \"b c\"  \\d ", "", "", ShowState::Minimised},
        StartCase{"DummyParamsMeanNone", Record("a.exe", "$dummy$", "$dummy$", "0", "False"),
                  "entry 1: started \"a.exe\" (pid 100, normal, current folder)\n", false, "a.exe",
                  "", "", ShowState::Normal},
        StartCase{"ComInCapitalsIsAProgram", Record("c:\\x\\DO.COM", "", "", "0", "False"),
                  "entry 1: started \"c:\\x\\DO.COM\" (pid 100, normal, its own folder c:\\x)\n",
                  false, "c:\\x\\DO.COM", "", "c:\\x", ShowState::Normal},
        // The editor's folder rule keeps the backslash after 表 (it looks at one byte only);
        // that still names the same folder. Cutting inside 表 would name another.
        StartCase{"FolderNotCutAtASecondByteBackslash",
                  Record("c:\\" + kHyo + "\\a.exe", "", "", "0", "False"),
                  "entry 1: started \"c:\\表\\a.exe\" (pid 100, normal, its own folder c:\\表\\)\n",
                  false, "c:\\" + kHyo + "\\a.exe", "", "c:\\" + kHyo + "\\", ShowState::Normal},
        StartCase{"DocumentThroughTheShellWithParams",
                  Record("c:\\docs\\a.txt", "-p", "", "2", "False"),
                  "entry 1: started \"c:\\docs\\a.txt\" -p through the shell (pid 100, "
                  "minimised, its own folder c:\\docs)\n",
                  true, "", "-p", "c:\\docs", ShowState::Minimised},
        StartCase{"ShortcutThroughTheShellWithoutParams",
                  Record("c:\\l.lnk", "", "d:\\w", "1", "False"),
                  "entry 1: started \"c:\\l.lnk\" through the shell (pid 100, maximised, folder "
                  "d:\\w)\n",
                  true, "", "", "d:\\w", ShowState::Maximised},
        StartCase{"StateNotAnIntegerStartsNormal", Record("a.exe", "", "", "abc", "False"),
                  "entry 1: started \"a.exe\" (pid 100, normal: window state \"abc\" is not an "
                  "integer, current folder)\n",
                  false, "a.exe", "", "", ShowState::Normal},
        StartCase{"StateMinusOneStartsNormal", Record("a.exe", "", "", "-1", "False"),
                  "entry 1: started \"a.exe\" (pid 100, normal: window state \"-1\" chooses "
                  "none, current folder)\n",
                  false, "a.exe", "", "", ShowState::Normal},
        StartCase{"StateAboveTwoIsBounded", Record("a.exe", "", "", "7", "False"),
                  "entry 1: started \"a.exe\" (pid 100, minimised: window state \"7\" read as 2, "
                  "current folder)\n",
                  false, "a.exe", "", "", ShowState::Minimised},
        StartCase{"StateBelowMinusOneIsBoundedToNone", Record("a.exe", "", "", "-5", "False"),
                  "entry 1: started \"a.exe\" (pid 100, normal: window state \"-5\" chooses "
                  "none, current folder)\n",
                  false, "a.exe", "", "", ShowState::Normal},
        StartCase{"StateWithSpaceAndHexAsTheEditorReadsThem",
                  Record("a.exe", "", "", " $1", "False"),
                  "entry 1: started \"a.exe\" (pid 100, maximised: window state \" $1\" read as 1, "
                  "current folder)\n",
                  false, "a.exe", "", "", ShowState::Maximised},
        // ESC, as every byte up to the space, separates arguments: the path is quoted.
        StartCase{"EscapeInPathNeverReachesTheTerminal",
                  Record("c:\\\x1B[2J.exe", "\x1B]0;x", "", "0", "False"),
                  "entry 1: started \"c:\\\\x1B[2J.exe\" \\x1B]0;x (pid 100, normal, its own "
                  "folder c:\\)\n",
                  false, "\"c:\\\x1B[2J.exe\" \x1B]0;x", "", "c:\\", ShowState::Normal}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Run, SkipsAnEntryWithoutAFileAndOneAlreadyRunningButStartsTheRest) {
  Rig rig;
  rig.launcher->running["c:\\a.exe"] = 988;
  rig.launcher->running["c:\\off.exe"] = 989;
  const auto r =
      rig.Run(Record("", "", "", "0", "True") + Record("c:\\a.exe", "", "", "0", "True") +
              Record("c:\\off.exe", "", "", "0", "False"));
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "entry 1: skipped: no file to run\n"
            "entry 2: skipped: already running (pid 988)\n"
            "entry 3: started \"c:\\off.exe\" (pid 100, normal, its own folder c:\\)\n");
  // The flag off means no look at all: a second instance starts.
  EXPECT_EQ(rig.launcher->looked, std::vector<std::string>{"c:\\a.exe"});
}

TEST(Run, AFailedEntryGivesStatusOneAndTheLaterEntriesStillStart) {
  Rig rig;
  rig.launcher->failing["c:\\gone.exe"] = "not found (error 2)";
  const auto r = rig.Run(Record("c:\\gone.exe", "", "", "0", "False") +
                         Record("c:\\quo\"te.exe", "", "", "0", "False") +
                         Record("c:\\b.exe", "", "", "0", "False"));
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.out,
            "entry 1: failed: \"c:\\gone.exe\": not found (error 2)\n"
            "entry 2: failed: \"c:\\quo\"te.exe\": a file name cannot hold a double quote\n"
            "entry 3: started \"c:\\b.exe\" (pid 100, normal, its own folder c:\\)\n");
  ASSERT_EQ(rig.launcher->started.size(), 1u);
  EXPECT_EQ(rig.launcher->started[0].file, "c:\\b.exe");
}

TEST(Run, NoWaitGivesProgramsNoTimeToBecomeIdle) {
  Rig rig;
  const auto r = rig.Run(Record("a.exe", "", "", "0", "False"), {"--no-wait"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  ASSERT_EQ(rig.launcher->started.size(), 1u);
  EXPECT_EQ(rig.launcher->started[0].idleWaitMs, 0u);
}

TEST(Run, DryRunStartsNothingAndSaysWhatWouldHappen) {
  Rig rig;
  rig.launcher->running["c:\\a.exe"] = 988;
  const auto r =
      rig.Run(Record("c:\\a.exe", "", "", "0", "True") +
                  Record("c:\\b.exe", "-q", "", "1", "True") + Record("", "", "", "0", "True"),
              {"--dry-run"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "entry 1: would skip: already running (pid 988)\n"
            "entry 2: would start \"c:\\b.exe\" -q (maximised, its own folder c:\\)\n"
            "entry 3: would skip: no file to run\n");
  EXPECT_TRUE(rig.launcher->started.empty());
}

// The same plan through the real host: natively no processes are seen, under Wine they are.
TEST(Run, DryRunGivesTheSamePlanOnEveryHost) {
  TempFolder dir;
  const auto file = dir.Write(
      "l.plw", "102\r\n" + Record("c:\\tools\\" + kHyo + "\\calc.exe", "-v", "", "1", "False") +
                   Record("c:\\no such folder\\x.exe", "", "d:\\w", "2", "True") +
                   Record("c:\\docs\\a.txt", "", "", "abc", "False"));
  const auto r = RunTool({"run", file, "--dry-run"}, RealLauncherHost());
  EXPECT_EQ(r.status, kExitOk) << r.err;
#ifdef _WIN32
  const std::string runningCheck;
#else
  const std::string runningCheck = ", running check not made";
#endif
  EXPECT_EQ(r.out,
            "entry 1: would start \"c:\\tools\\表\\calc.exe\" -v (maximised, its own folder "
            "c:\\tools\\表\\)\n"
            "entry 2: would start \"c:\\no such folder\\x.exe\" (minimised, folder d:\\w" +
                runningCheck +
                ")\n"
                "entry 3: would start \"c:\\docs\\a.txt\" through the shell (normal: window "
                "state \"abc\" is not an integer, its own folder c:\\docs)\n");
}

struct RefusalCase {
  const char* name;
  std::vector<std::string> args;  // "LIST" stands for a good list, "NOTALIST" for a bad one
  bool withLauncher;
  std::string message;  // part of what standard error says
};

class RunRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RunRefuses, WithStatusTwoAndStartsNothing) {
  Rig rig;
  const auto list = rig.dir.Write("l.plw", "102\r\n" + Record("a.exe", "", "", "0", "False"));
  const auto bad = rig.dir.Write("bad.plw", "999\r\n" + Record("a.exe", "", "", "0", "False"));
  std::vector<std::string> args;
  for (const auto& a : GetParam().args) {
    args.push_back(a == "LIST" ? list : a == "NOTALIST" ? bad : a);
  }
  if (!GetParam().withLauncher) rig.host.launcher = nullptr;
  const auto r = RunTool(args, rig.host);
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
  EXPECT_TRUE(rig.launcher->started.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunRefuses,
    ::testing::Values(
        RefusalCase{"MissingFile", {"run"}, true, "run: missing FILE"},
        RefusalCase{"TwoFiles", {"run", "LIST", "LIST"}, true, "unexpected argument"},
        RefusalCase{"UnknownOption", {"run", "LIST", "--wait"}, true, "unknown option \"--wait\""},
        RefusalCase{"UnreadableList", {"run", "nothere.plw"}, true, "run: nothere.plw: "},
        RefusalCase{"NotAList", {"run", "NOTALIST"}, true, "not a list file"},
        RefusalCase{"NoWindowsToStartOn", {"run", "LIST"}, false, "needs Windows or Wine"},
        RefusalCase{
            "DelayWithoutSeconds", {"run", "LIST", "--delay"}, true, "run: --delay needs SECONDS"},
        RefusalCase{"DelayNotANumber",
                    {"run", "--delay", "1s", "LIST"},
                    true,
                    "run: --delay: \"1s\" is not a number of seconds from 0 to 3600"},
        RefusalCase{"DelayAboveAnHour",
                    {"run", "--delay=3600.001", "LIST"},
                    true,
                    "\"3600.001\" is not a number of seconds"},
        RefusalCase{"DelayNegative",
                    {"run", "--delay", "-1", "LIST"},
                    true,
                    "\"-1\" is not a number of seconds"},
        RefusalCase{"WaitReadyBadSeconds",
                    {"run", "--wait-ready=.5", "LIST"},
                    true,
                    "run: --wait-ready: \".5\" is not a number of seconds"},
        RefusalCase{"WaitReadyAndNoWait",
                    {"run", "LIST", "--wait-ready", "--no-wait"},
                    true,
                    "run: --wait-ready and --no-wait contradict each other"}),
    [](const auto& tc) { return std::string(tc.param.name); });

// The pause follows each start and comes before the next entry: none after the last, none
// after an entry that did not start.
TEST(RunPauses, DelayComesBetweenStartsOnlyAndThePlanShowsIt) {
  Rig rig;
  rig.launcher->running["c:\\b.exe"] = 988;
  const std::string records =
      Record("c:\\a.exe", "", "", "0", "False") + Record("c:\\b.exe", "", "", "0", "True") +
      Record("c:\\c.exe", "", "", "0", "False") + Record("c:\\d.exe", "", "", "0", "False");
  const auto r = rig.Run(records, {"--delay", "1.5"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "entry 1: started \"c:\\a.exe\" (pid 100, normal, its own folder c:\\)\n"
            "pause 1.5 s before entry 2\n"
            "entry 2: skipped: already running (pid 988)\n"
            "entry 3: started \"c:\\c.exe\" (pid 101, normal, its own folder c:\\)\n"
            "pause 1.5 s before entry 4\n"
            "entry 4: started \"c:\\d.exe\" (pid 102, normal, its own folder c:\\)\n");
  EXPECT_EQ(rig.launcher->calls,
            (std::vector<std::string>{"start c:\\a.exe", "pause 1500", "start c:\\c.exe",
                                      "pause 1500", "start c:\\d.exe"}));

  Rig plan;
  const auto p = plan.Run(
      Record("c:\\a.exe", "", "", "0", "False") + Record("c:\\b.exe", "", "", "0", "False"),
      {"--dry-run", "--delay=0.25"});
  EXPECT_EQ(p.status, kExitOk) << p.err;
  EXPECT_EQ(p.out,
            "entry 1: would start \"c:\\a.exe\" (normal, its own folder c:\\)\n"
            "would pause 0.25 s before entry 2\n"
            "entry 2: would start \"c:\\b.exe\" (normal, its own folder c:\\)\n");
  EXPECT_TRUE(plan.launcher->calls.empty());
}

struct ReadyCase {
  const char* name;
  std::vector<std::string> options;  // "LIST" stands for the list
  unsigned waitMs;
  Readiness found;
  std::string words;  // what the line says of it
};

class RunWaitReady : public ::testing::TestWithParam<ReadyCase> {};

TEST_P(RunWaitReady, GivesEachProgramItsTimeAndSaysHowItWent) {
  const ReadyCase& c = GetParam();
  Rig rig;
  rig.launcher->readiness["c:\\a.exe"] = c.found;
  const auto list = rig.dir.Write("l.plw", "102\r\n" + Record("c:\\a.exe", "", "", "0", "False"));
  std::vector<std::string> args = {"run"};
  for (const auto& o : c.options) args.push_back(o == "LIST" ? list : o);
  const auto r = RunTool(args, rig.host);
  EXPECT_EQ(r.status, kExitOk) << r.err;
  ASSERT_EQ(rig.launcher->started.size(), 1u);
  EXPECT_EQ(rig.launcher->started[0].idleWaitMs, c.waitMs);
  EXPECT_EQ(r.out, "entry 1: started \"c:\\a.exe\" (pid 100, normal, its own folder c:\\" +
                       c.words + ")\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunWaitReady,
    ::testing::Values(
        // Without SECONDS the next argument is the list, not a number.
        ReadyCase{"DefaultLimitWhenTheListFollows",
                  {"--wait-ready", "LIST"},
                  30000,
                  Readiness::Ready,
                  ", ready"},
        ReadyCase{"SecondsAsTheNextArgument",
                  {"--wait-ready", "5", "LIST"},
                  5000,
                  Readiness::TimedOut,
                  ", not ready within 5 s"},
        ReadyCase{"SecondsAfterAnEqualsSign",
                  {"LIST", "--wait-ready=0.125"},
                  125,
                  Readiness::NoInput,
                  ", not waited for: it takes no window input"},
        ReadyCase{
            "PlainRunWaitsTwoSecondsAndSaysNothing", {"LIST"}, 2000, Readiness::TimedOut, ""}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace plwtool::testing
