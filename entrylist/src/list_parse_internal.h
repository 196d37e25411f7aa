// The record parse's pieces that the whole-buffer parse and the record stream share: the stop
// scanner, the notes, the version line and one record.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "entry_list_impl.h"
#include "entrylist/list_parse.h"
#include "line_scan.h"

namespace pallomar::listparse {

// A Ctrl-Z where a record would begin ends the list.
inline constexpr char kCtrlZ = 0x1A;

// What reading one line met on the way.
struct LineInfo {
  bool present = false;     // the line was in the file (not read past its end)
  bool terminated = false;  // it ended with LF or CR LF
  bool lfOnly = false;
  bool loneCr = false;
  bool nul = false;
};

// Finds the stop bytes (LF, CR, NUL) of many short lines from one 64-byte window at a time,
// instead of scanning afresh for each line.
class StopScanner {
 public:
  explicit StopScanner(const char* end) : end_(end) {}

  // Forget the window: the bytes under it were moved.
  void Reset() { base_ = nullptr; }

  // The first stop byte at or after `from`, or the end.
  const char* Next(const char* from) {
    for (;;) {
      if (base_ != nullptr && from >= base_ && from < base_ + kWindow) {
        const std::uint64_t m = mask_ & (~0ull << (from - base_));
        if (m != 0) return base_ + std::countr_zero(m);
        if (end_ - base_ <= kWindow) return end_;
        from = base_ + kWindow;
      }
      if (end_ - from < kWindow) {
        base_ = nullptr;
        return linescan::FindStop(from, end_);
      }
      std::uint64_t mask = 0;
      for (std::size_t i = 0; i < kWindow / linescan::kBlock; ++i) {
        mask |= std::uint64_t{linescan::StopBits(from + linescan::kBlock * i)}
                << (linescan::kBlock * i);
      }
      base_ = from;
      mask_ = mask;
    }
  }

 private:
  static constexpr std::ptrdiff_t kWindow = 64;
  const char* end_;
  const char* base_ = nullptr;
  std::uint64_t mask_ = 0;
};

// Collects the notes, each line kind only once per file.
class NoteTaker {
 public:
  explicit NoteTaker(ListNotes* notes) : notes_(notes) {}
  bool On() const { return notes_ != nullptr; }

  void Add(ListNoteKind kind, std::size_t entry, std::size_t count = 0,
           std::string_view text = {}) {
    ListNote n{kind, entry, count, {}, false};
    n.text.assign(text.substr(0, kNoteTextBytes));
    n.textCut = text.size() > kNoteTextBytes;
    notes_->items.push_back(std::move(n));
  }
  void Line(const LineInfo& info, std::size_t entry) {
    if (info.loneCr) Once(loneCr_, ListNoteKind::LoneCr, entry);
    if (info.nul) Once(nul_, ListNoteKind::NulCut, entry);
    if (info.lfOnly) Once(lfOnly_, ListNoteKind::LfOnly, entry);
  }
  void LfOnly(std::size_t entry) { Once(lfOnly_, ListNoteKind::LfOnly, entry); }

 private:
  void Once(bool& done, ListNoteKind kind, std::size_t entry) {
    if (done) return;
    done = true;
    Add(kind, entry);
  }
  ListNotes* notes_;
  bool loneCr_ = false;
  bool nul_ = false;
  bool lfOnly_ = false;
};

// Reads the version line at `r`; false when it is not one the reader accepts.
bool ReadVersion(char*& r, char* end, NoteTaker& notes, ListNotes* out, bool complete);

// Reads the record at `r` into `row`. False when a read failure cut it short (`complete`
// false): such a record is dropped whole.
bool ReadRecord(char*& r, char* end, StopScanner& scan, NoteTaker& notes, std::size_t entry,
                bool complete, Row& row);

}  // namespace pallomar::listparse
