#include "render/Blur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/Ease.h"
#include "render/MemoryHunger.h"
#include "base/Numeric.h"
#include "render/ParallelPixels.h"
#include "render/Render.h"

#if defined(__GNUC__) && defined(__x86_64__)
#define VELMORA_BLUR_AVX2 1
#include <immintrin.h>
#endif

namespace velmora {

namespace {

using LD = long double;

constexpr LD kPi = 3.141592653589793238462643383279502884L;

// Radii from here on would overflow the squares of the ball test (so the
// rejection loop could never end); such brushes, like non-numbers, give no
// offset.
constexpr LD kRadiusLimit = 0x1p8000L;

LD Radians(LD degrees) { return degrees * kPi / 180; }

// The rounded offset as a shift s in 0..size-1, so that position p reads
// cell (p - s) mod size.  -1 when the offset is not finite: every position
// then reads cell 0, as the bilinear sample does.
int32_t WrappedShift(LD offset, int32_t size) {
  if (!std::isfinite(offset)) return -1;
  LD m = std::fmod(RoundEven(offset), static_cast<LD>(size));
  if (m < 0) m += size;
  int32_t s = static_cast<int32_t>(m);
  if (s >= size) s = 0;
  return s;
}

inline void AddPixel(SumPixel& s, PackedPixel p) {
  // 32-bit sums wrap instead of overflowing (only reachable with millions of
  // samples).
  s.r = static_cast<int32_t>(static_cast<uint32_t>(s.r) + PixR(p));
  s.g = static_cast<int32_t>(static_cast<uint32_t>(s.g) + PixG(p));
  s.b = static_cast<int32_t>(static_cast<uint32_t>(s.b) + PixB(p));
  s.a = static_cast<int32_t>(static_cast<uint32_t>(s.a) + PixA(p));
  s.n = WrapAdd32(s.n, 1);
}

// The interpolation weights of one axis of a bilinear pass.  Position p reads
// cells lo[p] and hi[p] = lo[p] + 1 (wrapped) with the fraction of class
// cls[p]; positions share a handful of distinct fractions (one per binary
// magnitude of p - offset, rarely more than a dozen), so each is prepared
// once.
//
// A channel blend is truncate(f * a + (1 - f) * b) in extended precision,
// which is b + floor(f * (a - b)) unless f * (a - b) lies at or next to an
// integer.  step[c][a - b + 255] holds that floor, or kNearStep where the
// extended evaluation must decide.  Equal channels (a == b) give a or a - 1
// depending on how the two products round; down[c][a] holds that correction,
// taken from the extended evaluation itself.
constexpr uint32_t kMaxClasses = 64;
constexpr int32_t kNearStep = INT32_MIN;

struct AxisPlan {
  int32_t* lo;
  int32_t* hi;
  int32_t* cls;
  int32_t* step;     // kMaxClasses x 512
  int32_t* down;     // kMaxClasses x 256
  LD* f;             // kMaxClasses
  LD* w;             // kMaxClasses: 1 - f
  uint8_t* plain;    // kMaxClasses: the fixed-point blend below is exact
  int32_t* fixed;    // kMaxClasses: the fraction in units of 2^-23
  int32_t* fixedAt;  // per position: fixed[cls[p]]
  uint8_t* plainAt;  // per position: plain[cls[p]]
  uint32_t count;
  int32_t shift;  // lo[p] = (p + shift) mod size for every p, or -1
};

// A product f * d that the double evaluation places further than this from an
// integer floors like the extended blend: the two lie within 1e-13 of each
// other for channel values up to 255.
constexpr double kLerpGuard = 1e-9;

inline uint32_t ExactLerp(LD f, LD w, uint32_t a, uint32_t b) {
  const LD v = f * static_cast<LD>(a) + w * static_cast<LD>(b);
  return static_cast<uint32_t>(static_cast<int64_t>(v));
}

void InitClass(AxisPlan& plan, uint32_t c, LD f) {
  plan.f[c] = f;
  plan.w[c] = 1 - f;
  int32_t* step = plan.step + c * 512;
  int32_t* down = plan.down + c * 256;
  const double fd = static_cast<double>(f);
  for (int d = -255; d <= 255; ++d) {
    const double v = fd * d;
    const double fl = std::floor(v);
    const double frac = v - fl;
    // f = 0 blends to b exactly: no difference is near.
    const bool near = d != 0 && f != 0 && (frac < kLerpGuard || frac > 1.0 - kLerpGuard);
    step[d + 255] = near ? kNearStep : static_cast<int32_t>(fl);
  }
  step[511] = 0;
  // Most fractions need neither the extended evaluation nor the correction,
  // and their steps are what the fixed-point product (F * d) >> 23 gives with
  // F = f in units of 2^-23; the vector kernels use that for such classes.
  // Whether it holds is checked here for every difference.
  const int32_t fixed = static_cast<int32_t>(std::nearbyint(fd * 0x1p23));
  plan.fixed[c] = fixed;
  bool plain = true;
  for (int d = -255; d <= 255; ++d)
    plain = plain && step[d + 255] != kNearStep && ((fixed * d) >> 23) == step[d + 255];
  for (uint32_t a = 0; a < 256; ++a) {
    down[a] = static_cast<int32_t>(a - ExactLerp(plan.f[c], plan.w[c], a, a));
    plain = plain && down[a] == 0;
  }
  plan.plain[c] = plain ? 1 : 0;
}

inline uint32_t LerpChannel(const AxisPlan& plan, uint32_t c, uint32_t a, uint32_t b) {
  const int32_t d = static_cast<int32_t>(a) - static_cast<int32_t>(b);
  const int32_t s = plan.step[c * 512 + static_cast<uint32_t>(d + 255)];
  if (s == kNearStep) [[unlikely]]
    return ExactLerp(plan.f[c], plan.w[c], a, b);
  const int32_t same = d == 0 ? plan.down[c * 256 + a] : 0;
  return static_cast<uint32_t>(static_cast<int32_t>(b) + s - same);
}

// InterpolateColor(a, b, f) of render/Pixe.h for fraction class c.
inline PackedPixel LerpPixel(const AxisPlan& plan, uint32_t c, PackedPixel a, PackedPixel b) {
  if (IsTransparent(a)) a = (b & 0x00FFFFFFu) | (a & 0xFF000000u);
  if (IsTransparent(b)) b = (a & 0x00FFFFFFu) | (b & 0xFF000000u);
  return LerpChannel(plan, c, PixR(a), PixR(b)) | (LerpChannel(plan, c, PixG(a), PixG(b)) << 8) |
         (LerpChannel(plan, c, PixB(a), PixB(b)) << 16) |
         (LerpChannel(plan, c, PixA(a), PixA(b)) << 24);
}

// Fills the plan for an axis of the given size read at p - offset.  False
// when the positions need more distinct fractions than the plan can hold.
bool PlanAxis(AxisPlan& plan, int32_t size, LD offset) {
  plan.count = 0;
  plan.shift = -1;
  uint32_t last = 0;
  for (int32_t p = 0; p < size; ++p) {
    int32_t cell;
    LD frac;
    WrappedCell(static_cast<LD>(p) - offset, size, cell, frac);
    plan.lo[p] = cell;
    plan.hi[p] = cell + 1 == size ? 0 : cell + 1;
    uint32_t idx = plan.count;
    if (plan.count > 0 && plan.f[last] == frac) [[likely]] {
      idx = last;
    } else {
      for (uint32_t i = 0; i < plan.count; ++i) {
        if (plan.f[i] == frac) {
          idx = i;
          break;
        }
      }
      if (idx == plan.count) {
        if (plan.count == kMaxClasses) return false;
        InitClass(plan, plan.count++, frac);
      }
    }
    plan.cls[p] = static_cast<int32_t>(idx);
    plan.fixedAt[p] = plan.fixed[idx];
    plan.plainAt[p] = plan.plain[idx];
    last = idx;
  }
  // Usually every position reads its cells at one wrapped distance.
  int32_t shift = size > 0 ? plan.lo[0] : 0;
  for (int32_t p = 0; p < size && shift >= 0; ++p) {
    const int32_t expect = p + plan.lo[0] >= size ? p + plan.lo[0] - size : p + plan.lo[0];
    if (plan.lo[p] != expect) shift = -1;
  }
  plan.shift = shift;
  return true;
}

// Row kernels of a bilinear pass, each from element `from` on.  Along x:
// out[i] blends in[hi[i]] against in[lo[i]] with the fraction of column i.
// Along y: out[i] blends bottom[i] against top[i] with one fraction class.
void LerpRowX(const AxisPlan& plan, const PackedPixel* in, PackedPixel* out, int32_t n,
              int32_t from) {
  for (int32_t i = from; i < n; ++i)
    out[i] = LerpPixel(plan, static_cast<uint32_t>(plan.cls[i]), in[plan.hi[i]], in[plan.lo[i]]);
}

void LerpRowY(const AxisPlan& plan, uint32_t c, const PackedPixel* bottom, const PackedPixel* top,
              PackedPixel* out, int32_t n, int32_t from) {
  for (int32_t i = from; i < n; ++i) out[i] = LerpPixel(plan, c, bottom[i], top[i]);
}

#ifdef VELMORA_BLUR_AVX2

// The same blends for four pixels of plain fraction classes, without tables:
// a channel is b + ((F * (a - b)) >> 23), two pixels' channels per vector.
// `fixed` holds the four pixels' F.
__attribute__((target("avx2"))) inline __m128i Lerp4Plain(__m128i a, __m128i b, __m128i fixed) {
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  const __m128i zero = _mm_setzero_si128();
  // Transparent pixels take the other's colour (their alpha stays 0).
  a = _mm_blendv_epi8(a, _mm_and_si128(b, rgb), _mm_cmpeq_epi32(_mm_and_si128(a, alpha), zero));
  b = _mm_blendv_epi8(b, _mm_and_si128(a, rgb), _mm_cmpeq_epi32(_mm_and_si128(b, alpha), zero));
  const __m256i f256 = _mm256_castsi128_si256(fixed);
  __m256i res[2];
  for (int half = 0; half < 2; ++half) {
    const __m256i av = _mm256_cvtepu8_epi32(half == 0 ? a : _mm_srli_si128(a, 8));
    const __m256i bv = _mm256_cvtepu8_epi32(half == 0 ? b : _mm_srli_si128(b, 8));
    const __m256i spread = half == 0 ? _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1)
                                     : _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
    const __m256i fv = _mm256_permutevar8x32_epi32(f256, spread);
    const __m256i step = _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(av, bv), fv), 23);
    res[half] = _mm256_add_epi32(bv, step);
  }
  // Lanes hold pixels 0 and 1 (first vector), 2 and 3 (second); pack the
  // channels back into bytes in pixel order.
  const __m256i p16 = _mm256_packus_epi32(res[0], res[1]);
  const __m256i p8 = _mm256_packus_epi16(p16, p16);
  return _mm_unpacklo_epi32(_mm256_castsi256_si128(p8), _mm256_extracti128_si256(p8, 1));
}

// Along x for an axis with one wrapped distance: `ext` holds the row rotated
// so that position i reads ext[i + 1] against ext[i].
__attribute__((target("avx2"))) int32_t LerpRowXAvx2(const AxisPlan& plan, const PackedPixel* in,
                                                     const PackedPixel* ext, PackedPixel* out,
                                                     int32_t n) {
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    uint32_t plain;
    std::memcpy(&plain, plan.plainAt + i, 4);
    if (plain != 0x01010101u) [[unlikely]] {
      LerpRowX(plan, in, out, i + 4, i);
      continue;
    }
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ext + i + 1));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ext + i));
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plan.fixedAt + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Lerp4Plain(a, b, f));
  }
  return i;
}

__attribute__((target("avx2"))) int32_t LerpRowYAvx2(const AxisPlan& plan, uint32_t c,
                                                     const PackedPixel* bottom,
                                                     const PackedPixel* top, PackedPixel* out,
                                                     int32_t n) {
  if (!plan.plain[c]) return 0;
  const __m128i f = _mm_set1_epi32(plan.fixed[c]);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Lerp4Plain(a, b, f));
  }
  return i;
}

// Adds n pixels to n sums (AddPixel for each), four channels per vector.
__attribute__((target("avx2"))) void AccumulateRowAvx2(SumPixel* out, const PackedPixel* in,
                                                       int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const __m128i px = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(in[i])));
    __m128i* sums = reinterpret_cast<__m128i*>(&out[i].r);
    _mm_storeu_si128(sums, _mm_add_epi32(_mm_loadu_si128(sums), px));
    out[i].n = WrapAdd32(out[i].n, 1);
  }
}

#endif

bool UseAvx2(const RenderContext& ctx) {
#ifdef VELMORA_BLUR_AVX2
  return ctx.BlurVectorKernels && __builtin_cpu_supports("avx2");
#else
  (void)ctx;
  return false;
#endif
}

void AccumulateRow(SumPixel* out, const PackedPixel* in, int32_t n, bool avx2) {
#ifdef VELMORA_BLUR_AVX2
  if (avx2) {
    AccumulateRowAvx2(out, in, n);
    return;
  }
#endif
  (void)avx2;
  for (int32_t i = 0; i < n; ++i) AddPixel(out[i], in[i]);
}

// The accumulator at w x h, zeroed; nullptr when it cannot be had.  It stays
// in the context's BlurWorkspace, as does the passes' scratch block, and is
// replaced only when the size changes, so repeated blurs at one size make no
// pool requests at all.
TPixeSumBuffer* AcquireAccumulator(RenderContext& ctx, int32_t w, int32_t h) {
  BlurWorkspace& ws = ctx.Blur;
  if (ws.acc == nullptr || ws.acc->width != w || ws.acc->height != h) {
    FreePixeSumBuffer(ws.acc);
    ws.acc = NewPixeSumBuffer(ctx.Pool, w, h);
    if (ws.acc == nullptr) return nullptr;
  }
  ParallelFill(ctx.Threads, ws.acc->data, static_cast<int64_t>(w) * h, SumPixel{0, 0, 0, 0, 0});
  return ws.acc;
}

void* AcquireScratch(RenderContext& ctx, size_t bytes) {
  return ctx.Blur.scratch.Get(ctx.Pool, bytes);
}

// Scratch of one bilinear pass, carved from the workspace's scratch block.
struct PassScratch {
  // line and ext are per thread: `threads` of each.
  PassScratch(RenderContext& ctx, int32_t w, int32_t h, int threads) {
    const size_t W = static_cast<size_t>(w);
    const size_t H = static_cast<size_t>(h);
    size_t total = 0;
    auto reserve = [&total](size_t bytes) {
      const size_t at = total;
      total += (bytes + 63) & ~static_cast<size_t>(63);
      return at;
    };
    const size_t oRows = reserve(W * H * sizeof(PackedPixel));
    const size_t T = static_cast<size_t>(threads);
    lineStride = W;
    extStride = (W + 1 + 15) & ~static_cast<size_t>(15);
    const size_t oLine = reserve(T * W * sizeof(PackedPixel));
    const size_t oExt = reserve(T * extStride * sizeof(PackedPixel));
    size_t ox[11], oy[11];
    for (auto [o, n] : {std::pair{ox, W}, std::pair{oy, H}}) {
      o[0] = reserve(n * sizeof(int32_t));                  // lo
      o[1] = reserve(n * sizeof(int32_t));                  // hi
      o[2] = reserve(n * sizeof(int32_t));                  // cls
      o[3] = reserve(kMaxClasses * 512 * sizeof(int32_t));  // step
      o[4] = reserve(kMaxClasses * 256 * sizeof(int32_t));  // down
      o[5] = reserve(kMaxClasses * sizeof(LD));             // f
      o[6] = reserve(kMaxClasses * sizeof(LD));             // w
      o[7] = reserve(kMaxClasses);                          // plain
      o[8] = reserve(kMaxClasses * sizeof(int32_t));        // fixed
      o[9] = reserve(n * sizeof(int32_t));                  // fixedAt
      o[10] = reserve(n);                                   // plainAt
    }
    total += 64;                                         // room to align the start
    if (total > static_cast<size_t>(INT32_MAX)) return;  // beyond the pool's block sizes
    void* block = AcquireScratch(ctx, total);
    if (block == nullptr) return;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + 63) & ~static_cast<uintptr_t>(63);
    uint8_t* base = reinterpret_cast<uint8_t*>(start);
    rows = reinterpret_cast<PackedPixel*>(base + oRows);
    line = reinterpret_cast<PackedPixel*>(base + oLine);
    ext = reinterpret_cast<PackedPixel*>(base + oExt);
    for (auto [plan, o] : {std::pair{&x, ox}, std::pair{&y, oy}}) {
      *plan = {reinterpret_cast<int32_t*>(base + o[0]),
               reinterpret_cast<int32_t*>(base + o[1]),
               reinterpret_cast<int32_t*>(base + o[2]),
               reinterpret_cast<int32_t*>(base + o[3]),
               reinterpret_cast<int32_t*>(base + o[4]),
               reinterpret_cast<LD*>(base + o[5]),
               reinterpret_cast<LD*>(base + o[6]),
               base + o[7],
               reinterpret_cast<int32_t*>(base + o[8]),
               reinterpret_cast<int32_t*>(base + o[9]),
               base + o[10],
               0,
               -1};
    }
  }

  bool ok() const { return rows != nullptr; }

  PackedPixel* rows = nullptr;  // source rows interpolated along x
  PackedPixel* line = nullptr;  // one output row per thread
  PackedPixel* ext = nullptr;   // one source row rotated, plus one pixel, per thread
  size_t lineStride = 0, extStride = 0;
  AxisPlan x{};
  AxisPlan y{};
};

// The per-pixel form of a bilinear pass, used when the scratch memory cannot
// be had.
void AccumulateBilinearPerPixel(const TPixeBuffer* src, TPixeSumBuffer* acc, LD x, LD y) {
  const int32_t w = src->width;
  const int32_t h = src->height;
  for (int32_t py = 0; py < h; ++py) {
    SumPixel* out = acc->data + static_cast<size_t>(py) * static_cast<size_t>(w);
    const LD sy = static_cast<LD>(py) - y;
    for (int32_t px = 0; px < w; ++px)
      AddPixel(out[px], BilinearSample(src, sy, static_cast<LD>(px) - x));
  }
}

}  // namespace

BlurOffset BlurSampleOffset(RandomGenerator& rng, int64_t m, int64_t count, long double R, long double curve,
                            long double rotX, long double rotY, long double rotZ) {
  if (!(R >= 0.0001L) || !(R < kRadiusLimit)) return {0, 0, 0};
  LD x, y, z;
  do {
    x = R * rng.RandomReal() * 2 - R;
    y = R * rng.RandomReal() * 2 - R;
    z = R * rng.RandomReal() * 2 - R;
  } while (!(std::sqrt(x * x + y * y + z * z) <= R));

  // The length factor runs from the centre (sample 1) to the rim; a single
  // sample keeps its full length instead of dividing by zero.
  const LD q =
      count == 1 ? 1.0L : PowEaseIn(1, static_cast<LD>(m), static_cast<LD>(count), 1, 1, 0);
  const LD l = PowEaseIn(1, curve, 100, 0, q, 1);
  x = l * x;
  y = l * y;
  z = l * z;

  const LD ax = Radians(rotX);
  const LD cx = std::cos(ax), sx = std::sin(ax);
  const LD y1 = y * cx - z * sx;
  const LD z1 = y * sx + z * cx;

  const LD ay = Radians(rotY);
  const LD cy = std::cos(ay), sy = std::sin(ay);
  const LD z2 = z1 * cy - x * sy;
  const LD x2 = z1 * sy + x * cy;

  const LD az = Radians(rotZ);
  const LD cz = std::cos(az), sz = std::sin(az);
  const LD x3 = x2 * cz - y1 * sz;
  const LD y3 = x2 * sz + y1 * cz;
  return {x3, y3, z2};
}

void BlurAccumulateDraft(RenderContext& ctx, const TPixeBuffer* src, TPixeSumBuffer* acc, long double x,
                         long double y) {
  const int32_t w = src->width;
  const int32_t h = src->height;
  if (w <= 0 || h <= 0) return;
  const int32_t sx = WrappedShift(x, w);
  const int32_t sy = WrappedShift(y, h);
  const bool avx2 = UseAvx2(ctx);
  ctx.Threads.For(h, RowGrain(w), [&](int64_t from, int64_t to, int) {
    for (int32_t py = static_cast<int32_t>(from); py < to; ++py) {
      int32_t row = 0;
      if (sy >= 0) row = py >= sy ? py - sy : py - sy + h;
      const PackedPixel* in = src->data + static_cast<size_t>(row) * static_cast<size_t>(w);
      SumPixel* out = acc->data + static_cast<size_t>(py) * static_cast<size_t>(w);
      if (sx < 0) {
        for (int32_t px = 0; px < w; ++px) AddPixel(out[px], in[0]);
        continue;
      }
      // Columns 0..sx-1 read the right end of the row, the rest its start.
      AccumulateRow(out, in + (w - sx), sx, avx2);
      AccumulateRow(out + sx, in, w - sx, avx2);
    }
  });
}

void BlurAccumulateBilinear(RenderContext& ctx, const TPixeBuffer* src, TPixeSumBuffer* acc, long double x,
                            long double y) {
  const int32_t w = src->width;
  const int32_t h = src->height;
  if (w <= 0 || h <= 0) return;
  ThreadPool& pool = ctx.Threads;
  PassScratch s(ctx, w, h, pool.Threads());
  if (!s.ok()) {
    AccumulateBilinearPerPixel(src, acc, x, y);
    return;
  }
  if (!PlanAxis(s.x, w, x) || !PlanAxis(s.y, h, y)) {
    AccumulateBilinearPerPixel(src, acc, x, y);
    return;
  }
  const size_t W = static_cast<size_t>(w);
  const bool avx2 = UseAvx2(ctx);

  // Along x: every source row interpolated at each output column.  Rows are
  // shared by neighbouring output rows (one's lower row is the next one's
  // upper row), so this halves the work of sampling each pixel on its own.
  const int64_t grain = RowGrain(w);
  pool.For(h, grain, [&](int64_t from, int64_t to, int worker) {
    [[maybe_unused]] PackedPixel* ext = s.ext + static_cast<size_t>(worker) * s.extStride;
    for (int32_t r = static_cast<int32_t>(from); r < to; ++r) {
      const PackedPixel* in = src->data + static_cast<size_t>(r) * W;
      PackedPixel* out = s.rows + static_cast<size_t>(r) * W;
      int32_t done = 0;
#ifdef VELMORA_BLUR_AVX2
      if (avx2 && s.x.shift >= 0) {
        const size_t k = static_cast<size_t>(s.x.shift);
        std::memcpy(ext, in + k, (W - k) * sizeof(PackedPixel));
        std::memcpy(ext + (W - k), in, (k + 1) * sizeof(PackedPixel));
        done = LerpRowXAvx2(s.x, in, ext, out, w);
      }
#endif
      LerpRowX(s.x, in, out, w, done);
    }
  });
  // Along y: the lower row (cell + 1) weighted by the fraction against the
  // upper row, then added to the sums.
  pool.For(h, grain, [&](int64_t from, int64_t to, int worker) {
    PackedPixel* line = s.line + static_cast<size_t>(worker) * s.lineStride;
    for (int32_t py = static_cast<int32_t>(from); py < to; ++py) {
      const uint32_t c = static_cast<uint32_t>(s.y.cls[py]);
      const PackedPixel* top = s.rows + static_cast<size_t>(s.y.lo[py]) * W;
      const PackedPixel* bottom = s.rows + static_cast<size_t>(s.y.hi[py]) * W;
      int32_t done = 0;
#ifdef VELMORA_BLUR_AVX2
      if (avx2) done = LerpRowYAvx2(s.y, c, bottom, top, line, w);
#endif
      LerpRowY(s.y, c, bottom, top, line, w, done);
      AccumulateRow(acc->data + static_cast<size_t>(py) * W, line, w, avx2);
    }
  });
}

void BlurResolve(RenderContext& ctx, const TPixeSumBuffer* acc, TPixeBuffer* dst) {
  const size_t n = static_cast<size_t>(acc->width) * static_cast<size_t>(acc->height);
  auto limit = [](int32_t v) { return v >= 255 ? 255u : static_cast<uint32_t>(v) & 0xFFu; };
  ForElements(ctx.Threads, static_cast<int64_t>(n), [&](int64_t from, int64_t to) {
    for (int64_t i = from; i < to; ++i) {
      const SumPixel& s = acc->data[i];
      if (s.n <= 0) {
        dst->data[i] = 0;
        continue;
      }
      dst->data[i] =
          MakePixel(limit(s.r / s.n), limit(s.g / s.n), limit(s.b / s.n), limit(s.a / s.n));
    }
  });
}

bool ForEachBlurSample(RenderContext& ctx, const TCloudFrameParams& params, int32_t w, int32_t h,
                       const std::function<void(LD x, LD y)>& pass) {
  const LD ratio = static_cast<LD>(h) / static_cast<LD>(w);
  const int64_t count = RoundToInt64(params.BlurSamples);
  const LD R = params.BlurRadius * static_cast<LD>(w);
  ctx.PixeProgress = 0;
  for (int64_t m = 0; m < count; ++m) {
    // A pass costs its pixels and a fixed share for the offset.
    if (!ctx.Work.Charge(static_cast<LD>(w) * h + 4096, "blur samples")) return false;
    const BlurOffset o = BlurSampleOffset(ctx.Rng, m, count, R, params.BlurCurve, params.BlurRotX,
                                          params.BlurRotY, params.BlurRotZ);
    pass(o.x, ratio * o.y);
    ctx.PixeProgress = RoundToInt32(100.0L / static_cast<LD>(count) * static_cast<LD>(m));
    if (ctx.AbortRequested()) return false;
  }
  return true;
}

void BlurStage(RenderContext& ctx, const TCloudFrameParams& params) {
  TPixeBuffer* img = ctx.Frame.filtered_cloud;
  if (img == nullptr || img->width <= 0) return;
  const int32_t w = img->width;
  const int32_t h = img->height;
  ctx.Rng.Seed(static_cast<uint32_t>(params.Seed));
  if (params.BlurRadius == 0) return;

  TPixeSumBuffer* acc = AcquireAccumulator(ctx, w, h);
  if (acc == nullptr) return;
  const bool done = ForEachBlurSample(ctx, params, w, h, [&](LD x, LD y) {
    if (params.BlurDraft)
      BlurAccumulateDraft(ctx, img, acc, x, y);
    else
      BlurAccumulateBilinear(ctx, img, acc, x, y);
  });
  if (!done) return;
  // Every sample read the unblurred image; the average replaces it only now.
  BlurResolve(ctx, acc, img);
}

}  // namespace velmora
