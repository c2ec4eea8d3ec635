// The still export, one function for every front end: the command line's
// render and the window's picture button both render the frame and write it
// through here, so the two can never make different pictures or apply
// different limits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "output/Formats.h"
#include "render/HighPrecision.h"
#include "render/Pixe.h"
#include "render/Render.h"
#include "render/RenderContext.h"
#include "render/WorkBudget.h"

namespace velmora {

// How a still is written beyond its format.
struct StillOptions {
  unsigned depth = kDepth8;  // kDepth8 (the standard render), kDepth16 or kDepthFloat
  ExportMap content = ExportMap::Picture;  // the picture, its heights or normals
  double normalStrength = 1;  // ExportMap::Normal: how steep (NormalMap)
  bool alphaChannel = false;  // the picture with its alpha picture as alpha channel
  int jpegQuality = 75;
  bool operator==(const StillOptions&) const = default;
};

// The depths FORMAT writes stills in (kDepth8 always, 16 and float where it
// has a high-precision encoder).
unsigned StillDepths(const OutputFormat& format);

// What OPTIONS ask of FORMAT that it cannot give, one line of the core's
// messages; empty when the format can write it.  An alpha channel is for the
// picture only.
std::string StillOptionsProblem(const OutputFormat& format, const StillOptions& options);

// A rendered still at output size, ready to encode: at depth 8 the 24-bit
// picture (and its alpha picture when asked for), else the float image.
struct StillResult {
  unsigned depth = kDepth8;
  Bitmap24 picture;
  Bitmap24 alpha;
  bool hasAlpha = false;
  FloatImage image;
};

// Renders PARAMS at the output size times the oversampling factor in a
// sequence of its own (the warp normalisation fixed on this frame), within
// WORK_PER_PIXEL operations per pixel (0: no limit), and reduces the result
// to the output size into PICTURE.  False with a one-line reason when the
// size is refused, memory runs out, the frame needs more work than allowed
// or the render was aborted; PICTURE is unchanged then.  The context's
// buffers keep the render (the command line can still show one of them).
// ALPHA (when given) gets the alpha picture at the same size.
bool RenderStillPicture(RenderContext& ctx, const TCloudFrameParams& params,
                        long double workPerPixel, Bitmap24& picture, std::string* error,
                        Bitmap24* alpha = nullptr);

// Renders what OPTIONS ask for into OUT: depth 8 on the standard path (the
// picture exactly as RenderStillPicture makes it; heights and normals from
// its grey cloud, rounded to 8 bits), depth 16 and float on the
// high-precision path.  False with a one-line reason as RenderStillPicture.
bool RenderStill(RenderContext& ctx, const TCloudFrameParams& params, long double workPerPixel,
                 const StillOptions& options, StillResult& out, std::string* error);

// Encodes a rendered still as FORMAT (JPEG at OPTIONS' quality).
bool EncodeStillResult(const OutputFormat& format, const StillResult& still,
                       const StillOptions& options, std::string& bytes, std::string* error);
// EncodeStillResult written to PATH through a temporary file: a failed write
// leaves no partial file in place.  A write-protected file is kept unless
// REPLACEPROTECTED.
bool SaveStillResult(const OutputFormat& format, const StillResult& still,
                     const StillOptions& options, const std::string& path, std::string* error,
                     bool replaceProtected = false);

// The window's still export: OPTIONS checked against the format PATH's
// extension names (BMP for a name the format table does not know), the
// still rendered and saved.  Depth 8 and the picture give the bytes they
// always did.
bool ExportStill(RenderContext& ctx, const TCloudFrameParams& params, long double workPerPixel,
                 const std::string& path, const StillOptions& options, std::string* error);
// The same for the 8-bit picture, with the JPEG quality and the alpha
// channel only.
bool ExportStill(RenderContext& ctx, const TCloudFrameParams& params, long double workPerPixel,
                 const std::string& path, int jpegQuality, std::string* error,
                 bool alphaChannel = false);

// The window's still choice in the settings file, section "Velmora": depth
// "StillDepth" (8, 16, float), "StillContent" (picture, height, normal),
// "NormalStrength" (a number) and "StillAlphaChannel" (1 or 0).  A missing
// or unreadable key keeps its default; the JPEG quality is not read here.
StillOptions ReadStillChoice(const std::string& settingsPath);
bool WriteStillChoice(const std::string& settingsPath, const StillOptions& options,
                      std::string* error);
// The window's choice for the pictures of its movie output (numbered
// series; movies hold 8 bits): "SeriesDepth", "SeriesContent" and
// "SeriesNormalStrength", read as above.  The alpha goes to the alpha
// output, so no alpha channel is kept.
StillOptions ReadSeriesChoice(const std::string& settingsPath);
bool WriteSeriesChoice(const std::string& settingsPath, const StillOptions& options,
                       std::string* error);

}  // namespace velmora
