// The B+ trees of the help file: its directory of internal files and its indexes (context
// hashes, titles, keywords), each of fixed-size pages.
#pragma once

#include <string>
#include <vector>

#include "help_format.h"

namespace helpc {

struct BTreeEntry {
  std::string key;    // the key as stored, e.g. "name\0" or a 4-byte hash
  std::string value;  // what follows the key in a leaf entry
  int line = 0;       // the source line it comes from, for a refusal
};

// The longest key and value a leaf of `tree` holds; index pages then always hold a key more
// than their first child, so every index level is smaller than the one below it.
constexpr size_t MaxLeafEntry(const format::TreeShape& tree) {
  return tree.pageSize - format::kLeafHeaderSize;
}
static_assert(format::kIndexHeaderSize + MaxLeafEntry(format::kKeywordTree) +
                  format::kPageNumberSize <=
              format::kKeywordTree.pageSize);

// The tree's bytes: its header, the leaves first, then the index levels, the root last. The
// entries must already be in key order, each no longer than MaxLeafEntry. `what` names the
// entries in a refusal (too many for one index).
std::string BTree(const format::TreeShape& tree, const std::vector<BTreeEntry>& entries,
                  const char* what);

}  // namespace helpc
