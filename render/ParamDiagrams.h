// The two small diagrams that show parameters without rendering: the colour
// filter's gradient with its four channel curves, and the points of the blur
// brush.  Both draw into a bitmap of the paint box's size.
#pragma once

#include "render/Pixe.h"
#include "render/Render.h"

namespace velmora {

// Colour-filter diagram of PARAMS on BM (its size is kept): the input ramp on
// top, below it the filtered band in the displayed colour (inverted in the
// subtractive mixing mode) with a dot per column for each of the red, green,
// blue and alpha curves.
void DrawColorFilterDiagram(Bitmap24& bm, const TCloudFrameParams& params);

// Blur-brush diagram of PARAMS on BM: a white pixel at each of the rounded
// BlurSamples brush offsets for a radius of half the width, drawn with the
// record's seed.  The engine's random sequence is left as it was, so drawing
// the diagram never changes a render.
void DrawBlurBrushDiagram(Bitmap24& bm, const TCloudFrameParams& params);

}  // namespace velmora
