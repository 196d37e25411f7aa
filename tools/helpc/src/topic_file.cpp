// The help file's text: records of paragraph settings, formatting commands and strings, and
// the two offset scales that name a record's place and a topic's place.
#include "topic_file.h"

#include "help_bytes.h"
#include "help_format.h"
#include "outputs.h"

namespace helpc {
namespace {

using namespace format;
using namespace bytes;

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
Record TextRecord(const helpc::Paragraph* paragraph, const Text* heading, int line) {
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

}  // namespace

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
    Record title = TextRecord(nullptr, &topic.title, topic.line);
    title.topic = t;
    records.push_back(title);
    for (const helpc::Paragraph& p : topic.paragraphs) {
      Record r = TextRecord(&p, nullptr, p.line);
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

}  // namespace helpc
