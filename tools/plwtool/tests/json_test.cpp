// The JSON reader and writer: what they accept, what they refuse, and where they say it is.
#include "json.h"

#include <gtest/gtest.h>

#include <string>

namespace plwtool {
namespace {

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
  const Json v = ParseJson(
      "\xEF\xBB\xBF{\"k\": [\"a\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\", "
      "-1.5e3, true, false, null]}");
  ASSERT_EQ(v.kind, Json::Kind::Object);
  const Json* k = v.Find("k");
  ASSERT_NE(k, nullptr);
  ASSERT_EQ(k->items.size(), 5u);
  EXPECT_EQ(k->items[0].text, "a\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(k->items[1].kind, Json::Kind::Number);
  EXPECT_EQ(k->items[1].text, "-1.5e3");
  EXPECT_TRUE(k->items[2].boolean);
  EXPECT_EQ(k->items[3].kind, Json::Kind::Bool);
  EXPECT_FALSE(k->items[3].boolean);
  EXPECT_EQ(k->items[4].kind, Json::Kind::Null);
  EXPECT_EQ(k->items[1].pos.column, 47u);
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
    EXPECT_EQ(ParseJson(json).items.at(0).text, text);
  }
}

}  // namespace
}  // namespace plwtool
