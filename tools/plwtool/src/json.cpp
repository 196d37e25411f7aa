#include "json.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "shown_text.h"
#include "utf8.h"

namespace plwtool {

const char* KindName(JsonKind kind) {
  switch (kind) {
    case JsonKind::Null:
      return "null";
    case JsonKind::Bool:
      return "a boolean";
    case JsonKind::Number:
      return "a number";
    case JsonKind::String:
      return "a string";
    case JsonKind::Array:
      return "an array";
    case JsonKind::Object:
      return "an object";
  }
  return "a value";
}

namespace {

// Deep enough for any list; shallow enough that hostile input cannot exhaust the stack.
constexpr std::size_t kMaxDepth = 100;
constexpr std::size_t kPiece = 64 * 1024;
// A list of names is searched one by one up to this size, then a set takes over.
constexpr std::size_t kFewNames = 16;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

JsonReader::JsonReader(std::istream& in) : in_(in), buf_(2 * kPiece) {
  Fill(3);
  if (end_ - at_ >= 3 && std::memcmp(buf_.data() + at_, "\xEF\xBB\xBF", 3) == 0) {
    at_ += 3;  // not a character of the text
  }
}

void JsonReader::Refill(std::size_t n) {
  while (end_ - at_ < n && !eof_) {
    if (at_ != 0) {
      std::memmove(buf_.data(), buf_.data() + at_, end_ - at_);
      end_ -= at_;
      at_ = 0;
    }
    in_.read(buf_.data() + end_, static_cast<std::streamsize>(buf_.size() - end_));
    const auto got = static_cast<std::size_t>(in_.gcount());
    end_ += got;
    if (in_.bad()) Fail("the input could not be read");
    if (got == 0) eof_ = true;
  }
}

// Moves over `n` bytes, counting lines and characters (UTF-8 continuation bytes do not start
// a character).
void JsonReader::Advance(std::size_t n) {
  for (; n > 0 && !AtEnd(); --n, ++at_) {
    const auto c = static_cast<unsigned char>(buf_[at_]);
    if (c == '\n') {
      ++pos_.line;
      pos_.column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++pos_.column;
    }
  }
}

void JsonReader::SkipSpace() {
  for (;;) {
    const char c = At(0);
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
    Advance(1);
  }
}

void JsonReader::Expect(std::string_view word) {
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (At(k) != word[k]) Fail("unknown word; expected a JSON value");
  }
  Advance(word.size());
}

JsonKind JsonReader::Peek() {
  SkipSpace();
  if (depth_ > kMaxDepth) Fail("nested too deeply");
  if (AtEnd()) Fail("unexpected end of the text; expected a value");
  const char c = At(0);
  switch (c) {
    case '{':
      return JsonKind::Object;
    case '[':
      return JsonKind::Array;
    case '"':
      return JsonKind::String;
    case 't':
    case 'f':
      return JsonKind::Bool;
    case 'n':
      return JsonKind::Null;
    default:
      if (c == '-' || IsDigit(c)) return JsonKind::Number;
      Fail("unexpected character; expected a value");
  }
}

// Steps into an object or array; the records of closed ones are reused, names and all.
JsonReader::Open& JsonReader::Enter(JsonKind kind) {
  if (Peek() != kind) Fail(std::string("expected ") + KindName(kind));
  Advance(1);
  if (open_.size() == depth_) open_.emplace_back();
  Open& open = open_[depth_++];
  open.first = true;
  return open;
}

void JsonReader::BeginObject() {
  Open& open = Enter(JsonKind::Object);
  open.few.clear();
  open.many.clear();
}

void JsonReader::Remember(Open& open, std::string name, TextPos where) {
  const auto duplicate = [&] {
    throw JsonError(where, "duplicate member \"" + ShownUtf8(name) + "\"");
  };
  if (open.many.empty() && open.few.size() < kFewNames) {
    if (std::find(open.few.begin(), open.few.end(), name) != open.few.end()) duplicate();
    open.few.push_back(std::move(name));
    return;
  }
  if (open.many.empty()) {
    for (std::string& n : open.few) open.many.insert(std::move(n));
    open.few.clear();
  }
  if (!open.many.insert(name).second) duplicate();
}

bool JsonReader::NextMember(std::string& name) {
  Open& open = open_[depth_ - 1];
  SkipSpace();
  if (open.first) {
    open.first = false;
    if (At(0) == '}') {
      Advance(1);
      --depth_;
      return false;
    }
  } else if (At(0) == ',') {
    Advance(1);
    SkipSpace();
  } else if (At(0) == '}') {
    Advance(1);
    --depth_;
    return false;
  } else {
    Fail("expected ',' or '}' after a member");
  }
  if (At(0) != '"') Fail("expected a member name in double quotes");
  const TextPos where = pos_;
  name = String();
  Remember(open, name, where);
  SkipSpace();
  if (At(0) != ':') Fail("expected ':' after the member name");
  Advance(1);
  return true;
}

void JsonReader::BeginArray() { Enter(JsonKind::Array); }

bool JsonReader::NextItem() {
  Open& open = open_[depth_ - 1];
  SkipSpace();
  if (At(0) == ']') {
    Advance(1);
    --depth_;
    return false;
  }
  if (open.first) {
    open.first = false;
    return true;
  }
  if (At(0) != ',') Fail("expected ',' or ']' after an array element");
  Advance(1);
  return true;
}

bool JsonReader::Bool() {
  if (At(0) == 't') {
    Expect("true");
    return true;
  }
  Expect("false");
  return false;
}

void JsonReader::Null() { Expect("null"); }

std::string JsonReader::Number() {
  std::string out;
  const auto take = [&] {
    out += At(0);
    Advance(1);
  };
  const auto digits = [&] {
    while (IsDigit(At(0))) take();
  };
  if (At(0) == '-') take();
  if (At(0) == '0') {
    take();
  } else if (At(0) >= '1' && At(0) <= '9') {
    digits();
  } else {
    Fail("malformed number");
  }
  if (At(0) == '.') {
    take();
    if (!IsDigit(At(0))) Fail("malformed number");
    digits();
  }
  if (At(0) == 'e' || At(0) == 'E') {
    take();
    if (At(0) == '+' || At(0) == '-') take();
    if (!IsDigit(At(0))) Fail("malformed number");
    digits();
  }
  return out;
}

std::uint32_t JsonReader::Hex4() {
  std::uint32_t v = 0;
  for (int k = 0; k < 4; ++k) {
    const int d = HexDigitValue(At(0));
    if (d < 0) Fail("expected four hexadecimal digits after \\u");
    v = v * 16 + static_cast<std::uint32_t>(d);
    Advance(1);
  }
  return v;
}

std::size_t JsonReader::Utf8Length() {
  return Utf8SequenceLength([&](std::size_t k) { return static_cast<unsigned char>(At(k)); });
}

std::string JsonReader::String() {
  if (At(0) != '"') Fail("expected a string");
  Advance(1);
  std::string out;
  for (;;) {
    // Printable ASCII and whole, valid UTF-8 characters in the buffer go over in runs: one
    // column per character, no line ends. Anything else takes the slow way below.
    Fill(1);
    std::size_t run = 0, chars = 0;
    const auto in = [&](std::size_t k) {
      return at_ + run + k < end_ ? static_cast<unsigned char>(buf_[at_ + run + k]) : 0u;
    };
    while (at_ + run < end_) {
      const unsigned c = in(0);
      std::size_t n = 1;
      if (c >= 0x80) {
        n = Utf8SequenceLength(in);
        if (n == 0) break;
      } else if (c < 0x20 || c == '"' || c == '\\') {
        break;
      }
      run += n;
      ++chars;
    }
    if (run != 0) {
      out.append(buf_.data() + at_, run);
      at_ += run;
      pos_.column += chars;
      continue;
    }
    if (AtEnd()) Fail("unterminated string");
    const auto c = static_cast<unsigned char>(At(0));
    if (c == '"') {
      Advance(1);
      return out;
    }
    if (c < 0x20) Fail("control character in a string; write it as an escape such as \\n");
    if (c == '\\') {
      Advance(1);
      const char e = At(0);
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
            if (At(0) != '\\' || At(1) != 'u') Fail("high surrogate without its low surrogate");
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
    const std::size_t n = Utf8Length();
    if (n == 0) Fail("invalid UTF-8 in a string");
    for (std::size_t k = 0; k < n; ++k) out += At(k);
    Advance(n);
  }
}

void JsonReader::Finish() {
  SkipSpace();
  if (!AtEnd()) Fail("unexpected text after the JSON value");
}

void AppendJsonString(std::string& out, std::string_view utf8) {
  out += '"';
  AppendJsonChars(out, utf8);
  out += '"';
}

void AppendJsonChars(std::string& out, std::string_view utf8) {
  static const char kHex[] = "0123456789abcdef";
  // Bytes that need no escape go over in runs, not one at a time.
  std::size_t run = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(utf8.data() + run, i - run);
    run = i + 1;
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
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
  }
  out.append(utf8.data() + run, utf8.size() - run);
}

}  // namespace plwtool
