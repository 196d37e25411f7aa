// The tool's one reading of UTF-8 bytes (sequences, code points, control characters) and of
// the hexadecimal digits its texts show bytes in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plwtool {

// Length of the well-formed UTF-8 sequence whose bytes `at(0)`, `at(1)`, ... give, or 0:
// overlong forms, surrogates and code points above U+10FFFF are not well formed.
// Inlined: display widths and JSON strings ask it for every character that is not ASCII.
template <typename At>
[[gnu::always_inline]] inline std::size_t Utf8SequenceLength(At at) {
  const unsigned c = at(0);
  const auto cont = [&](std::size_t k) { return (at(k) & 0xC0u) == 0x80u; };
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (c == 0xE0 && at(1) < 0xA0) return 0;   // overlong
    if (c == 0xED && at(1) >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (c == 0xF0 && at(1) < 0x90) return 0;
    if (c == 0xF4 && at(1) >= 0x90) return 0;
    return 4;
  }
  return 0;
}

// The same for the sequence at `i` of `utf8`; bytes past its end read as 0.
inline std::size_t Utf8SequenceLengthAt(std::string_view utf8, std::size_t i) {
  return Utf8SequenceLength([&](std::size_t k) {
    return i + k < utf8.size() ? static_cast<unsigned char>(utf8[i + k]) : 0u;
  });
}

// Bytes of the character at `i`, for stepping: a well-formed sequence, else the one byte (as
// ShownUtf8 shows it).
inline std::size_t Utf8CharLength(std::string_view utf8, std::size_t i) {
  const std::size_t n = Utf8SequenceLengthAt(utf8, i);
  return n == 0 ? 1 : n;
}

// The code point of one well-formed character.
inline std::uint32_t DecodeUtf8(std::string_view ch) {
  const auto c = static_cast<unsigned char>(ch[0]);
  const std::size_t n = ch.size();
  std::uint32_t cp = n == 1 ? c : c & (0xFFu >> (n + 1));
  for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(ch[k]) & 0x3Fu);
  return cp;
}

// Appends the code point `cp` (at most U+10FFFF) as UTF-8.
inline void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (cp & 0x3F));
}

// C0 controls and DEL, which a terminal may act on.
inline bool IsAsciiControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// U+0080..U+009F at `i`: controls too (Windows reads byte 0x80 as one, and terminals may act
// on them).
inline bool IsC1ControlAt(std::string_view utf8, std::size_t i) {
  if (i + 1 >= utf8.size() || utf8[i] != '\xC2') return false;
  const auto next = static_cast<unsigned char>(utf8[i + 1]);
  return next >= 0x80 && next <= 0x9F;
}

inline bool HasC1Control(std::string_view utf8) {
  for (std::size_t i = utf8.find('\xC2'); i != std::string_view::npos;
       i = utf8.find('\xC2', i + 1)) {
    if (IsC1ControlAt(utf8, i)) return true;
  }
  return false;
}

// --- Hexadecimal ---------------------------------------------------------------------------------

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// A hexadecimal digit's value, either case; -1 for any other byte.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends a byte as two upper-case digits.
inline void AppendHexByte(std::string& out, unsigned char c) {
  out += kHexDigits[c >> 4];
  out += kHexDigits[c & 0xF];
}

}  // namespace plwtool
