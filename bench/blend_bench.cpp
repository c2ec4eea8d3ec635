// The exact blends alone: one square stamp of a pen wrapped onto a 512 x 64
// band kept as channel planes, as a frame's warp stamps are applied,
// repeated.  With 400 x 400 stamps, a pen of 32 x 32 stays in the
// first-level cache, one of 512 x 512 (the pens of a 512 x 512 frame, 4 MiB
// each) comes from the last-level cache: when both cost the same per blend,
// the blends are bound by their arithmetic, not by the bytes they move.
// Stamps 55 wide from a 128 x 128 pen are a preview's: what each row costs
// beyond its blends shows there.  Arguments: mode, pen size, stamp size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "render/FastStamp.h"

using namespace velmora;

namespace {

void BM_PlanarBlend(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const int32_t penSize = static_cast<int32_t>(state.range(1));
  constexpr int32_t W = 512, H = 64;
  const int32_t kStamp = static_cast<int32_t>(state.range(2));
  // Pen values as the shaded warp pens have them (0..255, alpha inside),
  // target values as the warp template accumulates them; neither exact
  // halves nor small integers, so that few blends fall on a tie.
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  std::vector<FloatPixel> pixels(static_cast<size_t>(penSize) * penSize);
  for (FloatPixel& p : pixels)
    p = FloatPixel{static_cast<float>(next() % 25500) / 100.0f, static_cast<float>(next() % 25500) / 100.0f,
                   static_cast<float>(next() % 25500) / 100.0f, static_cast<float>(1 + next() % 254)};
  TPixeFloatBuffer pen{penSize, penSize, pixels.data(), nullptr};
  std::vector<float> planes(4 * static_cast<size_t>(W) * H + 8);  // room after the last plane
  for (float& v : planes) v = static_cast<float>(next() % 1000000) / 77.0f - 5000.0f;
  std::vector<int32_t> table(2 * static_cast<size_t>(kStamp));
  const StampOp op{&pen, PixeRect{0, 0, penSize, penSize}, PixeRect{37, 0, kStamp, kStamp}, mode, true};
  StampPlan plan;
  PlanStamp(op, W, H, table.data(), table.data() + kStamp, plan);
  if (!plan.planar) {
    state.SkipWithError("no planar form for this mode");
    return;
  }
  for (auto _ : state) {
    ApplyPlanarStampRows(op, plan, planes.data(), int64_t{W} * H, W, H, 0, H);
    benchmark::DoNotOptimize(planes.data());
  }
  // The stamp wraps around the band's 64 rows: every one of its pixels is blended.
  const int64_t blends = int64_t{kStamp} * kStamp;
  state.SetItemsProcessed(state.iterations() * blends);  // blends per second
}
BENCHMARK(BM_PlanarBlend)
    ->ArgsProduct({{0, 1, 3, 5, 6}, {32, 512}, {400}})
    ->ArgsProduct({{0, 5}, {128}, {55}})
    ->UseRealTime();

}  // namespace
