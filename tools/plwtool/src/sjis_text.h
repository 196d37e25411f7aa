// A list's Shift-JIS texts, converted and walked: ASCII passes as it is, and a long text goes
// in pieces of whole characters.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host.h"

namespace plwtool {

// Without an early exit, so that the compiler can take many bytes a step.
inline bool IsAscii(std::string_view text) {
  unsigned char any = 0;
  for (const char c : text) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

// Both conversions leave ASCII as it is (0x5C and 0x7E included), so most texts skip them.
inline std::optional<std::string> ToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  return SjisToUtf8(sjis);
}
inline std::optional<std::string> ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Utf8ToSjis(utf8);
}

// Long texts are converted and written in pieces of this many bytes or so, whole characters.
inline constexpr std::size_t kTextPiece = 64 * 1024;

// The end of a piece that starts `kTextPiece` or more bytes before the end of `sjis`.
std::size_t LongPieceEnd(std::string_view sjis, std::size_t from);

// The end of the piece of `sjis` that starts at `from`.
inline std::size_t PieceEnd(std::string_view sjis, std::size_t from) {
  return sjis.size() - from <= kTextPiece ? sjis.size() : LongPieceEnd(sjis, from);
}

template <typename F>
void ForPieces(std::string_view sjis, F&& f) {
  for (std::size_t from = 0; from < sjis.size();) {
    const std::size_t end = PieceEnd(sjis, from);
    f(sjis.substr(from, end - from));
    from = end;
  }
}

}  // namespace plwtool
