// EntryList's storage. One row is a base pointer and five 32-bit lengths: the five texts lie
// one after the other from the base, each followed by `gap` bytes (a loaded record's line ends,
// left where they are), so a row can never lose or gain a column. Texts that are one of the
// few constant values take no bytes at all; they are tagged in the length.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "entrylist/entry_list.h"

namespace pallomar {

namespace rowtag {
// Lengths at or above kFirst name a constant text instead of bytes at the base.
inline constexpr std::uint32_t kFirst = 0xFFFFFFF0u;
inline constexpr std::uint32_t kDummy = 0xFFFFFFF0u;  // "$dummy$"
inline constexpr std::uint32_t kZero = 0xFFFFFFF1u;   // "0"
inline constexpr std::uint32_t kOne = 0xFFFFFFF2u;    // "1"
// Longest text a row can hold as bytes.
inline constexpr std::uint32_t kMaxBytes = kFirst - 1;

inline constexpr bool IsConstant(std::uint32_t len) { return len >= kFirst; }
inline constexpr std::uint32_t Bytes(std::uint32_t len) { return IsConstant(len) ? 0 : len; }
// The constants' texts, by ConstantIndex; the unused ones empty. Every entry is set to a text:
// GCC 12 cannot read a default-made string_view of a constant table at compile time.
inline constexpr std::size_t kConstantCount = 0x100000000ull - kFirst;
inline constexpr std::array<std::string_view, kConstantCount> kConstantTexts = [] {
  std::array<std::string_view, kConstantCount> texts;
  for (std::string_view& text : texts) text = std::string_view("", 0);
  texts[kDummy - kFirst] = kDummyMarker;
  texts[kZero - kFirst] = "0";
  texts[kOne - kFirst] = "1";
  return texts;
}();
// A tag's place in kConstantTexts; within the table for any length, so that it may be read
// before the length is known to be a tag.
inline constexpr std::size_t ConstantIndex(std::uint32_t len) {
  return (len - kFirst) % kConstantCount;
}
inline std::string_view ConstantText(std::uint32_t len) {
  return kConstantTexts[ConstantIndex(len)];
}
}  // namespace rowtag

struct Row {
  const char* base;
  std::uint32_t len[kFieldCount];
  std::uint8_t gap;  // bytes between one text and the next: 0, or a line end of 1 or 2
};

// Where field `field` of `row` begins.
inline const char* FieldStart(const Row& row, int field) {
  const char* p = row.base;
  for (int f = 0; f < field; ++f) p += rowtag::Bytes(row.len[f]) + row.gap;
  return p;
}

struct EntryList::Impl {
  // The loaded file's bytes; rows of a loaded file point into it.
  std::unique_ptr<char[]> loaded;
  std::size_t loadedSize = 0;
  // Buffers of earlier loads into the same list, kept while their rows live.
  std::vector<std::unique_ptr<char[]>> retired;
  std::size_t retiredBytes = 0;
  // Texts appended later: blocks that never move, so earlier rows stay valid.
  std::vector<std::unique_ptr<char[]>> blocks;
  std::vector<std::size_t> blockSizes;
  std::size_t blockUsed = 0;   // bytes used in blocks.back()
  std::size_t blockBytes = 0;  // sum of blockSizes
  std::vector<Row> rows;

  // Room for `n` contiguous bytes that stay where they are for the life of the list.
  char* Allocate(std::size_t n);
};

// The reader's entry into the storage.
struct EntryListAccess {
  static EntryList::Impl& Of(EntryList& list);
  // Null for a list that never held anything.
  static const EntryList::Impl* Peek(const EntryList& list) { return list.impl_; }
};

}  // namespace pallomar
