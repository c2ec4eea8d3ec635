// The cloud pattern generator: the five pens, the integer
// ellipse rasteriser, the fractal pen, the mirrors, the stamping of
// base_pattern, ClipLow and NormalizeBuffer.  MakePens of Render.h is
// defined in CloudPattern.cpp.
#pragma once

#include <cstdint>

#include "render/Pixe.h"
#include "render/Render.h"

namespace velmora {

// Hypot as the engine defines it: the square root of the sum of the
// squares, in extended precision.
long double Hypot(long double x, long double y);

// The integer value of a stamp size computed as a real: round half-even.  A
// size that is not finite, or whose rounded value does not fit 32 bits,
// counts as 0 (the stamp is skipped).
int32_t StampSize(long double v);

// N = round(Complex x 20 x (Complex x 10)), the cloud stamp parameter.
int64_t CloudStampCount(long double complex);

// curve.At(0), ..., curve.At(count - 1), kept in the context's size curve
// `slot` (0: the base pattern's, 1: warp layer 2's) for the frames that
// follow; nullptr when count is beyond what is kept (the caller evaluates
// the curve itself).
const long double* SizeCurveValues(RenderContext& ctx, int slot, const PowEaseOutCurve& curve,
                                   int64_t count);

// The spans of FillEllipse(.., ry, rx) in the order the rasteriser puts them:
// fn(dy, half) means the span cx - half .. cx + half on row cy + dy.  Nothing
// when rx <= 0 or ry <= 0.
template <typename Fn>
void ForEachEllipseSpan(int32_t ry, int32_t rx, Fn&& fn) {
  if (rx <= 0 || ry <= 0) return;
  // 32-bit integer arithmetic as the rasteriser's; the products wrap.
  auto mul = [](int64_t a, int64_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
  };
  if (ry < rx) {
    const int32_t step = mul(ry, 256) / rx;
    int64_t a = rx, b = 0, d = 1 - static_cast<int64_t>(rx);
    int64_t last = -1;
    while (a > 0) {
      if (d < 1) {
        ++b;
        d += 2 * b;
      } else {
        --a;
        d -= 2 * a;
      }
      const int64_t g = static_cast<uint32_t>(mul(b, step)) >> 8;
      if (g != last) {
        if (g > 0) fn(-g, a);
        fn(g, a);
        last = g;
      }
    }
  } else {
    const int32_t step = mul(rx, 256) / ry;
    int64_t a = ry, b = 0, d = 1 - static_cast<int64_t>(ry);
    int64_t last = -1;
    while (a > 0) {
      if (d < 1) {
        ++b;
        d += 2 * b;
      } else {
        --a;
        d -= 2 * a;
      }
      if (a != last) {
        const int64_t e = static_cast<uint32_t>(mul(b, step)) >> 8;
        if (a > 0) fn(-a, e);
        fn(a, e);
        last = a;
      }
    }
  }
}

// Writes the colour into the ellipse's spans (Put span, with the wrap flag).
void FillEllipse(TPixeFloatBuffer* b, int32_t cx, int32_t cy, bool wrap, FloatPixel colour,
                 int32_t ry, int32_t rx);

// Recursive composition of two pens into target (127 stamps at depth 7).
void FractalPen(RenderContext& ctx, const TPixeFloatBuffer* penA, const TPixeFloatBuffer* penB,
                TPixeFloatBuffer* target, int depth, long double s, long double oy, long double ox);

// Exchange column j with W - j (rows: i with H - i) without wrap, so column
// 0 (row 0) ends up zero.
void MirrorColumns(TPixeFloatBuffer* b);
void MirrorRows(TPixeFloatBuffer* b);

// Coverage clip: R below f x (max - min) + min (over R) becomes that level in
// R, G and B.
void ClipLow(RenderContext& ctx, TPixeFloatBuffer* b, long double f);
// Stretches R, G, B (and A when withAlpha) to 0..256.
void NormalizeBuffer(RenderContext& ctx, TPixeFloatBuffer* b, bool withAlpha);

// Stamping of base_pattern: fill, seed
// with Seed, the N + 2 cloud stamps, ClipLow, NormalizeBuffer.  Needs the
// pens at the size of base_pattern.
void BuildBasePattern(RenderContext& ctx, const TCloudFrameParams& params,
                      const RenderTarget& target);

// CloudPen as (R, A) pairs, made on first use after the pens were made; null
// when the pen is missing, not grey (R, G and B differ somewhere) or the
// block cannot be had.
const float* GreyCloudPen(RenderContext& ctx);

// RenderContext::CloudReferenceMode (a test hook): when on, every optimised
// path (pen ellipses, stamping, shading, normalisation, warp lookup) takes its
// literal per-pixel form instead.  The tests render both ways and compare the
// buffers bit for bit.

// Stamps larger than this many pixels are skipped: a literal stamp of that
// size (reachable only through keyframes or project files, e.g. Complex 2
// or MaxRadius 1e12, where stamps grow to millions of times the picture)
// would blend for hours.  The largest buffer the pool can hold has 2^27
// elements, so no stamp of a sane size comes near the limit.
constexpr int64_t kMaxStampArea = int64_t{1} << 30;

// The stamp used by the cloud layer: StampPenFast, or StampPen in reference
// mode; nothing for stamps above kMaxStampArea.
void CloudStamp(RenderContext& ctx, const TPixeFloatBuffer* pen, PixeRect src, TPixeFloatBuffer* target, int mode,
                bool wrap, PixeRect dst);

}  // namespace velmora
