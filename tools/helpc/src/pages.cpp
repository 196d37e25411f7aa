// The contents file and the HTML page: the same topics as the help file, for the Help Topics
// window of real viewers and for systems that have no viewer at all.
#include <algorithm>
#include <stdexcept>

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

// The standard base64 alphabet, padded with '=': what a data: address carries.
std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t at = 0; at < bytes.size(); at += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - at);
    uint32_t group = 0;
    for (size_t i = 0; i < 3; ++i) {
      group = group << 8 | (i < n ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    }
    for (size_t i = 0; i < 4; ++i) {
      out += i <= n ? kDigits[(group >> (18 - 6 * i)) & 0x3F] : '=';
    }
  }
  return out;
}

// A picture embedded in the page, so that the page stays one file.
std::string Figure(const Picture& picture) {
  if (picture.png.empty()) throw std::logic_error("a picture that was never read: " + picture.file);
  const std::string caption = Escape(picture.caption.utf8);
  return "<figure>\n<img src=\"data:image/png;base64," + Base64(picture.png) + "\" width=\"" +
         std::to_string(picture.width) + "\" height=\"" + std::to_string(picture.height) +
         "\" alt=\"" + caption + "\">\n<figcaption>" + caption + "</figcaption>\n</figure>\n";
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

// Windows' own UI fonts first, then the help's face (the program's), then what other systems
// have; printed without the links' colour and with each topic kept off a page break where it
// fits.
std::string Style(const HelpSource& help) {
  const std::string face = help.font.utf8.empty() ? "" : "\"" + help.font.utf8 + "\",";
  return "body{font-family:\"Yu Gothic UI\",\"Meiryo\"," + face +
         "sans-serif;max-width:48em;margin:1em auto;padding:0 1em;line-height:1.6}\n"
         "section{border-top:1px solid #ccc;margin-top:1.5em}\n"
         "p.back{font-size:90%}\n"
         "figure{margin:1em 0}figure img{max-width:100%;height:auto}figcaption{font-size:90%}\n"
         "@media print{nav,p.back{display:none}a{color:inherit;text-decoration:none}"
         "section,figure{break-inside:avoid}body{max-width:none}}\n";
}

std::string WriteHtmlPage(const HelpSource& help) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      Escape(help.title.utf8) + "</title>\n<style>\n" + Style(help) + "</style>\n</head>\n<body>\n";
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
    auto picture = topic.pictures.begin();
    for (std::size_t at = 0; at <= topic.paragraphs.size(); ++at) {
      for (; picture != topic.pictures.end() && picture->before == at; ++picture) {
        if (inList) out += "</ul>\n";
        inList = false;
        out += Figure(*picture);
      }
      if (at == topic.paragraphs.size()) break;
      const helpc::Paragraph& p = topic.paragraphs[at];
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
