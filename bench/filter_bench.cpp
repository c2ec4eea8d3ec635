// The colour filter, the blur and the texture mix alone, at the preview size and the default
// output size (the filter also at 512 with oversampling 3), with the new-project settings (blur radius 0: the stage only
// seeds) and with a real blur brush in draft and full mode.
#include <benchmark/benchmark.h>

#include <cmath>

#include "render/Blur.h"
#include "render/ColorFilter.h"
#include "render/Pixe.h"
#include "render/Render.h"
#include "render/TextureMix.h"

using namespace velmora;

namespace {

// New-project values of the fields the two stages read.
TCloudFrameParams DefaultParams() {
  TCloudFrameParams p;
  p.Seed = 65536;
  p.Brightness = 1;
  p.StartColor = {0, 0, 0, 255};
  p.EndColor = {255, 255, 255, 255};
  p.BlurRadius = 0;
  p.BlurSamples = 32;
  p.BlurCurve = 0;
  p.BlurDraft = true;
  return p;
}

// A smooth, tiling grey picture standing in for the cloud layer.
void FillClouds(TPixeBuffer* b) {
  const long double tau = 6.283185307179586476925286766559L;
  for (int32_t y = 0; y < b->height; ++y) {
    for (int32_t x = 0; x < b->width; ++x) {
      const long double u = tau * x / b->width, v = tau * y / b->height;
      const long double g = 127.5L + 60 * std::sin(u) * std::cos(2 * v) + 50 * std::sin(3 * u + v) +
                            17 * std::cos(7 * u - 5 * v);
      const uint32_t c = static_cast<uint32_t>(std::lround(std::fmin(std::fmax(g, 0.0L), 255.0L)));
      b->data[y * b->width + x] = MakePixel(c, c, c, 255);
    }
  }
}

struct Frame {
  RenderContext ctx;
  TCloudFrameParams p = DefaultParams();
  explicit Frame(int32_t n) {
    ctx.Frame.cloud = NewPixeBuffer(ctx.Pool, n, n);
    ctx.Frame.filtered_cloud = NewPixeBuffer(ctx.Pool, n, n);
    FillClouds(ctx.Frame.cloud);
    ColorFilterStage(ctx, p);
  }
};

void BM_ColorFilter(benchmark::State& state) {
  Frame f(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    ColorFilterStage(f.ctx, f.p);
    benchmark::DoNotOptimize(f.ctx.Frame.filtered_cloud->data[0]);
  }
}
BENCHMARK(BM_ColorFilter)->Arg(128)->Arg(512)->Arg(1536)->Unit(benchmark::kMillisecond);

void BM_ColorFilterSlopes(benchmark::State& state) {
  Frame f(static_cast<int32_t>(state.range(0)));
  f.p.SlopeR = 3.5L;
  f.p.SlopeG = -2;
  f.p.SlopeB = 0.7L;
  f.p.SlopeA = -9;
  f.p.Brightness = 0.8L;
  for (auto _ : state) {
    ColorFilterStage(f.ctx, f.p);
    benchmark::DoNotOptimize(f.ctx.Frame.filtered_cloud->data[0]);
  }
}
BENCHMARK(BM_ColorFilterSlopes)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);

// Blur with the new-project settings: radius 0.
void BM_BlurDefault(benchmark::State& state) {
  Frame f(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    BlurStage(f.ctx, f.p);
    benchmark::DoNotOptimize(f.ctx.Frame.filtered_cloud->data[0]);
  }
}
BENCHMARK(BM_BlurDefault)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);

// Blur with radius 0.01 and 32 samples; each run blurs a fresh copy.
void BlurWithRadius(benchmark::State& state, bool draft) {
  Frame f(static_cast<int32_t>(state.range(0)));
  f.p.BlurRadius = 0.01L;
  f.p.BlurDraft = draft;
  f.p.BlurCurve = 50;
  TPixeBuffer* original = NewPixeBuffer(f.ctx.Pool, f.ctx.Frame.filtered_cloud->width, f.ctx.Frame.filtered_cloud->height);
  CopyPixeBuffer(original, f.ctx.Frame.filtered_cloud);
  for (auto _ : state) {
    state.PauseTiming();
    CopyPixeBuffer(f.ctx.Frame.filtered_cloud, original);
    state.ResumeTiming();
    BlurStage(f.ctx, f.p);
    benchmark::DoNotOptimize(f.ctx.Frame.filtered_cloud->data[0]);
  }
  FreePixeBuffer(original);
}
void BM_BlurDraft(benchmark::State& state) { BlurWithRadius(state, true); }
void BM_BlurFull(benchmark::State& state) { BlurWithRadius(state, false); }
BENCHMARK(BM_BlurDraft)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlurFull)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);

// The texture mix with a 1600 x 1200 photo-sized texture (scaled down to
// the render size each time) and with one of 256 x 256 (scaled up), clouds
// over the texture, add.
void MixWithTexture(benchmark::State& state, int32_t tw, int32_t th) {
  Frame f(static_cast<int32_t>(state.range(0)));
  f.ctx.Frame.mixed_texture = NewPixeBuffer(f.ctx.Pool, 1, 1);
  const auto texture = NewTexture(tw, th);
  for (size_t i = 0; i < texture->pixels.size(); ++i)
    texture->pixels[i] = MakePixel(static_cast<uint32_t>(i * 7), static_cast<uint32_t>(i * 13),
                                   static_cast<uint32_t>(i * 3), 255);
  f.p.Texture = &texture->buffer;
  for (auto _ : state) {
    MixTextureStage(f.ctx, f.p, false);
    benchmark::DoNotOptimize(f.ctx.Frame.mixed_texture->data[0]);
  }
}
void BM_MixPhotoTexture(benchmark::State& state) { MixWithTexture(state, 1600, 1200); }
void BM_MixSmallTexture(benchmark::State& state) { MixWithTexture(state, 256, 256); }
BENCHMARK(BM_MixPhotoTexture)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixSmallTexture)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);

}  // namespace
