#include "anim/FrameRender.h"

#include <algorithm>

namespace velmora {

TFrameRenderer DocumentRenderer(RenderContext& ctx, Document& doc, const TWindowHooks& hooks,
                                RenderSequence* seq) {
  return TFrameRenderer{&ctx, &doc.Params, &doc.Curves, &doc.Model, EngineStages(), &hooks, seq};
}

namespace {

// The preview's mix and blur: with a texture the blur comes first, so the
// mix takes the finished clouds (as the exports do); without one the order
// is the engine's fixed one.
void MixAndBlur(TFrameRenderer& r, const TCloudFrameParams& p) {
  RenderContext& ctx = *r.Context;
  if (p.Texture) {
    r.Stages.BlurStage(ctx, p);
    r.Stages.MixTextureStage(ctx, p, true);
  } else {
    r.Stages.MixTextureStage(ctx, p, true);
    r.Stages.BlurStage(ctx, p);
  }
}

}  // namespace

void RenderPreviewFrame(TFrameRenderer& r) {
  RenderContext& ctx = *r.Context;
  TCloudFrameParams& p = *r.Params;
  RenderSequence& seq = *r.Sequence;
  const RenderTarget target = PreviewTarget(p);
  ctx.PreviewBusy = true;
  // Always through the allocation, which is free when nothing changed: a
  // new seed needs its own pens, or the preview would show pens that no
  // export of this frame uses.
  if (!r.Stages.AllocFrameBuffers(ctx, p, target, seq)) {
    ctx.PreviewBusy = false;  // a failed allocation ends the frame
    return;
  }
  if (ctx.RenderIdle) {
    ctx.RenderIdle = false;
    const int32_t position = r.Model->TimeLinePosition;
    if (position != 0 && !seq.WarpFixed()) {
      // Fix the warp normalisation from frame 0's cloud layer.
      EvalCurveSet(*r.Curves, p, 0);
      r.Stages.RenderCloudLayer(ctx, p, target, seq);
      EvalCurveSet(*r.Curves, p, position);
    }
    r.Stages.RenderCloudLayer(ctx, p, target, seq);
    r.Stages.ColorFilterStage(ctx, p);
    MixAndBlur(r, p);
    ctx.RenderIdle = true;
  }
  ctx.PreviewBusy = false;
}

void RerenderFromFilter(TFrameRenderer& r) {
  RenderContext& ctx = *r.Context;
  TCloudFrameParams& p = *r.Params;
  if (!r.Sequence->Rendered) {
    RenderPreviewFrame(r);
    return;
  }
  ctx.PreviewBusy = true;
  r.Stages.ColorFilterStage(ctx, p);
  MixAndBlur(r, p);
  ctx.PreviewBusy = false;
}

void RerenderMix(TFrameRenderer& r) {
  RenderContext& ctx = *r.Context;
  TCloudFrameParams& p = *r.Params;
  if (r.Sequence->Rendered) {
    ctx.PreviewBusy = true;
    r.Stages.MixTextureStage(ctx, p, true);
    ctx.PreviewBusy = false;
  } else {
    RenderPreviewFrame(r);
  }
  CallHook(r.Hooks->DrawPreview);
}

bool RenderMovieFrame(TFrameRenderer& r, int32_t frame, Bitmap24& colour, Bitmap24* alpha) {
  RenderContext& ctx = *r.Context;
  TCloudFrameParams& p = *r.Params;
  ctx.FrameProgress = 0;
  ctx.PixeProgress = 0;
  EvalCurveSet(*r.Curves, p, frame);
  CallShowParams(*r.Hooks, p);
  RenderSequence own;
  RenderSequence& seq = r.Sequence ? *r.Sequence : own;
  if (!RenderOversampled(ctx, p, seq, nullptr, r.Stages)) return false;
  OversampledPictures(ctx, p, colour, alpha, r.Stages);
  return true;
}

}  // namespace velmora
