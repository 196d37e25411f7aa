// Files that cannot be read or written: real failures where this machine can produce them,
// injected ones through the file-system seam where it cannot.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "entrylist/errors.h"
#include "entrylist/list_file.h"
#include "file_io.h"
#include "list_file_internal.h"
#include "temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace pallomar {
namespace {

using test_support::TempFolder;

enum class Call { OpenRead, Read, CreateNew, CreateOrTruncate, Write, Flush, Close, Replace };

const char* Name(Call c) {
  static const char* names[] = {"OpenRead", "Read",  "CreateNew", "CreateOrTruncate",
                                "Write",    "Flush", "Close",     "Replace"};
  return names[static_cast<int>(c)];
}

// The real file system, except that the `nth` call of kind `fail` answers `code`; reads come
// in pieces of at most `readPiece` bytes so that a read can fail part way.
class FaultyFs : public fileio::FileSystem {
 public:
  FaultyFs(Call fail, int code, int nth = 1) : fail_(fail), code_(code), nth_(nth) {
    fileio::SetCurrent(this);
  }
  ~FaultyFs() override { fileio::SetCurrent(nullptr); }

  std::size_t readPiece = 1 << 20;
  int calls[8] = {};

  int OpenRead(const std::string& p, fileio::Handle& h) override {
    return Hit(Call::OpenRead) ? code_ : real_.OpenRead(p, h);
  }
  int Size(fileio::Handle h, std::uint64_t& s) override { return real_.Size(h, s); }
  int Read(fileio::Handle h, char* b, std::size_t n, std::size_t& got) override {
    return Hit(Call::Read) ? code_ : real_.Read(h, b, std::min(n, readPiece), got);
  }
  int ProbeTarget(const std::string& p, fileio::TargetState& s) override {
    return real_.ProbeTarget(p, s);
  }
  int CreateNew(const std::string& p, const fileio::TargetState& s, fileio::Handle& h) override {
    return Hit(Call::CreateNew) ? code_ : real_.CreateNew(p, s, h);
  }
  int CreateOrTruncate(const std::string& p, fileio::Handle& h) override {
    return Hit(Call::CreateOrTruncate) ? code_ : real_.CreateOrTruncate(p, h);
  }
  int Write(fileio::Handle h, const char* d, std::size_t n) override {
    if (!Hit(Call::Write)) return real_.Write(h, d, n);
    // Part of the data reaches the file before the failure, as on a filling disk.
    real_.Write(h, d, n / 2);
    return code_;
  }
  int Flush(fileio::Handle h) override { return Hit(Call::Flush) ? code_ : real_.Flush(h); }
  int Close(fileio::Handle h) override {
    // The handle is closed either way, as a failing close does.
    const int e = real_.Close(h);
    return Hit(Call::Close) ? code_ : e;
  }
  int Replace(const std::string& f, const std::string& t, const fileio::TargetState& e) override {
    return Hit(Call::Replace) ? code_ : real_.Replace(f, t, e);
  }
  int Remove(const std::string& p) override { return real_.Remove(p); }
  bool IsFile(const std::string& p) override { return real_.IsFile(p); }

 private:
  bool Hit(Call c) { return ++calls[static_cast<int>(c)] == nth_ && c == fail_; }

  fileio::FileSystem& real_ = fileio::Real();
  Call fail_;
  int code_;
  int nth_;
};

EntryList Sample(std::size_t n) {
  EntryList list;
  for (std::size_t i = 0; i < n; ++i) {
    list.Append("c:\\tools\\app" + std::to_string(i) + ".exe", "-n " + std::to_string(i),
                "c:\\tools", "1", i % 2 ? "1" : "0");
  }
  return list;
}

const std::string kEarlier = "102\r\nearlier.exe\r\n\r\n\r\n0\r\nTrue\r\n";

struct InjectedWriteCase {
  Call call;
  int code;
};

// After every failing step of a save the earlier list is byte-identical and no temporary file
// is left beside it.
TEST(SafeSave, InjectedFailureKeepsEarlierFileAndLeavesNothingBehind) {
  const InjectedWriteCase cases[] = {
      {Call::CreateNew, 112}, {Call::Write, 112},  {Call::Write, 1117}, {Call::Flush, 5},
      {Call::Close, 112},     {Call::Replace, 32}, {Call::Replace, 5},
  };
  // A list spanning several output pieces fails with some pieces already written.
  const EntryList list = Sample(40000);
  for (const auto& c : cases) {
    TempFolder dir;
    const std::string path = dir.Write("list.plw", kEarlier);
    FaultyFs fs(c.call, c.code);
    try {
      WriteListFile(path, list);
      ADD_FAILURE() << Name(c.call) << ": no error";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), c.code) << Name(c.call);
    }
    EXPECT_EQ(dir.Read("list.plw"), kEarlier) << Name(c.call);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"list.plw"}) << Name(c.call);
  }
}

TEST(SafeSave, NewFileFailingPartWayLeavesNoFileAtAll) {
  for (Call call : {Call::Write, Call::Flush, Call::Close, Call::Replace}) {
    TempFolder dir;
    FaultyFs fs(call, 112);
    EXPECT_THROW(WriteListFile(dir.Path("new.plw"), Sample(3)), EInOutError) << Name(call);
    EXPECT_TRUE(dir.Names().empty()) << Name(call);
  }
}

TEST(SafeSave, WritesInPlaceWhenNoFileCanBeMadeBesideTheTarget) {
  TempFolder dir;
  const std::string path = dir.Write("list.plw", kEarlier);
  FaultyFs fs(Call::CreateNew, 5);
  WriteListFile(path, Sample(2));
  EXPECT_EQ(fs.calls[static_cast<int>(Call::CreateOrTruncate)], 1);
  EXPECT_EQ(dir.Read("list.plw"), listfile::ToBytes(Sample(2)));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"list.plw"});
}

// No file can be made beside the target, so the list is written in place; its failures are
// still reported, and a failing close is what the user sees.
class InPlaceFails final : public FaultyFs {
 public:
  InPlaceFails(int writeCode, int closeCode)
      : FaultyFs(Call::CreateNew, 5), writeCode_(writeCode), closeCode_(closeCode) {}
  int Write(fileio::Handle h, const char* d, std::size_t n) override {
    return writeCode_ != 0 ? writeCode_ : FaultyFs::Write(h, d, n);
  }
  int Close(fileio::Handle h) override {
    const int e = FaultyFs::Close(h);
    return closeCode_ != 0 ? closeCode_ : e;
  }

 private:
  int writeCode_;
  int closeCode_;
};

TEST(SafeSave, InPlaceFailuresAreRaisedAndCloseFailureWins) {
  struct Case {
    int writeCode, closeCode, raised;
  };
  for (const Case c : {Case{112, 0, 112}, Case{112, 1117, 1117}, Case{0, 1117, 1117}}) {
    TempFolder dir;
    const std::string path = dir.Write("list.plw", kEarlier);
    InPlaceFails fs(c.writeCode, c.closeCode);
    try {
      WriteListFile(path, Sample(2));
      ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), c.raised);
    }
    EXPECT_EQ(fs.calls[static_cast<int>(Call::CreateOrTruncate)], 1);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"list.plw"});
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
  TempFolder dir;
  // Each record is "pN\r\nq\r\nf\r\n0\r\nTrue\r\n": 19 bytes for N < 10, after 5.
  std::string file = "102\r\n";
  for (int i = 0; i < 5; ++i) file += "p" + std::to_string(i) + "\r\nq\r\nf\r\n0\r\nTrue\r\n";
  const std::string path = dir.Write("r.plw", file);
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
    FaultyFs fs(Call::Read, 23, c.failingRead);
    fs.readPiece = c.piece;
    EntryList list;
    try {
      ReadListFile(path, list);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), 23) << c.name;
    }
    ASSERT_EQ(list.Count(), c.kept) << c.name;
    for (std::size_t i = 0; i < list.Count(); ++i) {
      EXPECT_EQ(list.EntryAt(i), (Entry{"p" + std::to_string(i), "q", "f", "0", "1"})) << c.name;
    }
  }
}

TEST(ReadFailure, FailedOpenOrCloseIsRaised) {
  TempFolder dir;
  const std::string path = dir.Write("r.plw", "102\r\na\r\n\r\n\r\n0\r\nTrue\r\n");
  {
    FaultyFs fs(Call::OpenRead, 4);
    EntryList list;
    try {
      ReadListFile(path, list);
      ADD_FAILURE();
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), 4);
    }
    EXPECT_TRUE(list.Empty());
  }
  {
    FaultyFs fs(Call::Close, 1117);
    EntryList list;
    try {
      ReadListFile(path, list);
      ADD_FAILURE();
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), 1117);
    }
    EXPECT_EQ(list.Count(), 1u);  // whole records read before the close stay
  }
}

// Small reads must give the same entries as one big read.
TEST(ReadPieces, SmallReadsAssembleTheSameList) {
  TempFolder dir;
  const EntryList list = Sample(300);
  const std::string path = dir.Write("p.plw", listfile::ToBytes(list));
  for (std::size_t piece : {1u, 7u, 4096u}) {
    FaultyFs fs(Call::OpenRead, 0, 0);  // fails nothing
    fs.readPiece = piece;
    EntryList back;
    ASSERT_EQ(ReadListFile(path, back), ListFileReadResult::Loaded);
    ASSERT_EQ(back.Count(), list.Count());
    for (std::size_t i = 0; i < list.Count(); ++i) ASSERT_EQ(back.EntryAt(i), list.EntryAt(i));
  }
}

// A file that grew after its size was asked is read to its real end; one that did not is held
// in a buffer of its own size, not a larger one.
TEST(ReadPieces, GrownFileIsReadWholeAndExactFileHeldOnce) {
  TempFolder dir;
  const EntryList list = Sample(2000);
  const std::string bytes = listfile::ToBytes(list);
  const std::string path = dir.Write("g.plw", bytes);
  class SizeShrinks final : public FaultyFs {
   public:
    using FaultyFs::FaultyFs;
    int Size(fileio::Handle h, std::uint64_t& s) override {
      const int e = FaultyFs::Size(h, s);
      s /= shrinkBy;
      return e;
    }
    std::uint64_t shrinkBy = 1;
  };
  for (std::uint64_t shrink : {1u, 3u, 100000u}) {
    SizeShrinks fs(Call::OpenRead, 0, 0);
    fs.shrinkBy = shrink;
    EntryList back;
    ASSERT_EQ(ReadListFile(path, back), ListFileReadResult::Loaded);
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

TEST(SafeSave, ReplacementKeepsTheFilesPermissions) {
  TempFolder dir;
  const std::string path = dir.Write("perm.plw", kEarlier);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  WriteListFile(path, Sample(1));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(SafeSave, WritingThroughALinkKeepsTheLink) {
  TempFolder dir;
  const std::string real = dir.Write("real.plw", kEarlier);
  std::filesystem::create_symlink(real, dir.Path("link.plw"));
  WriteListFile(dir.Path("link.plw"), Sample(1));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link.plw")));
  EXPECT_EQ(dir.Read("real.plw"), listfile::ToBytes(Sample(1)));
}
#endif

#ifdef _WIN32
// Another program holding the file open without letting others write: reading is refused
// while it writes, saving is refused with the sharing violation, and the file is kept.
TEST(RealFailures, FileHeldOpenByAnotherHandle) {
  TempFolder dir;
  const std::string path = dir.Write("held.plw", kEarlier);
  struct HeldCase {
    DWORD access;
    DWORD share;
    bool readRefused;
  };
  const HeldCase cases[] = {
      {GENERIC_WRITE, FILE_SHARE_READ, true},
      {GENERIC_READ, 0, true},
      {GENERIC_READ, FILE_SHARE_READ, false},
  };
  for (const auto& c : cases) {
    const HANDLE other =
        CreateFileA(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EntryList list;
    if (c.readRefused) {
      try {
        ReadListFile(path, list);
        ADD_FAILURE() << "read while held";
      } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), 32);
      }
    } else {
      EXPECT_EQ(ReadListFile(path, list), ListFileReadResult::Loaded);
    }
    try {
      WriteListFile(path, Sample(2));
      ADD_FAILURE() << "write while held";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Code(), 32);
    }
    CloseHandle(other);
    EXPECT_EQ(dir.Read("held.plw"), kEarlier);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"held.plw"});
  }
}

TEST(SafeSave, ReplacementKeepsTheFilesAttributes) {
  TempFolder dir;
  const std::string path = dir.Write("attr.plw", kEarlier);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN));
  ASSERT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  WriteListFile(path, Sample(1));
  EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(dir.Read("attr.plw"), listfile::ToBytes(Sample(1)));
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
#endif

}  // namespace
}  // namespace pallomar
