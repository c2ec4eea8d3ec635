// The frame parameter record, the engine's shared state, and the stages of
// the frame render pipeline.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "render/Pixe.h"
#include "render/WorkBudget.h"

namespace velmora {

struct ColorRGBA {
  uint8_t r, g, b, a;
};

// All parameters of the frame being rendered, the warp normalisation that an
// animation keeps from frame to frame, and the five frame buffers.  A plain
// value: copied as a whole where a working copy is needed.
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
  TPixeFloatBuffer* base_pattern = nullptr;
  TPixeFloatBuffer* warp_template = nullptr;
  TPixeBuffer* cloud = nullptr;
  TPixeBuffer* filtered_cloud = nullptr;
  TPixeBuffer* mixed_texture = nullptr;
  // The frame's work budget, set by the host for exports; none when null.
  TWorkBudget* Work = nullptr;
};

// The one global record and the shared engine state.
extern TCloudFrameParams CloudParams;
extern bool RenderIdle;    // initially true; false while the engine stages run
extern bool PreviewBusy;   // a preview render or redraw is running
extern int FrameProgress;  // 0..100 within the current frame
extern int MovieProgress;  // 0..100 over the frames of a movie
extern int PixeProgress;   // 0..100 of the current per-pixel operation

// The host decides what a pump does (process window events, draw a progress
// bar, nothing).  Long loops call PumpMessages after every stamp, row or
// sample.
void SetPump(std::function<void()> pump);
void PumpMessages();

// Where the engine's user-facing messages go (a message box in the desktop
// application, stderr on the command line).  Without a sink they are dropped.
void SetMessageSink(std::function<void(const std::string&)> sink);
void ShowEngineMessage(const std::string& text);

// The engine's five pens, all of the render size; regenerated when missing or
// when the render size changes.
struct EnginePens {
  TPixeFloatBuffer* CloudPen = nullptr;
  TPixeFloatBuffer* PenShade = nullptr;
  TPixeFloatBuffer* WarpPenR = nullptr;
  TPixeFloatBuffer* WarpPenG = nullptr;
  TPixeFloatBuffer* WarpPenB = nullptr;
};
extern EnginePens Pens;
// Creates or resizes and draws the five pens at W x H from the current random
// sequence; on failure the pens are absent (all null) afterwards.
void MakePens(int32_t w, int32_t h);
void FreePens();

// Frees the five frame buffers of a record (the owner calls it at shutdown).
void FreeFrameBuffers(TCloudFrameParams& params);

// Pipeline stages, in their fixed calling order.
// Seeds with Seed, clears Rendered, makes sure the frame buffers and the pens
// exist at the render size.  Returns false (after showing the slot's message
// and setting RenderIdle) when allocation fails; no stage may run then.
bool AllocFrameBuffers(TCloudFrameParams& params, bool preview);
void RenderCloudLayer(TCloudFrameParams& params);   // base pattern, warp -> cloud
void ColorFilterStage(TCloudFrameParams& params);   // cloud -> filtered_cloud
void MixTextureStage(TCloudFrameParams& params, bool fast);  // -> mixed_texture
void BlurStage(TCloudFrameParams& params);          // blurs filtered_cloud in place

// Box reduction of an oversampled picture.
void DownSample(Bitmap24& target, const Bitmap24& source);

}  // namespace velmora
