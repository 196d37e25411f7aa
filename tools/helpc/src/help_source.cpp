#include "help_source.h"

#include <map>
#include <set>
#include <sstream>

#include "outputs.h"

namespace helpc {
namespace {

// Why a text does not convert: its first character that does not convert by itself (a long
// paragraph quoted whole would hide it).
std::string WhyUnconvertible(const std::string& utf8) {
  size_t at = 0;
  while (at < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const std::string character = utf8.substr(at, length);
    bool wellFormed = character.size() == length && (lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4));
    for (size_t i = 1; i < character.size(); ++i) {
      if ((static_cast<unsigned char>(character[i]) & 0xC0) != 0x80) wellFormed = false;
    }
    if (!wellFormed) return "text is not UTF-8";
    std::string ignored;
    if (!ToShiftJis(character, ignored)) return "text has no Shift-JIS form: " + character;
    at += length;
  }
  return "text has no Shift-JIS form: " + utf8;
}

Text Convert(const std::string& utf8, int line) {
  Text t;
  t.utf8 = utf8;
  if (!ToShiftJis(utf8, t.sjis)) {
    throw SourceError(line, WhyUnconvertible(utf8));
  }
  return t;
}

std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  const auto end = s.find_last_not_of(" \t");
  return s.substr(begin, end - begin + 1);
}

bool IsAsciiWord(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Context names are the characters every viewer hashes alike.
bool IsContextName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!IsAsciiWord(c) && c != '_' && c != '.') return false;
  }
  return true;
}

struct PendingLink {
  std::string target;
  int line;
};

class Parser {
 public:
  HelpSource Parse(const std::string& source) {
    std::istringstream in(source);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
      HandleLine(line, number);
    }
    EndParagraph();
    if (help_.topics.empty()) throw SourceError(number, "the source has no topic");
    if (help_.title.utf8.empty()) throw SourceError(1, "the source has no .title");
    for (const PendingLink& link : links_) {
      if (!contexts_.count(link.target)) {
        throw SourceError(link.line, "jump to an unknown topic: " + link.target);
      }
    }
    return std::move(help_);
  }

 private:
  void HandleLine(const std::string& raw, int number) {
    const std::string line = Trim(raw);
    if (line.empty()) {
      EndParagraph();
      return;
    }
    if (line[0] == '#') return;
    if (line[0] == '.') {
      EndParagraph();
      Directive(line, number);
      return;
    }
    if (help_.topics.empty()) throw SourceError(number, "text before the first .topic");
    if (line.rfind("* ", 0) == 0) {
      EndParagraph();
      paragraphText_ = Trim(line.substr(2));
      paragraphLine_ = number;
      bullet_ = true;
      return;
    }
    if (paragraphText_.empty()) {
      paragraphLine_ = number;
      paragraphText_ = line;
    } else {
      // Japanese runs on without spaces; only two Latin words need one between them.
      if (IsAsciiWord(paragraphText_.back()) && IsAsciiWord(line.front())) paragraphText_ += ' ';
      paragraphText_ += line;
    }
  }

  void Directive(const std::string& line, int number) {
    const auto space = line.find(' ');
    const std::string name = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : Trim(line.substr(space));
    if (name == ".title") {
      help_.title = Convert(rest, number);
      help_.titleLine = number;
    } else if (name == ".copyright") {
      help_.copyright = Convert(rest, number);
      help_.copyrightLine = number;
    } else if (name == ".font") {
      // Only a quotation: the face is the program's, never spelled here a second time.
      const size_t colon = rest.find(':');
      if (rest.size() < 4 || rest.front() != '{' || rest.back() != '}' ||
          colon == std::string::npos || colon == 1 || colon + 2 == rest.size()) {
        throw SourceError(number, ".font is a quotation {kName:face}: " + rest);
      }
      Quote quote;
      quote.name = rest.substr(1, colon - 1);
      quote.text = Convert(rest.substr(colon + 1, rest.size() - colon - 2), number);
      quote.line = number;
      // The page names it inside a CSS string.
      if (quote.text.utf8.find_first_of("\"\\<>{};") != std::string::npos) {
        throw SourceError(number, "a face name has none of \" \\ < > { } ;: " + quote.text.utf8);
      }
      help_.font = quote.text;
      help_.fontLine = number;
      help_.quotes.push_back(std::move(quote));
    } else if (name == ".topic") {
      const auto gap = rest.find(' ');
      Topic topic;
      topic.context = rest.substr(0, gap);
      topic.line = number;
      if (!IsContextName(topic.context)) {
        throw SourceError(number, "a context name is letters, digits, '_' and '.': " + rest);
      }
      if (gap == std::string::npos || Trim(rest.substr(gap)).empty()) {
        throw SourceError(number, "topic without a title: " + topic.context);
      }
      if (!contexts_.insert(topic.context).second) {
        throw SourceError(number, "duplicate context name: " + topic.context);
      }
      // Viewers find a topic by its name's hash alone (letters hash alike in either case).
      const auto [same, added] =
          hashes_.try_emplace(ContextHash(topic.context), topic.context, number);
      if (!added) {
        throw SourceError(number, "context name " + topic.context + " has the same hash as " +
                                      same->second.first + " (line " +
                                      std::to_string(same->second.second) + ")");
      }
      topic.title = Convert(Trim(rest.substr(gap)), number);
      help_.topics.push_back(std::move(topic));
    } else if (name == ".keywords") {
      if (help_.topics.empty()) throw SourceError(number, ".keywords before the first .topic");
      std::istringstream words(rest);
      std::string word;
      while (std::getline(words, word, ';')) {
        word = Trim(word);
        if (word.empty()) continue;
        Keyword keyword;
        static_cast<Text&>(keyword) = Convert(word, number);
        keyword.line = number;
        help_.topics.back().keywords.push_back(std::move(keyword));
      }
    } else if (name == ".picture") {
      if (help_.topics.empty()) throw SourceError(number, ".picture before the first .topic");
      const auto gap = rest.find(' ');
      Picture picture;
      picture.file = rest.substr(0, gap);
      picture.line = number;
      // A plain name: the source can reach no file outside its own folder.
      if (!IsContextName(picture.file) || !picture.file.ends_with(".png") ||
          picture.file.find("..") != std::string::npos) {
        throw SourceError(number, "a picture is a .png file beside the source: " + rest);
      }
      if (gap == std::string::npos || Trim(rest.substr(gap)).empty()) {
        throw SourceError(number, "picture without a caption: " + picture.file);
      }
      picture.caption = Convert(Trim(rest.substr(gap)), number);
      picture.before = help_.topics.back().paragraphs.size();
      help_.topics.back().pictures.push_back(std::move(picture));
    } else {
      throw SourceError(number, "unknown directive: " + name);
    }
  }

  void EndParagraph() {
    if (paragraphText_.empty()) {
      bullet_ = false;
      return;
    }
    Paragraph p;
    p.bullet = bullet_;
    p.line = paragraphLine_;
    ParseInline(paragraphText_, p);
    help_.topics.back().paragraphs.push_back(std::move(p));
    paragraphText_.clear();
    bullet_ = false;
  }

  void AddText(Paragraph& p, const std::string& utf8, bool bold, const std::string& link,
               const std::string& quote = "") {
    if (utf8.empty()) return;
    Run run;
    run.text = Convert(utf8, p.line);
    run.bold = bold;
    run.link = link;
    run.quote = quote;
    p.runs.push_back(std::move(run));
  }

  static size_t Find(const std::string& s, const char* what, size_t from, int line) {
    const size_t at = s.find(what, from);
    if (at == std::string::npos) throw SourceError(line, std::string("missing ") + what);
    return at;
  }

  void ParseInline(const std::string& s, Paragraph& p) {
    bool bold = false;
    std::string plain;
    size_t i = 0;
    const auto flush = [&] {
      AddText(p, plain, bold, "");
      plain.clear();
    };
    while (i < s.size()) {
      if (s.compare(i, 2, "**") == 0) {
        flush();
        bold = !bold;
        i += 2;
      } else if (s.compare(i, 2, "[[") == 0) {
        flush();
        const size_t end = Find(s, "]]", i, p.line);
        const std::string inner = s.substr(i + 2, end - i - 2);
        const size_t bar = inner.find('|');
        if (bar == std::string::npos || bar == 0 || bar + 1 == inner.size()) {
          throw SourceError(p.line, "a jump is [[NAME|text]]: " + inner);
        }
        links_.push_back({inner.substr(0, bar), p.line});
        AddText(p, inner.substr(bar + 1), bold, inner.substr(0, bar));
        i = end + 2;
      } else if (s[i] == '{') {
        flush();
        const size_t end = Find(s, "}", i, p.line);
        const std::string inner = s.substr(i + 1, end - i - 1);
        const size_t colon = inner.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == inner.size()) {
          throw SourceError(p.line, "a quotation is {kName:text}: " + inner);
        }
        Quote quote;
        quote.name = inner.substr(0, colon);
        quote.line = p.line;
        std::string text = inner.substr(colon + 1);
        std::string lines;
        for (size_t at = 0; at < text.size(); ++at) {
          if (text.compare(at, 2, "\\n") == 0) {
            lines += '\n';
            ++at;
          } else {
            lines += text[at];
          }
        }
        quote.text = Convert(lines, p.line);
        // Shown as the program shows it: each line feed breaks the line.
        size_t start = 0;
        for (size_t at = 0; at <= lines.size(); ++at) {
          if (at == lines.size() || lines[at] == '\n') {
            AddText(p, lines.substr(start, at - start), bold, "", quote.name);
            if (at < lines.size()) {
              Run br;
              br.lineBreak = true;
              br.quote = quote.name;
              p.runs.push_back(br);
            }
            start = at + 1;
          }
        }
        help_.quotes.push_back(std::move(quote));
        i = end + 1;
      } else {
        plain += s[i++];
      }
    }
    flush();
    if (bold) throw SourceError(p.line, "** is not closed");
  }

  HelpSource help_;
  std::set<std::string> contexts_;
  std::map<uint32_t, std::pair<std::string, int>> hashes_;  // hash: name, line
  std::vector<PendingLink> links_;
  std::string paragraphText_;
  int paragraphLine_ = 0;
  bool bullet_ = false;
};

}  // namespace

HelpSource ParseHelpSource(const std::string& utf8Source) { return Parser().Parse(utf8Source); }

}  // namespace helpc
