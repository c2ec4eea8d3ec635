// Opening the project a command works on: the new-project state, or a
// project file opened as the File menu's Open does.
#pragma once

#include <optional>
#include <string>

#include "anim/Document.h"

namespace velmora::cli {

// Sets up DOC for a command.  Without a path: the new-project defaults; "-" reads the project from the standard input.  Returns false
// when the command must stop (status set: 1 for a missing or unreadable
// file).  On success status is 0, or 3 when the file ran into an error
// part-way (a warning was printed; the command goes on with what was loaded
// and should exit with 3 once its output is complete).  A curve text the
// file gave that was refused is a warning naming the file, line and curve;
// with STRICT every warning stops the command with status 3.
bool OpenProjectForCommand(const char* command, const std::optional<std::string>& path,
                           Document& doc, int& status, bool strict = false);

}  // namespace velmora::cli
