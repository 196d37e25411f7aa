// The help file: a header, internal files located through a B+ tree directory, and the
// internal files the viewer reads (|SYSTEM, |TOPIC, |FONT, |CONTEXT) plus the title and
// keyword indexes. Nothing depends on the time of day, so the same source gives the same bytes.
// docs/help-format.md describes the layout. Every length that lands in a field of limited size
// is checked on the way: a source the format cannot hold is refused at its line, never written
// with a wrapped field.
#include <algorithm>
#include <map>
#include <vector>

#include "help_format.h"
#include "outputs.h"

namespace helpc {
namespace {

using namespace format;

[[noreturn]] void TooLong(int line, const std::string& what, size_t size, size_t limit) {
  throw SourceError(line, what + " too long for the help file: " + std::to_string(size) +
                              " bytes of Shift-JIS, at most " + std::to_string(limit));
}

void Put8(std::string& out, unsigned v) { out += static_cast<char>(v & 0xFF); }
void Put16(std::string& out, unsigned v) {
  Put8(out, v);
  Put8(out, v >> 8);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
std::string Le32(uint32_t v) {
  std::string s;
  Put32(s, v);
  return s;
}
std::string Zstring(const std::string& s) { return s + '\0'; }

// The variable-length numbers of paragraph records: the low bit tells the long form.
void PutCompressedUShort(std::string& out, unsigned v) {
  if (v < 0x80) {
    Put8(out, v * 2);
  } else {
    Put16(out, v * 2 + 1);
  }
}
void PutCompressedShort(std::string& out, int v) {
  if (v >= -64 && v < 64) {
    Put8(out, static_cast<unsigned>((v + 64) * 2));
  } else {
    Put16(out, static_cast<unsigned>((v + 16384) * 2 + 1));
  }
}
void PutCompressedLong(std::string& out, int32_t v) {
  if (v >= -16384 && v < 16384) {
    Put16(out, static_cast<unsigned>((v + 16384) * 2));
  } else {
    Put32(out, static_cast<uint32_t>(v + 0x40000000) * 2 + 1);
  }
}

// One internal file: its header (reserved size, used size, flags) and its bytes.
std::string InternalFile(const std::string& body) {
  std::string out;
  Put32(out, static_cast<uint32_t>(body.size() + kInternalHeaderSize));
  Put32(out, static_cast<uint32_t>(body.size()));
  Put8(out, kInternalFileFlags);
  return out + body;
}

struct BTreeEntry {
  std::string key;    // the key as stored, e.g. "name\0" or a 4-byte hash
  std::string value;  // what follows the key in a leaf entry
  int line = 0;       // the source line it comes from, for a refusal
};

// The longest key and value a leaf of `tree` holds; index pages then always hold a key more
// than their first child, so every index level is smaller than the one below it.
constexpr size_t MaxLeafEntry(const TreeShape& tree) { return tree.pageSize - kLeafHeaderSize; }
static_assert(kIndexHeaderSize + MaxLeafEntry(kKeywordTree) + kPageNumberSize <=
              kKeywordTree.pageSize);

// A B+ tree of fixed-size pages: leaves first, then the index levels, the root last.
// The entries must already be in key order, each no longer than MaxLeafEntry.
std::string BTree(const TreeShape& tree, const std::vector<BTreeEntry>& entries, const char* what) {
  struct Node {
    unsigned page;
    std::string firstKey;
  };
  const size_t pageSize = tree.pageSize;
  std::vector<std::string> pages;
  std::vector<Node> level;
  const auto addPage = [&](std::string page, const BTreeEntry* cause) {
    if (pages.size() == kMaxPages) {
      throw SourceError(cause ? cause->line : 0,
                        std::string("too many ") + what + " for one index of the help file");
    }
    page.resize(pageSize, '\0');
    pages.push_back(std::move(page));
    return static_cast<unsigned>(pages.size() - 1);
  };

  // Leaves: header {unused, count, previous, next}, then key and value per entry.
  std::vector<std::vector<const BTreeEntry*>> leaves(1);
  size_t used = kLeafHeaderSize;
  for (const BTreeEntry& e : entries) {
    const size_t size = e.key.size() + e.value.size();
    if (size > MaxLeafEntry(tree)) throw std::logic_error("a B+ tree entry longer than a page");
    if (used + size > pageSize && !leaves.back().empty()) {
      leaves.emplace_back();
      used = kLeafHeaderSize;
    }
    leaves.back().push_back(&e);
    used += size;
  }
  if (leaves.size() > kMaxPages) {
    throw SourceError(leaves[kMaxPages].front()->line,
                      std::string("too many ") + what + " for one index of the help file");
  }
  for (size_t i = 0; i < leaves.size(); ++i) {
    std::string body;
    for (const BTreeEntry* e : leaves[i]) body += e->key + e->value;
    std::string page;
    Put16(page, static_cast<unsigned>(pageSize - kLeafHeaderSize - body.size()));
    Put16(page, static_cast<unsigned>(leaves[i].size()));
    Put16(page, i == 0 ? kNoPage : static_cast<unsigned>(i - 1));
    Put16(page, i + 1 == leaves.size() ? kNoPage : static_cast<unsigned>(i + 1));
    const BTreeEntry* first = leaves[i].empty() ? nullptr : leaves[i][0];
    level.push_back({addPage(page + body, first), first ? first->key : ""});
  }

  // Index pages: header {unused, count, previous page}, then {key, page} for every child
  // after the first; a search for a key below the first key goes to the previous page.
  unsigned levels = 1;
  while (level.size() > 1) {
    std::vector<Node> upper;
    size_t i = 0;
    while (i < level.size()) {
      const Node first = level[i++];
      std::string body;
      unsigned count = 0;
      while (i < level.size() &&
             kIndexHeaderSize + body.size() + level[i].firstKey.size() + kPageNumberSize <=
                 pageSize) {
        body += level[i].firstKey;
        Put16(body, level[i].page);
        ++count;
        ++i;
      }
      std::string page;
      Put16(page, static_cast<unsigned>(pageSize - kIndexHeaderSize - body.size()));
      Put16(page, count);
      Put16(page, first.page);
      upper.push_back({addPage(page + body, nullptr), first.firstKey});
    }
    // Each page above took at least two children (the leaf limit sees to it).
    if (upper.size() >= level.size()) throw std::logic_error("a B+ tree level that never shrinks");
    level = std::move(upper);
    ++levels;
  }

  std::string out;
  Put16(out, kBTreeMagic);
  Put16(out, tree.flags);
  Put16(out, tree.pageSize);
  std::string shape(tree.structure);
  shape.resize(kBTreeStructureSize, '\0');
  out += shape;
  Put16(out, 0);  // must be zero
  Put16(out, 0);  // page splits
  Put16(out, level[0].page);
  Put16(out, kNoPage);
  Put16(out, static_cast<unsigned>(pages.size()));
  Put16(out, levels);
  Put32(out, static_cast<uint32_t>(entries.size()));
  for (const std::string& page : pages) out += page;
  return out;
}

// Fonts of the text: descriptors index this table.
enum Font : unsigned { kFontText = 0, kFontBold = 1, kFontHeading = 2 };

std::string FontFile(const std::string& faceSjis) {
  struct Descriptor {
    unsigned attributes;  // bit 0 bold
    unsigned halfPoints;
  };
  const Descriptor descriptors[] = {{0, 18}, {1, 18}, {1, 24}};
  std::string out;
  Put16(out, 1);  // face names
  Put16(out, static_cast<unsigned>(std::size(descriptors)));
  Put16(out, kFontHeaderSize);                  // face names start
  Put16(out, kFontHeaderSize + kFaceNameSize);  // descriptors start
  std::string face = faceSjis;
  face.resize(kFaceNameSize, '\0');
  out += face;
  for (const Descriptor& d : descriptors) {
    Put8(out, d.attributes);
    Put8(out, d.halfPoints);
    Put8(out, 3);         // family: swiss
    Put16(out, 0);        // face name index
    out.append(3, '\0');  // foreground: black
    out.append(3, '\0');  // background
  }
  return out;
}

// One record of |TOPIC before it is placed.
struct Record {
  unsigned type;  // kTopicHeader or kTextRecord
  std::string data1;
  std::string data2;
  unsigned characters = 0;  // counted into topic offsets
  size_t topic = 0;
  size_t position = 0;  // in the stream of block data
  int line = 0;         // the source line it comes from
  size_t size() const { return kRecordHeaderSize + data1.size() + data2.size(); }
};

uint32_t TopicPos(size_t streamPosition) {
  return static_cast<uint32_t>((streamPosition / kBlockData) * kTopicPosBlockScale +
                               streamPosition % kBlockData + kBlockHeaderSize);
}

// A text record holding one paragraph: paragraph settings, then text strings (LinkData2)
// interleaved with formatting commands (LinkData1). `line` is the paragraph's (or the
// heading's topic's) source line.
Record Paragraph(const helpc::Paragraph* paragraph, const Text* heading, int line) {
  std::vector<std::string> strings;
  std::string commands;
  std::string pending;
  unsigned characters = 0;
  const auto command = [&](std::string bytes) {
    strings.push_back(pending);
    characters += static_cast<unsigned>(pending.size());
    pending.clear();
    commands += bytes;
  };
  const auto font = [](unsigned f) {
    std::string b(1, kCommandFont);
    Put16(b, f);
    return b;
  };

  std::string settings;
  unsigned bits = kSpacingBelowFollows;
  if (heading) {
    PutCompressedShort(settings, 12);
  } else if (paragraph->bullet) {
    bits |= kLeftIndentFollows | kFirstLineIndentFollows | kTabStopsFollow;
    PutCompressedShort(settings, 4);    // spacing below
    PutCompressedShort(settings, 30);   // left indent
    PutCompressedShort(settings, -30);  // first line: the dot hangs in the indent
    PutCompressedShort(settings, 1);    // one tab stop
    PutCompressedUShort(settings, 30);  // at the indent
  } else {
    PutCompressedShort(settings, 8);
  }

  if (heading) {
    command(font(kFontHeading));
    pending += heading->sjis;
  } else {
    command(font(kFontText));
    bool bold = false;
    if (paragraph->bullet) {
      pending += "\x81\x45";  // the middle dot, then a tab to the text's indent
      command(std::string(1, kCommandTab));
      ++characters;
    }
    for (const Run& run : paragraph->runs) {
      if (run.lineBreak) {
        command(std::string(1, kCommandLineBreak));
        ++characters;
        continue;
      }
      if (run.bold != bold) {
        bold = run.bold;
        command(font(bold ? kFontBold : kFontText));
      }
      if (run.link.empty()) {
        pending += run.text.sjis;
      } else {
        command(kCommandJump + Le32(ContextHash(run.link)));
        pending += run.text.sjis;
        command(std::string(1, kCommandJumpEnd));
      }
    }
  }
  command(std::string(1, kCommandParagraphEnd));
  ++characters;
  strings.push_back(pending);
  commands += kCommandsEnd;

  Record r;
  r.type = kTextRecord;
  r.line = line;
  for (const std::string& s : strings) r.data2 += s + '\0';
  if (characters > kMaxRecordCharacters || r.data2.size() > kMaxRecordText) {
    throw SourceError(line, std::string(heading ? "topic title" : "paragraph") +
                                " too long for the help file: " + std::to_string(characters) +
                                " characters, at most " + std::to_string(kMaxRecordCharacters));
  }
  PutCompressedLong(r.data1, static_cast<int32_t>(r.data2.size()));
  PutCompressedUShort(r.data1, characters);
  Put8(r.data1, 0);
  Put8(r.data1, kParagraphByte);
  Put16(r.data1, 0);
  Put16(r.data1, bits);
  r.data1 += settings + commands;
  r.characters = characters;
  return r;
}

struct TopicLayout {
  std::string file;               // the |TOPIC bytes
  std::vector<uint32_t> offsets;  // each topic's TOPICOFFSET
};

TopicLayout LayOutTopics(const HelpSource& help) {
  std::vector<Record> records;
  std::vector<size_t> headers;
  for (size_t t = 0; t < help.topics.size(); ++t) {
    const Topic& topic = help.topics[t];
    Record header;
    header.type = kTopicHeader;
    header.data1.assign(kTopicHeaderData1Size, '\0');  // filled in once every record has its place
    header.data2 = topic.title.sjis;
    header.topic = t;
    header.line = topic.line;
    headers.push_back(records.size());
    records.push_back(header);
    Record title = Paragraph(nullptr, &topic.title, topic.line);
    title.topic = t;
    records.push_back(title);
    for (const helpc::Paragraph& p : topic.paragraphs) {
      Record r = Paragraph(&p, nullptr, p.line);
      r.topic = t;
      records.push_back(r);
    }
  }

  size_t position = 0;
  for (Record& r : records) {
    r.position = position;
    position += r.size();
    // Every record's place, and its end, must be a block the offsets can name.
    if (position / kBlockData >= kMaxBlocks) {
      throw SourceError(r.line, "the help text is too long for one help file");
    }
  }
  const size_t blocks = position / kBlockData + 1;

  // Topic offsets: block number and the characters of the text records that start in that
  // block before the topic's header.
  TopicLayout layout;
  layout.offsets.assign(help.topics.size(), 0);
  size_t block = kNone;
  uint32_t characters = 0;
  for (const Record& r : records) {
    if (r.position / kBlockData != block) {
      block = r.position / kBlockData;
      characters = 0;
    }
    if (r.type == kTopicHeader) {
      layout.offsets[r.topic] = static_cast<uint32_t>(block * kTopicOffsetBlockScale + characters);
    } else {
      characters += r.characters;
    }
  }

  std::vector<uint32_t> topicSizes(help.topics.size(), 0);
  for (const Record& r : records) topicSizes[r.topic] += static_cast<uint32_t>(r.size());
  for (size_t t = 0; t < headers.size(); ++t) {
    std::string& d = records[headers[t]].data1;
    d.clear();
    Put32(d, topicSizes[t]);
    Put32(d, t == 0 ? kNone : layout.offsets[t - 1]);                   // browse back
    Put32(d, t + 1 == headers.size() ? kNone : layout.offsets[t + 1]);  // browse forward
    Put32(d, static_cast<uint32_t>(t));                                 // topic number
    Put32(d, kNone);                                                    // no non-scrolling region
    Put32(d, TopicPos(records[headers[t] + 1].position));               // scrolling region
    Put32(d, t + 1 == headers.size() ? kNone : TopicPos(records[headers[t + 1]].position));
  }

  std::string stream;
  for (size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    Put32(stream, static_cast<uint32_t>(r.size()));
    Put32(stream, static_cast<uint32_t>(r.data2.size()));
    Put32(stream, i == 0 ? kNone : TopicPos(records[i - 1].position));
    Put32(stream, i + 1 == records.size() ? kNone : TopicPos(records[i + 1].position));
    Put32(stream, static_cast<uint32_t>(kRecordHeaderSize + r.data1.size()));
    Put8(stream, r.type);
    stream += r.data1 + r.data2;
  }
  // The viewer copies whole blocks, so the last one is padded.
  stream.resize(blocks * kBlockData, '\0');

  for (size_t b = 0; b < blocks; ++b) {
    uint32_t lastBefore = kNone, firstIn = kNone, lastHeader = kNone;
    for (const Record& r : records) {
      const size_t rb = r.position / kBlockData;
      if (rb < b) {
        lastBefore = TopicPos(r.position);
        if (r.type == kTopicHeader) lastHeader = TopicPos(r.position);
      } else if (rb == b && firstIn == kNone) {
        firstIn = TopicPos(r.position);
      }
    }
    Put32(layout.file, lastBefore);
    Put32(layout.file, firstIn);
    Put32(layout.file, lastHeader);
    layout.file += stream.substr(b * kBlockData, kBlockData);
  }
  return layout;
}

void PutSystemRecord(std::string& out, SystemRecord type, const std::string& data) {
  if (data.size() > kMaxSystemRecord) throw std::length_error("a |SYSTEM record too long");
  Put16(out, type);
  Put16(out, static_cast<unsigned>(data.size()));
  out += data;
}

// A text of the source that becomes a NUL-terminated |SYSTEM record.
std::string SystemText(const Text& text, int line, const char* what) {
  if (text.sjis.size() + 1 > kMaxSystemRecord) {
    TooLong(line, what, text.sjis.size(), kMaxSystemRecord - 1);
  }
  return Zstring(text.sjis);
}

}  // namespace

uint32_t ContextHash(const std::string& name) {
  uint32_t hash = 0;
  for (unsigned char c : name) {
    unsigned x = 0;
    if (c >= 'A' && c <= 'Z') x = c - 'A' + 17;
    if (c >= 'a' && c <= 'z') x = c - 'a' + 17;
    if (c >= '1' && c <= '9') x = c - '0';
    if (c == '0') x = 10;
    if (c == '.') x = 12;
    if (c == '_') x = 13;
    hash = hash * 43 + x;
  }
  return hash;
}

std::string WriteHelpFile(const HelpSource& help, const std::string& cntName) {
  const TopicLayout topics = LayOutTopics(help);
  std::map<std::string, std::string> files;  // in name order, as the directory needs them
  files["|TOPIC"] = topics.file;

  std::string system;
  Put16(system, kSystemMagic);
  Put16(system, kSystemMinor);
  Put16(system, kSystemMajor);
  Put32(system, 0);  // no build date: the same source gives the same file
  Put16(system, kSystemFlagsUncompressed);
  PutSystemRecord(system, kSystemTitle, SystemText(help.title, help.titleLine, ".title"));
  if (!help.copyright.sjis.empty()) {
    PutSystemRecord(system, kSystemCopyright,
                    SystemText(help.copyright, help.copyrightLine, ".copyright"));
  }
  PutSystemRecord(system, kSystemContents, Le32(topics.offsets[0]));
  std::string lcid;
  for (unsigned v : {kLocaleJapanese, 0u, 0u, 0u}) Put16(lcid, v);
  PutSystemRecord(system, kSystemLocale, lcid);
  PutSystemRecord(system, kSystemCntFile, Zstring(cntName));
  std::string charset;
  Put16(charset, kCharsetShiftJis);
  PutSystemRecord(system, kSystemCharset, charset);
  files["|SYSTEM"] = system;

  std::string face;
  ToShiftJis("ＭＳ Ｐゴシック", face);
  files["|FONT"] = FontFile(face);

  // Context hashes, in the signed order the viewer searches them. The source has refused
  // names whose hashes collide.
  struct Context {
    int32_t hash;
    uint32_t offset;
    int line;
    bool operator<(const Context& o) const { return hash < o.hash; }
  };
  std::vector<Context> contexts;
  for (size_t t = 0; t < help.topics.size(); ++t) {
    contexts.push_back({static_cast<int32_t>(ContextHash(help.topics[t].context)),
                        topics.offsets[t], help.topics[t].line});
  }
  std::sort(contexts.begin(), contexts.end());
  std::vector<BTreeEntry> contextEntries;
  for (const Context& c : contexts) {
    contextEntries.push_back({Le32(static_cast<uint32_t>(c.hash)), Le32(c.offset), c.line});
  }
  files["|CONTEXT"] = BTree(kContextTree, contextEntries, "topics");

  // Titles by topic offset; topics are laid out in source order, so offsets already rise.
  constexpr size_t kMaxTitle = MaxLeafEntry(kTitleTree) - sizeof(uint32_t) - 1;
  std::vector<BTreeEntry> titles;
  for (const Topic& topic : help.topics) {
    if (topic.title.sjis.size() > kMaxTitle) {
      TooLong(topic.line, "topic title", topic.title.sjis.size(), kMaxTitle);
    }
  }
  for (size_t t = 0; t < help.topics.size(); ++t) {
    titles.push_back(
        {Le32(topics.offsets[t]), Zstring(help.topics[t].title.sjis), help.topics[t].line});
  }
  files["|TTLBTREE"] = BTree(kTitleTree, titles, "topics");

  // Keywords in byte order of the Shift-JIS text, each with its topics once.
  struct Uses {
    std::vector<uint32_t> offsets;
    int line;
  };
  constexpr size_t kKeywordValue = sizeof(uint16_t) + sizeof(uint32_t);  // count, data offset
  constexpr size_t kMaxKeyword = MaxLeafEntry(kKeywordTree) - kKeywordValue - 1;
  std::map<std::string, Uses> keywords;
  for (size_t t = 0; t < help.topics.size(); ++t) {
    for (const Keyword& k : help.topics[t].keywords) {
      if (k.sjis.size() > kMaxKeyword) TooLong(k.line, "keyword", k.sjis.size(), kMaxKeyword);
      Uses& uses = keywords.try_emplace(k.sjis, Uses{{}, k.line}).first->second;
      if (std::find(uses.offsets.begin(), uses.offsets.end(), topics.offsets[t]) !=
          uses.offsets.end()) {
        continue;
      }
      if (uses.offsets.size() == kMaxKeywordTopics) {
        throw SourceError(k.line, "a keyword of more than " + std::to_string(kMaxKeywordTopics) +
                                      " topics: " + k.utf8);
      }
      uses.offsets.push_back(topics.offsets[t]);
    }
  }
  if (!keywords.empty()) {
    std::string data;
    std::vector<BTreeEntry> entries;
    for (const auto& [word, uses] : keywords) {
      std::string value;
      Put16(value, static_cast<unsigned>(uses.offsets.size()));
      Put32(value, static_cast<uint32_t>(data.size()));
      for (uint32_t offset : uses.offsets) Put32(data, offset);
      entries.push_back({Zstring(word), value, uses.line});
    }
    files["|KWBTREE"] = BTree(kKeywordTree, entries, "keywords");
    files["|KWDATA"] = data;
  }

  // Header, the internal files, and last the directory that locates them.
  std::string body;
  std::vector<BTreeEntry> directory;
  for (const auto& [name, content] : files) {
    const size_t at = kFileHeaderSize + body.size();
    if (at + kInternalHeaderSize + content.size() > kNone) {
      throw SourceError(help.topics.back().line, "the help file would pass 4 GiB");
    }
    directory.push_back({Zstring(name), Le32(static_cast<uint32_t>(at))});
    body += InternalFile(content);
  }
  const std::string directoryFile = InternalFile(BTree(kDirectoryTree, directory, "files"));
  if (kFileHeaderSize + body.size() + directoryFile.size() > kNone) {
    throw SourceError(help.topics.back().line, "the help file would pass 4 GiB");
  }
  std::string out;
  Put32(out, kFileMagic);
  Put32(out, static_cast<uint32_t>(kFileHeaderSize + body.size()));
  Put32(out, kNone);  // no free list
  Put32(out, static_cast<uint32_t>(kFileHeaderSize + body.size() + directoryFile.size()));
  return out + body + directoryFile;
}

}  // namespace helpc
