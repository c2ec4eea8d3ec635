#include "render/CloudPattern.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/Ease.h"
#include "render/FastStamp.h"
#include "base/Numeric.h"
#include "render/ParallelPixels.h"
#include "render/StampBatch.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__GLIBC__)
#include <immintrin.h>
// glibc's vector math library (libmvec), AVX2 forms.
extern "C" __m256d _ZGVdN4vv_pow(__m256d, __m256d);
extern "C" __m256d _ZGVdN4v_log1p(__m256d);
extern "C" __m256d _ZGVdN4v_expm1(__m256d);
#define VELMORA_PEN_SHADE_AVX2 1
#endif

namespace velmora {

namespace {

using LD = long double;

// Slots of the context's StampScratch used here (slot 0 is the stamp's
// column table).
constexpr int kCoveredSlot = 1;
constexpr int kDenCacheSlot = 2;
constexpr int kDenValueSlot = 7;

}  // namespace

void CloudStamp(RenderContext& ctx, const TPixeFloatBuffer* pen, PixeRect src, TPixeFloatBuffer* target, int mode,
                bool wrap, PixeRect dst) {
  if (dst.width > 0 && dst.height > 0 &&
      static_cast<int64_t>(dst.width) * dst.height > kMaxStampArea)
    return;
  if (ctx.CloudReferenceMode)
    StampPen(pen, src, target, mode, wrap, dst);
  else
    StampPenFast(ctx, pen, src, target, mode, wrap, dst);
}

long double Hypot(long double x, long double y) { return std::sqrt(x * x + y * y); }

int32_t StampSize(long double v) {
  if (!std::isfinite(v)) return 0;
  const LD r = RoundEven(v);
  if (r > INT32_MAX || r < INT32_MIN) return 0;
  return static_cast<int32_t>(r);
}

int64_t CloudStampCount(long double complex) {
  // Kept far from the int64 limits so that 2 x (N + 1) cannot overflow (a
  // count that large would never finish anyway).
  return std::min<int64_t>(RoundToInt64(complex * 20 * (complex * 10)), INT64_MAX / 8);
}

const long double* SizeCurveValues(RenderContext& ctx, int slot, const PowEaseOutCurve& curve,
                                   int64_t count) {
  constexpr int64_t kMaxKept = int64_t{1} << 17;
  if (count <= 0 || count > kMaxKept) return nullptr;
  SizeCurveCache& kept = ctx.SizeCurves[slot];
  // Known values stay where they are (the block only moves to grow).
  const bool known = kept.curve.SameAs(curve) && count <= kept.count;
  auto* values = static_cast<long double*>(
      kept.values.Get(ctx.Pool, sizeof(long double) * static_cast<size_t>(count)));
  if (!values) {
    kept.count = 0;
    return nullptr;
  }
  if (!known) {
    for (int64_t i = 0; i < count; ++i) values[i] = curve.At(static_cast<long double>(i));
    kept.curve = curve;
    kept.count = count;
  }
  return values;
}

void FillEllipse(TPixeFloatBuffer* b, int32_t cx, int32_t cy, bool wrap, FloatPixel colour,
                 int32_t ry, int32_t rx) {
  auto clamp32 = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  ForEachEllipseSpan(ry, rx, [&](int64_t dy, int64_t half) {
    PutFloatSpan(b, clamp32(cx - half), clamp32(cx + half), wrap, colour, clamp32(cy + dy));
  });
}

namespace {

// FractalPen's recursion, queuing its stamps in drawing order.
void FractalPenInto(RenderContext& ctx, const TPixeFloatBuffer* penA, const TPixeFloatBuffer* penB, StampBatch& batch,
                    int depth, long double s, long double oy, long double ox) {
  if (depth <= 0) return;
  const LD r = ctx.Rng.RandomReal();
  const int mode = (r >= 0.75L || s >= 0.7L) ? 9 : 8;
  const TPixeFloatBuffer* source = s > 0.25L ? penA : penB;
  const int32_t W = source->width, H = source->height;
  const int32_t w = StampSize(s * W);
  const int32_t h = StampSize(s * H);
  const int32_t left = RoundToInt32(ox * W + static_cast<LD>(W - w) / 2);
  const int32_t top = RoundToInt32(oy * H + static_cast<LD>(H - h) / 2);
  batch.Add(source, PixeRect{0, 0, W, H}, mode, false, PixeRect{left, top, w, h});

  const LD r1 = ctx.Rng.RandomReal(), r2 = ctx.Rng.RandomReal(), r3 = ctx.Rng.RandomReal();
  LD f = Hypot(r3 - 0.5L, r2 - 0.5L);
  s = s * (r1 / 4 + 0.75L);
  FractalPenInto(ctx, penA, penB, batch, depth - 1, s, (r3 - 0.5L) / (s * f) / 50,
                 (r2 - 0.5L) / (s * f) / 50);

  const LD r4 = ctx.Rng.RandomReal(), r5 = ctx.Rng.RandomReal(), r6 = ctx.Rng.RandomReal();
  f = Hypot(r6 - 0.5L, r5 - 0.5L);
  s = s * (r4 / 2 + 0.5L);
  FractalPenInto(ctx, penA, penB, batch, depth - 1, s, (r6 - 0.5L) / (s * f) / 60,
                 (r5 - 0.5L) / (s * f) / 60);
}

}  // namespace

void FractalPen(RenderContext& ctx, const TPixeFloatBuffer* penA, const TPixeFloatBuffer* penB,
                TPixeFloatBuffer* target, int depth, long double s, long double oy,
                long double ox) {
  // 2^depth - 1 stamps; deeper recursions stamp as they go.
  StampBatch batch(ctx, target, depth > 0 && depth < 20 ? (int64_t{1} << depth) - 1 : 0);
  FractalPenInto(ctx, penA, penB, batch, depth, s, oy, ox);
  batch.Run(ctx.Threads, [](int64_t, int64_t) {});
}

void MirrorColumns(TPixeFloatBuffer* b) {
  const int32_t W = b->width, H = b->height;
  if (W <= 0 || H <= 0) return;
  for (int32_t y = 0; y < H; ++y) {
    FloatPixel* row = b->data + static_cast<int64_t>(y) * W;
    // j = 0 exchanges with column W, which is outside: column 0 reads zeros.
    row[0] = FloatPixel{0, 0, 0, 0};
    for (int32_t j = 1; j <= W / 2; ++j) std::swap(row[j], row[W - j]);
  }
}

void MirrorRows(TPixeFloatBuffer* b) {
  const int32_t W = b->width, H = b->height;
  if (W <= 0 || H <= 0) return;
  std::fill_n(b->data, W, FloatPixel{0, 0, 0, 0});
  for (int32_t i = 1; i <= H / 2; ++i)
    std::swap_ranges(b->data + static_cast<int64_t>(i) * W,
                     b->data + static_cast<int64_t>(i + 1) * W,
                     b->data + static_cast<int64_t>(H - i) * W);
}

void ClipLow(RenderContext& ctx, TPixeFloatBuffer* b, long double f) {
  const int64_t n = static_cast<int64_t>(b->width) * b->height;
  if (b->width <= 0 || b->height <= 0) return;
  FloatPixel* p = b->data;
  ThreadPool& pool = ctx.Threads;
  const ScanRange range = ParallelScan(
      pool, n, ScanRange{p[0].r, p[0].r}, [&](ScanRange& r, int64_t i) { r.Take(p[i].r); },
      [](ScanRange& into, const ScanRange& from) { into.Merge(from); });
  const float mn = range.lo, mx = range.hi;
  const LD t = f * (static_cast<LD>(mx) - mn) + mn;
  const float tf = static_cast<float>(t);
  if (ctx.CloudReferenceMode) {
    for (int64_t i = 0; i < n; ++i)
      if (static_cast<LD>(p[i].r) < t) p[i].r = p[i].g = p[i].b = tf;
    return;
  }
  // r < t (extended) holds exactly when r <= below, the largest float under t.
  if (std::isnan(t) || t == -INFINITY) return;
  const float below = static_cast<LD>(tf) < t ? tf : std::nextafter(tf, -INFINITY);
  ForElements(pool, n, [&](int64_t from, int64_t to) {
    for (int64_t i = from; i < to; ++i)
      if (p[i].r <= below) p[i].r = p[i].g = p[i].b = tf;
  }, kInlineScanElements);
}

void NormalizeBuffer(RenderContext& ctx, TPixeFloatBuffer* b, bool withAlpha) {
  const int64_t n = static_cast<int64_t>(b->width) * b->height;
  if (b->width <= 0 || b->height <= 0) return;
  FloatPixel* p = b->data;
  ThreadPool& pool = ctx.Threads;
  struct Ranges {
    ScanRange rgb, a;
  };
  const Ranges ranges = ParallelScan(
      pool, n, Ranges{{p[0].r, p[0].r}, {p[0].a, p[0].a}},
      [&](Ranges& r, int64_t i) {
        r.rgb.Take(p[i].r);
        r.rgb.Take(p[i].g);
        r.rgb.Take(p[i].b);
        r.a.Take(p[i].a);
      },
      [](Ranges& into, const Ranges& from) {
        into.rgb.Merge(from.rgb);
        into.a.Merge(from.a);
      });
  const float lo = ranges.rgb.lo, hi = ranges.rgb.hi, loA = ranges.a.lo, hiA = ranges.a.hi;
  const LD offset = -static_cast<LD>(lo);
  const LD scale = (static_cast<LD>(hi) - lo) / 256;
  const LD aOffset = std::fabs(static_cast<LD>(loA));
  const LD aScale = (static_cast<LD>(hiA) - loA) / 256;
  if (scale <= 0) return;
  const bool alpha = withAlpha && aScale > 0;
  if (ctx.CloudReferenceMode) {
    for (int64_t i = 0; i < n; ++i) {
      p[i].r = static_cast<float>((p[i].r + offset) / scale);
      p[i].g = static_cast<float>((p[i].g + offset) / scale);
      p[i].b = static_cast<float>((p[i].b + offset) / scale);
      if (alpha) p[i].a = static_cast<float>((p[i].a + aOffset) / aScale);
    }
    return;
  }
  const LD offsets[4] = {offset, offset, offset, aOffset};
  const LD scales[4] = {scale, scale, scale, aScale};
  ForElements(pool, n, [&](int64_t from, int64_t to) {
    NormalizeRun(p + from, to - from, offsets, scales, alpha ? 15 : 7);
  }, kInlineCostlyElements);
}

// ---------------------------------------------------------------------------
// Pens

namespace {

// Step 5 of MakePens in one pass over R's rows on the pool: G gets each row
// of R reversed as MirrorColumns leaves a copy (G[0] = 0, G[j] = R[W - j]),
// B the rows of R in the order MirrorRows leaves them (row 0 zero, row i =
// row H - i).
void MirrorPensFrom(RenderContext& ctx, const TPixeFloatBuffer* r, TPixeFloatBuffer* g,
                    TPixeFloatBuffer* b) {
  const int32_t W = r->width, H = r->height;
  if (W <= 0 || H <= 0) return;
  ctx.Threads.For(H, RowGrain(W), [&](int64_t from, int64_t to, int) {
    for (int64_t y = from; y < to; ++y) {
      const FloatPixel* src = r->data + y * W;
      FloatPixel* gRow = g->data + y * W;
      gRow[0] = FloatPixel{0, 0, 0, 0};
      for (int32_t j = 1; j < W; ++j) gRow[j] = src[W - j];
      FloatPixel* bRow = b->data + (y == 0 ? 0 : H - y) * int64_t{W};
      if (y == 0)
        std::fill_n(b->data, W, FloatPixel{0, 0, 0, 0});
      else
        std::copy_n(src, W, bRow);
    }
  });
}

// Step 3 of MakePens, literally: every ring with FillEllipse, largest first.
void PenEllipsesLiteral(RenderContext& ctx, int32_t W, int32_t H) {
  for (int64_t n = W; n > 0; n -= 2) {
    const LD q = static_cast<LD>(W) / n;
    const int32_t ry = RoundToInt32(H / q);
    const LD level = 255 - 255 / q;
    const float e = static_cast<float>(PowEaseInOut(2, level, 255, 0, 255, 0));
    FillEllipse(ctx.Pens.CloudPen, W / 2, H / 2, false, FloatPixel{e, e, e, e}, ry / 2,
                static_cast<int32_t>(n / 2));
    const float e2 = static_cast<float>(PowEaseOut(2, level, 255, 0, 255, 0));
    FillEllipse(ctx.Pens.PenShade, W / 2, H / 2, false, FloatPixel{255, 255, 255, e2}, ry / 2,
                static_cast<int32_t>(n / 2));
    ctx.FrameProgress = 7 - RoundToInt32(7.0L / W * n);
    if (ctx.AbortRequested()) return;
  }
}

// Step 3 of MakePens in O(W x H): the rings are nested spans centred on the
// same column, so a pixel ends with the colour of the last ring (in drawing
// order) whose span on its row reaches it.  Walking the rings from the last
// to the first, each row remembers the half-width already settled and only
// the pixels beyond it take the ring's colour: every pixel is written once.
bool PenEllipsesFast(RenderContext& ctx, int32_t W, int32_t H) {
  auto* covered = static_cast<int64_t*>(
      ctx.StampScratch[kCoveredSlot].Get(ctx.Pool, sizeof(int64_t) * static_cast<size_t>(std::max(H, 1))));
  if (!covered) return false;
  std::fill_n(covered, H, int64_t{-1});
  const int64_t rings = (static_cast<int64_t>(W) + 1) / 2;  // n = W, W - 2, ... > 0
  const int64_t cx = W / 2, cy = H / 2;
  FloatPixel* cloud = ctx.Pens.CloudPen->data;
  FloatPixel* shade = ctx.Pens.PenShade->data;
  for (int64_t t = 0; t < rings; ++t) {
    const int64_t n = W - 2 * (rings - 1 - t);  // the last ring first
    const LD q = static_cast<LD>(W) / n;
    const int32_t ry = RoundToInt32(H / q);
    const LD level = 255 - 255 / q;
    const float e = static_cast<float>(PowEaseInOut(2, level, 255, 0, 255, 0));
    const float e2 = static_cast<float>(PowEaseOut(2, level, 255, 0, 255, 0));
    const FloatPixel ce{e, e, e, e}, se{255, 255, 255, e2};
    ForEachEllipseSpan(ry / 2, static_cast<int32_t>(n / 2), [&](int64_t dy, int64_t half) {
      const int64_t row = cy + dy;
      if (row < 0 || row >= H || half <= covered[row]) return;
      FloatPixel* crow = cloud + row * W;
      FloatPixel* srow = shade + row * W;
      auto put = [&](int64_t x0, int64_t x1) {  // inclusive, clipped
        x0 = std::max<int64_t>(x0, 0);
        x1 = std::min<int64_t>(x1, W - 1);
        for (int64_t x = x0; x <= x1; ++x) {
          crow[x] = ce;
          srow[x] = se;
        }
      };
      if (covered[row] < 0) {
        put(cx - half, cx + half);
      } else {
        put(cx - half, cx - covered[row] - 1);
        put(cx + covered[row] + 1, cx + half);
      }
      covered[row] = half;
    });
    // Progress as the literal order reports it (its last value included).
    ctx.FrameProgress = 7 - RoundToInt32(7.0L / W * (W - 2 * t));
    if (ctx.AbortRequested()) return true;
  }
  return true;
}

// SlopeEase(s, v, 255, 0, y1, 0) as Ease.cpp computes it, skipping the
// powers whose value is already known: a zero base gives the end value
// without the denominator, and a base of 255 is the denominator itself.
inline LD ShadeFast(LD s, float v, LD y1) {
  if (s >= 0) {
    const LD k = s + 1;
    const LD base = std::fabs(255 - static_cast<LD>(v));
    if (base == 0) return y1;  // y1 - 0 x y1 / den
    const LD num = std::pow(base, k);
    const LD den = base == 255 ? num : std::pow(255.0L, k);
    return y1 - num * y1 / den;
  }
  const LD k = std::fabs(s) + 1;
  const LD base = std::fabs(static_cast<LD>(v) - 0);
  if (base == 0) return 0;
  const LD num = std::pow(base, k);
  const LD den = base == 255 ? num : std::pow(255.0L, k);
  return 0 + num * y1 / den;
}

struct ShadeChannel {
  bool positive;  // s = d / div, else s = -d / div
  int divisor;    // div = diag / divisor (1: diag itself)
  LD y1;
};

// powl(255, k) for the exponents of one shading pass, remembered by the
// integer d^2 that determines k (k = sqrt(d^2) / div + 1 for a fixed div).
struct DenCache {
  static constexpr size_t kSize = 1 << 14;
  int64_t key[kSize];
  LD value[kSize];
  void Clear() { std::fill_n(key, kSize, int64_t{-1}); }
  LD Get(int64_t d2, LD k) {
    const size_t h = static_cast<size_t>((static_cast<uint64_t>(d2) * 0x9E3779B97F4A7C15ull) >> 50);
    if (key[h] != d2) {
      key[h] = d2;
      value[h] = std::pow(255.0L, k);
    }
    return value[h];
  }
};

// The exact s of a channel: d / div, or -d / div (which is -0 at d = 0).
inline LD ExactSlope(int64_t d2, bool positive, LD div) {
  const LD d = std::sqrt(static_cast<LD>(d2));
  return positive ? d / div : -d / div;
}

// One shaded channel, fast: SlopeEase(s, v, 255, 0, y1, 0) is
// y1 - y1 (b / 255)^k (ease-out, s >= 0) or y1 (b / 255)^k (ease-in), with
// b = |255 - v| or |v| and k = |s| + 1.  Computed in double, with a bound far
// above the difference to the extended computation (the powers' relative
// error grows with k |ln(b / 255)| <= 4 x 104); when the float rounding is
// not certain within it, the extended form of Ease.cpp decides.  A base of 0
// gives the end value; a base of 255 makes the quotient num x y1 / den with
// num = den, whose last bits only the extended powers decide (the power of
// 255 is shared by all pixels at the same distance).
// den(d2, k) gives powl(255, k).
template <typename Den>
inline float ShadeChannelFast(int64_t d2, bool positive, LD div, double divD, float v, LD y1,
                              Den&& den) {
  const bool out = positive || d2 == 0;  // -0 / div is an ease-out
  const double base = out ? std::fabs(255.0 - v) : std::fabs(static_cast<double>(v));
  if (base == 0) return static_cast<float>(out ? y1 : 0);
  // An ease-in with a base of 255 is 0 + den x y1 / den: within two units of
  // 2^-63 y1 of y1, which is a float, so the float is y1 whatever den is.
  // (The ease-out's y1 - den x y1 / den keeps those last bits: it needs den.)
  if (base == 255 && !out) return static_cast<float>(y1);
  if (base != 255) {
    const double k = std::sqrt(static_cast<double>(d2)) / divD + 1;
    const double y1d = static_cast<double>(y1);
    double r, e;
    if (out && v <= 127.5f) {
      // y1 - y1 (1 - v / 255)^k without the cancellation near v = 0; the
      // extended form is within a few units of 2^-56 y1 of the exact value.
      r = -y1d * std::expm1(k * std::log1p(-static_cast<double>(v) / 255.0));
      e = std::fabs(r) * 0x1p-36 + y1d * 0x1p-56;
    } else {
      const double x = y1d * std::pow(base / 255.0, k);
      r = out ? y1d - x : x;
      e = std::fabs(x) * 0x1p-36;
    }
    if (static_cast<float>(r - e) == static_cast<float>(r + e)) return static_cast<float>(r);
    return static_cast<float>(ShadeFast(ExactSlope(d2, positive, div), v, y1));
  }
  const LD s = ExactSlope(d2, positive, div);
  const LD p = den(d2, std::fabs(s) + 1);  // s + 1 = |s| + 1 for s >= 0
  const LD q = p * y1 / p;                 // num = den
  return static_cast<float>(out ? y1 - q : 0 + q);
}

// Whether ShadeChannelFast needs the power of 255 for this value.
inline bool NeedsDen(int64_t d2, bool positive, float v) {
  const bool out = positive || d2 == 0;
  const double base = out ? std::fabs(255.0 - v) : std::fabs(static_cast<double>(v));
  return base == 255 && out;
}

// Step 7 of MakePens for one pen: its four random points, then the
// per-pixel shading, which draws nothing.
struct PenShading {
  TPixeFloatBuffer* pen;
  const ShadeChannel* ch;
  int progressBase;
  int64_t px[4], py[4];
  LD div[4];
  double divD[4];

  void Draw(RandomGenerator& rng, LD diag) {
    for (int k = 0; k < 4; ++k) {
      px[k] = rng.Random(static_cast<uint32_t>(pen->width));
      py[k] = rng.Random(static_cast<uint32_t>(pen->height));
    }
    for (int c = 0; c < 4; ++c) {
      div[c] = ch[c].divisor == 1 ? diag : diag / ch[c].divisor;
      divD[c] = static_cast<double>(div[c]);
    }
  }

  // Calls fn(c, d2, v) for every channel of row y: d2 is the squared
  // distance to the channel's point, v the channel's value.
  template <typename Fn>
  void ForRow(int32_t y, Fn&& fn) const {
    const int32_t W = pen->width;
    FloatPixel* row = pen->data + static_cast<int64_t>(y) * W;
    for (int32_t x = 0; x < W; ++x) {
      float* v = &row[x].r;
      for (int c = 0; c < 4; ++c) {
        const int64_t dx = x - px[c], dy = y - py[c];
        fn(c, dx * dx + dy * dy, v[c]);
      }
    }
  }

  // Shades row y; den(c, d2, k) gives powl(255, k) for channel c.
  template <typename Den>
  void Row(int32_t y, Den&& den) const {
    ForRow(y, [&](int c, int64_t d2, float& v) {
      // d^2 is an exact integer, and sqrt of it is the extended Hypot.
      v = ShadeChannelFast(d2, ch[c].positive, div[c], divD[c], v, ch[c].y1,
                           [&](int64_t d, LD k) { return den(c, d, k); });
    });
  }

#ifdef VELMORA_PEN_SHADE_AVX2
  // Row(y, den) four pixels at a time: the powers of four pixels of one
  // channel come from the vector forms of pow, log1p and expm1 (glibc's
  // vector math library, within a few units of 2^-53 like the scalar ones,
  // far inside the bound), with the same bound and the same fallbacks as
  // ShadeChannelFast; bases of 0 and 255 and the lanes in doubt take
  // ShadeChannelFast itself.  Needs AVX2; widths and heights below 2^25 keep
  // d^2 exact in double.
  template <typename Den>
  __attribute__((target("avx2"))) void RowAvx2(int32_t y, Den&& den) const {
    const int32_t W = pen->width;
    FloatPixel* row = pen->data + static_cast<int64_t>(y) * W;
    int32_t x = 0;
    for (; x + 4 <= W; x += 4) {
      float* p = &row[x].r;
      __m128 v0 = _mm_loadu_ps(p), v1 = _mm_loadu_ps(p + 4), v2 = _mm_loadu_ps(p + 8),
             v3 = _mm_loadu_ps(p + 12);
      _MM_TRANSPOSE4_PS(v0, v1, v2, v3);
      __m128 chan[4] = {v0, v1, v2, v3};
      const __m256d xs = _mm256_setr_pd(x, x + 1, x + 2, x + 3);
      for (int c = 0; c < 4; ++c) chan[c] = ChannelAvx2(c, x, y, xs, chan[c], den);
      _MM_TRANSPOSE4_PS(chan[0], chan[1], chan[2], chan[3]);
      _mm_storeu_ps(p, chan[0]);
      _mm_storeu_ps(p + 4, chan[1]);
      _mm_storeu_ps(p + 8, chan[2]);
      _mm_storeu_ps(p + 12, chan[3]);
    }
    for (; x < W; ++x) {
      float* v = &row[x].r;
      for (int c = 0; c < 4; ++c) {
        const int64_t dx = x - px[c], dy = y - py[c];
        v[c] = ShadeChannelFast(dx * dx + dy * dy, ch[c].positive, div[c], divD[c], v[c],
                                ch[c].y1, [&](int64_t d, LD k) { return den(c, d, k); });
      }
    }
  }

  template <typename Den>
  __attribute__((target("avx2"))) __m128 ChannelAvx2(int c, int32_t x, int32_t y,
                                                     __m256d xs, __m128 vf, Den&& den) const {
    const __m256d v = _mm256_cvtps_pd(vf);
    const __m256d dx = _mm256_sub_pd(xs, _mm256_set1_pd(static_cast<double>(px[c])));
    const double dy = static_cast<double>(y - py[c]);
    const __m256d d2 = _mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_set1_pd(dy * dy));
    const __m256d k = _mm256_add_pd(
        _mm256_div_pd(_mm256_sqrt_pd(d2), _mm256_set1_pd(divD[c])), _mm256_set1_pd(1.0));
    const __m256d zero = _mm256_setzero_pd(), c255 = _mm256_set1_pd(255.0);
    const __m256d sign = _mm256_set1_pd(-0.0);
    // Ease-out lanes: a positive slope, or d = 0 (-0 / div is an ease-out).
    const __m256d out =
        ch[c].positive ? _mm256_castsi256_pd(_mm256_set1_epi64x(-1)) : _mm256_cmp_pd(d2, zero, _CMP_EQ_OQ);
    const __m256d base = _mm256_andnot_pd(
        sign, _mm256_blendv_pd(v, _mm256_sub_pd(c255, v), out));
    // A base of 0 gives the end value: y1 for an ease-out, 0 for an ease-in.
    const __m256d flat = _mm256_cmp_pd(base, zero, _CMP_EQ_OQ);
    const __m256d full = _mm256_cmp_pd(base, c255, _CMP_EQ_OQ);
    const __m256d special = _mm256_or_pd(flat, full);
    // An ease-in with a base of 255 gives y1 (see ShadeChannelFast).
    const __m256d fullIn = _mm256_andnot_pd(out, full);
    // y1 - y1 (1 - v / 255)^k through log1p and expm1 where ShadeChannelFast
    // takes that form, y1 (base / 255)^k elsewhere.
    const __m256d viaLog = _mm256_andnot_pd(
        special, _mm256_and_pd(out, _mm256_cmp_pd(v, _mm256_set1_pd(127.5), _CMP_LE_OQ)));
    const __m256d viaPow = _mm256_andnot_pd(special, _mm256_andnot_pd(viaLog, _mm256_castsi256_pd(_mm256_set1_epi64x(-1))));
    const int logLanes = _mm256_movemask_pd(viaLog), powLanes = _mm256_movemask_pd(viaPow);
    const double y1d = static_cast<double>(ch[c].y1);
    const __m256d y1v = _mm256_set1_pd(y1d);
    const int flatLanes = _mm256_movemask_pd(_mm256_or_pd(flat, fullIn));
    __m256d r = _mm256_and_pd(_mm256_or_pd(_mm256_and_pd(flat, out), fullIn), y1v), e = zero;
    if (logLanes) {
      // Lanes of the other kinds get a harmless argument.
      const __m256d arg = _mm256_blendv_pd(_mm256_set1_pd(-0.25), _mm256_div_pd(_mm256_xor_pd(v, sign), c255), viaLog);
      const __m256d t = _mm256_mul_pd(k, _ZGVdN4v_log1p(arg));
      const __m256d rl = _mm256_xor_pd(_mm256_mul_pd(y1v, _ZGVdN4v_expm1(t)), sign);
      const __m256d el = _mm256_add_pd(_mm256_mul_pd(_mm256_andnot_pd(sign, rl), _mm256_set1_pd(0x1p-36)),
                                       _mm256_set1_pd(y1d * 0x1p-56));
      r = _mm256_blendv_pd(r, rl, viaLog);
      e = _mm256_blendv_pd(e, el, viaLog);
    }
    if (powLanes) {
      const __m256d b = _mm256_blendv_pd(_mm256_set1_pd(127.5), base, viaPow);
      const __m256d xv = _mm256_mul_pd(y1v, _ZGVdN4vv_pow(_mm256_div_pd(b, c255), k));
      const __m256d rp = _mm256_blendv_pd(xv, _mm256_sub_pd(y1v, xv), out);
      const __m256d ep = _mm256_mul_pd(_mm256_andnot_pd(sign, xv), _mm256_set1_pd(0x1p-36));
      r = _mm256_blendv_pd(r, rp, viaPow);
      e = _mm256_blendv_pd(e, ep, viaPow);
    }
    // Sure where both ends round to the same float, bit for bit (not NaN).
    const __m128 lo = _mm256_cvtpd_ps(_mm256_sub_pd(r, e));
    const __m128 hi = _mm256_cvtpd_ps(_mm256_add_pd(r, e));
    const __m128 same = _mm_and_ps(_mm_cmpeq_ps(lo, hi),
                                   _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_castps_si128(lo), _mm_castps_si128(hi))));
    const int sure = _mm_movemask_ps(same) & (logLanes | powLanes | flatLanes);
    if (sure == 15) return lo;
    alignas(16) float res[4], in[4];
    _mm_store_ps(res, lo);
    _mm_store_ps(in, vf);
    for (int j = 0; j < 4; ++j) {
      if (sure & (1 << j)) continue;
      const int64_t ddx = x + j - px[c], ddy = y - py[c];
      res[j] = ShadeChannelFast(ddx * ddx + ddy * ddy, ch[c].positive, div[c], divD[c], in[j],
                                ch[c].y1, [&](int64_t d, LD kk) { return den(c, d, kk); });
    }
    return _mm_load_ps(res);
  }
#endif

  // Shades row y as SlopeEase defines it.
  void RowLiteral(int32_t y) const {
    ForRow(y, [&](int c, int64_t d2, float& v) {
      const LD d = std::sqrt(static_cast<LD>(d2));
      const LD s = ch[c].positive ? d / div[c] : -d / div[c];
      v = static_cast<float>(SlopeEase(s, v, 255, 0, ch[c].y1, 0));
    });
  }
};

// powl(255, k) for every squared distance d^2 at which the shading of the
// three pens needs it (ease-out pixels whose base is 255), computed on the
// pool before the shading.  Those are the pixels of the channels with a
// positive slope, whose divisor is 1 (k = sqrt(d^2) / diag + 1), and the
// point's own pixel of the others, where d = 0 makes k = 1 whatever the
// divisor: so d^2 alone decides k, and the powers of one pen size serve
// every seed.  The context keeps them (PenPowerCache): pens made again at
// the same size compute only the powers not met before.
struct DenTables {
  const int32_t* index = nullptr;  // span entries: position of d^2 in values + 1
  const LD* values = nullptr;
  LD Get(int64_t d2) const { return values[index[d2] - 1]; }
};

// Tables above this many entries are not built (the caches serve instead).
constexpr int64_t kMaxDenIndex = int64_t{1} << 24;

bool BuildDenTables(RenderContext& ctx, const PenShading (&pens)[3], LD diag, ThreadPool& pool,
                    DenTables& t) {
  const int32_t W = pens[0].pen->width, H = pens[0].pen->height;
  for (const PenShading& p : pens)
    for (int c = 0; c < 4; ++c)
      if (p.ch[c].positive && p.ch[c].divisor != 1) return false;  // k would need the divisor
  const int64_t n = static_cast<int64_t>(W - 1) * (W - 1) + static_cast<int64_t>(H - 1) * (H - 1) + 1;
  if (n > kMaxDenIndex) return false;
  PenPowerCache& cache = ctx.PenPowers;
  if (cache.width != W || cache.height != H || cache.diag != diag) cache.Free();
  auto* index = static_cast<int32_t*>(cache.index.Get(ctx.Pool, sizeof(int32_t) * static_cast<size_t>(n)));
  if (!index) {
    cache.Free();
    return false;
  }
  if (cache.width == 0) {
    ParallelFill(pool, index, n, int32_t{0});
    cache.width = W;
    cache.height = H;
    cache.diag = diag;
  }
  // 1. Mark the entries needed and not known yet (-1).  Only ease-outs need
  // them: every pixel of a channel with a positive slope, and the pixel at
  // the point itself (d = 0) of the others.
  auto mark = [&](const PenShading& p, int c, int64_t x, int64_t y) {
    const int64_t dx = x - p.px[c], dy = y - p.py[c];
    const int64_t d2 = dx * dx + dy * dy;
    if (!NeedsDen(d2, p.ch[c].positive, (&p.pen->data[y * W + x].r)[c])) return;
    std::atomic_ref<int32_t> entry(index[d2]);
    if (entry.load(std::memory_order_relaxed) == 0) entry.store(-1, std::memory_order_relaxed);
  };
  pool.For(3 * static_cast<int64_t>(H), 4, [&](int64_t b, int64_t e, int) {
    for (int64_t i = b; i < e; ++i) {
      const PenShading& p = pens[i / H];
      const int64_t y = i % H;
      for (int c = 0; c < 4; ++c) {
        if (p.ch[c].positive) {
          for (int64_t x = 0; x < W; ++x) mark(p, c, x, y);
        } else if (p.py[c] == y) {
          mark(p, c, p.px[c], y);
        }
      }
    }
  });
  // 2. Number the new ones after the known ones: counts per chunk, then
  // positions.
  constexpr int64_t kChunks = 256;
  const int64_t chunk = (n + kChunks - 1) / kChunks;
  int64_t first[kChunks + 1] = {};
  pool.For(kChunks, 1, [&](int64_t b, int64_t e, int) {
    for (int64_t c = b; c < e; ++c) {
      int64_t count = 0;
      for (int64_t i = c * chunk; i < std::min(n, (c + 1) * chunk); ++i) count += index[i] < 0;
      first[c + 1] = count;
    }
  });
  first[0] = cache.count;
  for (int64_t c = 0; c < kChunks; ++c) first[c + 1] += first[c];
  const int64_t total = first[kChunks], fresh = total - cache.count;
  // Room for them (the known powers moved along), and the d^2 of each new one.
  if (total > cache.capacity) {
    const int64_t capacity = std::max(total, cache.capacity + cache.capacity / 2);
    ScratchBlock grown;
    auto* to = static_cast<LD*>(grown.Get(ctx.Pool, sizeof(LD) * static_cast<size_t>(capacity)));
    if (!to) {
      cache.Free();
      return false;
    }
    if (cache.count > 0)
      std::memcpy(to, cache.values.Get(ctx.Pool, 0), sizeof(LD) * static_cast<size_t>(cache.count));
    cache.values.Swap(grown);
    cache.capacity = capacity;
  }
  auto* values = static_cast<LD*>(cache.values.Get(ctx.Pool, sizeof(LD) * static_cast<size_t>(std::max<int64_t>(cache.capacity, 1))));
  auto* entry = static_cast<int32_t*>(ctx.StampScratch[kDenValueSlot].Get(ctx.Pool, sizeof(int32_t) * static_cast<size_t>(std::max<int64_t>(fresh, 1))));
  if (!values || !entry) {
    cache.Free();
    return false;
  }
  pool.For(kChunks, 1, [&](int64_t b, int64_t e, int) {
    for (int64_t c = b; c < e; ++c) {
      int64_t at = first[c];
      for (int64_t i = c * chunk; i < std::min(n, (c + 1) * chunk); ++i) {
        if (index[i] >= 0) continue;
        entry[at - cache.count] = static_cast<int32_t>(i);
        index[i] = static_cast<int32_t>(++at);
      }
    }
  });
  // 3. The new powers, as DenCache computes them.
  const int64_t known = cache.count;
  pool.For(fresh, 64, [&](int64_t b, int64_t e, int) {
    for (int64_t j = b; j < e; ++j)
      values[known + j] = std::pow(255.0L, std::sqrt(static_cast<LD>(entry[j])) / diag + 1);
  });
  if (ctx.AbortRequested()) {
    // Chunks left undone: the powers are not all there.
    cache.Free();
    return false;
  }
  cache.count = total;
  t.index = index;
  t.values = values;
  return true;
}

void ShadeWarpPens(RenderContext& ctx, PenShading (&pens)[3], LD diag) {
  for (PenShading& p : pens) p.Draw(ctx.Rng, diag);
  ThreadPool& pool = ctx.Threads;
  const int32_t H = pens[0].pen->height;
  if (H <= 0 || pens[0].pen->width <= 0) return;
  const int threads = pool.Threads();
  DenTables tables;
  const bool useTables = !ctx.CloudReferenceMode && BuildDenTables(ctx, pens, diag, pool, tables);
  DenCache* caches =
      ctx.CloudReferenceMode || useTables
          ? nullptr
          : static_cast<DenCache*>(
                ctx.StampScratch[kDenCacheSlot].Get(ctx.Pool, sizeof(DenCache) * 12 * static_cast<size_t>(threads)));
  if (caches)
    for (int i = 0; i < 12 * threads; ++i) caches[i].Clear();
#ifdef VELMORA_PEN_SHADE_AVX2
  const bool vector = UseAvx2() && pens[0].pen->width < (1 << 25) && H < (1 << 25);
#endif
  pool.For(3 * static_cast<int64_t>(H), 4, [&](int64_t b, int64_t e, int worker) {
    for (int64_t i = b; i < e; ++i) {
      if (ctx.AbortRequested()) return;  // the pens are dropped afterwards
      const int k = static_cast<int>(i / H);
      const int32_t y = static_cast<int32_t>(i % H);
      const PenShading& pen = pens[k];
      if (useTables) {
        auto den = [&](int, int64_t d2, LD) { return tables.Get(d2); };
#ifdef VELMORA_PEN_SHADE_AVX2
        if (vector)
          pen.RowAvx2(y, den);
        else
#endif
          pen.Row(y, den);
      } else if (caches) {
        DenCache* own = caches + (worker * 3 + k) * 4;
        pen.Row(y, [&](int c, int64_t d2, LD kexp) { return own[c].Get(d2, kexp); });
      } else {
        pen.RowLiteral(y);
      }
      if (worker == 0)
        ctx.FrameProgress = pens[k].progressBase + RoundToInt32(static_cast<LD>(y) / H);
    }
  });
}

}  // namespace

const float* GreyCloudPen(RenderContext& ctx) {
  EnginePens& pens = ctx.Pens;
  const TPixeFloatBuffer* pen = pens.CloudPen;
  if (!pen || pen->width <= 0 || pen->height <= 0) return nullptr;
  const int64_t n = static_cast<int64_t>(pen->width) * pen->height;
  auto* pairs = static_cast<float*>(pens.GreyCloud.Get(ctx.Pool, sizeof(float) * 2 * static_cast<size_t>(n)));
  if (!pairs) return nullptr;
  if (pens.GreyCloudReady) return pairs;
  std::atomic<bool> grey{true};
  const FloatPixel* px = pen->data;
  ForElements(ctx.Threads, n, [&](int64_t from, int64_t to) {
    bool same = true;
    for (int64_t i = from; i < to; ++i) {
      // Bit patterns: -0 and NaN payloads must match too.
      uint32_t c[3];
      std::memcpy(c, &px[i].r, sizeof c);
      same &= c[0] == c[1] && c[1] == c[2];
      pairs[2 * i] = px[i].r;
      pairs[2 * i + 1] = px[i].a;
    }
    if (!same) grey.store(false, std::memory_order_relaxed);
  });
  // A pass cut short by an abort leaves pairs unwritten.
  if (ctx.AbortRequested() || !grey.load()) return nullptr;
  pens.GreyCloudReady = true;
  return pairs;
}

void MakePens(RenderContext& ctx, int32_t w, int32_t h) {
  w = std::max(w, 0);
  h = std::max(h, 0);
  ctx.Pens.GreyCloudReady = false;
  ++ctx.Pens.Generation;
  // 1. Create, or resize in the order of the slots.
  bool exist = true;
  for (int i = 0; i < kEnginePenCount; ++i) exist = exist && ctx.Pens.Slot(i);
  if (!exist) {
    ctx.Pens.Free();
    for (int i = 0; i < kEnginePenCount; ++i) {
      ctx.Pens.Slot(i) = NewPixeFloatBuffer(ctx.Pool, w, h);
      if (!ctx.Pens.Slot(i)) {
        ctx.Pens.Free();
        return;
      }
    }
  } else {
    for (int i = 0; i < kEnginePenCount; ++i) {
      if (!ResizePixeFloatBuffer(ctx.Pens.Slot(i), w, h)) {
        ctx.Pens.Free();
        return;
      }
    }
  }
  // 2. Clear (the mirrored pens are written whole in step 5, unless literally).
  const int cleared = ctx.CloudReferenceMode ? kEnginePenCount : 3;
  for (int i = 0; i < cleared; ++i) FillPixeFloatBuffer(ctx.Pens.Slot(i), FloatPixel{0, 0, 0, 0}, &ctx.Threads);
  // 3. Nested rings of CloudPen and PenShade.
  if (ctx.CloudReferenceMode || !PenEllipsesFast(ctx, w, h)) PenEllipsesLiteral(ctx, w, h);
  // 4. The fractal composition.
  FractalPen(ctx, ctx.Pens.CloudPen, ctx.Pens.PenShade, ctx.Pens.WarpPenR, 7, 1.0L, 0, 0);
  // 5. Mirrored copies (same size: the copies cannot fail).
  if (ctx.CloudReferenceMode) {
    CopyPixeFloatBuffer(ctx.Pens.WarpPenG, ctx.Pens.WarpPenR);
    MirrorColumns(ctx.Pens.WarpPenG);
    CopyPixeFloatBuffer(ctx.Pens.WarpPenB, ctx.Pens.WarpPenR);
    MirrorRows(ctx.Pens.WarpPenB);
  } else {
    MirrorPensFrom(ctx, ctx.Pens.WarpPenR, ctx.Pens.WarpPenG, ctx.Pens.WarpPenB);
  }
  // 6, 7. Shading, R then G then B.
  const LD diag = Hypot(ctx.Pens.WarpPenR->width, ctx.Pens.WarpPenR->height);
  static const ShadeChannel kR[4] = {
      {true, 1, 255}, {false, 3, 127}, {false, 2, 63}, {false, 1, 255}};
  static const ShadeChannel kG[4] = {
      {false, 2, 127}, {true, 1, 255}, {false, 3, 63}, {false, 1, 255}};
  static const ShadeChannel kB[4] = {
      {false, 3, 63}, {false, 2, 127}, {true, 1, 255}, {false, 1, 255}};
  PenShading shading[3] = {{ctx.Pens.WarpPenR, kR, 7, {}, {}, {}, {}},
                           {ctx.Pens.WarpPenG, kG, 8, {}, {}, {}, {}},
                           {ctx.Pens.WarpPenB, kB, 9, {}, {}, {}, {}}};
  ShadeWarpPens(ctx, shading, diag);
  // 8.
  ctx.FrameProgress = 100;
  // Pens cut short by an abort are incomplete: the next render makes them anew.
  if (ctx.AbortRequested()) ctx.Pens.Free();
  // What was found from the pens while they were being made (their spans as
  // stamp sources) is not what they hold now.
  ++ctx.Pens.Generation;
}

// ---------------------------------------------------------------------------
// base_pattern

void BuildBasePattern(RenderContext& ctx, const TCloudFrameParams& p, const RenderTarget& target) {
  TPixeFloatBuffer* bp = ctx.Frame.base_pattern;
  const TPixeFloatBuffer* pen = ctx.Pens.CloudPen;
  ctx.Layers.Base.valid = false;
  if (!bp) return;
  ctx.Rng.Seed(static_cast<uint32_t>(p.Seed));
  const int32_t W = bp->width, H = bp->height;
  const bool stamping = pen && pen->width == W && pen->height == H;
  // 2.
  int32_t sw = StampSize(W * p.MaxRadius);
  int32_t sh = StampSize(H * p.MaxRadius);
  // 3.
  const int64_t N = CloudStampCount(p.Complex);
  const PixelOffset off = LayerOffset(target, p, p.cx, p.cy);
  const int32_t offX = off.x, offY = off.y;
  const LD halfDiag = Hypot(static_cast<LD>(W) / 2, static_cast<LD>(H) / 2);
  // 4. The draws run in order here; the stamps are applied afterwards, band
  // by band on the pool.
  StampBatch batch(ctx, stamping ? bp : nullptr, N + 2);
  // 1. Opaque black: the batch's bands start from it.
  batch.StartFrom(bp, FloatPixel{0, 0, 0, 255});
  // base_pattern starts grey, and the cloud pen is grey.
  if (stamping && !ctx.CloudReferenceMode)
    if (const float* pairs = GreyCloudPen(ctx)) batch.UseGreyPen(pen, pairs);
  const PowEaseOutCurve ease(4, p.Complex * 100, 0, p.MinRadius, p.MaxRadius);
  const LD* eases = SizeCurveValues(ctx, 0, ease, N + 2);
  int progress = 10;
  for (int64_t i = 0; i <= N + 1; ++i) {
    int32_t x = WrapAdd32(static_cast<int32_t>(ctx.Rng.Random(static_cast<uint32_t>(W))), offX);
    int32_t y = WrapAdd32(static_cast<int32_t>(ctx.Rng.Random(static_cast<uint32_t>(H))), offY);
    if (p.Center > 0) {
      const int32_t mx = WrapAdd32(x, sw / 2);
      const int32_t my = WrapAdd32(y, sh / 2);
      LD dx = static_cast<LD>(mx) - W / 2;
      LD dy = static_cast<LD>(my) - H / 2;
      const LD dist = Hypot(dx, dy);
      if (dist > 0) {
        dx = dx / dist;
        dy = dy / dist;
      }
      LD target = (1 - p.Center) * dist;
      if (p.CenterReverse) target = target + p.Center * halfDiag;
      x = WrapSub32(RoundToInt32(dx * target + static_cast<LD>(W) / 2), sw / 2);
      y = WrapSub32(RoundToInt32(dy * target + static_cast<LD>(H) / 2), sh / 2);
    }
    int mode;
    if (p.ClipBrightness) {
      mode = (i % 2 == 0) ? 12 : 13;
    } else {
      static const int kModes[4] = {5, 6, 0, 1};
      mode = kModes[i % 4];
    }
    if (!ctx.Work.Charge(static_cast<LD>(std::max(sw, 0)) * std::max(sh, 0) + 1, "cloud stamps"))
      break;
    batch.Add(pen, PixeRect{0, 0, W, H}, mode, true, PixeRect{x, y, sw, sh});
    const LD g = eases ? eases[i] : ease.At(static_cast<LD>(i));
    sw = StampSize((1 - ctx.Rng.RandomReal() * p.Noise) * g * W);
    sh = StampSize((1 - ctx.Rng.RandomReal() * p.Noise) * g * H);
    progress = RoundToInt32(20.0L / (N + 1) * i) + 10;
    if (!batch.Queued()) {
      ctx.FrameProgress = progress;
      if (ctx.AbortRequested()) return;
    }
  }
  batch.RunWithProgress(10, progress);
  // 5, 6.
  ClipLow(ctx, bp, 1 - p.Coverrate);
  NormalizeBuffer(ctx, bp, false);
  // No cloud amount is no cloud: the clip has flattened the pattern, which
  // the normalisation leaves at its raw level; it goes to 0 instead.
  if (p.Coverrate <= 0) {
    FloatPixel* px = bp->data;
    ForElements(ctx.Threads, static_cast<int64_t>(bp->width) * bp->height, [&](int64_t from, int64_t to) {
      for (int64_t i = from; i < to; ++i) px[i].r = px[i].g = px[i].b = 0;
    });
  }
}

}  // namespace velmora
