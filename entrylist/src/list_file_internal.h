// The list file's serializer apart from the file system, for the tests, the fuzzers and the
// benchmark; and the reader's buffer advice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "entrylist/entry_list.h"
#include "entrylist/list_file.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pallomar {

// Big buffers are filled once from end to end: on Linux, ask for huge pages for the untouched
// memory so that filling them costs a few hundred page faults instead of tens of thousands.
inline void AdviseHugePages([[maybe_unused]] void* p, [[maybe_unused]] std::size_t n) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (n < 2 * kHuge) return;
  const auto from = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
  const auto to = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(kHuge - 1);
  if (to > from) (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

}  // namespace pallomar

namespace pallomar::listfile {

// Writes the file's bytes for `list` in pieces of at most about 1 MiB; stops at the first
// non-zero answer of `sink` and returns it.
int Serialize(const EntryList& list, const std::function<int(const char*, std::size_t)>& sink);

// The whole file for `list`, in memory.
std::string ToBytes(const EntryList& list);

}  // namespace pallomar::listfile
