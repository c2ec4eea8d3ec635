// The frame parameter record and the stages of the frame render pipeline.
// The buffers, pens and shared state a render works on live in its
// RenderContext (render/RenderContext.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "render/Pixe.h"
#include "render/RenderContext.h"

namespace velmora {

struct ColorRGBA {
  uint8_t r, g, b, a;
};

// All parameters of the frame being rendered.  A plain value, read but never
// written by a render: copied as a whole where a working copy is needed
// (another thread's export, a diagram).  The five frame buffers belong to
// the render context (TFrameBuffers), so a copy never shares them; what a
// sequence of frames keeps from one frame to the next belongs to its
// RenderSequence.  Texture is a borrowed, read-only picture.
struct TCloudFrameParams {
  int32_t ResX = 0;
  int32_t ResY = 0;
  int32_t OverSampling = 0;
  int32_t Seed = 0;
  const TPixeBuffer* Texture = nullptr;  // none: no texture; kept alive by its TTexture owner
  uint8_t PileMode = 0;      // 0 add, 1 subtract, 2 average
  uint8_t UnderTexture = 0;  // 0: clouds over the texture, 1: texture over the clouds
  long double Brightness = 0;
  long double Complex = 0;
  long double Coverrate = 0;
  long double MinRadius = 0;
  long double MaxRadius = 0;
  long double wMinRadius = 0;
  long double wMaxRadius = 0;
  long double Noise = 0;
  long double wNoise = 0;
  long double Center = 0;
  bool CenterReverse = false;
  ColorRGBA StartColor{0, 0, 0, 0};
  ColorRGBA EndColor{0, 0, 0, 0};
  long double SlopeR = 0;
  long double SlopeG = 0;
  long double SlopeB = 0;
  long double SlopeA = 0;
  long double WX = 0;
  long double WY = 0;
  bool ClipBrightness = false;
  long double cx = 0;
  long double cy = 0;
  long double wx1 = 0;
  long double wy1 = 0;
  long double wx2 = 0;
  long double wy2 = 0;
  long double BlurRadius = 0;
  long double BlurSamples = 0;
  long double BlurCurve = 0;
  long double BlurRotX = 0;
  long double BlurRotY = 0;
  long double BlurRotZ = 0;
  bool BlurDraft = false;
  int32_t PreviewWidth = 0;
  int32_t PreviewHeight = 0;
};

// What a render produces: its size in pixels, the oversampling factor of the
// picture it becomes (the output is Width / Factor by Height / Factor) and
// whether it is a preview (shown as rendered) or an export.  Stamp offsets
// (cloud and warp positions) are fractions of this size.
struct RenderTarget {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Factor = 1;
  bool Preview = false;
};

// The offset in pixels of a layer at position (PX, PY): the position's
// fractions of the size the offsets are taken from.
struct PixelOffset {
  int32_t x = 0, y = 0;
};
PixelOffset LayerOffset(const RenderTarget& target, const TCloudFrameParams& params,
                        long double px, long double py);

// The preview's target: the record's preview size, no oversampling.
RenderTarget PreviewTarget(const TCloudFrameParams& params);
// The oversampling factor of an export: the record's, where a value below 1
// counts as 1.  The one place that rule lives.
int32_t OutputFactor(const TCloudFrameParams& params);
// The export's target: the output size times OutputFactor; false with a one-line reason when that size
// does not fit 32 bits.
bool OutputTarget(const TCloudFrameParams& params, RenderTarget& target, std::string* error);

// What a sequence of frames keeps from one frame to the next, owned by
// whoever runs the sequence (the preview, a movie, a still export): the warp
// normalisation, which the first cloud layer fixes and later frames reuse so
// that an animation keeps one look, and whether the frame buffers hold a
// complete cloud layer for the partial re-renders.
class RenderSequence {
 public:
  bool WarpFixed() const { return WarpScale != 0; }
  // The next cloud layer fixes the normalisation afresh: a new project, a
  // switch that changes the whole pattern, Redraw, the start of an export.
  void ResetWarp() { WarpScale = 0; }
  // The frame buffers no longer hold the sequence's cloud layer (another
  // size was rendered, or the layer was cut short): the next partial
  // re-render is a full one.
  void Invalidate() { Rendered = false; }

  long double WarpOffset = 0;
  long double WarpScale = 0;  // 0: the warp normalisation is not fixed yet
  bool Rendered = false;      // the frame buffers hold a complete cloud layer
};

// Creates or resizes and draws the context's five pens at W x H from its
// current random sequence; on failure (or an abort) the pens are absent
// afterwards.
void MakePens(RenderContext& ctx, int32_t w, int32_t h);

// Pipeline stages, in their fixed calling order.
// Seeds with Seed, invalidates SEQ, makes sure the context's frame buffers
// and pens exist at the target's size (pens also for the seed).  Returns
// false (after showing the slot's message and setting RenderIdle) when
// allocation fails; no stage may run then.
bool AllocFrameBuffers(RenderContext& ctx, const TCloudFrameParams& params,
                       const RenderTarget& target, RenderSequence& seq);
// Base pattern, warp -> cloud, with the offsets taken from TARGET's size;
// fixes SEQ's warp normalisation when it is not fixed and marks the layer
// rendered when it is complete.
void RenderCloudLayer(RenderContext& ctx, const TCloudFrameParams& params,
                      const RenderTarget& target, RenderSequence& seq);
// RenderCloudLayer that also keeps the warped pattern before its rounding to
// bytes in UNROUNDED (a float buffer of the target's size), for the
// high-precision stages; `cloud` is the same as RenderCloudLayer's.
void RenderCloudLayerUnrounded(RenderContext& ctx, const TCloudFrameParams& params,
                               const RenderTarget& target, RenderSequence& seq,
                               TPixeFloatBuffer* unrounded);
// cloud -> filtered_cloud.
void ColorFilterStage(RenderContext& ctx, const TCloudFrameParams& params);
// filtered_cloud and Texture -> mixed_texture (render/TextureMix.h); without
// a texture a copy of filtered_cloud.
void MixTextureStage(RenderContext& ctx, const TCloudFrameParams& params, bool fast);
// Blurs filtered_cloud in place.
void BlurStage(RenderContext& ctx, const TCloudFrameParams& params);

// Box reduction of an oversampled picture; progress and abort through CTX.
void DownSample(RenderContext& ctx, Bitmap24& target, const Bitmap24& source);

}  // namespace velmora
