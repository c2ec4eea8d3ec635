// The high-precision render behind 16-bit and float pictures against the
// standard 8-bit render: whole stills of the default record and of a record
// with a bilinear blur at 512 x 512 (arguments: depth 8 or 16, blur 0 or 1,
// threads), and for each example project the share of colour and alpha
// values that the high-precision picture, rounded to bytes, keeps within one
// level of the standard picture (counters within1, within2 in percent, the
// largest difference maxdiff and the mean differences mean_rgb, mean_a).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "anim/CurveSet.h"
#include "anim/Document.h"
#include "project/ProjectLoad.h"
#include "render/HighPrecision.h"
#include "render/StillRender.h"

using namespace velmora;

namespace {

TCloudFrameParams Record(bool blur) {
  TCloudFrameParams p;
  SetNewProjectParams(p);
  p.ResX = 512;
  p.ResY = 512;
  p.OverSampling = 1;
  if (blur) {
    p.BlurRadius = 0.004L;
    p.BlurSamples = 32;
  }
  return p;
}

void BM_StillDepth(benchmark::State& state) {
  RenderContext ctx;
  ctx.Threads.SetThreads(static_cast<int>(state.range(2)));
  const TCloudFrameParams p = Record(state.range(1) != 0);
  const bool high = state.range(0) != 8;
  HighFrame frame;
  Bitmap24 picture;
  FloatImage image;
  for (auto _ : state) {
    if (high) {
      RenderStillFrameHigh(ctx, p, frame, nullptr);
      HighPicture(ctx, frame, 1, false, image);
      benchmark::DoNotOptimize(image.values.data());
    } else {
      RenderStillFrame(ctx, p, nullptr);
      StillPicture(ctx, p, picture);
      benchmark::DoNotOptimize(picture.bytes.data());
    }
  }
}
BENCHMARK(BM_StillDepth)
    ->ArgsProduct({{8, 16}, {0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

const char* const kExamples[] = {"blue_sky", "lava_texture", "loop30", "smoke", "storm", "sunset"};

void BM_ExampleAgreement(benchmark::State& state) {
  const std::string name = kExamples[state.range(0)];
  Document doc;
  LoadProjectFile(doc, std::string(VELMORA_SOURCE_DIR) + "/examples/" + name + ".vlm");
  doc.EvalAt(0);
  const TCloudFrameParams& p = doc.Params;
  RenderContext ctx;
  double share = 0, share2 = 0, meanColour = 0, meanAlpha = 0;
  int maxDiff = 0;
  for (auto _ : state) {
    RenderStillFrame(ctx, p, nullptr);
    Bitmap24 colour, alpha, hColour, hAlpha;
    StillPicture(ctx, p, colour, &alpha);
    HighFrame frame;
    RenderStillFrameHigh(ctx, p, frame, nullptr);
    FloatImage image;
    HighPicture(ctx, frame, OutputFactor(p), true, image);
    FloatImageToBitmap(image, hColour, &hAlpha);
    size_t close = 0, near = 0, total = 0;
    for (auto [a, b] : {std::pair{&colour, &hColour}, std::pair{&alpha, &hAlpha}}) {
      double signedSum = 0;
      for (size_t i = 0; i < a->bytes.size() && i < b->bytes.size(); ++i, ++total) {
        const int d = std::abs(int{a->bytes[i]} - int{b->bytes[i]});
        signedSum += int{b->bytes[i]} - int{a->bytes[i]};
        close += d <= 1;
        near += d <= 2;
        maxDiff = std::max(maxDiff, d);
      }
      (a == &colour ? meanColour : meanAlpha) = signedSum / std::max<size_t>(a->bytes.size(), 1);
    }
    share = total ? static_cast<double>(close) / static_cast<double>(total) : 0;
    share2 = total ? static_cast<double>(near) / static_cast<double>(total) : 0;
  }
  state.SetLabel(name + " " + std::to_string(p.ResX) + "x" + std::to_string(p.ResY));
  state.counters["within1"] = share * 100;
  state.counters["within2"] = share2 * 100;
  state.counters["maxdiff"] = maxDiff;
  // The mean of high-precision minus standard levels, colour and alpha.
  state.counters["mean_rgb"] = meanColour;
  state.counters["mean_a"] = meanAlpha;
}
BENCHMARK(BM_ExampleAgreement)->DenseRange(0, 5)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
