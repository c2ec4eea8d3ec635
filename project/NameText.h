// Output names read from project files: projects written on a Japanese
// system hold their names in Shift-JIS (code page 932), which is not UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).  ASCII is UTF-8.
bool IsValidUtf8(std::string_view bytes);

// CP932 bytes decoded to UTF-8; a byte that starts no valid CP932 character
// becomes U+FFFD.  When the system has no CP932 converter the bytes are
// returned unchanged.
std::string Cp932ToUtf8(std::string_view bytes);

// A name as the user sees it: unchanged when it is UTF-8, else decoded from
// CP932.
std::string ProjectNameText(std::string_view bytes);

}  // namespace velmora
