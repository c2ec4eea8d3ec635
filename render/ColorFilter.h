// Colour filter and brightness: maps the grey levels of `cloud` through one
// shaped curve per channel, from the gradient's start colour (grey 0) to its
// end colour (grey 255), scales the colour channels by the brightness and
// writes `filtered_cloud`.  The stage itself, ColorFilterStage, is declared
// with the other pipeline stages in render/Render.h.
#pragma once

#include <array>

#include "render/Pixe.h"
#include "render/Render.h"

namespace velmora {

// The filter's result for every grey level: entry v is the packed pixel that
// a cloud grey of v becomes.  The curves depend only on the grey byte, so the
// stage evaluates them 256 times per run instead of once per pixel.
using ColorFilterTable = std::array<PackedPixel, 256>;

// The filtered pixel for one grey level: each channel is the rounded value of
// its slope curve (colour channels times Brightness, alpha not), packed as its
// low 8 bits.
PackedPixel ColorFilterPixel(const TCloudFrameParams& params, uint32_t grey);
void MakeColorFilterTable(const TCloudFrameParams& params, ColorFilterTable& table);

// FrameProgress after filter row y of an image of height h: 90 at the first
// row rising to 95 at the last; a one-row image reports 95.
int ColorFilterProgress(int32_t y, int32_t h);

}  // namespace velmora
