#include <gtest/gtest.h>

#include <string>

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

TEST(RenderContext, AnAbortStopsTheRenderAtItsNextPumpAndLeavesNothingHalfMade) {
  const TCloudFrameParams p = DefaultCloudParams(48, 32);
  RenderContext fresh;
  const uint64_t expect = StillChecksum(fresh, p);

  RenderContext ctx;
  int pumps = 0;
  ctx.SetPump([&] {
    if (++pumps == 3) ctx.RequestAbort();  // while the pens are made
  });
  TCloudFrameParams q = p;
  std::string error;
  EXPECT_FALSE(RenderStillFrame(ctx, q, &error));
  EXPECT_EQ(error, "aborted");
  EXPECT_EQ(pumps, 3) << "no stage pumps after the abort";
  EXPECT_EQ(q.ResX, 48) << "the output size is restored";
  EXPECT_TRUE(ctx.RenderIdle);
  ctx.ClearAbort();
  EXPECT_EQ(StillChecksum(ctx, p), expect);
}

TEST(RenderContext, SetPumpHandsBackThePumpItReplaces) {
  RenderContext ctx;
  int host = 0;
  ctx.SetPump([&] { ++host; });
  std::function<void()> previous = ctx.SetPump([] {});
  ctx.SetPump(std::move(previous));
  EXPECT_TRUE(ctx.Pump());
  EXPECT_EQ(host, 1);
}

}  // namespace
