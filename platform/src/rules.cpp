// Text rules of the platform services that need no window.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "entrylist/codepage.h"
#include "entrylist/paths.h"
#include "platform/platform.h"

namespace pallomar::platform {

std::vector<std::string> SplitFilter(std::string_view filter, const CodePage& cp) {
  std::vector<std::string> parts;
  if (filter.empty()) return parts;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < filter.size()) {
    if (filter[i] == '|') {
      parts.emplace_back(filter.substr(start, i - start));
      start = ++i;
      continue;
    }
    i += cp.CharLength(filter, i);
  }
  parts.emplace_back(filter.substr(start));
  return parts;
}

std::string ApplicationTitleFor(std::string_view exePath, const CodePage& cp) {
  std::string_view name = exePath;
  const std::size_t slash = LastDelimiter(exePath, "\\", cp);
  if (slash != std::string_view::npos) name = exePath.substr(slash + 1);

  // Cut at the first "." that is a whole character.
  std::size_t i = 0;
  while (i < name.size() && name[i] != '.') i += cp.CharLength(name, i);
  name = name.substr(0, i);

  std::string title(name);
  if (title.empty()) return title;
  const std::size_t first = cp.CharLength(title, 0);
  std::string rest = title.substr(first);
  cp.Lower(rest);
  title.replace(first, std::string::npos, rest);
  return title;
}

std::string ErrorBoxText(std::string_view message, const CodePage& cp) {
  std::string text(message);
  if (message.empty()) return text;
  std::size_t last = 0;
  for (std::size_t i = 0; i < message.size(); i += cp.CharLength(message, i)) last = i;
  if (static_cast<unsigned char>(message[last]) > 0x2E) text += '.';
  return text;
}

HelpKind HelpFor(const WindowsVersion& v) {
  if (v.major >= 10) return HelpKind::HtmlPage;
  // Server 2012 is 6.2: its viewer was never offered, not even as a download.
  if (v.server && v.major == 6 && v.minor >= 2) return HelpKind::HtmlPage;
  return HelpKind::ViewerFile;
}

}  // namespace pallomar::platform
