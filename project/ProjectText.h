// The text of a project file: a Brel program that sets every part of the
// project with one statement per setting, lines ended by CR LF.
#pragma once

#include <string>

#include "anim/CurveSet.h"
#include "anim/Document.h"
#include "anim/ProjectModel.h"
#include "render/Render.h"

namespace velmora {

// The first line of every project file we write (without its CR LF).
inline constexpr char ProjectHeaderComment[] = "( Velmora project file )";

// The whole file text: the header comment, the 28 single-curve lines, the
// blur rotation, the three position pairs, resolution, oversampling, frames,
// current frame, the two output names, then each switch that is on.  Reads
// only.  A double quote cannot stand inside a Brel string and a line end
// would not read back as written, so output names are written without them.
std::string BuildProjectText(const TCloudCurveSet* set, const TCloudFrameParams& params,
                             const TProjectModel& model);
// The same from a document.
std::string BuildProjectText(const Document& doc);

}  // namespace velmora
