#include "shown_text.h"

#include <cstdint>

#include "entrylist/entry_fields.h"
#include "sjis_text.h"
#include "utf8.h"

namespace plwtool {

namespace {

bool HasControl(std::string_view sjis) {
  bool any = false;
  for (const char c : sjis) any |= IsAsciiControl(static_cast<unsigned char>(c));
  return any;
}

// DisplayText of a piece that holds whole characters.
std::string DisplayPiece(std::string_view sjis) {
  if (!HasControl(sjis)) {
    if (auto utf8 = ToUtf8(sjis); utf8 && !HasC1Control(*utf8)) return std::move(*utf8);
  }
  const pallomar::CodePage& cp = pallomar::ListCodePage();  // once per walk
  std::string out;
  std::size_t i = 0;
  while (i < sjis.size()) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const std::size_t n = cp.CharLength(sjis, i);
    if (!IsAsciiControl(c)) {
      if (const auto utf8 = ToUtf8(sjis.substr(i, n)); utf8 && !HasC1Control(*utf8)) {
        out += *utf8;
        i += n;
        continue;
      }
    }
    // Only this byte is shown raw: the next one may be a character of its own.
    out += "\\x";
    AppendHexByte(out, c);
    ++i;
  }
  return out;
}

// The start of `sjis`, at most `chars` characters; `cut` when there was more.
std::string ShownStart(std::string_view sjis, std::size_t chars, bool& cut) {
  const pallomar::CodePage& cp = pallomar::ListCodePage();  // once per walk
  std::size_t i = 0;
  for (std::size_t n = 0; n < chars && i < sjis.size(); ++n) i += cp.CharLength(sjis, i);
  cut = i < sjis.size();
  return DisplayText(sjis.substr(0, i));
}

// The bytes of the first `chars` characters of `utf8`.
std::size_t Utf8Prefix(std::string_view utf8, std::size_t chars) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < chars && i < utf8.size(); ++n) i += Utf8CharLength(utf8, i);
  return i;
}

}  // namespace

void ForDisplayText(std::string_view sjis, const std::function<void(std::string_view)>& piece) {
  ForPieces(sjis, [&](std::string_view p) { piece(DisplayPiece(p)); });
}

std::string DisplayText(std::string_view sjis) {
  if (sjis.size() <= kTextPiece) return DisplayPiece(sjis);
  std::string out;
  ForDisplayText(sjis, [&](std::string_view p) { out += p; });
  return out;
}

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {  // most of a list is ASCII
      ++width;
      ++i;
      continue;
    }
    const std::size_t n = Utf8CharLength(utf8, i);
    const std::uint32_t cp = DecodeUtf8(utf8.substr(i, n));
    width += (cp < 0x1100 || (cp >= 0xFF61 && cp <= 0xFF9F)) ? 1 : 2;
    i += n;
  }
  return width;
}

std::string ShownStart(std::string_view sjis, std::size_t chars) {
  bool cut = false;
  std::string out = ShownStart(sjis, chars, cut);
  if (cut) out += "...";
  return out;
}

std::string Quoted(std::string_view sjis, std::size_t chars) {
  bool cut = false;
  // Appended, not prepended: GCC 12 warns falsely on inserting before a moved-from string.
  std::string out = "\"";
  out += ShownStart(sjis, chars, cut);
  out += cut ? "\"..." : "\"";
  return out;
}

std::string BoundedUtf8(std::string_view utf8, std::size_t chars) {
  const std::size_t i = Utf8Prefix(utf8, chars);
  std::string out = ShownUtf8(utf8.substr(0, i));
  if (i < utf8.size()) out += "...";
  return out;
}

std::string QuotedUtf8(std::string_view utf8, std::size_t chars) {
  const std::size_t i = Utf8Prefix(utf8, chars);
  std::string out = "\"";
  out += ShownUtf8(utf8.substr(0, i));
  out += i < utf8.size() ? "\"..." : "\"";
  return out;
}

std::string ShownUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::size_t n = 1;
    bool shown = !IsAsciiControl(c);
    if (c >= 0x80) {
      n = Utf8SequenceLengthAt(utf8, i);
      shown = n != 0 && !IsC1ControlAt(utf8, i);
      if (!shown) n = 1;
    }
    if (shown) {
      out.append(utf8.substr(i, n));
    } else {
      out += "\\x";
      AppendHexByte(out, c);
    }
    i += n;
  }
  return out;
}

}  // namespace plwtool
