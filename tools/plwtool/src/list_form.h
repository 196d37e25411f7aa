// The list as JSON (lossless, both ways) and as CSV (for spreadsheets, out only). Both
// directions stream: neither holds more than one entry's text beside the list.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

#include "entrylist/entry_list.h"
#include "json.h"
#include "output.h"

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

}  // namespace plwtool
