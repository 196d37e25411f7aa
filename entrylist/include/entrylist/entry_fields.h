// What each stored field of an entry means, read and written in one place: the optional texts,
// the window state, the running check, which files start as programs and how a program's
// command line is formed, and the code page a list's texts are in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "entrylist/codepage.h"
#include "entrylist/entry_list.h"

namespace pallomar {

// --- Optional texts (parameters, working folder) -----------------------------------------------

// A parameters or working-folder text that says "none": the marker, or empty.
constexpr bool IsNoneText(std::string_view text) { return text.empty() || text == kDummyMarker; }
// The value a stored optional text stands for: the marker reads as empty.
constexpr std::string_view OptionalValue(std::string_view stored) {
  return stored == kDummyMarker ? std::string_view() : stored;
}
// The stored form of an optional value: an empty one becomes the marker.
inline std::string StoredOptional(std::string_view value) {
  return std::string(value.empty() ? kDummyMarker : value);
}

// --- Integers ----------------------------------------------------------------------------------

// The window-state text as an integer: optional leading spaces, sign, decimal digits within
// 32 bits, or hexadecimal after "$", "x", "X", "0x", "0X". Empty when the text is none of these.
// Never throws: for callers that only ask (StrToInt raises the editor's error).
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// --- Window state ------------------------------------------------------------------------------

class WindowState {
 public:
  enum class Kind { Normal, Maximised, Minimised, None, Unreadable };

  // The stored text as the editor reads it: its integer, bounded to -1..2; a text that is not an
  // integer is kept as it is and reads as Unreadable.
  static WindowState Read(std::string_view stored);
  // One of the four choices by its bounded value (values outside -1..2 take the nearest bound).
  static WindowState FromValue(std::int64_t value);

  Kind kind() const { return kind_; }
  // -1 (no choice) .. 2; 0 for an unreadable text, the window it opens.
  int Bounded() const { return bounded_; }
  bool Readable() const { return kind_ != Kind::Unreadable; }
  // The text as stored (for Read) or the bounded value's text (for FromValue).
  const std::string& Text() const { return text_; }
  // The text a fresh save of this choice stores: its bounded value.
  std::string StoredText() const { return std::string(BoundedText(bounded_)); }
  // True when the stored text is already what a save of its choice writes.
  bool IsCanonical() const { return Readable() && text_ == BoundedText(bounded_); }
  // Plain English words: "normal", "maximised", "minimised", "no choice", "unreadable".
  std::string_view PlainWord() const;

 private:
  // The text of a bounded value (-1..2), without making a string for it: asked once per entry.
  static std::string_view BoundedText(int bounded) {
    constexpr std::string_view kTexts[] = {"-1", "0", "1", "2"};
    return kTexts[bounded + 1];
  }
  static WindowState Bound(std::int64_t value);

  Kind kind_ = Kind::Normal;
  int bounded_ = 0;
  std::string text_ = "0";
};

// The plain English words of a bounded window-state value (-1..2): "no choice" outside 0..2.
std::string_view WindowStatePlainWord(std::int32_t bounded);

// --- Running check -----------------------------------------------------------------------------

// A running-check flag is off only when it is exactly "0".
constexpr bool RunCheckOn(std::string_view flag) { return flag != "0"; }
// The stored flag of a running check.
constexpr std::string_view RunCheckFlag(bool on) { return on ? "1" : "0"; }
// The running check's word in a list file: a save writes "True" or "False"; only "True" reads
// as on.
constexpr std::string_view RunCheckFileWord(bool on) { return on ? "True" : "False"; }
constexpr bool RunCheckFileWordOn(std::string_view word) { return word == RunCheckFileWord(true); }
// True for either of the words a save writes.
constexpr bool IsRunCheckFileWord(std::string_view word) {
  return word == RunCheckFileWord(true) || word == RunCheckFileWord(false);
}

// --- Programs and their command lines ----------------------------------------------------------

// Files started as programs, by their FileExtension: only these keep parameters.
inline bool IsProgramExtension(std::string_view extension) {
  return extension == ".exe" || extension == ".com";
}
// Only a .exe keeps the running check.
inline bool KeepsRunCheck(std::string_view extension) { return extension == ".exe"; }

// Every byte from 0x01 to the space separates the arguments of a command line; NUL ends it.
inline bool IsArgumentBreak(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b != 0 && b <= 0x20;
}
// The command line that starts `path` with the stored `params`: the path quoted when a byte of
// it would separate arguments, then the parameters unless they say none.
std::string CommandLineOf(std::string_view path, std::string_view params);

// --- Code page ---------------------------------------------------------------------------------

// A list's texts are Shift-JIS, whatever the machine's code page.
inline constexpr unsigned kListCodePageNumber = 932;
// Code page 932 as built in, for stepping over a list's texts on any machine.
const CodePage& ListCodePage();

}  // namespace pallomar
