// Little-endian numbers and NUL-terminated strings, as every part of the help file stores them.
#pragma once

#include <cstdint>
#include <string>

namespace helpc::bytes {

inline void Put8(std::string& out, unsigned v) { out += static_cast<char>(v & 0xFF); }
inline void Put16(std::string& out, unsigned v) {
  Put8(out, v);
  Put8(out, v >> 8);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline std::string Le32(uint32_t v) {
  std::string s;
  Put32(s, v);
  return s;
}
inline std::string Zstring(const std::string& s) { return s + '\0'; }

}  // namespace helpc::bytes
