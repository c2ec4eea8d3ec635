// The warp: the two stamped layers of the warp template, its
// normalisation with the sequence's WarpOffset / WarpScale, and WarpLookup,
// which moves every pixel of the base pattern along the template's field.
#pragma once

#include <cstdint>

#include "render/Pixe.h"
#include "render/Render.h"

namespace velmora {

// Layer 1: seeded with Seed + 1, M + 1 stamps of WarpPenB in mode 3
// (M = round(Complex x 7.5)); FrameProgress 30..40.
void StampWarpLayer1(RenderContext& ctx, const TCloudFrameParams& params,
                     const RenderTarget& target);
// Layer 2: 2N + 3 stamps of the three warp pens, re-seeded with Seed + w
// before stamp w; FrameProgress 40..80.
void StampWarpLayer2(RenderContext& ctx, const TCloudFrameParams& params,
                     const RenderTarget& target);
// The template from opaque black: layers 1 and 2 as above, with the same
// draws, stamps and pixels, applied in one pass (FrameProgress 30..80).
// Nothing of layer 2 once layer 1 is over the work budget.
void StampWarpTemplate(RenderContext& ctx, const TCloudFrameParams& params,
                       const RenderTarget& target);
// Fixes the sequence's WarpOffset / WarpScale when WarpScale = 0, then
// normalises the template's R, G, B when WarpScale > 0.
void NormalizeWarpTemplate(RenderContext& ctx, RenderSequence& seq);

// target(j, i) := base(sx, sy) with (sx, sy) the displaced, wrapped position
// of (j, i).  All three buffers have one size (the target's); nothing when
// they do not.
void WarpLookup(RenderContext& ctx, const TPixeFloatBuffer* base, const TPixeFloatBuffer* tmpl,
                TPixeFloatBuffer* target, long double WX, long double WY);
// WarpLookup followed by the float-to-packed conversion of every element,
// written straight into a pixel buffer (the end of RenderCloudLayer).
void WarpLookupToPacked(RenderContext& ctx, const TPixeFloatBuffer* base, const TPixeFloatBuffer* tmpl,
                        TPixeBuffer* target, long double WX, long double WY);

// The position that WarpLookup reads for target element (j, i) of a W x H
// image, given template element T (exposed for tests).
void WarpSourcePosition(const RenderContext& ctx, FloatPixel T, int32_t j, int32_t i, int32_t W, int32_t H, long double WX,
                        long double WY, int32_t& sx, int32_t& sy);


}  // namespace velmora
