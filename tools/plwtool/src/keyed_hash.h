// A keyed hash for tables whose keys come from a file: SipHash (Aumasson and Bernstein), fed
// in pieces. With a key the input cannot know, nobody can craft keys that all fall in one
// slot, which an unkeyed hash lets them do.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace plwtool {

// `Compression` and `Finalization` rounds: 2 and 4 give the published SipHash-2-4; tables use
// 1 and 3, as language runtimes do for their hash tables.
template <int Compression, int Finalization>
class SipHasher {
 public:
  SipHasher(std::uint64_t k0, std::uint64_t k1)
      : v0_(k0 ^ 0x736f6d6570736575ull),
        v1_(k1 ^ 0x646f72616e646f6dull),
        v2_(k0 ^ 0x6c7967656e657261ull),
        v3_(k1 ^ 0x7465646279746573ull) {}

  // Where the pieces break does not matter.
  void Add(std::string_view p) {
    length_ += p.size();
    std::size_t i = 0;
    while (filled_ != 0 && i < p.size()) TakeByte(p[i++]);
    for (; p.size() - i >= 8; i += 8) {
      std::uint64_t m;
      std::memcpy(&m, p.data() + i, 8);
      Word(FromLittleEndian(m));
    }
    while (i < p.size()) TakeByte(p[i++]);
  }

  std::uint64_t Finish() {
    const std::uint64_t last = word_ | (length_ << 56);
    Word(last);
    v2_ ^= 0xff;
    for (int r = 0; r < Finalization; ++r) Round();
    return v0_ ^ v1_ ^ v2_ ^ v3_;
  }

 private:
  static std::uint64_t Rotate(std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }
  static std::uint64_t FromLittleEndian(std::uint64_t m) {
    if constexpr (std::endian::native == std::endian::big) return __builtin_bswap64(m);
    return m;
  }

  void Round() {
    v0_ += v1_;
    v1_ = Rotate(v1_, 13) ^ v0_;
    v0_ = Rotate(v0_, 32);
    v2_ += v3_;
    v3_ = Rotate(v3_, 16) ^ v2_;
    v0_ += v3_;
    v3_ = Rotate(v3_, 21) ^ v0_;
    v2_ += v1_;
    v1_ = Rotate(v1_, 17) ^ v2_;
    v2_ = Rotate(v2_, 32);
  }

  void Word(std::uint64_t m) {
    v3_ ^= m;
    for (int r = 0; r < Compression; ++r) Round();
    v0_ ^= m;
  }

  void TakeByte(char c) {
    word_ |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * filled_);
    if (++filled_ == 8) {
      Word(word_);
      word_ = 0;
      filled_ = 0;
    }
  }

  std::uint64_t v0_, v1_, v2_, v3_;
  std::uint64_t word_ = 0;
  std::uint64_t length_ = 0;
  unsigned filled_ = 0;
};

using TableHasher = SipHasher<1, 3>;

}  // namespace plwtool
