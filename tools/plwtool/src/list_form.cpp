#include "list_form.h"

#include <cstdint>
#include <ostream>

#include "entrylist/list_parse.h"
#include "entrylist/model.h"
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

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Both conversions leave ASCII as it is (0x5C and 0x7E included), so most texts skip them.
std::optional<std::string> ToUtf8(std::string_view sjis) {
  if (IsAscii(sjis)) return std::string(sjis);
  return SjisToUtf8(sjis);
}
std::optional<std::string> ToSjis(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Utf8ToSjis(utf8);
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
  if (const auto utf8 = ToUtf8(sjis)) {
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
  const std::string shown = ShownUtf8(key);
  return parent.empty() ? shown : parent + "." + shown;
}

[[noreturn]] void Wrong(TextPos pos, const std::string& field, const std::string& message) {
  throw FormError(pos, field, message);
}

[[noreturn]] void WrongKind(TextPos pos, const std::string& field, const char* expected,
                            JsonKind found) {
  Wrong(pos, field, std::string("expected ") + expected + ", found " + KindName(found));
}

// The value at the reader is of `kind`; its position is where it starts.
TextPos Require(JsonReader& r, JsonKind kind, const std::string& field) {
  const JsonKind found = r.Peek();
  if (found != kind) WrongKind(r.Pos(), field, KindName(kind), found);
  return r.Pos();
}

[[noreturn]] void UnknownMember(JsonReader& r, const std::string& parent, const std::string& key) {
  r.Peek();
  Wrong(r.Pos(), FieldName(parent, key), "unknown member \"" + ShownUtf8(key) + "\"");
}

[[noreturn]] void Missing(TextPos objectPos, const std::string& parent, std::string_view key) {
  Wrong(objectPos, FieldName(parent, key), "missing member \"" + std::string(key) + "\"");
}

// The first character of `utf8` that has no Shift-JIS form, as U+XXXX.
std::string Unmappable(std::string_view utf8) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    const auto ch = utf8.substr(i, n);
    if (!ToSjis(ch)) {
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

// What a text field may hold so that the list file gives it back as it is.
enum class TextRole { Plain, LaterPath };

std::string TextField(JsonReader& r, const std::string& field, TextRole role) {
  const JsonKind kind = r.Peek();
  const TextPos pos = r.Pos();
  std::string bytes;
  if (kind == JsonKind::String) {
    const std::string text = r.String();
    auto sjis = ToSjis(text);
    if (!sjis) Wrong(pos, field, "the character " + Unmappable(text) + " has no Shift-JIS form");
    bytes = std::move(*sjis);
  } else if (kind == JsonKind::Object) {
    r.BeginObject();
    bool seen = false;
    std::string key;
    const std::string hexField = field + ".hex";
    while (r.NextMember(key)) {
      if (key != "hex") UnknownMember(r, field, key);
      const TextPos hexPos = Require(r, JsonKind::String, hexField);
      const std::string hex = r.String();
      seen = true;
      if (hex.size() % 2 != 0) Wrong(hexPos, hexField, "odd number of hexadecimal digits");
      for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexValue(hex[i]);
        const int lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) Wrong(hexPos, hexField, "expected hexadecimal digits (0-9, A-F)");
        bytes += static_cast<char>(hi * 16 + lo);
      }
    }
    if (!seen) Missing(pos, field, "hex");
  } else {
    WrongKind(pos, field, "a string or {\"hex\": ...}", kind);
  }
  // The writer stores values as they are: these bytes would break the file's lines.
  if (bytes.find_first_of("\r\n") != std::string::npos) {
    Wrong(pos, field, "contains a line break (CR or LF), which a list file cannot hold");
  }
  if (bytes.find('\0') != std::string::npos) {
    Wrong(pos, field, "contains a NUL character, which a list file cannot hold");
  }
  // The reader tests for the end of the file only between records, so only a later record's
  // path is cut off by a Ctrl-Z at its start.
  if (role == TextRole::LaterPath && !bytes.empty() && bytes[0] == '\x1A') {
    Wrong(pos, field, "begins with Ctrl-Z (0x1A), which would end the list there");
  }
  return bytes;
}

std::string OptionalTextField(JsonReader& r, const std::string& field) {
  if (r.Peek() == JsonKind::Null) {
    r.Null();
    return std::string(kDummyMarker);
  }
  std::string bytes = TextField(r, field, TextRole::Plain);
  // The writer stores an empty value as an empty line, which reads back as none.
  return bytes.empty() ? std::string(kDummyMarker) : bytes;
}

void ReadEntry(JsonReader& r, std::size_t index, EntryList& list) {
  std::string name = "entries[";
  name += std::to_string(index);
  name += ']';
  const TextPos pos = Require(r, JsonKind::Object, name);
  r.BeginObject();
  pallomar::Entry e;
  e.params = kDummyMarker;
  e.folder = kDummyMarker;
  bool path = false, state = false, run = false;
  std::string key;
  while (r.NextMember(key)) {
    if (key == "path") {
      e.path = TextField(r, name + ".path", index == 0 ? TextRole::Plain : TextRole::LaterPath);
      path = true;
    } else if (key == "params") {
      e.params = OptionalTextField(r, name + ".params");
    } else if (key == "folder") {
      e.folder = OptionalTextField(r, name + ".folder");
    } else if (key == "windowState") {
      e.windowState = TextField(r, name + ".windowState", TextRole::Plain);
      state = true;
    } else if (key == "runCheck") {
      Require(r, JsonKind::Bool, name + ".runCheck");
      e.runCheck.assign(1, r.Bool() ? '1' : '0');
      run = true;
    } else {
      UnknownMember(r, name, key);
    }
  }
  if (!path) Missing(pos, name, "path");
  if (!state) Missing(pos, name, "windowState");
  if (!run) Missing(pos, name, "runCheck");
  list.Append(e);
}

}  // namespace

bool Output::Flush() {
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

std::string DisplayText(std::string_view sjis) {
  bool plain = true;
  for (const char c : sjis) plain = plain && !IsControl(static_cast<unsigned char>(c));
  if (plain) {
    if (auto utf8 = ToUtf8(sjis); utf8 && !HasC1Control(*utf8)) return std::move(*utf8);
  }
  std::string out;
  std::size_t i = 0;
  while (i < sjis.size()) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const std::size_t n = (IsLead(c) && i + 1 < sjis.size()) ? 2 : 1;
    if (!IsControl(c)) {
      if (const auto utf8 = ToUtf8(sjis.substr(i, n)); utf8 && !HasC1Control(*utf8)) {
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

std::string QuotedStart(std::string_view sjis, std::size_t chars) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < chars && i < sjis.size(); ++n) {
    i += (IsLead(static_cast<unsigned char>(sjis[i])) && i + 1 < sjis.size()) ? 2 : 1;
  }
  std::string out = "\"";
  out += DisplayText(sjis.substr(0, i));
  out += i < sjis.size() ? "\"..." : "\"";
  return out;
}

void WriteListJson(const EntryList& list, std::string_view version, Output& out) {
  std::string& o = out.Text();
  o += "{\n  \"format\": ";
  AppendJsonString(o, kFormatName);
  o += ",\n  \"version\": ";
  AppendText(o, version);
  o += ",\n  \"entries\": [";
  for (std::size_t i = 0; i < list.Count(); ++i) {
    o += i == 0 ? "\n" : ",\n";
    o += "    {\n      \"path\": ";
    AppendText(o, list.Get(i, pallomar::kPath));
    o += ",\n      \"params\": ";
    AppendOptionalText(o, list.Get(i, pallomar::kParams));
    o += ",\n      \"folder\": ";
    AppendOptionalText(o, list.Get(i, pallomar::kFolder));
    o += ",\n      \"windowState\": ";
    AppendText(o, list.Get(i, pallomar::kWindowState));
    o += ",\n      \"runCheck\": ";
    o += pallomar::RunCheckOn(list.Get(i, pallomar::kRunCheck)) ? "true" : "false";
    o += "\n    }";
    out.LineDone();
  }
  o += list.Count() == 0 ? "]\n}\n" : "\n  ]\n}\n";
}

void WriteListCsv(const EntryList& list, Output& out) {
  std::string& o = out.Text();
  o += "number,path,params,folder,windowState,runCheck\r\n";
  for (std::size_t i = 0; i < list.Count(); ++i) {
    o += std::to_string(i + 1);
    o += ',' + CsvField(DisplayText(list.Get(i, pallomar::kPath)));
    o += ',' + CsvField(Shown(list.Get(i, pallomar::kParams)));
    o += ',' + CsvField(Shown(list.Get(i, pallomar::kFolder)));
    o += ',' + CsvField(DisplayText(list.Get(i, pallomar::kWindowState)));
    o += pallomar::RunCheckOn(list.Get(i, pallomar::kRunCheck)) ? ",true\r\n" : ",false\r\n";
    out.LineDone();
  }
}

EntryList ReadListJson(std::istream& in) {
  JsonReader r(in);
  const TextPos docPos = Require(r, JsonKind::Object, "(document)");
  r.BeginObject();
  bool format = false, entries = false;
  EntryList list;
  std::string key;
  while (r.NextMember(key)) {
    if (key == "format") {
      const TextPos pos = Require(r, JsonKind::String, "format");
      if (r.String() != kFormatName) {
        Wrong(pos, "format", "expected \"" + std::string(kFormatName) + "\"");
      }
      format = true;
    } else if (key == "version") {
      const TextPos pos = Require(r, JsonKind::String, "version");
      if (!pallomar::IsAcceptedVersion(r.String())) {
        Wrong(pos, "version", "expected \"100\", \"101\" or \"102\"");
      }
    } else if (key == "entries") {
      Require(r, JsonKind::Array, "entries");
      r.BeginArray();
      for (std::size_t i = 0; r.NextItem(); ++i) ReadEntry(r, i, list);
      entries = true;
    } else {
      UnknownMember(r, "", key);
    }
  }
  r.Finish();
  if (!format) Missing(docPos, "", "format");
  if (!entries) Missing(docPos, "", "entries");
  return list;
}

}  // namespace plwtool
