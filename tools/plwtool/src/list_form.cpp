#include "list_form.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "entrylist/entry_fields.h"
#include "entrylist/list_parse.h"
#include "entrylist/model.h"
#include "host.h"
#include "shown_text.h"
#include "sjis_text.h"
#include "utf8.h"

namespace plwtool {

using pallomar::EntryList;

// The writer stores values as they are: these bytes would break the file's lines. One pass
// over the bytes (find_first_of searches the set once per byte).
const char* NotStorable(std::string_view bytes, bool laterPath) {
  bool lineBreak = false, nul = false;
  for (const char c : bytes) {
    lineBreak |= c == '\r' || c == '\n';
    nul |= c == '\0';
  }
  if (lineBreak) return "contains a line break (CR or LF), which a list file cannot hold";
  if (nul) return "contains a NUL character, which a list file cannot hold";
  // The reader tests for the end of the file only between records, so only a later record's
  // path is cut off by a Ctrl-Z at its start.
  if (laterPath && !bytes.empty() && bytes[0] == '\x1A') {
    return "begins with Ctrl-Z (0x1A), which would end the list there";
  }
  return nullptr;
}

namespace {

void AppendHex(Output& out, std::string_view sjis) {
  out.Text() += "{\"hex\": \"";
  for (std::size_t i = 0; i < sjis.size(); ++i) {
    AppendHexByte(out.Text(), static_cast<unsigned char>(sjis[i]));
    if (i % kTextPiece == kTextPiece - 1) out.LineDone();
  }
  out.Text() += "\"}";
}

// A text field: a string when the bytes are Shift-JIS that converts back to the same bytes,
// else an object holding the bytes in hexadecimal. A long one goes over in pieces, converted
// once to learn which form it takes and once to write it.
void AppendText(Output& out, std::string_view sjis) {
  if (sjis.size() <= kTextPiece) {
    if (const auto utf8 = ToUtf8(sjis)) {
      AppendJsonString(out.Text(), *utf8);
    } else {
      AppendHex(out, sjis);
    }
    return;
  }
  bool converts = true;
  ForPieces(sjis, [&](std::string_view piece) { converts = converts && ToUtf8(piece); });
  if (!converts) {
    AppendHex(out, sjis);
    return;
  }
  out.Text() += '"';
  ForPieces(sjis, [&](std::string_view piece) {
    AppendJsonChars(out.Text(), *ToUtf8(piece));
    out.LineDone();
  });
  out.Text() += '"';
}

// null for none: the marker, as every list read holds it, or an empty value.
void AppendOptionalText(Output& out, std::string_view sjis) {
  if (pallomar::IsNoneText(sjis)) {
    out.Text() += "null";
  } else {
    AppendText(out, sjis);
  }
}

// A CSV cell of what people see: quoted when it holds a comma or a double quote (line ends are
// shown escaped, and no trail byte is either of the two).
void AppendCsvField(Output& out, std::string_view sjis) {
  if (sjis.empty()) return;  // nothing to show or quote (most optional fields)
  // A plain loop: find_first_of searches the set once per byte of the field.
  const bool quote =
      std::any_of(sjis.begin(), sjis.end(), [](char c) { return c == ',' || c == '"'; });
  if (quote) out.Text() += '"';
  ForDisplayText(sjis, [&](std::string_view utf8) {
    for (std::size_t at; (at = utf8.find('"')) != std::string_view::npos;) {
      out.Text().append(utf8.substr(0, at + 1)) += '"';
      utf8.remove_prefix(at + 1);
    }
    out.Text() += utf8;
    out.LineDone();
  });
  if (quote) out.Text() += '"';
}

// ---- reading the form ----

std::string FieldName(const std::string& parent, std::string_view key) {
  const std::string shown = BoundedUtf8(key);
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
  Wrong(r.Pos(), FieldName(parent, key), "unknown member " + QuotedUtf8(key));
}

[[noreturn]] void Missing(TextPos objectPos, const std::string& parent, std::string_view key) {
  Wrong(objectPos, FieldName(parent, key), "missing member \"" + std::string(key) + "\"");
}

// Characters that Unicode has twice where Shift-JIS has one: each is written as the form that
// the Shift-JIS character reads back as, on every host alike.
struct Variant {
  std::uint32_t given;
  std::uint32_t shiftJis;
};
constexpr Variant kVariants[] = {
    {0x301C, 0xFF5E},  // wave dash: full-width tilde
    {0x2016, 0x2225},  // double vertical line: parallel to
    {0x2212, 0xFF0D},  // minus sign: full-width hyphen-minus
    {0x2014, 0x2015},  // em dash: horizontal bar
    {0x00A2, 0xFFE0},  // cent sign: full-width cent sign
    {0x00A3, 0xFFE1},  // pound sign: full-width pound sign
    {0x00AC, 0xFFE2},  // not sign: full-width not sign
};

std::string WithVariants(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t n = Utf8CharLength(utf8, i);
    const std::string_view ch = utf8.substr(i, n);
    i += n;
    if (n > 1) {
      const std::uint32_t cp = DecodeUtf8(ch);
      const auto* v = std::find_if(std::begin(kVariants), std::end(kVariants),
                                   [&](const Variant& x) { return x.given == cp; });
      if (v != std::end(kVariants)) {
        AppendUtf8(out, v->shiftJis);
        continue;
      }
    }
    out += ch;
  }
  return out;
}

std::string CodePoint(std::uint32_t cp) {
  std::string out = "U+";
  int shift = 12;
  while (shift < 28 && (cp >> (shift + 4)) != 0) shift += 4;
  for (; shift >= 0; shift -= 4) out += kHexDigits[(cp >> shift) & 0xF];
  return out;
}

// Why the first character of `utf8` that has no exact Shift-JIS form is refused, and what to
// write instead.
std::string Unmappable(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t n = Utf8CharLength(utf8, i);
    const std::string_view ch = utf8.substr(i, n);
    i += n;
    if (ToSjis(WithVariants(ch))) continue;
    const std::uint32_t cp = DecodeUtf8(ch);
    std::string out = "the character " + CodePoint(cp) + " \"" + ShownUtf8(ch) +
                      "\" has no exact Shift-JIS form; ";
    if (cp == 0xA5) return out + "a path separator is \"\\\" (U+005C)";
    if (cp == 0x203E) return out + "a tilde is \"~\" (U+007E)";
    return out + "write another character, or the field's bytes as {\"hex\": \"...\"}";
  }
  return "a character has no exact Shift-JIS form";
}

// What a text field may hold so that the list file gives it back as it is.
enum class TextRole { Plain, LaterPath };

std::string TextField(JsonReader& r, const std::string& field, TextRole role) {
  const JsonKind kind = r.Peek();
  const TextPos pos = r.Pos();
  std::string bytes;
  if (kind == JsonKind::String) {
    const std::string text = r.String();
    auto sjis = IsAscii(text) ? std::optional<std::string>(text) : ToSjis(WithVariants(text));
    if (!sjis) Wrong(pos, field, Unmappable(text));
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
        const int hi = HexDigitValue(hex[i]);
        const int lo = HexDigitValue(hex[i + 1]);
        if (hi < 0 || lo < 0) Wrong(hexPos, hexField, "expected hexadecimal digits (0-9, A-F)");
        bytes += static_cast<char>(hi * 16 + lo);
      }
    }
    if (!seen) Missing(pos, field, "hex");
  } else {
    WrongKind(pos, field, "a string or {\"hex\": ...}", kind);
  }
  if (const char* why = NotStorable(bytes, role == TextRole::LaterPath)) Wrong(pos, field, why);
  return bytes;
}

// null and "" both mean none: the writer stores an empty value as an empty line, which reads
// back as none.
std::string OptionalTextField(JsonReader& r, const std::string& field) {
  if (r.Peek() == JsonKind::Null) {
    r.Null();
    return pallomar::StoredOptional({});
  }
  std::string bytes = TextField(r, field, TextRole::Plain);
  if (pallomar::IsNoneText(bytes)) return pallomar::StoredOptional({});
  return bytes;  // moved, not copied: most entries have a folder
}

void ReadEntry(JsonReader& r, std::size_t index, EntryList& list) {
  std::string name = "entries[";
  name += std::to_string(index);
  name += ']';
  const TextPos pos = Require(r, JsonKind::Object, name);
  r.BeginObject();
  pallomar::Entry e;
  e.params = pallomar::StoredOptional({});
  e.folder = pallomar::StoredOptional({});
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

void WriteJsonHead(std::string_view version, Output& out) {
  out.Text() += "{\n  \"format\": ";
  AppendJsonString(out.Text(), kFormatName);
  out.Text() += ",\n  \"version\": ";
  AppendText(out, version);
  out.Text() += ",\n  \"entries\": [";
}

void WriteJsonRecord(const EntryList& record, bool first, Output& out) {
  std::string& o = out.Text();
  o += first ? "\n" : ",\n";
  o += "    {\n      \"path\": ";
  AppendText(out, record.Get(0, pallomar::kPath));
  out.Text() += ",\n      \"params\": ";
  AppendOptionalText(out, record.Get(0, pallomar::kParams));
  out.Text() += ",\n      \"folder\": ";
  AppendOptionalText(out, record.Get(0, pallomar::kFolder));
  out.Text() += ",\n      \"windowState\": ";
  AppendText(out, record.Get(0, pallomar::kWindowState));
  out.Text() += ",\n      \"runCheck\": ";
  out.Text() += pallomar::RunCheckOn(record.Get(0, pallomar::kRunCheck)) ? "true" : "false";
  out.Text() += "\n    }";
  out.LineDone();
}

void WriteJsonTail(bool anyRecord, Output& out) {
  out.Text() += anyRecord ? "\n  ]\n}\n" : "]\n}\n";
}

void WriteCsvHead(Output& out) {
  out.Text() += "number,path,params,folder,windowState,runCheck\r\n";
}

void WriteCsvRecord(const EntryList& record, std::size_t number, Output& out) {
  out.Text() += std::to_string(number);
  for (const pallomar::Field f :
       {pallomar::kPath, pallomar::kParams, pallomar::kFolder, pallomar::kWindowState}) {
    out.Text() += ',';
    const std::string_view text = record.Get(0, f);
    const bool optional = f == pallomar::kParams || f == pallomar::kFolder;
    AppendCsvField(out, optional ? pallomar::OptionalValue(text) : text);
  }
  out.Text() +=
      pallomar::RunCheckOn(record.Get(0, pallomar::kRunCheck)) ? ",true\r\n" : ",false\r\n";
  out.LineDone();
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
