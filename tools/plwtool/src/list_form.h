// The list as JSON (lossless, both ways) and as CSV (for spreadsheets, out only).
#pragma once

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

// The JSON form of `list`; `version` is the file's version line.
std::string ListToJson(const pallomar::EntryList& list, std::string_view version);
// The CSV form: a header row, then one row per entry; CR LF line ends.
std::string ListToCsv(const pallomar::EntryList& list);

// The entries of a JSON text in the form ListToJson writes. Raises JsonError or FormError.
pallomar::EntryList ListFromJson(std::string_view json);

// A Shift-JIS text for people: invalid bytes and control characters as \xHH.
std::string DisplayText(std::string_view sjis);

}  // namespace plwtool
