#include "render/Blur.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/Ease.h"
#include "render/MemoryHunger.h"
#include "render/Numeric.h"
#include "render/Render.h"

namespace velmora {

namespace {

using LD = long double;

constexpr LD kPi = 3.141592653589793238462643383279502884L;

// Radii from here on would overflow the squares of the ball test (so the
// rejection loop could never end); such brushes, like non-numbers, give no
// offset.
constexpr LD kRadiusLimit = 0x1p8000L;

LD Radians(LD degrees) { return degrees * kPi / 180; }

// floor(v) wrapped into 0..size-1 and the fraction v - floor(v), exactly as
// the bilinear sample takes them; a position that is not finite reads cell 0
// with fraction 0.
void WrappedCell(LD v, int32_t size, int32_t& cell, LD& frac) {
  if (!std::isfinite(v)) {
    cell = 0;
    frac = 0;
    return;
  }
  const LD f = std::floor(v);
  frac = v - f;
  LD m = std::fmod(f, static_cast<LD>(size));
  if (m < 0) m += size;
  cell = static_cast<int32_t>(m);
  if (cell >= size) cell = 0;
}

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

// One interpolation weight of the bilinear sample (the fraction f of a column
// or a row), prepared so that a channel blend costs a table look-up.  A
// channel blend is truncate(f * a + (1 - f) * b) in extended precision, which
// is b + floor(f * (a - b)) unless f * (a - b) lies at or next to an integer;
// `step` holds that floor for every difference a - b, or kNearStep where the
// extended evaluation must decide.  Equal channels (a == b) give a or a - 1
// depending on how the two products round; `down` holds that correction,
// taken from the extended evaluation itself.
struct LerpWeight {
  LD f;
  LD w;  // 1 - f
  int16_t step[511];  // index a - b + 255
  uint8_t down[256];  // index a (== b)
};

constexpr int16_t kNearStep = INT16_MIN;

// A product f * d that the double evaluation places further than this from an
// integer floors like the extended blend: the two lie within 1e-13 of each
// other for channel values up to 255.
constexpr double kLerpGuard = 1e-9;

inline uint32_t ExactLerp(const LerpWeight& k, uint32_t a, uint32_t b) {
  const LD v = k.f * static_cast<LD>(a) + k.w * static_cast<LD>(b);
  return static_cast<uint32_t>(static_cast<int64_t>(v));
}

void InitLerpWeight(LerpWeight& k, LD f) {
  k.f = f;
  k.w = 1 - f;
  const double fd = static_cast<double>(f);
  for (int d = -255; d <= 255; ++d) {
    const double v = fd * d;
    const double fl = std::floor(v);
    const double frac = v - fl;
    // f = 0 blends to b exactly: no difference is near.
    const bool near = d != 0 && f != 0 && (frac < kLerpGuard || frac > 1.0 - kLerpGuard);
    k.step[d + 255] = near ? kNearStep : static_cast<int16_t>(fl);
  }
  for (uint32_t c = 0; c < 256; ++c) k.down[c] = static_cast<uint8_t>(c - ExactLerp(k, c, c));
}

inline uint32_t LerpChannel(const LerpWeight& k, uint32_t a, uint32_t b) {
  const int32_t d = static_cast<int32_t>(a) - static_cast<int32_t>(b);
  const int32_t s = k.step[d + 255];
  if (s == kNearStep) [[unlikely]]
    return ExactLerp(k, a, b);
  const int32_t same = d == 0 ? k.down[a] : 0;
  return static_cast<uint32_t>(static_cast<int32_t>(b) + s - same);
}

// InterpolateColor(a, b, f) of render/Pixe.h for a prepared weight.
inline PackedPixel LerpPixel(const LerpWeight& k, PackedPixel a, PackedPixel b) {
  if (IsTransparent(a)) a = (b & 0x00FFFFFFu) | (a & 0xFF000000u);
  if (IsTransparent(b)) b = (a & 0x00FFFFFFu) | (b & 0xFF000000u);
  return LerpChannel(k, PixR(a), PixR(b)) | (LerpChannel(k, PixG(a), PixG(b)) << 8) |
         (LerpChannel(k, PixB(a), PixB(b)) << 16) | (LerpChannel(k, PixA(a), PixA(b)) << 24);
}

// Cells and weights of one axis of a bilinear pass: position p reads cells
// lo[p] and hi[p] = lo[p] + 1 (wrapped) with weight weights[cls[p]].  Many
// positions share one fraction, so each distinct fraction is prepared once.
struct AxisPlan {
  int32_t* lo;
  int32_t* hi;
  uint32_t* cls;
  LerpWeight* weights;
  uint32_t count;
};

void PlanAxis(AxisPlan& plan, int32_t size, LD offset) {
  plan.count = 0;
  uint32_t last = 0;
  for (int32_t p = 0; p < size; ++p) {
    int32_t cell;
    LD frac;
    WrappedCell(static_cast<LD>(p) - offset, size, cell, frac);
    plan.lo[p] = cell;
    plan.hi[p] = cell + 1 == size ? 0 : cell + 1;
    uint32_t idx = plan.count;
    if (plan.count > 0 && plan.weights[last].f == frac) [[likely]] {
      idx = last;
    } else {
      for (uint32_t i = 0; i < plan.count; ++i) {
        if (plan.weights[i].f == frac) {
          idx = i;
          break;
        }
      }
      if (idx == plan.count) InitLerpWeight(plan.weights[plan.count++], frac);
    }
    plan.cls[p] = idx;
    last = idx;
  }
}

// Memory the blur keeps from one run to the next: the accumulator and the
// scratch block of the bilinear passes.  Both come from the block pool and
// are replaced only when a larger size is needed, so repeated blurs at one
// size make no pool requests at all.
struct BlurWorkspace {
  TPixeSumBuffer* acc = nullptr;
  void* scratch = nullptr;
  size_t scratchBytes = 0;
};
BlurWorkspace g_workspace;

// The accumulator at w x h, zeroed; nullptr when it cannot be had.
TPixeSumBuffer* AcquireAccumulator(int32_t w, int32_t h) {
  BlurWorkspace& ws = g_workspace;
  if (ws.acc == nullptr || ws.acc->width != w || ws.acc->height != h) {
    FreePixeSumBuffer(ws.acc);
    ws.acc = NewPixeSumBuffer(w, h);
    if (ws.acc == nullptr) return nullptr;
  }
  ClearPixeSumBuffer(ws.acc);
  return ws.acc;
}

void* AcquireScratch(size_t bytes) {
  BlurWorkspace& ws = g_workspace;
  if (ws.scratch != nullptr && ws.scratchBytes >= bytes) return ws.scratch;
  HungerFreeMem(ws.scratch);
  ws.scratch = HungerGetMem(bytes);
  ws.scratchBytes = ws.scratch != nullptr ? bytes : 0;
  return ws.scratch;
}

// Scratch of one bilinear pass, carved from the workspace's scratch block.
struct PassScratch {
  PassScratch(int32_t w, int32_t h) {
    const size_t W = static_cast<size_t>(w);
    const size_t H = static_cast<size_t>(h);
    size_t total = 0;
    auto reserve = [&total](size_t bytes) {
      const size_t at = total;
      total += (bytes + 63) & ~static_cast<size_t>(63);
      return at;
    };
    const size_t oRows = reserve(W * H * sizeof(PackedPixel));
    const size_t oXlo = reserve(W * sizeof(int32_t));
    const size_t oXhi = reserve(W * sizeof(int32_t));
    const size_t oXcls = reserve(W * sizeof(uint32_t));
    const size_t oXw = reserve(W * sizeof(LerpWeight));
    const size_t oYlo = reserve(H * sizeof(int32_t));
    const size_t oYhi = reserve(H * sizeof(int32_t));
    const size_t oYcls = reserve(H * sizeof(uint32_t));
    const size_t oYw = reserve(H * sizeof(LerpWeight));
    total += 64;  // room to align the start
    if (total > static_cast<size_t>(INT32_MAX)) return;  // beyond the pool's block sizes
    void* block = AcquireScratch(total);
    if (block == nullptr) return;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + 63) & ~static_cast<uintptr_t>(63);
    uint8_t* base = reinterpret_cast<uint8_t*>(start);
    rows = reinterpret_cast<PackedPixel*>(base + oRows);
    x = {reinterpret_cast<int32_t*>(base + oXlo), reinterpret_cast<int32_t*>(base + oXhi),
         reinterpret_cast<uint32_t*>(base + oXcls), reinterpret_cast<LerpWeight*>(base + oXw), 0};
    y = {reinterpret_cast<int32_t*>(base + oYlo), reinterpret_cast<int32_t*>(base + oYhi),
         reinterpret_cast<uint32_t*>(base + oYcls), reinterpret_cast<LerpWeight*>(base + oYw), 0};
  }

  bool ok() const { return rows != nullptr; }

  PackedPixel* rows = nullptr;  // source rows interpolated along x
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

BlurOffset BlurSampleOffset(int64_t m, int64_t count, long double R, long double curve,
                            long double rotX, long double rotY, long double rotZ) {
  if (!(R >= 0.0001L) || !(R < kRadiusLimit)) return {0, 0, 0};
  LD x, y, z;
  do {
    x = R * RandomReal() * 2 - R;
    y = R * RandomReal() * 2 - R;
    z = R * RandomReal() * 2 - R;
  } while (!(std::sqrt(x * x + y * y + z * z) <= R));

  // The length factor runs from the centre (sample 1) to the rim; a single
  // sample keeps its full length instead of dividing by zero.
  const LD q = count == 1 ? 1.0L
                          : PowEaseIn(1, static_cast<LD>(m), static_cast<LD>(count), 1, 1, 0);
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

void BlurAccumulateDraft(const TPixeBuffer* src, TPixeSumBuffer* acc, long double x,
                         long double y) {
  const int32_t w = src->width;
  const int32_t h = src->height;
  if (w <= 0 || h <= 0) return;
  const int32_t sx = WrappedShift(x, w);
  const int32_t sy = WrappedShift(y, h);
  for (int32_t py = 0; py < h; ++py) {
    int32_t row = 0;
    if (sy >= 0) row = py >= sy ? py - sy : py - sy + h;
    const PackedPixel* in = src->data + static_cast<size_t>(row) * static_cast<size_t>(w);
    SumPixel* out = acc->data + static_cast<size_t>(py) * static_cast<size_t>(w);
    if (sx < 0) {
      for (int32_t px = 0; px < w; ++px) AddPixel(out[px], in[0]);
      continue;
    }
    // Columns 0..sx-1 read the right end of the row, the rest its start.
    const PackedPixel* wrapped = in + (w - sx);
    for (int32_t px = 0; px < sx; ++px) AddPixel(out[px], wrapped[px]);
    for (int32_t px = sx; px < w; ++px) AddPixel(out[px], in[px - sx]);
  }
}

void BlurAccumulateBilinear(const TPixeBuffer* src, TPixeSumBuffer* acc, long double x,
                            long double y) {
  const int32_t w = src->width;
  const int32_t h = src->height;
  if (w <= 0 || h <= 0) return;
  PassScratch s(w, h);
  if (!s.ok()) {
    AccumulateBilinearPerPixel(src, acc, x, y);
    return;
  }
  PlanAxis(s.x, w, x);
  PlanAxis(s.y, h, y);
  const size_t W = static_cast<size_t>(w);

  // Along x: every source row interpolated at each output column.  Rows are
  // shared by neighbouring output rows (one's lower row is the next one's
  // upper row), so this halves the work of sampling each pixel on its own.
  for (int32_t r = 0; r < h; ++r) {
    const PackedPixel* in = src->data + static_cast<size_t>(r) * W;
    PackedPixel* out = s.rows + static_cast<size_t>(r) * W;
    for (int32_t px = 0; px < w; ++px)
      out[px] = LerpPixel(s.x.weights[s.x.cls[px]], in[s.x.hi[px]], in[s.x.lo[px]]);
  }
  // Along y: the lower row (cell + 1) weighted by the fraction against the
  // upper row.
  for (int32_t py = 0; py < h; ++py) {
    const LerpWeight& k = s.y.weights[s.y.cls[py]];
    const PackedPixel* top = s.rows + static_cast<size_t>(s.y.lo[py]) * W;
    const PackedPixel* bottom = s.rows + static_cast<size_t>(s.y.hi[py]) * W;
    SumPixel* out = acc->data + static_cast<size_t>(py) * W;
    for (int32_t px = 0; px < w; ++px) AddPixel(out[px], LerpPixel(k, bottom[px], top[px]));
  }
}

void BlurResolve(const TPixeSumBuffer* acc, TPixeBuffer* dst) {
  const size_t n = static_cast<size_t>(acc->width) * static_cast<size_t>(acc->height);
  auto limit = [](int32_t v) { return v >= 255 ? 255u : static_cast<uint32_t>(v) & 0xFFu; };
  for (size_t i = 0; i < n; ++i) {
    const SumPixel& s = acc->data[i];
    if (s.n <= 0) {
      dst->data[i] = 0;
      continue;
    }
    dst->data[i] = MakePixel(limit(s.r / s.n), limit(s.g / s.n), limit(s.b / s.n),
                             limit(s.a / s.n));
  }
}

void BlurStage(TCloudFrameParams& params) {
  TPixeBuffer* img = params.filtered_cloud;
  if (img == nullptr || img->width <= 0) return;
  const int32_t w = img->width;
  const int32_t h = img->height;
  const LD ratio = static_cast<LD>(h) / static_cast<LD>(w);
  RandSeed(static_cast<uint32_t>(params.Seed));
  const int64_t count = RoundToInt64(params.BlurSamples);
  if (params.BlurRadius == 0) return;
  const LD R = params.BlurRadius * static_cast<LD>(w);

  TPixeSumBuffer* acc = AcquireAccumulator(w, h);
  if (acc == nullptr) return;
  PixeProgress = 0;
  for (int64_t m = 0; m < count; ++m) {
    const BlurOffset o = BlurSampleOffset(m, count, R, params.BlurCurve, params.BlurRotX,
                                          params.BlurRotY, params.BlurRotZ);
    const LD oy = ratio * o.y;
    if (params.BlurDraft)
      BlurAccumulateDraft(img, acc, o.x, oy);
    else
      BlurAccumulateBilinear(img, acc, o.x, oy);
    PixeProgress = RoundToInt32(100.0L / static_cast<LD>(count) * static_cast<LD>(m));
    PumpMessages();
  }
  // Every sample read the unblurred image; the average replaces it only now.
  BlurResolve(acc, img);
}

void FreeBlurBuffers() {
  FreePixeSumBuffer(g_workspace.acc);
  HungerFreeMem(g_workspace.scratch);
  g_workspace = BlurWorkspace{};
}

}  // namespace velmora
