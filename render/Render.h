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

// All parameters of the frame being rendered and the warp normalisation that
// an animation keeps from frame to frame.  A plain value: copied as a whole
// where a working copy is needed (another thread's export, a diagram).  The
// five frame buffers belong to the render context (TFrameBuffers), so a copy
// never shares them.  Texture is a borrowed, read-only picture.
struct TCloudFrameParams {
  int32_t ResX = 0;
  int32_t ResY = 0;
  int32_t OverSampling = 0;
  int32_t Seed = 0;
  TPixeBuffer* Texture = nullptr;
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
  bool Rendered = false;
  bool ClipBrightness = false;
  long double WarpOffset = 0;
  long double WarpScale = 0;  // 0: the warp normalisation is not fixed yet
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

// Creates or resizes and draws the context's five pens at W x H from its
// current random sequence; on failure (or an abort) the pens are absent
// afterwards.
void MakePens(RenderContext& ctx, int32_t w, int32_t h);

// Pipeline stages, in their fixed calling order.
// Seeds with Seed, clears Rendered, makes sure the context's frame buffers
// and pens exist at the render size (pens also for the seed).  Returns false
// (after showing the slot's message and setting RenderIdle) when allocation
// fails; no stage may run then.
bool AllocFrameBuffers(RenderContext& ctx, TCloudFrameParams& params, bool preview);
// Base pattern, warp -> cloud.
void RenderCloudLayer(RenderContext& ctx, TCloudFrameParams& params);
// cloud -> filtered_cloud.
void ColorFilterStage(RenderContext& ctx, const TCloudFrameParams& params);
// -> mixed_texture.
void MixTextureStage(RenderContext& ctx, const TCloudFrameParams& params, bool fast);
// Blurs filtered_cloud in place.
void BlurStage(RenderContext& ctx, const TCloudFrameParams& params);

// Box reduction of an oversampled picture; progress and pump through CTX.
void DownSample(RenderContext& ctx, Bitmap24& target, const Bitmap24& source);

}  // namespace velmora
