// The render sequences built from the engine's stages: the full preview
// render (with the frame-0 warp normalisation of an animation), the partial
// preview renders, and the render of one frame of an animation through the
// one oversampled render path (render/StillRender.h), with its alpha picture.
#pragma once

#include <cstdint>

#include "anim/CurveSet.h"
#include "anim/Document.h"
#include "anim/ProjectModel.h"
#include "render/Pixe.h"
#include "render/Render.h"
#include "render/StillRender.h"

namespace velmora {

// What a sequence works on: the render context (buffers, guards, progress),
// the record, the parameter set (through the owner's pointer, which a new
// project replaces), the window model (for the timeline position), the
// stages, the window hooks and the sequence state of whoever runs the
// frames (the preview's; a movie uses one of its own, and a renderer
// without one renders each movie frame in a sequence of its own).
struct TFrameRenderer {
  RenderContext* Context;
  TCloudFrameParams* Params;
  TCloudCurveSet** Curves;
  TProjectModel* Model;
  TRenderStages Stages;
  const TWindowHooks* Hooks;
  RenderSequence* Sequence = nullptr;
};

// A renderer of DOC through CTX with the engine's stages, in SEQ (when given).
TFrameRenderer DocumentRenderer(RenderContext& ctx, Document& doc, const TWindowHooks& hooks,
                                RenderSequence* seq = nullptr);

// Full preview render at the preview size, in the renderer's sequence (which
// these three need).  When the warp normalisation is not fixed and the timeline is not at frame 0, frame 0 is
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
// reduced the same way.  The sequence is left invalidated.  False when the buffers could not be allocated, the render size
// exceeds the int32 range or the render was aborted: the pictures are
// unchanged then.
bool RenderMovieFrame(TFrameRenderer& r, int32_t frame, Bitmap24& colour, Bitmap24* alpha);

}  // namespace velmora
