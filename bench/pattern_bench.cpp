// The cloud layer's parts, each alone, at the preview size (128 x 128) and at
// 512 x 512, with the new-project settings: pen generation, stamping of
// base_pattern, the warp template (both layers and the normalisation), the
// warp lookup, and the whole RenderCloudLayer (also at 1536 x 1536, the
// export of 512 x 512 with oversampling 3).
#include <benchmark/benchmark.h>

#include "anim/CurveSet.h"
#include "render/CloudPattern.h"
#include "base/Numeric.h"
#include "render/Render.h"
#include "render/WarpEngine.h"

using namespace velmora;

namespace {

TCloudFrameParams Defaults(int32_t size) {
  TCloudFrameParams p;
  SetNewProjectParams(p);
  p.ResX = p.ResY = size;
  return p;
}

// Frame buffers and pens at the size, one cloud layer rendered.
struct Frame {
  RenderContext ctx;
  TCloudFrameParams p;
  RenderTarget target;
  RenderSequence seq;
  explicit Frame(int32_t size) : p(Defaults(size)), target{size, size, 1, false} {
    AllocFrameBuffers(ctx, p, target, seq);
    RenderCloudLayer(ctx, p, target, seq);
  }
};

void BM_MakePens(benchmark::State& state) {
  const auto size = static_cast<int32_t>(state.range(0));
  RenderContext ctx;
  for (auto _ : state) {
    ctx.Rng.Seed(65536);
    MakePens(ctx, size, size);
    benchmark::DoNotOptimize(ctx.Pens.WarpPenB->data);
  }
}

void BM_BasePattern(benchmark::State& state) {
  Frame f(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    BuildBasePattern(f.ctx, f.p, f.target);
    benchmark::DoNotOptimize(f.ctx.Frame.base_pattern->data);
  }
}

void BM_WarpTemplate(benchmark::State& state) {
  Frame f(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    FillPixeFloatBuffer(f.ctx.Frame.warp_template, FloatPixel{0, 0, 0, 255});
    StampWarpLayer1(f.ctx, f.p, f.target);
    StampWarpLayer2(f.ctx, f.p, f.target);
    NormalizeWarpTemplate(f.ctx, f.seq);
    benchmark::DoNotOptimize(f.ctx.Frame.warp_template->data);
  }
}

void BM_WarpLookup(benchmark::State& state) {
  Frame f(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    WarpLookupToPacked(f.ctx, f.ctx.Frame.base_pattern, f.ctx.Frame.warp_template, f.ctx.Frame.cloud,
                       f.p.WX, f.p.WY);
    benchmark::DoNotOptimize(f.ctx.Frame.cloud->data);
  }
}

void BM_RenderCloudLayer(benchmark::State& state) {
  Frame f(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    RenderCloudLayer(f.ctx, f.p, f.target, f.seq);
    benchmark::DoNotOptimize(f.ctx.Frame.cloud->data);
  }
}

}  // namespace

BENCHMARK(BM_MakePens)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BasePattern)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WarpTemplate)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WarpLookup)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderCloudLayer)->Arg(128)->Arg(512)->Arg(1536)->Unit(benchmark::kMillisecond);
