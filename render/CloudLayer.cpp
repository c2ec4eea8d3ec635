// Stage 1 of the frame pipeline: RenderCloudLayer, which stamps the base
// pattern, builds and normalises the warp template and warps the pattern.
#include <cmath>

#include "base/Numeric.h"
#include "render/CloudPattern.h"
#include "render/LayerCache.h"
#include "render/ParallelPixels.h"
#include "render/Render.h"
#include "render/WarpEngine.h"

namespace velmora {

namespace {

// FloatToPacked in float arithmetic: each channel limited to 0..255 and
// rounded to the nearest integer, ties to even (the default rounding mode).
inline PackedPixel PackRounded(FloatPixel f) {
  auto c = [](float v) -> uint32_t {
    if (!(v > 0)) return 0;  // also NaN
    return v >= 255 ? 255u : static_cast<uint32_t>(std::nearbyint(v));
  };
  return MakePixel(c(f.r), c(f.g), c(f.b), c(f.a));
}

// The cloud layer; with UNROUNDED (of the layer's size) the lookup writes the
// pattern's float values there and `cloud` gets them converted.
void CloudLayer(RenderContext& ctx, const TCloudFrameParams& params, const RenderTarget& target,
                RenderSequence& seq, TPixeFloatBuffer* unrounded) {
  TPixeFloatBuffer* base = ctx.Frame.base_pattern;
  TPixeFloatBuffer* warp = ctx.Frame.warp_template;
  TPixeBuffer* cloud = ctx.Frame.cloud;
  if (!base || !warp || !cloud || ctx.Work.Exceeded) return;
  StampedLayerCache& kept = ctx.Layers;
  // 1.  (base_pattern and the warp template are filled where they are
  // stamped.)
  FillPixeBuffer(cloud, 0xFF000000u, &ctx.Threads);
  ctx.Rng.Seed(static_cast<uint32_t>(params.Seed));
  // 2, 3. Cloud stamps (FrameProgress 10..30), coverage clip, normalisation.
  const PixelOffset cloudAt = LayerOffset(target, params, params.cx, params.cy);
  const LayerKey baseKey = BaseKey(ctx, params, cloudAt, base);
  if (!TakeKept(ctx, kept.Base, baseKey, base, cloudAt, "cloud stamps")) {
    const long double before = ctx.Work.Done;
    BuildBasePattern(ctx, params, target);
    if (ctx.AbortRequested() || ctx.Work.Exceeded) return;
    kept.Base = KeptLayer{true, baseKey, ctx.Work.Done - before, ctx.Rng.State(), cloudAt.x, cloudAt.y};
  }
  ctx.FrameProgress = 30;
  const PixelOffset warpAt = LayerOffset(target, params, params.wx1, params.wy1);
  const LayerKey warpKey =
      WarpKey(ctx, params, warpAt, LayerOffset(target, params, params.wx2, params.wy2), warp);
  const bool fixedBefore = seq.WarpFixed();
  if (WarpNormalisedAlike(kept, seq) && TakeKept(ctx, kept.Warp, warpKey, warp, warpAt, "warp stamps")) {
    seq.WarpOffset = kept.WarpOffset;
    seq.WarpScale = kept.WarpScale;
  } else {
    const long double before = ctx.Work.Done;
    // 4, 5. Warp layers (30..40, 40..80).
    StampWarpTemplate(ctx, params, target);
    if (ctx.AbortRequested() || ctx.Work.Exceeded) return;  // the frame is abandoned
    // 6. Fix the normalisation if needed, then apply it.
    NormalizeWarpTemplate(ctx, seq);
    if (ctx.AbortRequested()) return;
    kept.Warp = KeptLayer{true, warpKey, ctx.Work.Done - before, ctx.Rng.State(), warpAt.x, warpAt.y};
    kept.WarpOffset = seq.WarpOffset;
    kept.WarpScale = seq.WarpScale;
    kept.WarpFromData = !fixedBefore;
  }
  ctx.FrameProgress = 80;
  // 7. Lookup and conversion to packed pixels.
  if (unrounded && unrounded->width == cloud->width && unrounded->height == cloud->height) {
    WarpLookup(ctx, base, warp, unrounded, params.WX, params.WY);
    const FloatPixel* from = unrounded->data;
    PackedPixel* to = cloud->data;
    ForElements(ctx.Threads, static_cast<int64_t>(cloud->width) * cloud->height,
                [&](int64_t b, int64_t e) {
                  for (int64_t i = b; i < e; ++i) to[i] = PackRounded(from[i]);
                });
  } else {
    WarpLookupToPacked(ctx, base, warp, cloud, params.WX, params.WY);
  }
  // 8.  A layer cut short by an abort is not a rendered one.
  ctx.FrameProgress = 90;
  if (ctx.AbortRequested()) return;
  seq.Rendered = true;
}

}  // namespace

void RenderCloudLayer(RenderContext& ctx, const TCloudFrameParams& params,
                      const RenderTarget& target, RenderSequence& seq) {
  CloudLayer(ctx, params, target, seq, nullptr);
}

void RenderCloudLayerUnrounded(RenderContext& ctx, const TCloudFrameParams& params,
                               const RenderTarget& target, RenderSequence& seq,
                               TPixeFloatBuffer* unrounded) {
  CloudLayer(ctx, params, target, seq, unrounded);
}

}  // namespace velmora
