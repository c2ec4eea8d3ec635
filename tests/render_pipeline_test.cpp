#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/MemoryHunger.h"
#include "render_cloud_helpers.h"
#include "render/Render.h"
#include "render/StillRender.h"

using namespace velmora;
using velmora::testing_cloud::OutTarget;

namespace {

TCloudFrameParams DefaultRecord(int32_t w, int32_t h) {
  return testing_cloud::DefaultCloudParams(w, h);
}

struct MessageCapture {
  std::vector<std::string> messages;
  explicit MessageCapture(RenderContext& ctx) {
    ctx.SetMessageSink([this](const std::string& m) { messages.push_back(m); });
  }
};

Bitmap24 Gradient(int32_t w, int32_t h) {
  Bitmap24 bm;
  bm.SetSize(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) PutBitmapPixel(bm, x, y, false, static_cast<uint32_t>((x * 7 + y * 13) % 256) * 0x010101u);
  return bm;
}

}  // namespace

TEST(DownSample, EachPixelIsTheRoundedMeanOfItsBlock) {
  RenderContext ctx;
  Bitmap24 src;
  src.SetSize(6, 3);
  // Block (0, 0) holds 0,1,2 / 3,4,5 / 6,7,9 in red: mean 37/9 = 4.11 -> 4.
  int vals[9] = {0, 1, 2, 3, 4, 5, 6, 7, 9};
  for (int i = 0; i < 9; ++i) PutBitmapPixel(src, i % 3, i / 3, false, static_cast<uint32_t>(vals[i]));
  // Block (1, 0): eight 255s and one 0 in blue -> 226.67 -> 227.
  for (int i = 0; i < 9; ++i) PutBitmapPixel(src, 3 + i % 3, i / 3, false, i == 4 ? 0u : 0xFF0000u);
  Bitmap24 dst;
  dst.SetSize(2, 1);
  DownSample(ctx, dst, src);
  EXPECT_EQ(GetBitmapPixel(dst, 0, 0, false), 4u);
  EXPECT_EQ(GetBitmapPixel(dst, 1, 0, false), 227u << 16);
  EXPECT_EQ(ctx.FrameProgress, 0);  // round(0 / 1 * 100) after the only row
}

TEST(DownSample, HalfwayMeansRoundToEven) {
  RenderContext ctx;
  Bitmap24 src;
  src.SetSize(2, 1);
  PutBitmapPixel(src, 0, 0, false, 0x000001u);
  PutBitmapPixel(src, 1, 0, false, 0x000002u);  // mean 1.5 -> 2
  Bitmap24 dst;
  dst.SetSize(1, 1);
  DownSample(ctx, dst, src);
  EXPECT_EQ(GetBitmapPixel(dst, 0, 0, false), 2u);
  PutBitmapPixel(src, 0, 0, false, 0x000002u);
  PutBitmapPixel(src, 1, 0, false, 0x000003u);  // mean 2.5 -> 2
  DownSample(ctx, dst, src);
  EXPECT_EQ(GetBitmapPixel(dst, 0, 0, false), 2u);
}

TEST(DownSample, FactorOneCopies) {
  RenderContext ctx;
  const Bitmap24 src = Gradient(5, 4);
  Bitmap24 dst;
  dst.SetSize(5, 4);
  DownSample(ctx, dst, src);
  EXPECT_EQ(dst.bytes, src.bytes);
}

TEST(MixTexture, WithoutTextureCopiesTheClouds) {
  RenderContext ctx;
  TCloudFrameParams p = DefaultRecord(4, 4);
  ctx.Frame.filtered_cloud = NewPixeBuffer(ctx.Pool, 4, 4);
  ctx.Frame.mixed_texture = NewPixeBuffer(ctx.Pool, 1, 1);
  FillPixeBuffer(ctx.Frame.filtered_cloud, MakePixel(1, 2, 3, 4));
  MixTextureStage(ctx, p, true);
  EXPECT_EQ(ctx.Frame.mixed_texture->width, 4);
  EXPECT_EQ(GetPixel(ctx.Frame.mixed_texture, 3, 3, false), MakePixel(1, 2, 3, 4));
  EXPECT_EQ(ctx.FrameProgress, 100);
  ctx.Frame.Free();
}

TEST(MixTexture, CloudsOverAndUnderATexture) {
  RenderContext ctx;
  TCloudFrameParams p = DefaultRecord(4, 4);
  ctx.Frame.filtered_cloud = NewPixeBuffer(ctx.Pool, 4, 4);
  ctx.Frame.mixed_texture = NewPixeBuffer(ctx.Pool, 4, 4);
  TPixeBuffer* tex = NewPixeBuffer(ctx.Pool, 2, 2);
  FillPixeBuffer(tex, MakePixel(100, 0, 0, 255));
  FillPixeBuffer(ctx.Frame.filtered_cloud, MakePixel(0, 50, 0, 255));
  p.Texture = tex;
  p.PileMode = 0;  // add

  // Clouds over the texture: the texture is averaged onto black (mode 2:
  // round(100 * 255 / 256) = 100), then the clouds are added.
  p.UnderTexture = 0;
  MixTextureStage(ctx, p, false);
  EXPECT_EQ(GetPixel(ctx.Frame.mixed_texture, 1, 1, false), MakePixel(100, 50, 0, 255));
  // The texture is scaled to the render size with wrap-around: the last
  // column is covered like every other (it once stayed black).
  EXPECT_EQ(GetPixel(ctx.Frame.mixed_texture, 3, 3, false), MakePixel(100, 50, 0, 255));

  // Texture over the clouds: clouds copied, texture added with its alpha.
  p.UnderTexture = 1;
  MixTextureStage(ctx, p, true);
  EXPECT_EQ(GetPixel(ctx.Frame.mixed_texture, 0, 0, false), MakePixel(100, 50, 0, 255));

  // Average mode with a half-transparent texture.
  FillPixeBuffer(tex, MakePixel(200, 0, 0, 128));
  p.PileMode = 2;
  MixTextureStage(ctx, p, false);
  EXPECT_EQ(PixR(GetPixel(ctx.Frame.mixed_texture, 1, 1, false)), 100u);  // round(200 * 128 / 256)
  p.Texture = nullptr;
  FreePixeBuffer(tex);
  ctx.Frame.Free();
}

TEST(AllocFrameBuffers, SizesEveryBufferAndThePens) {
  RenderContext ctx;
  RenderSequence seq;
  seq.Rendered = true;
  TCloudFrameParams p = DefaultRecord(40, 30);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  EXPECT_EQ(ctx.Frame.base_pattern->width, 40);
  EXPECT_EQ(ctx.Frame.mixed_texture->height, 30);
  EXPECT_EQ(ctx.Pens.WarpPenB->width, 40);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, PreviewTarget(p), seq));
  EXPECT_EQ(ctx.Frame.cloud->width, 128);
  EXPECT_EQ(ctx.Pens.CloudPen->height, 128);
  EXPECT_FALSE(seq.Rendered);
  ctx.Frame.Free();
}

TEST(AllocFrameBuffers, FailureNamesTheBufferAndRunsNoStage) {
  RenderContext ctx;
  RenderSequence seq;
  MessageCapture capture(ctx);
  // Sizes no other test uses, so that the pool holds no block to serve them.
  TCloudFrameParams p = DefaultRecord(2900, 2900);
  ctx.RenderIdle = false;
  ctx.Pool.SimulateHeapFailure(true);
  EXPECT_FALSE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  ctx.Pool.SimulateHeapFailure(false);
  ASSERT_FALSE(capture.messages.empty());
  EXPECT_EQ(capture.messages[0], "雲模様バッファ(base_pattern)の確保に失敗しました");
  EXPECT_TRUE(ctx.RenderIdle);
  ctx.Frame.Free();

  // A resize that fails empties its slot and names it.
  capture.messages.clear();
  p = DefaultRecord(8, 8);
  ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  p.ResX = 2950;
  p.ResY = 2950;
  ctx.Pool.SimulateHeapFailure(true);
  EXPECT_FALSE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
  ctx.Pool.SimulateHeapFailure(false);
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_EQ(capture.messages[0], "雲模様バッファ(base_pattern)の再確保に失敗しました");
  EXPECT_EQ(ctx.Frame.base_pattern, nullptr);
  ctx.Frame.Free();
}

TEST(StillRender, RefusesEmptyOutputAndTreatsLowOversamplingAsNone) {
  RenderContext ctx;
  TCloudFrameParams p = DefaultRecord(0, 16);
  std::string error;
  EXPECT_FALSE(RenderStillFrame(ctx, p, &error));
  EXPECT_NE(error.find("at least 1 x 1"), std::string::npos);

  p = DefaultRecord(24, 16);
  p.OverSampling = 0;
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error)) << error;
  EXPECT_EQ(p.ResX, 24);
  EXPECT_EQ(ctx.Frame.filtered_cloud->width, 24);
  Bitmap24 out;
  StillPicture(ctx, p, out);
  EXPECT_EQ(out.width, 24);
  EXPECT_EQ(out.height, 16);
  ctx.Frame.Free();
}

TEST(StillRender, OversamplingRendersLargerAndReduces) {
  RenderContext ctx;
  TCloudFrameParams p = DefaultRecord(20, 12);
  p.OverSampling = 3;
  std::string error;
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error)) << error;
  EXPECT_EQ(ctx.Frame.filtered_cloud->width, 60);
  EXPECT_EQ(ctx.Frame.filtered_cloud->height, 36);
  Bitmap24 out;
  StillPicture(ctx, p, out);
  EXPECT_EQ(out.width, 20);
  EXPECT_EQ(out.height, 12);
  // The first output pixel is the rounded mean of the 3 x 3 block.
  Bitmap24 full;
  BufferToBitmap(full, ctx.Frame.filtered_cloud);
  int sum = 0;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) sum += full.Row(y)[x * 3 + 1];
  EXPECT_NEAR(out.Row(0)[1], sum / 9.0, 0.5);
  ctx.Frame.Free();
}

TEST(StillRender, RepeatedRendersAtOneSizeDoNotTouchTheHeap) {
  RenderContext ctx;
  TCloudFrameParams p = DefaultRecord(32, 32);
  p.BlurRadius = 0.05L;
  p.BlurDraft = false;
  std::string error;
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error));
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error));
  const uint64_t heap = ctx.Pool.Counters().heapBytes;
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error));
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error));
  EXPECT_EQ(ctx.Pool.Counters().heapBytes, heap);
  ctx.Frame.Free();
}

TEST(StillRender, SameSettingsGiveTheSamePixels) {
  RenderContext ctx;
  TCloudFrameParams p = DefaultRecord(48, 32);
  std::string error;
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error));
  Bitmap24 first;
  StillPicture(ctx, p, first);
  // An unrelated render in between must not leak state into the next one.
  TCloudFrameParams q = DefaultRecord(16, 16);
  q.Seed = 7;
  ASSERT_TRUE(RenderStillFrame(ctx, q, &error));
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error));
  Bitmap24 second;
  StillPicture(ctx, p, second);
  EXPECT_EQ(first.bytes, second.bytes);
  ctx.Frame.Free();
  ctx.Frame.Free();
}
