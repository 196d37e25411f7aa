#include "keyed_hash.h"

#include <gtest/gtest.h>

#include <string>

namespace plwtool {
namespace {

// The published SipHash-2-4 example: key 00..0f, message 00..0e.
TEST(KeyedHash, GivesThePublishedExampleValue) {
  std::string message;
  for (int i = 0; i < 15; ++i) message += static_cast<char>(i);
  SipHasher<2, 4> h(0x0706050403020100ull, 0x0f0e0d0c0b0a0908ull);
  h.Add(message);
  EXPECT_EQ(h.Finish(), 0xa129ca6149be45e5ull);
}

// Keys reach the hash in pieces wherever their characters break; every cut of a text must
// give the one value, and the key must change it.
TEST(KeyedHash, WherePiecesBreakDoesNotMatterButTheKeyDoes) {
  std::string text;
  for (int i = 0; i < 41; ++i) text += static_cast<char>(0x80 + i * 3);
  for (std::size_t length = 0; length <= text.size(); ++length) {
    const std::string_view whole(text.data(), length);
    TableHasher once(1, 2);
    once.Add(whole);
    const std::uint64_t expected = once.Finish();
    for (std::size_t a = 0; a <= length; ++a) {
      for (std::size_t b = a; b <= length; b += 3) {
        TableHasher pieces(1, 2);
        pieces.Add(whole.substr(0, a));
        pieces.Add(whole.substr(a, b - a));
        pieces.Add(whole.substr(b));
        ASSERT_EQ(pieces.Finish(), expected) << length << " cut at " << a << ", " << b;
      }
    }
    TableHasher other(1, 3);
    other.Add(whole);
    EXPECT_NE(other.Finish(), expected) << length;
  }
}

}  // namespace
}  // namespace plwtool
