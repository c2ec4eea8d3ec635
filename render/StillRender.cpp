#include "render/StillRender.h"

#include <limits>

namespace velmora {

int32_t EffectiveOverSampling(const TCloudFrameParams& params) {
  return params.OverSampling < 1 ? 1 : params.OverSampling;
}

bool RenderStillFrame(TCloudFrameParams& params, std::string* error, long double workPerPixel) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (params.ResX < 1 || params.ResY < 1)
    return fail("the output size must be at least 1 x 1 (got " + std::to_string(params.ResX) +
                " x " + std::to_string(params.ResY) + ")");
  const int64_t factor = EffectiveOverSampling(params);
  const int64_t w = params.ResX * factor;
  const int64_t h = params.ResY * factor;
  if (w > std::numeric_limits<int32_t>::max() || h > std::numeric_limits<int32_t>::max())
    return fail("the render size " + std::to_string(w) + " x " + std::to_string(h) +
                " is too large");

  params.WarpScale = 0;
  PreviewBusy = true;
  RenderIdle = false;
  PixeProgress = 0;
  const int32_t outW = params.ResX;
  const int32_t outH = params.ResY;
  params.ResX = static_cast<int32_t>(w);
  params.ResY = static_cast<int32_t>(h);

  TWorkBudget budget;
  budget.PerPixel = workPerPixel;
  params.Work = &budget;
  const bool allocated = AllocFrameBuffers(params, false);
  if (allocated) {
    RenderCloudLayer(params);
    ColorFilterStage(params);
    MixTextureStage(params, false);
    BlurStage(params);
  }
  const std::string overrun = budget.Exceeded ? DescribeWorkOverrun(params, outW, outH) : "";
  params.Work = nullptr;
  params.Rendered = false;
  params.ResX = outW;
  params.ResY = outH;
  PreviewBusy = false;
  RenderIdle = true;
  if (!overrun.empty()) return fail(overrun);
  if (!allocated)
    return fail("not enough memory for a " + std::to_string(w) + " x " + std::to_string(h) +
                " render");
  return true;
}

void StillPicture(const TCloudFrameParams& params, Bitmap24& out) {
  const int32_t factor = EffectiveOverSampling(params);
  if (factor <= 1 || !params.filtered_cloud) {
    if (params.filtered_cloud) BufferToBitmap(out, params.filtered_cloud);
    return;
  }
  Bitmap24 full;
  BufferToBitmap(full, params.filtered_cloud);
  out.SetSize(full.width / factor, full.height / factor);
  DownSample(out, full);
}

}  // namespace velmora
