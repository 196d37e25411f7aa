// The help compiler on the host: what it refuses, that it always writes the same bytes, and
// that its page passes the HTML checker and carries the window's picture.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "help_source.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using helpc_testing::ReadFile;
using helpc_testing::SourceFile;

class HelpcTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("helpc-test-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the real tool; returns its exit status and leaves its messages in err.txt. A run that
  // does not end is stopped (status 124).
  int Run(const fs::path& source, const std::string& tag) {
    const std::string command = std::string("timeout 20 '") + HELPC_EXE + "' '" + source.string() +
                                "' '" + Out(tag, ".hlp").string() + "' '" +
                                Out(tag, ".cnt").string() + "' '" + Out(tag, ".html").string() +
                                "' 2>'" + (dir_ / "err.txt").string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Each run writes under the same names, in a folder of its own: the files name each other.
  fs::path Out(const std::string& tag, const char* ext) const {
    fs::create_directories(dir_ / tag);
    return dir_ / tag / (std::string("pallomar") + ext);
  }

  fs::path dir_;
};

TEST_F(HelpcTool, SameSourceGivesTheSameBytesAtAnyTime) {
  ASSERT_EQ(Run(PALLOMAR_HELP_SOURCE, "first"), 0) << ReadFile(dir_ / "err.txt");
  // Another time zone and another second: nothing of the clock may reach the files.
  setenv("TZ", "Pacific/Kiritimati", 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(Run(PALLOMAR_HELP_SOURCE, "second"), 0) << ReadFile(dir_ / "err.txt");
  unsetenv("TZ");
  for (const char* ext : {".hlp", ".cnt", ".html"}) {
    SCOPED_TRACE(ext);
    const std::string first = ReadFile(Out("first", ext));
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, ReadFile(Out("second", ext)));
  }
  EXPECT_NE(ReadFile(Out("first", ".html")).find("<meta charset=\"utf-8\">"), std::string::npos);
}

// The page is the help on Windows 10 and 11: a checker must pass it, and from its contents every
// topic must be one jump away and lead back.
TEST_F(HelpcTool, HelpPagePassesTheHtmlCheckerAndItsContentsReachEveryTopic) {
  ASSERT_EQ(Run(PALLOMAR_HELP_SOURCE, "page"), 0) << ReadFile(dir_ / "err.txt");
  const fs::path page = Out("page", ".html");
  const std::string report = (dir_ / "tidy.txt").string();
  const int status =
      std::system(("tidy -errors -q '" + page.string() + "' >'" + report + "' 2>&1").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(report);

  const std::string html = ReadFile(page);
  const helpc::HelpSource help = helpc::ParseHelpSource(ReadFile(PALLOMAR_HELP_SOURCE));
  ASSERT_GT(help.topics.size(), 2u);
  const std::string top = help.topics.front().context;
  const std::size_t nav = html.find("<nav>"), navEnd = html.find("</nav>");
  ASSERT_NE(nav, std::string::npos);
  for (std::size_t i = 1; i < help.topics.size(); ++i) {
    const std::string& name = help.topics[i].context;
    SCOPED_TRACE(name);
    const std::size_t link = html.find("href=\"#" + name + "\"", nav);
    EXPECT_LT(link, navEnd) << "not in the contents";
    const std::size_t at = html.find("<section id=\"" + name + "\">");
    ASSERT_NE(at, std::string::npos);
    const std::size_t end = html.find("</section>", at);
    EXPECT_LT(html.find("href=\"#" + top + "\"", at), end) << "no way back to the contents";
  }
  // Then the program's own face, which the quotation test holds to texts/.
  ASSERT_FALSE(help.font.utf8.empty());
  EXPECT_NE(html.find("font-family:\"Yu Gothic UI\",\"Meiryo\",\"" + help.font.utf8 + "\","),
            std::string::npos);
  EXPECT_NE(html.find("@media print"), std::string::npos);

  // The window topic carries the picture of the window inside the page, byte for byte (decoded
  // by the system's own base64, not the tool's).
  const std::string data = "<img src=\"data:image/png;base64,";
  const std::size_t window = html.find("<section id=\"window\">");
  const std::size_t img = html.find(data, window);
  ASSERT_LT(img, html.find("</section>", window)) << "no picture in the window topic";
  const std::size_t begin = img + data.size();
  std::ofstream(dir_ / "picture.b64", std::ios::binary)
      << html.substr(begin, html.find('"', begin) - begin);
  ASSERT_EQ(std::system(("base64 -d '" + (dir_ / "picture.b64").string() + "' >'" +
                         (dir_ / "picture.png").string() + "'")
                            .c_str()),
            0);
  const std::string png = SourceFile("help/window.png");
  EXPECT_GT(png.size(), 1000u);
  EXPECT_TRUE(ReadFile(dir_ / "picture.png") == png) << "the page's picture is not help/window.png";
}

// Every source the help file cannot hold as written: the tool refuses it at its line, at once
// (an index that never shrank used to run until memory ran out), and writes nothing. Sources
// at the very limits are written.
TEST_F(HelpcTool, SourcesTheHelpFileCannotHoldAreRefusedAtTheirLine) {
  const std::string head = ".title T\n.topic a A\n";
  const auto repeat = [](size_t n, char c) { return std::string(n, c); };
  struct Case {
    const char* fault;
    std::string source;
    int line;  // 0: accepted
    const char* says;
  };
  const Case cases[] = {
      {"unknown jump target", head + "text\n\n[[nowhere|x]]\n", 5, "unknown topic: nowhere"},
      {"duplicate context name", head + "x\n.topic b B\n.topic a C\n", 5, "duplicate context"},
      {"names that differ in case only", ".title T\n.topic Intro A\n.topic intro B\n", 3,
       "context name intro has the same hash as Intro (line 2)"},
      {"names whose hashes collide", ".title T\n.topic dvolkgqx A\nx\n.topic sacpirpf B\n", 4,
       "context name sacpirpf has the same hash as dvolkgqx (line 2)"},
      {"context name viewers hash apart", ".title T\n.topic a-b A\n", 2, "context name"},
      {"text without Shift-JIS form", head + "ok\n\nsmile \xF0\x9F\x98\x80\n", 5, "Shift-JIS"},
      {"yen sign, written as a backslash",
       head + "\xC2\xA5"
              "100\n",
       3, "no Shift-JIS form: \xC2\xA5"},
      {"overline, written as a tilde", head + "a\xE2\x80\xBE\n", 3,
       "no Shift-JIS form: \xE2\x80\xBE"},
      {"text that is not UTF-8", head + "caf\xE9\n", 3, "not UTF-8"},
      {"title without Shift-JIS form", ".title \xE2\x82\xAC\n.topic a A\n", 1, "Shift-JIS"},
      {"keyword without Shift-JIS form", head + ".keywords \xC3\xA6\n", 3, "Shift-JIS"},
      {"two keywords no index page holds",
       head + ".keywords " + repeat(3000, 'k') + "; " + repeat(3000, 'w') + "\ntext\n", 3,
       "keyword too long for the help file: 3000 bytes"},
      {"keywords as long as a page holds",
       head + ".keywords " + repeat(2033, 'k') + "; " + repeat(2033, 'w') + "\ntext\n", 0, ""},
      {"paragraph past its length field", head + "text\n\n" + repeat(40000, 'p') + "\n", 5,
       "paragraph too long for the help file: 40001 characters, at most 32767"},
      {"paragraph at its length field", head + repeat(32766, 'p') + "\n", 0, ""},
      {"topic title past its index page", ".title T\n.topic a " + repeat(3000, 't') + "\n", 2,
       "topic title too long for the help file: 3000 bytes"},
      {"topic title at its index page", ".title T\n.topic a " + repeat(2035, 't') + "\n", 0, ""},
      {".title past its record", ".title " + repeat(70000, 't') + "\n.topic a A\n", 1,
       ".title too long for the help file: 70000 bytes"},
      {".copyright past its record", head + ".copyright " + repeat(70000, 'c') + "\n", 3,
       ".copyright too long"},
      {"picture that is not there", head + ".picture missing.png M\n", 3,
       "the picture cannot be read"},
      {"picture outside the source's folder", head + ".picture ../window.png M\n", 3,
       "a .png file beside the source"},
      {"picture that is not a PNG", head + ".picture text.png M\n", 3, "not a PNG picture"},
      {"picture without a caption", head + ".picture window.png\n", 3, "without a caption"},
      {"picture beside the source", head + "x\n.picture window.png M\n", 0, ""},
      {"face spelled, not quoted", ".title T\n.font Arial\n.topic a A\n", 2, "a quotation"},
      {"face that would break the page's style", ".title T\n.font {kF:a\"b}\n.topic a A\n", 2,
       "a face name has none of"},
      {"face past its field", ".title T\n.font {kF:" + repeat(32, 'f') + "}\n.topic a A\n", 2,
       ".font too long for the help file: 32 bytes"},
      {"face at its field", ".title T\n.font {kF:" + repeat(31, 'f') + "}\n.topic a A\n", 0, ""},
      {"unclosed bold", head + "**bold\n", 3, "not closed"},
      {"text before any topic", ".title T\nstray\n", 2, "before the first"},
      {"no topic at all", ".title T\n", 1, "no topic"},
  };
  std::ofstream(dir_ / "text.png") << "not a picture";
  fs::copy_file(fs::path(PALLOMAR_SOURCE_DIR) / "help/window.png", dir_ / "window.png");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    const fs::path source = dir_ / "case.txt";
    std::ofstream(source, std::ios::binary) << c.source;
    const auto start = std::chrono::steady_clock::now();
    const int status = Run(source, "case");
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    std::printf("%-40s exit %d in %.3f s\n", c.fault, status, elapsed.count());
    const std::string err = ReadFile(dir_ / "err.txt");
    if (c.line == 0) {
      EXPECT_EQ(status, 0) << err;
      EXPECT_TRUE(fs::exists(Out("case", ".hlp")));
    } else {
      EXPECT_EQ(status, 1) << err;
      EXPECT_NE(err.find(source.string() + ":" + std::to_string(c.line) + ": "), std::string::npos)
          << err;
      EXPECT_NE(err.find(c.says), std::string::npos) << err;
      for (const char* ext : {".hlp", ".cnt", ".html"}) EXPECT_FALSE(fs::exists(Out("case", ext)));
    }
    for (const auto& entry : fs::directory_iterator(dir_ / "case")) {
      EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
      fs::remove(entry.path());
    }
  }
}

// A write that fails part way (here the file-size limit, as a full disk would) leaves no
// temporary file and the earlier outputs as they were.
TEST_F(HelpcTool, FailedWriteLeavesNoTemporaryFileAndTheOldOutputs) {
  for (const char* ext : {".hlp", ".cnt", ".html"}) std::ofstream(Out("full", ext)) << "old";
  const std::string command = std::string("trap '' XFSZ; ulimit -f 8; exec '") + HELPC_EXE + "' '" +
                              PALLOMAR_HELP_SOURCE + "' '" + Out("full", ".hlp").string() + "' '" +
                              Out("full", ".cnt").string() + "' '" + Out("full", ".html").string() +
                              "' 2>'" + (dir_ / "err.txt").string() + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(ReadFile(dir_ / "err.txt").find("cannot be written"), std::string::npos)
      << ReadFile(dir_ / "err.txt");
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir_ / "full")) {
    ++files;
    EXPECT_EQ(ReadFile(entry.path()), "old") << entry.path();
  }
  EXPECT_EQ(files, 3u);
}

}  // namespace
