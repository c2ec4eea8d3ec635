// Stage 1 of the frame pipeline: RenderCloudLayer, which stamps the base
// pattern, builds and normalises the warp template and warps the pattern.
#include "render/CloudPattern.h"
#include "base/Numeric.h"
#include "render/Render.h"
#include "render/WarpEngine.h"

namespace velmora {

void RenderCloudLayer(TCloudFrameParams& params) {
  TPixeFloatBuffer* base = params.base_pattern;
  TPixeFloatBuffer* warp = params.warp_template;
  TPixeBuffer* cloud = params.cloud;
  if (!base || !warp || !cloud) return;
  // 1.
  FillPixeFloatBuffer(base, FloatPixel{0, 0, 0, 255});
  FillPixeFloatBuffer(warp, FloatPixel{0, 0, 0, 255});
  FillPixeBuffer(cloud, 0xFF000000u);
  RandSeed(static_cast<uint32_t>(params.Seed));
  // 2, 3. Cloud stamps (FrameProgress 10..30), coverage clip, normalisation.
  BuildBasePattern(params);
  // 4, 5. Warp layers (30..40, 40..80).
  StampWarpLayer1(params);
  StampWarpLayer2(params);
  // 6. Fix the normalisation if needed, then apply it.
  NormalizeWarpTemplate(params);
  // 7. Lookup and conversion to packed pixels.
  WarpLookupToPacked(base, warp, cloud, params.WX, params.WY);
  // 8.
  FrameProgress = 90;
  PumpMessages();
  params.Rendered = true;
}

}  // namespace velmora
