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

// The inputs of base_pattern: the render size, the pens, the seed, the
// cloud position in pixels and the parameters of the cloud stamps, the clip
// and the normalisation.
LayerKey BaseKey(const RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target,
                 const TPixeFloatBuffer* base) {
  const PixelOffset off = LayerOffset(target, p, p.cx, p.cy);
  LayerKey k;
  k.ints = {base->width, base->height, static_cast<int64_t>(ctx.Pens.Generation), p.Seed,
            off.x, off.y, p.CenterReverse, p.ClipBrightness, ctx.CloudReferenceMode, 0};
  k.reals = {p.Complex, p.Coverrate, p.MinRadius, p.MaxRadius, p.Noise, p.Center, 0, 0};
  return k;
}

// The inputs of warp_template before its normalisation: the render size,
// the pens, the seed, both warp positions in pixels and the parameters of
// the warp stamps.
LayerKey WarpKey(const RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target,
                 const TPixeFloatBuffer* warp) {
  const PixelOffset one = LayerOffset(target, p, p.wx1, p.wy1);
  const PixelOffset two = LayerOffset(target, p, p.wx2, p.wy2);
  LayerKey k;
  k.ints = {warp->width, warp->height, static_cast<int64_t>(ctx.Pens.Generation), p.Seed,
            one.x, one.y, two.x, two.y, ctx.CloudReferenceMode, 0};
  k.reals = {p.Complex, p.wNoise, p.wMinRadius, p.wMaxRadius, 0, 0, 0, 0};
  return k;
}

bool SameReal(long double a, long double b) {
  return a == b && std::signbit(a) == std::signbit(b);
}

// Takes a kept layer made from KEY: charges its stamps' work and leaves the
// random generator as its stamping did.  False (nothing changed) when there
// is none, or when its work would pass the budget: the stamping itself then
// stops where the budget says, as it always has.
bool TakeKept(RenderContext& ctx, const KeptLayer& kept, const LayerKey& key, const char* stage) {
  if (!kept.valid || !kept.key.Matches(key)) return false;
  const TWorkBudget& w = ctx.Work;
  if (w.Exceeded || (w.Limit > 0 && w.Done + kept.work > w.Limit)) return false;
  ctx.Work.Charge(kept.work, stage);
  ctx.Rng.Seed(kept.rngAfter);
  ++ctx.Layers.Reused;
  return true;
}

// Whether the kept warp template was normalised as SEQ would normalise it
// now: with the same fixed values, or from its own range when SEQ has none.
bool WarpNormalisedAlike(const StampedLayerCache& c, const RenderSequence& seq) {
  if (!seq.WarpFixed()) return c.WarpFromData;
  return SameReal(c.WarpOffset, seq.WarpOffset) && SameReal(c.WarpScale, seq.WarpScale);
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
  // 1.  (BuildBasePattern fills base_pattern itself, as its first step; the
  // warp template is filled where it is stamped.)
  FillPixeBuffer(cloud, 0xFF000000u, &ctx.Threads);
  ctx.Rng.Seed(static_cast<uint32_t>(params.Seed));
  // 2, 3. Cloud stamps (FrameProgress 10..30), coverage clip, normalisation.
  const LayerKey baseKey = BaseKey(ctx, params, target, base);
  if (!TakeKept(ctx, kept.Base, baseKey, "cloud stamps")) {
    const long double before = ctx.Work.Done;
    BuildBasePattern(ctx, params, target);
    if (ctx.AbortRequested() || ctx.Work.Exceeded) return;
    kept.Base = KeptLayer{true, baseKey, ctx.Work.Done - before, ctx.Rng.State()};
  }
  ctx.FrameProgress = 30;
  const LayerKey warpKey = WarpKey(ctx, params, target, warp);
  const bool fixedBefore = seq.WarpFixed();
  if (WarpNormalisedAlike(kept, seq) && TakeKept(ctx, kept.Warp, warpKey, "warp stamps")) {
    seq.WarpOffset = kept.WarpOffset;
    seq.WarpScale = kept.WarpScale;
  } else {
    const long double before = ctx.Work.Done;
    FillPixeFloatBuffer(warp, FloatPixel{0, 0, 0, 255}, &ctx.Threads);
    // 4, 5. Warp layers (30..40, 40..80).
    StampWarpLayer1(ctx, params, target);
    if (ctx.AbortRequested() || ctx.Work.Exceeded) return;  // the frame is abandoned
    StampWarpLayer2(ctx, params, target);
    if (ctx.AbortRequested() || ctx.Work.Exceeded) return;
    // 6. Fix the normalisation if needed, then apply it.
    NormalizeWarpTemplate(ctx, seq);
    if (ctx.AbortRequested()) return;
    kept.Warp = KeptLayer{true, warpKey, ctx.Work.Done - before, ctx.Rng.State()};
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
