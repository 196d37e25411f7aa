// The help file: a header, internal files located through a B+ tree directory, and the
// internal files the viewer reads (|SYSTEM, |TOPIC, |FONT, |CONTEXT) plus the title and
// keyword indexes. Nothing depends on the time of day, so the same source gives the same bytes.
// docs/help-format.md describes the layout. Every length that lands in a field of limited size
// is checked on the way: a source the format cannot hold is refused at its line, never written
// with a wrapped field.
#include <algorithm>
#include <map>
#include <vector>

#include "btree.h"
#include "help_bytes.h"
#include "help_format.h"
#include "outputs.h"
#include "topic_file.h"

namespace helpc {
namespace {

using namespace format;
using namespace bytes;

[[noreturn]] void TooLong(int line, const std::string& what, size_t size, size_t limit) {
  throw SourceError(line, what + " too long for the help file: " + std::to_string(size) +
                              " bytes of Shift-JIS, at most " + std::to_string(limit));
}

// One internal file: its header (reserved size, used size, flags) and its bytes.
std::string InternalFile(const std::string& body) {
  std::string out;
  Put32(out, static_cast<uint32_t>(body.size() + kInternalHeaderSize));
  Put32(out, static_cast<uint32_t>(body.size()));
  Put8(out, kInternalFileFlags);
  return out + body;
}

std::string FontFile(const HelpSource& help) {
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
  std::string face = help.font.sjis;
  if (face.size() >= kFaceNameSize) TooLong(help.fontLine, ".font", face.size(), kFaceNameSize - 1);
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

  files["|FONT"] = FontFile(help);

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
