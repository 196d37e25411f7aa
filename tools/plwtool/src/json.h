// A small streaming JSON reader and a string writer: enough for the list form. The reader
// pulls one value at a time from a stream, so a document of any size takes a fixed buffer,
// and knows the position of every value so that errors can say where they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace plwtool {

struct TextPos {
  std::size_t line = 1;
  std::size_t column = 1;  // in characters, from 1
};

class JsonError : public std::runtime_error {
 public:
  JsonError(TextPos pos, const std::string& message) : std::runtime_error(message), pos_(pos) {}
  TextPos Pos() const { return pos_; }

 private:
  TextPos pos_;
};

enum class JsonKind { Null, Bool, Number, String, Array, Object };

const char* KindName(JsonKind kind);

// Reads one JSON text (RFC 8259; a leading UTF-8 byte-order mark is skipped). Every call
// raises JsonError for malformed input, invalid UTF-8, a duplicate member name, nesting
// deeper than 100, or input that could not be read.
class JsonReader {
 public:
  explicit JsonReader(std::istream& in);

  // The kind of the next value, from its first character; Pos() is then where it starts.
  JsonKind Peek();
  TextPos Pos() const { return pos_; }

  // After Peek() gave Object: enters it. NextMember reads the next member's name and its ':'
  // and is false (the object left) at its '}'.
  void BeginObject();
  bool NextMember(std::string& name);
  // After Peek() gave Array: enters it. NextItem is false (the array left) at its ']'.
  void BeginArray();
  bool NextItem();

  std::string String();
  bool Bool();
  void Null();
  std::string Number();

  // Only white space may follow the value.
  void Finish();

 private:
  struct Open {
    bool first = true;
    // Member names seen so far: a few in a list, many in a set, so that the duplicate check
    // stays linear however many members an object has.
    std::vector<std::string> few;
    std::unordered_set<std::string> many;
  };

  [[noreturn]] void Fail(const std::string& message) const { throw JsonError(pos_, message); }
  // Makes `n` bytes from the read position available when the input holds them.
  // At least `n` bytes from at_ in the buffer, unless the input ends first. Inline: it is
  // asked before nearly every byte, and the buffer mostly holds them already.
  void Fill(std::size_t n) {
    if (end_ - at_ < n && !eof_) Refill(n);
  }
  void Refill(std::size_t n);
  char At(std::size_t k) {
    Fill(k + 1);
    return at_ + k < end_ ? buf_[at_ + k] : '\0';
  }
  bool AtEnd() {
    Fill(1);
    return at_ >= end_;
  }
  void Advance(std::size_t n);
  void SkipSpace();
  void Expect(std::string_view word);
  std::uint32_t Hex4();
  std::size_t Utf8Length();
  Open& Enter(JsonKind kind);
  void Remember(Open& open, std::string name, TextPos where);

  std::istream& in_;
  std::vector<char> buf_;
  std::size_t at_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  TextPos pos_;
  std::vector<Open> open_;
  std::size_t depth_ = 0;
};

// Appends `utf8` as a JSON string literal (quotes, backslash and control characters escaped).
void AppendJsonString(std::string& out, std::string_view utf8);
// The same without the surrounding quotes, for a string written in pieces.
void AppendJsonChars(std::string& out, std::string_view utf8);

}  // namespace plwtool
