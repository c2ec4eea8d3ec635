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
  std::function<bool(RenderContext&, const TCloudFrameParams&, const RenderTarget&,
                     RenderSequence&)>
      AllocFrameBuffers;
  std::function<void(RenderContext&, const TCloudFrameParams&, const RenderTarget&,
                     RenderSequence&)>
      RenderCloudLayer;
  std::function<void(RenderContext&, const TCloudFrameParams&)> ColorFilterStage;
  std::function<void(RenderContext&, const TCloudFrameParams&, bool fast)> MixTextureStage;
  std::function<void(RenderContext&, const TCloudFrameParams&)> BlurStage;
  std::function<void(RenderContext&, Bitmap24&, const TPixeBuffer*)> BufferToBitmap;
  std::function<void(RenderContext&, Bitmap24&, const Bitmap24&)> DownSample;
};
TRenderStages EngineStages();

// The export render of the record at its output target (OutputTarget), in
// the sequence SEQ, which is left invalidated (the buffers hold an export's
// size, not the sequence's preview).  False with a one-line reason when the
// size is refused, the allocation failed, the render was aborted or it
// needed more than the context's work budget (the reason then names the
// parameters that drove it there).
bool RenderOversampled(RenderContext& ctx, const TCloudFrameParams& params, RenderSequence& seq,
                       std::string* error, const TRenderStages& stages = EngineStages());

// The pictures of the last render of PARAMS: COLOUR gets its picture
// (filtered_cloud, or mixed_texture with a texture; B, G, R), ALPHA (when
// given) grey pixels of the clouds' alpha byte; both reduced with DownSample
// when the oversampling factor is above 1.  A picture that reduces to no
// pixels is empty.
void OversampledPictures(RenderContext& ctx, const TCloudFrameParams& params, Bitmap24& colour,
                         Bitmap24* alpha, const TRenderStages& stages = EngineStages());

// Sizes BM to the buffer and writes each pixel's alpha byte as grey.
void BufferAlphaToBitmap(Bitmap24& bm, const TPixeBuffer* buffer);

// The still export (refusing an output size below 1 x 1): a sequence of its
// own (the warp normalisation fixed on this frame), the guards (PreviewBusy,
// RenderIdle) set for its duration, RenderOversampled.
bool RenderStillFrame(RenderContext& ctx, const TCloudFrameParams& params, std::string* error);

// The exported picture of the last RenderStillFrame; ALPHA (when given) gets
// its alpha picture, as the movie's alpha output makes it.
void StillPicture(RenderContext& ctx, const TCloudFrameParams& params, Bitmap24& out,
                  Bitmap24* alpha = nullptr);

}  // namespace velmora
