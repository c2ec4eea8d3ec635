// The thread pool, and pictures that do not depend on the number of render
// threads.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "render/MemoryHunger.h"
#include "render/StillRender.h"
#include "render/ThreadPool.h"
#include "render_cloud_helpers.h"

using namespace velmora;
using namespace velmora::testing_cloud;

namespace {

// Checksums of everything one still render leaves: the picture, the five
// frame buffers and the five pens.
std::vector<uint64_t> RenderAll(TCloudFrameParams p, int threads) {
  RenderContext ctx;
  ctx.Threads.SetThreads(threads);
  std::string error;
  EXPECT_TRUE(RenderStillFrame(ctx, p, &error)) << error;
  Bitmap24 picture;
  StillPicture(ctx, p, picture);
  const TFrameBuffers& f = ctx.Frame;
  const EnginePens& pens = ctx.Pens;
  std::vector<uint64_t> sums = {
      Fnv(picture.bytes.data(), picture.bytes.size()), Checksum(f.base_pattern),
      Checksum(f.warp_template), Checksum(f.cloud), Checksum(f.filtered_cloud),
      Checksum(f.mixed_texture)};
  for (const TPixeFloatBuffer* pen :
       {pens.CloudPen, pens.PenShade, pens.WarpPenR, pens.WarpPenG, pens.WarpPenB})
    sums.push_back(Checksum(pen));
  return sums;
}

}  // namespace

TEST(ThreadPool, EveryIndexRunsOnceOnAKnownWorker) {
  for (int threads : {1, 2, 3, 7}) {
    ThreadPool pool(threads);
    for (auto [count, grain] : {std::pair<int64_t, int64_t>{0, 1}, {1, 1}, {5, 2}, {1000, 7},
                                {1000, 1000}, {1000, 5000}}) {
      std::vector<std::atomic<int>> hits(static_cast<size_t>(count));
      std::atomic<bool> badWorker{false};
      pool.For(count, grain, [&](int64_t b, int64_t e, int worker) {
        if (worker < 0 || worker >= threads || e - b > grain || b >= e) badWorker = true;
        for (int64_t i = b; i < e; ++i) ++hits[static_cast<size_t>(i)];
      });
      for (int64_t i = 0; i < count; ++i)
        ASSERT_EQ(hits[static_cast<size_t>(i)], 1) << threads << " " << count << " " << i;
      EXPECT_FALSE(badWorker) << threads << " " << count;
    }
  }
}

TEST(ThreadPool, ALoopInsideALoopRunsOnItsCallingThread) {
  ThreadPool pool(3);
  std::atomic<int> total{0};
  std::atomic<bool> innerOnOther{false};
  pool.For(6, 1, [&](int64_t, int64_t, int) {
    pool.For(10, 1, [&](int64_t b, int64_t e, int worker) {
      if (worker != 0) innerOnOther = true;
      total += static_cast<int>(e - b);
    });
  });
  EXPECT_EQ(total, 60);
  EXPECT_FALSE(innerOnOther);
  pool.SetThreads(2);  // restarting between loops keeps it usable
  pool.For(4, 1, [&](int64_t, int64_t, int) { ++total; });
  EXPECT_EQ(total, 64);
}

TEST(RenderThreads, EveryThreadCountGivesTheSameBuffersAndPicture) {
  struct Case {
    const char* name;
    int32_t w, h;
    std::function<void(TCloudFrameParams&)> set;
  };
  const std::vector<Case> cases = {
      {"default", 64, 48, [](TCloudFrameParams&) {}},
      {"odd size oversampled", 33, 19, [](TCloudFrameParams& p) { p.OverSampling = 3; }},
      {"one pixel", 1, 1, [](TCloudFrameParams&) {}},
      {"blur full", 41, 29,
       [](TCloudFrameParams& p) {
         p.BlurRadius = 0.04L;
         p.BlurSamples = 5;
         p.BlurCurve = 30;
         p.BlurDraft = false;
       }},
      {"blur draft", 41, 29,
       [](TCloudFrameParams& p) {
         p.BlurRadius = 0.04L;
         p.BlurSamples = 5;
         p.BlurDraft = true;
       }},
      {"smooth clip, centre", 50, 70,
       [](TCloudFrameParams& p) {
         p.ClipBrightness = true;
         p.Center = 0.5L;
         p.CenterReverse = true;
         p.Complex = 0.3L;
       }},
  };
  for (const Case& c : cases) {
    TCloudFrameParams p = DefaultCloudParams(c.w, c.h);
    c.set(p);
    const std::vector<uint64_t> one = RenderAll(p, 1);
    for (int threads : {2, 3, 7})
      EXPECT_EQ(RenderAll(p, threads), one) << c.name << ", " << threads << " threads";
  }
}

TEST(RenderThreads, LayerChecksumsOfTheSingleThreadedEngineHold) {
  // The pinned values of the new-project cloud layer at 64 x 64 (see the
  // cloud layer tests), on more threads than the image has bands.
  for (int threads : {1, 3, 7}) {
    LayerResult r;
    RenderLayer(DefaultCloudParams(64, 64), false, r, threads);
    EXPECT_EQ(Checksum(r.base), 0xe7ebab9a621cee03ull) << threads;
    EXPECT_EQ(Checksum(r.warp), 0xbc555f19f6bfa208ull) << threads;
    EXPECT_EQ(Checksum(r.cloud), 0xe6a759771fcae7full) << threads;
  }
}

TEST(RenderThreads, RepeatedRendersOnSeveralThreadsDoNotTouchTheHeap) {
  RenderContext ctx;
  ctx.Threads.SetThreads(3);
  TCloudFrameParams p = DefaultCloudParams(40, 24);
  p.BlurRadius = 0.05L;
  p.BlurDraft = false;
  std::string error;
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error));
  const uint64_t heap = ctx.Pool.Counters().heapBytes;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(RenderStillFrame(ctx, p, &error));
  EXPECT_EQ(ctx.Pool.Counters().heapBytes, heap);
}

TEST(RenderWork, TheCountIsTheSameOnEveryThreadCountAndAFramePastItStops) {
  TCloudFrameParams p = DefaultCloudParams(48, 32);
  p.BlurRadius = 0.05L;
  p.BlurDraft = false;
  long double done[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    RenderContext ctx;
    ctx.Threads.SetThreads(i == 0 ? 1 : 3);
    ctx.Work.PerPixel = DefaultWorkPerPixel;
    std::string error;
    ASSERT_TRUE(RenderStillFrame(ctx, p, &error)) << error;
    done[i] = ctx.Work.Done;
  }
  EXPECT_GT(done[0], 48 * 32 * 30);
  EXPECT_EQ(done[0], done[1]);

  // Cloud stamps without end stop at the floor, naming what drove them; the
  // same context renders a sound frame afterwards, and without a limit.
  RenderContext ctx;
  ctx.Threads.SetThreads(3);
  ctx.Work.PerPixel = DefaultWorkPerPixel;
  TCloudFrameParams wild = p;
  wild.Complex = 1e7L;
  wild.MinRadius = 1;
  std::string error;
  EXPECT_FALSE(RenderStillFrame(ctx, wild, &error));
  EXPECT_NE(error.find("operations per pixel (--max-work) in its cloud stamps: complex 10000000"),
            std::string::npos)
      << error;
  EXPECT_EQ(wild.ResX, 48);
  ASSERT_TRUE(RenderStillFrame(ctx, p, &error)) << error;
  EXPECT_EQ(ctx.Work.Done, done[0] - 130 * 48 * 32);  // the pens are kept
  ctx.Work.PerPixel = 0;
  wild.Complex = 2;
  EXPECT_TRUE(RenderStillFrame(ctx, wild, &error)) << error;

  // A vast oversampling of a small picture is refused before its buffers
  // are allocated; 12 still has the whole allowance.
  ctx.Work.PerPixel = DefaultWorkPerPixel;
  TCloudFrameParams big = DefaultCloudParams(16, 16);
  big.OverSampling = 571;
  EXPECT_FALSE(RenderStillFrame(ctx, big, &error));
  EXPECT_NE(error.find("render size: resolution 16 x 16, oversampling 571 (above 12"),
            std::string::npos)
      << error;
  EXPECT_EQ(ctx.Frame.cloud->width, 48);
  big.OverSampling = 12;
  EXPECT_TRUE(RenderStillFrame(ctx, big, &error)) << error;
}
