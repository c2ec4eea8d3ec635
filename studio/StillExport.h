// The still export, one function for every front end: the command line's
// render and the window's picture button both render the frame and write it
// through here, so the two can never make different pictures or apply
// different limits.
#pragma once

#include <string>

#include "render/Pixe.h"
#include "render/Render.h"
#include "render/RenderContext.h"
#include "render/WorkBudget.h"

namespace velmora {

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

// RenderStillPicture, then the picture saved in the format PATH's extension
// names (BMP for a name the format table does not know; JPEG at
// JPEG_QUALITY), with the alpha picture as its alpha channel when
// ALPHA_CHANNEL (refused for a format without one).  A failed write leaves no
// partial file in place.
bool ExportStill(RenderContext& ctx, const TCloudFrameParams& params, long double workPerPixel,
                 const std::string& path, int jpegQuality, std::string* error,
                 bool alphaChannel = false);

}  // namespace velmora
