// The still-export render: the record's current values rendered once at the
// output size times the oversampling factor, then reduced to the output size.
#pragma once

#include <string>

#include "render/Render.h"

namespace velmora {

// The oversampling factor actually used: values below 1 mean none.
int32_t EffectiveOverSampling(const TCloudFrameParams& params);

// Runs the export sequence on params (resetting the warp normalisation):
// allocation at render size, cloud layer, colour filter, mix (not fast),
// blur.  The record's output size is restored afterwards and `Rendered` is
// cleared.  Returns false with a one-line reason when the output size is
// not positive, the render size does not fit, or allocation fails.
// The frame stops when it needs more than workPerPixel operations per pixel
// of the render size (TWorkBudget; 0: no limit); the reason then names the
// parameters that drove it there.
bool RenderStillFrame(TCloudFrameParams& params, std::string* error,
                      long double workPerPixel = DefaultWorkPerPixel);

// The exported picture of the last RenderStillFrame: `filtered_cloud` as a
// bitmap, reduced by DownSample when oversampling is above 1.
void StillPicture(const TCloudFrameParams& params, Bitmap24& out);

}  // namespace velmora
