#include <gtest/gtest.h>

#include <utility>

#include <cmath>

#include "render/ColorFilter.h"
#include "render/Pixe.h"
#include "render/Render.h"

using namespace velmora;

namespace {

// A record with the new-project filter settings and a 256 x 2 grey ramp in
// `cloud` (row 0: grey x, row 1: grey 255 - x).
struct FilterFixture : ::testing::Test {
  RenderContext ctx;
  TCloudFrameParams p;

  void SetUp() override {
    p.StartColor = {0, 0, 0, 255};
    p.EndColor = {255, 255, 255, 255};
    p.Brightness = 1;
    ctx.Frame.cloud = NewPixeBuffer(ctx.Pool, 256, 2);
    ctx.Frame.filtered_cloud = NewPixeBuffer(ctx.Pool, 256, 2);
    ASSERT_NE(ctx.Frame.cloud, nullptr);
    ASSERT_NE(ctx.Frame.filtered_cloud, nullptr);
    for (uint32_t x = 0; x < 256; ++x) {
      // G, B and A hold other values: only the R byte is the grey level.
      PutPixel(ctx.Frame.cloud, x, 0, false, MakePixel(x, 7, 99, 0));
      PutPixel(ctx.Frame.cloud, x, 1, false, MakePixel(255 - x, 255 - x, 255 - x, 255));
    }
  }
  void TearDown() override { ctx.Frame.Free(); }
  PackedPixel Out(int32_t grey) const { return GetPixel(ctx.Frame.filtered_cloud, grey, 0, false); }
};

// The shape of one channel curve written out directly.
long double Curve(long double s, long double v, long double y0, long double y1) {
  if (s > 0) return y1 - std::pow(255 - v, s + 1) * (y1 - y0) / std::pow(255.0L, s + 1);
  if (s < 0) return y0 + std::pow(v, -s + 1) * (y1 - y0) / std::pow(255.0L, -s + 1);
  return y0 + v * (y1 - y0) / 255;
}

}  // namespace

TEST_F(FilterFixture, NewProjectSettingsReproduceTheGreyLevelsOpaque) {
  ColorFilterStage(ctx, p);
  for (int32_t g = 0; g < 256; ++g) {
    EXPECT_EQ(Out(g), MakePixel(g, g, g, 255)) << g;
    EXPECT_EQ(GetPixel(ctx.Frame.filtered_cloud, g, 1, false), MakePixel(255 - g, 255 - g, 255 - g, 255));
  }
}

TEST_F(FilterFixture, BrightnessScalesColourOnlyWithTiesToEven) {
  p.Brightness = 0.5L;
  ColorFilterStage(ctx, p);
  EXPECT_EQ(Out(1), MakePixel(0, 0, 0, 255));          // 0.5 -> 0
  EXPECT_EQ(Out(3), MakePixel(2, 2, 2, 255));          // 1.5 -> 2
  EXPECT_EQ(Out(5), MakePixel(2, 2, 2, 255));          // 2.5 -> 2
  EXPECT_EQ(Out(255), MakePixel(128, 128, 128, 255));  // 127.5 -> 128

  p.Brightness = 0;
  p.StartColor.a = 0;
  ColorFilterStage(ctx, p);
  for (int32_t g = 0; g < 256; ++g) EXPECT_EQ(Out(g), MakePixel(0, 0, 0, g)) << g;
}

TEST_F(FilterFixture, AlphaRisesLinearlyFromTransparentDarkToOpaqueBright) {
  p.StartColor.a = 0;  // start alpha track bar at 255
  p.EndColor.a = 255;  // end alpha track bar at 0
  ColorFilterStage(ctx, p);
  for (int32_t g = 0; g < 256; ++g) EXPECT_EQ(PixA(Out(g)), static_cast<uint32_t>(g)) << g;
}

TEST_F(FilterFixture, SlopesBendEachChannelIndependently) {
  p.StartColor = {10, 200, 40, 30};
  p.EndColor = {250, 20, 40, 220};
  p.SlopeR = 10;
  p.SlopeG = -2.5L;
  p.SlopeB = 3;
  p.SlopeA = 0.7L;
  p.Brightness = 0.9L;
  ColorFilterStage(ctx, p);
  for (int32_t g = 0; g < 256; ++g) {
    const PackedPixel px = Out(g);
    // Within 1 of the closed form (the stage rounds its own evaluation).
    EXPECT_NEAR(PixR(px), std::nearbyint(Curve(10, g, 10, 250) * 0.9L), 1) << g;
    EXPECT_NEAR(PixG(px), std::nearbyint(Curve(-2.5L, g, 200, 20) * 0.9L), 1) << g;
    EXPECT_EQ(PixB(px), 36u) << g;  // start = end: a flat curve, 40 x 0.9
    EXPECT_NEAR(PixA(px), std::nearbyint(Curve(0.7L, g, 30, 220)), 1) << g;
  }
  // Slope 10 at grey 128: y1 - (127/255)^11 (y1 - y0) is within 0.05 of the end.
  EXPECT_EQ(PixR(Out(128)), 225u);  // round(249.95 x 0.9)
  // Ends of the curves are exact.
  EXPECT_EQ(Out(0), MakePixel(9, 180, 36, 30));
  EXPECT_EQ(Out(255), MakePixel(225, 18, 36, 220));
  // The stage's table is the per-grey formula.
  ColorFilterTable t;
  MakeColorFilterTable(p, t);
  for (int32_t g = 0; g < 256; ++g) {
    EXPECT_EQ(t[g], ColorFilterPixel(p, g));
    EXPECT_EQ(GetPixel(ctx.Frame.filtered_cloud, g, 1, false), t[255 - g]);
  }
}

TEST_F(FilterFixture, StartBrighterThanEndInvertsTheMapping) {
  p.StartColor = {255, 255, 255, 255};
  p.EndColor = {0, 0, 0, 255};
  p.SlopeG = 2;
  ColorFilterStage(ctx, p);
  for (int32_t g = 0; g < 256; ++g) EXPECT_EQ(PixR(Out(g)), static_cast<uint32_t>(255 - g));
  EXPECT_EQ(PixG(Out(0)), 255u);
  EXPECT_EQ(PixG(Out(255)), 0u);
  // Slope 2 leaves the start quickly: already below the straight line.
  EXPECT_LT(PixG(Out(64)), 255u - 64u);
}

TEST_F(FilterFixture, ValuesOutsideTheByteKeepTheirLowEightBits) {
  p.Brightness = 2;  // reachable through keys and project files
  ColorFilterStage(ctx, p);
  EXPECT_EQ(PixR(Out(200)), 400u & 0xFFu);
  p.Brightness = -1;
  ColorFilterStage(ctx, p);
  EXPECT_EQ(PixR(Out(200)), static_cast<uint32_t>(-200) & 0xFFu);
  EXPECT_EQ(PixA(Out(200)), 255u);
}

TEST_F(FilterFixture, UnusableSlopesGiveZeroInsteadOfUndefinedConversions) {
  p.SlopeR = NAN;
  p.SlopeG = 1e30L;  // the power overflows
  ColorFilterStage(ctx, p);
  EXPECT_EQ(PixR(Out(100)), 0u);
  EXPECT_EQ(PixB(Out(100)), 100u);
}

TEST_F(FilterFixture, ProgressRunsFrom90To95) {
  ColorFilterStage(ctx, p);
  EXPECT_EQ(ctx.FrameProgress, 95);  // the last row's value
  EXPECT_EQ(ColorFilterProgress(0, 2), 90);
  EXPECT_EQ(ColorFilterProgress(1, 2), 95);
  EXPECT_EQ(ColorFilterProgress(255, 512), 92);  // 5/511 x 255 = 2.495
  EXPECT_EQ(ColorFilterProgress(0, 1), 95);      // one row: no division by zero
  EXPECT_EQ(ColorFilterProgress(0, 0), 95);
}

TEST_F(FilterFixture, OutputTakesTheSizeOfTheCloudAndMissingBuffersAreSkipped) {
  ASSERT_TRUE(ResizePixeBuffer(ctx.Frame.filtered_cloud, 3, 5));
  ColorFilterStage(ctx, p);
  EXPECT_EQ(ctx.Frame.filtered_cloud->width, 256);
  EXPECT_EQ(ctx.Frame.filtered_cloud->height, 2);
  EXPECT_EQ(Out(77), MakePixel(77, 77, 77, 255));

  RenderContext bare;
  ColorFilterStage(bare, p);  // no buffers: nothing happens
  TPixeBuffer* cloud = std::exchange(ctx.Frame.cloud, nullptr);
  ColorFilterStage(ctx, p);  // no source
  ctx.Frame.cloud = cloud;
  EXPECT_EQ(Out(77), MakePixel(77, 77, 77, 255));
}
