// The JSON reader and writer: what they accept, what they refuse, and where they say it is.
#include "json.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace plwtool {
namespace {

// Reads any JSON value whole through the streaming reader; strings, numbers and words are
// collected in the order met, with the position of each.
struct Seen {
  std::vector<std::string> texts;
  std::vector<TextPos> positions;
};

void Walk(JsonReader& r, Seen& seen) {
  const JsonKind kind = r.Peek();
  seen.positions.push_back(r.Pos());
  switch (kind) {
    case JsonKind::Object: {
      r.BeginObject();
      std::string name;
      while (r.NextMember(name)) Walk(r, seen);
      break;
    }
    case JsonKind::Array:
      r.BeginArray();
      while (r.NextItem()) Walk(r, seen);
      break;
    case JsonKind::String:
      seen.texts.push_back(r.String());
      break;
    case JsonKind::Number:
      seen.texts.push_back(r.Number());
      break;
    case JsonKind::Bool:
      seen.texts.push_back(r.Bool() ? "true" : "false");
      break;
    case JsonKind::Null:
      r.Null();
      seen.texts.push_back("null");
      break;
  }
}

Seen ParseJson(const std::string& text) {
  std::istringstream in(text);
  JsonReader r(in);
  Seen seen;
  Walk(r, seen);
  r.Finish();
  return seen;
}

struct Refused {
  const char* name;
  std::string text;
  std::size_t line;
  std::size_t column;
  std::string message;
};

class JsonRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(JsonRefuses, AtTheLineAndCharacterWhereItGoesWrong) {
  try {
    ParseJson(GetParam().text);
    FAIL() << "accepted";
  } catch (const JsonError& e) {
    EXPECT_EQ(e.Pos().line, GetParam().line);
    EXPECT_EQ(e.Pos().column, GetParam().column);
    EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonRefuses,
    ::testing::Values(
        Refused{"Nothing", "  ", 1, 3, "unexpected end"},
        Refused{"TwoValues", "{} {}", 1, 4, "after the JSON value"},
        Refused{"MissingColon", "{\"a\" 1}", 1, 6, "expected ':'"},
        Refused{"DuplicateKey", "{\"a\":1,\n \"a\":2}", 2, 2, "duplicate member \"a\""},
        // Columns count characters, not bytes: 表 is three bytes of UTF-8.
        Refused{"ColumnsCountCharacters", "[\"表表\" 1]", 1, 7, "expected ',' or ']'"},
        Refused{"UnterminatedString", "[\"abc", 1, 6, "unterminated string"},
        Refused{"RawNewlineInString", "[\"a\nb\"]", 1, 4, "control character"},
        Refused{"BadEscape", "[\"\\q\"]", 1, 4, "unknown escape"},
        Refused{"ShortUnicodeEscape", "[\"\\u12\"]", 1, 7, "four hexadecimal digits"},
        Refused{"LoneLowSurrogate", "[\"\\udc00\"]", 1, 9, "lone low surrogate"},
        Refused{"HighSurrogateAlone", "[\"\\ud83dx\"]", 1, 9, "without its low surrogate"},
        Refused{"InvalidUtf8", "[\"a\xFF\"]", 1, 4, "invalid UTF-8"},
        Refused{"OverlongUtf8", "[\"\xC0\xAF\"]", 1, 3, "invalid UTF-8"},
        Refused{"EncodedSurrogate", "[\"\xED\xA0\x80\"]", 1, 3, "invalid UTF-8"},
        Refused{"LeadingZeroNumber", "[01]", 1, 3, "expected ',' or ']'"},
        Refused{"BareWord", "[True]", 1, 2, "unexpected character"},
        Refused{"TruncatedWord", "[tru]", 1, 2, "unknown word"},
        Refused{"TrailingCommaInArray", "[1,]", 1, 4, "unexpected character"},
        Refused{"TooDeep", std::string(200, '[') + std::string(200, ']'), 1, 102,
                "nested too deeply"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(Json, ReadsEscapesSurrogatePairsAndSkipsAByteOrderMark) {
  const Seen v = ParseJson(
      "\xEF\xBB\xBF{\"k\": [\"a\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\", "
      "-1.5e3, true, false, null]}");
  ASSERT_EQ(v.texts.size(), 5u);
  EXPECT_EQ(v.texts[0], "a\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(v.texts[1], "-1.5e3");
  EXPECT_EQ(v.texts[2], "true");
  EXPECT_EQ(v.texts[3], "false");
  EXPECT_EQ(v.texts[4], "null");
  // The object, the array, then the five values: the number starts at character 47.
  EXPECT_EQ(v.positions.at(3).column, 47u);
}

// Each name was once compared with every earlier one: 160,000 members took 18.7 s.
TEST(Json, ADuplicateAmongManyMembersIsFoundWhereItIs) {
  std::string text = "{";
  for (int i = 0; i < 160000; ++i) text += "\"m" + std::to_string(i) + "\":1,";
  const std::size_t column = text.size() + 1;
  text += "\"m159998\":2}";
  try {
    ParseJson(text);
    FAIL() << "accepted";
  } catch (const JsonError& e) {
    EXPECT_EQ(e.Pos().column, column);
    EXPECT_STREQ(e.what(), "duplicate member \"m159998\"");
  }
}

TEST(Json, WrittenStringsReadBackUnchanged) {
  std::string all;
  for (int c = 1; c < 0x80; ++c) all += static_cast<char>(c);
  all += "表ｱ\xF0\x9F\x98\x80";
  for (const std::string& text : {std::string(), std::string("plain"), all}) {
    std::string json = "[";
    AppendJsonString(json, text);
    json += "]";
    // Control characters never appear raw: the text stays on one line.
    EXPECT_EQ(json.find('\n'), std::string::npos);
    EXPECT_EQ(ParseJson(json).texts.at(0), text);
  }
}

}  // namespace
}  // namespace plwtool
