// Stage 1 of the frame pipeline: RenderCloudLayer, which stamps the base
// pattern, builds and normalises the warp template and warps the pattern.
#include "render/CloudPattern.h"
#include "base/Numeric.h"
#include "render/Render.h"
#include "render/WarpEngine.h"

namespace velmora {

void RenderCloudLayer(RenderContext& ctx, const TCloudFrameParams& params,
                      const RenderTarget& target, RenderSequence& seq) {
  TPixeFloatBuffer* base = ctx.Frame.base_pattern;
  TPixeFloatBuffer* warp = ctx.Frame.warp_template;
  TPixeBuffer* cloud = ctx.Frame.cloud;
  if (!base || !warp || !cloud || ctx.Work.Exceeded) return;
  // 1.
  FillPixeFloatBuffer(base, FloatPixel{0, 0, 0, 255}, &ctx.Threads);
  FillPixeFloatBuffer(warp, FloatPixel{0, 0, 0, 255}, &ctx.Threads);
  FillPixeBuffer(cloud, 0xFF000000u, &ctx.Threads);
  ctx.Rng.Seed(static_cast<uint32_t>(params.Seed));
  // 2, 3. Cloud stamps (FrameProgress 10..30), coverage clip, normalisation.
  BuildBasePattern(ctx, params, target);
  if (ctx.AbortRequested() || ctx.Work.Exceeded) return;
  // 4, 5. Warp layers (30..40, 40..80).
  StampWarpLayer1(ctx, params, target);
  if (ctx.AbortRequested() || ctx.Work.Exceeded) return;  // the frame is abandoned
  StampWarpLayer2(ctx, params, target);
  if (ctx.AbortRequested() || ctx.Work.Exceeded) return;
  // 6. Fix the normalisation if needed, then apply it.
  NormalizeWarpTemplate(ctx, seq);
  // 7. Lookup and conversion to packed pixels.
  WarpLookupToPacked(ctx, base, warp, cloud, params.WX, params.WY);
  // 8.  A layer cut short by an abort is not a rendered one.
  ctx.FrameProgress = 90;
  if (ctx.AbortRequested()) return;
  seq.Rendered = true;
}

}  // namespace velmora
