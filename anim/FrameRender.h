// The render sequences built from the engine's stages: the full preview
// render (with the frame-0 warp normalisation of an animation), the partial
// preview renders, and the render of one frame of an animation at output
// size times the oversampling factor, reduced to the output size, with its
// alpha picture.
#pragma once

#include <cstdint>
#include <functional>

#include "anim/CurveSet.h"
#include "anim/ProjectModel.h"
#include "render/Pixe.h"
#include "render/Render.h"

namespace velmora {

// The engine stages a sequence runs; EngineStages() gives the real ones.
struct TRenderStages {
  std::function<bool(TCloudFrameParams&, bool preview)> AllocFrameBuffers;
  std::function<void(TCloudFrameParams&)> RenderCloudLayer;
  std::function<void(TCloudFrameParams&)> ColorFilterStage;
  std::function<void(TCloudFrameParams&, bool fast)> MixTextureStage;
  std::function<void(TCloudFrameParams&)> BlurStage;
  std::function<void(Bitmap24&, const TPixeBuffer*)> BufferToBitmap;
  std::function<void(Bitmap24&, const Bitmap24&)> DownSample;
};

// What a sequence works on: the record, the parameter set (through the
// owner's pointer, which a new project replaces), the window model (for the
// timeline position), the shared engine flags and the window hooks.
struct TFrameRenderer {
  TCloudFrameParams* Params;
  TCloudCurveSet** Curves;
  TProjectModel* Model;
  bool* RenderIdle;
  bool* PreviewBusy;
  int* FrameProgress;
  int* PixeProgress;
  TRenderStages Stages;
  const TWindowHooks* Hooks;
};

TRenderStages EngineStages();
// The application's renderer: CloudParams, CloudCurves, Project, the engine
// flags, EngineStages() and WindowHooks.
TFrameRenderer& AppRenderer();

// Full preview render at the preview size.  When the warp normalisation is
// not fixed (WarpScale 0) and the timeline is not at frame 0, frame 0 is
// evaluated and its cloud layer rendered first to fix it, so that every frame
// of an animation shares frame 0's normalisation.
void RenderPreviewFrame(TFrameRenderer& r);
// Colour filter, mix and blur again on the present cloud layer (a full render
// when there is none).
void RerenderFromFilter(TFrameRenderer& r);
// The mix again (a full render when there is no cloud layer), then draw.
void RerenderMix(TFrameRenderer& r);

// Renders frame FRAME of the animation: evaluates the set there, shows the
// record, renders at the output size times OverSampling (a factor below 1
// counts as 1) and reduces to the output size with DownSample when the factor
// is above 1.  COLOUR receives the picture; ALPHA (when given) a picture of
// the same size whose pixels are grey with the alpha byte of the clouds,
// reduced the same way.  The record's output size is restored and Rendered
// cleared.  False when the buffers could not be allocated (or the render size
// exceeds the int32 range): no stage ran and the pictures are unchanged.
bool RenderMovieFrame(TFrameRenderer& r, int32_t frame, Bitmap24& colour, Bitmap24* alpha);

// The pictures of a rendered record: colour (B, G, R of each pixel) and alpha
// (B = G = R = alpha byte), reduced by FACTOR when it is above 1.
void FramePictures(TFrameRenderer& r, const TPixeBuffer* buffer, int32_t factor, Bitmap24& colour,
                   Bitmap24* alpha);
// Sizes BM to the buffer and writes each pixel's alpha byte as grey.
void BufferAlphaToBitmap(Bitmap24& bm, const TPixeBuffer* buffer);

// The application's sequences on AppRenderer().
void RenderPreviewFrame();
void RerenderFromFilter();
void RerenderMix();

}  // namespace velmora
