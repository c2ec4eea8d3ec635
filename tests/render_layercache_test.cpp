// Kept stamped layers: a frame rendered after another in the same context
// equals the frame rendered by a fresh context, whichever input changed, and
// the layers are taken only where their inputs stayed the same.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "render_cloud_helpers.h"

namespace velmora {
namespace {

using namespace testing_cloud;

struct Frame {
  RenderContext ctx;
  RenderSequence seq;

  Frame() { ctx.Threads.SetThreads(2); }
  void Render(const TCloudFrameParams& p) {
    ASSERT_TRUE(AllocFrameBuffers(ctx, p, OutTarget(p), seq));
    RenderCloudLayer(ctx, p, OutTarget(p), seq);
  }
};

void ExpectSameLayer(Frame& a, Frame& b, const std::string& what) {
  std::string where;
  EXPECT_TRUE(SameBits(a.ctx.Frame.base_pattern, b.ctx.Frame.base_pattern, &where)) << what << " base " << where;
  EXPECT_TRUE(SameBits(a.ctx.Frame.warp_template, b.ctx.Frame.warp_template, &where)) << what << " warp " << where;
  EXPECT_EQ(Checksum(a.ctx.Frame.cloud), Checksum(b.ctx.Frame.cloud)) << what;
  EXPECT_EQ(a.ctx.Work.Done, b.ctx.Work.Done) << what;
  EXPECT_EQ(a.ctx.Rng.State(), b.ctx.Rng.State()) << what;
  EXPECT_EQ(a.seq.WarpScale, b.seq.WarpScale) << what;
}

TEST(LayerCache, EachInputChangeEqualsAFreshRender) {
  struct Change {
    const char* name;
    std::function<void(TCloudFrameParams&)> apply;
    int reused;  // layers the second frame takes as kept
  };
  const std::vector<Change> changes = {
      {"nothing", [](TCloudFrameParams&) {}, 2},
      {"warp amount", [](TCloudFrameParams& p) { p.WX = 7; }, 2},
      {"seed", [](TCloudFrameParams& p) { p.Seed += 1; }, 0},
      {"complex", [](TCloudFrameParams& p) { p.Complex = 0.31L; }, 0},
      {"coverrate", [](TCloudFrameParams& p) { p.Coverrate = 0.2L; }, 1},
      {"min", [](TCloudFrameParams& p) { p.MinRadius = 0.02L; }, 1},
      {"max", [](TCloudFrameParams& p) { p.MaxRadius = 0.6L; }, 1},
      {"noise", [](TCloudFrameParams& p) { p.Noise = 0.5L; }, 1},
      {"center", [](TCloudFrameParams& p) { p.Center = 0.5L; }, 1},
      {"center reversed", [](TCloudFrameParams& p) { p.Center = 0.5L, p.CenterReverse = true; }, 1},
      {"clip", [](TCloudFrameParams& p) { p.ClipBrightness = true; }, 1},
      {"cloud x", [](TCloudFrameParams& p) { p.cx = 0.25L; }, 1},
      {"cloud y", [](TCloudFrameParams& p) { p.cy = -0.25L; }, 1},
      {"warp 1 x", [](TCloudFrameParams& p) { p.wx1 = 0.5L; }, 1},
      {"warp 1 y", [](TCloudFrameParams& p) { p.wy1 = 0.5L; }, 1},
      {"warp 2 x", [](TCloudFrameParams& p) { p.wx2 = 0.5L; }, 1},
      {"warp 2 y", [](TCloudFrameParams& p) { p.wy2 = 0.5L; }, 1},
      {"wmin", [](TCloudFrameParams& p) { p.wMinRadius = 0.3L; }, 1},
      {"wmax", [](TCloudFrameParams& p) { p.wMaxRadius = 0.5L; }, 1},
      {"wnoise", [](TCloudFrameParams& p) { p.wNoise = 0.7L; }, 1},
      {"complex -0 to +0", [](TCloudFrameParams& p) { p.Complex = 0; }, 0},
  };
  for (const Change& c : changes) {
    TCloudFrameParams first = DefaultCloudParams(48, 40);
    if (std::string(c.name) == "center reversed") first.Center = 0.5L;
    if (std::string(c.name) == "complex -0 to +0") first.Complex = -0.0L;
    TCloudFrameParams second = first;
    c.apply(second);
    // The other context renders the first frame too (its pens and the
    // normalisation are those of the first), then stamps the second anew.
    Frame kept, fresh;
    kept.Render(first);
    fresh.Render(first);
    fresh.ctx.Layers.Forget();
    const int64_t before = kept.ctx.Layers.Reused;
    kept.Render(second);
    fresh.Render(second);
    EXPECT_EQ(kept.ctx.Layers.Reused - before, c.reused) << c.name;
    ExpectSameLayer(kept, fresh, c.name);
  }
}

TEST(LayerCache, NewBuffersOrAWarpToFixAreStampedAgain) {
  const TCloudFrameParams p = DefaultCloudParams(40, 40);
  Frame a, fresh;
  a.Render(p);
  fresh.Render(p);
  fresh.ctx.Layers.Forget();
  fresh.Render(p);
  fresh.ctx.Layers.Forget();
  // Buffers made anew hold nothing of the last frame.
  a.ctx.Frame.Free();
  a.Render(p);
  EXPECT_EQ(a.ctx.Layers.Reused, 0);
  ExpectSameLayer(a, fresh, "new buffers");
  // A normalisation fixed elsewhere: the template is normalised again.
  a.seq.WarpScale = fresh.seq.WarpScale * 2;
  fresh.seq.WarpScale = a.seq.WarpScale;
  a.Render(p);
  fresh.ctx.Layers.Forget();
  fresh.Render(p);
  EXPECT_EQ(a.ctx.Layers.Reused, 1);
  ExpectSameLayer(a, fresh, "other normalisation");
}

}  // namespace
}  // namespace velmora
