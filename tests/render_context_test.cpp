#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "render/RenderContext.h"
#include "render/StillRender.h"
#include "render_cloud_helpers.h"

using namespace velmora;
using namespace velmora::testing_cloud;

namespace {

uint64_t StillChecksum(RenderContext& ctx, TCloudFrameParams p) {
  std::string error;
  EXPECT_TRUE(RenderStillFrame(ctx, p, &error)) << error;
  Bitmap24 picture;
  StillPicture(ctx, p, picture);
  return Fnv(picture.bytes.data(), picture.bytes.size());
}

TEST(RenderContext, APictureDependsOnItsRecordNotOnEarlierRenders) {
  TCloudFrameParams a = DefaultCloudParams(48, 32), b = a;
  b.Seed = 7;
  RenderContext fresh;
  const uint64_t expectB = StillChecksum(fresh, b);
  // Same size, other seed first: the pens are made again for seed 7.
  RenderContext used;
  StillChecksum(used, a);
  EXPECT_EQ(StillChecksum(used, b), expectB);
}

// Pens taken from another context (over pens of another size) serve as the
// context's own: the same picture.  From a context without pens, nothing is
// taken.
TEST(RenderContext, PensCopiedFromAnotherContextGiveTheSamePicture) {
  const TCloudFrameParams p = DefaultCloudParams(48, 32);
  RenderContext source;
  const uint64_t expect = StillChecksum(source, p);
  RenderContext taker;
  StillChecksum(taker, DefaultCloudParams(20, 12));
  ASSERT_TRUE(taker.Pens.CopyFrom(taker.Pool, source.Pens));
  ASSERT_TRUE(taker.Pens.Match(48, 32, p.Seed));
  EXPECT_EQ(StillChecksum(taker, p), expect);
  RenderContext empty;
  EXPECT_FALSE(taker.Pens.CopyFrom(taker.Pool, empty.Pens));
  EXPECT_EQ(taker.Pens.CloudPen, nullptr);
}

TEST(RenderContext, AnAbortStopsTheRenderAndLeavesNothingHalfMade) {
  const TCloudFrameParams p = DefaultCloudParams(48, 32);
  RenderContext fresh;
  const uint64_t expect = StillChecksum(fresh, p);

  RenderContext ctx;
  std::string error;
  // Before the render starts: not even the pens are made.
  ctx.RequestAbort();
  EXPECT_FALSE(RenderStillFrame(ctx, p, &error));
  EXPECT_EQ(error, "aborted");
  EXPECT_TRUE(ctx.RenderIdle);
  EXPECT_EQ(ctx.Pens.CloudPen, nullptr);
  // From another thread, once the render has reached a stage (pens, cloud
  // stamps, warp, filter): whether the abort lands or the frame was done,
  // the next render is whole.
  for (int stage : {8, 20, 50, 91}) {
    ctx.ClearAbort();
    ctx.Pens.Free();
    ctx.FrameProgress = 0;
    std::atomic<bool> done{false};
    std::thread stopper([&] {
      while (!done && ctx.FrameProgress < stage) std::this_thread::yield();
      ctx.RequestAbort();
    });
    const bool rendered = RenderStillFrame(ctx, p, &error);
    done = true;
    stopper.join();
    if (!rendered) {
      EXPECT_EQ(error, "aborted") << stage;
    }
    ctx.ClearAbort();
    EXPECT_EQ(StillChecksum(ctx, p), expect) << stage;
  }
}

TEST(RenderContext, AnAbortedContextsPoolHandsOutNoFurtherChunks) {
  RenderContext ctx;
  ctx.Threads.SetThreads(2);
  std::atomic<int> chunks{0};
  ctx.Threads.For(100, 1, [&](int64_t, int64_t, int) {
    if (++chunks == 3) ctx.RequestAbort();
  });
  EXPECT_GE(chunks, 3);
  EXPECT_LE(chunks, 4) << "at most the chunk the other thread had begun";
  ctx.ClearAbort();
  chunks = 0;
  ctx.Threads.For(100, 1, [&](int64_t, int64_t, int) { ++chunks; });
  EXPECT_EQ(chunks, 100);
}

}  // namespace
