// Whole default frames: the preview at 128 x 128, the export at 512 x 512
// and 1024 x 1024, and 512 x 512 with oversampling 3 (a 1536 x 1536 render),
// in the steady state (buffers and pens already at the render size), cold
// (pens drawn anew, as a new seed pays) and fresh (in a new context, as a
// fresh process or a change of size pays).  The last argument of each case
// is the number of render threads.  Each frame stamps its layers: a context
// would otherwise take the layers of the frame before, which had the same
// inputs (BM_StillFrameKeptLayers measures that).
#include <benchmark/benchmark.h>

#include "anim/CurveSet.h"
#include "render/Render.h"
#include "render/StillRender.h"
#include "render/ThreadPool.h"

using namespace velmora;

namespace {

TCloudFrameParams DefaultRecord(int32_t size, int32_t overSampling) {
  TCloudFrameParams p;
  SetNewProjectParams(p);
  p.ResX = size;
  p.ResY = size;
  p.OverSampling = overSampling;
  p.PreviewWidth = 128;
  p.PreviewHeight = 128;
  return p;
}

void RunStages(RenderContext& ctx, const TCloudFrameParams& p, bool preview) {
  RenderSequence seq;  // a fresh one: the warp normalisation is fixed each time
  RenderTarget target = PreviewTarget(p);
  if (!preview) OutputTarget(p, target, nullptr);
  AllocFrameBuffers(ctx, p, target, seq);
  RenderCloudLayer(ctx, p, target, seq);
  ColorFilterStage(ctx, p);
  MixTextureStage(ctx, p, preview);
  BlurStage(ctx, p);
}

void UseThreads(RenderContext& ctx, int64_t threads) {
  ctx.Threads.SetThreads(static_cast<int>(threads));
}

void BM_PreviewFrame(benchmark::State& state) {
  RenderContext ctx;
  UseThreads(ctx, state.range(0));
  TCloudFrameParams p = DefaultRecord(512, 1);
  RunStages(ctx, p, true);
  for (auto _ : state) {
    ctx.Layers.Forget();
    RunStages(ctx, p, true);
    benchmark::DoNotOptimize(ctx.Frame.filtered_cloud->data[0]);
  }
}
BENCHMARK(BM_PreviewFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StillFrame(benchmark::State& state) {
  RenderContext ctx;
  UseThreads(ctx, state.range(2));
  TCloudFrameParams p = DefaultRecord(static_cast<int32_t>(state.range(0)),
                                      static_cast<int32_t>(state.range(1)));
  Bitmap24 picture;
  RenderStillFrame(ctx, p, nullptr);
  for (auto _ : state) {
    ctx.Layers.Forget();
    RenderStillFrame(ctx, p, nullptr);
    StillPicture(ctx, p, picture);
    benchmark::DoNotOptimize(picture.bytes.data());
  }
}
BENCHMARK(BM_StillFrame)
    ->ArgsProduct({{512, 1024}, {1}, {1, 2}})
    ->Args({512, 3, 1})
    ->Args({512, 3, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A frame whose stamped layers are those of the frame before (only the warp
// amount changes, as in a held key or an edit of the warp or the colours):
// the lookup, the colour filter and the picture.
void BM_StillFrameKeptLayers(benchmark::State& state) {
  RenderContext ctx;
  UseThreads(ctx, state.range(1));
  TCloudFrameParams p = DefaultRecord(static_cast<int32_t>(state.range(0)), 1);
  Bitmap24 picture;
  RenderStillFrame(ctx, p, nullptr);
  int step = 0;
  for (auto _ : state) {
    p.WX = 10 + (++step % 7);
    RenderStillFrame(ctx, p, nullptr);
    StillPicture(ctx, p, picture);
    benchmark::DoNotOptimize(picture.bytes.data());
  }
}
BENCHMARK(BM_StillFrameKeptLayers)
    ->ArgsProduct({{512}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_StillFrameCold(benchmark::State& state) {
  RenderContext ctx;
  UseThreads(ctx, state.range(1));
  TCloudFrameParams p = DefaultRecord(static_cast<int32_t>(state.range(0)), 1);
  Bitmap24 picture;
  // The context has rendered before (as a window's or a movie's has): what
  // it keeps for its render size is there, and each frame draws new pens
  // from a seed not seen before.
  RenderStillFrame(ctx, p, nullptr);
  for (auto _ : state) {
    ++p.Seed;
    RenderStillFrame(ctx, p, nullptr);
    StillPicture(ctx, p, picture);
    benchmark::DoNotOptimize(picture.bytes.data());
  }
}
BENCHMARK(BM_StillFrameCold)
    ->ArgsProduct({{128, 512}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Cold in a new context each time, as a fresh process renders: the powers
// of 255 that a context keeps for its pen size are made too.
void BM_StillFrameFresh(benchmark::State& state) {
  TCloudFrameParams p = DefaultRecord(static_cast<int32_t>(state.range(0)), 1);
  Bitmap24 picture;
  for (auto _ : state) {
    RenderContext ctx;
    UseThreads(ctx, state.range(1));
    RenderStillFrame(ctx, p, nullptr);
    StillPicture(ctx, p, picture);
    benchmark::DoNotOptimize(picture.bytes.data());
  }
}
BENCHMARK(BM_StillFrameFresh)
    ->ArgsProduct({{512}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
