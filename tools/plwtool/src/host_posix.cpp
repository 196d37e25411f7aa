// Linux and other POSIX hosts: iconv from the C library, a UTF-8 terminal, and no view of the
// Windows paths a list names.
#include <iconv.h>

#include <cerrno>
#include <cstdio>

#include "host.h"

namespace plwtool {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// One converter per direction and thread, opened once: texts are converted a character at a
// time for display.
iconv_t Converter(bool toUtf8) {
  thread_local const iconv_t sjisToUtf8 = iconv_open("UTF-8", "CP932");
  thread_local const iconv_t utf8ToSjis = iconv_open("CP932", "UTF-8");
  return toUtf8 ? sjisToUtf8 : utf8ToSjis;
}

// The whole text through one conversion; nullopt at the first byte it cannot take.
std::optional<std::string> Convert(bool toUtf8, std::string_view text) {
  iconv_t cd = Converter(toUtf8);
  if (cd == kNoConverter) return std::nullopt;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  std::string out(text.size() * 3 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  bool ok = true;
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) {
      const std::size_t used = out.size() - dstLeft;
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
      continue;
    }
    ok = false;  // EILSEQ or EINVAL: a byte sequence with no meaning, or cut short
    break;
  }
  if (!ok) return std::nullopt;
  out.resize(out.size() - dstLeft);
  return out;
}

}  // namespace

std::optional<std::string> SjisToUtf8(std::string_view sjis) {
  auto utf8 = Convert(true, sjis);
  if (!utf8) return std::nullopt;
  // Code page 932 maps some characters twice (NEC and IBM rows): such bytes must keep their
  // raw form, or importing the export would change them.
  const auto back = Convert(false, *utf8);
  if (!back || *back != sjis) return std::nullopt;
  return utf8;
}

std::optional<std::string> Utf8ToSjis(std::string_view utf8) {
  auto sjis = Convert(false, utf8);
  if (!sjis) return std::nullopt;
  // The converter writes some characters as the bytes of another (U+00A5 as 0x5C, which reads
  // back as a backslash): only a text that reads back as it was has a Shift-JIS form.
  const auto back = Convert(true, *sjis);
  if (!back || *back != utf8) return std::nullopt;
  return sjis;
}

Host CurrentHost() {
  Host h;
  h.toTerminal = [](std::string_view s) { return std::string(s); };
  h.nameToUtf8 = [](std::string_view s) { return std::string(s); };
  h.seesListPaths = false;
  h.inputFailed = [] { return std::ferror(stdin) != 0; };
  return h;
}

}  // namespace plwtool
