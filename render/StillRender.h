// The one oversampled render path, shared by the still export, every movie
// frame and (at factor 1) the preview: the record rendered at its output size
// times the oversampling factor, then reduced to the output size.
#pragma once

#include <functional>
#include <string>

#include "render/Render.h"

namespace velmora {

// The engine stages a render path runs; EngineStages() gives the real ones
// (tests put stand-ins in their place to watch the sequence).
struct TRenderStages {
  std::function<bool(RenderContext&, TCloudFrameParams&, bool preview)> AllocFrameBuffers;
  std::function<void(RenderContext&, TCloudFrameParams&)> RenderCloudLayer;
  std::function<void(RenderContext&, const TCloudFrameParams&)> ColorFilterStage;
  std::function<void(RenderContext&, const TCloudFrameParams&, bool fast)> MixTextureStage;
  std::function<void(RenderContext&, const TCloudFrameParams&)> BlurStage;
  std::function<void(RenderContext&, Bitmap24&, const TPixeBuffer*)> BufferToBitmap;
  std::function<void(RenderContext&, Bitmap24&, const Bitmap24&)> DownSample;
};
TRenderStages EngineStages();

// The oversampling factor actually used: values below 1 mean none.
int32_t EffectiveOverSampling(const TCloudFrameParams& params);

// The render size of an export, ResX x ResY times the factor; false with a
// one-line reason when the product does not fit 32 bits.
bool OversampledSize(const TCloudFrameParams& params, int32_t& w, int32_t& h, std::string* error);

// The export render of the record at its output size times the factor: the
// record's size is raised for the render and restored afterwards, Rendered is
// cleared (the next preview allocates again at its own size).  False with a
// one-line reason when the size is refused, the allocation failed or the
// render was aborted.
bool RenderOversampled(RenderContext& ctx, TCloudFrameParams& params, std::string* error,
                       const TRenderStages& stages = EngineStages());

// The pictures of the last render: COLOUR gets filtered_cloud (B, G, R),
// ALPHA (when given) grey pixels of its alpha byte; both reduced with
// DownSample when FACTOR is above 1.  A picture that reduces to no pixels is
// empty.
void OversampledPictures(RenderContext& ctx, int32_t factor, Bitmap24& colour, Bitmap24* alpha,
                         const TRenderStages& stages = EngineStages());

// Sizes BM to the buffer and writes each pixel's alpha byte as grey.
void BufferAlphaToBitmap(Bitmap24& bm, const TPixeBuffer* buffer);

// The still export (refusing an output size below 1 x 1): resets the warp
// normalisation, sets the guards
// (PreviewBusy, RenderIdle) for its duration and runs RenderOversampled.
bool RenderStillFrame(RenderContext& ctx, TCloudFrameParams& params, std::string* error);

// The exported picture of the last RenderStillFrame.
void StillPicture(RenderContext& ctx, const TCloudFrameParams& params, Bitmap24& out);

}  // namespace velmora
