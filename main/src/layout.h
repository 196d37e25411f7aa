// Form1's static design as data: the frame, the font, every control with its place, size,
// caption, hint and tab order, and the main menu. Coordinates are pixels at 96 dpi from the
// top-left corner of the client area; the window scales them when it is created.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace pallomar::layout {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  bool operator==(const Rect&) const = default;
};

enum class Kind { Edit, Button, RadioGroup, ListBox, CheckBox, Label, Bevel };

// What a click (or, for ListBox1, a double-click) on a control or a menu item runs. The value
// is the command id a menu item sends; it never changes with the tables' order and stays clear
// of IDOK and IDCANCEL, which the dialog manager sends for Enter and Esc.
enum class Command : int {
  None = 0,
  Button1Click = 301,
  ButtonaddClick = 302,
  ButtondelClick = 303,
  ButtoneraseClick = 304,
  ButtonupClick = 305,
  ButtondownClick = 306,
  ButtoninfoClick = 307,
  ListBox1DblClick = 308,
  New1Click = 401,
  Open1Click = 402,
  S1Click = 403,
  Exit1Click = 404,
  SearchforHelpOn1Click = 405,
  About1Click = 406,
};

// Controls in creation order: the tab-order controls first, then those without a tab position.
// The value is the control's row in Controls().
enum class Ctl : int {
  Edit1,
  Button1,
  Edit2,
  Edit3,
  RadioGroup1,
  ListBox1,
  Buttonup,
  Buttonerase,
  Buttondown,
  Buttonadd,
  Buttondel,
  Buttoninfo,
  CheckBox1,
  Bevel1,
  Label1,
  Label2,
  Label3,
  Label4,
  Label5,
};
inline constexpr int kControlCount = 19;

// Window ids of the controls and of RadioGroup1's items; fixed per control.
inline constexpr int kControlIdBase = 100;
inline constexpr int kRadioIdBase = 150;
constexpr int ControlId(Ctl id) { return kControlIdBase + static_cast<int>(id); }
std::optional<Ctl> ControlForId(int windowId);

struct ControlDef {
  Ctl id;
  const char* name;
  Kind kind;
  Rect rect;
  const char* caption;  // nullptr: no text of its own
  const char* hint;     // nullptr: no hint
  bool tabStop;
  bool bold;     // a bold copy of the window's font
  bool checked;  // check box ticked at creation
  Command click;
};

struct MenuItemDef {
  const char* name;
  const char* caption;
  Command command;
};

// One menu of the bar with the items it drops down.
struct MenuDef {
  const char* name;
  const char* caption;
  std::span<const MenuItemDef> items;
};

struct WindowDef {
  const char* className;
  const char* caption;
  int outerWidth;
  int outerHeight;
  // The client area the outer size leaves with the classic sizeable frame (4-pixel borders,
  // a 19-pixel title bar and a 19-pixel menu bar): what the controls are laid out in.
  int clientWidth;
  int clientHeight;
  const char* fontName;
  int fontHeight;  // logical height: negative is the character height
  int designDpi;
  int designTextHeight;  // height of "0" in the window's font at design time
};

const WindowDef& Window();
std::span<const ControlDef> Controls();
const ControlDef& Def(Ctl id);
std::span<const MenuDef> Menu();
// The command a menu item's id stands for; nothing for an id no menu item sends.
std::optional<Command> MenuCommand(int commandId);

// RadioGroup1's items: window states 0, 1 and 2, side by side in one row.
std::span<const char* const> RadioItems();
inline constexpr int kRadioColumns = 3;
inline constexpr int kRadioSelected = 0;

// Where radio item `index` sits inside a group of `group`'s size (relative to the group).
Rect RadioItemRect(const Rect& group, int index, int textHeight);

// The scale the window applies: the font height at `dpi`, then positions and sizes by the
// ratio of the measured height of "0" to the design height.
struct Scale {
  int num = 1;
  int den = 1;
  int Apply(int v) const;
  Rect Apply(const Rect& r) const;
  bool operator==(const Scale&) const = default;
};
int FontHeightFor(int dpi);
Scale ScaleFor(int measuredTextHeight);

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

// The outer size Form1 opens at. `frame` is what the running system's borders, title bar and
// menu bar add around a client area. The scaled design size holds while it leaves at least the
// scaled design client area; a thicker frame grows it, axis by axis, until the client area is
// that, so no control starts cut off.
Size OpeningSize(const Scale& scale, const Size& frame);

// Right and bottom edge of the area the visible controls cover, Bevel1 aside (it follows the
// client width), in scaled pixels.
struct Extent {
  int right = 0;
  int bottom = 0;
};
Extent ControlsExtent(const Scale& scale);

// A rounded v * num / den, symmetric for negative values.
int MulDivRound(int v, int num, int den);

}  // namespace pallomar::layout
