#include "json.h"

#include <cstdint>

namespace plwtool {

const Json* Json::Find(std::string_view key) const {
  for (const auto& [k, v] : members) {
    if (k == key) return &v;
  }
  return nullptr;
}

const char* KindName(Json::Kind kind) {
  switch (kind) {
    case Json::Kind::Null:
      return "null";
    case Json::Kind::Bool:
      return "a boolean";
    case Json::Kind::Number:
      return "a number";
    case Json::Kind::String:
      return "a string";
    case Json::Kind::Array:
      return "an array";
    case Json::Kind::Object:
      return "an object";
  }
  return "a value";
}

namespace {

// Deep enough for any list; shallow enough that hostile input cannot exhaust the stack.
constexpr int kMaxDepth = 100;

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  Json Document() {
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") i_ = 3;  // not a character of the text
    SkipSpace();
    Json v = Value(0);
    SkipSpace();
    if (i_ < s_.size()) Fail("unexpected text after the JSON value");
    return v;
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const { throw JsonError(pos_, message); }

  // Moves over `n` bytes, counting lines and characters (UTF-8 continuation bytes do not
  // start a character).
  void Advance(std::size_t n) {
    for (; n > 0 && i_ < s_.size(); --n, ++i_) {
      const auto c = static_cast<unsigned char>(s_[i_]);
      if (c == '\n') {
        ++pos_.line;
        pos_.column = 1;
      } else if ((c & 0xC0) != 0x80) {
        ++pos_.column;
      }
    }
  }

  bool AtEnd() const { return i_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[i_]; }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
      Advance(1);
    }
  }

  void Expect(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) Fail("unknown word; expected a JSON value");
    Advance(word.size());
  }

  Json Value(int depth) {
    if (depth > kMaxDepth) Fail("nested too deeply");
    Json v;
    v.pos = pos_;
    if (AtEnd()) Fail("unexpected end of the text; expected a value");
    switch (Peek()) {
      case '{':
        Object(v, depth);
        break;
      case '[':
        Array(v, depth);
        break;
      case '"':
        v.kind = Json::Kind::String;
        v.text = String();
        break;
      case 't':
        Expect("true");
        v.kind = Json::Kind::Bool;
        v.boolean = true;
        break;
      case 'f':
        Expect("false");
        v.kind = Json::Kind::Bool;
        break;
      case 'n':
        Expect("null");
        break;
      default:
        if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')) {
          v.kind = Json::Kind::Number;
          v.text = Number();
        } else {
          Fail("unexpected character; expected a value");
        }
    }
    return v;
  }

  void Object(Json& v, int depth) {
    v.kind = Json::Kind::Object;
    Advance(1);
    SkipSpace();
    if (Peek() == '}') {
      Advance(1);
      return;
    }
    for (;;) {
      SkipSpace();
      if (Peek() != '"') Fail("expected a member name in double quotes");
      const TextPos keyPos = pos_;
      std::string key = String();
      if (v.Find(key) != nullptr) throw JsonError(keyPos, "duplicate member \"" + key + "\"");
      SkipSpace();
      if (Peek() != ':') Fail("expected ':' after the member name");
      Advance(1);
      SkipSpace();
      Json member = Value(depth + 1);
      v.members.emplace_back(std::move(key), std::move(member));
      SkipSpace();
      if (Peek() == ',') {
        Advance(1);
        continue;
      }
      if (Peek() == '}') {
        Advance(1);
        return;
      }
      Fail("expected ',' or '}' after a member");
    }
  }

  void Array(Json& v, int depth) {
    v.kind = Json::Kind::Array;
    Advance(1);
    SkipSpace();
    if (Peek() == ']') {
      Advance(1);
      return;
    }
    for (;;) {
      SkipSpace();
      v.items.push_back(Value(depth + 1));
      SkipSpace();
      if (Peek() == ',') {
        Advance(1);
        continue;
      }
      if (Peek() == ']') {
        Advance(1);
        return;
      }
      Fail("expected ',' or ']' after an array element");
    }
  }

  std::string Number() {
    const std::size_t start = i_;
    if (Peek() == '-') Advance(1);
    if (Peek() == '0') {
      Advance(1);
    } else if (Peek() >= '1' && Peek() <= '9') {
      while (Peek() >= '0' && Peek() <= '9') Advance(1);
    } else {
      Fail("malformed number");
    }
    if (Peek() == '.') {
      Advance(1);
      if (!(Peek() >= '0' && Peek() <= '9')) Fail("malformed number");
      while (Peek() >= '0' && Peek() <= '9') Advance(1);
    }
    if (Peek() == 'e' || Peek() == 'E') {
      Advance(1);
      if (Peek() == '+' || Peek() == '-') Advance(1);
      if (!(Peek() >= '0' && Peek() <= '9')) Fail("malformed number");
      while (Peek() >= '0' && Peek() <= '9') Advance(1);
    }
    return std::string(s_.substr(start, i_ - start));
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  std::uint32_t Hex4() {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const int d = HexDigit(Peek());
      if (d < 0) Fail("expected four hexadecimal digits after \\u");
      v = v * 16 + static_cast<std::uint32_t>(d);
      Advance(1);
    }
    return v;
  }

  static void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  // Length of the well-formed UTF-8 sequence at i_, or 0.
  std::size_t Utf8Length() const {
    const auto at = [&](std::size_t k) {
      return i_ + k < s_.size() ? static_cast<unsigned char>(s_[i_ + k]) : 0u;
    };
    const unsigned c = at(0);
    const auto cont = [&](std::size_t k) { return (at(k) & 0xC0u) == 0x80u; };
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

  std::string String() {
    Advance(1);
    std::string out;
    for (;;) {
      if (AtEnd()) Fail("unterminated string");
      const auto c = static_cast<unsigned char>(Peek());
      if (c == '"') {
        Advance(1);
        return out;
      }
      if (c < 0x20) Fail("control character in a string; write it as an escape such as \\n");
      if (c == '\\') {
        Advance(1);
        const char e = Peek();
        switch (e) {
          case '"':
          case '\\':
          case '/':
            out += e;
            break;
          case 'b':
            out += '\b';
            break;
          case 'f':
            out += '\f';
            break;
          case 'n':
            out += '\n';
            break;
          case 'r':
            out += '\r';
            break;
          case 't':
            out += '\t';
            break;
          case 'u': {
            Advance(1);
            std::uint32_t cp = Hex4();
            if (cp >= 0xDC00 && cp <= 0xDFFF) Fail("lone low surrogate in \\u escape");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
              if (s_.substr(i_, 2) != "\\u") Fail("high surrogate without its low surrogate");
              Advance(2);
              const std::uint32_t lo = Hex4();
              if (lo < 0xDC00 || lo > 0xDFFF) Fail("high surrogate without its low surrogate");
              cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            }
            AppendUtf8(out, cp);
            continue;
          }
          default:
            Fail("unknown escape in a string");
        }
        Advance(1);
        continue;
      }
      if (c < 0x80) {
        out += static_cast<char>(c);
        Advance(1);
        continue;
      }
      const std::size_t n = Utf8Length();
      if (n == 0) Fail("invalid UTF-8 in a string");
      out.append(s_.substr(i_, n));
      Advance(n);
    }
  }

  std::string_view s_;
  std::size_t i_ = 0;
  TextPos pos_;
};

}  // namespace

Json ParseJson(std::string_view text) { return Parser(text).Document(); }

void AppendJsonString(std::string& out, std::string_view utf8) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

}  // namespace plwtool
