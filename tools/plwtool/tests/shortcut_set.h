// Ten shortcuts as a person makes them (the system's own shortcut object writes them, under
// Wine): what each holds, and the list `plwtool shortcuts` must make of the folder. The Wine
// test makes them afresh; a copy of one such folder is kept in tests/shortcuts for the native
// test, read as a folder copied from Windows would be.
#pragma once

#include <string>
#include <vector>

#include "run_test_util.h"

namespace plwtool::testing {

struct MadeShortcut {
  std::string file;       // the shortcut's name
  std::string target;     // Shift-JIS, as given to the shortcut object
  std::string arguments;  // Shift-JIS
  std::string folder;     // Shift-JIS; empty for none
  int showCommand;        // 1, 3 or 7
  std::string record;     // the list's record for it; empty for one left out
  std::string reason;     // why it is left out
};

// The folder the Wine test makes the targets in, so that the paths are the same everywhere.
inline const std::string kShortcutTargets = "c:\\pallomar-shortcuts";

inline std::vector<MadeShortcut> MadeShortcuts() {
  const std::string& hyo = kHyoSjis;    // 表
  const std::string kana = "\xB1\xB2";  // ｱｲ
  const std::string t = kShortcutTargets;
  return {
      {"01 editor.lnk", "c:\\windows\\notepad.exe", "", "", 1,
       ListRecord("c:\\windows\\notepad.exe", "", "", "0", "True"), ""},
      {"02 arguments.lnk", "c:\\windows\\regedit.exe", "/s " + hyo + " " + kana + ".reg",
       "c:\\windows", 3,
       ListRecord("c:\\windows\\regedit.exe", "/s " + hyo + " " + kana + ".reg", "c:\\windows", "1",
                  "True"),
       ""},
      {"03 minimised.lnk", "c:\\windows\\winhlp32.exe", "-x \"a b\"", "c:\\windows\\system32", 7,
       ListRecord("c:\\windows\\winhlp32.exe", "-x \"a b\"", "c:\\windows\\system32", "2", "True"),
       ""},
      {"04 japanese.lnk", t + "\\" + hyo + "\\\x83\x5C\x94\x5C.exe", "", t + "\\" + hyo, 1,
       ListRecord(t + "\\" + hyo + "\\\x83\x5C\x94\x5C.exe", "", t + "\\" + hyo, "0", "True"), ""},
      {"05 space.lnk", t + "\\with space\\a b.exe", "--flag=1", "", 3,
       ListRecord(t + "\\with space\\a b.exe", "--flag=1", "", "1", "True"), ""},
      {"06 document.lnk", t + "\\read me.txt", "-p", "", 7,
       ListRecord(t + "\\read me.txt", "-p", "", "2", "False"), ""},
      {"07 settings.lnk", "c:\\windows\\win.ini", "", "c:\\windows", 1,
       ListRecord("c:\\windows\\win.ini", "", "c:\\windows", "0", "False"), ""},
      {"08 help.lnk", "c:\\windows\\hh.exe", "c:\\windows\\help.chm", t + "\\with space", 1,
       ListRecord("c:\\windows\\hh.exe", "c:\\windows\\help.chm", t + "\\with space", "0", "True"),
       ""},
      {"09 folder.lnk", "c:\\windows", "", "", 1, "",
       "its target has no extension: a folder, or no file to run"},
      {"10 web.lnk", "http://example.com/", "", "", 1, "",
       "its target is not a file path (a special folder, a URL or another shell item)"},
  };
}

// The list the folder gives.
inline std::string MadeShortcutsList() {
  std::string list = "102\r\n";
  for (const auto& s : MadeShortcuts()) list += s.record;
  return list;
}

// What standard error says of the folder whose path is `folder` (`separator` between).
inline std::string MadeShortcutsErrors(const std::string& folder, const std::string& separator) {
  std::string err;
  for (const auto& s : MadeShortcuts()) {
    if (s.record.empty()) {
      err +=
          "plwtool: shortcuts: " + folder + separator + s.file + ": left out: " + s.reason + "\n";
    }
  }
  return err + "plwtool: shortcuts: 2 of 10 shortcuts left out\n";
}

}  // namespace plwtool::testing
