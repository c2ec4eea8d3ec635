#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "render/Blur.h"
#include "render/MemoryHunger.h"
#include "base/Numeric.h"
#include "render/Pixe.h"
#include "render/Render.h"

using namespace velmora;

namespace {

// A deterministic test picture: smooth gradients (many equal neighbours, as in
// real clouds), some noise and a few fully transparent pixels.
TPixeBuffer* MakePicture(HungerPool& pool, int32_t w, int32_t h, uint32_t seed) {
  TPixeBuffer* b = NewPixeBuffer(pool, w, h);
  uint32_t s = seed;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      s = s * 1664525u + 1013904223u;
      const uint32_t noise = s >> 29;
      const uint32_t r = (x * 255 / w + noise) & 0xFF;
      const uint32_t g = (y * 200 / h) & 0xFF;
      const uint32_t bl = ((x + y) * 3) & 0xFF;
      const uint32_t a = (s >> 24) < 12 ? 0 : 255 - ((x * y) & 63);
      PutPixel(b, x, y, false, MakePixel(r, g, bl, a));
    }
  }
  return b;
}

bool SamePixels(const TPixeBuffer* a, const TPixeBuffer* b) {
  if (a->width != b->width || a->height != b->height) return false;
  for (int32_t i = 0; i < a->width * a->height; ++i)
    if (a->data[i] != b->data[i]) return false;
  return true;
}

// The blur written the plain way: every pixel read through GetPixel or
// BilinearSample, sums in 64 bits, division at the end.
void ReferenceBlur(const TCloudFrameParams& p, TPixeBuffer* img) {
  const int32_t w = img->width, h = img->height;
  const long double ratio = static_cast<long double>(h) / w;
  RandomGenerator rng;
  rng.Seed(static_cast<uint32_t>(p.Seed));
  const int64_t count = RoundToInt64(p.BlurSamples);
  if (p.BlurRadius == 0) return;
  std::vector<int64_t> sum(static_cast<size_t>(w) * h * 4, 0);
  for (int64_t m = 0; m < count; ++m) {
    const BlurOffset o = BlurSampleOffset(rng, m, count, p.BlurRadius * w, p.BlurCurve, p.BlurRotX,
                                          p.BlurRotY, p.BlurRotZ);
    for (int32_t py = 0; py < h; ++py) {
      for (int32_t px = 0; px < w; ++px) {
        PackedPixel v;
        if (p.BlurDraft)
          v = GetPixel(img, px - RoundToInt32(o.x), py - RoundToInt32(ratio * o.y), true);
        else
          v = BilinearSample(img, py - ratio * o.y, px - o.x);
        int64_t* s = &sum[(static_cast<size_t>(py) * w + px) * 4];
        s[0] += PixR(v), s[1] += PixG(v), s[2] += PixB(v), s[3] += PixA(v);
      }
    }
  }
  for (int32_t i = 0; i < w * h; ++i) {
    uint32_t c[4] = {0, 0, 0, 0};
    if (count > 0)
      for (int k = 0; k < 4; ++k)
        c[k] = static_cast<uint32_t>(std::min<int64_t>(sum[i * 4 + k] / count, 255));
    img->data[i] = MakePixel(c[0], c[1], c[2], c[3]);
  }
}

struct BlurFixture : ::testing::Test {
  RenderContext ctx;
  TCloudFrameParams p;
  void SetUp() override {
    p.Seed = 65536;
    p.BlurSamples = 32;
    p.BlurDraft = true;
  }
  void TearDown() override { ctx.Frame.Free(); }
  // Runs one accumulation pass of the given kind and resolves it.
  TPixeBuffer* OnePass(const TPixeBuffer* src, long double x, long double y, bool draft) {
    TPixeSumBuffer* acc = NewPixeSumBuffer(ctx.Pool, src->width, src->height);
    ClearPixeSumBuffer(acc);
    if (draft)
      BlurAccumulateDraft(ctx, src, acc, x, y);
    else
      BlurAccumulateBilinear(ctx, src, acc, x, y);
    TPixeBuffer* out = NewPixeBuffer(ctx.Pool, src->width, src->height);
    BlurResolve(ctx, acc, out);
    FreePixeSumBuffer(acc);
    return out;
  }
};

}  // namespace

TEST(BlurSampleOffsetTest, TinyRadiusGivesTheCentreWithoutDrawing) {
  RenderContext ctx;
  ctx.Rng.Seed(1234);
  const BlurOffset o = BlurSampleOffset(ctx.Rng, 3, 8, 0.00009L, 50, 10, 20, 30);
  EXPECT_EQ(o.x, 0);
  EXPECT_EQ(o.y, 0);
  EXPECT_EQ(o.z, 0);
  EXPECT_EQ(ctx.Rng.State(), 1234u);
  // Radii that are not numbers, or so large that the ball test would
  // overflow, behave alike instead of looping for ever.
  for (long double r :
       {static_cast<long double>(NAN), static_cast<long double>(INFINITY), 0x1p9000L}) {
    const BlurOffset q = BlurSampleOffset(ctx.Rng, 0, 4, r, 0, 0, 0, 0);
    EXPECT_EQ(q.x, 0);
    EXPECT_EQ(ctx.Rng.State(), 1234u);
  }
  // 0.0001 itself is a radius: it draws.
  BlurSampleOffset(ctx.Rng, 0, 4, 0.0001L, 0, 0, 0, 0);
  EXPECT_NE(ctx.Rng.State(), 1234u);
}

TEST(BlurSampleOffsetTest, OffsetsStayInsideTheBall) {
  RenderContext ctx;
  ctx.Rng.Seed(65536);
  const long double R = 0.01L * 512;  // at most 5.12 pixels
  for (int64_t m = 0; m < 200; ++m) {
    const BlurOffset o = BlurSampleOffset(ctx.Rng, m, 200, R, 0, 0, 0, 0);
    EXPECT_LE(std::sqrt(o.x * o.x + o.y * o.y + o.z * o.z), R);
    EXPECT_LE(std::fabs(o.x), 5.12L);
  }
}

TEST(BlurSampleOffsetTest, CurveShortensEarlySamplesTowardTheCentre) {
  RenderContext ctx;
  // With curve 100 the length factor of sample m is |m - 1| / (count - 1):
  // sample 1 sits at the centre, sample count-1 keeps its full length.
  const long double R = 10;
  for (int64_t m : {0, 1, 3, 4}) {
    ctx.Rng.Seed(77);
    const BlurOffset full = BlurSampleOffset(ctx.Rng, m, 5, R, 0, 0, 0, 0);
    ctx.Rng.Seed(77);
    const BlurOffset curved = BlurSampleOffset(ctx.Rng, m, 5, R, 100, 0, 0, 0);
    const long double l = std::fabs(static_cast<long double>(m) - 1) / 4;
    EXPECT_NEAR(curved.x, full.x * l, 1e-15L);
    EXPECT_NEAR(curved.y, full.y * l, 1e-15L);
    if (m == 1) {
      EXPECT_EQ(curved.x, 0);
    }
  }
  // Curve 50 is halfway between full length and the curve-100 length.
  ctx.Rng.Seed(5);
  const BlurOffset full = BlurSampleOffset(ctx.Rng, 2, 5, R, 0, 0, 0, 0);
  ctx.Rng.Seed(5);
  const BlurOffset half = BlurSampleOffset(ctx.Rng, 2, 5, R, 50, 0, 0, 0);
  EXPECT_NEAR(half.x, full.x * (1 + 0.5L * (0.25L - 1)), 1e-15L);
}

TEST(BlurSampleOffsetTest, SingleSampleKeepsItsFullLength) {
  RenderContext ctx;
  ctx.Rng.Seed(9);
  const BlurOffset plain = BlurSampleOffset(ctx.Rng, 0, 1, 8, 0, 0, 0, 0);
  ctx.Rng.Seed(9);
  const BlurOffset curved = BlurSampleOffset(ctx.Rng, 0, 1, 8, 100, 0, 0, 0);
  EXPECT_TRUE(std::isfinite(curved.x) && std::isfinite(curved.y));
  EXPECT_EQ(curved.x, plain.x);
  EXPECT_EQ(curved.y, plain.y);
  EXPECT_EQ(curved.z, plain.z);
}

TEST(BlurSampleOffsetTest, RotationsTurnTheBrushInDegrees) {
  RenderContext ctx;
  ctx.Rng.Seed(42);
  const BlurOffset o = BlurSampleOffset(ctx.Rng, 0, 2, 6, 0, 0, 0, 0);
  ctx.Rng.Seed(42);
  const BlurOffset z90 = BlurSampleOffset(ctx.Rng, 0, 2, 6, 0, 0, 0, 90);
  EXPECT_NEAR(z90.x, -o.y, 1e-15L);
  EXPECT_NEAR(z90.y, o.x, 1e-15L);
  EXPECT_NEAR(z90.z, o.z, 1e-15L);
  ctx.Rng.Seed(42);
  const BlurOffset x90 = BlurSampleOffset(ctx.Rng, 0, 2, 6, 0, 90, 0, 0);
  EXPECT_NEAR(x90.x, o.x, 1e-15L);
  EXPECT_NEAR(x90.y, -o.z, 1e-15L);
  EXPECT_NEAR(x90.z, o.y, 1e-15L);
}

TEST_F(BlurFixture, DraftReadsTheRoundedOffsetWithWrap) {
  // 4 x 4 picture; offset (1.4, 0) reads one column to the left, so column 0
  // takes column 3.
  TPixeBuffer* img = NewPixeBuffer(ctx.Pool, 4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) PutPixel(img, x, y, false, MakePixel(x * 10, y * 10, 1, 255));
  TPixeBuffer* out = OnePass(img, 1.4L, 0, true);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(GetPixel(out, x, y, false), GetPixel(img, (x + 3) % 4, y, false));
  FreePixeBuffer(out);
  // -2.5 rounds to -2 (ties to even): reads two columns and rows further on.
  out = OnePass(img, -2.5L, -2.5L, true);
  EXPECT_EQ(GetPixel(out, 3, 3, false), GetPixel(img, 1, 1, false));
  FreePixeBuffer(out);
  // An offset far outside the picture still wraps exactly.
  out = OnePass(img, 4000000001.0L, -1e20L, true);
  EXPECT_EQ(GetPixel(out, 1, 0, false), GetPixel(img, 0, 0, false));
  FreePixeBuffer(out);
  FreePixeBuffer(img);
}

TEST_F(BlurFixture, BilinearPassWithZeroOffsetCopiesUnshifted) {
  TPixeBuffer* img = MakePicture(ctx.Pool, 9, 7, 3);
  FillPixeBuffer(img, 0);
  for (int32_t i = 0; i < 63; ++i) img->data[i] = MakePixel(i, 2 * i, 255 - i, 128 + i);
  TPixeBuffer* out = OnePass(img, 0, 0, false);
  EXPECT_TRUE(SamePixels(out, img));
  FreePixeBuffer(out);
  FreePixeBuffer(img);
}

TEST_F(BlurFixture, WholePixelOffsetsMatchDraftEverywhereIncludingTheEdges) {
  // The sample position is floored, so a whole-pixel shift reads exact pixels
  // also left of and above the origin.
  TPixeBuffer* img = MakePicture(ctx.Pool, 13, 11, 8);
  for (int32_t i = 0; i < 13 * 11; ++i) img->data[i] |= 0xFF000000u;  // opaque
  for (auto [x, y] : {std::pair{1.0L, 0.0L}, {-3.0L, 2.0L}, {14.0L, -12.0L}}) {
    TPixeBuffer* a = OnePass(img, x, y, false);
    TPixeBuffer* b = OnePass(img, x, y, true);
    EXPECT_TRUE(SamePixels(a, b)) << x << "," << y;
    FreePixeBuffer(a);
    FreePixeBuffer(b);
  }
  // A quarter pixel to the right: pixel x reads position x - 0.25, which
  // mixes pixel x (3/4) with pixel x - 1 (1/4); pixel 0 takes the last column.
  TPixeBuffer* line = NewPixeBuffer(ctx.Pool, 4, 1);
  for (int32_t x = 0; x < 4; ++x) PutPixel(line, x, 0, false, MakePixel(x * 40, 0, 0, 255));
  TPixeBuffer* q = OnePass(line, 0.25L, 0, false);
  EXPECT_EQ(PixR(GetPixel(q, 0, 0, false)), 30u);  // 0.75 x 0 + 0.25 x 120
  EXPECT_EQ(PixR(GetPixel(q, 2, 0, false)), 70u);  // 0.75 x 80 + 0.25 x 40
  FreePixeBuffer(q);
  FreePixeBuffer(line);
  FreePixeBuffer(img);
}

TEST_F(BlurFixture, BilinearPassEqualsTheBilinearSampleAtEveryPixel) {
  TPixeBuffer* img = MakePicture(ctx.Pool, 37, 23, 11);
  const long double offsets[][2] = {{0.3L, -0.7L},       {-5.25L, 3.5L},      {2.0L / 3, 1.0L / 7},
                                    {100.9L, -47.1L},    {-0.0000001L, 0.5L}, {1e-19L, -1e-19L},
                                    {-36.99999L, 22.5L}, {NAN, 1.25L}};
  // Both the vector kernels (where the processor has them) and the plain ones.
  for (bool vector : {true, false})
    for (const auto& o : offsets) {
      ctx.BlurVectorKernels = vector;
      TPixeSumBuffer* acc = NewPixeSumBuffer(ctx.Pool, 37, 23);
      ClearPixeSumBuffer(acc);
      BlurAccumulateBilinear(ctx, img, acc, o[0], o[1]);
      for (int32_t py = 0; py < 23; ++py) {
        for (int32_t px = 0; px < 37; ++px) {
          const PackedPixel v = BilinearSample(img, py - o[1], px - o[0]);
          const SumPixel& s = acc->data[py * 37 + px];
          ASSERT_EQ(s.n, 1);
          ASSERT_EQ(MakePixel(s.r, s.g, s.b, s.a), v)
              << o[0] << "," << o[1] << " @" << px << "," << py;
        }
      }
      FreePixeSumBuffer(acc);
    }
  ctx.BlurVectorKernels = true;
  FreePixeBuffer(img);
}

TEST_F(BlurFixture, StageMatchesThePlainPerPixelBlur) {
  struct Case {
    bool draft;
    long double radius, samples, curve, rx, ry, rz;
    int32_t seed;
  };
  const Case cases[] = {{true, 0.05L, 12, 0, 0, 0, 0, 65536},
                        {false, 0.05L, 12, 0, 0, 0, 0, 65536},
                        {false, 0.2L, 7.5L, 100, 30, -45, 200, 17},
                        {true, 0.3L, 5, 35, 10, 20, 30, -3},
                        {false, 0.013L, 3, 60, 0, 90, 0, 2}};
  for (const Case& c : cases) {
    p.BlurDraft = c.draft;
    p.BlurRadius = c.radius;
    p.BlurSamples = c.samples;
    p.BlurCurve = c.curve;
    p.BlurRotX = c.rx;
    p.BlurRotY = c.ry;
    p.BlurRotZ = c.rz;
    p.Seed = c.seed;
    FreePixeBuffer(ctx.Frame.filtered_cloud);
    ctx.Frame.filtered_cloud = MakePicture(ctx.Pool, 24, 16, 5);  // not square: y offsets scale by 16/24
    TPixeBuffer* expect = MakePicture(ctx.Pool, 24, 16, 5);
    ReferenceBlur(p, expect);
    BlurStage(ctx, p);
    EXPECT_TRUE(SamePixels(ctx.Frame.filtered_cloud, expect)) << c.draft << " " << c.radius;
    FreePixeBuffer(expect);
  }
}

TEST_F(BlurFixture, BlurOfATilingPictureStaysTiling) {
  // Blurring commutes with a cyclic shift: nothing is special at the edges, so
  // no seam appears where copies of the picture meet.
  for (bool draft : {true, false}) {
    p.BlurDraft = draft;
    p.BlurRadius = 0.15L;
    p.BlurSamples = 9;
    p.BlurCurve = 40;
    TPixeBuffer* img = MakePicture(ctx.Pool, 20, 20, 21);
    TPixeBuffer* shifted = NewPixeBuffer(ctx.Pool, 20, 20);
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 20; ++x)
        PutPixel(shifted, x, y, false, GetPixel(img, x + 10, y + 7, true));
    ctx.Frame.filtered_cloud = img;
    BlurStage(ctx, p);
    ctx.Frame.filtered_cloud = shifted;
    BlurStage(ctx, p);
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 20; ++x)
        ASSERT_EQ(GetPixel(shifted, x, y, false), GetPixel(img, x + 10, y + 7, true)) << draft;
    FreePixeBuffer(img);
    ctx.Frame.filtered_cloud = shifted;  // freed by TearDown
  }
}

TEST_F(BlurFixture, RadiusZeroLeavesThePictureAlone) {
  ctx.Frame.filtered_cloud = MakePicture(ctx.Pool, 16, 16, 1);
  TPixeBuffer* before = MakePicture(ctx.Pool, 16, 16, 1);
  p.BlurRadius = 0;
  p.BlurSamples = 0;
  BlurStage(ctx, p);
  EXPECT_TRUE(SamePixels(ctx.Frame.filtered_cloud, before));
  EXPECT_EQ(ctx.Rng.State(), 65536u);  // the stage seeded the generator all the same
  // A radius that is not a number gives centre offsets only: the draft blur
  // averages exact copies.
  p.BlurRadius = NAN;
  p.BlurSamples = 3;
  BlurStage(ctx, p);
  EXPECT_TRUE(SamePixels(ctx.Frame.filtered_cloud, before));
  FreePixeBuffer(before);
}

TEST_F(BlurFixture, NoSamplesWithARadiusGiveTransparentBlack) {
  ctx.Frame.filtered_cloud = MakePicture(ctx.Pool, 8, 8, 1);
  p.BlurRadius = 0.1L;
  p.BlurSamples = 0.4L;  // rounds to 0
  BlurStage(ctx, p);
  for (int32_t i = 0; i < 64; ++i) EXPECT_EQ(ctx.Frame.filtered_cloud->data[i], 0u);
}

TEST_F(BlurFixture, OneSampleIsAShiftedCopy) {
  for (bool draft : {true, false}) {
    p.BlurDraft = draft;
    ctx.Frame.filtered_cloud = MakePicture(ctx.Pool, 16, 16, 4);
    p.BlurRadius = 0.2L;
    p.BlurSamples = 1;
    p.BlurCurve = 100;  // would divide by zero without the full-length rule
    ctx.Rng.Seed(65536);
    const BlurOffset o = BlurSampleOffset(ctx.Rng, 0, 1, 0.2L * 16, 100, 0, 0, 0);
    EXPECT_GT(std::hypot(o.x, o.y), 0);
    TPixeBuffer* expect = OnePass(ctx.Frame.filtered_cloud, o.x, o.y, draft);
    BlurStage(ctx, p);
    EXPECT_TRUE(SamePixels(ctx.Frame.filtered_cloud, expect));
    FreePixeBuffer(expect);
    ctx.Frame.Free();
  }
}

TEST_F(BlurFixture, SameSeedSameResultOtherSeedOtherResult) {
  p.BlurRadius = 0.1L;
  p.BlurSamples = 6;
  p.BlurDraft = false;
  TPixeBuffer* a = MakePicture(ctx.Pool, 32, 32, 2);
  TPixeBuffer* b = MakePicture(ctx.Pool, 32, 32, 2);
  TPixeBuffer* c = MakePicture(ctx.Pool, 32, 32, 2);
  ctx.Frame.filtered_cloud = a;
  BlurStage(ctx, p);
  ctx.Frame.filtered_cloud = b;
  BlurStage(ctx, p);
  p.Seed = 65537;
  ctx.Frame.filtered_cloud = c;
  BlurStage(ctx, p);
  EXPECT_TRUE(SamePixels(a, b));
  EXPECT_FALSE(SamePixels(a, c));
  FreePixeBuffer(a);
  FreePixeBuffer(b);
  ctx.Frame.filtered_cloud = c;
}

TEST_F(BlurFixture, ResolveDividesTruncatingAndLimits) {
  TPixeSumBuffer* acc = NewPixeSumBuffer(ctx.Pool, 3, 1);
  acc->data[0] = {511, 3, 0, 1020, 2};
  acc->data[1] = {600, 700, 2, 5, 2};  // quotients above 255 are limited
  acc->data[2] = {9, 9, 9, 9, 0};      // no samples
  TPixeBuffer* out = NewPixeBuffer(ctx.Pool, 3, 1);
  BlurResolve(ctx, acc, out);
  EXPECT_EQ(out->data[0], MakePixel(255, 1, 0, 255));
  EXPECT_EQ(out->data[1], MakePixel(255, 255, 1, 2));
  EXPECT_EQ(out->data[2], 0u);
  FreePixeBuffer(out);
  FreePixeSumBuffer(acc);
}

TEST_F(BlurFixture, ProgressFollowsTheSamples) {
  ctx.Frame.filtered_cloud = MakePicture(ctx.Pool, 8, 8, 1);
  p.BlurRadius = 0.1L;
  // After sample m of COUNT the progress is round(100 / COUNT x m), ties
  // even: the last of 8 leaves round(87.5) = 88, of 3 round(66.7) = 67.
  for (const auto& [samples, last] : {std::pair{8, 88}, std::pair{3, 67}, std::pair{2, 50}}) {
    p.BlurSamples = samples;
    BlurStage(ctx, p);
    EXPECT_EQ(ctx.PixeProgress, last) << samples;
  }
}

TEST_F(BlurFixture, EmptyOrMissingPictureIsLeftAlone) {
  p.BlurRadius = 0.1L;
  BlurStage(ctx, p);  // no buffer
  ctx.Frame.filtered_cloud = NewPixeBuffer(ctx.Pool, 0, 5);
  BlurStage(ctx, p);
  EXPECT_EQ(ctx.Frame.filtered_cloud->width, 0);
  FreePixeBuffer(ctx.Frame.filtered_cloud);
  ctx.Frame.filtered_cloud = NewPixeBuffer(ctx.Pool, 6, 0);
  BlurStage(ctx, p);
  EXPECT_EQ(ctx.Frame.filtered_cloud->height, 0);
}

TEST_F(BlurFixture, RepeatedBlursDoNotTouchTheHeap) {
  ctx.Frame.filtered_cloud = MakePicture(ctx.Pool, 64, 48, 1);
  p.BlurRadius = 0.05L;
  p.BlurSamples = 3;
  for (bool draft : {false, true}) {
    p.BlurDraft = draft;
    BlurStage(ctx, p);
  }
  const uint64_t heap = ctx.Pool.Counters().heapBytes;
  for (int i = 0; i < 3; ++i) {
    for (bool draft : {false, true}) {
      p.BlurDraft = draft;
      BlurStage(ctx, p);
    }
  }
  EXPECT_EQ(ctx.Pool.Counters().heapBytes, heap);
  // Released blur memory goes back to the pool and is served from there.
  ctx.Blur.Free();
  BlurStage(ctx, p);
  EXPECT_EQ(ctx.Pool.Counters().heapBytes, heap);
}
