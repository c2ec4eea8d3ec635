// The blur stage: softens `filtered_cloud` by averaging shifted copies of it.
// Each copy is shifted by one sample offset, a random point of a ball of the
// blur radius, shortened by the blur curve, rotated by the brush rotations
// and projected onto the image plane.  The stage itself, BlurStage, is
// declared with the other pipeline stages in render/Render.h.
#pragma once

#include <cstdint>
#include <functional>

#include "render/Pixe.h"
#include "render/RenderContext.h"

namespace velmora {

struct BlurOffset {
  long double x, y, z;
};

// Offset of sample m of count for a ball of radius R (pixels), the blur curve
// (0..100) and the brush rotations in degrees about X, Y and Z.  Draws three
// reals per try from the global random generator until the point lies in the
// ball; a radius below 0.0001 (or not a usable number) draws nothing and gives
// (0, 0, 0).  With count 1 the sample keeps its full length.
BlurOffset BlurSampleOffset(RandomGenerator& rng, int64_t m, int64_t count, long double R, long double curve,
                            long double rotX, long double rotY, long double rotZ);

struct TCloudFrameParams;

// Walks the blur's count = round(BlurSamples) passes over a w x h picture in
// their order: charges each pass to the work budget, draws its offset (the y
// scaled by h / w) and hands it to PASS, then reports progress.  False when
// the budget or an abort stopped the walk; the generator must be seeded.
bool ForEachBlurSample(RenderContext& ctx, const TCloudFrameParams& params, int32_t w, int32_t h,
                       const std::function<void(long double x, long double y)>& pass);

// Adds one shifted copy of src to the accumulator (same size as src): every
// pixel (px, py) receives the source read at (px - x, py - y), and 1 is added
// to its count.  Draft reads the pixel at the rounded position; otherwise the
// wrapped bilinear sample.  Both wrap around the edges.  Returns false when
// the pass could not get its scratch memory and used the slow per-pixel path.
void BlurAccumulateDraft(RenderContext& ctx, const TPixeBuffer* src, TPixeSumBuffer* acc, long double x, long double y);
void BlurAccumulateBilinear(RenderContext& ctx, const TPixeBuffer* src, TPixeSumBuffer* acc, long double x,
                            long double y);

// The passes use vector kernels where the processor has them (the results
// are the same either way); RenderContext::BlurVectorKernels = false forces
// the plain ones.  The accumulator and scratch memory stay in the context's
// BlurWorkspace between runs.

// Divides every accumulated sum by its count (no samples: transparent black)
// and writes the result, limited to 255, into dst (same size as acc).
void BlurResolve(RenderContext& ctx, const TPixeSumBuffer* acc, TPixeBuffer* dst);

}  // namespace velmora
