// A small JSON reader and writer: enough for the list form, with the position of every value
// so that errors can say where they are.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
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

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a string's UTF-8, or a number as written
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;  // in the order written
  TextPos pos;

  // The member called `key`, or nullptr.
  const Json* Find(std::string_view key) const;
};

const char* KindName(Json::Kind kind);

// Parses one JSON text (RFC 8259; a leading UTF-8 byte-order mark is skipped). Raises
// JsonError for malformed input, invalid UTF-8, duplicate keys and nesting deeper than 100.
Json ParseJson(std::string_view text);

// Appends `utf8` as a JSON string literal (quotes, backslash and control characters escaped).
void AppendJsonString(std::string& out, std::string_view utf8);

}  // namespace plwtool
