// Plain ASCII stand-ins for the texts the entry list's errors use: the fuzz build's compiler
// cannot emit Shift-JIS, and the fuzzers check no message wording.
#include "texts.h"

namespace pallomar::text {

extern const char kNotAnInteger[] = "'%s' is not an integer";
extern const char kListFileTooLarge[] = "list file too large";
extern const char kListLineTooLong[] = "list file line too long";
extern const char kEntryTextTooLong[] = "entry text too long";
extern const char kIoFileNotFound[] = "file not found";
extern const char kIoInvalidName[] = "invalid file name";
extern const char kIoTooManyOpen[] = "too many open files";
extern const char kIoAccessDenied[] = "access denied";
extern const char kIoReadPastEnd[] = "read past end";
extern const char kIoDiskFull[] = "disk full";
extern const char kIoNotNumeric[] = "not numeric";
extern const char kIoOtherFormat[] = "I/O error (%d)";
// The editing rules' words, for the shortcut reader's use of the add rule.
extern const char kDetailsPath[] = "path: ";
extern const char kDetailsParams[] = "params: ";
extern const char kDetailsFolder[] = "folder: ";
extern const char kDetailsWindow[] = "window: ";
extern const char kDetailsRunCheck[] = "run check: ";
extern const char kWindowNormal[] = "normal";
extern const char kWindowMaximized[] = "maximised";
extern const char kWindowMinimized[] = "minimised";
extern const char kRunCheckOn[] = "on";
extern const char kRunCheckOff[] = "off";

}  // namespace pallomar::text
