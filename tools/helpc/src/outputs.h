// What the compiler writes from a checked source: the help file, its contents file for the
// viewers' Help Topics window, and one HTML page of the same text for systems with no viewer.
#pragma once

#include <cstdint>
#include <string>

#include "help_source.h"

namespace helpc {

// The help file's bytes. cntName is the contents file the viewer should read beside it.
std::string WriteHelpFile(const HelpSource& help, const std::string& cntName);

// The contents file (Shift-JIS, CR LF), naming helpName as its base file.
std::string WriteContentsFile(const HelpSource& help, const std::string& helpName);

// The HTML page (UTF-8, charset declared).
std::string WriteHtmlPage(const HelpSource& help);

// The hash under which viewers look up a context name.
uint32_t ContextHash(const std::string& name);

}  // namespace helpc
