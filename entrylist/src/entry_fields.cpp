#include "entrylist/entry_fields.h"

#include <limits>

namespace pallomar {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hexadecimal digits to the end of `digits`, as a 32-bit two's-complement value.
std::optional<std::int32_t> ParseHex(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint32_t value = 0;
  int significant = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    if (significant > 0 || d != 0) ++significant;
    if (significant > 8) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseDecimal(std::string_view digits, bool negative) {
  if (digits.empty()) return std::nullopt;
  // One past the magnitude of the lowest int32, so both bounds are checked on the way.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kLimit) return std::nullopt;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::string_view rest = text.substr(i);
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    return ParseHex(rest.substr(1));
  }
  if (rest.starts_with("0x") || rest.starts_with("0X")) return ParseHex(rest.substr(2));
  return ParseDecimal(rest, negative);
}

}  // namespace

std::optional<std::int32_t> TryStrToInt(std::string_view text) { return ParseInt(text); }

WindowState WindowState::FromValue(std::int64_t value) {
  WindowState s = Bound(value);
  s.text_.assign(BoundedText(s.bounded_));
  return s;
}

WindowState WindowState::Bound(std::int64_t value) {
  if (value < -1) value = -1;
  if (value > 2) value = 2;
  WindowState s;
  s.bounded_ = static_cast<int>(value);
  s.kind_ = value == -1  ? Kind::None
            : value == 1 ? Kind::Maximised
            : value == 2 ? Kind::Minimised
                         : Kind::Normal;
  return s;
}

WindowState WindowState::Read(std::string_view stored) {
  const std::optional<std::int32_t> value = TryStrToInt(stored);
  WindowState s = value ? Bound(*value) : WindowState();
  if (!value) s.kind_ = Kind::Unreadable;
  s.text_.assign(stored);
  return s;
}

std::string_view WindowState::PlainWord() const {
  return kind_ == Kind::Unreadable ? "unreadable" : WindowStatePlainWord(bounded_);
}

std::string_view WindowStatePlainWord(std::int32_t bounded) {
  switch (bounded) {
    case 0:
      return "normal";
    case 1:
      return "maximised";
    case 2:
      return "minimised";
    default:
      return "no choice";
  }
}

std::string CommandLineOf(std::string_view path, std::string_view params) {
  bool quote = false;
  for (char c : path) quote = quote || IsArgumentBreak(c);
  // Appended piece by piece: GCC 12 warns falsely of an overlap in "\"" + std::string at -O2.
  std::string line;
  if (quote) line += '"';
  line += path;
  if (quote) line += '"';
  if (!IsNoneText(params)) {
    line += ' ';
    line += params;
  }
  return line;
}

const CodePage& ListCodePage() {
  static const std::unique_ptr<CodePage> cp932 = MakeBuiltinCp932();
  return *cp932;
}

}  // namespace pallomar
