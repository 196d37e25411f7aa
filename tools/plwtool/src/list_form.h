// The list as JSON (lossless, both ways) and as CSV (for spreadsheets, out only), and texts as
// they are shown to people. Both directions stream: neither holds more than one entry's text
// beside the list.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

#include "entrylist/entry_list.h"
#include "json.h"

namespace plwtool {

// A JSON text that is well formed but not a list: where, which field, and why.
class FormError : public std::runtime_error {
 public:
  FormError(TextPos pos, std::string field, const std::string& message)
      : std::runtime_error(message), pos_(pos), field_(std::move(field)) {}
  TextPos Pos() const { return pos_; }
  const std::string& Field() const { return field_; }

 private:
  TextPos pos_;
  std::string field_;
};

inline constexpr std::string_view kFormatName = "pallomar-list";

// Text gathered and handed to a stream in pieces of about 64 KiB, each passed through
// `convert` first when there is one. Append whole characters, so that no piece cuts one.
class Output {
 public:
  explicit Output(std::ostream& out, std::function<std::string(std::string_view)> convert = {})
      : out_(out), convert_(std::move(convert)) {}
  std::string& Text() { return text_; }
  // Hands the text on once there is enough of it; call it after every line or piece.
  void LineDone() {
    if (text_.size() >= kPiece) Flush();
  }
  // Hands everything on; false when the stream has failed (now or before).
  bool Flush();

 private:
  static constexpr std::size_t kPiece = 64 * 1024;
  std::ostream& out_;
  std::function<std::string(std::string_view)> convert_;
  std::string text_;
};

// The JSON form, written record by record: the head with the file's version line, each
// record (the only row of `record`; `first` for the list's first), then the tail.
void WriteJsonHead(std::string_view version, Output& out);
void WriteJsonRecord(const pallomar::EntryList& record, bool first, Output& out);
void WriteJsonTail(bool anyRecord, Output& out);
// The CSV form: a header row, then one row per entry (`number` from 1); CR LF line ends.
void WriteCsvHead(Output& out);
void WriteCsvRecord(const pallomar::EntryList& record, std::size_t number, Output& out);

// The entries of a JSON text in the form the export writes, refusing whatever the list file
// could not give back as it is. Raises JsonError or FormError.
pallomar::EntryList ReadListJson(std::istream& in);

// Why the list file could not give `bytes` back as they are (a line break, a NUL, or a
// Ctrl-Z starting the path of any entry but the first, `laterPath`); nullptr when it can.
const char* NotStorable(std::string_view bytes, bool laterPath);

// A Shift-JIS text for people: invalid bytes and control characters as \xHH.
std::string DisplayText(std::string_view sjis);
// The same text in pieces of whole characters, of at most about 64 KiB each, so that a huge
// field is never held converted.
void ForDisplayText(std::string_view sjis, const std::function<void(std::string_view)>& piece);
// Columns on a terminal: half-width characters take one, the rest of East Asia two.
std::size_t DisplayWidth(std::string_view utf8);
// The start of a Shift-JIS text in double quotes for a message: at most `chars` characters,
// and "..." after the closing quote when it was cut. Every echo of a field goes through it.
std::string Quoted(std::string_view sjis, std::size_t chars = 80);
// The same without the quotes: "..." follows a text that was cut.
std::string ShownStart(std::string_view sjis, std::size_t chars = 80);
// UTF-8 the user typed as it may be shown, at most `chars` characters and "..." when cut.
std::string BoundedUtf8(std::string_view utf8, std::size_t chars = 80);
// The same in double quotes, for UTF-8 the user typed (names, options, JSON member names).
std::string QuotedUtf8(std::string_view utf8, std::size_t chars = 80);

}  // namespace plwtool
