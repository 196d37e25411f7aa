// |TOPIC, the help file's text: each topic's header record and one text record per paragraph,
// laid out in fixed-size blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "help_source.h"

namespace helpc {

// Fonts of the text: records name them by their place in the |FONT file's descriptors.
enum Font : unsigned { kFontText = 0, kFontBold = 1, kFontHeading = 2 };

struct TopicLayout {
  std::string file;               // the |TOPIC bytes
  std::vector<uint32_t> offsets;  // each topic's TOPICOFFSET
};

// Refuses, at its line, a paragraph or a title longer than a record holds, and text longer
// than the offsets can reach.
TopicLayout LayOutTopics(const HelpSource& help);

}  // namespace helpc
