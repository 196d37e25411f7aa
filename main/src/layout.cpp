#include "layout.h"

#include <algorithm>
#include <array>

#include "texts.h"

namespace pallomar::layout {
namespace {

constexpr WindowDef kWindow{
    .className = "TForm1",
    .caption = text::kAppCaption,
    .outerWidth = 481,
    .outerHeight = 359,
    .clientWidth = 473,
    .clientHeight = 313,
    .fontName = text::kFontName,
    .fontHeight = -12,
    .designDpi = 96,
    .designTextHeight = 12,
};

// Creation order is tab order; WS_TABSTOP follows `tabStop`. One row per control:
// id, name, kind, {left, top, width, height}, caption, hint, tab stop, bold, checked, click.
// clang-format off
constexpr std::array<ControlDef, kControlCount> kControls{{
  {Ctl::Edit1,       "Edit1",       Kind::Edit,       {24, 169, 353, 20},  "",                  nullptr,          true,  false, false, Command::None},
  {Ctl::Button1,     "Button1",     Kind::Button,     {387, 166, 75, 25},  text::kButtonBrowse, nullptr,          true,  false, false, Command::Button1Click},
  {Ctl::Edit2,       "Edit2",       Kind::Edit,       {136, 201, 241, 20}, "",                  nullptr,          true,  false, false, Command::None},
  {Ctl::Edit3,       "Edit3",       Kind::Edit,       {136, 225, 241, 20}, "",                  nullptr,          true,  false, false, Command::None},
  {Ctl::RadioGroup1, "RadioGroup1", Kind::RadioGroup, {136, 248, 241, 33}, "",                  nullptr,          true,  false, false, Command::None},
  {Ctl::ListBox1,    "ListBox1",    Kind::ListBox,    {24, 26, 417, 95},   nullptr,             nullptr,          true,  false, false, Command::ListBox1DblClick},
  {Ctl::Buttonup,    "Buttonup",    Kind::Button,     {448, 40, 17, 17},   text::kButtonUp,     text::kHintUp,    true,  false, false, Command::ButtonupClick},
  {Ctl::Buttonerase, "Buttonerase", Kind::Button,     {448, 64, 17, 17},   text::kButtonErase,  text::kHintErase, true,  true,  false, Command::ButtoneraseClick},
  {Ctl::Buttondown,  "Buttondown",  Kind::Button,     {448, 88, 17, 17},   text::kButtonDown,   text::kHintDown,  true,  false, false, Command::ButtondownClick},
  {Ctl::Buttonadd,   "Buttonadd",   Kind::Button,     {200, 136, 17, 17},  text::kButtonUp,     text::kHintAdd,   true,  false, false, Command::ButtonaddClick},
  {Ctl::Buttondel,   "Buttondel",   Kind::Button,     {248, 136, 17, 17},  text::kButtonDown,   text::kHintDel,   true,  false, false, Command::ButtondelClick},
  {Ctl::Buttoninfo,  "Buttoninfo",  Kind::Button,     {384, 124, 37, 21},  text::kButtonInfo,   text::kHintInfo,  true,  false, false, Command::ButtoninfoClick},
  {Ctl::CheckBox1,   "CheckBox1",   Kind::CheckBox,   {136, 290, 233, 17}, text::kCheckRunning, nullptr,          true,  false, true,  Command::None},
  {Ctl::Bevel1,      "Bevel1",      Kind::Bevel,      {0, 0, 473, 9},      nullptr,             nullptr,          false, false, false, Command::None},
  {Ctl::Label1,      "Label1",      Kind::Label,      {8, 9, 52, 12},      text::kLabelList,    nullptr,          false, false, false, Command::None},
  {Ctl::Label2,      "Label2",      Kind::Label,      {8, 153, 87, 12},    text::kLabelFile,    nullptr,          false, false, false, Command::None},
  {Ctl::Label3,      "Label3",      Kind::Label,      {44, 205, 76, 12},   text::kLabelParams,  nullptr,          false, false, false, Command::None},
  {Ctl::Label4,      "Label4",      Kind::Label,      {53, 229, 67, 12},   text::kLabelFolder,  nullptr,          false, false, false, Command::None},
  {Ctl::Label5,      "Label5",      Kind::Label,      {24, 260, 96, 12},   text::kLabelWindow,  nullptr,          false, false, false, Command::None},
}};
// clang-format on

// A table whose row i is not control i would give every lookup by id the wrong control.
template <std::size_t N>
constexpr bool RowsFollowIdOrder(const std::array<ControlDef, N>& rows) {
  for (std::size_t i = 0; i < N; ++i)
    if (static_cast<std::size_t>(rows[i].id) != i) return false;
  return true;
}
static_assert(RowsFollowIdOrder(kControls), "row i of the controls must be control i");
static_assert(static_cast<int>(Ctl::Label5) + 1 == kControlCount, "every control has a row");
static_assert(ControlId(Ctl::Label5) < kRadioIdBase, "control and radio item ids stay apart");

constexpr std::array<MenuItemDef, 4> kFileItems{{
    {"New1", text::kMenuNew, Command::New1Click},
    {"Open1", text::kMenuOpen, Command::Open1Click},
    {"S1", text::kMenuSaveAs, Command::S1Click},
    {"Exit1", text::kMenuExit, Command::Exit1Click},
}};

constexpr std::array<MenuItemDef, 2> kHelpItems{{
    {"SearchforHelpOn1", text::kMenuHelpTopics, Command::SearchforHelpOn1Click},
    {"About1", text::kMenuAbout, Command::About1Click},
}};

// Within a menu the ids rise with the rows, and no id is one of the dialog manager's own.
template <std::size_t N>
constexpr bool IdsRiseWithRows(const std::array<MenuItemDef, N>& items) {
  for (std::size_t i = 0; i < N; ++i) {
    const int id = static_cast<int>(items[i].command);
    if (id <= 2 || (i > 0 && id <= static_cast<int>(items[i - 1].command))) return false;
  }
  return true;
}
static_assert(IdsRiseWithRows(kFileItems) && IdsRiseWithRows(kHelpItems));
static_assert(static_cast<int>(kFileItems.back().command) <
                  static_cast<int>(kHelpItems.front().command),
              "menu ids rise from File1 to Help1");

constexpr std::array<MenuDef, 2> kMenu{{
    {"File1", text::kMenuFile, kFileItems},
    {"Help1", text::kMenuHelp, kHelpItems},
}};

constexpr std::array<const char*, 3> kRadioItems{text::kWindowNormal, text::kWindowMaximized,
                                                 text::kWindowMinimized};

}  // namespace

const WindowDef& Window() { return kWindow; }
std::span<const ControlDef> Controls() { return kControls; }
const ControlDef& Def(Ctl id) { return kControls[static_cast<std::size_t>(id)]; }
std::span<const MenuDef> Menu() { return kMenu; }

std::optional<Command> MenuCommand(int commandId) {
  for (const MenuDef& menu : kMenu)
    for (const MenuItemDef& item : menu.items)
      if (static_cast<int>(item.command) == commandId) return item.command;
  return std::nullopt;
}

std::optional<Ctl> ControlForId(int windowId) {
  const int row = windowId - kControlIdBase;
  if (row < 0 || row >= kControlCount) return std::nullopt;
  return static_cast<Ctl>(row);
}
std::span<const char* const> RadioItems() { return kRadioItems; }

int MulDivRound(int v, int num, int den) {
  if (den == 0) return v;
  long long p = static_cast<long long>(v) * num;
  long long d = den;
  if (d < 0) {
    p = -p;
    d = -d;
  }
  return static_cast<int>(p >= 0 ? (p + d / 2) / d : -((-p + d / 2) / d));
}

int Scale::Apply(int v) const { return MulDivRound(v, num, den); }

Rect Scale::Apply(const Rect& r) const {
  // Scale the edges, not the sizes, so neighbours that touch at design time still touch.
  const int left = Apply(r.left);
  const int top = Apply(r.top);
  return {left, top, Apply(r.Right()) - left, Apply(r.Bottom()) - top};
}

int FontHeightFor(int dpi) {
  if (dpi <= 0) dpi = kWindow.designDpi;
  return MulDivRound(kWindow.fontHeight, dpi, kWindow.designDpi);
}

Scale ScaleFor(int measuredTextHeight) {
  if (measuredTextHeight <= 0 || measuredTextHeight == kWindow.designTextHeight) return {};
  return {measuredTextHeight, kWindow.designTextHeight};
}

Rect RadioItemRect(const Rect& group, int index, int textHeight) {
  // Columns share the frame's inner width; the row sits below the frame's top line.
  constexpr int kMargin = 8;
  const int columnWidth = std::max(0, (group.width - 2 * kMargin) / kRadioColumns);
  const int frameTop = textHeight / 2;
  const int inner = std::max(0, group.height - frameTop - 2);
  const int height = std::min(inner, textHeight + 4);
  const int top = frameTop + (inner - height) / 2 + 1;
  return {kMargin + index * columnWidth, top, columnWidth, height};
}

Size OpeningSize(const Scale& scale, const Size& frame) {
  return {
      std::max(scale.Apply(kWindow.outerWidth), scale.Apply(kWindow.clientWidth) + frame.width),
      std::max(scale.Apply(kWindow.outerHeight), scale.Apply(kWindow.clientHeight) + frame.height)};
}

Extent ControlsExtent(const Scale& scale) {
  Extent e;
  for (const ControlDef& c : kControls) {
    const Rect r = scale.Apply(c.rect);
    if (c.kind != Kind::Bevel) e.right = std::max(e.right, r.Right());
    e.bottom = std::max(e.bottom, r.Bottom());
  }
  return e;
}

}  // namespace pallomar::layout
