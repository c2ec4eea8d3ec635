#include "render/FastStamp.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/MemoryHunger.h"
#include "base/Numeric.h"

// The 32-byte vectors below are internal to this file: their argument-passing
// ABI (which differs with and without AVX) never crosses a module boundary.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace velmora {

namespace {

using LD = long double;

inline int64_t Mod(int64_t v, int64_t m) {
  const int64_t r = v % m;
  return r < 0 ? r + m : r;
}

// The walk of a planned stamp over a band's rows (before the kernels, whose
// per-mode row functions use it).

// Calls row(r, ty, srow) for the stamp rows r whose target row ty lies in
// [y0, y1) of a target H rows high, in the order StampPen writes them; srow
// is the pen row (rows outside the pen are left out).
template <typename Row>
inline void ForStampRows(const StampOp& op, const StampPlan& plan, int64_t H, int32_t y0,
                         int32_t y1, Row&& row) {
  if (plan.empty || y0 >= y1) return;
  const int64_t top = op.dst.top, dh = op.dst.height;
  auto one = [&](int64_t r, int64_t ty) {
    if (plan.rows[r] >= 0) row(ty, plan.rows[r]);
  };
  if (!op.wrap) {
    const int64_t r0 = std::max<int64_t>(y0 - top, 0), r1 = std::min<int64_t>(y1 - top, dh);
    for (int64_t r = r0; r < r1; ++r) one(r, top + r);
    return;
  }
  // Rows r with (top + r) mod H in [y0, y1): runs [base + jH, base + jH + len)
  // for j = -1, 0, 1, ..., visited in increasing r as StampPen visits them;
  // row start + i of a run is target row y0 + i.
  const int64_t len = y1 - y0;
  const int64_t base = Mod(y0 - top, H);
  for (int64_t start = base - H; start < dh; start += H) {
    const int64_t r0 = std::max<int64_t>(start, 0), r1 = std::min<int64_t>(start + len, dh);
    for (int64_t r = r0; r < r1; ++r) one(r, y0 + (r - start));
  }
}

// The first stamp column k in [kb, ke) whose pen column is at least c (ke
// when none is): a walk from the estimate, exact whatever the estimate since
// the pen columns never decrease along the row.
inline int64_t FirstColumnFrom(const StampPlan& plan, int64_t kb, int64_t ke, int32_t c) {
  const double guess = (c - plan.colOrigin) * plan.colScale;
  int64_t k = guess <= static_cast<double>(kb) ? kb
              : guess >= static_cast<double>(ke) ? ke
                                                 : static_cast<int64_t>(guess);
  const int32_t* cols = plan.cols;
  while (k > kb && cols[k - 1] >= c) --k;
  while (k < ke && cols[k] < c) ++k;
  return k;
}

// Calls run(tx, k, n) for the contiguous pieces of a stamp row in a target W
// wide: target columns tx .. tx + n - 1 take the stamp columns k .. k + n - 1.
// Only the stamp columns that read pen row srow inside its alpha span take
// part (all of [kb, ke) without spans).
template <typename Run>
inline void ForRowRuns(const StampOp& op, const StampPlan& plan, int64_t W, int32_t srow,
                       Run&& run) {
  int64_t kb = plan.kb, ke = plan.ke;
  if (plan.spans) {
    const int32_t a = plan.spans[2 * static_cast<int64_t>(srow)];
    const int32_t b = plan.spans[2 * static_cast<int64_t>(srow) + 1];
    if (a >= b) return;
    kb = FirstColumnFrom(plan, kb, ke, a);
    ke = FirstColumnFrom(plan, kb, ke, b);
    if (kb >= ke) return;
  }
  if (!op.wrap) {
    run(op.dst.left + kb, kb, ke - kb);
    return;
  }
  int64_t tx = Mod(static_cast<int64_t>(op.dst.left) + kb, W);
  for (int64_t k = kb; k < ke;) {
    const int64_t n = std::min<int64_t>(ke - k, W - tx);
    run(tx, k, n);
    k += n;
    tx = 0;
  }
}

// Calls run(row, srow, tx, k, n) for every run of ForRowRuns in the rows of
// ForStampRows, row counted from y0.
template <typename Run>
inline void ForBandRuns(const StampOp& op, const StampPlan& plan, int64_t W, int64_t H,
                        int32_t y0, int32_t y1, Run&& run) {
  ForStampRows(op, plan, H, y0, y1, [&](int64_t ty, int32_t srow) {
    ForRowRuns(op, plan, W, srow,
               [&](int64_t tx, int64_t k, int64_t n) { run(ty - y0, srow, tx, k, n); });
  });
}

}  // namespace

// The kernels, for the baseline instruction set and for AVX2.  The vectors
// are internal: their argument-passing ABI never crosses this file.
namespace fs_base {
using LD = long double;
#include "render/FastStampKernels.inc"
}  // namespace fs_base

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#pragma GCC push_options
#pragma GCC target("avx2,fma")
namespace fs_avx2 {
using LD = long double;
#define FS_AVX2 1
#include "render/FastStampKernels.inc"
#undef FS_AVX2
}  // namespace fs_avx2
#pragma GCC pop_options
#define VELMORA_HAVE_AVX2_KERNELS 1
#endif

// Asked each time rather than cached, so the module keeps no state.
bool UseAvx2() {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && !std::getenv("VELMORA_NO_AVX2");
#else
  return false;
#endif
}

namespace {

void BlendRunGeneric(FloatPixel* dst, const FloatPixel* srcRow, const int32_t* cols, int64_t n,
                     int mode) {
  for (int64_t k = 0; k < n; ++k) {
    const FloatPixel s = srcRow[cols[k]];
    if (s.a == 0) continue;
    dst[k] = FloatBlend(dst[k], s, mode);
  }
}


// As StampPen's coordinate rounding: half-even, far values clamped.  In
// range, rint rounds in the current mode (to nearest, ties to even) in one
// instruction, and the integral value converts exactly; it goes through
// double (exact below 2^53), whose conversion to an integer needs no switch
// of the x87 rounding mode, as the extended one's does.
inline int64_t RoundCoord(LD v) {
  if (v > -0x1p40L && v < 0x1p40L)
    return std::clamp<int64_t>(static_cast<int64_t>(static_cast<double>(std::rintl(v))),
                               INT32_MIN, INT32_MAX);
  return std::clamp<int64_t>(RoundToInt64(v), INT32_MIN, INT32_MAX);
}

}  // namespace

FloatPixel FloatBlendFast(FloatPixel d, FloatPixel s, int mode) {
#ifdef VELMORA_HAVE_AVX2_KERNELS
  if (UseAvx2()) return fs_avx2::BlendOne(d, s, mode);
#endif
  return fs_base::BlendOne(d, s, mode);
}

namespace {

// The written columns of a plan whose columns in the pen are known, and its
// kernels.
void FinishPlan(const StampOp& op, int32_t W, StampPlan& plan) {
  plan.empty = true;
  if (plan.k0 < 0) return;
  // Target columns of the range: wrapped into runs, or clipped.
  plan.kb = plan.k0;
  plan.ke = plan.k1;
  if (!op.wrap) {
    plan.kb = std::max<int64_t>(plan.k0, -static_cast<int64_t>(op.dst.left));
    plan.ke = std::min<int64_t>(plan.k1, static_cast<int64_t>(W) - op.dst.left);
    if (plan.kb >= plan.ke) return;
  }
  plan.empty = false;
#ifdef VELMORA_HAVE_AVX2_KERNELS
  const bool avx2 = UseAvx2();
  plan.run = avx2 ? fs_avx2::RunFor(op.mode) : fs_base::RunFor(op.mode);
  plan.grey = avx2 ? fs_avx2::GreyRowsFor(op.mode) : fs_base::GreyRowsFor(op.mode);
  plan.planar = avx2 ? fs_avx2::PlanarRowsFor(op.mode) : nullptr;
#else
  plan.run = fs_base::RunFor(op.mode);
  plan.grey = fs_base::GreyRowsFor(op.mode);
#endif
}

}  // namespace

void PlanStamp(const StampOp& op, int32_t W, int32_t H, int32_t* cols, int32_t* rows,
               StampPlan& plan) {
  plan.cols = cols;
  plan.rows = rows;
  plan.spans = nullptr;
  plan.planar = nullptr;
  plan.colScale = 1;
  plan.colOrigin = 0;
  plan.k0 = plan.k1 = -1;
  plan.empty = true;
  const PixeRect src = op.src, dst = op.dst;
  if (src.width <= 0 || src.height <= 0 || dst.width <= 0 || dst.height <= 0) return;
  const int32_t PW = op.pen->width, PH = op.pen->height;
  if (W <= 0 || H <= 0 || PW <= 0 || PH <= 0) return;  // nothing to write or only zeros to read
  const LD sx = static_cast<LD>(src.width) / dst.width;
  const LD sy = static_cast<LD>(src.height) / dst.height;
  plan.colScale = static_cast<double>(dst.width) / src.width;
  plan.colOrigin = src.left;

  // Source columns of the target columns: u accumulated exactly as StampPen
  // does; round(u) never decreases, so the columns inside the pen form one
  // range [k0, k1).
  int64_t k0 = -1, k1 = -1;
  {
    LD u = src.left;
    for (int32_t k = 0; k < dst.width; ++k) {
      const int64_t c = RoundCoord(u);
      if (c >= 0 && c < PW) {
        cols[k] = static_cast<int32_t>(c);
        if (k0 < 0) k0 = k;
        k1 = k + 1;
      }
      u += sx;
    }
  }
  if (k0 < 0) return;
  plan.k0 = k0;
  plan.k1 = k1;
  // Source rows of the target rows, v accumulated as StampPen does; -1
  // outside the pen.
  LD v = src.top;
  for (int32_t r = 0; r < dst.height; ++r, v += sy) {
    const int64_t srow = RoundCoord(v);
    rows[r] = srow >= 0 && srow < PH ? static_cast<int32_t>(srow) : -1;
  }
  FinishPlan(op, W, plan);
}

void PlanStampAlike(const StampOp& op, int32_t W, const StampPlan& same, StampPlan& plan) {
  plan = same;
  plan.spans = nullptr;
  plan.planar = nullptr;
  FinishPlan(op, W, plan);
}


void ApplyStampRows(const StampOp& op, const StampPlan& plan, TPixeFloatBuffer* target,
                    int32_t y0, int32_t y1) {
  const int64_t W = target->width;
  ForBandRuns(op, plan, W, target->height, y0, y1,
              [&](int64_t row, int32_t srow, int64_t tx, int64_t k, int64_t n) {
                FloatPixel* dst = target->data + (y0 + row) * W + tx;
                const FloatPixel* srcRow = op.pen->data + static_cast<int64_t>(srow) * op.pen->width;
                if (plan.run)
                  plan.run(dst, srcRow, plan.cols + k, n);
                else
                  BlendRunGeneric(dst, srcRow, plan.cols + k, n, op.mode);
              });
}

void ApplyGreyStampRows(const StampOp& op, const StampPlan& plan, const float* pen, float* band,
                        int32_t W, int32_t H, int32_t y0, int32_t y1) {
  if (!plan.empty) plan.grey(op, plan, pen, band, W, H, y0, y1);
}

void ApplyPlanarStampRows(const StampOp& op, const StampPlan& plan, float* planes,
                          int64_t planeStride, int32_t W, int32_t H, int32_t y0, int32_t y1) {
  if (!plan.empty) plan.planar(op, plan, planes, planeStride, W, H, y0, y1);
}

void StampPenFast(RenderContext& ctx, const TPixeFloatBuffer* pen, PixeRect src, TPixeFloatBuffer* target, int mode,
                  bool wrap, PixeRect dst) {
  if (src.width <= 0 || src.height <= 0 || dst.width <= 0 || dst.height <= 0) return;
  const StampOp op{pen, src, dst, mode, wrap};
  int32_t* table = dst.width <= kMaxStampTable && dst.height <= kMaxStampTable
                       ? static_cast<int32_t*>(ctx.StampScratch[0].Get(ctx.Pool, sizeof(int32_t) * (static_cast<size_t>(dst.width) + dst.height)))
                       : nullptr;
  if (!table) {
    StampPen(pen, src, target, mode, wrap, dst);
    return;
  }
  StampPlan plan;
  PlanStamp(op, target->width, target->height, table, table + dst.width, plan);
  ApplyStampRows(op, plan, target, 0, target->height);
}

void PenAlphaSpans(const TPixeFloatBuffer* pen, int32_t* spans, int32_t row0, int32_t row1) {
  const int32_t PW = pen->width;
  auto zero = [](const FloatPixel& p) {
    uint32_t bits;
    std::memcpy(&bits, &p.a, sizeof bits);
    return (bits & 0x7FFFFFFFu) == 0;
  };
  for (int32_t r = row0; r < row1; ++r) {
    const FloatPixel* row = pen->data + static_cast<int64_t>(r) * PW;
    int32_t a = 0, b = PW;
    while (a < b && zero(row[a])) ++a;
    while (b > a && zero(row[b - 1])) --b;
    if (a == b) a = b = 0;
    spans[2 * static_cast<int64_t>(r)] = a;
    spans[2 * static_cast<int64_t>(r) + 1] = b;
  }
}

PackedPixel FloatToPackedFast(FloatPixel f) {
  auto conv = [](float c) -> uint32_t {
    if (c > 255) return 255;
    if (c < 0) return 0;
    if (c != c) return 0;
    return static_cast<uint32_t>(std::lrintf(c));
  };
  return MakePixel(conv(f.r), conv(f.g), conv(f.b), conv(f.a));
}

void NormalizeRun(FloatPixel* p, int64_t n, const long double (&offset)[4],
                  const long double (&scale)[4], int lanes) {
#ifdef VELMORA_HAVE_AVX2_KERNELS
  if (UseAvx2()) {
    fs_avx2::NormalizeRun(p, n, offset, scale, lanes);
    return;
  }
#endif
  double od[4], sd[4];
  for (int c = 0; c < 4; ++c) {
    od[c] = static_cast<double>(offset[c]);
    sd[c] = static_cast<double>(scale[c]);
  }
  for (int64_t i = 0; i < n; ++i) {
    float v[4];
    std::memcpy(v, &p[i], sizeof v);
    for (int c = 0; c < 4; ++c)
      if (lanes & (1 << c)) v[c] = NormalizeValueFast(v[c], offset[c], scale[c], od[c], sd[c]);
    std::memcpy(&p[i], v, sizeof v);
  }
}

// The copies of the bands: the AVX2 forms take the bulk, the loops here the
// rest (or all of it).
void PixelsToPlanes(const FloatPixel* px, int64_t n, float* planes, int64_t ps) {
  int64_t k = 0;
#ifdef VELMORA_HAVE_AVX2_KERNELS
  if (UseAvx2()) k = fs_avx2::PixelsToPlanes(px, n, planes, ps);
#endif
  for (; k < n; ++k) {
    planes[k] = px[k].r;
    planes[ps + k] = px[k].g;
    planes[2 * ps + k] = px[k].b;
    planes[3 * ps + k] = px[k].a;
  }
}

void PlanesToPixels(const float* planes, int64_t ps, int64_t n, FloatPixel* px) {
  int64_t k = 0;
#ifdef VELMORA_HAVE_AVX2_KERNELS
  if (UseAvx2()) k = fs_avx2::PlanesToPixels(planes, ps, n, px);
#endif
  for (; k < n; ++k)
    px[k] = FloatPixel{planes[k], planes[ps + k], planes[2 * ps + k], planes[3 * ps + k]};
}

void PixelsToGreyPairs(const FloatPixel* px, int64_t n, float* pairs) {
  int64_t k = 0;
#ifdef VELMORA_HAVE_AVX2_KERNELS
  if (UseAvx2()) k = fs_avx2::PixelsToGreyPairs(px, n, pairs);
#endif
  for (; k < n; ++k) {
    pairs[2 * k] = px[k].r;
    pairs[2 * k + 1] = px[k].a;
  }
}

void GreyPairsToPixels(const float* pairs, int64_t n, FloatPixel* px) {
  int64_t k = 0;
#ifdef VELMORA_HAVE_AVX2_KERNELS
  if (UseAvx2()) k = fs_avx2::GreyPairsToPixels(pairs, n, px);
#endif
  for (; k < n; ++k) px[k] = FloatPixel{pairs[2 * k], pairs[2 * k], pairs[2 * k], pairs[2 * k + 1]};
}

void FloatToPackedRun(const FloatPixel* from, PackedPixel* to, int64_t n) {
  int64_t i = 0;
#if defined(__SSE2__)
  // max(c, 0) gives 0 for NaN and for negative c (its second operand), min
  // with 255 limits, and the conversion rounds to nearest with ties to even
  // as lrintf does; the saturating packs then keep the values 0..255.
  const __m128 zero = _mm_setzero_ps(), top = _mm_set1_ps(255.0f);
  auto conv = [&](const FloatPixel* p) {
    return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(_mm_loadu_ps(&p->r), zero), top));
  };
  for (; i + 4 <= n; i += 4) {
    const __m128i lo = _mm_packs_epi32(conv(from + i), conv(from + i + 1));
    const __m128i hi = _mm_packs_epi32(conv(from + i + 2), conv(from + i + 3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) to[i] = FloatToPackedFast(from[i]);
}

}  // namespace velmora
