// Pens, the ellipse rasteriser, the fractal pen, the mirrors, the
// stamping of base_pattern, ClipLow and NormalizeBuffer; and the exactness
// of the optimised paths against the literal ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "render/CloudPattern.h"
#include "render/Ease.h"
#include "render/FastStamp.h"
#include "render/MemoryHunger.h"
#include "base/Numeric.h"
#include "render/Render.h"
#include "render/StampBatch.h"
#include "render_cloud_helpers.h"

using namespace velmora;
using namespace velmora::testing_cloud;

namespace {

// Renders the buffer as rows of '#' (alpha != 0) and '.'.
std::string Picture(const TPixeFloatBuffer* b) {
  std::string s;
  for (int32_t y = 0; y < b->height; ++y) {
    for (int32_t x = 0; x < b->width; ++x) s += b->data[y * b->width + x].a != 0 ? '#' : '.';
    s += '\n';
  }
  return s;
}

std::string EllipsePicture(int32_t w, int32_t h, int32_t cx, int32_t cy, int32_t ry, int32_t rx) {
  TPixeFloatBuffer* b = NewPixeFloatBuffer(TestPool(), w, h);
  FillPixeFloatBuffer(b, FloatPixel{0, 0, 0, 0});
  FillEllipse(b, cx, cy, false, FloatPixel{1, 1, 1, 1}, ry, rx);
  std::string s = Picture(b);
  FreePixeFloatBuffer(b);
  return s;
}

// Advances a copy of the generator state by n draws.
uint32_t StateAfter(uint32_t seed, int n) {
  for (int i = 0; i < n; ++i) seed = seed * 0x08088405u + 1u;
  return seed;
}

// Adds 24 random stamps of MODES (wrap and clipping included, half of them
// the size of the stamp before, which the batch plans once) to A one after
// the other with StampPen and to B as one batch (on the grey PAIRS of PEN
// when given); the two must agree bit for bit.
void ExpectBatchEqualsStampPen(RenderContext& ctx, TPixeFloatBuffer* pen, const float* pairs,
                               TPixeFloatBuffer* a, TPixeFloatBuffer* b,
                               const std::vector<int>& modes, std::mt19937& rng,
                               const std::string& label) {
  const int32_t W = pen->width, H = pen->height;
  StampBatch batch(ctx, b, 24);
  if (pairs) batch.UseGreyPen(pen, pairs);
  PixeRect last{};
  for (int k = 0; k < 24; ++k) {
    const int mode = modes[rng() % modes.size()];
    const bool wrap = rng() % 4 != 0;
    const PixeRect src{0, 0, W, H};
    PixeRect dst{static_cast<int32_t>(rng() % (3 * W)) - W,
                 static_cast<int32_t>(rng() % (3 * H)) - H,
                 static_cast<int32_t>(rng() % (2 * W)) + 1,
                 static_cast<int32_t>(rng() % (2 * H)) + 1};
    if (k > 0 && rng() % 2) {
      dst.width = last.width;
      dst.height = last.height;
    }
    last = dst;
    StampPen(pen, src, a, mode, wrap, dst);
    batch.Add(pen, src, mode, wrap, dst);
  }
  batch.Run(ctx.Threads, [](int64_t, int64_t) {});
  std::string where;
  EXPECT_TRUE(SameBits(a, b, &where)) << label << " " << where;
}

}  // namespace

// ---------------------------------------------------------------------------
// Worked values of the text

TEST(CloudPattern, StampCountOfTheText) {
  RenderContext ctx;
  // Complex = 0.62 (track bar 124): N = round(76.88) = 77, so 79 stamps.
  EXPECT_EQ(CloudStampCount(124.0L / 200), 77);
  EXPECT_EQ(CloudStampCount(0.5L), 50);
  EXPECT_EQ(CloudStampCount(0), 0);
  EXPECT_EQ(CloudStampCount(std::numeric_limits<long double>::quiet_NaN()), 0);
}

TEST(CloudPattern, StampSizeRoundsHalfEvenAndSkipsWhatIsNotFinite) {
  RenderContext ctx;
  EXPECT_EQ(StampSize(2.5L), 2);
  EXPECT_EQ(StampSize(3.5L), 4);
  EXPECT_EQ(StampSize(-3.5L), -4);
  EXPECT_EQ(StampSize(511.49L), 511);
  // Mended fault: a size that is not finite counts as 0 (the stamp is skipped).
  EXPECT_EQ(StampSize(std::numeric_limits<long double>::quiet_NaN()), 0);
  EXPECT_EQ(StampSize(std::numeric_limits<long double>::infinity()), 0);
  EXPECT_EQ(StampSize(-std::numeric_limits<long double>::infinity()), 0);
  // Sizes beyond 32 bits could never be drawn: skipped as well.
  EXPECT_EQ(StampSize(1e12L), 0);
  EXPECT_EQ(StampSize(2147483647.0L), 2147483647);
  EXPECT_EQ(StampSize(2147483648.0L), 0);
}

TEST(CloudPattern, HypotIsTheSquareRootOfTheSumOfSquares) {
  RenderContext ctx;
  EXPECT_EQ(Hypot(3, 4), 5);
  EXPECT_EQ(Hypot(512, 512), std::sqrt(524288.0L));
  EXPECT_EQ(Hypot(-0.25L, 0), 0.25L);
}

// ---------------------------------------------------------------------------
// FillEllipse

TEST(CloudPattern, EllipseWiderThanHigh) {
  RenderContext ctx;
  // ry = 2 < rx = 3: step 170; g takes 0 then 1: rows cy and cy +- 1, each
  // cx - 3 .. cx + 3 (the rasteriser never reaches row cy +- 2).
  EXPECT_EQ(EllipsePicture(9, 7, 4, 3, 2, 3),
            ".........\n"
            ".........\n"
            ".#######.\n"
            ".#######.\n"
            ".#######.\n"
            ".........\n"
            ".........\n");
}

TEST(CloudPattern, EllipseHigherThanWide) {
  RenderContext ctx;
  // ry = 3 >= rx = 2: step 170; rows cy +- 3 get e = 0, rows cy +- 2 and
  // cy +- 1 e = 1, row cy (a = 0) e = 1.
  EXPECT_EQ(EllipsePicture(7, 9, 3, 4, 3, 2),
            ".......\n"
            "...#...\n"
            "..###..\n"
            "..###..\n"
            "..###..\n"
            "..###..\n"
            "..###..\n"
            "...#...\n"
            ".......\n");
}

TEST(CloudPattern, EllipseRadiusOneAndDegenerate) {
  RenderContext ctx;
  EXPECT_EQ(EllipsePicture(5, 5, 2, 2, 1, 1),
            ".....\n"
            ".###.\n"
            ".###.\n"
            ".###.\n"
            ".....\n");
  EXPECT_EQ(EllipsePicture(3, 3, 1, 1, 0, 1), "...\n...\n...\n");
  EXPECT_EQ(EllipsePicture(3, 3, 1, 1, 1, 0), "...\n...\n...\n");
  EXPECT_EQ(EllipsePicture(3, 3, 1, 1, -2, -2), "...\n...\n...\n");
}

TEST(CloudPattern, EllipseWithoutWrapClipsAndWithWrapContinues) {
  RenderContext ctx;
  EXPECT_EQ(EllipsePicture(5, 3, 0, 1, 1, 1),
            "##...\n"
            "##...\n"
            "##...\n");
  TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, 5, 3);
  FillPixeFloatBuffer(b, FloatPixel{0, 0, 0, 0});
  FillEllipse(b, 0, 1, true, FloatPixel{1, 1, 1, 1}, 1, 1);
  EXPECT_EQ(Picture(b),
            "##..#\n"
            "##..#\n"
            "##..#\n");
  FreePixeFloatBuffer(b);
}

TEST(CloudPattern, EllipseSpansOfLargeRadiiStayInsideTheirBox) {
  RenderContext ctx;
  for (int32_t ry : {5, 17, 64, 255})
    for (int32_t rx : {4, 17, 63, 256}) {
      int64_t maxRow = 0, maxHalf = 0;
      ForEachEllipseSpan(ry, rx, [&](int64_t dy, int64_t half) {
        maxRow = std::max<int64_t>(maxRow, std::llabs(dy));
        maxHalf = std::max<int64_t>(maxHalf, half);
      });
      EXPECT_LE(maxRow, ry) << ry << "," << rx;
      EXPECT_LE(maxHalf, rx) << ry << "," << rx;
    }
}

// ---------------------------------------------------------------------------
// Mirrors

TEST(CloudPattern, MirrorColumnsLeavesColumnZeroZero) {
  RenderContext ctx;
  for (int32_t w : {1, 4, 5}) {
    TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, w, 2);
    for (int32_t i = 0; i < w * 2; ++i) b->data[i] = FloatPixel{float(i + 1), 0, 0, 1};
    MirrorColumns(b);
    for (int32_t y = 0; y < 2; ++y) {
      EXPECT_EQ(b->data[y * w].r, 0) << w;
      EXPECT_EQ(b->data[y * w].a, 0) << w;
      for (int32_t x = 1; x < w; ++x)
        EXPECT_EQ(b->data[y * w + x].r, float(y * w + (w - x) + 1)) << w;
    }
    FreePixeFloatBuffer(b);
  }
}

TEST(CloudPattern, MirrorRowsLeavesRowZeroZero) {
  RenderContext ctx;
  for (int32_t h : {1, 4, 5}) {
    TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, 3, h);
    for (int32_t i = 0; i < 3 * h; ++i) b->data[i] = FloatPixel{float(i + 1), 0, 0, 1};
    MirrorRows(b);
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(b->data[x].r, 0) << h;
    for (int32_t y = 1; y < h; ++y)
      for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(b->data[y * 3 + x].r, float((h - y) * 3 + x + 1)) << h;
    FreePixeFloatBuffer(b);
  }
}

// ---------------------------------------------------------------------------
// ClipLow and NormalizeBuffer

TEST(CloudPattern, ClipLowRaisesEverythingBelowTheThreshold) {
  RenderContext ctx;
  TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, 4, 1);
  b->data[0] = {10, 1, 2, 7};
  b->data[1] = {20, 1, 2, 7};
  b->data[2] = {30, 1, 2, 7};
  b->data[3] = {50, 1, 2, 7};
  ClipLow(ctx, b, 0.5L);  // t = 0.5 x 40 + 10 = 30
  EXPECT_EQ(b->data[0].r, 30);
  EXPECT_EQ(b->data[0].g, 30);
  EXPECT_EQ(b->data[0].b, 30);
  EXPECT_EQ(b->data[0].a, 7);
  EXPECT_EQ(b->data[1].g, 30);
  EXPECT_EQ(b->data[2].g, 1);  // 30 is not below 30
  EXPECT_EQ(b->data[3].r, 50);
  ClipLow(ctx, b, 1);  // Coverrate 0: everything flattened to the maximum
  for (int i = 0; i < 4; ++i) EXPECT_EQ(b->data[i].r, 50);
  FreePixeFloatBuffer(b);
}

TEST(CloudPattern, ClipLowComparesInExtendedPrecision) {
  RenderContext ctx;
  // t = 1/3 x (1 - 0) + 0 is not a float; an element equal to float(t) is
  // below t exactly when float(t) < t.
  TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, 3, 1);
  const long double t = 1.0L / 3;
  const float tf = static_cast<float>(t);
  b->data[0] = {0, 0, 0, 0};
  b->data[1] = {tf, 5, 5, 0};
  b->data[2] = {1, 1, 1, 0};
  ClipLow(ctx, b, 1.0L / 3);
  EXPECT_EQ(b->data[1].g, static_cast<long double>(tf) < t ? tf : 5.0f);
  EXPECT_EQ(b->data[0].r, tf);
  FreePixeFloatBuffer(b);
}

TEST(CloudPattern, NormalizeBufferStretchesTo256) {
  RenderContext ctx;
  TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, 2, 1);
  b->data[0] = {-2, 0, 2, 10};
  b->data[1] = {6, 4, 3, 20};
  NormalizeBuffer(ctx, b, false);  // lo -2, hi 6, scale 8/256
  EXPECT_EQ(b->data[0].r, 0);
  EXPECT_EQ(b->data[0].g, 64);
  EXPECT_EQ(b->data[0].b, 128);
  EXPECT_EQ(b->data[1].r, 256);
  EXPECT_EQ(b->data[0].a, 10);
  NormalizeBuffer(ctx, b, true);  // colours already 0..256; alpha: |10| offset, 10/256 scale
  EXPECT_EQ(b->data[0].a, 512);
  EXPECT_EQ(b->data[1].a, 768);
  // A flat buffer is left alone.
  b->data[0] = {5, 5, 5, 1};
  b->data[1] = {5, 5, 5, 2};
  NormalizeBuffer(ctx, b, true);
  EXPECT_EQ(b->data[0].r, 5);
  EXPECT_EQ(b->data[1].a, 2);
  FreePixeFloatBuffer(b);
}

// ---------------------------------------------------------------------------
// Random-draw order

TEST(CloudPattern, FractalPenDrawsSevenNumbersPerStamp) {
  RenderContext ctx;
  // Every call of depth > 0 draws r, r1, r2, r3, r4, r5, r6: depth 7 makes
  // 127 calls and 889 draws, whatever the stamps look like.
  TPixeFloatBuffer* a = NewPixeFloatBuffer(ctx.Pool, 16, 16);
  TPixeFloatBuffer* t = NewPixeFloatBuffer(ctx.Pool, 16, 16);
  FillPixeFloatBuffer(a, FloatPixel{100, 100, 100, 100});
  FillPixeFloatBuffer(t, FloatPixel{0, 0, 0, 0});
  ctx.Rng.Seed(12345);
  FractalPen(ctx, a, a, t, 7, 1.0L, 0, 0);
  EXPECT_EQ(ctx.Rng.State(), StateAfter(12345, 889));
  ctx.Rng.Seed(1);
  FractalPen(ctx, a, a, t, 0, 1.0L, 0, 0);
  EXPECT_EQ(ctx.Rng.State(), 1u);
  FreePixeFloatBuffer(a);
  FreePixeFloatBuffer(t);
}

TEST(CloudPattern, MakePensDrawsFractalThenFourPointsPerWarpPen) {
  RenderContext ctx;
  // 889 draws of the fractal pen, then 3 x 4 points of 2 draws each.
  for (auto [w, h] : {std::pair{0, 0}, {1, 1}, {7, 7}, {32, 32}, {5, 0}, {0, 5}, {1, 9}}) {
    ctx.Rng.Seed(65536);
    MakePens(ctx, w, h);
    ASSERT_NE(ctx.Pens.CloudPen, nullptr);
    EXPECT_EQ(ctx.Pens.WarpPenB->width, w);
    EXPECT_EQ(ctx.Rng.State(), StateAfter(65536, 889 + 24)) << w << "x" << h;
    EXPECT_EQ(ctx.FrameProgress, 100);
  }
  ctx.Pens.Free();
}

TEST(CloudPattern, PenChecksumsArePinned) {
  RenderContext ctx;
  // Pins the pens of seed 65536 at 48 x 40: the ring colours, the fractal
  // pen's draw order and stamp rounding, the mirrors and the per-pen shading
  // points.  A change here changes every picture: it must be deliberate.
  for (bool reference : {true, false}) {
    ctx.CloudReferenceMode = reference;
    ctx.Rng.Seed(65536);
    MakePens(ctx, 48, 40);
    ctx.CloudReferenceMode = false;
    const uint64_t sums[5] = {Checksum(ctx.Pens.CloudPen), Checksum(ctx.Pens.PenShade),
                              Checksum(ctx.Pens.WarpPenR), Checksum(ctx.Pens.WarpPenG),
                              Checksum(ctx.Pens.WarpPenB)};
    const uint64_t pinned[5] = {0x86727e6111ac238bull, 0x9da0e687deb51f61ull, 0xf8f5f7939a090b7eull,
                                0x69bc50e85667de89ull, 0xc52512fd41a61d2ull};
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(sums[i], pinned[i]) << "pen " << i << std::hex << " 0x" << sums[i];
    ctx.Pens.Free();
  }
}

TEST(CloudPattern, PenShapes) {
  RenderContext ctx;
  ctx.Rng.Seed(7);
  MakePens(ctx, 64, 48);
  const TPixeFloatBuffer* c = ctx.Pens.CloudPen;
  // Corners are outside every ring; the centre has the brightest ring.
  EXPECT_EQ(c->data[0].a, 0);
  const FloatPixel centre = c->data[24 * 64 + 32];
  EXPECT_GT(centre.r, 250);
  EXPECT_EQ(centre.r, centre.a);
  const FloatPixel shade = ctx.Pens.PenShade->data[24 * 64 + 32];
  EXPECT_EQ(shade.r, 255);
  // The outer ring (n = W, level 0) has colour 0.
  EXPECT_EQ(c->data[24 * 64 + 0].a, 0);
  // Mirrors: column 0 of WarpPenG and row 0 of WarpPenB are zero before
  // shading, and shading keeps zeros at zero.
  for (int32_t y = 0; y < 48; ++y) EXPECT_EQ(ctx.Pens.WarpPenG->data[y * 64].a, 0);
  for (int32_t x = 0; x < 64; ++x) EXPECT_EQ(ctx.Pens.WarpPenB->data[x].a, 0);
  ctx.Pens.Free();
}

// ---------------------------------------------------------------------------
// The optimised paths give the literal paths' bits

TEST(CloudExactness, FastBlendsEqualFloatBlend) {
  RenderContext ctx;
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<float> any(-300.0f, 600.0f);
  std::uniform_real_distribution<float> alpha(0.0f, 255.0f);
  const int modes[] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  auto check = [&](FloatPixel d, FloatPixel s, int mode) {
    const FloatPixel a = FloatBlend(d, s, mode);
    const FloatPixel b = FloatBlendFast(d, s, mode);
    return std::memcmp(&a, &b, sizeof a) == 0;
  };
  int bad = 0;
  for (int i = 0; i < 300000; ++i) {
    FloatPixel d{any(rng), any(rng), any(rng), alpha(rng)};
    FloatPixel s{alpha(rng), alpha(rng), alpha(rng), alpha(rng)};
    if (i % 7 == 0) s.a = std::round(s.a);
    if (i % 11 == 0) d.r = std::round(d.r);
    if (i % 13 == 0) d.a = 300;  // alpha beyond the clamp
    for (int m : modes) bad += !check(d, s, m);
  }
  EXPECT_EQ(bad, 0);
  // Specials: zeros of both signs, NaN, infinities.
  const float specials[] = {0.0f,
                            -0.0f,
                            255.0f,
                            1e-30f,
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            3.4e38f};
  for (float x : specials)
    for (float y : specials)
      for (int m : modes) {
        const FloatPixel d{x, y, 1, x}, s{y, x, 2, 128};
        const FloatPixel a = FloatBlend(d, s, m), b = FloatBlendFast(d, s, m);
        // NaN results compare by bits too: the fast path falls back for them.
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << m << " " << x << " " << y;
      }
}

TEST(CloudExactness, FastBlendsEqualFloatBlendNearRoundingBoundaries) {
  RenderContext ctx;
  // Destinations chosen so that d + s.A x s.c / 255 lands within a hair of a
  // float midpoint: the cases where a careless double computation differs.
  std::mt19937_64 rng(7);
  int bad = 0, cases = 0;
  for (int i = 0; i < 200000; ++i) {
    const float sa = static_cast<float>(1 + rng() % 255);
    const float sc = static_cast<float>(rng() % 256) + (rng() % 4) * 0.25f;
    const long double t = static_cast<long double>(sa) * sc / 255;
    // A float d whose sum with t is close to a midpoint: pick the target sum
    // m = k + 1/2 ulp and d = float(m - t).
    const float base = static_cast<float>(rng() % 2000) + 0.5f;
    const float ulp = std::nextafter(base, 1e9f) - base;
    const long double m = static_cast<long double>(base) + ulp / 2;
    const float d0 = static_cast<float>(m - t);
    for (float d : {d0, std::nextafter(d0, 1e9f), std::nextafter(d0, -1e9f)}) {
      for (int mode : {0, 1, 3, 9, 12, 13}) {
        const FloatPixel dp{d, d, d, 200}, sp{sc, sc, sc, sa};
        const FloatPixel a = FloatBlend(dp, sp, mode), b = FloatBlendFast(dp, sp, mode);
        bad += std::memcmp(&a, &b, sizeof a) != 0;
        ++cases;
      }
    }
  }
  EXPECT_EQ(bad, 0) << cases;
}

namespace {

// A source pixel for the rounding-boundary tests: alpha +0, -0, 255 or in
// between (kind 0, 1, 2, else), and the target value d whose mode 0 or 1 sum
// d +- s.A x s.c / 255 (= t) lands within a hair of a float midpoint.
struct NearTie {
  int kind;
  float sa, sc;
  long double t;
  float d;
};
NearTie NearTieSource(std::mt19937_64& rng, int mode) {
  NearTie s;
  s.kind = static_cast<int>(rng() % 8);
  s.sa = s.kind == 0 ? 0.0f : s.kind == 1 ? -0.0f : s.kind == 2 ? 255.0f
                                                  : static_cast<float>(1 + rng() % 254);
  s.sc = static_cast<float>(rng() % 256) + (rng() % 4) * 0.25f;
  s.t = static_cast<long double>(s.sa) * s.sc / 255;
  const float base = static_cast<float>(rng() % 2000) + 0.5f;
  const long double m = base + (std::nextafter(base, 1e9f) - base) / 2.0L;
  s.d = static_cast<float>(mode == 0 ? m - s.t : s.t - m);
  return s;
}

}  // namespace

TEST(CloudExactness, StampRunsNearRoundingBoundariesEqualStampPen) {
  // Long rows of modes 0, 1 and 3 (blended several pixels at a time where
  // the processor allows, one at a time without it): sums of modes 0 and 1
  // within a hair of a float midpoint or of 0, opaque sources and sources with alpha +0 and -0
  // mixed in one run, and a row length that leaves a tail.
  RenderContext ctx;
  std::mt19937_64 rng(11);
  constexpr int32_t n = 1027;
  TPixeFloatBuffer* pen = NewPixeFloatBuffer(ctx.Pool, n, 1);
  TPixeFloatBuffer* a = NewPixeFloatBuffer(ctx.Pool, n, 1);
  TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, n, 1);
  for (const char* noAvx2 : {"", "1"}) {
    if (*noAvx2) setenv("VELMORA_NO_AVX2", noAvx2, 1);
    for (int mode : {0, 1, 3}) {
      for (int32_t i = 0; i < n; ++i) {
        const NearTie s = NearTieSource(rng, mode);
        float d = s.d;
        if (rng() % 3 == 0) d = std::nextafter(d, 1e9f);
        if (s.kind == 3) d = static_cast<float>(mode == 0 ? -s.t : s.t);  // sums near 0: cancellation
        pen->data[i] = {s.sc, s.sc + 0.5f, s.sc * 0.75f, s.sa};
        a->data[i] = b->data[i] = {d, d, d, 200};
      }
      const PixeRect rect{0, 0, n, 1};
      StampPen(pen, rect, a, mode, false, rect);
      StampPenFast(ctx, pen, rect, b, mode, false, rect);
      std::string where;
      EXPECT_TRUE(SameBits(a, b, &where)) << "mode " << mode << " no AVX2 '" << noAvx2 << "' " << where;
    }
  }
  unsetenv("VELMORA_NO_AVX2");
  FreePixeFloatBuffer(pen);
  FreePixeFloatBuffer(a);
  FreePixeFloatBuffer(b);
}

TEST(CloudExactness, FastStampEqualsStampPen) {
  RenderContext ctx;
  std::mt19937 rng(3);
  TPixeFloatBuffer* pen = NewPixeFloatBuffer(ctx.Pool, 37, 29);
  std::uniform_real_distribution<float> v(0, 255);
  for (int i = 0; i < 37 * 29; ++i)
    pen->data[i] = {v(rng), v(rng), v(rng), (i % 5 == 0) ? 0.0f : v(rng)};
  TPixeFloatBuffer* a = NewPixeFloatBuffer(ctx.Pool, 41, 23);
  TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, 41, 23);
  for (int round = 0; round < 600; ++round) {
    for (int i = 0; i < 41 * 23; ++i)
      a->data[i] = b->data[i] = {v(rng) - 100, v(rng), v(rng), v(rng)};
    const int modes[] = {0, 1, 3, 5, 6, 8, 9, 12, 13, 2, 7};
    const int mode = modes[rng() % 11];
    const bool wrap = rng() % 2;
    const PixeRect src{static_cast<int32_t>(rng() % 5) - 2, static_cast<int32_t>(rng() % 5) - 2,
                       static_cast<int32_t>(rng() % 45), static_cast<int32_t>(rng() % 35)};
    const PixeRect dst{static_cast<int32_t>(rng() % 200) - 100,
                       static_cast<int32_t>(rng() % 120) - 60,
                       static_cast<int32_t>(rng() % 130) - 3, static_cast<int32_t>(rng() % 80) - 3};
    StampPen(pen, src, a, mode, wrap, dst);
    StampPenFast(ctx, pen, src, b, mode, wrap, dst);
    std::string where;
    ASSERT_TRUE(SameBits(a, b, &where))
        << "round " << round << " mode " << mode << " wrap " << wrap << " " << where;
  }
  FreePixeFloatBuffer(pen);
  FreePixeFloatBuffer(a);
  FreePixeFloatBuffer(b);
}

TEST(CloudExactness, GreyStampSequencesEqualStampPen) {
  // A grey pen (R = G = B) into a grey target: the batch stamps (R, A) pairs
  // band by band; StampPen one stamp after the other on all four channels.
  // Opaque and transparent pen pixels (rows with transparent ends of either
  // zero, a row all transparent), sums near float midpoints, every grey
  // mode, wrap and clipping, odd widths (the last pixel of a pair).  Every
  // other round stamps all four channels instead of pairs.
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> v(0, 255);
  for (auto [W, H] : {std::pair{37, 29}, {64, 40}, {1, 5}}) {
    RenderContext ctx;
    ctx.Threads.SetThreads(2);
    TPixeFloatBuffer* pen = NewPixeFloatBuffer(ctx.Pool, W, H);
    std::vector<float> pairs(2 * static_cast<size_t>(W) * H);
    for (int i = 0; i < W * H; ++i) {
      const int x = i % W, y = i / W;
      const float g = i % 9 == 0 ? std::round(v(rng)) + 0.5f : v(rng);
      const bool clear = i % 5 == 0 || y == 2 || x < y % 6 || x >= W - y % 4;
      const float a = clear ? (y % 2 ? -0.0f : 0.0f) : (i % 3 == 0 ? 255.0f : v(rng));
      pen->data[i] = {g, g, g, a};
      pairs[2 * i] = g;
      pairs[2 * i + 1] = a;
    }
    TPixeFloatBuffer* a = NewPixeFloatBuffer(ctx.Pool, W, H);
    TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, W, H);
    for (int round = 0; round < 40; ++round) {
      for (int i = 0; i < W * H; ++i) {
        const float g = (i + round) % 7 == 0 ? 1000.5f : v(rng) - 100;
        a->data[i] = b->data[i] = {g, g, g, v(rng)};
      }
      ExpectBatchEqualsStampPen(ctx, pen, round % 2 == 0 ? pairs.data() : nullptr, a, b,
                                {0, 1, 5, 6, 12, 13, 9}, rng,
                                std::to_string(W) + "x" + std::to_string(H) + " round " +
                                    std::to_string(round));
      if (HasFailure()) break;
    }
    FreePixeFloatBuffer(pen);
    FreePixeFloatBuffer(a);
    FreePixeFloatBuffer(b);
  }
  // Bands: a quarter of the cache, at least four per thread, at least a row.
  EXPECT_EQ(StampBandRows(512, 512, 16, 2, 512 * 1024), 16);
  EXPECT_EQ(StampBandRows(512, 512, 8, 2, 512 * 1024), 32);
  EXPECT_EQ(StampBandRows(512, 40, 8, 2, 512 * 1024), 5);
  EXPECT_EQ(StampBandRows(1 << 20, 512, 16, 1, 512 * 1024), 1);
  EXPECT_GT(SecondLevelCacheBytes(), 0);
}

TEST(CloudExactness, PlanarStampSequencesEqualStampPen) {
  // Sequences of modes 0, 1, 5 and 6 only (the warp's second layer) and of
  // modes 8 and 9 (the fractal pens) are stamped on planar copies of the bands, eight pixels a step: colour sums
  // within a hair of a float midpoint, opaque sources and alpha +0 and -0,
  // transparent row ends, wrap and clipping, runs of every length modulo 8.
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> v(0, 255);
  for (auto [W, H] : {std::pair{37, 29}, {70, 33}}) {
    RenderContext ctx;
    ctx.Threads.SetThreads(2);
    TPixeFloatBuffer* pen = NewPixeFloatBuffer(ctx.Pool, W, H);
    for (int i = 0; i < W * H; ++i) {
      const int x = i % W, y = i / W;
      const bool clear = i % 7 == 0 || x < y % 5 || x >= W - y % 3;
      const float a = clear ? (i % 2 ? -0.0f : 0.0f) : (i % 4 == 0 ? 255.0f : v(rng));
      pen->data[i] = {v(rng), std::round(v(rng)) + 0.5f, v(rng) * 0.25f, a};
    }
    TPixeFloatBuffer* a = NewPixeFloatBuffer(ctx.Pool, W, H);
    TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, W, H);
    for (int round = 0; round < 40; ++round) {
      // Odd rounds: modes 8 and 9 (the fractal pens), target alpha beyond
      // 0 and 255 now and then.
      const bool fractal = round % 2 == 1;
      for (int i = 0; i < W * H; ++i) {
        const float c = (i + round) % 5 == 0 ? 1000.5f : v(rng) - 100;
        const float alpha = fractal && i % 11 == 0 ? (i % 2 ? 300.0f : -20.0f) : v(rng);
        a->data[i] = b->data[i] = {c, -c, c * 0.5f, alpha};
      }
      ExpectBatchEqualsStampPen(ctx, pen, nullptr, a, b,
                                fractal ? std::vector<int>{8, 9} : std::vector<int>{0, 1, 5, 6},
                                rng,
                                std::to_string(W) + "x" + std::to_string(H) + " round " +
                                    std::to_string(round));
      if (HasFailure()) break;
    }
    FreePixeFloatBuffer(pen);
    FreePixeFloatBuffer(a);
    FreePixeFloatBuffer(b);
  }
}

TEST(CloudExactness, BatchRunsNearRoundingBoundariesEqualStampPen) {
  // One long row through a batch, eight pixels a step with a tail: modes 0
  // and 1 as grey pairs and as planes, with sums within a hair of a float
  // midpoint, on it (opaque sources) or near 0, and planar mode 3 with sums
  // that nearly cancel (where the double sum strays from the extended one);
  // opaque sources and alpha +0 and -0 in between; with AVX2 and without.
  RenderContext ctx;
  std::mt19937_64 rng(13);
  constexpr int32_t n = 1027;
  TPixeFloatBuffer* pen = NewPixeFloatBuffer(ctx.Pool, n, 1);
  TPixeFloatBuffer* a = NewPixeFloatBuffer(ctx.Pool, n, 1);
  TPixeFloatBuffer* b = NewPixeFloatBuffer(ctx.Pool, n, 1);
  std::vector<float> pairs(2 * n);
  const int modes[] = {0, 1, 3, 0, 1};
  for (int round = 0; round < 10; ++round) {
    const int mode = modes[round % 5];
    const bool grey = round % 5 < 2;
    if (round == 5) setenv("VELMORA_NO_AVX2", "1", 1);
    for (int32_t i = 0; i < n; ++i) {
      const NearTie s = NearTieSource(rng, mode);
      const float sa = s.sa;
      float sc = s.sc, d = s.d;
      if (mode != 3 && !grey && s.kind == 3) d = static_cast<float>(mode == 0 ? -s.t : s.t);
      if (mode == 3) {
        sc = sc * 4096 + 1;
        d = static_cast<float>(rng() % 256);
        if (s.kind > 2) d = static_cast<float>(-static_cast<long double>(sc) * 255 / (255 - sa));
      }
      pen->data[i] = {sc, sc, sc, sa};
      pairs[2 * i] = sc;
      pairs[2 * i + 1] = sa;
      a->data[i] = b->data[i] = {d, d, d, 200};
    }
    const PixeRect rect{0, 0, n, 1};
    StampPen(pen, rect, a, mode, false, rect);
    StampBatch batch(ctx, b, 1);
    if (grey) batch.UseGreyPen(pen, pairs.data());
    batch.Add(pen, rect, mode, false, rect);
    batch.Run(ctx.Threads, [](int64_t, int64_t) {});
    std::string where;
    EXPECT_TRUE(SameBits(a, b, &where)) << "mode " << mode << " round " << round << " " << where;
  }
  unsetenv("VELMORA_NO_AVX2");
  FreePixeFloatBuffer(pen);
  FreePixeFloatBuffer(a);
  FreePixeFloatBuffer(b);
}

TEST(CloudExactness, PensEqualTheLiteralConstruction) {
  RenderContext ctx;
  for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {33, 20}, {64, 64}, {50, 90}, {128, 128}}) {
    TPixeFloatBuffer* fast[5];
    ctx.CloudReferenceMode = false;
    // Pens of another seed first: the powers they leave in the context must
    // serve the next pens of the same size as if computed anew.
    ctx.Rng.Seed(5);
    MakePens(ctx, w, h);
    ctx.Pens.Free();
    ctx.Rng.Seed(99);
    MakePens(ctx, w, h);
    TPixeFloatBuffer* pens[5] = {ctx.Pens.CloudPen, ctx.Pens.PenShade, ctx.Pens.WarpPenR, ctx.Pens.WarpPenG,
                                 ctx.Pens.WarpPenB};
    for (int i = 0; i < 5; ++i) fast[i] = Clone(pens[i]);
    const uint32_t state = ctx.Rng.State();
    ctx.Pens.Free();
    ctx.Rng.Seed(99);
    ctx.CloudReferenceMode = true;
    MakePens(ctx, w, h);
    ctx.CloudReferenceMode = false;
    EXPECT_EQ(ctx.Rng.State(), state);
    TPixeFloatBuffer* lit[5] = {ctx.Pens.CloudPen, ctx.Pens.PenShade, ctx.Pens.WarpPenR, ctx.Pens.WarpPenG,
                                ctx.Pens.WarpPenB};
    for (int i = 0; i < 5; ++i) {
      std::string where;
      EXPECT_TRUE(SameBits(fast[i], lit[i], &where))
          << w << "x" << h << " pen " << i << " " << where;
      FreePixeFloatBuffer(fast[i]);
    }
    ctx.Pens.Free();
  }
}

TEST(CloudExactness, NormalizeValueEqualsExtended) {
  RenderContext ctx;
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<float> v(-500, 3000);
  int bad = 0;
  for (int i = 0; i < 200000; ++i) {
    const float lo = v(rng), hi = lo + std::abs(v(rng)) + 1e-3f;
    const long double off = -static_cast<long double>(lo);
    const long double scale = (static_cast<long double>(hi) - lo) / 256;
    const float x = (i % 3 == 0) ? v(rng) : lo + (hi - lo) * (static_cast<float>(i % 1000) / 1000);
    const float a = static_cast<float>((x + off) / scale);
    const float b =
        NormalizeValueFast(x, off, scale, static_cast<double>(off), static_cast<double>(scale));
    bad += std::memcmp(&a, &b, sizeof a) != 0;
  }
  EXPECT_EQ(bad, 0);
  // The run form, four channels of a pixel at once, on both paths: every
  // channel its own offset and scale, values near the ends of the range and
  // exact midpoints, NaN and -0; the channels outside `lanes` untouched.
  for (const char* noAvx2 : {"", "1"}) {
    if (*noAvx2) setenv("VELMORA_NO_AVX2", noAvx2, 1);
    for (int lanes : {7, 15, 9}) {
      long double off[4], scale[4];
      float lo[4], hi[4];
      for (int c = 0; c < 4; ++c) {
        lo[c] = v(rng);
        hi[c] = lo[c] + std::abs(v(rng)) + 1e-3f;
        off[c] = -static_cast<long double>(lo[c]);
        scale[c] = (static_cast<long double>(hi[c]) - lo[c]) / 256;
      }
      std::vector<FloatPixel> px(20001);
      for (size_t i = 0; i < px.size(); ++i) {
        float* f = &px[i].r;
        for (int c = 0; c < 4; ++c) {
          const int kind = static_cast<int>(rng() % 16);
          f[c] = kind == 0   ? std::numeric_limits<float>::quiet_NaN()
                 : kind == 1 ? -0.0f
                 : kind == 2 ? static_cast<float>(lo[c] + scale[c] * (rng() % 512) / 2)
                             : lo[c] + (hi[c] - lo[c]) * (static_cast<float>(rng() % 1000) / 1000);
        }
      }
      std::vector<FloatPixel> run = px;
      NormalizeRun(run.data(), static_cast<int64_t>(run.size()), off, scale, lanes);
      for (size_t i = 0; i < px.size(); ++i)
        for (int c = 0; c < 4; ++c) {
          const float x = (&px[i].r)[c];
          const float want =
              lanes & (1 << c) ? static_cast<float>((static_cast<long double>(x) + off[c]) / scale[c]) : x;
          const float got = (&run[i].r)[c];
          ASSERT_EQ(std::memcmp(&want, &got, sizeof want), 0)
              << "'" << noAvx2 << "' lanes " << lanes << " pixel " << i << " channel " << c;
        }
    }
  }
  unsetenv("VELMORA_NO_AVX2");
  // Quotients within 2^-50 of a float midpoint, above or below it (the
  // offset puts them there): only the bound tells which way they round.
  for (int run = 0; run < 3000; ++run) {
    long double off[4], scale[4];
    FloatPixel px[2];
    for (int c = 0; c < 4; ++c) {
      const float m = std::ldexp(1.0f + static_cast<float>(rng() % (1 << 23)) * 0x1p-23f,
                                 static_cast<int>(rng() % 9));
      const long double mid = m + (static_cast<long double>(std::nextafter(m, 1e30f)) - m) / 2;
      const long double q = mid + (rng() % 2 ? 1 : -1) * mid * 0x1p-50L;
      const float v = static_cast<float>(rng() % 100000) / 64;
      scale[c] = (static_cast<long double>(rng() % 100000) / 100 + 1) / 256;
      off[c] = q * scale[c] - v;
      (&px[0].r)[c] = (&px[1].r)[c] = v;
    }
    FloatPixel got[2] = {px[0], px[1]};
    NormalizeRun(got, 2, off, scale, 15);
    for (int c = 0; c < 4; ++c) {
      const float want = static_cast<float>(((&px[0].r)[c] + off[c]) / scale[c]);
      ASSERT_EQ(std::memcmp(&want, &(&got[1].r)[c], sizeof want), 0) << "run " << run << " channel " << c;
    }
  }
  // Sums that are exactly zero (a minimum a clip has flattened): zeros signed
  // as the extended quotient's, for offsets of either zero, a float and one
  // that is not, and scales of either sign.
  for (long double o : {0.0L, -0.0L, 37.25L, 37.25L + 0x1p-40L})
    for (long double s : {0.5L, -3.0L}) {
      const long double off[4] = {o, o, o, o}, scale[4] = {s, s, s, s};
      const float z = static_cast<float>(-o);
      const FloatPixel px[2] = {{z, 0.0f, -0.0f, std::nextafter(z, 1e30f)}, {-0.0f, z, 0.0f, z}};
      FloatPixel got[2] = {px[0], px[1]};
      NormalizeRun(got, 2, off, scale, 15);
      for (int i = 0; i < 8; ++i) {
        const float want = static_cast<float>(((&px[0].r)[i] + o) / s);
        EXPECT_EQ(std::memcmp(&want, &(&got[0].r)[i], sizeof want), 0)
            << double(o) << " " << double(s) << " value " << i;
      }
    }
}

TEST(CloudExactness, FloatToPackedFastEqualsFloatToPacked) {
  RenderContext ctx;
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<float> v(-10, 270);
  // Halves (ties), NaN of both signs, infinities, -0 and values beyond the
  // int32 range; the run form (several pixels at a time) over all of them
  // with a tail.
  const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), -0.0f, 3e9f, -3e9f, 254.5f};
  std::vector<FloatPixel> px(100003);
  std::vector<PackedPixel> run(px.size());
  for (size_t i = 0; i < px.size(); ++i) {
    FloatPixel f{v(rng), std::round(v(rng) * 2) / 2, v(rng), v(rng)};
    if (i % 17 == 0) f.g = std::numeric_limits<float>::quiet_NaN();
    if (i % 5 == 0) f.a = specials[i / 5 % 8];
    px[i] = f;
    ASSERT_EQ(FloatToPackedFast(f), FloatToPacked(f)) << f.r << " " << f.g << " " << f.a;
  }
  FloatToPackedRun(px.data(), run.data(), static_cast<int64_t>(px.size()));
  for (size_t i = 0; i < px.size(); ++i) ASSERT_EQ(run[i], FloatToPacked(px[i])) << i;
}

// ---------------------------------------------------------------------------
// base_pattern

TEST(CloudLayer, SameSettingsGiveTheSamePattern) {
  RenderContext ctx;
  TCloudFrameParams p = DefaultCloudParams(48, 48);
  LayerResult a, b;
  RenderLayer(p, false, a);
  RenderLayer(p, false, b);
  EXPECT_TRUE(SameBits(a.base, b.base));
  EXPECT_EQ(Checksum(a.cloud), Checksum(b.cloud));
}

TEST(CloudLayer, PositionOffsetsWrapAtTheWidth) {
  RenderContext ctx;
  // cx = 1.25 and cx = 0.25 give the same pattern when ResX = W.
  TCloudFrameParams p = DefaultCloudParams(40, 40);
  p.cx = 1.25L;
  LayerResult a, b;
  RenderLayer(p, false, a);
  p.cx = 0.25L;
  RenderLayer(p, false, b);
  EXPECT_TRUE(SameBits(a.base, b.base));
}

TEST(CloudLayer, HalfOffsetsShiftEveryBufferByHalfItsSize) {
  RenderContext ctx;
  // Seamless tiling: every stamp and every look-up wraps, so moving the cloud
  // layer and both warp layers by half the picture moves base_pattern,
  // warp_template and cloud by exactly half the picture.
  const int32_t W = 64, H = 48;
  TCloudFrameParams p = DefaultCloudParams(W, H);
  LayerResult a, b;
  RenderLayer(p, false, a);
  p.cx = p.wx1 = p.wx2 = 0.5L;
  p.cy = p.wy1 = p.wy2 = 0.5L;
  RenderLayer(p, false, b);
  int bad = 0;
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const int64_t i = y * W + x, j = ((y + H / 2) % H) * W + (x + W / 2) % W;
      bad += std::memcmp(&a.base->data[i], &b.base->data[j], sizeof(FloatPixel)) != 0;
      bad += std::memcmp(&a.warp->data[i], &b.warp->data[j], sizeof(FloatPixel)) != 0;
      bad += a.cloud->data[i] != b.cloud->data[j];
    }
  EXPECT_EQ(bad, 0);
}

TEST(CloudLayer, ComplexZeroNeitherCrashesNorLoops) {
  TCloudFrameParams p = DefaultCloudParams(32, 32);
  p.Complex = 0;
  LayerResult r;
  RenderLayer(p, false, r);
  EXPECT_EQ(r.frameProgress, 90);
  // Stamp 0 is full size; every later stamp size is NaN or infinite: skipped.
  ASSERT_NE(r.cloud, nullptr);
}

// Cloud amount 0 is no cloud, in both modes, as the smallest amounts are
// nearly none.
TEST(CloudLayer, NoCloudAmountIsABlackPattern) {
  for (bool reference : {false, true}) {
    TCloudFrameParams p = DefaultCloudParams(16, 16);
    p.Coverrate = 0;
    LayerResult r;
    RenderLayer(p, reference, r);
    int64_t lit = 0;
    for (int64_t i = 0; i < 16 * 16; ++i)
      lit += r.base->data[i].r != 0 || r.base->data[i].g != 0 || r.base->data[i].b != 0;
    EXPECT_EQ(lit, 0) << "reference " << reference;
  }
}

TEST(CloudLayer, HugeAndNaNStampSizesAreSkipped) {
  RenderContext ctx;
  for (long double maxRadius : {1e12L, std::numeric_limits<long double>::infinity(),
                                std::numeric_limits<long double>::quiet_NaN(), -5.0L}) {
    TCloudFrameParams p = DefaultCloudParams(24, 24);
    p.MaxRadius = maxRadius;
    p.wMaxRadius = maxRadius;
    LayerResult r;
    RenderLayer(p, false, r);
    EXPECT_TRUE(r.cloud != nullptr);
  }
}

TEST(CloudLayer, SeedSumsWrapAt32Bits) {
  RenderContext ctx;
  // Seed + 1 and Seed + w overflow int32 here; UBSan guards the arithmetic,
  // and the layer must be a pure function of the settings.
  for (int32_t seed : {INT32_MAX, INT32_MIN, -1}) {
    TCloudFrameParams p = DefaultCloudParams(24, 24);
    p.Seed = seed;
    LayerResult a, b;
    RenderLayer(p, false, a);
    RenderLayer(p, false, b);
    EXPECT_EQ(Checksum(a.warp), Checksum(b.warp)) << seed;
  }
  // Seed -1: layer 1 is seeded with 0, layer 2's stamp w with w - 1.
  TCloudFrameParams p = DefaultCloudParams(24, 24);
  p.Seed = -1;
  p.Complex = 0.1L;
  LayerResult a;
  RenderLayer(p, false, a);
  EXPECT_NE(Checksum(a.warp), 0u);
}

TEST(CloudLayer, OptimisedEqualsLiteralForManySettings) {
  RenderContext ctx;
  struct Case {
    const char* name;
    void (*set)(TCloudFrameParams&);
  };
  const Case cases[] = {
      {"defaults", [](TCloudFrameParams&) {}},
      {"clip brightness", [](TCloudFrameParams& p) { p.ClipBrightness = true; }},
      {"centre", [](TCloudFrameParams& p) { p.Center = 0.6L; }},
      {"centre reverse",
       [](TCloudFrameParams& p) {
         p.Center = 0.3L;
         p.CenterReverse = true;
       }},
      {"complex",
       [](TCloudFrameParams& p) {
         p.Complex = 0.62L;
         p.Noise = 0.9L;
         p.wNoise = 0.7L;
       }},
      {"radii",
       [](TCloudFrameParams& p) {
         p.MinRadius = 0.05L;
         p.MaxRadius = 1.7L;
         p.wMinRadius = 0.2L;
         p.wMaxRadius = 0.9L;
       }},
      {"offsets",
       [](TCloudFrameParams& p) {
         p.cx = -0.37L;
         p.cy = 2.1L;
         p.wx1 = 0.3L;
         p.wy2 = -0.8L;
       }},
      {"warp",
       [](TCloudFrameParams& p) {
         p.WX = 20;
         p.WY = -13.4L;
         p.Coverrate = 0.93L;
       }},
      {"complex zero", [](TCloudFrameParams& p) { p.Complex = 0; }},
      {"seed", [](TCloudFrameParams& p) { p.Seed = 1; }},
  };
  for (auto [w, h] : {std::pair{40, 40}, {33, 57}}) {
    for (const Case& c : cases) {
      TCloudFrameParams p = DefaultCloudParams(w, h);
      c.set(p);
      LayerResult fast, lit;
      RenderLayer(p, false, fast);
      RenderLayer(p, true, lit);
      std::string where;
      EXPECT_TRUE(SameBits(fast.base, lit.base, &where)) << c.name << " base " << where;
      EXPECT_TRUE(SameBits(fast.warp, lit.warp, &where)) << c.name << " warp " << where;
      EXPECT_EQ(Checksum(fast.cloud), Checksum(lit.cloud)) << c.name;
      EXPECT_EQ(fast.warpScale, lit.warpScale) << c.name;
    }
  }
}

TEST(CloudLayer, DefaultLayerChecksumsArePinned) {
  RenderContext ctx;
  // Pins the whole cloud layer of the new-project settings at 64 x 64 (the
  // pens, the draw order of every stamp, the rounding of sizes and
  // positions, the normalisations and the lookup).  These values were
  // produced by the literal implementation (reference mode) and are checked
  // against the optimised one: an optimisation must leave them unchanged.
  TCloudFrameParams p = DefaultCloudParams(64, 64);
  for (bool reference : {true, false}) {
    LayerResult r;
    RenderLayer(p, reference, r);
    EXPECT_EQ(Checksum(r.base), 0xe7ebab9a621cee03ull) << std::hex << Checksum(r.base);
    EXPECT_EQ(Checksum(r.warp), 0xbc555f19f6bfa208ull) << std::hex << Checksum(r.warp);
    EXPECT_EQ(Checksum(r.cloud), 0xe6a759771fcae7full) << std::hex << Checksum(r.cloud);
  }
}

TEST(CloudLayer, RepeatedRendersDoNotTouchTheHeap) {
  RenderContext ctx;
  RenderSequence seq;
  TCloudFrameParams p = DefaultCloudParams(64, 64);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  RenderCloudLayer(ctx, p, OutTarget(p), seq);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  RenderCloudLayer(ctx, p, OutTarget(p), seq);
  const uint64_t heap = ctx.Pool.Counters().heapBytes;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
    RenderCloudLayer(ctx, p, OutTarget(p), seq);
  }
  EXPECT_EQ(ctx.Pool.Counters().heapBytes, heap);
  ctx.Frame.Free();
  ctx.Pens.Free();
}

TEST(CloudPattern, SizeCurveValuesAreTheCurvesOwn) {
  // Kept values serve only the same curve, and any count: shorter, longer
  // (the block grows), then shorter.
  RenderContext ctx;
  const PowEaseOutCurve curves[] = {{8, 5, 0, 0.2L, 1}, {8, 5, 0, 0.25L, 1}, {4, 5, 0, 0.25L, 1}};
  for (const PowEaseOutCurve& c : curves)
    for (int64_t count : {7, 10, 3, 5000}) {
      const long double* v = SizeCurveValues(ctx, 1, c, count);
      ASSERT_NE(v, nullptr);
      for (int64_t i = 0; i < count; ++i) {
        const long double want = c.At(static_cast<long double>(i));
        ASSERT_EQ(std::memcmp(&v[i], &want, 10), 0) << count << " " << i;
      }
    }
  EXPECT_EQ(SizeCurveValues(ctx, 0, curves[0], int64_t{1} << 40), nullptr);
}
