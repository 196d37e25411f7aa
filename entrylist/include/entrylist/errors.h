// Errors raised by the entry list and its file layer. Their messages come from the texts
// library, in Shift-JIS.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pallomar {

// A failed open, read, write or close, with the platform's error number (or one of the
// program's own codes 100, 101, 106).
class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(std::int32_t code);
  std::int32_t Code() const { return code_; }

 private:
  std::int32_t code_;
};

// The message of the file-error table for `code`.
std::string InOutErrorMessage(std::int32_t code);

// A window-state text that is not an integer: "'%s' は整数ではありません".
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(std::string_view text);
};

// A list file, one of its lines or an entry's text longer than a list can hold. A length_error,
// as the standard containers raise for the same reason.
class ETooLongError : public std::length_error {
 public:
  enum class What { ListFile, ListFileLine, EntryText };
  explicit ETooLongError(What what);
};

// The message of one of the errors above, which is a program text; null for any other error,
// whose message is the library's own wording.
const char* ProgramMessage(const std::exception& e);

}  // namespace pallomar
