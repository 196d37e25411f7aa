#include "entrylist/list_file.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "entry_list_impl.h"
#include "entrylist/file_system.h"
#include "entrylist/list_parse.h"
#include "line_scan.h"
#include "list_file_internal.h"

namespace pallomar {

namespace {

using linescan::CountLineFeeds;

constexpr std::size_t kReadPiece = 4u << 20;

// A name of fixed, short length, so that every target whose name fits has a temporary name
// that fits beside it too.
std::string TemporaryName(const std::string& target, int attempt) {
  static unsigned counter = 0;
  const auto now =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  unsigned long long mix = now ^ (static_cast<unsigned long long>(++counter) << 40) ^
                           (reinterpret_cast<std::uintptr_t>(&target) << 8) ^
                           static_cast<unsigned long long>(attempt);
  mix *= 0x9E3779B97F4A7C15ull;
  static const char kHex[] = "0123456789abcdef";
  std::string name = "~plw";
  for (int i = 0; i < 8; ++i) name += kHex[(mix >> (60 - 4 * i)) & 0xF];
  name += ".tmp";
  return name;
}

std::function<int(const char*, std::size_t)> WriterTo(FileSystem& fs, FileHandle h) {
  return [&fs, h](const char* p, std::size_t n) { return fs.Write(h, p, n); };
}

// The whole content of an open file, from its start.
int ReadAll(FileSystem& fs, FileHandle h, std::string& out) {
  std::uint64_t size = 0;
  if (const int e = fs.Size(h, size)) return e;
  if (size > SIZE_MAX / 2) throw ETooLongError(ETooLongError::What::ListFile);
  out.reserve(static_cast<std::size_t>(size));
  char piece[65536];
  for (;;) {
    std::size_t got = 0;
    if (const int e = fs.Read(h, piece, sizeof piece, got)) return e;
    if (got == 0) return 0;
    out.append(piece, got);
  }
}

// The file a save to the host's disk is writing, kept where a signal handler can read it.
char unfinishedPath[4096 + 32];
std::atomic<bool> unfinishedArmed{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Marks the file a save is writing, which is not yet a whole list, until Clear().
class Unfinished {
 public:
  explicit Unfinished(FileSystem& fs) : real_(&fs == &RealFileSystem()) {}
  ~Unfinished() { Clear(); }
  Unfinished(const Unfinished&) = delete;
  Unfinished& operator=(const Unfinished&) = delete;

  void Set(const std::string& path) {
    Clear();
    if (!real_ || path.size() >= sizeof unfinishedPath) return;
    std::memcpy(unfinishedPath, path.c_str(), path.size() + 1);
    unfinishedArmed.store(true);
    armed_ = true;
  }
  void Clear() {
    if (armed_) unfinishedArmed.store(false);
    armed_ = false;
  }

 private:
  bool real_;
  bool armed_ = false;
};

// Makes a new file beside `target` under a temporary name, marked unfinished: 0 or the error
// of the last try.
int CreateTemporary(FileSystem& fs, const std::string& target, const TargetState& like,
                    Unfinished& unfinished, std::string& temp, FileHandle& h) {
  int e = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = fs.Beside(target, TemporaryName(target, attempt));
    unfinished.Set(temp);
    e = fs.CreateNew(temp, like, h);
    if (e != FileSystem::kAlreadyExists) break;
  }
  if (e != 0) unfinished.Clear();
  return e;
}

// The earlier list, whole and on the disk, under the copy's name: written under a temporary
// name first, so that the copy's name never holds less than the whole list. 0 or the error.
int WriteCopy(FileSystem& fs, const std::string& target, const std::string& copy,
              const TargetState& state, const std::string& old) {
  if (fs.IsFile(copy)) return FileSystem::kAlreadyExists;
  Unfinished unfinished(fs);
  std::string temp;
  FileHandle h{};
  int e = CreateTemporary(fs, target, state, unfinished, temp, h);
  if (e == FileSystem::kAttributesNotKept) {
    // Where the target's access list cannot come over, the copy is for its owner alone.
    TargetState narrower = state;
    narrower.attributes.clear();
    narrower.mode &= 0700;
    e = CreateTemporary(fs, target, narrower, unfinished, temp, h);
  }
  if (e != 0) return e;
  e = fs.Write(h, old.data(), old.size());
  if (e == 0) e = fs.Flush(h);
  // As with the list itself: when the closing fails, that is the error shown.
  if (const int ce = fs.Close(h)) e = ce;
  if (e == 0) e = fs.MoveNew(temp, copy);
  if (e != 0) fs.Remove(temp);
  return e;
}

// After a failed step of the in-place rewrite: the earlier bytes go back over whatever reached
// the file and the earlier length is restored. Best effort: the step's own error is the one
// reported. True when every step of it succeeded.
bool PutBack(FileSystem& fs, FileHandle h, const std::string& old, bool written) {
  bool back = true;
  if (written) back = fs.Seek(h, 0) == 0 && fs.Write(h, old.data(), old.size()) == 0;
  back = fs.SetLength(h, old.size()) == 0 && back;
  return fs.Flush(h) == 0 && back;
}

// Rewrites an existing file in place for when no new file can be put in its place, or when it
// has more than one name. Before its first byte changes, a whole copy of the earlier list is on
// the disk beside it; the copy goes only once the new list is in place, cut and flushed, or the
// earlier one is put back. The file is never shorter or cut before all the new bytes are in
// it: the room for the longer of the two lists is taken first, the new bytes overwrite from
// the start and are flushed, and only then is the file cut to the new length. Signals that
// would end the program wait, from the copy on, until it is over.
void RewriteInPlace(FileSystem& fs, const std::string& path, const TargetState& state,
                    const EntryList& list) {
  FileHandle h{};
  if (const int e = fs.OpenForRewrite(path, h)) throw EInOutError(e);
  // From before the copy takes its name: a signal acted on between the copy and the rewrite
  // would leave a copy of a list that was never touched.
  const InterruptHold hold;
  std::string old;
  int e = 0;
  const std::string copy = SaveCopyName(path);
  try {
    e = ReadAll(fs, h, old);
    if (e == 0) e = WriteCopy(fs, path, copy, state, old);
  } catch (...) {
    fs.Close(h);
    throw;
  }
  if (e != 0) {
    fs.Close(h);
    throw EInOutError(e);
  }
  std::uint64_t length = 0;
  listfile::Serialize(list, [&](const char*, std::size_t n) {
    length += n;
    return 0;
  });
  bool written = false;
  try {
    e = fs.Reserve(h, std::max<std::uint64_t>(length, old.size()));
    if (e == 0) e = fs.Seek(h, 0);
    if (e == 0) {
      written = true;
      e = listfile::Serialize(list, WriterTo(fs, h));
    }
    if (e == 0) e = fs.Flush(h);
    if (e == 0) e = fs.SetLength(h, length);
    if (e == 0) e = fs.Flush(h);
  } catch (...) {
    if (PutBack(fs, h, old, written)) fs.Remove(copy);
    fs.Close(h);
    throw;
  }
  // The copy goes while the file is still locked, so that the next save, waiting for the lock,
  // never finds it.
  if (e != 0) {
    if (PutBack(fs, h, old, written)) fs.Remove(copy);
    // As on the replace route: when the closing fails as well, that is the error shown.
    const int ce = fs.Close(h);
    throw EInOutError(ce != 0 ? ce : e);
  }
  // The new list is whole on the disk: the copy has served.
  fs.Remove(copy);
  if (const int ce = fs.Close(h)) {
    // A failure is reported, so the file must not hold the new list: put the earlier back.
    FileHandle again{};
    if (fs.OpenForRewrite(path, again) == 0) {
      PutBack(fs, again, old, true);
      fs.Close(again);
    }
    throw EInOutError(ce);
  }
}

// Writes the whole list into the new file `h` and closes it: 0 or the error to raise.
int FillAndClose(FileSystem& fs, FileHandle h, const EntryList& list) {
  int e = 0;
  try {
    e = listfile::Serialize(list, WriterTo(fs, h));
  } catch (...) {
    fs.Close(h);
    throw;
  }
  if (e == 0) e = fs.Flush(h);
  if (const int ce = fs.Close(h)) e = ce;
  return e;
}

// Fills and closes the new file `h` at `path`, and removes it again when that fails.
int FillOrRemove(FileSystem& fs, FileHandle h, const std::string& path, const EntryList& list) {
  int e = 0;
  try {
    e = FillAndClose(fs, h, list);
  } catch (...) {
    fs.Remove(path);
    throw;
  }
  if (e != 0) fs.Remove(path);
  return e;
}

// A new list whose temporary name does not fit beside it: there is nothing to lose, so it is
// made under its own name, and removed again if it cannot be written whole.
void WriteNewInPlace(FileSystem& fs, const std::string& path, const TargetState& state,
                     const EntryList& list, Unfinished& unfinished) {
  FileHandle h{};
  unfinished.Set(path);
  if (const int e = fs.CreateNew(path, state, h)) {
    unfinished.Clear();
    throw EInOutError(e);
  }
  if (const int e = FillOrRemove(fs, h, path, list)) throw EInOutError(e);
}

}  // namespace

void RemoveUnfinishedSave() noexcept {
  if (unfinishedArmed.exchange(false)) (void)RemoveFileNow(unfinishedPath);
}

ListFileReadResult ReadListFile(const std::string& path, EntryList& list, FileSystem& fs,
                                ListNotes* notes) {
  FileHandle h{};
  if (const int e = fs.OpenRead(path, h)) throw EInOutError(e);
  std::unique_ptr<char[]> buf;
  std::size_t used = 0;
  std::size_t lineFeeds = 0;
  int readError = 0;
  try {
    std::uint64_t size = 0;
    readError = fs.Size(h, size);
    if (readError == 0) {
      if (size > SIZE_MAX / 2) throw ETooLongError(ETooLongError::What::ListFile);
      // Straight into the buffer the list keeps: the bytes are held once.
      std::size_t capacity = static_cast<std::size_t>(size);
      buf.reset(new char[capacity]);
      AdviseHugePages(buf.get(), capacity);
      for (;;) {
        std::size_t got = 0;
        if (used == capacity) {
          // Full: the end of the file is expected. Only if the file grew since its size was
          // asked is the buffer enlarged, never merely to find the end.
          char probe[4096];
          readError = fs.Read(h, probe, sizeof probe, got);
          if (readError != 0 || got == 0) break;
          const std::size_t more = std::max<std::size_t>(capacity / 2, 65536);
          std::unique_ptr<char[]> bigger(new char[capacity + more]);
          if (used != 0) std::memcpy(bigger.get(), buf.get(), used);
          std::memcpy(bigger.get() + used, probe, got);
          buf = std::move(bigger);
          capacity += more;
        } else {
          // Pieces small enough to be counted while they are still in the cache.
          readError = fs.Read(h, buf.get() + used, std::min(capacity - used, kReadPiece), got);
          if (readError != 0 || got == 0) break;
        }
        lineFeeds += CountLineFeeds(buf.get() + used, buf.get() + used + got);
        used += got;
      }
    }
  } catch (...) {
    fs.Close(h);
    throw;
  }
  const int closeError = fs.Close(h);
  const ListFileReadResult result =
      ParseListBytes(std::move(buf), used, list, {readError == 0, lineFeeds, notes});
  if (readError != 0) throw EInOutError(readError);
  if (closeError != 0) throw EInOutError(closeError);
  return result;
}

void WriteListFile(const std::string& path, const EntryList& list, FileSystem& fs) {
  TargetState state;
  if (const int e = fs.ProbeTarget(path, state)) throw EInOutError(e);
  const std::string& target = state.linked.empty() ? path : state.linked;
  // Replacing one name of a file with several would part it from the others.
  if (state.exists && state.links > 1) {
    RewriteInPlace(fs, target, state, list);
    return;
  }

  std::string temp;
  FileHandle h{};
  Unfinished unfinished(fs);
  int e = CreateTemporary(fs, target, state, unfinished, temp, h);
  if (e != 0) {
    // No file can be made beside the list, or none that carries its access list: an existing
    // one gets the safe in-place rewrite (which refuses where no copy can be made either), a
    // new one is made under its own name.
    if (state.exists) {
      RewriteInPlace(fs, target, state, list);
    } else {
      WriteNewInPlace(fs, target, state, list, unfinished);
    }
    return;
  }
  if (const int fe = FillOrRemove(fs, h, temp, list)) throw EInOutError(fe);
  e = fs.Replace(temp, target, state);
  if (e != 0) {
    fs.Remove(temp);
    unfinished.Clear();
    // A file this user may write but not replace (another's in a shared folder, one held
    // open that may not be removed meanwhile, a mount point) is rewritten in place, as it
    // always could be.
    if (state.exists && (e == FileSystem::kAccessDenied || e == FileSystem::kSharingViolation ||
                         e == FileSystem::kBusy)) {
      RewriteInPlace(fs, target, state, list);
      return;
    }
    throw EInOutError(e);
  }
}

bool FileExists(const std::string& path, FileSystem& fs) { return fs.IsFile(path); }

std::string SaveCopyName(const std::string& path) { return path + ".before-save"; }

std::string LeftoverSaveCopy(const std::string& path, FileSystem& fs) {
  // Beside the file a link leads to, where the save made it.
  TargetState state;
  (void)fs.ProbeTarget(path, state);
  const std::string copy = SaveCopyName(state.linked.empty() ? path : state.linked);
  return fs.IsFile(copy) ? copy : std::string();
}

}  // namespace pallomar
