// Shift-JIS to UTF-8 a character at a time, each character's answer asked of the host once.
// Code page 932 has no shift states, so a text converts (and converts back) exactly as its
// characters do one by one: however long the list, the host is asked once per distinct character.
// And where a long text's pieces end.
#include "sjis_text.h"

#include <array>
#include <cstring>
#include <memory>

#include "entrylist/entry_fields.h"

namespace plwtool {

namespace {

struct CharForm {
  enum : unsigned char { Unknown, Converts, Refused } state = Unknown;
  unsigned char length = 0;
  char utf8[4] = {};
};

// Indexed by the byte, or by lead byte * 256 + trail byte (lead bytes are 0x81 and above, so
// the two never meet).
using CharForms = std::array<CharForm, 65536>;

const CharForm& FormOf(CharForms& forms, std::string_view ch) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(ch[k]); };
  CharForm& form = forms[ch.size() == 1 ? b(0) : b(0) * 256u + b(1)];
  if (form.state == CharForm::Unknown) {
    const auto utf8 = HostSjisToUtf8(ch);
    if (utf8 && utf8->size() <= sizeof form.utf8) {
      form.state = CharForm::Converts;
      form.length = static_cast<unsigned char>(utf8->size());
      std::memcpy(form.utf8, utf8->data(), utf8->size());
    } else {
      form.state = CharForm::Refused;
    }
  }
  return form;
}

}  // namespace

std::optional<std::string> SjisToUtf8(std::string_view sjis) {
  // The list's code page, whatever the machine's: its texts are Shift-JIS everywhere.
  const pallomar::CodePage& cp932 = pallomar::ListCodePage();
  thread_local std::unique_ptr<CharForms> forms;
  if (!forms) forms = std::make_unique<CharForms>();
  std::string out;
  out.reserve(sjis.size() + sjis.size() / 2);
  for (std::size_t i = 0; i < sjis.size();) {
    const std::size_t n = cp932.CharLength(sjis, i);
    const CharForm& form = FormOf(*forms, sjis.substr(i, n));
    if (form.state != CharForm::Converts) return std::nullopt;
    out.append(form.utf8, form.length);
    i += n;
  }
  return out;
}

std::size_t LongPieceEnd(std::string_view sjis, std::size_t from) {
  const pallomar::CodePage& cp = pallomar::ListCodePage();  // once per walk
  std::size_t i = from;
  while (i - from < kTextPiece) i += cp.CharLength(sjis, i);
  return i;
}

}  // namespace plwtool
