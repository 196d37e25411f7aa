// The help file: a header, internal files located through a B+ tree directory, and the
// internal files the viewer reads (|SYSTEM, |TOPIC, |FONT, |CONTEXT) plus the title and
// keyword indexes. Nothing depends on the time of day, so the same source gives the same bytes.
#include <algorithm>
#include <map>
#include <vector>

#include "outputs.h"

namespace helpc {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

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

// One internal file: its 9-byte header (reserved size, used size, flags) and its bytes.
std::string InternalFile(const std::string& body) {
  std::string out;
  Put32(out, static_cast<uint32_t>(body.size() + 9));
  Put32(out, static_cast<uint32_t>(body.size()));
  Put8(out, 4);
  return out + body;
}

struct BTreeEntry {
  std::string key;    // the key as stored, e.g. "name\0" or a 4-byte hash
  std::string value;  // what follows the key in a leaf entry
};

// A B+ tree of fixed-size pages: leaves first, then the index levels, the root last.
// The entries must already be in key order.
std::string BTree(unsigned flags, unsigned pageSize, const char* structure,
                  const std::vector<BTreeEntry>& entries) {
  struct Node {
    unsigned page;
    std::string firstKey;
  };
  std::vector<std::string> pages;
  std::vector<Node> level;

  // Leaves: header {unused, count, previous, next}, then key and value per entry.
  std::vector<std::vector<const BTreeEntry*>> leaves(1);
  size_t used = 8;
  for (const BTreeEntry& e : entries) {
    const size_t size = e.key.size() + e.value.size();
    if (used + size > pageSize && !leaves.back().empty()) {
      leaves.emplace_back();
      used = 8;
    }
    leaves.back().push_back(&e);
    used += size;
  }
  for (size_t i = 0; i < leaves.size(); ++i) {
    std::string body;
    for (const BTreeEntry* e : leaves[i]) body += e->key + e->value;
    std::string page;
    Put16(page, static_cast<unsigned>(pageSize - 8 - body.size()));
    Put16(page, static_cast<unsigned>(leaves[i].size()));
    Put16(page, i == 0 ? 0xFFFF : static_cast<unsigned>(i - 1));
    Put16(page, i + 1 == leaves.size() ? 0xFFFF : static_cast<unsigned>(i + 1));
    page += body;
    page.resize(pageSize, '\0');
    pages.push_back(page);
    level.push_back({static_cast<unsigned>(i), leaves[i].empty() ? "" : leaves[i][0]->key});
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
      while (i < level.size() && 6 + body.size() + level[i].firstKey.size() + 2 <= pageSize) {
        body += level[i].firstKey;
        Put16(body, level[i].page);
        ++count;
        ++i;
      }
      std::string page;
      Put16(page, static_cast<unsigned>(pageSize - 6 - body.size()));
      Put16(page, count);
      Put16(page, first.page);
      page += body;
      page.resize(pageSize, '\0');
      upper.push_back({static_cast<unsigned>(pages.size()), first.firstKey});
      pages.push_back(page);
    }
    level = upper;
    ++levels;
  }

  std::string out;
  Put16(out, 0x293B);
  Put16(out, flags);
  Put16(out, pageSize);
  std::string shape(structure);
  shape.resize(16, '\0');
  out += shape;
  Put16(out, 0);  // must be zero
  Put16(out, 0);  // page splits
  Put16(out, level[0].page);
  Put16(out, 0xFFFF);
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
  constexpr unsigned kFaceSize = 32;
  std::string out;
  Put16(out, 1);  // face names
  Put16(out, static_cast<unsigned>(std::size(descriptors)));
  Put16(out, 8);              // face names start
  Put16(out, 8 + kFaceSize);  // descriptors start
  std::string face = faceSjis;
  face.resize(kFaceSize, '\0');
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
  unsigned type;  // 2 topic header, 0x20 text
  std::string data1;
  std::string data2;
  unsigned characters = 0;  // counted into topic offsets
  size_t topic = 0;
  size_t position = 0;  // in the stream of block data
  size_t size() const { return 21 + data1.size() + data2.size(); }
};

constexpr size_t kBlockSize = 4096;
constexpr size_t kBlockData = kBlockSize - 12;

uint32_t TopicPos(size_t streamPosition) {
  return static_cast<uint32_t>((streamPosition / kBlockData) * 0x4000 +
                               streamPosition % kBlockData + 12);
}

// A text record holding one paragraph: paragraph settings, then text strings (LinkData2)
// interleaved with formatting commands (LinkData1).
Record Paragraph(const helpc::Paragraph* paragraph, const Text* heading) {
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
    std::string b;
    Put8(b, 0x80);
    Put16(b, f);
    return b;
  };

  std::string settings;
  unsigned bits = 0x0004;  // spacing below follows
  if (heading) {
    PutCompressedShort(settings, 12);
  } else if (paragraph->bullet) {
    bits |= 0x0010 | 0x0040 | 0x0200;  // left indent, first-line indent, tab stops
    PutCompressedShort(settings, 4);
    PutCompressedShort(settings, 30);
    PutCompressedShort(settings, -30);
    PutCompressedShort(settings, 1);
    PutCompressedUShort(settings, 30);
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
      command("\x83");
      ++characters;
    }
    for (const Run& run : paragraph->runs) {
      if (run.lineBreak) {
        command("\x81");
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
        command("\xE3" + Le32(ContextHash(run.link)));
        pending += run.text.sjis;
        command("\x89");
      }
    }
  }
  command("\x82");
  ++characters;
  strings.push_back(pending);
  commands += '\xFF';

  Record r;
  r.type = 0x20;
  for (const std::string& s : strings) r.data2 += s + '\0';
  PutCompressedLong(r.data1, static_cast<int32_t>(r.data2.size()));
  PutCompressedUShort(r.data1, characters);
  Put8(r.data1, 0);
  Put8(r.data1, 0x80);
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
    header.type = 2;
    header.data1.assign(28, '\0');  // filled in once every record has its place
    header.data2 = topic.title.sjis;
    header.topic = t;
    headers.push_back(records.size());
    records.push_back(header);
    Record title = Paragraph(nullptr, &topic.title);
    title.topic = t;
    records.push_back(title);
    for (const helpc::Paragraph& p : topic.paragraphs) {
      Record r = Paragraph(&p, nullptr);
      r.topic = t;
      records.push_back(r);
    }
  }

  size_t position = 0;
  for (Record& r : records) {
    r.position = position;
    position += r.size();
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
    if (r.type == 2) {
      layout.offsets[r.topic] = static_cast<uint32_t>(block * 0x8000 + characters);
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
    Put32(stream, static_cast<uint32_t>(21 + r.data1.size()));
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
        if (r.type == 2) lastHeader = TopicPos(r.position);
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

void SystemRecord(std::string& out, unsigned type, const std::string& data) {
  Put16(out, type);
  Put16(out, static_cast<unsigned>(data.size()));
  out += data;
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
  Put16(system, 0x036C);
  Put16(system, 33);  // minor version: topic blocks of 4 KiB, flags say uncompressed
  Put16(system, 1);
  Put32(system, 0);  // no build date: the same source gives the same file
  Put16(system, 0);
  SystemRecord(system, 1, Zstring(help.title.sjis));
  if (!help.copyright.sjis.empty()) SystemRecord(system, 2, Zstring(help.copyright.sjis));
  SystemRecord(system, 3, Le32(topics.offsets[0]));
  std::string lcid;
  for (unsigned v : {0x0411u, 0u, 0u, 0u}) Put16(lcid, v);
  SystemRecord(system, 9, lcid);
  SystemRecord(system, 10, Zstring(cntName));
  std::string charset;
  Put16(charset, 128);  // Shift-JIS
  SystemRecord(system, 11, charset);
  files["|SYSTEM"] = system;

  std::string face;
  ToShiftJis("ＭＳ Ｐゴシック", face);
  files["|FONT"] = FontFile(face);

  // Context hashes, in the signed order the viewer searches them.
  std::vector<std::pair<int32_t, uint32_t>> contexts;
  for (size_t t = 0; t < help.topics.size(); ++t) {
    contexts.push_back(
        {static_cast<int32_t>(ContextHash(help.topics[t].context)), topics.offsets[t]});
  }
  std::sort(contexts.begin(), contexts.end());
  std::vector<BTreeEntry> contextEntries;
  for (const auto& [hash, offset] : contexts) {
    contextEntries.push_back({Le32(static_cast<uint32_t>(hash)), Le32(offset)});
  }
  files["|CONTEXT"] = BTree(0x0002, 0x800, "L4", contextEntries);

  // Titles by topic offset; topics are laid out in source order, so offsets already rise.
  std::vector<BTreeEntry> titles;
  for (size_t t = 0; t < help.topics.size(); ++t) {
    titles.push_back({Le32(topics.offsets[t]), Zstring(help.topics[t].title.sjis)});
  }
  files["|TTLBTREE"] = BTree(0x0002, 0x800, "Lz", titles);

  std::map<std::string, std::vector<uint32_t>> keywords;  // byte order of the Shift-JIS text
  for (size_t t = 0; t < help.topics.size(); ++t) {
    for (const Text& k : help.topics[t].keywords) {
      auto& list = keywords[k.sjis];
      if (std::find(list.begin(), list.end(), topics.offsets[t]) == list.end()) {
        list.push_back(topics.offsets[t]);
      }
    }
  }
  if (!keywords.empty()) {
    std::string data;
    std::vector<BTreeEntry> entries;
    for (const auto& [word, offsets] : keywords) {
      std::string value;
      Put16(value, static_cast<unsigned>(offsets.size()));
      Put32(value, static_cast<uint32_t>(data.size()));
      for (uint32_t offset : offsets) Put32(data, offset);
      entries.push_back({Zstring(word), value});
    }
    files["|KWBTREE"] = BTree(0x0002, 0x800, "F24", entries);
    files["|KWDATA"] = data;
  }

  // Header, the internal files, and last the directory that locates them.
  std::string body;
  std::vector<BTreeEntry> directory;
  for (const auto& [name, content] : files) {
    directory.push_back({Zstring(name), Le32(static_cast<uint32_t>(16 + body.size()))});
    body += InternalFile(content);
  }
  const std::string directoryFile = InternalFile(BTree(0x0402, 0x400, "z4", directory));
  std::string out;
  Put32(out, 0x00035F3F);
  Put32(out, static_cast<uint32_t>(16 + body.size()));
  Put32(out, kNone);  // no free list
  Put32(out, static_cast<uint32_t>(16 + body.size() + directoryFile.size()));
  return out + body + directoryFile;
}

}  // namespace helpc
