#include <gtest/gtest.h>

#include <cmath>

#include "render/MemoryHunger.h"
#include "render/Pixe.h"

using namespace velmora;

TEST(MemoryHunger, LargeBlocksAreReusedFirstFit) {
  HungerPool pool;
  void* big = pool.Get(400);
  ASSERT_NE(big, nullptr);
  pool.Free(big);
  EXPECT_EQ(pool.Counters().freedBytes, 400u);
  void* again = pool.Get(300);
  EXPECT_EQ(again, big);
  EXPECT_EQ(HungerBlockSize(again), 400u);
  EXPECT_EQ(pool.Counters().reusedBytes, 400u);
  EXPECT_EQ(pool.Counters().heapBytes, 400u);
  // Too large for the free block: a new one from the heap.
  void* larger = pool.Get(500);
  EXPECT_NE(larger, big);
  EXPECT_EQ(pool.Counters().heapBytes, 900u);
  pool.Free(again);
  pool.Free(larger);
}

TEST(MemoryHunger, SmallBlocksComeBackInReleaseOrder) {
  HungerPool pool;
  void* a = pool.Get(12);
  void* b = pool.Get(12);
  pool.Free(a);
  pool.Free(b);
  EXPECT_EQ(pool.Get(12), a);
  EXPECT_EQ(pool.Get(12), b);
  EXPECT_EQ(pool.Counters().reusedBytes, 24u);
  // Small sizes are matched exactly: a 13-byte request does not take a
  // 12-byte block.
  pool.Free(a);
  void* c = pool.Get(13);
  EXPECT_NE(c, a);
  pool.Free(b);
  pool.Free(c);
  EXPECT_EQ(pool.Get(0), nullptr);
  pool.Free(nullptr);
}

TEST(MemoryHunger, HeapFailureLeavesBuffersUnchanged) {
  HungerPool pool;
  TPixeBuffer* b = NewPixeBuffer(pool, 4, 4);
  ASSERT_NE(b, nullptr);
  FillPixeBuffer(b, 7);
  pool.SimulateHeapFailure(true);
  EXPECT_EQ(NewPixeBuffer(pool, 1000, 1000), nullptr);
  EXPECT_FALSE(ResizePixeBuffer(b, 999, 999));
  pool.SimulateHeapFailure(false);
  EXPECT_EQ(b->width, 4);
  EXPECT_EQ(GetPixel(b, 3, 3, false), 7u);
  FreePixeBuffer(b);
  // A size whose byte count does not fit is refused, not wrapped.
  EXPECT_EQ(NewPixeFloatBuffer(pool, 100000, 100000), nullptr);
}

TEST(Pixe, WrapAddressing) {
  HungerPool pool;
  TPixeBuffer* b = NewPixeBuffer(pool, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) PutPixel(b, x, y, false, static_cast<PackedPixel>(x + 10 * y));
  EXPECT_EQ(GetPixel(b, -1, 0, true), 3u);
  EXPECT_EQ(GetPixel(b, -1, 0, false), 0u);
  EXPECT_EQ(GetPixel(b, 4, -5, true), 30u);
  EXPECT_EQ(GetPixel(b, -9, 9, true), 13u);
  PutPixel(b, 5, 0, false, 99);  // dropped
  PutPixel(b, 5, 0, true, 99);   // lands on (1, 0)
  EXPECT_EQ(GetPixel(b, 1, 0, false), 99u);
  FreePixeBuffer(b);
}

TEST(Pixe, ResizeKeepsTopLeft) {
  HungerPool pool;
  TPixeBuffer* b = NewPixeBuffer(pool, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) PutPixel(b, x, y, false, static_cast<PackedPixel>(x + 10 * y));
  ASSERT_TRUE(ResizePixeBuffer(b, 2, 6));
  EXPECT_EQ(b->width, 2);
  EXPECT_EQ(b->height, 6);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(GetPixel(b, x, y, false), static_cast<PackedPixel>(x + 10 * y));
  FreePixeBuffer(b);
}

TEST(Pixe, Conversions) {
  HungerPool pool;
  const PackedPixel p = FloatToPacked({300.f, -5.f, 127.5f, 255.f});
  EXPECT_EQ(PixR(p), 255u);
  EXPECT_EQ(PixG(p), 0u);
  EXPECT_EQ(PixB(p), 128u);
  EXPECT_EQ(PixA(p), 255u);
  EXPECT_EQ(PixB(FloatToPacked({0, 0, 126.5f, 0})), 126u);  // ties to even
  const FloatPixel f = PackedToFloat(MakePixel(1, 2, 3, 0));
  EXPECT_EQ(f.r, 1.f);
  EXPECT_EQ(f.b, 3.f);
  EXPECT_EQ(f.a, 255.f);
}

TEST(Pixe, PackedBlendModes) {
  HungerPool pool;
  const PackedPixel black = 0xFF000000u;
  const PackedPixel white128 = MakePixel(255, 255, 255, 128);
  const PackedPixel m2 = PackedBlend(black, white128, 2);
  EXPECT_EQ(PixR(m2), 128u);  // round(255 * 128 / 256) = round(127.5), ties to even
  EXPECT_EQ(PixA(m2), 255u);
  // Saturating add and subtract on colour, alpha averaged.
  const PackedPixel add = PackedBlend(MakePixel(200, 10, 0, 100), MakePixel(100, 10, 5, 51), 5);
  EXPECT_EQ(add, MakePixel(255, 20, 5, 75));
  EXPECT_EQ(PackedBlend(MakePixel(5, 10, 0, 100), MakePixel(10, 3, 0, 50), 6),
            MakePixel(0, 7, 0, 75));
  // Mode 0 weights the source by its alpha.
  EXPECT_EQ(PixR(PackedBlend(MakePixel(10, 0, 0, 0), MakePixel(100, 0, 0, 51), 0)), 30u);
  // Unknown modes give zero.
  EXPECT_EQ(PackedBlend(black, white128, 4), 0u);
  EXPECT_EQ(PackedBlend(black, white128, 14), 0u);
  // Transparent sources leave a buffer unchanged.
  TPixeBuffer* b = NewPixeBuffer(pool, 1, 1);
  FillPixeBuffer(b, black);
  BlendPixel(b, 0, 0, 2, false, 0x00FFFFFFu);
  EXPECT_EQ(GetPixel(b, 0, 0, false), black);
  FreePixeBuffer(b);
}

TEST(Pixe, FloatBlendModes) {
  HungerPool pool;
  const FloatPixel d{10, 20, 30, 100};
  for (int mode = 0; mode < 16; ++mode) {
    TPixeFloatBuffer* b = NewPixeFloatBuffer(pool, 1, 1);
    FillPixeFloatBuffer(b, d);
    BlendFloatPixel(b, 0, 0, mode, false, FloatPixel{200, 200, 200, 0});
    const FloatPixel r = GetFloatPixel(b, 0, 0, false);
    EXPECT_EQ(r.r, 10.f) << mode;
    EXPECT_EQ(r.a, 100.f) << mode;
    FreePixeFloatBuffer(b);
  }
  const FloatPixel s{255, 0, 100, 255};
  const FloatPixel m3 = FloatBlend(d, s, 3);
  EXPECT_EQ(m3.r, 255.f);
  EXPECT_EQ(m3.b, 100.f);
  EXPECT_EQ(m3.a, 255.f);
  const FloatPixel m6 = FloatBlend(d, FloatPixel{20, 5, 0, 50}, 6);
  EXPECT_EQ(m6.r, -10.f);  // float subtraction is not limited
  EXPECT_EQ(m6.a, 75.f);
  EXPECT_EQ(FloatBlend(d, s, 10).r, 255.f);
  EXPECT_EQ(FloatBlend(d, s, 4).a, 0.f);
}

TEST(Pixe, StampPenScalesAndWraps) {
  HungerPool pool;
  TPixeFloatBuffer* pen = NewPixeFloatBuffer(pool, 2, 2);
  FillPixeFloatBuffer(pen, FloatPixel{0, 0, 0, 0});
  PutFloatPixel(pen, 0, 0, false, FloatPixel{100, 100, 100, 255});
  PutFloatPixel(pen, 1, 1, false, FloatPixel{50, 50, 50, 255});
  TPixeFloatBuffer* t = NewPixeFloatBuffer(pool, 4, 4);
  FillPixeFloatBuffer(t, FloatPixel{0, 0, 0, 0});
  // A 2 x 2 pen stamped 4 x 4 at (3, 3) with wrap: steps of 0.5, rounded
  // half-even: columns read 0, 0 (0.5), 1, 2 (1.5 -> 2, outside).
  StampPen(pen, PixeRect{0, 0, 2, 2}, t, 7, true, PixeRect{3, 3, 4, 4});
  EXPECT_EQ(GetFloatPixel(t, 3, 3, false).r, 100.f);
  EXPECT_EQ(GetFloatPixel(t, 0, 3, false).r, 100.f);  // wrapped from x = 4
  EXPECT_EQ(GetFloatPixel(t, 1, 1, false).r, 50.f);   // (5, 5) -> pen (1, 1)
  EXPECT_EQ(GetFloatPixel(t, 2, 2, false).r, 0.f);    // pen (2, 2) is outside
  FreePixeFloatBuffer(pen);
  FreePixeFloatBuffer(t);
}

TEST(Pixe, BilinearSampleUsesFloorAndWraps) {
  HungerPool pool;
  TPixeBuffer* b = NewPixeBuffer(pool, 2, 1);
  PutPixel(b, 0, 0, false, MakePixel(0, 0, 0, 255));
  PutPixel(b, 1, 0, false, MakePixel(100, 0, 0, 255));
  EXPECT_EQ(PixR(BilinearSample(b, 0, 0)), 0u);
  EXPECT_EQ(PixR(BilinearSample(b, 0, 0.5L)), 50u);
  // Left of the origin: x = -0.25 lies between pixel 1 (wrapped) and pixel 0.
  EXPECT_EQ(PixR(BilinearSample(b, 0, -0.25L)), 25u);
  EXPECT_EQ(PixR(BilinearSample(b, 0, -1)), 100u);
  EXPECT_EQ(PixR(BilinearSample(b, -3, 1)), 100u);
  EXPECT_EQ(BilinearSample(b, 0, NAN), BilinearSample(b, 0, 0));
  FreePixeBuffer(b);
}

TEST(Pixe, ColourInterpolationTreatsTransparentAsOtherColour) {
  HungerPool pool;
  const PackedPixel a = MakePixel(0, 0, 0, 0);
  const PackedPixel b = MakePixel(200, 100, 50, 255);
  const PackedPixel r = InterpolateColor(a, b, 0.5L);
  EXPECT_EQ(PixR(r), 200u);
  EXPECT_EQ(PixA(r), 127u);  // truncated
}

TEST(Pixe, BitmapConversionsKeepBgrOrder) {
  HungerPool pool;
  TPixeBuffer* b = NewPixeBuffer(pool, 2, 1);
  PutPixel(b, 0, 0, false, MakePixel(1, 2, 3, 4));
  PutPixel(b, 1, 0, false, MakePixel(9, 8, 7, 0));
  Bitmap24 bm;
  BufferToBitmap(bm, b);
  ASSERT_EQ(bm.width, 2);
  EXPECT_EQ(bm.Row(0)[0], 3);
  EXPECT_EQ(bm.Row(0)[2], 1);
  EXPECT_EQ(GetBitmapPixel(bm, -1, 0, true), 0x00070809u);
  EXPECT_EQ(GetBitmapPixel(bm, -1, 0, false), 0u);
  FreePixeBuffer(b);
}
