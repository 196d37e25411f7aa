#include "shortcut_file.h"

#include <array>
#include <optional>

namespace plwtool {

namespace {

// Link flags that change what is read.
constexpr std::uint32_t kHasIdList = 0x1;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kHasName = 0x4;
constexpr std::uint32_t kHasRelativePath = 0x8;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kForceNoLinkInfo = 0x100;
constexpr std::uint32_t kHasExpString = 0x200;

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::array<unsigned char, 16> kLinkClass = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kDirectoryAttribute = 0x10;

constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kCommonNetworkRelativeLink = 0x2;

constexpr std::uint32_t kEnvironmentBlock = 0xA0000001;
constexpr std::uint32_t kEnvironmentBlockSize = 0x314;
constexpr std::size_t kEnvironmentAnsiChars = 260;

[[noreturn]] void Damaged(const std::string& why) { throw ShortcutError(why); }

// A piece of the file: reads refuse to leave it. Positions are 64-bit, so no sum of 32-bit
// sizes and offsets wraps.
class Span {
 public:
  Span(std::string_view bytes, std::uint64_t begin, std::uint64_t end, const char* name)
      : bytes_(bytes), begin_(begin), end_(end), name_(name) {}
  std::uint64_t Begin() const { return begin_; }
  std::uint64_t End() const { return end_; }

  std::uint32_t U16(std::uint64_t at, const char* what) const {
    Need(at, 2, what);
    return Byte(at) | Byte(at + 1) << 8;
  }
  std::uint32_t U32(std::uint64_t at, const char* what) const {
    Need(at, 4, what);
    return U16(at, what) | U16(at + 2, what) << 16;
  }
  // `n` bytes at `at` lie inside; else the file is damaged there.
  void Need(std::uint64_t at, std::uint64_t n, const char* what) const {
    if (at < begin_ || at > end_ || n > end_ - at) {
      Damaged(std::string(what) + " (" + std::to_string(n) + " bytes at offset " +
              std::to_string(at) + ") runs past the end of " + name_ + " (offset " +
              std::to_string(end_) + ")");
    }
  }
  std::string_view View(std::uint64_t at, std::uint64_t n) const {
    return bytes_.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(n));
  }
  // A string ended by a NUL of `unit` bytes (1 for ANSI, 2 for UTF-16), within the span and
  // at most `limit` bytes long; its bytes without the NUL.
  std::string_view Terminated(std::uint64_t at, unsigned unit, std::size_t limit,
                              const char* what) const {
    Need(at, 0, what);
    for (std::uint64_t i = at; end_ - i >= unit; i += unit) {
      if (i - at > limit) {
        Damaged(std::string(what) + " at offset " + std::to_string(at) + " is longer than " +
                std::to_string(limit / 2) + " characters");
      }
      if (Byte(i) == 0 && (unit == 1 || Byte(i + 1) == 0)) return View(at, i - at);
    }
    Damaged(std::string(what) + " at offset " + std::to_string(at) + " has no end within " + name_);
  }

 private:
  std::uint32_t Byte(std::uint64_t at) const {
    return static_cast<unsigned char>(bytes_[static_cast<std::size_t>(at)]);
  }
  std::string_view bytes_;
  std::uint64_t begin_;
  std::uint64_t end_;
  const char* name_;
};

// UTF-16 (little-endian) as UTF-8; a lone surrogate is refused.
std::string Utf16ToUtf8(std::string_view le, const char* what) {
  std::string out;
  out.reserve(le.size() * 3 / 2);
  const auto unit = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(le[i]) |
                                      static_cast<unsigned char>(le[i + 1]) << 8);
  };
  for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
    std::uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDFFF) {
      const bool paired =
          c < 0xDC00 && i + 3 < le.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF;
      if (!paired) Damaged(std::string(what) + " is not valid UTF-16 (a lone surrogate)");
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

ShortcutText Ansi(std::string_view bytes) { return {std::string(bytes), false}; }
ShortcutText Unicode(std::string_view le, const char* what) {
  return {Utf16ToUtf8(le, what), true};
}

struct LinkInfoTarget {
  TargetKind kind = TargetKind::None;
  ShortcutText path;
};

// The NUL-ended string at `offset` from the span's start (ANSI, or UTF-16 when `wide`).
ShortcutText StringAt(const Span& s, std::uint64_t offset, bool wide, const char* what) {
  const std::string_view raw =
      s.Terminated(s.Begin() + offset, wide ? 2 : 1, kShortcutTextLimit, what);
  return wide ? Unicode(raw, what) : Ansi(raw);
}

// A share's name, then the path below it when there is one.
ShortcutText Join(const ShortcutText& head, std::string_view separator, const ShortcutText& tail) {
  ShortcutText joined = head;
  if (!tail.bytes.empty()) joined.bytes.append(separator).append(tail.bytes);
  return joined;
}

LinkInfoTarget ReadLinkInfo(std::string_view bytes, std::uint64_t at, std::uint64_t size) {
  const Span info(bytes, at, at + size, "the link info");
  const std::uint32_t headerSize = info.U32(at + 4, "the link info's header");
  if (headerSize != 0x1C && headerSize < 0x24) {
    Damaged("the link info's header size " + std::to_string(headerSize) + " is neither 28 nor 36");
  }
  info.Need(at, headerSize, "the link info's header");
  const std::uint32_t flags = info.U32(at + 8, "the link info's flags");
  const bool wideOffsets = headerSize >= 0x24;
  const auto optionalWide = [&](std::uint64_t field, const char* what) {
    const std::uint32_t offset = wideOffsets ? info.U32(at + field, what) : 0;
    return offset == 0 ? std::optional<ShortcutText>() : StringAt(info, offset, true, what);
  };
  const std::uint32_t suffixOffset = info.U32(at + 24, "the link info");
  const ShortcutText suffix =
      suffixOffset == 0 ? ShortcutText{} : StringAt(info, suffixOffset, false, "the path suffix");
  const std::optional<ShortcutText> wideSuffix = optionalWide(32, "the path suffix");

  if (flags & kVolumeIdAndLocalBasePath) {
    const ShortcutText base =
        StringAt(info, info.U32(at + 16, "the link info"), false, "the local path");
    const std::optional<ShortcutText> wideBase = optionalWide(28, "the local path");
    // Both parts in one form: the wide one when it is whole, so nothing is guessed.
    if (wideBase && (wideSuffix || suffix.bytes.empty())) {
      ShortcutText path = *wideBase;
      path.bytes += wideSuffix ? wideSuffix->bytes : std::string();
      return {TargetKind::Local, path};
    }
    ShortcutText path = base;
    path.bytes += suffix.bytes;
    return {TargetKind::Local, path};
  }
  if (flags & kCommonNetworkRelativeLink) {
    const std::uint64_t linkAt = at + info.U32(at + 20, "the link info");
    const std::uint32_t linkSize = info.U32(linkAt, "the network link");
    if (linkSize < 0x14) {
      Damaged("the network link's size " + std::to_string(linkSize) + " is below 20");
    }
    info.Need(linkAt, linkSize, "the network link");
    const Span link(bytes, linkAt, linkAt + linkSize, "the network link");
    const std::uint32_t nameOffset = link.U32(linkAt + 8, "the network link");
    if (nameOffset > 0x14) {
      const std::uint32_t wideName = link.U32(linkAt + 0x14, "the network link");
      if (wideName != 0 && (wideSuffix || suffix.bytes.empty())) {
        return {TargetKind::Network, Join(StringAt(link, wideName, true, "the share name"), "\\",
                                          wideSuffix.value_or(ShortcutText{{}, true}))};
      }
    }
    return {TargetKind::Network,
            Join(StringAt(link, nameOffset, false, "the share name"), "\\", suffix)};
  }
  return {};
}

}  // namespace

Shortcut ParseShortcut(std::string_view bytes) {
  const Span file(bytes, 0, bytes.size(), "the file");
  if (bytes.size() < kHeaderSize) {
    Damaged("too short for a shortcut: " + std::to_string(bytes.size()) +
            " bytes, where the header alone takes 76");
  }
  if (file.U32(0, "the header") != kHeaderSize ||
      bytes.substr(4, kLinkClass.size()) !=
          std::string_view(reinterpret_cast<const char*>(kLinkClass.data()), kLinkClass.size())) {
    Damaged("not a shortcut: its header is not a shell link's");
  }
  const std::uint32_t flags = file.U32(0x14, "the header");
  Shortcut link;
  link.targetIsFolder = (file.U32(0x18, "the header") & kDirectoryAttribute) != 0;
  link.showCommand = file.U32(0x3C, "the header");
  std::uint64_t at = kHeaderSize;

  if (flags & kHasIdList) {
    link.hasIdList = true;
    const std::uint32_t size = file.U16(at, "the item list");
    file.Need(at + 2, size, "the item list");
    const Span list(bytes, at + 2, at + 2 + size, "the item list");
    // Each item counts its own two size bytes, so every step moves on: no item list loops.
    bool ended = false;
    for (std::uint64_t item = at + 2; !ended;) {
      const std::uint32_t itemSize = list.U16(item, "an item of the item list");
      if (itemSize == 0) {
        ended = true;
      } else if (itemSize < 2) {
        Damaged("an item of the item list at offset " + std::to_string(item) +
                " has the size 1, below its own size field");
      } else {
        list.Need(item, itemSize, "an item of the item list");
        item += itemSize;
      }
    }
    at += 2 + std::uint64_t{size};
  }

  LinkInfoTarget fromInfo;
  if (flags & kHasLinkInfo) {
    const std::uint32_t size = file.U32(at, "the link info");
    if (size < 0x1C) Damaged("the link info's size " + std::to_string(size) + " is below 28");
    file.Need(at, size, "the link info");
    fromInfo = ReadLinkInfo(bytes, at, size);
    at += size;
  }
  if (!(flags & kForceNoLinkInfo)) {
    link.kind = fromInfo.kind;
    link.target = fromInfo.path;
  }

  // The counted strings, in the order the format gives them.
  const bool wide = (flags & kIsUnicode) != 0;
  const auto counted = [&](std::uint32_t flag, const char* what) {
    if (!(flags & flag)) return ShortcutText{{}, wide};
    const std::uint32_t count = file.U16(at, what);
    const std::uint64_t n = std::uint64_t{count} * (wide ? 2 : 1);
    if (n > kShortcutTextLimit) {
      Damaged(std::string(what) + " at offset " + std::to_string(at) + " is longer than " +
              std::to_string(kShortcutTextLimit / 2) + " characters");
    }
    file.Need(at + 2, n, what);
    std::string_view raw = file.View(at + 2, n);
    at += 2 + n;
    // Some writers count the string's ending NUL too: it is no part of the text.
    const std::size_t unit = wide ? 2 : 1;
    while (raw.size() >= unit &&
           raw.substr(raw.size() - unit).find_first_not_of('\0') == std::string_view::npos) {
      raw.remove_suffix(unit);
    }
    return wide ? Unicode(raw, what) : Ansi(raw);
  };
  (void)counted(kHasName, "the name");
  (void)counted(kHasRelativePath, "the relative path");
  link.workingFolder = counted(kHasWorkingDir, "the working folder");
  link.arguments = counted(kHasArguments, "the arguments");
  (void)counted(kHasIconLocation, "the icon location");

  // Extra data blocks, each counting its own size, up to the terminal block (below four
  // bytes), which every shortcut ends with: a file without it was cut short.
  for (;;) {
    if (file.End() - at < 4) {
      Damaged("the file ends at offset " + std::to_string(file.End()) +
              " without its terminal block");
    }
    const std::uint32_t size = file.U32(at, "an extra data block");
    if (size < 4) break;
    file.Need(at, size, "an extra data block");
    if (size >= 8 && file.U32(at + 4, "an extra data block") == kEnvironmentBlock &&
        (flags & kHasExpString)) {
      if (size < kEnvironmentBlockSize) {
        Damaged("the environment block at offset " + std::to_string(at) + " holds " +
                std::to_string(size) + " bytes, not 788");
      }
      const Span ansi(bytes, at + 8, at + 8 + kEnvironmentAnsiChars, "the environment block");
      const Span utf16(bytes, at + 8 + kEnvironmentAnsiChars, at + 8 + 3 * kEnvironmentAnsiChars,
                       "the environment block");
      const std::string_view wideTarget =
          utf16.Terminated(utf16.Begin(), 2, 2 * kEnvironmentAnsiChars, "the environment target");
      link.kind = TargetKind::Environment;
      link.target = wideTarget.empty()
                        ? Ansi(ansi.Terminated(ansi.Begin(), 1, kEnvironmentAnsiChars,
                                               "the environment target"))
                        : Unicode(wideTarget, "the environment target");
    }
    at += size;
  }
  return link;
}

}  // namespace plwtool
