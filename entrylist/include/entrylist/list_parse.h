// Reading a list file's bytes: the entries as the editor's reader takes them, and, when asked,
// notes on everything the reader smoothed over on the way (what a save would change).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "entrylist/entry_list.h"
#include "entrylist/file_system.h"
#include "entrylist/list_file.h"

namespace pallomar {

// The version line the writer writes.
inline constexpr std::string_view kCurrentVersion = "102";

// Whether `line` is a version line the reader accepts: "100", "101" or "102", byte for byte.
bool IsAcceptedVersion(std::string_view line);

enum class ListNoteKind : std::uint8_t {
  OlderVersion,  // the version line is "100" or "101"
  NoRecords,     // nothing follows the version line; the reader still gives one empty entry
  LfOnly,        // a line ends in LF without CR (noted once, at the first)
  LoneCr,        // a CR not followed by LF was dropped (noted once, at the first)
  NulCut,        // a NUL cut a line short: the rest of that line was dropped (once)
  DummyParams,   // the parameters line reads "$dummy$"
  DummyFolder,   // the working-folder line reads "$dummy$"
  RunCheckText,  // the running-check line is neither "True" nor "False"; `text` holds it
  CutRecord,     // the last record ends after `count` of its five lines
  BlankTail,     // the last record is made of blank lines at the end of the file
  CtrlZTail,     // the file ended at a Ctrl-Z; `count` bytes from it on were ignored
};

inline constexpr std::size_t kWholeFile = static_cast<std::size_t>(-1);
// Longest text a note or the first line keeps: enough to quote, never the whole of a huge line.
inline constexpr std::size_t kNoteTextBytes = 320;

struct ListNote {
  ListNoteKind kind;
  std::size_t entry = kWholeFile;  // the record, from 0; kWholeFile for the version line
  std::size_t count = 0;
  std::string text;  // at most kNoteTextBytes bytes; `textCut` when there were more
  bool textCut = false;
  bool operator==(const ListNote&) const = default;
};

struct ListNotes {
  std::uint64_t size = 0;  // bytes read
  // The first line as read (CRs dropped, cut at a NUL), at most kNoteTextBytes bytes.
  std::string firstLine;
  bool firstLineCut = false;
  std::vector<ListNote> items;  // in file order
  bool operator==(const ListNotes&) const = default;
};

// ParseOptions::lineFeeds when the caller did not count them.
inline constexpr std::size_t kUnknownLineFeeds = static_cast<std::size_t>(-1);

struct ParseOptions {
  // False when the bytes were cut by a read failure: only records whose five lines all ended
  // are kept.
  bool complete = true;
  // The number of LF bytes in the data when the caller counted them (at least), else unknown.
  std::size_t lineFeeds = kUnknownLineFeeds;
  // Where the notes go; none are gathered without it.
  ListNotes* notes = nullptr;
};

// Appends the records in `bytes` (`size` bytes) to `list`, which takes the buffer over when
// the version line is accepted; the bytes are rearranged in place.
ListFileReadResult ParseListBytes(std::unique_ptr<char[]> bytes, std::size_t size, EntryList& list,
                                  const ParseOptions& options = {});

// A list file read one record at a time from an open file, the same way ParseListBytes reads
// it, holding only the record at hand: for callers that look at each entry once, whatever the
// list's length. Read failures raise EInOutError.
class ListRecordStream {
 public:
  // With `notes`, each step leaves there the notes it made (earlier ones are cleared); `size`
  // is the bytes read so far.
  ListRecordStream(FileSystem& fs, FileHandle h, ListNotes* notes = nullptr);
  ~ListRecordStream();
  ListRecordStream(const ListRecordStream&) = delete;
  ListRecordStream& operator=(const ListRecordStream&) = delete;

  // Reads the version line.
  ListFileReadResult Start();
  // The first line as read, at most kNoteTextBytes bytes, notes or not.
  const std::string& FirstLine() const;
  // Nothing follows the version line (the reader still gives one empty entry for it).
  bool NothingAfterVersion() const;
  // Reads the next record: it is then the only row of Record(). False after the last.
  bool Next();
  // Valid until the next step.
  const EntryList& Record() const;
  // The record's index (from 0) and where in the file it began.
  std::size_t Entry() const;
  std::uint64_t RecordOffset() const;
  // Goes back to a record read before, by its offset and index.
  void SeekRecord(std::uint64_t offset, std::size_t entry);
  // Where in the file the next read continues: after what is buffered. Another stream on the
  // same open file must leave the file there for this one to carry on.
  std::uint64_t ReadPosition() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace pallomar
