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
    std::function<void(TCloudFrameParams&)> first = [](TCloudFrameParams&) {};
  };
  using P = TCloudFrameParams&;
  const std::vector<Change> changes = {
      {"nothing", [](P) {}, 2},
      {"warp amount", [](P p) { p.WX = 7; }, 2},
      {"seed", [](P p) { p.Seed += 1; }, 0},
      {"complex", [](P p) { p.Complex = 0.31L; }, 0},
      {"coverrate", [](P p) { p.Coverrate = 0.2L; }, 1},
      {"min", [](P p) { p.MinRadius = 0.02L; }, 1},
      {"max", [](P p) { p.MaxRadius = 0.6L; }, 1},
      {"noise", [](P p) { p.Noise = 0.5L; }, 1},
      {"center", [](P p) { p.Center = 0.5L; }, 1},
      {"center reversed", [](P p) { p.CenterReverse = true; }, 1, [](P p) { p.Center = 0.5L; }},
      {"clip", [](P p) { p.ClipBrightness = true; }, 1},
      // The pattern moves with the cloud position (the kept one is moved),
      // except with the pull to the centre or offsets past 2^30 pixels.
      {"cloud x", [](P p) { p.cx = 0.25L; }, 2},
      {"cloud y (rows in one cycle)", [](P p) { p.cy = 0.075L; }, 2},
      {"cloud x and y", [](P p) { p.cx = -0.3L, p.cy = 1.7L; }, 2, [](P p) { p.cy = 0.1L; }},
      {"cloud y, centre pull", [](P p) { p.cy = -0.25L; }, 1, [](P p) { p.Center = 0.5L; }},
      {"cloud x near 2^31", [](P p) { p.cx = 44739242.25L; }, 1},
      // The warp template moves with both warp positions together.
      {"warp positions together", [](P p) { p.wx1 = p.wx2 = 0.3L, p.wy1 = p.wy2 = -1.2L; }, 2},
      {"every position together", [](P p) { p.cx = p.wx1 = p.wx2 = 0.25L, p.wy2 = 0.5L; }, 2,
       [](P p) { p.wy2 = 0.5L; }},
      {"warp 1 x", [](P p) { p.wx1 = 0.5L; }, 1},
      {"warp 1 y", [](P p) { p.wy1 = 0.5L; }, 1},
      {"warp 2 x", [](P p) { p.wx2 = 0.5L; }, 1},
      {"warp 2 y", [](P p) { p.wy2 = 0.5L; }, 1},
      {"wmin", [](P p) { p.wMinRadius = 0.3L; }, 1},
      {"wmax", [](P p) { p.wMaxRadius = 0.5L; }, 1},
      {"wnoise", [](P p) { p.wNoise = 0.7L; }, 1},
      {"complex -0 to +0", [](P p) { p.Complex = 0; }, 0, [](P p) { p.Complex = -0.0L; }},
  };
  for (const Change& c : changes) {
    TCloudFrameParams first = DefaultCloudParams(48, 40);
    c.first(first);
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
