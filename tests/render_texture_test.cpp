#include <gtest/gtest.h>

#include <vector>

#include "render/Render.h"
#include "render/TextureMix.h"

using namespace velmora;

namespace {

// A W x H texture whose pixels are PIXELS (row-major).
std::shared_ptr<TTexture> TextureOf(int32_t w, int32_t h, std::vector<PackedPixel> pixels) {
  auto t = NewTexture(w, h);
  std::copy(pixels.begin(), pixels.end(), t->pixels.begin());
  return t;
}

std::vector<PackedPixel> Scaled(const TTexture& t, int32_t w, int32_t h) {
  std::vector<PackedPixel> out(static_cast<size_t>(w) * h, 0xDEADBEEFu);
  TPixeBuffer dst{w, h, out.data(), nullptr};
  ScaleTextureWrapped(&t.buffer, &dst);
  return out;
}

PackedPixel Grey(uint32_t v, uint32_t a = 255) { return MakePixel(v, v, v, a); }

}  // namespace

TEST(TextureScale, GrowsBilinearAndShrinksByAreaWithWrapAround) {
  // Growing 2 -> 4: the pixel centres fall a quarter of a source pixel
  // inside each source pixel, so the first target pixel takes a quarter of
  // the last source pixel, across the edge.
  const auto two = TextureOf(2, 1, {Grey(0), Grey(100)});
  EXPECT_EQ(Scaled(*two, 4, 1), (std::vector<PackedPixel>{Grey(25), Grey(25), Grey(75), Grey(75)}));
  // The same down the columns, and the same size is the picture itself.
  const auto column = TextureOf(1, 2, {Grey(0), Grey(100)});
  EXPECT_EQ(Scaled(*column, 1, 4), (std::vector<PackedPixel>{Grey(25), Grey(25), Grey(75), Grey(75)}));
  EXPECT_EQ(Scaled(*two, 2, 1), two->pixels);
  // Shrinking 3 -> 2: each target pixel is the mean of the 1.5 source
  // pixels it covers: (30 + 60 / 2) / 1.5 = 40, (60 / 2 + 90) / 1.5 = 80.
  const auto three = TextureOf(3, 1, {Grey(30), Grey(60), Grey(90)});
  EXPECT_EQ(Scaled(*three, 2, 1), (std::vector<PackedPixel>{Grey(40), Grey(80)}));
  // A transparent pixel lends no colour, only its share of the coverage.
  const auto holed = TextureOf(2, 1, {Grey(200), MakePixel(0, 0, 0, 0)});
  EXPECT_EQ(Scaled(*holed, 4, 1)[0], Grey(200, 191));  // alpha round(0.75 * 255)
}

TEST(TextureScale, TilingTextureStaysTiling) {
  // A texture that tiles (its columns repeat with period 2) scaled to an odd
  // size: the scaled columns wrap without a seam, so the pixel after the
  // last one (column 0) continues the pattern like any inner neighbour:
  // mirror-symmetric pairs around the edge equal pairs inside.
  const auto stripes = TextureOf(4, 1, {Grey(0), Grey(200), Grey(0), Grey(200)});
  const std::vector<PackedPixel> s = Scaled(*stripes, 6, 1);
  // 4 -> 6 grows; the pattern repeats every 3 target pixels.
  for (int x = 0; x < 6; ++x) EXPECT_EQ(s[x], s[(x + 3) % 6]) << x;
}

TEST(MixTexture, IntegerBlendEqualsThePackedBlend) {
  // Every source colour and alpha against destinations at the edges and in
  // the middle of the range (including the ties of the average).
  for (int mode = 0; mode < 3; ++mode)
    for (uint32_t sA = 0; sA < 256; ++sA)
      for (uint32_t sc = 0; sc < 256; sc += (sA % 7 == 0 ? 1 : 17))
        for (uint32_t dc : {0u, 1u, 64u, 127u, 128u, 200u, 254u, 255u}) {
          const PackedPixel d = MakePixel(dc, 255 - dc, dc / 2, sc);
          const PackedPixel s = MakePixel(sc, dc, 255 - sc, sA);
          ASSERT_EQ(MixBlend(d, s, mode), PackedBlend(d, s, mode))
              << "mode " << mode << " sA " << sA << " sc " << sc << " dc " << dc;
        }
}

TEST(MixTexture, EachModeOverAndUnderTheTexture) {
  // A 1 x 1 texture of grey 100, scaled over 2 x 2 clouds (80, 40, 20) of
  // alpha 128.
  RenderContext ctx;
  const auto tex = TextureOf(1, 1, {Grey(100)});
  TCloudFrameParams p;
  p.Texture = &tex->buffer;
  ctx.Frame.filtered_cloud = NewPixeBuffer(ctx.Pool, 2, 2);
  ctx.Frame.mixed_texture = NewPixeBuffer(ctx.Pool, 2, 2);
  FillPixeBuffer(ctx.Frame.filtered_cloud, MakePixel(80, 40, 20, 128));
  struct Case {
    uint8_t under, mode;
    PackedPixel expected;
  };
  // Clouds over the texture: the texture averaged onto black first
  // (round(100 * 255 / 256) = 100), then the clouds with the pile mode.
  // Texture over the clouds: the clouds, then the texture (alpha 255).
  const Case cases[] = {
      {0, 0, MakePixel(140, 120, 110, 191)},  // 100 + round(128 * c / 255)
      {0, 1, MakePixel(60, 80, 90, 191)},     // 100 - round(128 * c / 255)
      {0, 2, MakePixel(90, 70, 60, 255)},     // round((100 * 127 + c * 128) / 256)
      {1, 0, MakePixel(180, 140, 120, 191)},  // c + 100
      {1, 1, MakePixel(0, 0, 0, 191)},        // c - 100, not below 0
      {1, 2, MakePixel(100, 100, 100, 255)},  // round(100 * 255 / 256)
  };
  for (const Case& c : cases) {
    p.UnderTexture = c.under;
    p.PileMode = c.mode;
    for (bool fast : {false, true}) {
      MixTextureStage(ctx, p, fast);
      for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ctx.Frame.mixed_texture->data[i], c.expected)
            << "under " << int(c.under) << " mode " << int(c.mode) << " pixel " << i;
    }
  }
  // With a texture the mix is the picture; without one the clouds are.
  EXPECT_EQ(PictureBuffer(ctx, p), ctx.Frame.mixed_texture);
  p.Texture = nullptr;
  EXPECT_EQ(PictureBuffer(ctx, p), ctx.Frame.filtered_cloud);
  ctx.Frame.Free();
}
