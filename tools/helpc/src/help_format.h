// The values of the help file's layout that helpc writes, named once. docs/help-format.md
// describes the layout they belong to.
#pragma once

#include <cstddef>
#include <cstdint>

namespace helpc::format {

// File header: magic, directory offset, free list (none), file size.
inline constexpr uint32_t kFileMagic = 0x00035F3F;
inline constexpr size_t kFileHeaderSize = 16;
// "None" in every 32-bit link and offset: no free list, no previous or next record.
inline constexpr uint32_t kNone = 0xFFFFFFFFu;

// Every internal file starts with {reserved size, used size, flags}.
inline constexpr size_t kInternalHeaderSize = 9;
inline constexpr unsigned kInternalFileFlags = 4;

// B+ trees: a header of this size, then fixed-size pages.
inline constexpr unsigned kBTreeMagic = 0x293B;
inline constexpr size_t kBTreeStructureSize = 16;  // the structure string, padded with NULs
inline constexpr size_t kLeafHeaderSize = 8;       // unused, count, previous, next
inline constexpr size_t kIndexHeaderSize = 6;      // unused, count, first child
inline constexpr size_t kPageNumberSize = 2;
inline constexpr unsigned kNoPage = 0xFFFF;
inline constexpr size_t kMaxPages = 0xFFFF;  // page numbers and the page count are 16-bit

// The trees helpc writes. The structure strings give each field's type: z a NUL-terminated
// name, 4 a 32-bit value, L a 32-bit key, F a NUL-terminated keyword, 2 a 16-bit value.
struct TreeShape {
  unsigned flags;
  unsigned pageSize;
  const char* structure;
};
inline constexpr TreeShape kDirectoryTree = {0x0402, 0x400, "z4"};  // name -> file offset
inline constexpr TreeShape kContextTree = {0x0002, 0x800, "L4"};    // hash -> topic offset
inline constexpr TreeShape kTitleTree = {0x0002, 0x800, "Lz"};      // topic offset -> title
inline constexpr TreeShape kKeywordTree = {0x0002, 0x800, "F24"};   // keyword -> count, data

// |SYSTEM: header {magic, minor, major, date, flags}, then {type, length, data} records.
inline constexpr unsigned kSystemMagic = 0x036C;
inline constexpr unsigned kSystemMinor = 33;  // 4 KiB topic blocks; the flags say uncompressed
inline constexpr unsigned kSystemMajor = 1;
inline constexpr unsigned kSystemFlagsUncompressed = 0;
enum SystemRecord : unsigned {
  kSystemTitle = 1,
  kSystemCopyright = 2,
  kSystemContents = 3,  // the contents topic's offset
  kSystemLocale = 9,
  kSystemCntFile = 10,
  kSystemCharset = 11,
};
inline constexpr size_t kMaxSystemRecord = 0xFFFF;  // the record length is 16-bit
inline constexpr unsigned kLocaleJapanese = 0x0411;
inline constexpr unsigned kCharsetShiftJis = 128;

// |TOPIC: blocks of a fixed size, each a header {last record before, first record in, last
// topic header before} and then the records' bytes, which run on across blocks.
inline constexpr size_t kBlockSize = 4096;
inline constexpr size_t kBlockHeaderSize = 12;
inline constexpr size_t kBlockData = kBlockSize - kBlockHeaderSize;
// The two offset scales. A record's place (TOPICPOS) is block * 0x4000 + its byte in the
// block; a topic's place (TOPICOFFSET) is block * 0x8000 + the characters before it there.
inline constexpr uint32_t kTopicPosBlockScale = 0x4000;
inline constexpr uint32_t kTopicOffsetBlockScale = 0x8000;
inline constexpr size_t kMaxBlocks = 0xFFFFFFFFu / kTopicOffsetBlockScale;

// Records: a header of this size, then LinkData1 and LinkData2.
inline constexpr size_t kRecordHeaderSize = 21;
enum RecordType : unsigned { kTopicHeader = 2, kTextRecord = 0x20 };
inline constexpr size_t kTopicHeaderData1Size = 28;
// A text record's character count is a compressed 16-bit number: 15 bits of value.
inline constexpr unsigned kMaxRecordCharacters = 0x7FFF;
// Its LinkData2 size is a compressed 32-bit number: 30 bits of value.
inline constexpr size_t kMaxRecordText = 0x3FFFFFFF;

// A text record's paragraph settings: which optional values follow.
inline constexpr unsigned kParagraphByte = 0x80;  // the byte before the paragraph id
inline constexpr unsigned kSpacingBelowFollows = 0x0004;
inline constexpr unsigned kLeftIndentFollows = 0x0010;
inline constexpr unsigned kFirstLineIndentFollows = 0x0040;
inline constexpr unsigned kTabStopsFollow = 0x0200;

// Paragraph commands in LinkData1.
inline constexpr char kCommandFont = '\x80';
inline constexpr char kCommandLineBreak = '\x81';
inline constexpr char kCommandParagraphEnd = '\x82';
inline constexpr char kCommandTab = '\x83';
inline constexpr char kCommandJumpEnd = '\x89';
inline constexpr char kCommandJump = '\xE3';  // followed by the target's context hash
inline constexpr char kCommandsEnd = '\xFF';

// |KWBTREE: a keyword's topics are counted in 16 bits.
inline constexpr size_t kMaxKeywordTopics = 0xFFFF;

// |FONT: one face name of a fixed size, then descriptors.
inline constexpr size_t kFaceNameSize = 32;
inline constexpr unsigned kFontHeaderSize = 8;

}  // namespace helpc::format
