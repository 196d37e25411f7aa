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

std::string WriteHtmlPage(const HelpSource& help) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      Escape(help.title.utf8) + "</title>\n</head>\n<body>\n";
  for (const Topic& topic : help.topics) {
    out += "<section id=\"" + topic.context + "\">\n<h2>" + Escape(topic.title.utf8) + "</h2>\n";
    bool inList = false;
    for (const helpc::Paragraph& p : topic.paragraphs) {
      if (p.bullet && !inList) out += "<ul>\n";
      if (!p.bullet && inList) out += "</ul>\n";
      inList = p.bullet;
      out += (p.bullet ? "<li>" : "<p>") + Html(p) + (p.bullet ? "</li>\n" : "</p>\n");
    }
    if (inList) out += "</ul>\n";
    out += "</section>\n";
  }
  if (!help.copyright.utf8.empty()) out += "<footer>" + Escape(help.copyright.utf8) + "</footer>\n";
  return out + "</body>\n</html>\n";
}

}  // namespace helpc
