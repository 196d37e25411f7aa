// The ordered entries of a launch list: five index-aligned text columns held as rows, so the
// columns cannot get out of step. Loaded lists keep the file's bytes in one buffer and the
// fields refer into it; texts added later are owned beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pallomar {

// Stands in memory for an absent parameters or working-folder value.
inline constexpr std::string_view kDummyMarker = "$dummy$";

enum Field : int { kPath = 0, kParams = 1, kFolder = 2, kWindowState = 3, kRunCheck = 4 };
inline constexpr int kFieldCount = 5;

// One row: path, parameters, working folder, window-state code, running-check flag.
struct Entry {
  std::string path;
  std::string params;
  std::string folder;
  std::string windowState;
  std::string runCheck;

  std::string& operator[](int field);
  const std::string& operator[](int field) const;
  bool operator==(const Entry&) const = default;
};

class EntryList {
 public:
  EntryList();
  ~EntryList();
  EntryList(EntryList&&) noexcept;
  EntryList& operator=(EntryList&&) noexcept;
  EntryList(const EntryList&) = delete;
  EntryList& operator=(const EntryList&) = delete;

  std::size_t Count() const;
  bool Empty() const { return Count() == 0; }

  // Field `field` of row `row`; valid until the row is removed or the list cleared.
  std::string_view Get(std::size_t row, Field field) const;
  Entry EntryAt(std::size_t row) const;

  // Appends one row. Each text keeps only the bytes before its first NUL.
  void Append(std::string_view path, std::string_view params, std::string_view folder,
              std::string_view windowState, std::string_view runCheck);
  void Append(const Entry& e);

  void Remove(std::size_t row);
  // Takes row `from` out and inserts it at `to` (positions after the removal).
  void Move(std::size_t from, std::size_t to);
  void Clear();

  // Bytes held for the list (buffers and rows), for the memory benchmark.
  std::size_t BytesHeld() const;

  struct Impl;  // the reader fills rows through it directly

 private:
  Impl* impl_;
  friend struct EntryListAccess;
};

}  // namespace pallomar
