// Texts as they are shown to people: a list's Shift-JIS fields and what the user typed, with
// control characters and bytes that mean nothing escaped, bounded in length, and measured in
// terminal columns.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace plwtool {

// A Shift-JIS text for people: invalid bytes and control characters as \xHH.
std::string DisplayText(std::string_view sjis);
// The same text in pieces of whole characters, of at most about 64 KiB each, so that a huge
// field is never held converted.
void ForDisplayText(std::string_view sjis, const std::function<void(std::string_view)>& piece);
// Columns on a terminal: half-width characters take one, the rest of East Asia two.
std::size_t DisplayWidth(std::string_view utf8);
// The start of a Shift-JIS text in double quotes for a message: at most `chars` characters,
// and "..." after the closing quote when it was cut. Every echo of a field goes through it.
std::string Quoted(std::string_view sjis, std::size_t chars = 80);
// The same without the quotes: "..." follows a text that was cut.
std::string ShownStart(std::string_view sjis, std::size_t chars = 80);
// UTF-8 the user typed as it may be shown, at most `chars` characters and "..." when cut.
std::string BoundedUtf8(std::string_view utf8, std::size_t chars = 80);
// The same in double quotes, for UTF-8 the user typed (names, options, JSON member names).
std::string QuotedUtf8(std::string_view utf8, std::size_t chars = 80);
// A UTF-8 text as it may be shown on a terminal: control characters (C0, DEL, C1) and bytes
// that are not UTF-8 as \xHH, so that no text can send escape sequences.
std::string ShownUtf8(std::string_view utf8);

}  // namespace plwtool
