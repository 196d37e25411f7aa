// Files that cannot be read or written: real failures where this machine can produce them,
// injected ones through the in-memory file system where it cannot.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "entrylist/errors.h"
#include "entrylist/list_file.h"
#include "list_file_internal.h"
#include "memory_file_system.h"
#include "temp_folder.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h.
#include <sddl.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#endif

namespace pallomar {
namespace {

using test_support::TempFolder;
using testing::CallName;
using testing::FsCall;
using testing::MemoryFileSystem;

EntryList Sample(std::size_t n) {
  EntryList list;
  for (std::size_t i = 0; i < n; ++i) {
    list.Append("c:\\tools\\app" + std::to_string(i) + ".exe", "-n " + std::to_string(i),
                "c:\\tools", "1", i % 2 ? "1" : "0");
  }
  return list;
}

const std::string kEarlier = "102\r\nearlier.exe\r\n\r\n\r\n0\r\nTrue\r\n";
// Longer than Sample(2)'s file: rewriting it in place must cut it.
const std::string kLongEarlier = kEarlier + std::string(3000, 'x');

// How the save reaches the target.
enum class Route { Replace, InPlaceRefused, InPlaceHardLink };

const char* RouteName(Route r) {
  return r == Route::Replace ? "replace" : r == Route::InPlaceRefused ? "refused" : "hard link";
}

// A file system holding "/mem/d/list.plw" with `earlier`, set up so the save takes `route`.
void Prepare(MemoryFileSystem& fs, Route route, const std::string& earlier) {
  fs.AddFolder("d");
  fs.Put("d/list.plw", earlier);
  // Another user's file in a shared folder: it may be written, not replaced.
  if (route == Route::InPlaceRefused) fs.FailOn(FsCall::Replace, "/mem/d/list.plw", 5);
  if (route == Route::InPlaceHardLink) fs.Link("d/list.plw", "d/other.plw");
}

std::vector<std::string> FilesAfter(Route route) {
  if (route == Route::InPlaceHardLink) return {"/mem/d/list.plw", "/mem/d/other.plw"};
  return {"/mem/d/list.plw"};
}

struct StepCase {
  Route route;
  const std::string* earlier;
  std::size_t entries;
};

// Every call a save makes is made to fail in turn, on each route: afterwards the earlier list
// is byte-identical, nothing else is left in the folder, no file stays open, and the step's
// own error is raised.
TEST(SafeSave, FailureAtAnyStepKeepsEarlierListAndLeavesNothingBehind) {
  const StepCase cases[] = {
      // Several output pieces, so that a write fails with some pieces already in the file.
      {Route::Replace, &kEarlier, 40000},         {Route::InPlaceRefused, &kEarlier, 40000},
      {Route::InPlaceRefused, &kLongEarlier, 2},  {Route::InPlaceHardLink, &kEarlier, 40000},
      {Route::InPlaceHardLink, &kLongEarlier, 2},
  };
  // In place, the copy of the earlier list is made first (CreateNew, Write, Flush, Close,
  // MoveNew): a failure there refuses the save before the list is touched.
  const FsCall steps[] = {FsCall::OpenForRewrite, FsCall::Size,  FsCall::Read,    FsCall::CreateNew,
                          FsCall::Reserve,        FsCall::Seek,  FsCall::Write,   FsCall::Flush,
                          FsCall::SetLength,      FsCall::Close, FsCall::Replace, FsCall::MoveNew};
  int total = 0;
  for (const StepCase& c : cases) {
    const EntryList list = Sample(c.entries);
    // A save that fails nowhere counts the calls of each kind.
    MemoryFileSystem clean;
    Prepare(clean, c.route, *c.earlier);
    WriteListFile("/mem/d/list.plw", list, clean);
    ASSERT_EQ(clean.Files(), FilesAfter(c.route)) << RouteName(c.route);
    for (const std::string& name : FilesAfter(c.route)) {
      ASSERT_EQ(clean.Get(name), listfile::ToBytes(list)) << RouteName(c.route) << " " << name;
    }
    int tried = 0;
    for (FsCall step : steps) {
      // Where a replacement is tried, its temporary file failing is no failure: it sends the
      // save in place (as the refused replacement does, which answers before any injection).
      const bool sendsInPlace = (step == FsCall::CreateNew && c.route != Route::InPlaceHardLink) ||
                                (step == FsCall::Replace && c.route == Route::InPlaceRefused);
      for (int nth = sendsInPlace ? 2 : 1; nth <= clean.Calls(step); ++nth) {
        const std::string where = std::string(RouteName(c.route)) + " " + CallName(step) + " #" +
                                  std::to_string(nth) + " of " + std::to_string(c.entries);
        MemoryFileSystem fs;
        Prepare(fs, c.route, *c.earlier);
        fs.FailAt(step, nth, 1117);
        try {
          WriteListFile("/mem/d/list.plw", list, fs);
          ADD_FAILURE() << where << ": no error";
        } catch (const EInOutError& e) {
          EXPECT_EQ(e.Code(), 1117) << where;
        }
        EXPECT_EQ(fs.Files(), FilesAfter(c.route)) << where;
        for (const std::string& name : FilesAfter(c.route)) {
          EXPECT_EQ(fs.Get(name), *c.earlier) << where << " " << name;
        }
        EXPECT_EQ(fs.OpenHandles(), 0u) << where;
        ++tried;
      }
    }
    EXPECT_GE(tried, 5) << RouteName(c.route);
    total += tried;
  }
  RecordProperty("injected_failures", total);
}

// A write that fails and a close that fails as well: one error either way, the close's, on
// every route; and the earlier list stays.
TEST(SafeSave, WhenTheCloseFailsTooItsErrorIsTheOneRaised) {
  struct Case {
    int writeCode, closeCode, raised;
  };
  for (Route route : {Route::Replace, Route::InPlaceRefused, Route::InPlaceHardLink}) {
    for (const Case c : {Case{112, 0, 112}, Case{112, 1117, 1117}, Case{0, 1117, 1117}}) {
      MemoryFileSystem fs;
      Prepare(fs, route, kEarlier);
      if (c.writeCode != 0) fs.FailAt(FsCall::Write, 1, c.writeCode);
      if (c.closeCode != 0) fs.FailAt(FsCall::Close, 1, c.closeCode);
      const std::string where = std::string(RouteName(route)) + " write " +
                                std::to_string(c.writeCode) + " close " +
                                std::to_string(c.closeCode);
      try {
        WriteListFile("/mem/d/list.plw", Sample(3), fs);
        ADD_FAILURE() << where << ": no error";
      } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), c.raised) << where;
      }
      EXPECT_EQ(fs.Get("/mem/d/list.plw"), kEarlier) << where;
      EXPECT_EQ(fs.Files(), FilesAfter(route)) << where;
    }
  }
}

struct FullDiskCase {
  const char* name;
  std::size_t entries;
  bool fits;
};

// Saves Sample(c.entries) at `path`: a list that fits replaces the earlier one; one that does
// not is refused with 112 and the earlier list stays as it was.
void ExpectFullDiskOutcome(MemoryFileSystem& fs, const std::string& path, const FullDiskCase& c,
                           const std::string& earlier) {
  const EntryList list = Sample(c.entries);
  try {
    WriteListFile(path, list, fs);
    EXPECT_TRUE(c.fits) << c.name << ": no error";
  } catch (const EInOutError& e) {
    EXPECT_FALSE(c.fits) << c.name << ": " << e.Code();
    EXPECT_EQ(e.Code(), 112) << c.name;
  }
  EXPECT_EQ(fs.Get(path), c.fits ? listfile::ToBytes(list) : earlier) << c.name;
}

// The issue's case: a 246-byte name on a nearly full disk. The temporary name beside it must
// still fit, and the full disk must leave the earlier list whole.
TEST(SafeSave, LongNameOnFullDiskKeepsEarlierList) {
  const std::string name = std::string(246, 'L') + ".plw";
  const std::string earlier = listfile::ToBytes(Sample(2));
  for (const FullDiskCase c : {FullDiskCase{"fits", 3, true}, {"disk full", 3000, false}}) {
    MemoryFileSystem fs;
    fs.Put(name, earlier);
    fs.Put("filler", std::string(40 * 1024, '\0'));
    fs.capacity = 64 * 1024;
    ExpectFullDiskOutcome(fs, name, c, earlier);
    EXPECT_EQ(fs.Files(), (std::vector<std::string>{fs.Full(name), "/mem/filler"})) << c.name;
  }
}

// In place on a disk with room for the copy but not for the longer list: nothing of the earlier
// list may go, and the shorter list, which needs no more room, is written; no room for the copy
// refuses even the shorter list.
TEST(SafeSave, InPlaceOnFullDiskWritesOnlyWhatFits) {
  for (const FullDiskCase c : {FullDiskCase{"longer list", 200, false},
                               {"shorter list", 2, true},
                               {"no room for the copy", 0, false}}) {
    MemoryFileSystem fs;
    Prepare(fs, Route::InPlaceHardLink, kLongEarlier);
    fs.capacity = fs.BytesUsed() + 10 + (c.entries == 0 ? 0 : kLongEarlier.size());
    ExpectFullDiskOutcome(fs, "/mem/d/list.plw", {c.name, c.entries == 0 ? 2 : c.entries, c.fits},
                          kLongEarlier);
    EXPECT_EQ(fs.Files(), FilesAfter(Route::InPlaceHardLink)) << c.name;
  }
}

// Where no whole copy of the earlier list can be put beside it, an in-place save is refused
// before the list is touched: a folder that allows no new file, a copy's name already taken
// (by the copy an interrupted save left, which stays as it was).
TEST(SafeSave, InPlaceWithoutACopyIsRefusedAndTheListUntouched) {
  struct Case {
    const char* name;
    bool denyCreate;
    bool copyThere;
    int code;
  };
  for (const Case c : {Case{"no new file in the folder", true, false, 5},
                       Case{"copy from an interrupted save", false, true, 80}}) {
    for (Route route : {Route::InPlaceRefused, Route::InPlaceHardLink}) {
      const std::string where = std::string(RouteName(route)) + ": " + c.name;
      MemoryFileSystem fs;
      Prepare(fs, route, kEarlier);
      if (c.denyCreate) fs.DenyCreateIn("d");
      if (c.copyThere) fs.Put("d/list.plw.before-save", "older");
      try {
        WriteListFile("/mem/d/list.plw", Sample(3), fs);
        ADD_FAILURE() << where << ": no error";
      } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), c.code) << where;
      }
      EXPECT_EQ(fs.Get("/mem/d/list.plw"), kEarlier) << where;
      EXPECT_EQ(fs.Calls(FsCall::Reserve), 0) << where << ": the list was touched";
      EXPECT_EQ(LeftoverSaveCopy("/mem/d/list.plw", fs).empty(), !c.copyThere) << where;
      if (c.copyThere) {
        EXPECT_EQ(fs.Get("d/list.plw.before-save"), "older") << where;
      }
      EXPECT_EQ(fs.OpenHandles(), 0u) << where;
    }
  }
}

TEST(SafeSave, NewFileFailingPartWayLeavesNoFileAtAll) {
  for (FsCall call : {FsCall::Write, FsCall::Flush, FsCall::Close, FsCall::Replace}) {
    MemoryFileSystem fs;
    fs.FailAt(call, 1, 112);
    EXPECT_THROW(WriteListFile("new.plw", Sample(3), fs), EInOutError) << CallName(call);
    EXPECT_TRUE(fs.Files().empty()) << CallName(call);
  }
}

// A missing list in a folder where no file can be made cannot be written in place either:
// the refusal is raised, and nothing is made.
TEST(SafeSave, NoCreateFolderRefusesANewList) {
  MemoryFileSystem fs;
  fs.AddFolder("d");
  fs.DenyCreateIn("d");
  try {
    WriteListFile("d/new.plw", Sample(1), fs);
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Code(), 5);
  }
  EXPECT_TRUE(fs.Files().empty());
}

// Situations where the one-step replacement cannot be made, on every route: a replacement the
// host refuses though the file may be written (another user's file in a shared folder; a file
// held open that may not be removed) is written in place; a new list whose temporary name does
// not fit is made under its own name, and gone again when it cannot be written whole; any
// other failure keeps the earlier list.
TEST(SafeSave, ReplacementThatCannotBeMadeStillSavesWhereWritingIsAllowed) {
  struct Case {
    const char* name;
    bool existing;
    FsCall call;  // what is made to fail, and how
    int code;
    bool saved;
  };
  const Case cases[] = {
      {"replacement refused: access denied", true, FsCall::Replace, 5, true},
      {"replacement refused: sharing violation", true, FsCall::Replace, 32, true},
      {"replacement failing: device error", true, FsCall::Replace, 1117, false},
      {"in place after refusal: disk full", true, FsCall::Reserve, 112, false},
      {"new list, no room for the temporary name", false, FsCall::kCount, 0, true},
      {"new list under its own name: write fails", false, FsCall::Write, 112, false},
      {"new list under its own name: close fails", false, FsCall::Close, 1117, false},
  };
  const EntryList list = Sample(3);
  for (Route route : {Route::Replace, Route::InPlaceHardLink}) {
    for (const Case& c : cases) {
      // The in-place route makes no replacement and no new file.
      if (route != Route::Replace && (!c.existing || c.call == FsCall::Replace)) continue;
      const std::string where = std::string(RouteName(route)) + ": " + c.name;
      MemoryFileSystem fs;
      if (c.existing) {
        Prepare(fs, route, kEarlier);
        // A failing in-place step needs a refused replacement to get there.
        if (c.call == FsCall::Reserve) fs.FailOn(FsCall::Replace, "/mem/d/list.plw", 5);
      } else {
        fs.AddFolder("d");
        fs.nameLimit = 10;  // "list.plw" fits, "~plw........tmp" does not
      }
      if (c.call != FsCall::kCount) fs.FailAt(c.call, 1, c.code);
      try {
        WriteListFile("/mem/d/list.plw", list, fs);
        EXPECT_TRUE(c.saved) << where << ": no error";
      } catch (const EInOutError& e) {
        EXPECT_FALSE(c.saved) << where << ": " << e.Code();
        EXPECT_EQ(e.Code(), c.code) << where;
      }
      const std::vector<std::string> files =
          c.existing ? FilesAfter(route)
                     : (c.saved ? std::vector<std::string>{"/mem/d/list.plw"}
                                : std::vector<std::string>{});
      EXPECT_EQ(fs.Files(), files) << where;
      for (const std::string& name : files) {
        EXPECT_EQ(fs.Get(name), c.saved ? listfile::ToBytes(list) : kEarlier) << where << name;
      }
      EXPECT_EQ(fs.OpenHandles(), 0u) << where;
    }
  }
}

TEST(SafeSave, ReplacingKeepsNothingOfTheOldFileAndNoTemporary) {
  TempFolder dir;
  const std::string path = dir.Write("list.plw", std::string(50000, 'o'));
  WriteListFile(path, Sample(5));
  EXPECT_EQ(dir.Read("list.plw"), listfile::ToBytes(Sample(5)));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"list.plw"});
}

// A bare relative name, as typed on the command line, must replace an existing list too.
TEST(SafeSave, RelativeTargetOverExistingFileIsReplaced) {
  TempFolder dir;
  dir.Write("rel.plw", std::string(300, 'o'));
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path(""));
  try {
    WriteListFile("rel.plw", Sample(2));
  } catch (const EInOutError& e) {
    std::filesystem::current_path(before);
    FAIL() << "code " << e.Code();
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(dir.Read("rel.plw"), listfile::ToBytes(Sample(2)));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"rel.plw"});
}

struct ReadFailureCase {
  const char* name;
  std::size_t piece;  // bytes per read
  int failingRead;    // which read fails
  std::size_t kept;   // whole records before the failure
};

// A read failure keeps only the records whose five lines were all read: the columns stay
// aligned, and the error is raised.
TEST(ReadFailure, DropsTheRecordInProgressAndRaises) {
  // Each record is "pN\r\nq\r\nf\r\n0\r\nTrue\r\n": 19 bytes for N < 10, after 5.
  std::string file = "102\r\n";
  for (int i = 0; i < 5; ++i) file += "p" + std::to_string(i) + "\r\nq\r\nf\r\n0\r\nTrue\r\n";
  const ReadFailureCase cases[] = {
      {"first read", 1 << 20, 1, 0},
      {"inside version line", 2, 2, 0},
      {"after version line", 5, 2, 0},
      {"inside first record", 15, 2, 0},
      {"after one record and its line feed", 25, 2, 1},
      {"inside the last line of record 2", 41, 2, 1},
      {"right after record 2", 43, 2, 2},
      {"after three records", 65, 2, 3},
  };
  for (const auto& c : cases) {
    MemoryFileSystem fs;
    fs.Put("r.plw", file);
    fs.FailAt(FsCall::Read, c.failingRead, 23);
    fs.readPiece = c.piece;
    EntryList list;
    try {
      ReadListFile("r.plw", list, fs);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), 23) << c.name;
    }
    EXPECT_EQ(fs.OpenHandles(), 0u) << c.name;
    ASSERT_EQ(list.Count(), c.kept) << c.name;
    for (std::size_t i = 0; i < list.Count(); ++i) {
      EXPECT_EQ(list.EntryAt(i), (Entry{"p" + std::to_string(i), "q", "f", "0", "1"})) << c.name;
    }
  }
}

TEST(ReadFailure, FailedOpenOrCloseIsRaised) {
  struct Case {
    FsCall call;
    int code;
    std::size_t kept;  // whole records read before the close stay
  };
  for (const Case c : {Case{FsCall::OpenRead, 4, 0}, Case{FsCall::Close, 1117, 1}}) {
    MemoryFileSystem fs;
    fs.Put("r.plw", "102\r\na\r\n\r\n\r\n0\r\nTrue\r\n");
    fs.FailAt(c.call, 1, c.code);
    EntryList list;
    try {
      ReadListFile("r.plw", list, fs);
      ADD_FAILURE() << CallName(c.call);
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), c.code) << CallName(c.call);
    }
    EXPECT_EQ(list.Count(), c.kept) << CallName(c.call);
    EXPECT_EQ(fs.OpenHandles(), 0u) << CallName(c.call);
  }
}

// Small reads must give the same entries as one big read.
TEST(ReadPieces, SmallReadsAssembleTheSameList) {
  const EntryList list = Sample(300);
  for (std::size_t piece : {1u, 7u, 4096u}) {
    MemoryFileSystem fs;
    fs.Put("p.plw", listfile::ToBytes(list));
    fs.readPiece = piece;
    EntryList back;
    ASSERT_EQ(ReadListFile("p.plw", back, fs), ListFileReadResult::Loaded);
    ASSERT_EQ(back.Count(), list.Count());
    for (std::size_t i = 0; i < list.Count(); ++i) ASSERT_EQ(back.EntryAt(i), list.EntryAt(i));
  }
}

// A file that grew after its size was asked is read to its real end; one that did not is held
// in a buffer of its own size, not a larger one.
TEST(ReadPieces, GrownFileIsReadWholeAndExactFileHeldOnce) {
  const EntryList list = Sample(2000);
  const std::string bytes = listfile::ToBytes(list);
  class SizeShrinks final : public MemoryFileSystem {
   public:
    int Size(FileHandle h, std::uint64_t& s) override {
      const int e = MemoryFileSystem::Size(h, s);
      s /= shrinkBy;
      return e;
    }
    std::uint64_t shrinkBy = 1;
  };
  for (std::uint64_t shrink : {1u, 3u, 100000u}) {
    SizeShrinks fs;
    fs.Put("g.plw", bytes);
    fs.shrinkBy = shrink;
    EntryList back;
    ASSERT_EQ(ReadListFile("g.plw", back, fs), ListFileReadResult::Loaded);
    ASSERT_EQ(back.Count(), list.Count()) << shrink;
    EXPECT_EQ(back.EntryAt(1999), list.EntryAt(1999)) << shrink;
    if (shrink == 1) {
      // The file's bytes once plus one small row per entry.
      EXPECT_LE(back.BytesHeld(), bytes.size() + list.Count() * 40) << back.BytesHeld();
    }
  }
}

struct RealFailureCase {
  const char* name;
  std::string path;
  int readCode;
  int writeCode;
};

// Failures the file system really produces, with the numbers the user is shown.
TEST(RealFailures, MissingFileMissingFolderAndFolderAsFile) {
  TempFolder dir;
  std::filesystem::create_directory(dir.Path("folder"));
  const RealFailureCase cases[] = {
      {"missing file", dir.Path("missing.plw"), 2, 0},
      {"missing folder", dir.Path("nofolder/x.plw"), 3, 3},
      {"folder as file", dir.Path("folder"), 5, 5},
  };
  for (const auto& c : cases) {
    EntryList list;
    try {
      ReadListFile(c.path, list);
      ADD_FAILURE() << c.name << ": read did not fail";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), c.readCode) << c.name;
    }
    if (c.writeCode == 0) continue;
    try {
      WriteListFile(c.path, Sample(1));
      ADD_FAILURE() << c.name << ": write did not fail";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), c.writeCode) << c.name;
    }
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"folder"});
}

TEST(RealFailures, ReadOnlyFileIsRefusedAndKept) {
  TempFolder dir;
  const std::string path = dir.Write("ro.plw", kEarlier);
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
#else
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
#endif
  try {
    WriteListFile(path, Sample(2));
    ADD_FAILURE() << "read-only file was written";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Code(), 5);
  }
  EXPECT_EQ(dir.Read("ro.plw"), kEarlier);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"ro.plw"});
  // Reading it is fine.
  EntryList list;
  EXPECT_EQ(ReadListFile(path, list), ListFileReadResult::Loaded);
#ifdef _WIN32
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

#ifndef _WIN32
// Mode bits as the administrator sees them are not the whole story: an immutable file refuses
// even root. Skipped where the file system cannot mark one.
TEST(RealFailures, ImmutableFileIsRefusedAndKept) {
  TempFolder dir;
  const std::string path = dir.Write("imm.plw", kEarlier);
  const std::string mark = "chattr +i '" + path + "' 2>/dev/null";
  if (std::system(mark.c_str()) != 0) GTEST_SKIP() << "chattr +i not available here";
  try {
    WriteListFile(path, Sample(2));
    ADD_FAILURE() << "immutable file was replaced";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Code(), 5);
  }
  std::system(("chattr -i '" + path + "'").c_str());
  EXPECT_EQ(dir.Read("imm.plw"), kEarlier);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"imm.plw"});
}

// Mode bits always; owner and group where this user may give them (the administrator may).
TEST(SafeSave, ReplacementKeepsTheFilesPermissionsAndOwner) {
  TempFolder dir;
  const std::string path = dir.Write("perm.plw", kEarlier);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
  }
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  WriteListFile(path, Sample(1));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(dir.Read("perm.plw"), listfile::ToBytes(Sample(1)));
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_uid, before.st_uid);
  EXPECT_EQ(st.st_gid, before.st_gid);
  if (!root) GTEST_SKIP() << "owner kept only as far as this user may give it";
}

// What `command` prints, and whether it succeeded.
bool CommandOutput(const std::string& command, std::string& out) {
  out.clear();
  FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return false;
  char buf[512];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  return ::pclose(p) == 0;
}

// The access list as the administrator's tool shows it.
std::string AccessList(const std::string& path) {
  std::string out;
  return CommandOutput("getfacl -cp '" + path + "'", out) ? out : "getfacl failed";
}

std::string UserAttribute(const std::string& path) {
  char value[64];
  const ssize_t n = ::getxattr(path.c_str(), "user.pallomar.note", value, sizeof value);
  return n < 0 ? std::string("(none)") : std::string(value, static_cast<std::size_t>(n));
}

// A list shared through an access list keeps it, and its own attributes, on both routes: the
// user named in it may still write, and the group, shut out, is not let in through the
// list's mask. Skipped where the tools or this file system keep no access lists.
TEST(SafeSave, AccessListAndUserAttributeSurviveTheSave) {
  for (bool linked : {false, true}) {
    SCOPED_TRACE(linked ? "hard link, in place" : "replaced");
    TempFolder dir;
    const std::string path = dir.Write("shared.plw", kEarlier);
    if (linked) {
      ASSERT_EQ(::link(path.c_str(), dir.Path("other.plw").c_str()), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
    std::string out;
    if (!CommandOutput("setfacl -m u:nobody:rw-,g::---,m::rw- '" + path + "'", out)) {
      GTEST_SKIP() << "no access lists here (setfacl missing or refused)";
    }
    if (::setxattr(path.c_str(), "user.pallomar.note", "kept", 4, 0) != 0) {
      GTEST_SKIP() << "no user attributes here: " << std::strerror(errno);
    }
    const std::string before = AccessList(path);
    ASSERT_NE(before.find("user:nobody:rw-"), std::string::npos) << before;
    struct stat was;
    ASSERT_EQ(::stat(path.c_str(), &was), 0);
    WriteListFile(path, Sample(2));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_ino == was.st_ino, linked) << "took the other route";
    EXPECT_EQ(dir.Read("shared.plw"), listfile::ToBytes(Sample(2)));
    const std::string after = AccessList(path);
    EXPECT_EQ(after, before);
    for (const char* entry : {"user:nobody:rw-", "group::---", "mask::rw-"}) {
      EXPECT_NE(after.find(entry), std::string::npos) << entry << " lost:\n" << after;
    }
    EXPECT_EQ(UserAttribute(path), "kept");
    EXPECT_EQ(st.st_mode & 07777, was.st_mode & 07777);
    EXPECT_EQ(dir.Names().size(), linked ? 2u : 1u);
  }
}

// A new list in a folder with a default access list gets what any new file gets there.
TEST(SafeSave, NewListInAFolderWithADefaultAccessListGetsWhatTouchGives) {
  TempFolder dir;
  std::string out;
  if (!CommandOutput("setfacl -d -m u:nobody:rw-,g::r--,o::--- '" + dir.Path() + "'", out)) {
    GTEST_SKIP() << "no access lists here (setfacl missing or refused)";
  }
  ASSERT_EQ(std::system(("touch '" + dir.Path("touched") + "'").c_str()), 0);
  WriteListFile(dir.Path("new.plw"), Sample(1));
  const std::string touched = AccessList(dir.Path("touched"));
  EXPECT_NE(touched.find("mask::rw-"), std::string::npos) << touched;
  EXPECT_EQ(AccessList(dir.Path("new.plw")), touched);
}

// Saving under one name of a file with two rewrites the one file: both names show the new list.
TEST(SafeSave, HardLinkedTargetStaysOneFileOnDisk) {
  TempFolder dir;
  const std::string path = dir.Write("list.plw", kLongEarlier);
  ASSERT_EQ(::link(path.c_str(), dir.Path("other.plw").c_str()), 0);
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  WriteListFile(dir.Path("other.plw"), Sample(2));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, before.st_ino);
  EXPECT_EQ(st.st_nlink, 2u);
  EXPECT_EQ(dir.Read("list.plw"), listfile::ToBytes(Sample(2)));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"list.plw", "other.plw"}));
}

// A name of 250 bytes fits the usual limit of 255; the temporary name must fit beside it, so
// the list is replaced in one step rather than rewritten in place.
TEST(SafeSave, LongestUsualNameIsReplacedInOneStep) {
  TempFolder dir;
  const std::string name = std::string(246, 'L') + ".plw";
  const std::string path = dir.Write(name, kEarlier);
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  // An open descriptor keeps the earlier file alive: a replacement is a different file.
  const int held = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  WriteListFile(path, Sample(2));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  ::close(held);
  EXPECT_NE(st.st_ino, before.st_ino) << "rewritten in place";
  EXPECT_EQ(dir.Read(name), listfile::ToBytes(Sample(2)));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
}

// A link is written through, and stays a link, whether or not the file it names exists yet.
TEST(SafeSave, WritingThroughALinkKeepsTheLink) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link, what it holds
    std::string real;                                        // the file that gets the list
    bool existing;
  };
  const Case cases[] = {
      {"to an existing file", {{"b/d.plw", "../a/real.plw"}}, "a/real.plw", true},
      {"dangling, relative", {{"b/d.plw", "../a/missing.plw"}}, "a/missing.plw", false},
      {"dangling, through a second link",
       {{"b/d.plw", "c.plw"}, {"b/c.plw", "../a/missing.plw"}},
       "a/missing.plw",
       false},
  };
  for (const Case& c : cases) {
    TempFolder dir;
    std::filesystem::create_directories(dir.Path("a"));
    std::filesystem::create_directories(dir.Path("b"));
    if (c.existing) dir.Write(c.real, kEarlier);
    for (const auto& [link, to] : c.links) std::filesystem::create_symlink(to, dir.Path(link));
    const auto dangling = dir.Path("e.plw");
    std::filesystem::create_symlink(dir.Path("a/absolute.plw"), dangling);
    for (const std::string& path : {dir.Path("b/d.plw"), dangling}) {
      try {
        WriteListFile(path, Sample(1));
      } catch (const EInOutError& e) {
        ADD_FAILURE() << c.name << " " << path << ": " << e.Code();
      }
      EXPECT_TRUE(std::filesystem::is_symlink(path)) << c.name << " " << path;
    }
    EXPECT_EQ(dir.Read(c.real), listfile::ToBytes(Sample(1))) << c.name;
    EXPECT_EQ(dir.Read("a/absolute.plw"), listfile::ToBytes(Sample(1))) << c.name;
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a", "b", "e.plw"})) << c.name;
  }
}

// The new file is private while it is written; a new list then gets the mode any new file
// gets here, not the private one.
TEST(SafeSave, NewListTakesTheUsualModeOfANewFile) {
  TempFolder dir;
  const mode_t mask = ::umask(027);
  WriteListFile(dir.Path("new.plw"), Sample(1));
  ::umask(mask);
  struct stat st;
  ASSERT_EQ(::stat(dir.Path("new.plw").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A new list whose path is only just short enough: the temporary name beside it would not
// fit, so the list is made under its own name.
TEST(SafeSave, NewListAtTheLengthLimitIsSaved) {
  TempFolder dir;
  std::string folder = dir.Path("");
  if (folder.back() == '/') folder.pop_back();
  const std::size_t want = 4087;  // 16-byte temporary name: 4098, past PATH_MAX
  while (folder.size() + 1 + 200 + 6 < want) {
    folder += "/" + std::string(200, 'd');
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0) << folder.size();
  }
  const std::string path = folder + "/" + std::string(want - folder.size() - 6, 'n') + "a.plw";
  ASSERT_EQ(path.size(), want);
  WriteListFile(path, Sample(2));
  EntryList back;
  ASSERT_EQ(ReadListFile(path, back), ListFileReadResult::Loaded);
  EXPECT_EQ(listfile::ToBytes(back), listfile::ToBytes(Sample(2)));
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{path.substr(folder.size() + 1)});
}

// Two processes saving one list at the same moment, on each route, leave one whole list: byte
// for byte one of the two, never a mix. PALLOMAR_SAVE_ROUNDS sets the rounds (default 20).
TEST(SafeSave, TwoSavesAtOnceLeaveOneWholeList) {
  const char* env = std::getenv("PALLOMAR_SAVE_ROUNDS");
  const int rounds = env != nullptr ? std::atoi(env) : 20;
  // Different bytes throughout and different lengths, so that any mix or cut shows.
  EntryList lists[2];
  for (int i = 0; i < 4000; ++i) {
    const std::string n = std::to_string(i);
    lists[0].Append("c:\\a\\first" + n + ".exe", "-a " + n, "c:\\a", "0", "1");
    if (i < 2500) lists[1].Append("d:\\b\\second" + n + ".exe", "", "$dummy$", "2", "0");
  }
  const std::string bytes[2] = {listfile::ToBytes(lists[0]), listfile::ToBytes(lists[1])};
  for (Route route : {Route::Replace, Route::InPlaceHardLink}) {
    int won[2] = {0, 0};
    for (int round = 0; round < rounds; ++round) {
      TempFolder dir;
      const std::string path = dir.Write("list.plw", kLongEarlier);
      if (route == Route::InPlaceHardLink) {
        ASSERT_EQ(::link(path.c_str(), dir.Path("other.plw").c_str()), 0);
      }
      // Both wait on one pipe and start when it closes.
      int gate[2];
      ASSERT_EQ(::pipe(gate), 0);
      pid_t child[2];
      for (int k = 0; k < 2; ++k) {
        child[k] = ::fork();
        ASSERT_GE(child[k], 0);
        if (child[k] == 0) {
          ::close(gate[1]);
          char c;
          (void)!::read(gate[0], &c, 1);
          int status = 0;
          try {
            WriteListFile(path, lists[k]);
          } catch (const EInOutError& e) {
            status = e.Code() & 0xff;
          } catch (...) {
            status = 1;
          }
          ::_exit(status);
        }
      }
      ::close(gate[0]);
      ::close(gate[1]);
      for (int k = 0; k < 2; ++k) {
        int status = -1;
        ASSERT_EQ(::waitpid(child[k], &status, 0), child[k]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << RouteName(route) << " round " << round << ": save " << k << " failed, " << status;
      }
      const std::string now = dir.Read("list.plw");
      const int which = now == bytes[0] ? 0 : now == bytes[1] ? 1 : -1;
      ASSERT_NE(which, -1) << RouteName(route) << " round " << round << ": torn, " << now.size()
                           << " bytes";
      ++won[which];
      if (route == Route::InPlaceHardLink) {
        EXPECT_EQ(dir.Read("other.plw"), now) << "round " << round;
      }
      EXPECT_EQ(dir.Names().size(), route == Route::InPlaceHardLink ? 2u : 1u)
          << RouteName(route) << " round " << round;
    }
    RecordProperty(std::string(RouteName(route)) + "_rounds", rounds);
    std::printf("%s: %d rounds, first save's list last %d, second's %d\n", RouteName(route), rounds,
                won[0], won[1]);
  }
}

// A save in place killed outright (SIGKILL: nothing of it runs afterwards) at points spread
// over its whole length: after every kill the earlier list or the new one is whole, at the
// list's name or in the copy beside it, and nothing but those and a temporary file is left.
TEST(SafeSave, KilledRewriteInPlaceLeavesAWholeListAndNamesTheCopy) {
  EntryList earlier, later;
  for (int i = 0; i < 60000; ++i) {
    const std::string n = std::to_string(i);
    earlier.Append("c:\\old\\earlier" + n + ".exe", "-o " + n, "c:\\old", "0", "1");
    if (i < 45000) later.Append("d:\\new\\later" + n + ".exe", "", "$dummy$", "2", "0");
  }
  const std::string oldBytes = listfile::ToBytes(earlier);
  const std::string newBytes = listfile::ToBytes(later);
  // Starts a save of `later` over the hard-linked list in `dir`; returns when it is under way.
  const auto start = [&](const TempFolder& dir) {
    const std::string path = dir.Write("list.plw", oldBytes);
    EXPECT_EQ(::link(path.c_str(), dir.Path("other.plw").c_str()), 0);
    int ready[2];
    EXPECT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(ready[0]);
      (void)!::write(ready[1], "s", 1);
      try {
        WriteListFile(path, later);
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    char c;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    return child;
  };
  // Microseconds on a steady clock (<chrono> has text this build's character set lacks).
  const auto micros = [] {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
  };
  long long whole = 0;
  {
    TempFolder dir;
    const long long from = micros();
    const pid_t child = start(dir);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    whole = micros() - from;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(dir.Read("list.plw"), newBytes);
    ASSERT_EQ(dir.Names(), (std::vector<std::string>{"list.plw", "other.plw"}));
  }
  constexpr int kKills = 40;
  int withCopy = 0, torn = 0;
  for (int k = 0; k < kKills; ++k) {
    TempFolder dir;
    const pid_t child = start(dir);
    ::usleep(static_cast<useconds_t>(whole * k / kKills));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string where =
        "kill " + std::to_string(k) + " after " + std::to_string(whole * k / kKills) + " us";
    const std::string path = dir.Path("list.plw");
    const std::string now = dir.Read("list.plw");
    const std::string copy = LeftoverSaveCopy(path);
    for (const std::string& name : dir.Names()) {
      const bool known = name == "list.plw" || name == "other.plw" ||
                         name == "list.plw.before-save" ||
                         (name.rfind("~plw", 0) == 0 && name.ends_with(".tmp"));
      EXPECT_TRUE(known) << where << ": " << name << " left";
    }
    if (!copy.empty()) {
      ++withCopy;
      EXPECT_EQ(copy, path + ".before-save") << where;
      EXPECT_EQ(test_support::FileBytes(copy), oldBytes)
          << where << ": the copy is not the whole earlier list";
    }
    if (now != oldBytes && now != newBytes) {
      ++torn;
      EXPECT_FALSE(copy.empty()) << where << ": torn list, " << now.size() << " bytes, no copy";
    }
  }
  std::printf("save %lld us; of %d kills %d left the copy, %d a torn list beside it\n", whole,
              kKills, withCopy, torn);
  // The kills must have reached the rewrite itself, not only its start and end.
  EXPECT_GE(withCopy, 1);
}

// The host's errors are shown with the Windows number of the same meaning: an I/O error must
// not read as "access denied", and no raw errno may pass as some unrelated number.
TEST(RealFailures, HostErrorsReadAsWhatTheyAre) {
  struct Case {
    int errnoValue;
    int shown;
  };
  const Case cases[] = {
      {0, 31},      {EIO, 1117},   {ESTALE, 1117}, {EACCES, 5},      {EPERM, 5},  {ENOENT, 2},
      {ENOTDIR, 3}, {ENOSPC, 112}, {EDQUOT, 112},  {EMFILE, 4},      {ENOMEM, 8}, {EBUSY, 170},
      {EXDEV, 17},  {EFBIG, 223},  {EINTR, 995},   {EOPNOTSUPP, 31}, {EPIPE, 31},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HostErrorNumber(c.errnoValue), c.shown) << std::strerror(c.errnoValue);
  }
  EXPECT_NE(std::string(EInOutError(HostErrorNumber(EIO)).what()),
            "ファイルへのアクセスが拒否されました");
}
#endif

#ifdef _WIN32
// Another program holding the file open: reading is refused while it writes; saving is
// refused with the sharing violation while it does not let others write, and the file is
// kept; a program that lets others write but not remove the file does not stop the save.
TEST(RealFailures, FileHeldOpenByAnotherHandle) {
  TempFolder dir;
  const std::string path = dir.Write("held.plw", kEarlier);
  struct HeldCase {
    DWORD access;
    DWORD share;
    bool readRefused;
    bool saved;
  };
  const HeldCase cases[] = {
      {GENERIC_WRITE, FILE_SHARE_READ, true, false},
      {GENERIC_READ, 0, true, false},
      {GENERIC_READ, FILE_SHARE_READ, false, false},
      {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false, true},
  };
  for (const auto& c : cases) {
    dir.Write("held.plw", kEarlier);
    const std::string where =
        "access " + std::to_string(c.access) + " share " + std::to_string(c.share);
    const HANDLE other =
        CreateFileA(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EntryList list;
    if (c.readRefused) {
      try {
        ReadListFile(path, list);
        ADD_FAILURE() << where << ": read while held";
      } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), 32) << where;
      }
    } else {
      EXPECT_EQ(ReadListFile(path, list), ListFileReadResult::Loaded) << where;
    }
    try {
      WriteListFile(path, Sample(2));
      EXPECT_TRUE(c.saved) << where << ": written while held";
    } catch (const EInOutError& e) {
      EXPECT_FALSE(c.saved) << where << ": " << e.Code();
      EXPECT_EQ(e.Code(), 32) << where;
    }
    CloseHandle(other);
    EXPECT_EQ(dir.Read("held.plw"), c.saved ? listfile::ToBytes(Sample(2)) : kEarlier) << where;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"held.plw"}) << where;
  }
}

// A new list whose path is 249 bytes, ending "a.plw": the temporary name beside it would pass
// the 260-byte limit, so the list is made under its own name.
TEST(SafeSave, NewListAtTheLengthLimitIsSaved) {
  TempFolder dir;
  std::string folder = dir.Path("");
  if (folder.back() == '\\' || folder.back() == '/') folder.pop_back();
  ASSERT_LT(folder.size() + 1 + 5, 249u);
  const std::string path = folder + "\\" + std::string(249 - folder.size() - 6, 'n') + "a.plw";
  ASSERT_EQ(path.size(), 249u);
  WriteListFile(path, Sample(2));
  EntryList back;
  ASSERT_EQ(ReadListFile(path, back), ListFileReadResult::Loaded);
  EXPECT_EQ(listfile::ToBytes(back), listfile::ToBytes(Sample(2)));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{path.substr(folder.size() + 1)});
}

// A replacement would part the two names of a hard-linked list: it is rewritten in place,
// through the copy beside it, which is gone once the new list is whole. Where a copy is there
// already, the save is refused and the list and that copy stay as they were.
TEST(SafeSave, HardLinkedTargetStaysOneFileOnDisk) {
  for (bool copyThere : {false, true}) {
    SCOPED_TRACE(copyThere ? "copy there" : "no copy");
    TempFolder dir;
    const std::string path = dir.Write("list.plw", kLongEarlier);
    ASSERT_TRUE(CreateHardLinkA(dir.Path("other.plw").c_str(), path.c_str(), nullptr));
    if (copyThere) dir.Write("other.plw.before-save", kEarlier);
    try {
      WriteListFile(dir.Path("other.plw"), Sample(2));
      EXPECT_FALSE(copyThere) << "saved over a leftover copy";
    } catch (const EInOutError& e) {
      EXPECT_TRUE(copyThere) << e.Code();
      EXPECT_EQ(e.Code(), 80);
    }
    const std::string now = copyThere ? kLongEarlier : listfile::ToBytes(Sample(2));
    EXPECT_EQ(dir.Read("list.plw"), now);
    EXPECT_EQ(dir.Read("other.plw"), now);
    std::vector<std::string> names = {"list.plw", "other.plw"};
    if (copyThere) names.push_back("other.plw.before-save");
    EXPECT_EQ(dir.Names(), names);
    if (copyThere) {
      EXPECT_EQ(dir.Read("other.plw.before-save"), kEarlier);
    }
    EXPECT_TRUE(LeftoverSaveCopy(dir.Path("list.plw")).empty());
    EXPECT_EQ(LeftoverSaveCopy(dir.Path("other.plw")).empty(), !copyThere);
    const HANDLE f = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION info;
    ASSERT_TRUE(GetFileInformationByHandle(f, &info));
    CloseHandle(f);
    EXPECT_EQ(info.nNumberOfLinks, 2u);
  }
}

// The access rules as text, or empty where the host keeps none.
std::string AccessRules(const std::string& path) {
  DWORD need = 0;
  GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &need);
  std::string sd(need, '\0');
  if (need == 0 ||
      !GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, sd.data(), need, &need)) {
    return {};
  }
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
          sd.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return {};
  }
  std::string out = text;
  LocalFree(text);
  return out;
}

// The replacement keeps the list's attributes and its access rules, on each route.
TEST(SafeSave, ReplacementKeepsTheFilesAttributesAndAccessRules) {
  for (bool linked : {false, true}) {
    TempFolder dir;
    const std::string path = dir.Write("attr.plw", kEarlier);
    if (linked) {
      ASSERT_TRUE(CreateHardLinkA(dir.Path("other.plw").c_str(), path.c_str(), nullptr));
    }
    PSECURITY_DESCRIPTOR rules = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;;FA;;;WD)(A;;FR;;;BU)", SDDL_REVISION_1, &rules, nullptr));
    const bool keepsRules = SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, rules);
    LocalFree(rules);
    const std::string before = AccessRules(path);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN));
    WriteListFile(path, Sample(1));
    EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u) << linked;
    EXPECT_EQ(dir.Read("attr.plw"), listfile::ToBytes(Sample(1))) << linked;
    if (keepsRules && !before.empty()) {
      EXPECT_EQ(AccessRules(path), before) << linked;
    } else {
      ADD_FAILURE() << "no access rules kept by this host";
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}
#endif

}  // namespace
}  // namespace pallomar
