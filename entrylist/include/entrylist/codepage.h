// Code-page services of the user's ANSI code page: lead bytes and lower-casing.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace pallomar {

class CodePage {
 public:
  constexpr CodePage() = default;
  virtual ~CodePage() = default;
  // A table lookup, not a virtual call: every text walk asks it once per character.
  bool IsLeadByte(unsigned char b) const { return lead_[b]; }
  // Lower-cases in place; the byte length never changes.
  virtual void Lower(std::string& text) const = 0;

  // How many bytes the character at `i` takes: 2 for a lead byte with a byte after it,
  // else 1. A lead byte at the end of the text stands alone. The one place that steps over
  // a double-byte character; `i` must be inside the text.
  std::size_t CharLength(std::string_view text, std::size_t i) const {
    return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
  }

 protected:
  // Marks lead bytes `first` to `last`.
  constexpr void AddLeadBytes(unsigned first, unsigned last) {
    for (unsigned b = first; b <= last && b < 256; ++b) lead_[b] = true;
  }

 private:
  std::array<bool, 256> lead_{};
};

// The active ANSI code page, read once at first use. On Windows from GetCPInfo and
// CharLowerBuffA; elsewhere the built-in description of code page 932.
const CodePage& ActiveCodePage();

// Code page 932 as built in: lead bytes 0x81-0x9F and 0xE0-0xFC, A-Z lowered.
std::unique_ptr<CodePage> MakeBuiltinCp932();
// A single-byte code page (every byte stands alone), A-Z lowered.
std::unique_ptr<CodePage> MakeSingleByteCodePage();

}  // namespace pallomar
