// The commands on input meant to hurt: devices, escape sequences, huge lines, many members,
// a full output device, and one bad file among good ones.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <streambuf>
#include <thread>

#include "memory_file_system.h"
#include "tool_test_util.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace plwtool::testing {
namespace {

const std::string kList = "102\r\nc:\\a.exe\r\n-v\r\n\r\n0\r\nTrue\r\n";
const std::string kHead = R"({"format":"pallomar-list","entries":[)";

// Standard output that takes `room` bytes and then fails, as a full disk or /dev/full does;
// it also remembers the largest single piece it was handed.
class LimitedOutput : public std::streambuf {
 public:
  explicit LimitedOutput(std::size_t room) : room_(room) {}
  std::size_t largest = 0;
  std::size_t taken = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    const auto size = static_cast<std::size_t>(n);
    largest = std::max(largest, size);
    if (taken + size > room_) return 0;
    taken += size;
    return n;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
  }

 private:
  std::size_t room_;
};

RunResult RunInto(const std::vector<std::string>& args, std::streambuf& sink,
                  const Host& host = FakeHost()) {
  std::istringstream in;
  std::ostream out(&sink);
  std::ostringstream err;
  RunResult r;
  r.status = RunPlwtool(args, in, out, err, host);
  r.err = err.str();
  return r;
}

bool HasEscape(const std::string& s) { return s.find('\x1B') != std::string::npos; }

struct Irregular {
  const char* name;
  std::vector<std::string> args;  // "DIR" is replaced by a folder
  int status;
  std::string message;
};

class NotARegularFile : public ::testing::TestWithParam<Irregular> {};

TEST_P(NotARegularFile, IsRefusedWithoutReadingIt) {
  TempFolder dir;
  const std::string folder = dir.Path("sub.plw");
  std::filesystem::create_directories(folder);
  std::vector<std::string> args = GetParam().args;
  for (auto& a : args) {
    if (a == "DIR") a = folder;
  }
  const auto r = RunTool(args);
  EXPECT_EQ(r.status, GetParam().status) << r.err;
  EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
}

std::vector<Irregular> IrregularCases() {
  std::vector<Irregular> cases = {
      {"ShowFolder", {"show", "DIR"}, kExitFailed, "not a regular file"},
      {"ExportFolder", {"export", "DIR"}, kExitFailed, "not a regular file"},
      {"CheckFolder", {"check", "DIR"}, kExitUsage, "not a regular file"},
      {"ImportFolder", {"import", "DIR", "out.plw"}, kExitFailed, "not a regular file"}};
#ifndef _WIN32
  cases.push_back({"ShowDevZero", {"show", "/dev/zero"}, kExitFailed, "/dev/zero: not a regular"});
  cases.push_back({"ExportDevZero", {"export", "/dev/zero"}, kExitFailed, "not a regular file"});
  cases.push_back({"CheckDevZero", {"check", "/dev/zero"}, kExitUsage, "not a regular file"});
  cases.push_back({"ImportDevZero",
                   {"import", "/dev/zero", "out.plw"},
                   kExitFailed,
                   "/dev/zero: not a regular file"});
#endif
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, NotARegularFile, ::testing::ValuesIn(IrregularCases()),
                         [](const auto& tc) { return std::string(tc.param.name); });

#ifndef _WIN32
// A named pipe is no list file: refused at once, without waiting for a writer.
TEST(NotARegularFile, ANamedPipeIsRefusedAtOnceWithoutWaiting) {
  TempFolder dir;
  const std::string fifo = dir.Path("f.plw");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    // The tool may close the pipe before this write: that must fail with EPIPE here, not end
    // the test with SIGPIPE (the signal goes to the writing thread, so blocking it here is enough).
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd >= 0) {
      (void)!::write(fd, kList.data(), kList.size());
      ::close(fd);
    }
  });
  const auto r = RunTool({"show", fifo});
  // Let the writer finish whatever the tool did.
  const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (fd >= 0) ::close(fd);
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
}

// A name swapped between a list and a pipe while the tool opens it: asking the name what it is
// and then opening it blocked on the pipe now and then. Each run must end, with the list shown
// or the pipe refused, for both commands that read a named file.
TEST(NotARegularFile, ANameSwappedForAPipeNeverHoldsTheTool) {
  TempFolder dir;
  const std::string list = dir.Write("list.plw", kList);
  const std::string fifo = dir.Path("pipe");
  const std::string json = dir.Write("list.json", R"({"format":"pallomar-list","entries":[]})");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // One name for each command's kind of file, each swapped to the pipe and back.
  const std::string links[] = {dir.Path("l"), dir.Path("j")};
  const std::string files[] = {list, json};
  for (int k = 0; k < 2; ++k) ASSERT_EQ(::symlink(files[k].c_str(), links[k].c_str()), 0);
  const std::string next = dir.Path("next");

  std::atomic<bool> done{false};
  std::atomic<int> round{0};
  std::atomic<int> held{0};
  std::thread swapper([&] {
    for (bool toPipe = true; !done; toPipe = !toPipe) {
      for (int k = 0; k < 2; ++k) {
        ::unlink(next.c_str());
        if (::symlink(toPipe ? fifo.c_str() : files[k].c_str(), next.c_str()) == 0) {
          ::rename(next.c_str(), links[k].c_str());
        }
      }
    }
  });
  // A run that waits on the pipe is let go by a writer, and counted.
  std::thread watchdog([&] {
    int seen = -1;
    for (auto last = std::chrono::steady_clock::now(); !done;
         std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
      const int now = round;
      if (now != seen) {
        seen = now;
        last = std::chrono::steady_clock::now();
      } else if (std::chrono::steady_clock::now() - last > std::chrono::seconds(2)) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
          ++held;
          ::close(fd);
        }
        last = std::chrono::steady_clock::now();
      }
    }
  });
  int shown = 0, refused = 0, other = 0;
  for (int i = 0; i < 600 && held == 0; ++i, ++round) {
    const auto r =
        i % 2 ? RunTool({"import", links[1], dir.Path("out.plw")}) : RunTool({"show", links[0]});
    if (r.status == kExitOk) {
      ++shown;
    } else if (r.err.find("not a regular file") != std::string::npos) {
      ++refused;
    } else {
      ++other;
      ADD_FAILURE() << r.err;
    }
  }
  done = true;
  swapper.join();
  watchdog.join();
  EXPECT_EQ(held, 0);
  EXPECT_EQ(other, 0);
  EXPECT_GT(shown + refused, 0);
}
#endif

struct Echoed {
  const char* name;
  std::vector<std::string> args;  // "LIST" is replaced by a readable list file
  std::string input;
  std::string shown;  // what the message holds in place of the raw bytes
};

class EchoedText : public ::testing::TestWithParam<Echoed> {};

TEST_P(EchoedText, ReachesTheTerminalWithoutEscapeSequences) {
  TempFolder dir;
  const std::string list = dir.Write("l.plw", kList);
  std::vector<std::string> args = GetParam().args;
  for (auto& a : args) {
    if (a == "LIST") a = list;
    if (a.rfind("DIR/", 0) == 0) a = dir.Path(a.substr(4));
  }
  const auto r = RunTool(args, FakeHost(), GetParam().input);
  EXPECT_FALSE(HasEscape(r.err)) << r.err;
  EXPECT_FALSE(HasEscape(r.out)) << r.out;
  EXPECT_NE(r.err.find(GetParam().shown), std::string::npos) << r.err;
}

std::vector<Echoed> EchoedCases() {
  std::vector<Echoed> cases = {
      Echoed{"MemberName",
             {"import", "-", "DIR/out.plw"},
             "{\"format\":\"pallomar-list\",\"\\u001b]0;x\\u0007\":1}",
             "\\x1B]0;x\\x07: unknown member \"\\x1B]0;x\\x07\""},
      Echoed{"FileNameInCheck", {"check", "DIR/a\x1B[2Jb.plw"}, "", "a\\x1B[2Jb.plw"},
      Echoed{"FileNameInShow", {"show", "DIR/a\x1B]0;t\x07.plw"}, "", "a\\x1B]0;t\\x07.plw"},
      Echoed{"ImportTarget", {"import", "-", "DIR/no/a\x1B[2J.plw"}, kHead + "]}", "a\\x1B[2J.plw"},
      Echoed{"UnknownCommand", {"\x1B[2Jshow"}, "", "\\x1B[2Jshow"},
      Echoed{"UnknownFormat", {"export", "LIST", "--format", "\x1B[2J"}, "", "\\x1B[2J"},
      Echoed{"UnknownRunOption", {"run", "LIST", "-\x1B[2J"}, "", "-\\x1B[2J"},
      Echoed{"ExtraRunArgument", {"run", "LIST", "\x1B[2Jx"}, "", "\\x1B[2Jx"}};
#ifndef _WIN32
  // A name that is UTF-8 on this host, with a C1 control character (U+009B) in it.
  cases.push_back(Echoed{"C1ControlInName",
                         {"show",
                          "DIR/a\xC2\x9B"
                          "2J.plw"},
                         "",
                         "a\\xC2\\x9B2J.plw"});
#endif
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, EchoedText, ::testing::ValuesIn(EchoedCases()),
                         [](const auto& tc) { return std::string(tc.param.name); });

struct LongLine {
  const char* name;
  std::vector<std::string> args;  // "FILE" is replaced by the file
  bool toOut;                     // the quote is in the report, not in a message
};

class HugeFirstLine : public ::testing::TestWithParam<LongLine> {};

TEST_P(HugeFirstLine, IsQuotedToEightyCharactersWithTheCutMarked) {
  TempFolder dir;
  const std::string file = dir.Write("big.plw", std::string(100000, 'x') + "\r\n");
  std::vector<std::string> args = GetParam().args;
  for (auto& a : args) {
    if (a == "FILE") a = file;
  }
  const auto r = RunTool(args);
  const std::string& text = GetParam().toOut ? r.out : r.err;
  EXPECT_NE(text.find("\"" + std::string(80, 'x') + "\"..."), std::string::npos) << text;
  EXPECT_EQ(text.find(std::string(81, 'x')), std::string::npos);
  EXPECT_LT(text.size(), 400u);
}

INSTANTIATE_TEST_SUITE_P(Cases, HugeFirstLine,
                         ::testing::Values(LongLine{"Show", {"show", "FILE"}, false},
                                           LongLine{"Export", {"export", "FILE"}, false},
                                           LongLine{"Check", {"check", "FILE"}, true}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(HugeFirstLine, ShiftJisCharactersCountOneEachAndAreNeverCut) {
  TempFolder dir;
  std::string line;
  for (int i = 0; i < 100; ++i) line += "\x95\x5C";  // 表
  const auto r = RunTool({"show", dir.Write("j.plw", line + "\r\n")});
  std::string eighty;
  for (int i = 0; i < 80; ++i) eighty += "表";
  EXPECT_NE(r.err.find("\"" + eighty + "\"..."), std::string::npos) << r.err;
}

// 160,000 members took 18.7 s when the whole document was read before any was refused.
TEST(ManyMembers, TheFirstUnknownOneIsRefusedWhereItIs) {
  std::string members;
  for (int i = 0; i < 160000; ++i) members += "\"m" + std::to_string(i) + "\":1,";
  const auto r =
      RunTool({"import", "-", "out.plw"}, FakeHost(), kHead + "{" + members + "\"z\":1}]}");
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_NE(r.err.find("1:44: entries[0].m0: unknown member"), std::string::npos) << r.err;
}

TEST(RefusedOnImport, ExactlyWhatWouldNotReadBack) {
  TempFolder dir;
  const auto out = dir.Path("out.plw");
  // The reader tests for the end of the file only after a record: a first path may begin with
  // Ctrl-Z and still read back, so it is imported and exported again unchanged.
  const std::string json = kHead + R"({"path":"\u001aa.exe","windowState":"0","runCheck":false}]})";
  const auto imported = RunTool({"import", "-", out}, FakeHost(), json);
  ASSERT_EQ(imported.status, kExitOk) << imported.err;
  const auto exported = RunTool({"export", out});
  EXPECT_NE(exported.out.find("\"path\": \"\\u001aa.exe\""), std::string::npos) << exported.out;
  EXPECT_EQ(FileBytes(out),
            "102\r\n\x1A"
            "a.exe\r\n\r\n\r\n0\r\nFalse\r\n");
}

struct FullOutput {
  const char* name;
  std::vector<std::string> args;
  int status;
};

class WriteToFullOutput : public ::testing::TestWithParam<FullOutput> {};

TEST_P(WriteToFullOutput, IsAFailureNotSuccess) {
  TempFolder dir;
  std::vector<std::string> args = GetParam().args;
  args.push_back(dir.Write("l.plw", kList));
  LimitedOutput full(0);
  const auto r = RunInto(args, full);
  EXPECT_EQ(r.status, GetParam().status);
  EXPECT_NE(r.err.find("the output could not be written"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteToFullOutput,
    ::testing::Values(FullOutput{"Show", {"show"}, kExitFailed},
                      FullOutput{"ExportJson", {"export"}, kExitFailed},
                      FullOutput{"ExportCsv", {"export", "--format=csv"}, kExitFailed},
                      FullOutput{"Check", {"check"}, kExitUsage},
                      FullOutput{"RunDryRun", {"run", "--dry-run"}, kExitFailed}),
    [](const auto& tc) { return std::string(tc.param.name); });

// Memory running out while one file's paths are looked for.
class ExhaustedOn : public pallomar::testing::MemoryFileSystem {
 public:
  bool IsFile(const std::string& path) override {
    if (path == "c:\\boom.exe") throw std::bad_alloc();
    return MemoryFileSystem::IsFile(path);
  }
};

TEST(CheckOfManyFiles, OneFilesFailureIsThatFilesAndTheRestAreChecked) {
  ExhaustedOn fs;
  fs.Put("a.plw", kList);
  fs.Put("bad.plw", "102\r\nc:\\boom.exe\r\n\r\n\r\n0\r\nTrue\r\n");
  fs.Put("b.plw", kList);
  fs.Put("c:\\a.exe", "");
  const auto r = RunTool({"check", "a.plw", "bad.plw", "b.plw"}, FakeHost(true), "", fs);
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("check: bad.plw: could not be checked"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("a.plw: no findings"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("b.plw: no findings"), std::string::npos) << r.out;
}

struct Streamed {
  const char* name;
  std::vector<std::string> args;
};

class LargeOutput : public ::testing::TestWithParam<Streamed> {};

// Holding every formatted row took 12 times the list's size: the output must go in pieces.
TEST_P(LargeOutput, GoesOutInPiecesNotAsOneWholeText) {
  TempFolder dir;
  std::string bytes = "102\r\n";
  for (int i = 0; i < 20000; ++i) {
    bytes += "c:\\program files\\tool" + std::to_string(i) + ".exe\r\n-v\r\nc:\\\r\n1\r\nTrue\r\n";
  }
  std::vector<std::string> args = GetParam().args;
  args.push_back(dir.Write("l.plw", bytes));
  LimitedOutput sink(static_cast<std::size_t>(-1));
  const auto r = RunInto(args, sink);
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_GT(sink.taken, bytes.size());
  EXPECT_LE(sink.largest, 80u * 1024u);
}

INSTANTIATE_TEST_SUITE_P(Cases, LargeOutput,
                         ::testing::Values(Streamed{"Show", {"show"}},
                                           Streamed{"ExportJson", {"export"}},
                                           Streamed{"ExportCsv", {"export", "--format=csv"}}),
                         [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace plwtool::testing
