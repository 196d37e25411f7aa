// Where a command's text goes: gathered, and handed on in pieces.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace plwtool {

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
  bool Flush() {
    if (!text_.empty()) {
      if (convert_) {
        const std::string converted = convert_(text_);
        out_.write(converted.data(), static_cast<std::streamsize>(converted.size()));
      } else {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
      }
      text_.clear();
    }
    out_.flush();
    return static_cast<bool>(out_);
  }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;
  std::ostream& out_;
  std::function<std::string(std::string_view)> convert_;
  std::string text_;
};

}  // namespace plwtool
