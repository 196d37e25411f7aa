// The help's text held to the program: it quotes the program's texts exactly as the program
// shows them, lists exactly the messages the editor can show, and names the window's parts
// under their picture by their captions in the real window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "entrylist/errors.h"
#include "help_source.h"
#include "test_files.h"
#include "texts.h"

namespace {

namespace fs = std::filesystem;
namespace text = pallomar::text;
using helpc_testing::ReadFile;
using helpc_testing::SourceFile;

// A caption as the user sees it: "&" only marks the access key, "&&" is one "&".
std::string AsShown(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}

// Every text of the program by its name in texts/.
const std::map<std::string, const char*>& ProgramTexts() {
  static const std::map<std::string, const char*> texts = {
      {"kAppCaption", text::kAppCaption},
      {"kAppCaptionPrefix", text::kAppCaptionPrefix},
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
      {"kListFileTooLarge", text::kListFileTooLarge},
      {"kListLineTooLong", text::kListLineTooLong},
      {"kEntryTextTooLong", text::kEntryTextTooLong},
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
      {"kButtonOK", text::kButtonOK},
      {"kMsgFileNotFound", text::kMsgFileNotFound},
      {"kMsgCannotRead", text::kMsgCannotRead},
      {"kMsgSaveCopyLeft", text::kMsgSaveCopyLeft},
      {"kSaveCopyListLabel", text::kSaveCopyListLabel},
      {"kSaveCopyCopyLabel", text::kSaveCopyCopyLabel},
      {"kMsgOverwrite", text::kMsgOverwrite},
      {"kMsgNeedExtension", text::kMsgNeedExtension},
      {"kStartMenuPrograms", text::kStartMenuPrograms},
      {"kOpenDialog1Title", text::kOpenDialog1Title},
      {"kHelpFileName", text::kHelpFileName},
      {"kHelpPageName", text::kHelpPageName},
      {"kMsgHelpNotFound", text::kMsgHelpNotFound},
      {"kMsgHelpNoProgram", text::kMsgHelpNoProgram},
      {"kMsgHelpNotOpened", text::kMsgHelpNotOpened},
      {"kFontName", text::kFontName},
      {"kButtonBrowse", text::kButtonBrowse},
      {"kButtonUp", text::kButtonUp},
      {"kButtonDown", text::kButtonDown},
      {"kButtonErase", text::kButtonErase},
      {"kButtonInfo", text::kButtonInfo},
      {"kHintUp", text::kHintUp},
      {"kHintErase", text::kHintErase},
      {"kHintDown", text::kHintDown},
      {"kHintAdd", text::kHintAdd},
      {"kHintDel", text::kHintDel},
      {"kHintInfo", text::kHintInfo},
      {"kCheckRunning", text::kCheckRunning},
      {"kLabelList", text::kLabelList},
      {"kLabelFile", text::kLabelFile},
      {"kLabelParams", text::kLabelParams},
      {"kLabelFolder", text::kLabelFolder},
      {"kLabelWindow", text::kLabelWindow},
      {"kListDefaultAction", text::kListDefaultAction},
      {"kMenuFile", text::kMenuFile},
      {"kMenuNew", text::kMenuNew},
      {"kMenuOpen", text::kMenuOpen},
      {"kMenuSaveAs", text::kMenuSaveAs},
      {"kMenuExit", text::kMenuExit},
      {"kMenuHelp", text::kMenuHelp},
      {"kMenuHelpTopics", text::kMenuHelpTopics},
      {"kMenuAbout", text::kMenuAbout},
      {"kFilterRun", text::kFilterRun},
      {"kFilterList", text::kFilterList},
      {"kUnexpectedError", text::kUnexpectedError},
      {"kOutOfMemory", text::kOutOfMemory},
  };
  return texts;
}

bool IsWord(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The C++ word after each `before` in `code` (after spaces), with the text that follows it.
std::vector<std::pair<std::string, std::string_view>> WordsAfter(const std::string& code,
                                                                 const std::string& before) {
  std::vector<std::pair<std::string, std::string_view>> found;
  for (size_t at = code.find(before); at != std::string::npos; at = code.find(before, at + 1)) {
    size_t i = at + before.size();
    while (i < code.size() && std::isspace(static_cast<unsigned char>(code[i]))) ++i;
    const size_t start = i;
    while (i < code.size() && IsWord(code[i])) ++i;
    if (i > start)
      found.push_back({code.substr(start, i - start), std::string_view(code).substr(i)});
  }
  return found;
}

TEST(HelpSource, EveryProgramTextCanBeCheckedByName) {
  std::set<std::string> declared;
  for (const auto& [name, rest] : WordsAfter(SourceFile("texts/texts.h"), "extern const char")) {
    declared.insert(name);
  }
  std::set<std::string> known;
  for (const auto& [name, value] : ProgramTexts()) known.insert(name);
  EXPECT_EQ(known, declared) << "ProgramTexts() must name every text of texts/texts.h";
}

TEST(HelpSource, QuotationsAreTheProgramsTextsByteForByte) {
  const std::map<std::string, const char*>& texts = ProgramTexts();
  const helpc::HelpSource help = helpc::ParseHelpSource(ReadFile(PALLOMAR_HELP_SOURCE));
  ASSERT_GT(help.quotes.size(), 40u);
  for (const helpc::Quote& quote : help.quotes) {
    SCOPED_TRACE("help/pallomar.txt:" + std::to_string(quote.line) + " " + quote.name);
    const auto found = texts.find(quote.name);
    ASSERT_NE(found, texts.end()) << "quotes a text the program does not have";
    EXPECT_EQ(quote.text.sjis, AsShown(found->second)) << quote.text.utf8;
  }
}

// The texts the editor can show in a message box or its error box, found in its own code:
// the texts its commands hand to a box, and the messages of every error it raises that the
// error box shows (for a file error, every Windows error number a file call can give).
std::set<std::string> MessagesTheEditorCanShow() {
  std::string code;
  for (const char* folder : {"main/src", "platform/src", "entrylist/src"}) {
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(PALLOMAR_SOURCE_DIR) / folder)) {
      if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h") {
        code += ReadFile(entry.path());
      }
    }
  }
  std::set<std::string> shown;
  // "message = " is the help command's box, whose text is picked before it is shown.
  for (const char* box : {"ShowMessageBox(", "ShowErrorBox(", "message = "}) {
    for (const auto& [word, rest] : WordsAfter(code, box)) {
      if (word == "text" && rest.starts_with("::")) {
        const size_t end = std::find_if_not(rest.begin() + 2, rest.end(), IsWord) - rest.begin();
        shown.insert(std::string(rest.substr(2, end - 2)));
      }
    }
  }

  // An error's message is named by the text of the error mapping that gives it.
  std::set<std::string> mappingNames;
  for (const auto& [word, rest] : WordsAfter(SourceFile("entrylist/src/errors.cpp"), "text::")) {
    mappingNames.insert(word);
  }
  const auto nameOf = [&](const std::string& message) {
    std::vector<std::string> names;
    for (const std::string& name : mappingNames) {
      const std::string pattern = ProgramTexts().at(name);
      const size_t blank = std::min(pattern.find("%s"), pattern.find("%d"));
      const bool matches = blank == std::string::npos
                               ? message == pattern
                               : message.size() >= pattern.size() - 2 &&
                                     message.compare(0, blank, pattern, 0, blank) == 0 &&
                                     message.compare(message.size() - (pattern.size() - blank - 2),
                                                     std::string::npos, pattern, blank + 2) == 0;
      if (matches) names.push_back(name);
    }
    if (names.size() == 1) {
      shown.insert(names[0]);
    } else {
      ADD_FAILURE() << "no one text of the error mapping gives " << message;
    }
  };
  std::set<std::string> raised;
  for (const auto& [error, rest] : WordsAfter(code, "throw ")) {
    if (error.empty() || error[0] != 'E') continue;  // a rethrow or the library's own
    raised.insert(error);
    const std::string argument(rest.substr(1, rest.find(')') - 1));
    if (error == "EConvertError") {
      nameOf(pallomar::EConvertError("abc").what());
    } else if (error == "ETooLongError") {
      using What = pallomar::ETooLongError::What;
      const std::map<std::string, What> whats = {
          {"ETooLongError::What::ListFile", What::ListFile},
          {"ETooLongError::What::ListFileLine", What::ListFileLine},
          {"ETooLongError::What::EntryText", What::EntryText}};
      if (!whats.count(argument)) {
        ADD_FAILURE() << "an unknown ETooLongError: " << argument;
        continue;
      }
      nameOf(pallomar::ETooLongError(whats.at(argument)).what());
    } else if (error == "EInOutError") {
      if (!argument.empty() && std::isdigit(static_cast<unsigned char>(argument[0]))) {
        nameOf(pallomar::InOutErrorMessage(std::stoi(argument)));
        continue;
      }
      // The host's own number: every number past the mapping's table gives the same text.
      // 100, 101 and 106 are the mapping's own codes, which no file call gives (Windows has
      // semaphore errors there).
      for (int number = 1; number <= 1200; ++number) {
        if (number != 100 && number != 101 && number != 106) {
          nameOf(pallomar::InOutErrorMessage(number));
        }
      }
    } else {
      ADD_FAILURE() << "the editor raises " << error << ": say here which message it shows";
    }
  }
  EXPECT_TRUE(raised.count("EInOutError")) << "the search for raised errors found none";
  return shown;
}

// The messages topic lists every message the editor can show, each in a paragraph of its own
// that starts with its quotation, and no message the editor never shows.
TEST(HelpSource, MessagesTopicListsExactlyTheMessagesTheEditorShows) {
  const helpc::HelpSource help = helpc::ParseHelpSource(ReadFile(PALLOMAR_HELP_SOURCE));
  const auto topic = std::find_if(help.topics.begin(), help.topics.end(),
                                  [](const helpc::Topic& t) { return t.context == "messages"; });
  ASSERT_NE(topic, help.topics.end());
  std::set<std::string> listed;
  for (const helpc::Paragraph& p : topic->paragraphs) {
    // A paragraph that lists a message starts with its quotation, after the opening 「.
    const auto first = std::find_if(p.runs.begin(), p.runs.end(),
                                    [](const helpc::Run& r) { return !r.quote.empty(); });
    if (p.bullet || first == p.runs.end()) continue;
    if (first == p.runs.begin() || (first == p.runs.begin() + 1 && p.runs[0].text.utf8 == "「")) {
      listed.insert(first->quote);
    }
  }
  const std::set<std::string> shown = MessagesTheEditorCanShow();
  for (const std::string& name : shown) {
    EXPECT_TRUE(listed.count(name)) << "the editor can show " << name << ", the help omits it";
  }
  for (const std::string& name : listed) {
    EXPECT_TRUE(shown.count(name)) << "the help lists " << name << ", the editor never shows it";
  }
}

// The list under the window's picture names each numbered part by its caption in the real
// window, as scripts/help-picture.sh found them beside the picture: "(N)" and then, first
// quoted, what part N shows (the title bar also the list's path after it).
TEST(HelpSource, PictureLegendNamesTheWindowsPartsInTheirNumbers) {
  std::vector<std::string> parts;  // caption of part N at N - 1
  std::istringstream lines(SourceFile("help/window-parts.txt"));
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    ASSERT_EQ(fields.size(), 6u) << line;
    ASSERT_EQ(fields[0], std::to_string(parts.size() + 1)) << line;
    parts.push_back(AsShown(fields[5]));
  }
  ASSERT_GT(parts.size(), 10u);

  const helpc::HelpSource help = helpc::ParseHelpSource(ReadFile(PALLOMAR_HELP_SOURCE));
  const auto topic = std::find_if(help.topics.begin(), help.topics.end(),
                                  [](const helpc::Topic& t) { return t.context == "window"; });
  ASSERT_NE(topic, help.topics.end());
  ASSERT_EQ(topic->pictures.size(), 1u);
  EXPECT_EQ(topic->pictures[0].file, "window.png");
  size_t next = 1;
  for (size_t i = topic->pictures[0].before; i < topic->paragraphs.size(); ++i) {
    const helpc::Paragraph& p = topic->paragraphs[i];
    const std::string number = "(" + std::to_string(next) + ") ";
    if (!p.bullet || p.runs.empty() || !p.runs[0].text.utf8.starts_with(number)) break;
    SCOPED_TRACE("help/pallomar.txt:" + std::to_string(p.line));
    const auto quote = std::find_if(p.runs.begin(), p.runs.end(),
                                    [](const helpc::Run& r) { return !r.quote.empty(); });
    ASSERT_NE(quote, p.runs.end()) << "part " << next << " is not named by its caption";
    EXPECT_TRUE(parts[next - 1].starts_with(quote->text.utf8))
        << "part " << next << " shows " << parts[next - 1] << ", the help names "
        << quote->text.utf8;
    if (++next > parts.size()) break;
  }
  EXPECT_EQ(next, parts.size() + 1) << "the list under the picture stops before the last part";
}

}  // namespace
