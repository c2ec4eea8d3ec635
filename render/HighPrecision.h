// The high-precision render behind 16-bit and float pictures.  The base
// pattern, the warp template and every random draw are the standard render's
// (the standard cloud layer runs unchanged); from the warp lookup on, the
// stages work on float pixels and skip the standard path's 8-bit steps: the
// lookup keeps the pattern's float value, the colour filter evaluates its
// curves at that value, the texture mix and the blur interpolate and average
// without truncating, and the oversampling reduction averages floats.
// Rounded to bytes the result is the standard picture to within a level on
// nearly every pixel; it differs where the standard path's rounding did.
// Also here: height maps (the grey cloud) and tangent-space normal maps
// derived from them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/Pixe.h"
#include "render/Render.h"
#include "render/RenderContext.h"
#include "render/StillRender.h"

namespace velmora {

// The float buffers of the high-precision stages, drawn from a context's
// pool and returned to it when freed; the standard frame buffers stay in the
// context.  Not copyable.
struct HighFrame {
  HighFrame() = default;
  HighFrame(const HighFrame&) = delete;
  HighFrame& operator=(const HighFrame&) = delete;
  ~HighFrame() { Free(); }
  void Free();

  TPixeFloatBuffer* cloud = nullptr;     // warped grey clouds, unrounded (R = G = B)
  TPixeFloatBuffer* filtered = nullptr;  // coloured clouds, blurred in place: the picture
  TPixeFloatBuffer* mixed = nullptr;     // clouds mixed with the texture
  TPixeFloatBuffer* acc = nullptr;       // the blur's sums
  TPixeFloatBuffer* rows = nullptr;      // the blur's rows interpolated along x
};

// A picture in floats: CHANNELS values per pixel (1 grey, 3 R G B, 4 R G B A),
// rows top first, nominal range 0..1 (values outside it are kept; encoders
// limit them).
struct FloatImage {
  int32_t width = 0;
  int32_t height = 0;
  int channels = 0;
  std::vector<float> values;

  void SetSize(int32_t w, int32_t h, int c);
  float* Pixel(int32_t x, int32_t y) {
    return values.data() + (static_cast<size_t>(y) * width + x) * channels;
  }
  const float* Pixel(int32_t x, int32_t y) const {
    return values.data() + (static_cast<size_t>(y) * width + x) * channels;
  }
};

// The high-precision stages, for RenderOversampled: the standard allocation
// and cloud layer keeping its lookup unrounded, then the float colour filter,
// mix and blur into HIGH's buffers.  The context's filtered_cloud and mixed_texture are not
// written.
TRenderStages HighPrecisionStages(HighFrame& high);

// The float stages after the cloud layer (RenderCloudLayerUnrounded keeps
// the unrounded lookup in HIGH's cloud), one by one.
void ColorFilterHigh(RenderContext& ctx, HighFrame& high, const TCloudFrameParams& params);
void MixTextureHigh(RenderContext& ctx, HighFrame& high, const TCloudFrameParams& params,
                    bool fast);
void BlurHigh(RenderContext& ctx, HighFrame& high, const TCloudFrameParams& params);

// The still export on the high-precision path: RenderStillFrame's checks,
// guards and fresh sequence, with the stages above.
bool RenderStillFrameHigh(RenderContext& ctx, const TCloudFrameParams& params, HighFrame& high,
                          std::string* error);

// The picture of the last high-precision render at output size (the render
// reduced by FACTOR with a box average): R, G, B and, WITHALPHA, A.  With
// TEXTURED the colour is the texture mix's and the alpha the clouds' own.
void HighPicture(RenderContext& ctx, const HighFrame& high, int32_t factor, bool withAlpha,
                 FloatImage& out, bool textured = false);
// The heights of the last high-precision render at output size: the grey
// cloud (before colour filter, mix and blur), 0 black .. 1 white.
void HighHeights(RenderContext& ctx, const HighFrame& high, int32_t factor, FloatImage& out);
// The heights of the last standard render: the 8-bit grey cloud reduced as
// the standard picture is (DownSample), as levels / 255.
void StandardHeights(RenderContext& ctx, int32_t factor, FloatImage& out);

// A tangent-space normal map of HEIGHTS (grey), derived with central
// differences that wrap around the edges, so it tiles as the heights do.
// The surface rises by STRENGTH x width / 16 pixels from height 0 to 1, so
// the map looks the same at every picture size.  Components are stored as
// n x 0.5 + 0.5 in R, G, B; green points up (the OpenGL convention).
void NormalMap(const FloatImage& heights, double strength, FloatImage& out);

// What an export writes of a render: the picture, the heights (the grey
// cloud) or the normal map of the heights.
enum class ExportMap : uint8_t { Picture, Height, Normal };

// The names the command line (--buffer height|normal) and the settings file
// use: "picture", "height", "normal".  False for any other name.
std::string_view ExportMapName(ExportMap map);
bool ExportMapForName(std::string_view name, ExportMap& map);

// The export's picture of the last render of PARAMS at output size, as
// floats: with HIGH (a high-precision render) the picture of HighPicture
// (with WITHALPHA its alpha, the colour the texture mix's when PARAMS has a
// texture) or its heights; without it (a standard render) only the maps,
// from the 8-bit grey cloud.  For Normal the heights become NormalMap of
// them with STRENGTH.  The standard picture itself goes through bitmaps.
void ExportImage(RenderContext& ctx, const TCloudFrameParams& params, const HighFrame* high,
                 ExportMap map, double strength, bool withAlpha, FloatImage& out);

// Rounds a float picture (nominal 0..1) to a 24-bit bitmap; grey pictures
// become equal B, G, R.  ALPHA, when given and the picture has four channels,
// gets the alpha as grey.
void FloatImageToBitmap(const FloatImage& img, Bitmap24& colour, Bitmap24* alpha = nullptr);

}  // namespace velmora
