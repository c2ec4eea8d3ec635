// The text listing of a frame record and the project settings beside it, as
// the params command prints it: one "name value" line per curve of the set in
// the set's order, then the settings that have no curve.
#pragma once

#include <string>

#include "anim/ProjectModel.h"
#include "render/Render.h"

namespace velmora {

// Curves: integers in decimal, colour bytes as 0..255, reals in the number
// text form.  Then "resolution W H", "frames MIN MAX", "current_frame F" (the
// timeline's position), the switches center_reverse, clip_brightness,
// blur_draftmode and render_fromcurrentframe as 0 or 1, and output_avi and
// outputalpha_avi with the name in double quotes.  Every line ends with LF.
std::string FormatParamsListing(const TCloudFrameParams& params, const TProjectModel& model);

}  // namespace velmora
