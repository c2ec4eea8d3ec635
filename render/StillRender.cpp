#include "render/StillRender.h"

#include <algorithm>
#include <limits>

#include "base/Translate.h"
#include "render/TextureMix.h"

namespace velmora {

namespace {

void SizeBitmap(Bitmap24& bm, int32_t w, int32_t h) {
  bm.width = std::max<int32_t>(0, w);
  bm.height = std::max<int32_t>(0, h);
  bm.bytes.assign(static_cast<size_t>(bm.width) * static_cast<size_t>(bm.height) * 3, 0);
}

// Reduces SOURCE by FACTOR into TARGET (or moves it when FACTOR is 1).
void Reduce(RenderContext& ctx, const TRenderStages& stages, Bitmap24& target, Bitmap24&& source,
            int32_t factor) {
  if (factor <= 1) {
    target = std::move(source);
    return;
  }
  SizeBitmap(target, source.width / factor, source.height / factor);
  if (target.width == 0 || target.height == 0) return;
  stages.DownSample(ctx, target, source);
}

}  // namespace

TRenderStages EngineStages() {
  TRenderStages s;
  s.AllocFrameBuffers = AllocFrameBuffers;
  s.RenderCloudLayer = RenderCloudLayer;
  s.ColorFilterStage = ColorFilterStage;
  s.MixTextureStage = MixTextureStage;
  s.BlurStage = BlurStage;
  s.BufferToBitmap = [](RenderContext& ctx, Bitmap24& bm, const TPixeBuffer* b) {
    BufferToBitmap(bm, b, &ctx.Threads);
  };
  s.DownSample = DownSample;
  return s;
}

bool RenderOversampled(RenderContext& ctx, const TCloudFrameParams& params, RenderSequence& seq,
                       std::string* error, const TRenderStages& stages) {
  RenderTarget target;
  if (!OutputTarget(params, target, error)) return false;
  const int32_t w = target.Width, h = target.Height;
  const int32_t outW = params.ResX;
  const int32_t outH = params.ResY;
  const bool allocated = stages.AllocFrameBuffers(ctx, params, target, seq);
  // An abort or a frame past its work budget skips the stages still to come.
  auto go = [&] { return allocated && !ctx.AbortRequested() && !ctx.Work.Exceeded; };
  if (go()) stages.RenderCloudLayer(ctx, params, target, seq);
  if (go()) stages.ColorFilterStage(ctx, params);
  if (params.Texture) {
    // The mix takes the finished clouds: blur first (render/TextureMix.h).
    if (go()) stages.BlurStage(ctx, params);
    if (go()) stages.MixTextureStage(ctx, params, false);
  } else {
    if (go()) stages.MixTextureStage(ctx, params, false);
    if (go()) stages.BlurStage(ctx, params);
  }
  seq.Invalidate();
  if (ctx.AbortRequested()) {
    if (error) *error = "aborted";
    return false;
  }
  if (ctx.Work.Exceeded) {
    if (error) *error = DescribeWorkOverrun(ctx.Work, params, outW, outH);
    return false;
  }
  if (!allocated) {
    if (error)
      *error = MsgFormat("not enough memory for a %s x %s render",
                         {std::to_string(w), std::to_string(h)});
    return false;
  }
  return true;
}

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

void OversampledPictures(RenderContext& ctx, const TCloudFrameParams& params, Bitmap24& colour,
                         Bitmap24* alpha, const TRenderStages& stages) {
  const int32_t factor = OutputFactor(params);
  const TPixeBuffer* buffer = PictureBuffer(ctx, params);
  Bitmap24 full;
  if (buffer && buffer->data)
    stages.BufferToBitmap(ctx, full, buffer);
  else
    SizeBitmap(full, 0, 0);
  Reduce(ctx, stages, colour, std::move(full), factor);
  if (!alpha) return;
  Bitmap24 fullAlpha;
  BufferAlphaToBitmap(fullAlpha, ctx.Frame.filtered_cloud);
  Reduce(ctx, stages, *alpha, std::move(fullAlpha), factor);
}

bool RenderStillFrame(RenderContext& ctx, const TCloudFrameParams& params, std::string* error) {
  if (params.ResX < 1 || params.ResY < 1) {
    if (error)
      *error = MsgFormat("the output size must be at least 1 x 1 (got %s x %s)",
                         {std::to_string(params.ResX), std::to_string(params.ResY)});
    return false;
  }
  RenderTarget target;
  if (!OutputTarget(params, target, error)) return false;
  RenderSequence seq;
  ctx.PreviewBusy = true;
  ctx.RenderIdle = false;
  ctx.PixeProgress = 0;
  const bool ok = RenderOversampled(ctx, params, seq, error);
  ctx.PreviewBusy = false;
  ctx.RenderIdle = true;
  return ok;
}

void StillPicture(RenderContext& ctx, const TCloudFrameParams& params, Bitmap24& out,
                  Bitmap24* alpha) {
  if (!ctx.Frame.filtered_cloud) return;
  OversampledPictures(ctx, params, out, alpha);
}

}  // namespace velmora
