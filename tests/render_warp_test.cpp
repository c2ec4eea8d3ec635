// The warp layers, the warp normalisation and WarpLookup.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "render/CloudPattern.h"
#include "base/Numeric.h"
#include "render/Render.h"
#include "render/WarpEngine.h"
#include "render_cloud_helpers.h"

using namespace velmora;
using namespace velmora::testing_cloud;

namespace {

// A W x H float buffer filled with one value.
TPixeFloatBuffer* Filled(int32_t w, int32_t h, FloatPixel v) {
  TPixeFloatBuffer* b = NewPixeFloatBuffer(TestPool(), w, h);
  FillPixeFloatBuffer(b, v);
  return b;
}

// A base pattern whose element (x, y) has R = x, G = y.
TPixeFloatBuffer* Coordinates(int32_t w, int32_t h) {
  TPixeFloatBuffer* b = NewPixeFloatBuffer(TestPool(), w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b->data[y * w + x] = FloatPixel{float(x), float(y), 0, 255};
  return b;
}

}  // namespace

// ---------------------------------------------------------------------------
// WarpLookup

TEST(WarpLookup, WorkedValueOfTheText) {
  RenderContext ctx;
  // R = 0, G = 255, B = 127.5 and WX = 10 on a 320-wide image: t = 10 x 12 x
  // (1 - 0.5) x 1 = 60, u = 0: the look-up moves 60 pixels along x.
  int32_t sx, sy;
  WarpSourcePosition(ctx, FloatPixel{0, 255, 127.5f, 0}, 5, 7, 320, 240, 10, 0, sx, sy);
  EXPECT_EQ(sx, 65);
  EXPECT_EQ(sy, 7);
  // R = 63.75 turns the field by 90 degrees: the same displacement goes
  // along y.
  WarpSourcePosition(ctx, FloatPixel{63.75f, 255, 127.5f, 0}, 5, 7, 320, 240, 10, 0, sx, sy);
  EXPECT_EQ(sx, 5);
  EXPECT_EQ(sy, 67);
}

TEST(WarpLookup, ZeroAmountsCopyTheBasePattern) {
  RenderContext ctx;
  TPixeFloatBuffer* base = Coordinates(17, 9);
  TPixeFloatBuffer* tmpl = NewPixeFloatBuffer(ctx.Pool, 17, 9);
  std::mt19937 rng(1);
  for (int i = 0; i < 17 * 9; ++i)
    tmpl->data[i] = FloatPixel{float(rng() % 256), float(rng() % 256), float(rng() % 256), 255};
  TPixeFloatBuffer* out = Filled(17, 9, FloatPixel{0, 0, 0, 0});
  WarpLookup(ctx, base, tmpl, out, 0, 0);
  EXPECT_TRUE(SameBits(base, out));
  FreePixeFloatBuffer(base);
  FreePixeFloatBuffer(tmpl);
  FreePixeFloatBuffer(out);
}

TEST(WarpLookup, LeavingOnTheLeftEntersFromTheRight) {
  RenderContext ctx;
  int32_t sx, sy;
  // G = 0: t = WX x 12 x (-0.5) x kx; with WX = 1 and W = 320: -6.
  WarpSourcePosition(ctx, FloatPixel{0, 0, 127.5f, 0}, 2, 0, 320, 240, 1, 0, sx, sy);
  EXPECT_EQ(sx, 316);
  WarpSourcePosition(ctx, FloatPixel{0, 0, 127.5f, 0}, 319, 0, 320, 240, -1, 0, sx, sy);
  EXPECT_EQ(sx, 5);  // 325 mod 320
  // The text's left wrap, |(W + sx) rem W|, mirrors positions below -W.  On
  // a 32-wide image (kx = 0.1), WX = 20 gives t = -12: column 2 reads -10,
  // which wraps to 22; WX = 60 gives t = -36: column 2 reads -34, and
  // |(32 - 34) rem 32| = 2 (a true wrap would give 30).
  WarpSourcePosition(ctx, FloatPixel{0, 0, 127.5f, 0}, 2, 0, 32, 240, 20, 0, sx, sy);
  EXPECT_EQ(sx, 22);
  WarpSourcePosition(ctx, FloatPixel{0, 0, 127.5f, 0}, 2, 0, 32, 240, 60, 0, sx, sy);
  EXPECT_EQ(sx, 2);
}

TEST(WarpLookup, RoundsHalfEven) {
  RenderContext ctx;
  // t = 12 x WX x (G / 255 - 0.5) x 1 with G = 255: 6 WX.  WX = 0.25 gives
  // 1.5 -> 2, WX = 0.75 gives 4.5 -> 4.
  int32_t sx, sy;
  WarpSourcePosition(ctx, FloatPixel{0, 255, 127.5f, 0}, 10, 0, 320, 240, 0.25L, 0, sx, sy);
  EXPECT_EQ(sx, 12);
  WarpSourcePosition(ctx, FloatPixel{0, 255, 127.5f, 0}, 10, 0, 320, 240, 0.75L, 0, sx, sy);
  EXPECT_EQ(sx, 14);
}

TEST(WarpLookup, FastDisplacementEqualsTheExtendedOne) {
  RenderContext ctx;
  // Random templates, and templates built so that the displacement falls on
  // or next to a half-integer (where only the extended computation decides).
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<float> v(-20, 280);
  auto pixel = [&](int i, int32_t W, long double WX) {
    FloatPixel T{v(rng), v(rng), v(rng), 255};
    const long double ax = WX * 12, kx = static_cast<long double>(W) / 320;
    if (i % 3 == 0 && ax != 0) {
      // Aim t at k + 1/2 with R = 0 (angle 0) and B = 127.5 (u = 0).
      const long double target = static_cast<long double>(rng() % 40) - 20 + 0.5L;
      T = FloatPixel{0, static_cast<float>((target / (ax * kx) + 0.5L) * 255), 127.5f, 255};
      if (i % 2) T.g = std::nextafter(T.g, 1e9f);
    }
    return T;
  };
  auto amount = [&] { return (static_cast<long double>(rng() % 4001) - 2000) / 100; };
  int bad = 0;
  for (int i = 0; i < 200000; ++i) {
    const int32_t W = 64 + static_cast<int32_t>(rng() % 1500),
                  H = 48 + static_cast<int32_t>(rng() % 1500);
    const long double WX = amount(), WY = amount();
    const FloatPixel T = pixel(i, W, WX);
    int32_t a[2], b[2];
    ctx.CloudReferenceMode = true;
    WarpSourcePosition(ctx, T, 3, 5, W, H, WX, WY, a[0], a[1]);
    ctx.CloudReferenceMode = false;
    WarpSourcePosition(ctx, T, 3, 5, W, H, WX, WY, b[0], b[1]);
    bad += a[0] != b[0] || a[1] != b[1];
  }
  EXPECT_EQ(bad, 0);
  // Whole templates, which the lookup takes several pixels at a time, with
  // displacements exactly on half-integers among them: at 80 x 60 (W / 320
  // and H / 240 are 1/4), amounts in halves and G, B in quarters of 255,
  // with R = 0, every step is exact.
  const int32_t W = 80, H = 60;
  TPixeFloatBuffer* base = Coordinates(W, H);
  TPixeFloatBuffer* tmpl = Filled(W, H, FloatPixel{0, 0, 0, 0});
  TPixeFloatBuffer* a = Filled(W, H, FloatPixel{0, 0, 0, 0});
  TPixeFloatBuffer* b = Filled(W, H, FloatPixel{0, 0, 0, 0});
  const float quarters[] = {0, 63.75f, 127.5f, 191.25f, 255};
  for (int round = 0; round < 30; ++round) {
    const long double WX = static_cast<long double>(rng() % 81) / 2 - 20;
    const long double WY = static_cast<long double>(rng() % 81) / 2 - 20;
    for (int i = 0; i < W * H; ++i)
      tmpl->data[i] = i % 2 ? pixel(i, W, WX)
                            : FloatPixel{0, quarters[rng() % 5], quarters[rng() % 5], 255};
    ctx.CloudReferenceMode = true;
    WarpLookup(ctx, base, tmpl, a, WX, WY);
    ctx.CloudReferenceMode = false;
    WarpLookup(ctx, base, tmpl, b, WX, WY);
    ASSERT_EQ(std::memcmp(a->data, b->data, sizeof(FloatPixel) * W * H), 0) << round;
  }
  for (TPixeFloatBuffer* buf : {base, tmpl, a, b}) FreePixeFloatBuffer(buf);
}

TEST(WarpLookup, NonFiniteTemplateValuesStayInside) {
  RenderContext ctx;
  const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -1e30f, 1e30f};
  for (float s : specials) {
    int32_t sx = -1, sy = -1;
    WarpSourcePosition(ctx, FloatPixel{s, s, s, 0}, 3, 4, 32, 16, -8, 8, sx, sy);
    EXPECT_GE(sx, 0);
    EXPECT_LT(sx, 32);
    EXPECT_GE(sy, 0);
    EXPECT_LT(sy, 16);
  }
  // Amounts near the largest double saturate the displacement; both modes
  // and both signs must stay defined and inside.
  for (long double w : {1e308L, -1e308L})
    for (bool ref : {false, true}) {
      ctx.CloudReferenceMode = ref;
      int32_t sx = -1, sy = -1;
      WarpSourcePosition(ctx, FloatPixel{10, 255, 0, 0}, 15, 15, 16, 16, w, w, sx, sy);
      EXPECT_TRUE(sx >= 0 && sx < 16 && sy >= 0 && sy < 16) << sx << " " << sy;
    }
}

TEST(WarpLookup, PackedLookupIsTheFloatLookupConverted) {
  RenderContext ctx;
  RenderSequence seq;
  TCloudFrameParams p = DefaultCloudParams(40, 30);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  RenderCloudLayer(ctx, p, OutTarget(p), seq);
  TPixeFloatBuffer* out = Filled(40, 30, FloatPixel{0, 0, 0, 0});
  WarpLookup(ctx, ctx.Frame.base_pattern, ctx.Frame.warp_template, out, p.WX, p.WY);
  for (int i = 0; i < 40 * 30; ++i) ASSERT_EQ(ctx.Frame.cloud->data[i], FloatToPacked(out->data[i])) << i;
  FreePixeFloatBuffer(out);
  ctx.Frame.Free();
  ctx.Pens.Free();
}

// ---------------------------------------------------------------------------
// Warp normalisation

TEST(WarpNormalisation, FixedOnceAndReused) {
  RenderContext ctx;
  RenderSequence seq;
  TCloudFrameParams p = DefaultCloudParams(32, 32);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  RenderCloudLayer(ctx, p, OutTarget(p), seq);
  const long double offset = seq.WarpOffset, scale = seq.WarpScale;
  EXPECT_GT(scale, 0);
  // The normalised template spans 0..256 over R, G, B together.
  float lo = 1e9f, hi = -1e9f;
  for (int i = 0; i < 32 * 32; ++i)
    for (float c :
         {ctx.Frame.warp_template->data[i].r, ctx.Frame.warp_template->data[i].g, ctx.Frame.warp_template->data[i].b}) {
      lo = std::min(lo, c);
      hi = std::max(hi, c);
    }
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 256);
  // Another seed keeps the pair (an animation keeps one contrast scale).
  p.Seed = 4242;
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  RenderCloudLayer(ctx, p, OutTarget(p), seq);
  EXPECT_EQ(seq.WarpOffset, offset);
  EXPECT_EQ(seq.WarpScale, scale);
  // Resetting the sequence's warp fixes it afresh.
  seq.ResetWarp();
  RenderCloudLayer(ctx, p, OutTarget(p), seq);
  EXPECT_NE(seq.WarpScale, scale);
  ctx.Frame.Free();
  ctx.Pens.Free();
}

TEST(WarpNormalisation, FlatTemplateStaysAsStamped) {
  RenderContext ctx;
  RenderSequence seq;
  ctx.Frame.warp_template = Filled(4, 4, FloatPixel{7, 7, 7, 255});
  NormalizeWarpTemplate(ctx, seq);
  EXPECT_EQ(seq.WarpScale, 0);
  EXPECT_EQ(seq.WarpOffset, -7);
  EXPECT_EQ(ctx.Frame.warp_template->data[5].r, 7);
  ctx.Frame.warp_template->data[0].g = 11;  // lo 7, hi 11: scale 4 / 256
  NormalizeWarpTemplate(ctx, seq);
  EXPECT_EQ(seq.WarpScale, 4.0L / 256);
  EXPECT_EQ(ctx.Frame.warp_template->data[0].g, 256);
  EXPECT_EQ(ctx.Frame.warp_template->data[0].r, 0);
  EXPECT_EQ(ctx.Frame.warp_template->data[0].a, 255);  // alpha untouched
}

// ---------------------------------------------------------------------------
// Warp layers

TEST(WarpLayers, LayerTwoStampsDependOnlyOnSeedAndIndex) {
  RenderContext ctx;
  RenderSequence seq;
  // Layer 2 re-seeds with Seed + w before stamp w: changing Complex (the
  // number of stamps) leaves the first stamps' draws unchanged, so the same
  // seed gives the same generator state after each stamp's draws.  Seen
  // from outside: the generator ends at Seed + last index, advanced by the
  // four draws of that stamp.
  TCloudFrameParams p = DefaultCloudParams(16, 16);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  FillPixeFloatBuffer(ctx.Frame.warp_template, FloatPixel{0, 0, 0, 255});
  StampWarpLayer2(ctx, p, OutTarget(p));
  const int64_t last = 2 * (CloudStampCount(p.Complex) + 1);
  uint32_t expect = static_cast<uint32_t>(p.Seed) + static_cast<uint32_t>(last);
  for (int i = 0; i < 4; ++i) expect = expect * 0x08088405u + 1u;
  EXPECT_EQ(ctx.Rng.State(), expect);
  EXPECT_EQ(ctx.FrameProgress, 80);
  ctx.Frame.Free();
  ctx.Pens.Free();
}

TEST(WarpLayers, LayerOneIsSeededWithSeedPlusOne) {
  RenderContext ctx;
  RenderSequence seq;
  // M + 1 stamps of four draws each, from Seed + 1 (wrapping at 32 bits).
  for (int32_t seed : {65536, INT32_MAX, -1}) {
    TCloudFrameParams p = DefaultCloudParams(16, 16);
    p.Seed = seed;
    ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
    FillPixeFloatBuffer(ctx.Frame.warp_template, FloatPixel{0, 0, 0, 255});
    StampWarpLayer1(ctx, p, OutTarget(p));
    const int64_t M = RoundToInt64(p.Complex * 7.5L);  // 4
    uint32_t expect = static_cast<uint32_t>(seed) + 1u;
    for (int64_t i = 0; i < 4 * (M + 1); ++i) expect = expect * 0x08088405u + 1u;
    EXPECT_EQ(ctx.Rng.State(), expect) << seed;
    ctx.Frame.Free();
  }
  ctx.Pens.Free();
}

TEST(WarpLayers, ComplexZeroKeepsTheProgressFinite) {
  RenderContext ctx;
  RenderSequence seq;
  // Layer 1's progress divides by Complex x 10: guarded.
  TCloudFrameParams p = DefaultCloudParams(16, 16);
  p.Complex = 0;
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  FillPixeFloatBuffer(ctx.Frame.warp_template, FloatPixel{0, 0, 0, 255});
  StampWarpLayer1(ctx, p, OutTarget(p));
  EXPECT_EQ(ctx.FrameProgress, 30);
  StampWarpLayer2(ctx, p, OutTarget(p));  // 2N + 3 = 3 stamps, sizes NaN after the first: skipped
  EXPECT_EQ(ctx.FrameProgress, 80);
  ctx.Frame.Free();
  ctx.Pens.Free();
}

TEST(WarpLayers, MovingTheWarpLayersMovesTheTemplate) {
  RenderContext ctx;
  RenderSequence seq;
  // wy1 moves layer 1 by ResY x wy1 rows; with wy2 as well the whole
  // template moves (before normalisation, which is global).
  const int32_t W = 24, H = 20;
  TCloudFrameParams p = DefaultCloudParams(W, H);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  auto build = [&](long double wy) {
    p.wy1 = p.wy2 = wy;
    FillPixeFloatBuffer(ctx.Frame.warp_template, FloatPixel{0, 0, 0, 255});
    StampWarpLayer1(ctx, p, OutTarget(p));
    StampWarpLayer2(ctx, p, OutTarget(p));
    return Clone(ctx.Frame.warp_template);
  };
  TPixeFloatBuffer* a = build(0);
  TPixeFloatBuffer* b = build(0.25L);  // 5 rows
  int bad = 0;
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x)
      bad += std::memcmp(&a->data[y * W + x], &b->data[((y + 5) % H) * W + x],
                         sizeof(FloatPixel)) != 0;
  EXPECT_EQ(bad, 0);
  FreePixeFloatBuffer(a);
  FreePixeFloatBuffer(b);
  ctx.Frame.Free();
  ctx.Pens.Free();
}

TEST(WarpLayers, OnePassTemplateEqualsTheLayersOneAfterTheOther) {
  // Over a stale template, queued and stamped at once (the reference mode),
  // and with the work budget passed in layer 1 (layer 2 then draws nothing).
  const int32_t W = 24, H = 20;
  for (bool reference : {false, true}) {
    for (long double limit : {0.0L, 2.5L * (W * H + 1)}) {
      RenderContext ctx;
      RenderSequence seq;
      ctx.CloudReferenceMode = reference;
      TCloudFrameParams p = DefaultCloudParams(W, H);
      ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
      auto start = [&] {
        ctx.Work.Limit = limit;
        ctx.Work.Done = 0;
        ctx.Work.Exceeded = false;
      };
      start();
      FillPixeFloatBuffer(ctx.Frame.warp_template, FloatPixel{7, -3, 9, 1});
      StampWarpTemplate(ctx, p, OutTarget(p));
      TPixeFloatBuffer* once = Clone(ctx.Frame.warp_template);
      const uint32_t rng = ctx.Rng.State();
      const long double done = ctx.Work.Done;
      start();
      FillPixeFloatBuffer(ctx.Frame.warp_template, FloatPixel{0, 0, 0, 255});
      StampWarpLayer1(ctx, p, OutTarget(p));
      if (!ctx.Work.Exceeded) StampWarpLayer2(ctx, p, OutTarget(p));
      EXPECT_EQ(ctx.Work.Exceeded, limit > 0);
      EXPECT_EQ(std::memcmp(once->data, ctx.Frame.warp_template->data,
                            sizeof(FloatPixel) * W * H), 0) << reference << " " << double(limit);
      EXPECT_EQ(ctx.Rng.State(), rng);
      EXPECT_EQ(ctx.Work.Done, done);
      FreePixeFloatBuffer(once);
      ctx.Frame.Free();
      ctx.Pens.Free();
    }
  }
}
