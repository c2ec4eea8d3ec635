#include "anim/FrameRender.h"

#include <algorithm>

namespace velmora {

namespace {

void SizeBitmap(Bitmap24& bm, int32_t w, int32_t h) {
  bm.width = std::max<int32_t>(0, w);
  bm.height = std::max<int32_t>(0, h);
  bm.bytes.assign(static_cast<size_t>(bm.width) * static_cast<size_t>(bm.height) * 3, 0);
}

// Reduces SOURCE by FACTOR into TARGET; a picture that reduces to no pixels
// gives an empty target (DownSample would divide by its size).
void Reduce(TFrameRenderer& r, Bitmap24& target, const Bitmap24& source, int32_t factor) {
  SizeBitmap(target, source.width / factor, source.height / factor);
  if (target.width == 0 || target.height == 0) return;
  r.Stages.DownSample(target, source);
}

}  // namespace

void BufferAlphaToBitmap(Bitmap24& bm, const TPixeBuffer* buffer) {
  if (!buffer || !buffer->data) {
    SizeBitmap(bm, 0, 0);
    return;
  }
  SizeBitmap(bm, buffer->width, buffer->height);
  const size_t n = static_cast<size_t>(bm.width) * static_cast<size_t>(bm.height);
  for (size_t i = 0; i < n; ++i) {
    const auto a = static_cast<uint8_t>(PixA(buffer->data[i]));
    bm.bytes[i * 3] = a;
    bm.bytes[i * 3 + 1] = a;
    bm.bytes[i * 3 + 2] = a;
  }
}

void FramePictures(TFrameRenderer& r, const TPixeBuffer* buffer, int32_t factor, Bitmap24& colour,
                   Bitmap24* alpha) {
  Bitmap24 full;
  if (buffer && buffer->data)
    r.Stages.BufferToBitmap(full, buffer);
  else
    SizeBitmap(full, 0, 0);
  if (factor > 1)
    Reduce(r, colour, full, factor);
  else
    colour = std::move(full);
  if (!alpha) return;
  Bitmap24 fullAlpha;
  BufferAlphaToBitmap(fullAlpha, buffer);
  if (factor > 1)
    Reduce(r, *alpha, fullAlpha, factor);
  else
    *alpha = std::move(fullAlpha);
}

void RenderPreviewFrame(TFrameRenderer& r) {
  TCloudFrameParams& p = *r.Params;
  *r.PreviewBusy = true;
  if (!p.Rendered && !r.Stages.AllocFrameBuffers(p, true)) {
    *r.PreviewBusy = false;  // a failed allocation ends the frame
    return;
  }
  if (*r.RenderIdle) {
    *r.RenderIdle = false;
    const int32_t position = r.Model->TimeLinePosition;
    if (position != 0 && p.WarpScale == 0) {
      // Fix the warp normalisation from frame 0's cloud layer.
      EvalCurveSet(*r.Curves, p, 0);
      r.Stages.RenderCloudLayer(p);
      EvalCurveSet(*r.Curves, p, position);
    }
    r.Stages.RenderCloudLayer(p);
    r.Stages.ColorFilterStage(p);
    r.Stages.MixTextureStage(p, true);
    r.Stages.BlurStage(p);
    *r.RenderIdle = true;
  }
  *r.PreviewBusy = false;
}

void RerenderFromFilter(TFrameRenderer& r) {
  TCloudFrameParams& p = *r.Params;
  if (!p.Rendered) {
    RenderPreviewFrame(r);
    return;
  }
  *r.PreviewBusy = true;
  r.Stages.ColorFilterStage(p);
  r.Stages.MixTextureStage(p, true);
  r.Stages.BlurStage(p);
  *r.PreviewBusy = false;
}

void RerenderMix(TFrameRenderer& r) {
  TCloudFrameParams& p = *r.Params;
  if (p.Rendered) {
    *r.PreviewBusy = true;
    r.Stages.MixTextureStage(p, true);
    *r.PreviewBusy = false;
  } else {
    RenderPreviewFrame(r);
  }
  CallHook(r.Hooks->DrawPreview);
}

bool RenderMovieFrame(TFrameRenderer& r, int32_t frame, Bitmap24& colour, Bitmap24* alpha) {
  TCloudFrameParams& p = *r.Params;
  *r.FrameProgress = 0;
  *r.PixeProgress = 0;
  EvalCurveSet(*r.Curves, p, frame);
  CallShowParams(*r.Hooks, p);
  const int32_t factor = std::max<int32_t>(1, p.OverSampling);
  const int32_t outX = p.ResX, outY = p.ResY;
  const int64_t w = int64_t{outX} * factor, h = int64_t{outY} * factor;
  if (w > INT32_MAX || h > INT32_MAX) {
    p.Rendered = false;
    return false;
  }
  p.ResX = static_cast<int32_t>(w);
  p.ResY = static_cast<int32_t>(h);
  const bool allocated = r.Stages.AllocFrameBuffers(p, false);
  if (allocated) {
    r.Stages.RenderCloudLayer(p);
    r.Stages.ColorFilterStage(p);
    r.Stages.MixTextureStage(p, false);
    r.Stages.BlurStage(p);
  }
  p.ResX = outX;
  p.ResY = outY;
  p.Rendered = false;
  if (!allocated) return false;
  FramePictures(r, p.filtered_cloud, factor, colour, alpha);
  return true;
}

}  // namespace velmora
