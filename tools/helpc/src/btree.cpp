// The B+ tree writer: fills leaves in key order, then builds index levels over them until one
// page, the root, is left.
#include "btree.h"

#include <stdexcept>

#include "help_bytes.h"
#include "help_source.h"

namespace helpc {

using namespace format;
using namespace bytes;

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

}  // namespace helpc
