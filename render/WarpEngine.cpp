#include "render/WarpEngine.h"

#include <algorithm>
#include <cmath>

#include "render/CloudPattern.h"
#include "render/Ease.h"
#include "render/FastStamp.h"
#include "base/Numeric.h"
#include "render/ParallelPixels.h"
#include "render/StampBatch.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__GLIBC__)
#include <immintrin.h>
// glibc's vector math library (libmvec), AVX2 forms.
extern "C" __m256d _ZGVdN4v_sin(__m256d);
extern "C" __m256d _ZGVdN4v_cos(__m256d);
#define VELMORA_WARP_LOOKUP_AVX2 1
#endif

namespace velmora {

namespace {

using LD = long double;

constexpr LD kPi = 3.141592653589793238462643383279502884L;

// The context's StampScratch slot of the packed base of the lookup.
constexpr int kLookupSlot = 10;

bool PensFit(const RenderContext& ctx, int32_t W, int32_t H) {
  const TPixeFloatBuffer* pens[] = {ctx.Pens.WarpPenR, ctx.Pens.WarpPenG, ctx.Pens.WarpPenB};
  for (const TPixeFloatBuffer* p : pens)
    if (!p || p->width != W || p->height != H) return false;
  return true;
}

// The lookup's constants: ax = WX x 12, ay = WY x 12, kx = W / 320,
// ky = H / 240, in extended precision and (for the fast path) in double.
struct WarpConsts {
  int32_t W, H;
  LD ax, ay, kx, ky;
  double axd, ayd, kxd, kyd;
  double bx, by;  // |ax kx| and |ay ky|: scales of the displacement

  WarpConsts(int32_t w, int32_t h, LD WX, LD WY) : W(w), H(h) {
    ax = WX * 12;
    ay = WY * 12;
    kx = static_cast<LD>(W) / 320;
    ky = static_cast<LD>(H) / 240;
    axd = static_cast<double>(ax);
    ayd = static_cast<double>(ay);
    kxd = static_cast<double>(kx);
    kyd = static_cast<double>(ky);
    bx = std::fabs(axd * kxd);
    by = std::fabs(ayd * kyd);
  }
};

// Steps b to e of WarpLookup in extended precision: the rounded
// displacement.
inline void DisplacementLiteral(const WarpConsts& k, FloatPixel T, int64_t& rx, int64_t& ry) {
  const LD angle = static_cast<LD>(T.r) / 255 * 360;  // degrees
  const LD rad = angle * kPi / 180;
  const LD t = k.ax * (static_cast<LD>(T.g) / 255 - 0.5L) * k.kx;
  const LD u = k.ay * (static_cast<LD>(T.b) / 255 - 0.5L) * k.ky;
  const LD c = std::cos(rad), s = std::sin(rad);
  const LD X = t * c - u * s;
  const LD Y = t * s + u * c;
  rx = RoundToInt64(X);
  ry = RoundToInt64(Y);
}

// round(v) when v lies farther than e from every half-integer (then the
// extended value, within e of v, rounds the same way); false otherwise.
inline bool SureRound(double v, double e, int64_t& out) {
  if (!(std::fabs(v) < 0x1p40)) return false;  // also NaN
  const double fl = std::floor(v);
  const double fr = v - fl;  // exact
  if (!(std::fabs(fr - 0.5) > e)) return false;
  out = static_cast<int64_t>(fl) + (fr > 0.5 ? 1 : 0);
  return true;
}

// The same displacement, computed in double with an error bound far above
// the difference between the double and the extended computations (both are
// within a few units of 2^-52 of the exact values, relative to the size of
// the displacement and of the angle); pixels whose displacement lies too
// close to a half-integer take the literal path.
inline void Displacement(const WarpConsts& k, FloatPixel T, int64_t& rx, int64_t& ry) {
  constexpr double kRad = 2 * 3.14159265358979323846 / 255;  // rad per unit of R
  const double R = T.r, G = T.g, B = T.b;
  const double gt = G / 255.0 - 0.5, bt = B / 255.0 - 0.5;
  const double t = k.axd * gt * k.kxd;
  const double u = k.ayd * bt * k.kyd;
  const double rad = R * kRad;
  const double s = std::sin(rad), c = std::cos(rad);
  const double X = t * c - u * s;
  const double Y = t * s + u * c;
  const double e = (k.bx * (std::fabs(G) / 255.0 + 0.5) + k.by * (std::fabs(B) / 255.0 + 0.5)) *
                   (std::fabs(rad) + 4.0) * 0x1p-40;
  if (SureRound(X, e, rx) && SureRound(Y, e, ry)) return;
  DisplacementLiteral(k, T, rx, ry);
}

// Step f: the text's wrap, |(W + s) rem W| on the left, of s = p + d.
// Displacements saturate at the int64 range (RoundToInt64); they are held
// within 2^62 so the sum stays defined.  No reachable warp comes near that.
inline int32_t WrapLookupCoord(int32_t p, int64_t d, int32_t W) {
  constexpr int64_t kFar = int64_t{1} << 62;
  int64_t s = p + std::clamp(d, -kFar, kFar);
  if (s < 0) {
    const int64_t r = (static_cast<int64_t>(W) + s) % W;
    s = r < 0 ? -r : r;
  }
  if (s > W - 1) s = s % W;
  return static_cast<int32_t>(s);
}

#ifdef VELMORA_WARP_LOOKUP_AVX2
// SureRound on four lanes: bit j set when lane j lies within 2^40 (so not
// NaN) and farther than e from the half-integer of its unit interval; out[j]
// is then its rounded value.
__attribute__((target("avx2"))) inline int SureRound4(__m256d v, __m256d e, int64_t* out) {
  const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(INT64_MAX));
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d fl = _mm256_floor_pd(v);
  const __m256d fr = _mm256_sub_pd(v, fl);  // exact
  const __m256d inRange =
      _mm256_cmp_pd(_mm256_and_pd(v, absMask), _mm256_set1_pd(0x1p40), _CMP_LT_OQ);
  const __m256d far =
      _mm256_cmp_pd(_mm256_and_pd(_mm256_sub_pd(fr, half), absMask), e, _CMP_GT_OQ);
  const __m256d up = _mm256_and_pd(_mm256_cmp_pd(fr, half, _CMP_GT_OQ), _mm256_set1_pd(1.0));
  // An exact integer within 2^40; lanes out of range give 0 (never used).
  alignas(32) double r[4];
  _mm256_store_pd(r, _mm256_and_pd(_mm256_add_pd(fl, up), inRange));
  for (int j = 0; j < 4; ++j) out[j] = static_cast<int64_t>(r[j]);
  return _mm256_movemask_pd(_mm256_and_pd(inRange, far));
}

// Displacement of four template pixels at once: the same double formulas and
// bound, with libmvec's sin and cos (at most 4 units of 2^-52 off for
// |sin|, |cos| <= 1, against the bound's 2^-40 x (|rad| + 4) of the same
// scale).  Bit j of the result is set when pixel j's displacement is sure;
// the others must take the literal path.
__attribute__((target("avx2"))) int Displacement4(const WarpConsts& k, const FloatPixel* T,
                                                  int64_t* rx, int64_t* ry) {
  constexpr double kRad = 2 * 3.14159265358979323846 / 255;
  __m128 p0 = _mm_loadu_ps(&T[0].r), p1 = _mm_loadu_ps(&T[1].r);
  __m128 p2 = _mm_loadu_ps(&T[2].r), p3 = _mm_loadu_ps(&T[3].r);
  _MM_TRANSPOSE4_PS(p0, p1, p2, p3);  // p0..p2: R, G, B of the four pixels
  const __m256d R = _mm256_cvtps_pd(p0), G = _mm256_cvtps_pd(p1), B = _mm256_cvtps_pd(p2);
  const __m256d c255 = _mm256_set1_pd(255.0), half = _mm256_set1_pd(0.5);
  const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(INT64_MAX));
  const __m256d gt = _mm256_sub_pd(_mm256_div_pd(G, c255), half);
  const __m256d bt = _mm256_sub_pd(_mm256_div_pd(B, c255), half);
  const __m256d t = _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(k.axd), gt), _mm256_set1_pd(k.kxd));
  const __m256d u = _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(k.ayd), bt), _mm256_set1_pd(k.kyd));
  const __m256d rad = _mm256_mul_pd(R, _mm256_set1_pd(kRad));
  const __m256d s = _ZGVdN4v_sin(rad), c = _ZGVdN4v_cos(rad);
  const __m256d X = _mm256_sub_pd(_mm256_mul_pd(t, c), _mm256_mul_pd(u, s));
  const __m256d Y = _mm256_add_pd(_mm256_mul_pd(t, s), _mm256_mul_pd(u, c));
  const __m256d ag = _mm256_add_pd(_mm256_div_pd(_mm256_and_pd(G, absMask), c255), half);
  const __m256d ab = _mm256_add_pd(_mm256_div_pd(_mm256_and_pd(B, absMask), c255), half);
  const __m256d e = _mm256_mul_pd(
      _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(k.bx), ag),
                                  _mm256_mul_pd(_mm256_set1_pd(k.by), ab)),
                    _mm256_add_pd(_mm256_and_pd(rad, absMask), _mm256_set1_pd(4.0))),
      _mm256_set1_pd(0x1p-40));
  const int sure = SureRound4(X, e, rx) & SureRound4(Y, e, ry);
  return sure;
}
#endif

template <typename Write>
void LookupWalk(RenderContext& ctx, const TPixeFloatBuffer* tmpl, const WarpConsts& k, Write&& write) {
  const bool ref = ctx.CloudReferenceMode;
#ifdef VELMORA_WARP_LOOKUP_AVX2
  const bool vector = !ref && UseAvx2();
#endif
  const int32_t W = k.W, H = k.H;
  // Rows on the pool; the calling thread reports progress after its rows.
  ctx.Threads.For(H, RowGrain(W), [&](int64_t from, int64_t to, int worker) {
    for (int32_t i = static_cast<int32_t>(from); i < to; ++i) {
      if (ctx.AbortRequested()) return;
      const FloatPixel* trow = tmpl->data + static_cast<int64_t>(i) * W;
      // Pixel (j, i) takes the base pixel displaced by (dx, dy).
      auto put = [&](int32_t j, int64_t dx, int64_t dy) {
        const int32_t sx = WrapLookupCoord(j, dx, W);
        const int32_t sy = WrapLookupCoord(i, dy, H);
        write(static_cast<int64_t>(i) * W + j, static_cast<int64_t>(sy) * W + sx);
      };
      int32_t j = 0;
#ifdef VELMORA_WARP_LOOKUP_AVX2
      for (; vector && j + 4 <= W; j += 4) {
        int64_t dx[4], dy[4];
        const int sure = Displacement4(k, trow + j, dx, dy);
        for (int l = 0; l < 4; ++l) {
          if (!(sure & (1 << l))) DisplacementLiteral(k, trow[j + l], dx[l], dy[l]);
          put(j + l, dx[l], dy[l]);
        }
      }
#endif
      for (; j < W; ++j) {
        int64_t dx, dy;
        if (ref)
          DisplacementLiteral(k, trow[j], dx, dy);
        else
          Displacement(k, trow[j], dx, dy);
        put(j, dx, dy);
      }
      if (worker == 0) ctx.WarpRowProgress = RoundToInt32(static_cast<LD>(i) / H * 100);
    }
  });
  ctx.WarpRowProgress = RoundToInt32(static_cast<LD>(H - 1) / H * 100);  // the last row's value
}

bool SameSize(const TPixeFloatBuffer* a, int32_t W, int32_t H) {
  return a && a->width == W && a->height == H;
}

}  // namespace

void WarpSourcePosition(const RenderContext& ctx, FloatPixel T, int32_t j, int32_t i, int32_t W, int32_t H, long double WX,
                        long double WY, int32_t& sx, int32_t& sy) {
  const WarpConsts k(W, H, WX, WY);
  int64_t dx, dy;
  if (ctx.CloudReferenceMode)
    DisplacementLiteral(k, T, dx, dy);
  else
    Displacement(k, T, dx, dy);
  sx = WrapLookupCoord(j, dx, W);
  sy = WrapLookupCoord(i, dy, H);
}

void WarpLookup(RenderContext& ctx, const TPixeFloatBuffer* base, const TPixeFloatBuffer* tmpl,
                TPixeFloatBuffer* target, long double WX, long double WY) {
  if (!target) return;
  const int32_t W = target->width, H = target->height;
  if (W <= 0 || H <= 0 || !SameSize(base, W, H) || !SameSize(tmpl, W, H)) return;
  const WarpConsts k(W, H, WX, WY);
  LookupWalk(ctx, tmpl, k, [&](int64_t to, int64_t from) { target->data[to] = base->data[from]; });
}

void WarpLookupToPacked(RenderContext& ctx, const TPixeFloatBuffer* base, const TPixeFloatBuffer* tmpl,
                        TPixeBuffer* target, long double WX, long double WY) {
  if (!target) return;
  const int32_t W = target->width, H = target->height;
  if (W <= 0 || H <= 0 || !SameSize(base, W, H) || !SameSize(tmpl, W, H)) return;
  const WarpConsts k(W, H, WX, WY);
  if (ctx.CloudReferenceMode) {
    LookupWalk(ctx, tmpl, k, [&](int64_t to, int64_t from) {
      target->data[to] = FloatToPacked(base->data[from]);
    });
    return;
  }
  // The base converted once, in order: the lookup then gathers four bytes
  // per pixel instead of sixteen.
  const int64_t n = static_cast<int64_t>(W) * H;
  if (auto* packed = static_cast<PackedPixel*>(
          ctx.StampScratch[kLookupSlot].Get(ctx.Pool, sizeof(PackedPixel) * static_cast<size_t>(n)))) {
    ForElements(ctx.Threads, n, [&](int64_t b, int64_t e) {
      FloatToPackedRun(base->data + b, packed + b, e - b);
    });
    LookupWalk(ctx, tmpl, k, [&](int64_t to, int64_t from) { target->data[to] = packed[from]; });
    return;
  }
  LookupWalk(ctx, tmpl, k, [&](int64_t to, int64_t from) {
    target->data[to] = FloatToPackedFast(base->data[from]);
  });
}

namespace {

// Layer 1's stamp count less one: round(Complex x 7.5).
int64_t WarpLayer1Count(const TCloudFrameParams& p) {
  return std::min<int64_t>(RoundToInt64(p.Complex * 7.5L), INT64_MAX / 8);
}

// Layer 2's stamp count: 2N + 3.
int64_t WarpLayer2Stamps(const TCloudFrameParams& p) {
  return 2 * (CloudStampCount(p.Complex) + 1) + 1;
}

// The draws of layer 1 into batch, in order; false when an abort stopped
// them (stamps applied as they are added only).
bool DrawWarpLayer1(RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target,
                    int32_t W, int32_t H, StampBatch& batch, int& progress) {
  ctx.Rng.Seed(static_cast<uint32_t>(p.Seed) + 1u);
  int32_t sw = W, sh = H;
  const int64_t M = WarpLayer1Count(p);
  const PixelOffset off = LayerOffset(target, p, p.wx1, p.wy1);
  const int32_t offX = off.x, offY = off.y;
  progress = 30;
  for (int64_t u = 0; u <= M; ++u) {
    const int32_t x = WrapAdd32(static_cast<int32_t>(ctx.Rng.Random(static_cast<uint32_t>(W))), offX);
    const int32_t y = WrapAdd32(static_cast<int32_t>(ctx.Rng.Random(static_cast<uint32_t>(H))), offY);
    if (!ctx.Work.Charge(static_cast<LD>(std::max(sw, 0)) * std::max(sh, 0) + 1, "warp stamps"))
      break;
    batch.Add(ctx.Pens.WarpPenB, PixeRect{0, 0, W, H}, 3, true, PixeRect{x, y, sw, sh});
    sw = StampSize((1 - ctx.Rng.RandomReal() * p.wNoise) * (sw * 0.95L));
    sh = StampSize((1 - ctx.Rng.RandomReal() * p.wNoise) * (sh * 0.95L));
    if (!batch.Queued() && ctx.AbortRequested()) return false;
    // round(10 / (Complex x 10) x u) + 30; Complex = 0 divides by zero.
    const LD prog = 10 / (p.Complex * 10) * u;
    progress = std::isfinite(prog) ? RoundToInt32(prog) + 30 : 30;
    if (!batch.Queued()) ctx.FrameProgress = progress;
  }
  return true;
}

// The draws of layer 2 into batch, as DrawWarpLayer1.
bool DrawWarpLayer2(RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target,
                    int32_t W, int32_t H, StampBatch& batch, int& progress) {
  const int64_t N = CloudStampCount(p.Complex);
  int32_t sw = StampSize(W * p.wMaxRadius);
  int32_t sh = StampSize(H * p.wMaxRadius);
  const PixelOffset off = LayerOffset(target, p, p.wx2, p.wy2);
  const int32_t offX = off.x, offY = off.y;
  const TPixeFloatBuffer* pens[3] = {ctx.Pens.WarpPenR, ctx.Pens.WarpPenG, ctx.Pens.WarpPenB};
  static const int kModes[4] = {0, 1, 5, 6};
  const PowEaseOutCurve ease(8, p.Complex * 200, 0, p.wMinRadius, p.wMaxRadius);
  const LD* eases = SizeCurveValues(ctx, 1, ease, WarpLayer2Stamps(p));
  progress = 40;
  for (int64_t w = 0; w <= 2 * (N + 1); ++w) {
    // Seed + w, wrapping at 32 bits.
    ctx.Rng.Seed(static_cast<uint32_t>(p.Seed) + static_cast<uint32_t>(w));
    const int32_t x = WrapAdd32(static_cast<int32_t>(ctx.Rng.Random(static_cast<uint32_t>(W))), offX);
    const int32_t y = WrapAdd32(static_cast<int32_t>(ctx.Rng.Random(static_cast<uint32_t>(H))), offY);
    if (!ctx.Work.Charge(static_cast<LD>(std::max(sw, 0)) * std::max(sh, 0) + 1, "warp stamps"))
      break;
    batch.Add(pens[w % 3], PixeRect{0, 0, W, H}, kModes[(w % 12) / 3], true,
              PixeRect{x, y, sw, sh});
    const LD g = eases ? eases[w] : ease.At(static_cast<LD>(w));
    sw = StampSize((1 - ctx.Rng.RandomReal() * p.wNoise / 2) * g * W);
    sh = StampSize((1 - ctx.Rng.RandomReal() * p.wNoise / 2) * g * H);
    progress = RoundToInt32(40.0L / (2 * (N + 1)) * w) + 40;
    if (!batch.Queued()) {
      ctx.FrameProgress = progress;
      if (ctx.AbortRequested()) return false;
    }
  }
  return true;
}

using DrawLayerFn = bool (*)(RenderContext&, const TCloudFrameParams&, const RenderTarget&,
                             int32_t, int32_t, StampBatch&, int&);

// One layer's draws into a batch of its own (EXPECTED stamps), applied with
// the progress running on from FROM.
void StampOneLayer(RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target,
                   int64_t expected, int from, DrawLayerFn draw) {
  ctx.Layers.Warp.valid = false;
  TPixeFloatBuffer* wt = ctx.Frame.warp_template;
  if (!wt) return;
  StampBatch batch(ctx, PensFit(ctx, wt->width, wt->height) ? wt : nullptr, expected);
  int progress = from;
  if (draw(ctx, p, target, wt->width, wt->height, batch, progress))
    batch.RunWithProgress(from, progress);
}

}  // namespace

void StampWarpLayer1(RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target) {
  StampOneLayer(ctx, p, target, WarpLayer1Count(p) + 1, 30, DrawWarpLayer1);
}

void StampWarpLayer2(RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target) {
  StampOneLayer(ctx, p, target, WarpLayer2Stamps(p), 40, DrawWarpLayer2);
}

void StampWarpTemplate(RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target) {
  ctx.Layers.Warp.valid = false;
  TPixeFloatBuffer* wt = ctx.Frame.warp_template;
  if (!wt) return;
  const int32_t W = wt->width, H = wt->height;
  // Both layers in one batch: each band is read, stamped by every stamp of
  // both and written once.
  StampBatch batch(ctx, PensFit(ctx, W, H) ? wt : nullptr,
                   WarpLayer1Count(p) + 1 + WarpLayer2Stamps(p));
  batch.StartFrom(wt, FloatPixel{0, 0, 0, 255});
  int progress = 30;
  if (!DrawWarpLayer1(ctx, p, target, W, H, batch, progress)) return;
  // Over the work budget: the frame is abandoned after layer 1, as when
  // the layers are stamped one after the other.
  if (!ctx.Work.Exceeded && !DrawWarpLayer2(ctx, p, target, W, H, batch, progress)) return;
  batch.RunWithProgress(30, progress);
}

void NormalizeWarpTemplate(RenderContext& ctx, RenderSequence& p) {
  ctx.Layers.Warp.valid = false;
  TPixeFloatBuffer* wt = ctx.Frame.warp_template;
  if (!wt || wt->width <= 0 || wt->height <= 0) return;
  FloatPixel* e = wt->data;
  const int64_t n = static_cast<int64_t>(wt->width) * wt->height;
  ThreadPool& pool = ctx.Threads;
  if (p.WarpScale == 0) {
    const ScanRange r = ParallelScan(
        pool, n, ScanRange{e[0].r, e[0].r},
        [&](ScanRange& s, int64_t i) {
          s.Take(e[i].r);
          s.Take(e[i].g);
          s.Take(e[i].b);
        },
        [](ScanRange& into, const ScanRange& from) { into.Merge(from); });
    p.WarpOffset = -static_cast<LD>(r.lo);
    p.WarpScale = (static_cast<LD>(r.hi) - r.lo) / 256;
  }
  if (!(p.WarpScale > 0)) return;
  const LD off = p.WarpOffset, scale = p.WarpScale;
  if (ctx.CloudReferenceMode) {
    for (int64_t i = 0; i < n; ++i) {
      e[i].r = static_cast<float>((e[i].r + off) / scale);
      e[i].g = static_cast<float>((e[i].g + off) / scale);
      e[i].b = static_cast<float>((e[i].b + off) / scale);
    }
    return;
  }
  const LD offsets[4] = {off, off, off, off};
  const LD scales[4] = {scale, scale, scale, scale};
  ForElements(pool, n, [&](int64_t from, int64_t to) {
    NormalizeRun(e + from, to - from, offsets, scales, 7);
  }, kInlineCostlyElements);
}

}  // namespace velmora
