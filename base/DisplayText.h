// Texts that come from files (project names, output names, interpreter
// messages quoting a project's tokens) shown to people: control characters
// are written as escapes, so a file cannot send terminal escape sequences.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// TEXT with every control byte (below 0x20, and 0x7F) and every UTF-8 encoded
// C1 control (U+0080..U+009F) written as \xNN escapes; tab, line feed and
// carriage return as \t, \n and \r.  Everything else, other UTF-8 and
// Shift-JIS bytes included, passes unchanged.
std::string ForDisplay(std::string_view text);

}  // namespace velmora
