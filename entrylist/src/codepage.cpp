#include "entrylist/codepage.h"

#include <array>
#include <cstddef>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pallomar {
namespace {

void LowerAsciiLetter(char& c) {
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

// Code page 932 as the program knows it without the platform: the trail byte of a
// double-byte character is passed over so that an A-Z trail byte (e.g. 0x82 0x41) stays
// the character it is.
class BuiltinCp932 final : public CodePage {
 public:
  constexpr BuiltinCp932() {
    AddLeadBytes(0x81, 0x9F);
    AddLeadBytes(0xE0, 0xFC);
  }
  void Lower(std::string& text) const override {
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t n = CharLength(text, i);
      if (n == 1) LowerAsciiLetter(text[i]);  // a lone lead byte at the end is no letter
      i += n;
    }
  }
};

class SingleByteCodePage final : public CodePage {
 public:
  void Lower(std::string& text) const override {
    for (char& c : text) LowerAsciiLetter(c);
  }
};

#ifdef _WIN32
// The user's ANSI code page as the platform describes it. The lead-byte table is taken once;
// lowering goes to the platform so that it agrees with what the file system shows.
class Win32CodePage final : public CodePage {
 public:
  Win32CodePage() {
    CPINFO info{};
    if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1) {
      for (int k = 0; k + 1 < MAX_LEADBYTES; k += 2) {
        const unsigned first = info.LeadByte[k];
        const unsigned last = info.LeadByte[k + 1];
        if (first == 0 && last == 0) break;
        AddLeadBytes(first, last);
      }
    }
  }
  void Lower(std::string& text) const override {
    // CharLowerBuffA takes a DWORD length: hand very long texts over in pieces that end
    // between characters.
    constexpr std::size_t kMaxPiece = std::numeric_limits<DWORD>::max() / 2;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.size();
      if (end - start > kMaxPiece) {
        end = start;
        while (end - start < kMaxPiece) end += CharLength(text, end);
      }
      CharLowerBuffA(text.data() + start, static_cast<DWORD>(end - start));
      start = end;
    }
  }
};
#endif

#ifndef _WIN32
// Built before any code runs: asking for it costs no first-use check.
constinit const BuiltinCp932 kBuiltinCp932;
#endif

}  // namespace

const CodePage& ActiveCodePage() {
#ifdef _WIN32
  static const Win32CodePage cp;
  return cp;
#else
  return kBuiltinCp932;
#endif
}

std::unique_ptr<CodePage> MakeBuiltinCp932() { return std::make_unique<BuiltinCp932>(); }

std::unique_ptr<CodePage> MakeSingleByteCodePage() {
  return std::make_unique<SingleByteCodePage>();
}

}  // namespace pallomar
