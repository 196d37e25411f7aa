// Plain ASCII stand-ins for the texts the entry list's errors use: the fuzz build's compiler
// cannot emit Shift-JIS, and the fuzzer checks no message wording.
#include "texts.h"

namespace pallomar::text {

extern const char kNotAnInteger[] = "'%s' is not an integer";
extern const char kCannotInsertLine[] = "cannot insert line";
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

}  // namespace pallomar::text
