// The list as JSON (lossless, both ways) and as CSV (for spreadsheets, out only), and texts as
// they are shown to people. Both directions stream: neither holds more than one entry's text
// beside the list.
#pragma once

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
// `convert` first when there is one. Append whole lines, so that no piece cuts a character.
class Output {
 public:
  explicit Output(std::ostream& out, std::function<std::string(std::string_view)> convert = {})
      : out_(out), convert_(std::move(convert)) {}
  std::string& Text() { return text_; }
  // Hands the text on once there is enough of it.
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

// The JSON form of `list`; `version` is the file's version line.
void WriteListJson(const pallomar::EntryList& list, std::string_view version, Output& out);
// The CSV form: a header row, then one row per entry; CR LF line ends.
void WriteListCsv(const pallomar::EntryList& list, Output& out);

// The entries of a JSON text in the form WriteListJson writes, refusing whatever the list file
// could not give back as it is. Raises JsonError or FormError.
pallomar::EntryList ReadListJson(std::istream& in);

// A Shift-JIS text for people: invalid bytes and control characters as \xHH.
std::string DisplayText(std::string_view sjis);
// The start of a Shift-JIS text in double quotes for a message: at most `chars` characters,
// and "..." after the closing quote when it was cut.
std::string QuotedStart(std::string_view sjis, std::size_t chars = 80);

}  // namespace plwtool
