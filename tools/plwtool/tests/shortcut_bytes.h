// Shortcut files written byte by byte for the tests, as the published format lays them out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plwtool::testing {

// UTF-8 as UTF-16 little-endian (whole characters of the Basic Plane and beyond).
inline std::string Utf16(const std::string& utf8) {
  std::string out;
  const auto put = [&](std::uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    std::uint32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
    for (int k = 1; k < n; ++k) c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += static_cast<std::size_t>(n);
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

inline std::string U16(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}
inline std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }

struct LinkInfoParts {
  std::string localBase;                        // ANSI; empty with `network`
  std::string suffix;                           // ANSI
  std::optional<std::string> localBaseUnicode;  // UTF-8, written as UTF-16
  std::optional<std::string> suffixUnicode;
  std::string network;  // ANSI share name, e.g. \\server\share
};

struct ShortcutParts {
  std::uint32_t showCommand = 1;
  std::uint32_t attributes = 0x20;   // archive: a file
  std::uint32_t extraFlags = 0;      // flags beyond those the parts below set
  std::vector<std::string> idItems;  // each item's data
  std::optional<LinkInfoParts> info;
  bool unicode = true;
  // UTF-8 when `unicode`, else the ANSI bytes.
  std::optional<std::string> name, relativePath, workingDir, arguments, iconLocation;
  std::optional<std::string> environmentAnsi, environmentUnicode;  // HasExpString's block
};

inline std::string LinkInfoBytes(const LinkInfoParts& p) {
  const bool wide = p.localBaseUnicode || p.suffixUnicode;
  const std::uint32_t headerSize = wide ? 0x24 : 0x1C;
  std::string body;  // after the header
  const auto place = [&](const std::string& bytes) {
    const auto offset = static_cast<std::uint32_t>(headerSize + body.size());
    body += bytes;
    return offset;
  };
  std::uint32_t flags = 0, volume = 0, base = 0, network = 0, suffix = 0, baseW = 0, suffixW = 0;
  if (p.network.empty()) {
    flags |= 1;
    // A volume id: size, drive type (fixed), serial number, label offset, empty label.
    volume = place(U32(0x11) + U32(3) + U32(0x1234ABCD) + U32(0x10) + std::string(1, '\0'));
    base = place(p.localBase + '\0');
  } else {
    flags |= 2;
    // Size, flags, share name offset, device name offset, provider type; then the name.
    const std::string name = p.network + '\0';
    network = place(U32(static_cast<std::uint32_t>(0x14 + name.size())) + U32(0) + U32(0x14) +
                    U32(0) + U32(0) + name);
  }
  suffix = place(p.suffix + '\0');
  if (p.localBaseUnicode) baseW = place(Utf16(*p.localBaseUnicode) + U16(0));
  if (p.suffixUnicode) suffixW = place(Utf16(*p.suffixUnicode) + U16(0));
  std::string header =
      U32(0) + U32(headerSize) + U32(flags) + U32(volume) + U32(base) + U32(network) + U32(suffix);
  if (wide) header += U32(baseW) + U32(suffixW);
  std::string all = header + body;
  const std::string size = U32(static_cast<std::uint32_t>(all.size()));
  all.replace(0, 4, size);
  return all;
}

inline std::string ShortcutBytes(const ShortcutParts& p) {
  std::uint32_t flags = p.extraFlags;
  std::string rest;
  if (!p.idItems.empty()) {
    flags |= 0x1;
    std::string items;
    for (const auto& item : p.idItems) {
      items += U16(static_cast<std::uint32_t>(item.size() + 2)) + item;
    }
    items += U16(0);
    rest += U16(static_cast<std::uint32_t>(items.size())) + items;
  }
  if (p.info) {
    flags |= 0x2;
    rest += LinkInfoBytes(*p.info);
  }
  if (p.unicode) flags |= 0x80;
  const std::pair<std::uint32_t, const std::optional<std::string>*> strings[] = {
      {0x4, &p.name},
      {0x8, &p.relativePath},
      {0x10, &p.workingDir},
      {0x20, &p.arguments},
      {0x40, &p.iconLocation}};
  for (const auto& [flag, text] : strings) {
    if (!*text) continue;
    flags |= flag;
    const std::string bytes = p.unicode ? Utf16(**text) : **text;
    rest += U16(static_cast<std::uint32_t>(p.unicode ? bytes.size() / 2 : bytes.size())) + bytes;
  }
  if (p.environmentAnsi || p.environmentUnicode) {
    flags |= 0x200;
    std::string ansi = p.environmentAnsi.value_or("");
    std::string wide = Utf16(p.environmentUnicode.value_or(""));
    ansi.resize(260, '\0');
    wide.resize(520, '\0');
    rest += U32(0x314) + U32(0xA0000001) + ansi + wide;
  }
  rest += U32(0);  // the terminal block
  std::string header = U32(0x4C);
  header += std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
  header += U32(flags) + U32(p.attributes);
  header += std::string(24, '\0');  // three times
  header += U32(0) + U32(0) + U32(p.showCommand) + U16(0) + U16(0) + U32(0) + U32(0);
  return header + rest;
}

}  // namespace plwtool::testing
