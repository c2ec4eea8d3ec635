// Exact fast paths for the float blends and StampPen.
//
// The reference definitions (FloatBlend, StampPen in Pixe.cpp) compute every
// blend in extended precision and store 32-bit floats.  The versions here
// give bit-identical results much faster:
// - formulas that are a single IEEE operation on float inputs (the colour
//   part of modes 5, 6, 7, 8 and the alpha average (d.A + s.A) / 2) are done
//   in float: rounding the extended result to float equals rounding the exact
//   result once, because 64 >= 2 x 24 + 2 bits (double rounding is innocuous);
// - compound formulas are done in double together with a generous bound E on
//   the distance between the double value and the extended one; when every
//   value of [y - E, y + E] rounds to the same float, that float is the
//   extended result, otherwise (about once in a million, and for NaN) the
//   pixel falls back to FloatBlend itself.
// StampPenFast walks the target row by row with source columns computed once
// per stamp (the same accumulated u, v and round-half-even as StampPen) and
// splits wrapped rows into contiguous runs.
#pragma once

#include <cmath>
#include <cstdint>

#include "render/Pixe.h"
#include "render/RenderContext.h"

namespace velmora {

// FloatBlend(d, s, mode), bit for bit.
FloatPixel FloatBlendFast(FloatPixel d, FloatPixel s, int mode);

// StampPen(pen, src, target, mode, wrap, dst), bit for bit.
void StampPenFast(RenderContext& ctx, const TPixeFloatBuffer* pen, PixeRect src, TPixeFloatBuffer* target, int mode,
                  bool wrap, PixeRect dst);

// float(c) of an extended value c = (v + offset) / scale, bit for bit, for a
// float v (the normalisation of Parts 1.3 and 1.4); offsetD, scaleD are
// offset and scale rounded to double.  The double quotient lies within a few
// units of 2^-53 (relative to the operands) of the exact one, like the
// extended one; the bound below is far above both.
inline float NormalizeValueFast(float v, long double offset, long double scale, double offsetD,
                                double scaleD) {
  const double a = static_cast<double>(v) + offsetD;
  const double q = a / scaleD;
  const double e =
      ((std::fabs(offsetD) + std::fabs(a)) / std::fabs(scaleD) + std::fabs(q)) * 0x1p-42;
  if (static_cast<float>(q - e) == static_cast<float>(q + e)) return static_cast<float>(q);
  return static_cast<float>((static_cast<long double>(v) + offset) / scale);
}

// Float-to-packed conversion, bit for bit with FloatToPacked.
PackedPixel FloatToPackedFast(FloatPixel f);

// Slots of the context's StampScratch: the stamp's column table, and two
// used by MakePens.
inline constexpr int kColumnTableSlot = 0;
inline constexpr int kCoveredSlot = 1;
inline constexpr int kDenCacheSlot = 2;

}  // namespace velmora
