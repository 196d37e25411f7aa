#include "list_form.h"

#include <cstdint>

#include "host.h"

namespace plwtool {

using pallomar::EntryList;
using pallomar::kDummyMarker;

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, unsigned char c) {
  out += kHexDigits[c >> 4];
  out += kHexDigits[c & 0xF];
}

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// U+0080..U+009F: Windows reads byte 0x80 as one, and terminals may act on them.
bool HasC1Control(std::string_view utf8) {
  for (std::size_t i = 0; i + 1 < utf8.size(); ++i) {
    if (utf8[i] == '\xC2' && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F &&
        static_cast<unsigned char>(utf8[i + 1]) >= 0x80) {
      return true;
    }
  }
  return false;
}

// A text field: a string when the bytes are Shift-JIS that converts back to the same bytes,
// else an object holding the bytes in hexadecimal.
void AppendText(std::string& out, std::string_view sjis) {
  if (const auto utf8 = SjisToUtf8(sjis)) {
    AppendJsonString(out, *utf8);
    return;
  }
  out += "{\"hex\": \"";
  for (const char c : sjis) AppendHexByte(out, static_cast<unsigned char>(c));
  out += "\"}";
}

void AppendOptionalText(std::string& out, std::string_view sjis) {
  if (sjis == kDummyMarker) {
    out += "null";
  } else {
    AppendText(out, sjis);
  }
}

std::string CsvField(std::string_view utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
  std::string out = "\"";
  for (const char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string Shown(std::string_view sjis) { return sjis == kDummyMarker ? "" : DisplayText(sjis); }

// ---- reading the form ----

std::string FieldName(const std::string& parent, std::string_view key) {
  return parent.empty() ? std::string(key) : parent + "." + std::string(key);
}

[[noreturn]] void Wrong(const Json& v, const std::string& field, const std::string& message) {
  throw FormError(v.pos, field, message);
}

void RequireKind(const Json& v, Json::Kind kind, const std::string& field) {
  if (v.kind != kind) {
    Wrong(v, field, std::string("expected ") + KindName(kind) + ", found " + KindName(v.kind));
  }
}

void OnlyKnownMembers(const Json& obj, std::initializer_list<std::string_view> known,
                      const std::string& parent) {
  for (const auto& [key, value] : obj.members) {
    bool ok = false;
    for (const auto k : known) ok = ok || key == k;
    if (!ok) Wrong(value, FieldName(parent, key), "unknown member \"" + key + "\"");
  }
}

const Json& Required(const Json& obj, std::string_view key, const std::string& parent) {
  const Json* v = obj.Find(key);
  if (v == nullptr) {
    Wrong(obj, FieldName(parent, key), "missing member \"" + std::string(key) + "\"");
  }
  return *v;
}

// The first character of `utf8` that has no Shift-JIS form, as U+XXXX.
std::string Unmappable(std::string_view utf8) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    const auto ch = utf8.substr(i, n);
    if (!Utf8ToSjis(ch)) {
      std::uint32_t cp = n == 1 ? c : c & (0xFFu >> (n + 1));
      for (std::size_t k = 1; k < n && k < ch.size(); ++k) {
        cp = (cp << 6) | (static_cast<unsigned char>(ch[k]) & 0x3Fu);
      }
      std::string out = "U+";
      int shift = 12;
      while (shift < 28 && (cp >> (shift + 4)) != 0) shift += 4;
      for (; shift >= 0; shift -= 4) {
        out += kHexDigits[(cp >> shift) & 0xF];
      }
      return out;
    }
    i += n;
  }
  return "?";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string TextField(const Json& v, const std::string& field, bool isPath) {
  std::string bytes;
  if (v.kind == Json::Kind::String) {
    auto sjis = Utf8ToSjis(v.text);
    if (!sjis) Wrong(v, field, "the character " + Unmappable(v.text) + " has no Shift-JIS form");
    bytes = std::move(*sjis);
  } else if (v.kind == Json::Kind::Object) {
    OnlyKnownMembers(v, {"hex"}, field);
    const Json& hex = Required(v, "hex", field);
    const std::string hexField = field + ".hex";
    RequireKind(hex, Json::Kind::String, hexField);
    if (hex.text.size() % 2 != 0) Wrong(hex, hexField, "odd number of hexadecimal digits");
    for (std::size_t i = 0; i < hex.text.size(); i += 2) {
      const int hi = HexValue(hex.text[i]);
      const int lo = HexValue(hex.text[i + 1]);
      if (hi < 0 || lo < 0) Wrong(hex, hexField, "expected hexadecimal digits (0-9, A-F)");
      bytes += static_cast<char>(hi * 16 + lo);
    }
  } else {
    Wrong(v, field, std::string("expected a string or {\"hex\": ...}, found ") + KindName(v.kind));
  }
  // The writer stores values as they are: these bytes would break the file's lines.
  if (bytes.find_first_of("\r\n") != std::string::npos) {
    Wrong(v, field, "contains a line break (CR or LF), which a list file cannot hold");
  }
  if (bytes.find('\0') != std::string::npos) {
    Wrong(v, field, "contains a NUL character, which a list file cannot hold");
  }
  if (isPath && !bytes.empty() && bytes[0] == '\x1A') {
    Wrong(v, field, "begins with Ctrl-Z (0x1A), which would end the list there");
  }
  return bytes;
}

std::string OptionalTextField(const Json* v, const std::string& field) {
  if (v == nullptr || v->kind == Json::Kind::Null) return std::string(kDummyMarker);
  std::string bytes = TextField(*v, field, false);
  // The writer stores an empty value as an empty line, which reads back as none.
  return bytes.empty() ? std::string(kDummyMarker) : bytes;
}

}  // namespace

std::string DisplayText(std::string_view sjis) {
  bool plain = true;
  for (const char c : sjis) plain = plain && !IsControl(static_cast<unsigned char>(c));
  if (plain) {
    if (auto utf8 = SjisToUtf8(sjis); utf8 && !HasC1Control(*utf8)) return std::move(*utf8);
  }
  std::string out;
  std::size_t i = 0;
  while (i < sjis.size()) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const std::size_t n = (IsLead(c) && i + 1 < sjis.size()) ? 2 : 1;
    if (!IsControl(c)) {
      if (const auto utf8 = SjisToUtf8(sjis.substr(i, n)); utf8 && !HasC1Control(*utf8)) {
        out += *utf8;
        i += n;
        continue;
      }
    }
    // Only this byte is shown raw: the next one may be a character of its own.
    out += "\\x";
    AppendHexByte(out, c);
    ++i;
  }
  return out;
}

std::string ListToJson(const EntryList& list, std::string_view version) {
  std::string out = "{\n  \"format\": ";
  AppendJsonString(out, kFormatName);
  out += ",\n  \"version\": ";
  AppendText(out, version);
  out += ",\n  \"entries\": [";
  for (std::size_t i = 0; i < list.Count(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    out += "    {\n      \"path\": ";
    AppendText(out, list.Get(i, pallomar::kPath));
    out += ",\n      \"params\": ";
    AppendOptionalText(out, list.Get(i, pallomar::kParams));
    out += ",\n      \"folder\": ";
    AppendOptionalText(out, list.Get(i, pallomar::kFolder));
    out += ",\n      \"windowState\": ";
    AppendText(out, list.Get(i, pallomar::kWindowState));
    out += ",\n      \"runCheck\": ";
    out += list.Get(i, pallomar::kRunCheck) == "0" ? "false" : "true";
    out += "\n    }";
  }
  out += list.Count() == 0 ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

std::string ListToCsv(const EntryList& list) {
  std::string out = "number,path,params,folder,windowState,runCheck\r\n";
  for (std::size_t i = 0; i < list.Count(); ++i) {
    out += std::to_string(i + 1);
    out += ',' + CsvField(DisplayText(list.Get(i, pallomar::kPath)));
    out += ',' + CsvField(Shown(list.Get(i, pallomar::kParams)));
    out += ',' + CsvField(Shown(list.Get(i, pallomar::kFolder)));
    out += ',' + CsvField(DisplayText(list.Get(i, pallomar::kWindowState)));
    out += list.Get(i, pallomar::kRunCheck) == "0" ? ",false\r\n" : ",true\r\n";
  }
  return out;
}

EntryList ListFromJson(std::string_view json) {
  const Json doc = ParseJson(json);
  RequireKind(doc, Json::Kind::Object, "(document)");
  OnlyKnownMembers(doc, {"format", "version", "entries"}, "");
  const Json& format = Required(doc, "format", "");
  RequireKind(format, Json::Kind::String, "format");
  if (format.text != kFormatName) {
    Wrong(format, "format", "expected \"" + std::string(kFormatName) + "\"");
  }
  if (const Json* version = doc.Find("version")) {
    RequireKind(*version, Json::Kind::String, "version");
    if (version->text != "100" && version->text != "101" && version->text != "102") {
      Wrong(*version, "version", "expected \"100\", \"101\" or \"102\"");
    }
  }
  const Json& entries = Required(doc, "entries", "");
  RequireKind(entries, Json::Kind::Array, "entries");

  EntryList list;
  for (std::size_t i = 0; i < entries.items.size(); ++i) {
    const Json& e = entries.items[i];
    const std::string name = "entries[" + std::to_string(i) + "]";
    RequireKind(e, Json::Kind::Object, name);
    OnlyKnownMembers(e, {"path", "params", "folder", "windowState", "runCheck"}, name);
    std::string path = TextField(Required(e, "path", name), name + ".path", true);
    std::string params = OptionalTextField(e.Find("params"), name + ".params");
    std::string folder = OptionalTextField(e.Find("folder"), name + ".folder");
    std::string state = TextField(Required(e, "windowState", name), name + ".windowState", false);
    const Json& run = Required(e, "runCheck", name);
    RequireKind(run, Json::Kind::Bool, name + ".runCheck");
    list.Append(path, params, folder, state, run.boolean ? "1" : "0");
  }
  return list;
}

}  // namespace plwtool
