// UTF-8 to code page 932, the encoding of every text the help file carries.
#include "help_source.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace helpc {

#ifdef _WIN32

bool ToShiftJis(const std::string& utf8, std::string& sjis) {
  sjis.clear();
  if (utf8.empty()) return true;
  const int n = static_cast<int>(utf8.size());
  const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n, nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n, w.data(), wide);
  BOOL usedDefault = FALSE;
  const int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w.data(), wide, nullptr, 0,
                                        nullptr, &usedDefault);
  if (bytes <= 0 || usedDefault) return false;
  sjis.resize(static_cast<size_t>(bytes));
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w.data(), wide, sjis.data(), bytes, nullptr,
                      &usedDefault);
  if (usedDefault) return false;
  // What is written must read back as the same characters.
  std::wstring back(w.size(), L'\0');
  const int read = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, sjis.data(), bytes, back.data(),
                                       static_cast<int>(back.size()));
  return read == wide && back == w;
}

#else

namespace {

// The whole text through one iconv conversion; false at a byte it cannot take.
bool Iconv(const char* to, const char* from, const std::string& text, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = text;
  out.assign(in.size() * 3 + 4, '\0');
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || inLeft != 0) return false;
  out.resize(out.size() - outLeft);
  return true;
}

}  // namespace

bool ToShiftJis(const std::string& utf8, std::string& sjis) {
  sjis.clear();
  if (utf8.empty()) return true;
  // The same conversion the compiler applies to the program's own texts. It writes some
  // characters as the bytes of others (U+00A5 as 0x5C, U+203E as 0x7E), which the viewer
  // shows as a backslash and a tilde: only a text that reads back unchanged is taken.
  std::string out, back;
  if (!Iconv("CP932", "UTF-8", utf8, out) || !Iconv("UTF-8", "CP932", out, back)) return false;
  if (back != utf8) return false;
  sjis = std::move(out);
  return true;
}

#endif

}  // namespace helpc
