// Saving a project: the project text written so that the previous file is
// replaced only by a complete new one.
#pragma once

#include <string>

#include "anim/Document.h"

namespace velmora {

// Writes BuildProjectText(doc) to PATH through a temporary file beside it
// that is renamed into place.  On failure the old file (if any) is left
// intact, *error (when given) holds a one-line reason and the result is
// false.  Changes nothing in the document (ProjectFileName included; the
// editor clears its modified flag after a save it accepts).  A
// write-protected file is kept (a failure) unless REPLACEPROTECTED.
bool SaveProjectFile(const Document& doc, const std::string& path, std::string* error = nullptr,
                     bool replaceProtected = false);

// The File menu's overwrite save asks for a name only for an unnamed project.
bool ProjectNeedsName(const std::string& projectFileName);

}  // namespace velmora
