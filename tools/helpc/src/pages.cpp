// The contents file and the HTML page: the same topics as the help file, for the Help Topics
// window of real viewers and for systems that have no viewer at all.
#include "outputs.h"

namespace helpc {
namespace {

std::string Escape(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Html(const helpc::Paragraph& p) {
  std::string out;
  bool bold = false;
  for (const Run& run : p.runs) {
    if (run.bold != bold && !run.lineBreak) {
      out += run.bold ? "<strong>" : "</strong>";
      bold = run.bold;
    }
    if (run.lineBreak) {
      out += "<br>";
    } else if (!run.link.empty()) {
      out += "<a href=\"#" + run.link + "\">" + Escape(run.text.utf8) + "</a>";
    } else {
      out += Escape(run.text.utf8);
    }
  }
  if (bold) out += "</strong>";
  return out;
}

}  // namespace

std::string WriteContentsFile(const HelpSource& help, const std::string& helpName) {
  std::string out;
  const auto line = [&out](const std::string& text) { out += text + "\r\n"; };
  line(":Base " + helpName);
  line(":Title " + help.title.sjis);
  line("1 " + help.title.sjis);
  for (const Topic& topic : help.topics) line("2 " + topic.title.sjis + "=" + topic.context);
  return out;
}

// Windows' own UI fonts first, then what other systems have; printed without the links'
// colour and with each topic kept off a page break where it fits.
constexpr const char* kStyle =
    "body{font-family:\"Yu Gothic UI\",\"Meiryo\",\"MS PGothic\",sans-serif;"
    "max-width:48em;margin:1em auto;padding:0 1em;line-height:1.6}\n"
    "section{border-top:1px solid #ccc;margin-top:1.5em}\n"
    "p.back{font-size:90%}\n"
    "@media print{nav,p.back{display:none}a{color:inherit;text-decoration:none}"
    "section{break-inside:avoid}body{max-width:none}}\n";

std::string WriteHtmlPage(const HelpSource& help) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      Escape(help.title.utf8) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n";
  // The page opens at its top, so the contents come first and list every topic; the first
  // topic's own jump list is the viewer's contents and is not repeated.
  const std::string top = help.topics.empty() ? "top" : help.topics.front().context;
  out += "<h1 id=\"" + top + "\">" + Escape(help.title.utf8) + "</h1>\n";
  if (!help.topics.empty()) {
    for (const helpc::Paragraph& p : help.topics.front().paragraphs)
      if (!p.bullet) out += "<p>" + Html(p) + "</p>\n";
  }
  out += "<nav>\n<h2>目次</h2>\n<ul>\n";
  for (std::size_t i = 1; i < help.topics.size(); ++i) {
    const Topic& t = help.topics[i];
    out += "<li><a href=\"#" + t.context + "\">" + Escape(t.title.utf8) + "</a></li>\n";
  }
  out += "</ul>\n</nav>\n";
  for (std::size_t i = 1; i < help.topics.size(); ++i) {
    const Topic& topic = help.topics[i];
    out += "<section id=\"" + topic.context + "\">\n<h2>" + Escape(topic.title.utf8) + "</h2>\n";
    bool inList = false;
    for (const helpc::Paragraph& p : topic.paragraphs) {
      if (p.bullet && !inList) out += "<ul>\n";
      if (!p.bullet && inList) out += "</ul>\n";
      inList = p.bullet;
      out += (p.bullet ? "<li>" : "<p>") + Html(p) + (p.bullet ? "</li>\n" : "</p>\n");
    }
    if (inList) out += "</ul>\n";
    out += "<p class=\"back\"><a href=\"#" + top + "\">目次に戻る</a></p>\n</section>\n";
  }
  if (!help.copyright.utf8.empty()) out += "<footer>" + Escape(help.copyright.utf8) + "</footer>\n";
  return out + "</body>\n</html>\n";
}

}  // namespace helpc
