// Exact fast paths for the float blends and StampPen.
//
// The reference definitions (FloatBlend, StampPen in Pixe.cpp) compute every
// blend in extended precision and store 32-bit floats.  The versions here
// give bit-identical results much faster:
// - formulas that are a single IEEE operation on float inputs (the colour
//   part of modes 5, 6, 7, 8 and the alpha average (d.A + s.A) / 2) are done
//   in float: rounding the extended result to float equals rounding the exact
//   result once, because 64 >= 2 x 24 + 2 bits (double rounding is innocuous);
// - compound formulas are done in double (modes 0, 1 and 3 eight pixels at a
//   time, and the normalisation, in float with error-free transformations)
//   together with a generous bound E on the distance between the computed
//   value and the extended one; when every value of [y - E, y + E] rounds to
//   the same float, that float is the extended result, otherwise (about once
//   in ten thousand, and for NaN) the pixel falls back to FloatBlend itself.
// StampPenFast walks the target row by row with source columns computed once
// per stamp (the same accumulated u, v and round-half-even as StampPen) and
// splits wrapped rows into contiguous runs.
#pragma once

#include <cmath>
#include <cstdint>

#include "render/Pixe.h"
#include "render/RenderContext.h"

namespace velmora {

// One stamp: StampPen(pen, src, target, mode, wrap, dst).
struct StampOp {
  const TPixeFloatBuffer* pen;
  PixeRect src;
  PixeRect dst;
  int mode;
  bool wrap;
};

// Stamps wider or taller than this (never reached by sane settings) take the
// literal per-pixel path instead of column and row tables.
constexpr int32_t kMaxStampTable = 1 << 24;

using BlendRunFn = void (*)(FloatPixel*, const FloatPixel*, const int32_t*, int64_t);
struct StampPlan;
// ApplyGreyStampRows for one mode (see there).
using GreyRowsFn = void (*)(const StampOp& op, const StampPlan& plan, const float* pen,
                            float* band, int32_t W, int32_t H, int32_t y0, int32_t y1);
// ApplyPlanarStampRows for one mode (see there).
using PlanarRowsFn = void (*)(const StampOp& op, const StampPlan& plan, float* planes,
                              int64_t planeStride, int32_t W, int32_t H, int32_t y0, int32_t y1);

// The source columns and rows of one stamp into a W x H target, computed once
// so that the stamp can be applied to any band of target rows.
struct StampPlan {
  int32_t* cols = nullptr;  // dst.width entries: the pen column of each target column
  int32_t* rows = nullptr;  // dst.height entries: the pen row of each target row, or -1
  int64_t kb = 0, ke = 0;   // the target columns [kb, ke) of the stamp that are written
  BlendRunFn run = nullptr;
  GreyRowsFn grey = nullptr;
  PlanarRowsFn planar = nullptr;  // null: the mode has no planar form here
  // Optional: for each pen row, the pen columns [spans[2 r], spans[2 r + 1])
  // outside which the pen's alpha is 0 (see PenAlphaSpans); the stamp's
  // pixels that read outside them are left out (a source with alpha 0 leaves
  // its pixel as it was).
  const int32_t* spans = nullptr;
  // About how many stamp columns one pen column takes (target width / source
  // width) and the pen column of stamp column 0 (source left): where a pen
  // column's first stamp column lies, to start looking from.
  double colScale = 1, colOrigin = 0;
  // The target columns [k0, k1) whose source columns lie inside the pen
  // (-1, -1: none), before any clipping to the target.
  int64_t k0 = -1, k1 = -1;
  bool empty = true;        // the stamp writes nothing
};

// For every row r of pen, the pen columns [spans[2 r], spans[2 r + 1]) from
// the first to the last one whose alpha is not 0 (on its bits: +0 and -0
// both count as 0); an empty range (0, 0) for a row that is all alpha 0.
void PenAlphaSpans(const TPixeFloatBuffer* pen, int32_t* spans, int32_t row0, int32_t row1);
// Fills the plan; cols and rows have room for dst.width and dst.height
// entries (both at most kMaxStampTable).
void PlanStamp(const StampOp& op, int32_t W, int32_t H, int32_t* cols, int32_t* rows,
               StampPlan& plan);
// The plan PlanStamp makes, sharing the tables of `same`, the plan of a
// stamp into the same target with a pen of the same size, the same source
// rectangle and the same target size (its position and mode may differ):
// the tables depend on nothing else.
void PlanStampAlike(const StampOp& op, int32_t W, const StampPlan& same, StampPlan& plan);
// Applies the planned stamp to the target rows y0 <= y < y1 only, in the
// order StampPen writes them.
void ApplyStampRows(const StampOp& op, const StampPlan& plan, TPixeFloatBuffer* target,
                    int32_t y0, int32_t y1);

// The same for a grey stamp (pen and target with R = G = B): pen holds the
// pen's (R, A) pairs, pen width per row; band holds the (R, A) pairs of the
// target rows y0 <= y < y1 (W per row, band row 0 = target row y0) of a
// W x H target, with room for 14 more floats after its last pair (the last
// pixels of a run may be blended eight at a time, the lanes beyond it read
// and written back unchanged).
void ApplyGreyStampRows(const StampOp& op, const StampPlan& plan, const float* pen, float* band,
                        int32_t W, int32_t H, int32_t y0, int32_t y1);

// The same on a band kept as channel planes: planes holds the R, G, B and A
// planes of the target rows y0 <= y < y1 (W per row, band row 0 = target
// row y0), plane c starting at planes + c * planeStride, with room for 7
// more floats after each plane's last pixel: the last few pixels of a run
// are blended eight at a time like the others, the lanes beyond it read and
// written back unchanged.  Only for plans whose mode has a planar form
// (plan.planar set).
void ApplyPlanarStampRows(const StampOp& op, const StampPlan& plan, float* planes,
                          int64_t planeStride, int32_t W, int32_t H, int32_t y0, int32_t y1);

// The copies of a band of n pixels into its channel planes (channel c of
// pixel k at planes[c * ps + k]) or its grey (R, A) pairs, and back (R = G =
// B := the pair's R), bit for bit.
void PixelsToPlanes(const FloatPixel* px, int64_t n, float* planes, int64_t ps);
void PlanesToPixels(const float* planes, int64_t ps, int64_t n, FloatPixel* px);
void PixelsToGreyPairs(const FloatPixel* px, int64_t n, float* pairs);
void GreyPairsToPixels(const float* pairs, int64_t n, FloatPixel* px);

// Whether the AVX2 kernels (of the stamps, the pen shading and the warp
// lookup) run: the processor has AVX2 and VELMORA_NO_AVX2 is not set.
bool UseAvx2();

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

// p[i].c := NormalizeValueFast(p[i].c, offset[c], scale[c], ...) for i in
// [0, n) and the channels c (R = 0 .. A = 3) whose bit is set in lanes;
// the other channels are left as they are.
void NormalizeRun(FloatPixel* p, int64_t n, const long double (&offset)[4],
                  const long double (&scale)[4], int lanes);

// Float-to-packed conversion, bit for bit with FloatToPacked.
PackedPixel FloatToPackedFast(FloatPixel f);
// to[i] := FloatToPackedFast(from[i]) for i in [0, n), several pixels at a
// time where the processor allows.
void FloatToPackedRun(const FloatPixel* from, PackedPixel* to, int64_t n);

// The stamping code keeps its scratch memory in the context's StampScratch
// slots (0 the column table, 1, 2 and 7 MakePens, 3 to 5, 8 and 9
// StampBatch, 10 the warp lookup's packed base).
}  // namespace velmora
