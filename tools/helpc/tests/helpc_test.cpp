// The help compiler on the host: what it refuses, that it always writes the same bytes, and
// that the help quotes the program's texts exactly as the program shows them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include "help_source.h"
#include "texts.h"

namespace {

namespace fs = std::filesystem;
namespace text = pallomar::text;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A caption as the user sees it: "&" only marks the access key, "&&" is one "&".
std::string AsShown(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}

TEST(HelpSource, QuotationsAreTheProgramsTextsByteForByte) {
  const std::map<std::string, const char*> texts = {
      {"kAboutText", text::kAboutText},
      {"kNotAnInteger", text::kNotAnInteger},
      {"kDetailsPath", text::kDetailsPath},
      {"kDetailsParams", text::kDetailsParams},
      {"kDetailsFolder", text::kDetailsFolder},
      {"kDetailsWindow", text::kDetailsWindow},
      {"kDetailsRunCheck", text::kDetailsRunCheck},
      {"kWindowNormal", text::kWindowNormal},
      {"kWindowMaximized", text::kWindowMaximized},
      {"kWindowMinimized", text::kWindowMinimized},
      {"kRunCheckOn", text::kRunCheckOn},
      {"kRunCheckOff", text::kRunCheckOff},
      {"kIoFileNotFound", text::kIoFileNotFound},
      {"kIoInvalidName", text::kIoInvalidName},
      {"kIoTooManyOpen", text::kIoTooManyOpen},
      {"kIoAccessDenied", text::kIoAccessDenied},
      {"kIoReadPastEnd", text::kIoReadPastEnd},
      {"kIoDiskFull", text::kIoDiskFull},
      {"kIoNotNumeric", text::kIoNotNumeric},
      {"kIoOtherFormat", text::kIoOtherFormat},
      {"kCaptionWarning", text::kCaptionWarning},
      {"kCaptionError", text::kCaptionError},
      {"kCaptionInformation", text::kCaptionInformation},
      {"kCaptionConfirmation", text::kCaptionConfirmation},
      {"kButtonYes", text::kButtonYes},
      {"kButtonNo", text::kButtonNo},
      {"kMsgFileNotFound", text::kMsgFileNotFound},
      {"kMsgCannotRead", text::kMsgCannotRead},
      {"kMsgOverwrite", text::kMsgOverwrite},
      {"kMsgNeedExtension", text::kMsgNeedExtension},
      {"kOpenDialog1Title", text::kOpenDialog1Title},
      {"kHelpFileName", text::kHelpFileName},
      {"kButtonBrowse", text::kButtonBrowse},
      {"kButtonUp", text::kButtonUp},
      {"kButtonDown", text::kButtonDown},
      {"kButtonErase", text::kButtonErase},
      {"kButtonInfo", text::kButtonInfo},
      {"kHintErase", text::kHintErase},
      {"kHintAdd", text::kHintAdd},
      {"kHintDel", text::kHintDel},
      {"kCheckRunning", text::kCheckRunning},
      {"kLabelList", text::kLabelList},
      {"kLabelFile", text::kLabelFile},
      {"kLabelParams", text::kLabelParams},
      {"kLabelFolder", text::kLabelFolder},
      {"kLabelWindow", text::kLabelWindow},
      {"kMenuFile", text::kMenuFile},
      {"kMenuNew", text::kMenuNew},
      {"kMenuOpen", text::kMenuOpen},
      {"kMenuSaveAs", text::kMenuSaveAs},
      {"kMenuExit", text::kMenuExit},
      {"kMenuHelp", text::kMenuHelp},
      {"kMenuHelpTopics", text::kMenuHelpTopics},
      {"kMenuAbout", text::kMenuAbout},
      {"kUnexpectedError", text::kUnexpectedError},
  };
  const helpc::HelpSource help = helpc::ParseHelpSource(ReadFile(PALLOMAR_HELP_SOURCE));
  ASSERT_GT(help.quotes.size(), 40u);
  for (const helpc::Quote& quote : help.quotes) {
    SCOPED_TRACE("help/pallomar.txt:" + std::to_string(quote.line) + " " + quote.name);
    const auto found = texts.find(quote.name);
    ASSERT_NE(found, texts.end()) << "quotes a text the program does not have";
    EXPECT_EQ(quote.text.sjis, AsShown(found->second)) << quote.text.utf8;
  }
}

TEST(HelpSource, RefusedSourcesNameTheLineAtFault) {
  const std::string head = ".title T\n.topic a A\n";
  struct Case {
    const char* fault;
    std::string source;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"unknown jump target", head + "text\n\n[[nowhere|x]]\n", 5, "unknown topic: nowhere"},
      {"duplicate context name", head + "x\n.topic b B\n.topic a C\n", 5, "duplicate context"},
      {"text without Shift-JIS form", head + "ok\n\nsmile \xF0\x9F\x98\x80\n", 5, "Shift-JIS"},
      {"title without Shift-JIS form", ".title \xE2\x82\xAC\n.topic a A\n", 1, "Shift-JIS"},
      {"keyword without Shift-JIS form", head + ".keywords \xC3\xA6\n", 3, "Shift-JIS"},
      {"context name viewers hash apart", ".title T\n.topic a-b A\n", 2, "context name"},
      {"unclosed bold", head + "**bold\n", 3, "not closed"},
      {"text before any topic", ".title T\nstray\n", 2, "before the first"},
      {"no topic at all", ".title T\n", 1, "no topic"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    try {
      helpc::ParseHelpSource(c.source);
      ADD_FAILURE() << "accepted";
    } catch (const helpc::SourceError& e) {
      EXPECT_EQ(e.line(), c.line);
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

class HelpcTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("helpc-test-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the real tool; returns its exit status and leaves its messages in err.txt.
  int Run(const fs::path& source, const std::string& tag) {
    const std::string command = std::string("'") + HELPC_EXE + "' '" + source.string() + "' '" +
                                Out(tag, ".hlp").string() + "' '" + Out(tag, ".cnt").string() +
                                "' '" + Out(tag, ".html").string() + "' 2>'" +
                                (dir_ / "err.txt").string() + "'";
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
  std::ifstream in(PALLOMAR_HELP_SOURCE, std::ios::binary);
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const helpc::HelpSource help = helpc::ParseHelpSource(source);
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
  EXPECT_NE(html.find("font-family:\"Yu Gothic UI\",\"Meiryo\""), std::string::npos);
  EXPECT_NE(html.find("@media print"), std::string::npos);
}

TEST_F(HelpcTool, RefusedSourceWritesNothingAndReportsFileAndLine) {
  const fs::path source = dir_ / "bad.txt";
  std::ofstream(source, std::ios::binary) << ".title T\n.topic a A\n\n[[b|x]]\n";
  EXPECT_EQ(Run(source, "bad"), 1);
  EXPECT_NE(ReadFile(dir_ / "err.txt").find(source.string() + ":4: "), std::string::npos)
      << ReadFile(dir_ / "err.txt");
  for (const char* ext : {".hlp", ".cnt", ".html"}) EXPECT_FALSE(fs::exists(Out("bad", ext)));
}

}  // namespace
