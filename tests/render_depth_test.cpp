// The high-precision render (16-bit and float pictures), height and normal
// maps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "anim/Document.h"
#include "project/ProjectLoad.h"
#include "render/HighPrecision.h"
#include "render/StillRender.h"
#include "render_cloud_helpers.h"

using namespace velmora;
using namespace velmora::testing_cloud;

namespace {

// A record that runs every float stage: a coloured gradient with bent
// curves and a partly transparent alpha, oversampling and a bilinear blur.
TCloudFrameParams BusyParams(int32_t w, int32_t h) {
  TCloudFrameParams p = DefaultCloudParams(w, h);
  p.OverSampling = 2;
  p.StartColor = {20, 40, 90, 30};
  p.EndColor = {250, 230, 200, 255};
  p.SlopeR = 3;
  p.SlopeB = -2;
  p.SlopeA = 1;
  p.Brightness = 0.9L;
  p.BlurRadius = 0.01L;
  p.BlurSamples = 6;
  return p;
}

struct HighResult {
  FloatImage picture, heights;
};

HighResult RenderHigh(const TCloudFrameParams& p, int threads) {
  RenderContext ctx;
  ctx.Threads.SetThreads(threads);
  HighFrame high;
  std::string error;
  EXPECT_TRUE(RenderStillFrameHigh(ctx, p, high, &error)) << error;
  HighResult r;
  HighPicture(ctx, high, OutputFactor(p), true, r.picture);
  HighHeights(ctx, high, OutputFactor(p), r.heights);
  return r;
}

// The share of pixel channels (colour and alpha) of the high-precision
// picture, rounded to bytes, within LEVELS of the standard picture.
double ShareWithin(const TCloudFrameParams& p, int levels) {
  RenderContext ctx;
  std::string error;
  EXPECT_TRUE(RenderStillFrame(ctx, p, &error)) << error;
  Bitmap24 colour, alpha;
  StillPicture(ctx, p, colour, &alpha);
  const uint64_t cloud = Checksum(ctx.Frame.cloud);
  HighFrame high;
  EXPECT_TRUE(RenderStillFrameHigh(ctx, p, high, &error)) << error;
  // The high-precision render's grey cloud, rounded, is the standard one.
  EXPECT_EQ(Checksum(ctx.Frame.cloud), cloud);
  FloatImage picture;
  HighPicture(ctx, high, OutputFactor(p), true, picture);
  Bitmap24 hColour, hAlpha;
  FloatImageToBitmap(picture, hColour, &hAlpha);
  EXPECT_EQ(hColour.width, colour.width);
  EXPECT_EQ(hColour.height, colour.height);
  if (hColour.bytes.size() != colour.bytes.size() || colour.bytes.empty()) return 0;
  size_t close = 0, total = 0;
  for (auto [a, b] : {std::pair{&colour, &hColour}, std::pair{&alpha, &hAlpha}})
    for (size_t i = 0; i < a->bytes.size(); ++i, ++total)
      if (std::abs(int{a->bytes[i]} - int{b->bytes[i]}) <= levels) ++close;
  return static_cast<double>(close) / static_cast<double>(total);
}

FloatImage Grey(int32_t w, int32_t h, const std::vector<float>& v) {
  FloatImage img;
  img.SetSize(w, h, 1);
  img.values = v;
  return img;
}

// IMG moved right by DX and down by DY, wrapping.
FloatImage Roll(const FloatImage& img, int32_t dx, int32_t dy) {
  FloatImage out;
  out.SetSize(img.width, img.height, img.channels);
  for (int32_t y = 0; y < img.height; ++y)
    for (int32_t x = 0; x < img.width; ++x)
      std::memcpy(out.Pixel((x + dx) % img.width, (y + dy) % img.height), img.Pixel(x, y),
                  sizeof(float) * static_cast<size_t>(img.channels));
  return out;
}

}  // namespace

TEST(RenderDepth, EveryThreadCountGivesTheSameFloats) {
  const TCloudFrameParams p = BusyParams(40, 30);
  const HighResult one = RenderHigh(p, 1);
  ASSERT_EQ(one.picture.width, 40);
  ASSERT_EQ(one.picture.height, 30);
  ASSERT_EQ(one.heights.channels, 1);
  for (int threads : {2, 3}) {
    const HighResult many = RenderHigh(p, threads);
    EXPECT_EQ(many.picture.values, one.picture.values) << threads;
    EXPECT_EQ(many.heights.values, one.heights.values) << threads;
  }
}

TEST(RenderDepth, RoundedToBytesItIsTheStandardPicture) {
  // The default record, one with every float stage, a draft blur, and each
  // example project at a small size.  The 8-bit bilinear blur truncates
  // twice per sample and once more when it divides, so its pictures are
  // darker by up to about a level and a half than the unrounded blur's:
  // those stay within two levels.
  std::vector<std::pair<std::string, TCloudFrameParams>> cases;
  cases.emplace_back("default", DefaultCloudParams(96, 64));
  cases.emplace_back("busy", BusyParams(64, 48));
  TCloudFrameParams draft = BusyParams(64, 48);
  draft.BlurDraft = true;
  cases.emplace_back("draft", draft);
  TCloudFrameParams sharp = BusyParams(64, 48);
  sharp.BlurRadius = 0;
  cases.emplace_back("sharp", sharp);
  for (const char* name : {"blue_sky", "lava_texture", "loop30", "smoke", "storm", "sunset"}) {
    Document doc;
    ASSERT_TRUE(LoadProjectFile(doc, std::string(VELMORA_SOURCE_DIR) + "/examples/" + name + ".vlm"))
        << name;
    doc.EvalAt(0);
    doc.Params.ResX = 96;
    doc.Params.ResY = 96;
    cases.emplace_back(name, doc.Params);
  }
  for (const auto& [name, p] : cases) {
    const bool bilinearBlur = p.BlurRadius != 0 && !p.BlurDraft;
    EXPECT_GE(ShareWithin(p, bilinearBlur ? 2 : 1), 0.99) << name;
  }
}

TEST(NormalMap, ValuesFromWrappedDifferences) {
  // Flat heights face straight out: (0, 0, 1) stored as (0.5, 0.5, 1).
  FloatImage n;
  NormalMap(Grey(3, 2, std::vector<float>(6, 0.7f)), 1, n);
  for (size_t i = 0; i < n.values.size(); i += 3) {
    EXPECT_FLOAT_EQ(n.values[i], 0.5f);
    EXPECT_FLOAT_EQ(n.values[i + 1], 0.5f);
    EXPECT_FLOAT_EQ(n.values[i + 2], 1.0f);
  }
  // 4 x 2 heights 0, 0.5, 1, 0.5 in both rows: at x = 1 the difference is
  // (1 - 0) / 2, the rise is 2 x 4 / 16 = 0.5 per unit, so n = (-0.25, 0, 1)
  // normalised; at x = 0 the wrapped neighbours (0.5 and 0.5) cancel.
  NormalMap(Grey(4, 2, {0, 0.5f, 1, 0.5f, 0, 0.5f, 1, 0.5f}), 2, n);
  const double len = std::sqrt(1 + 0.25 * 0.25);
  EXPECT_FLOAT_EQ(n.Pixel(1, 0)[0], static_cast<float>(-0.25 / len * 0.5 + 0.5));
  EXPECT_FLOAT_EQ(n.Pixel(1, 1)[1], 0.5f);
  EXPECT_FLOAT_EQ(n.Pixel(1, 0)[2], static_cast<float>(1 / len * 0.5 + 0.5));
  EXPECT_FLOAT_EQ(n.Pixel(0, 0)[0], 0.5f);
  EXPECT_FLOAT_EQ(n.Pixel(3, 0)[0], static_cast<float>(0.25 / len * 0.5 + 0.5));
  // Heights rising down the picture face up (green above 0.5).
  NormalMap(Grey(1, 4, {0, 0.2f, 0.6f, 0.2f}), 1, n);
  EXPECT_GT(n.Pixel(0, 1)[1], 0.5f);
  EXPECT_LT(n.Pixel(0, 3)[1], 0.5f);
}

TEST(NormalMap, TilesLikeTheClouds) {
  const HighResult r = RenderHigh(DefaultCloudParams(64, 48), 2);
  FloatImage n;
  NormalMap(r.heights, 1, n);
  // Moving the heights round the edges moves the normals with them, exactly:
  // no edge is treated differently from the middle.
  FloatImage moved;
  NormalMap(Roll(r.heights, 17, 9), 1, moved);
  EXPECT_EQ(moved.values, Roll(n, 17, 9).values);
  // The step from the last column to the first (and from the last row to
  // the first) is no larger than the steps inside the picture.
  auto step = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    double d = 0;
    for (int c = 0; c < 3; ++c)
      d = std::max(d, static_cast<double>(std::fabs(n.Pixel(x0, y0)[c] - n.Pixel(x1, y1)[c])));
    return d;
  };
  double inside = 0, across = 0;
  for (int32_t y = 0; y < n.height; ++y) {
    for (int32_t x = 0; x + 1 < n.width; ++x) inside = std::max(inside, step(x, y, x + 1, y));
    across = std::max(across, step(n.width - 1, y, 0, y));
  }
  for (int32_t x = 0; x < n.width; ++x) {
    for (int32_t y = 0; y + 1 < n.height; ++y) inside = std::max(inside, step(x, y, x, y + 1));
    across = std::max(across, step(x, n.height - 1, x, 0));
  }
  EXPECT_GT(inside, 0.0);
  EXPECT_LE(across, inside);
}
