// The help source: a small line-based text format, UTF-8, parsed into topics whose texts are
// held both as UTF-8 (for the HTML page) and as Shift-JIS (for the help file and its contents).
//
//   # comment
//   .title Pallomar ヘルプ          the help file's title
//   .copyright ...                   optional
//   .font {kFontName:名前}           optional: the text's face, quoting the program's own
//                                    font (the window's), so both show the help alike
//   .topic NAME タイトル             starts a topic; the first one is the contents topic
//   .keywords 語1; 語2               index keywords of the current topic
//   text lines                       a paragraph; consecutive lines are joined
//   * text                           a bullet item
//   .picture FILE 説明               a PNG picture beside the source, with its caption; only
//                                    the HTML page shows pictures
//   (empty line)                     ends a paragraph
//
// Inside text: **bold**, [[NAME|jump text]] a jump to topic NAME, and {kName:text} a
// quotation of the program's own text kName (\n in it is a line break).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace helpc {

// A text in both encodings.
struct Text {
  std::string utf8;
  std::string sjis;
};

struct Run {
  Text text;
  bool bold = false;
  bool lineBreak = false;  // a line break, no text
  std::string link;        // context name of the jump target, or empty
  std::string quote;       // the program's text it quotes (kName), or empty
};

// An index keyword and the .keywords line it comes from.
struct Keyword : Text {
  int line = 0;
};

struct Paragraph {
  bool bullet = false;
  std::vector<Run> runs;
  int line = 0;
};

// A picture of the HTML page. The help file has no room for it: its topics read whole without.
struct Picture {
  std::string file;  // a plain file name in the source's folder
  Text caption;
  size_t before = 0;  // shown before paragraphs[before] of its topic
  int line = 0;
  std::string png;     // the file's bytes, once LoadPictures has read them
  unsigned width = 0;  // pixels, from the PNG header
  unsigned height = 0;
};

struct Topic {
  std::string context;
  Text title;
  std::vector<Keyword> keywords;
  std::vector<Paragraph> paragraphs;
  std::vector<Picture> pictures;
  int line = 0;
};

// A quotation of the program's own text: its name and the text as written in the source.
struct Quote {
  std::string name;
  Text text;  // \n stands for a line feed here, as in the program's texts
  int line = 0;
};

struct HelpSource {
  Text title;
  Text copyright;
  Text font;  // empty: the viewer's and the browser's own
  int titleLine = 0;
  int copyrightLine = 0;
  int fontLine = 0;
  std::vector<Topic> topics;  // topics[0] is the contents topic
  std::vector<Quote> quotes;
};

// A source the compiler refuses, with the line that caused it (1-based).
class SourceError : public std::runtime_error {
 public:
  SourceError(int line, const std::string& message) : std::runtime_error(message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// Parses and checks a whole source. Throws SourceError on the first fault. What only the help
// file's layout limits (lengths of titles, paragraphs, keywords) WriteHelpFile refuses, also
// with a SourceError.
HelpSource ParseHelpSource(const std::string& utf8Source);

// Reads every picture's file from `folder` (empty, or ending in its separator); refuses, at its
// .picture line, a file that cannot be read or is not a PNG picture.
void LoadPictures(HelpSource& help, const std::string& folder);

// Shift-JIS (code page 932) form of a UTF-8 text; false when the input is not UTF-8 or some
// character has no Shift-JIS form that reads back as the same character (no best-fit
// substitutes such as U+00A5 for the backslash byte).
bool ToShiftJis(const std::string& utf8, std::string& sjis);

}  // namespace helpc
