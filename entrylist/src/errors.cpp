#include "entrylist/errors.h"

#include <string>

#include "texts.h"

namespace pallomar {

namespace {

// Replaces the first `marker` in `pattern` by `value`, by plain concatenation: the value is
// never read as a format.
std::string Fill(std::string_view pattern, std::string_view marker, std::string_view value) {
  const auto at = pattern.find(marker);
  if (at == std::string_view::npos) return std::string(pattern);
  std::string out;
  out.reserve(pattern.size() + value.size());
  out.append(pattern.substr(0, at));
  out.append(value);
  out.append(pattern.substr(at + marker.size()));
  return out;
}

}  // namespace

std::string InOutErrorMessage(std::int32_t code) {
  switch (code) {
    case 2:
      return text::kIoFileNotFound;
    case 3:
      return text::kIoInvalidName;
    case 4:
      return text::kIoTooManyOpen;
    case 5:
      return text::kIoAccessDenied;
    case 100:
      return text::kIoReadPastEnd;
    case 101:
      return text::kIoDiskFull;
    case 106:
      return text::kIoNotNumeric;
    default:
      return Fill(text::kIoOtherFormat, "%d", std::to_string(code));
  }
}

EInOutError::EInOutError(std::int32_t code)
    : std::runtime_error(InOutErrorMessage(code)), code_(code) {}

EConvertError::EConvertError(std::string_view text)
    : std::runtime_error(Fill(text::kNotAnInteger, "%s", text)) {}

namespace {

const char* TooLongText(ETooLongError::What what) {
  switch (what) {
    case ETooLongError::What::ListFile:
      return text::kListFileTooLarge;
    case ETooLongError::What::ListFileLine:
      return text::kListLineTooLong;
    case ETooLongError::What::EntryText:
      break;
  }
  return text::kEntryTextTooLong;
}

}  // namespace

ETooLongError::ETooLongError(What what) : std::length_error(TooLongText(what)) {}

const char* ProgramMessage(const std::exception& e) {
  if (dynamic_cast<const EInOutError*>(&e) != nullptr ||
      dynamic_cast<const EConvertError*>(&e) != nullptr ||
      dynamic_cast<const ETooLongError*>(&e) != nullptr) {
    return e.what();
  }
  return nullptr;
}

}  // namespace pallomar
