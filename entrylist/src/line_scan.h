// Finding the bytes that end or cut a list file's line value (LF, CR, NUL), 16 bytes at a time
// where the processor allows. Every scan of the reader compares through MatchLanes or MatchBits.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PALLOMAR_SSE2 1
#endif

namespace pallomar::linescan {

inline constexpr std::size_t kBlock = 16;

#ifdef PALLOMAR_SSE2
// 0xFF in lane k where block[k] is one of `Stops` (16 bytes from `block`), else 0.
template <char... Stops>
inline __m128i MatchLanes(const char* block) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  __m128i hit = _mm_setzero_si128();
  ((hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(Stops)))), ...);
  return hit;
}
#endif

// Bit k set where block[k] is one of `Stops` (16 bytes from `block`).
template <char... Stops>
inline std::uint32_t MatchBits(const char* block) {
#ifdef PALLOMAR_SSE2
  return static_cast<std::uint32_t>(_mm_movemask_epi8(MatchLanes<Stops...>(block)));
#else
  std::uint32_t bits = 0;
  for (std::size_t k = 0; k < kBlock; ++k) {
    if (((block[k] == Stops) || ...)) bits |= 1u << k;
  }
  return bits;
#endif
}

// The bytes that stop a line's value: its end (LF, or the CR of CR LF), a CR to drop, a NUL.
inline std::uint32_t StopBits(const char* block) { return MatchBits<'\n', '\r', '\0'>(block); }

inline bool IsStop(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// The first LF, CR or NUL in [p, end), or end.
inline const char* FindStop(const char* p, const char* end) {
  for (; end - p >= static_cast<std::ptrdiff_t>(kBlock); p += kBlock) {
    if (const std::uint32_t bits = StopBits(p))
      return p + static_cast<unsigned>(std::countr_zero(bits));
  }
  for (; p < end; ++p) {
    if (IsStop(*p)) return p;
  }
  return end;
}

inline std::size_t CountLineFeeds(const char* p, const char* end) {
  std::size_t count = 0;
#ifdef PALLOMAR_SSE2
  while (end - p >= static_cast<std::ptrdiff_t>(kBlock)) {
    // A matching lane is -1: subtracting counts per lane. Byte counters overflow after 255
    // rounds, so they are folded into the total before that.
    __m128i acc = _mm_setzero_si128();
    for (int round = 0; round < 255 && end - p >= static_cast<std::ptrdiff_t>(kBlock);
         ++round, p += kBlock) {
      acc = _mm_sub_epi8(acc, MatchLanes<'\n'>(p));
    }
    const __m128i sums = _mm_sad_epu8(acc, _mm_setzero_si128());
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
#endif
  for (; p < end; ++p) count += *p == '\n' ? 1 : 0;
  return count;
}

}  // namespace pallomar::linescan
