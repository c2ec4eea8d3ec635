#include "render/LayerCache.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "render/ParallelPixels.h"
#include "render/Render.h"

namespace velmora {

namespace {

// Offsets and sizes below this keep the 32-bit stamp positions (a random
// position plus the offset) from wrapping, so that a stamp's place modulo
// the size moves with the offset.
constexpr int32_t kMoveLimit = int32_t{1} << 30;

int64_t Mod(int64_t v, int64_t m) { return m > 0 ? ((v % m) + m) % m : 0; }

bool WithinMoveLimit(PixelOffset off) {
  return off.x > -kMoveLimit && off.x < kMoveLimit && off.y > -kMoveLimit && off.y < kMoveLimit;
}

// Whether a stamped layer at one position is the layer at another moved
// cyclically.  The stamps wrap, so moving every stamp by the offset moves
// the layer, unless the pull to the centre is on (base_pattern's stamps
// depend on where they land) or the offsets could wrap the stamp positions.
// The literal forms (a test hook) are always stamped.
bool LayerMovesWithPosition(const RenderContext& ctx, const TPixeFloatBuffer* b) {
  return !ctx.CloudReferenceMode && b->width < kMoveLimit && b->height < kMoveLimit;
}
bool BaseMovesWithPosition(const RenderContext& ctx, const TCloudFrameParams& p, PixelOffset off,
                           const TPixeFloatBuffer* base) {
  return LayerMovesWithPosition(ctx, base) && !(p.Center > 0) && WithinMoveLimit(off);
}

// Moves B cyclically by (dx, dy): the pixel at (x, y) goes to
// ((x + dx) mod W, (y + dy) mod H).  In place, with one row of the
// context's LayerMove block: a move costs no second frame-sized buffer.
// Along x alone each row is turned where it lies (on the pool); otherwise
// the rows go round their cycles (row y takes row y - dy, turned by dx on
// the way).  False when the row cannot be had or an abort cut the move
// short.
bool MoveCyclic(RenderContext& ctx, TPixeFloatBuffer* b, int64_t dx, int64_t dy) {
  const int64_t W = b->width, H = b->height;
  dx = Mod(dx, W);
  dy = Mod(dy, H);
  if (dx == 0 && dy == 0) return true;
  FloatPixel* px = b->data;
  if (dy == 0) {
    ctx.Threads.For(H, RowGrain(static_cast<int32_t>(W)), [&](int64_t r0, int64_t r1, int) {
      for (int64_t y = r0; y < r1; ++y) std::rotate(px + y * W, px + y * W + (W - dx), px + (y + 1) * W);
    });
    return !ctx.AbortRequested();
  }
  auto* row = static_cast<FloatPixel*>(ctx.LayerMove.Get(ctx.Pool, sizeof(FloatPixel) * static_cast<size_t>(W)));
  if (!row) return false;
  // dst := src turned right by dx (two different rows).
  auto turned = [&](FloatPixel* dst, const FloatPixel* src) {
    std::copy(src, src + (W - dx), dst + dx);
    std::copy(src + (W - dx), src + W, dst);
  };
  const int64_t cycles = std::gcd(H, dy);
  for (int64_t start = 0; start < cycles; ++start) {
    if (ctx.AbortRequested()) return false;
    turned(row, px + start * W);
    int64_t to = start;
    for (;;) {
      const int64_t from = (to - dy + H) % H;
      if (from == start) break;
      turned(px + to * W, px + from * W);
      to = from;
    }
    std::copy(row, row + W, px + to * W);
  }
  return true;
}

bool SameReal(long double a, long double b) {
  return a == b && std::signbit(a) == std::signbit(b);
}

}  // namespace

// The inputs of base_pattern: the render size, the pens, the seed, the
// cloud position in pixels (unless the pattern moves with it) and the
// parameters of the cloud stamps, the clip and the normalisation.
LayerKey BaseKey(const RenderContext& ctx, const TCloudFrameParams& p, PixelOffset off,
                 const TPixeFloatBuffer* base) {
  const bool moves = BaseMovesWithPosition(ctx, p, off, base);
  LayerKey k;
  k.ints = {base->width, base->height, static_cast<int64_t>(ctx.Pens.Generation), p.Seed,
            moves ? 0 : off.x, moves ? 0 : off.y, p.CenterReverse, p.ClipBrightness,
            ctx.CloudReferenceMode, moves};
  k.reals = {p.Complex, p.Coverrate, p.MinRadius, p.MaxRadius, p.Noise, p.Center, 0, 0};
  return k;
}

// The inputs of warp_template before its normalisation: the render size,
// the pens, the seed, the parameters of the warp stamps and both warp
// positions in pixels -- or, for a template that moves with them, the
// second position relative to the first (the first then says only where
// the template lies).
LayerKey WarpKey(const RenderContext& ctx, const TCloudFrameParams& p, PixelOffset one,
                 PixelOffset two, const TPixeFloatBuffer* warp) {
  const bool moves = LayerMovesWithPosition(ctx, warp) && WithinMoveLimit(one) && WithinMoveLimit(two);
  const int64_t W = warp->width, H = warp->height;
  LayerKey k;
  if (moves)
    k.ints = {W, H, static_cast<int64_t>(ctx.Pens.Generation), p.Seed, Mod(int64_t{two.x} - one.x, W),
              Mod(int64_t{two.y} - one.y, H), 0, 0, ctx.CloudReferenceMode, moves};
  else
    k.ints = {W, H, static_cast<int64_t>(ctx.Pens.Generation), p.Seed, one.x, one.y, two.x, two.y,
              ctx.CloudReferenceMode, moves};
  k.reals = {p.Complex, p.wNoise, p.wMinRadius, p.wMaxRadius, 0, 0, 0, 0};
  return k;
}

bool TakeKept(RenderContext& ctx, KeptLayer& kept, const LayerKey& key, TPixeFloatBuffer* b,
              PixelOffset at, const char* stage) {
  if (!kept.valid || !kept.key.Matches(key)) return false;
  const TWorkBudget& w = ctx.Work;
  if (w.Exceeded || (w.Limit > 0 && w.Done + kept.work > w.Limit)) return false;
  if (at.x != kept.x || at.y != kept.y) {
    // Half moved (an abort) or not movable, it is no longer kept.
    kept.valid = false;
    if (!MoveCyclic(ctx, b, int64_t{at.x} - kept.x, int64_t{at.y} - kept.y)) return false;
    kept.valid = true;
    kept.x = at.x;
    kept.y = at.y;
  }
  ctx.Work.Charge(kept.work, stage);
  ctx.Rng.Seed(kept.rngAfter);
  ++ctx.Layers.Reused;
  return true;
}

bool WarpNormalisedAlike(const StampedLayerCache& c, const RenderSequence& seq) {
  if (!seq.WarpFixed()) return c.WarpFromData;
  return SameReal(c.WarpOffset, seq.WarpOffset) && SameReal(c.WarpScale, seq.WarpScale);
}

}  // namespace velmora
