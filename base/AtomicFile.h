// Writing a whole file so that readers never see a half-written one: the
// bytes are written aside and put in place when complete (FileReplacement:
// modes, owners, hard links, symbolic links and special files are kept).  A
// failure leaves any previous file untouched.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Returns true on success; on failure sets *error to a one-line reason.  A
// write-protected file is kept unless REPLACEPROTECTED (FileReplacement::Begin).
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         bool replaceProtected = false);

}  // namespace velmora
