// Saving a project: the project text written so that the previous file is
// replaced only by a complete new one.
#pragma once

#include <string>

namespace velmora {

// Writes BuildProjectText() of the application's state to PATH through a
// temporary file beside it that is renamed into place.  On failure the old
// file (if any) is left intact, *error (when given) holds a one-line reason
// and the result is false.  Changes nothing in the project state
// (ProjectFileName included).
bool SaveProjectFile(const std::string& path, std::string* error = nullptr);

// The File menu's overwrite save asks for a name only for an unnamed project.
bool ProjectNeedsName(const std::string& projectFileName);

}  // namespace velmora
