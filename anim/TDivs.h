// The keyframe curve: up to 1023 keys (frame, value) and the value at any
// frame, shaped by kind MP (power-law easing that adapts to the neighbouring
// segments) or kind BM (box-smoothed linear curve rescaled through the keys),
// each blended with linear interpolation by a per-curve weight.  Also the
// curve's one-line text form, used by the project files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

constexpr int32_t MaxCurveKeys = 1023;  // capacity; the last slot stays unused
constexpr int32_t CurveKeySlots = 1024;

constexpr uint8_t CurveKindMP = 0;
constexpr uint8_t CurveKindBM = 1;

// Shaping constants of kind MP.
constexpr double SlopeRatioCap = 10.0;
constexpr double SlopeRatioDivisor = 10.0;
constexpr double SlopeRatioFactor = 1.0;

// Beyond this many one-frame samples the box average of kind BM is taken as
// the exact mean of the linear curve over the window, so that curves with
// enormous frame gaps still evaluate in bounded time.
constexpr long double SmoothSampleLimit = 1048576.0L;

struct TDivs_Curve {
  uint8_t Kind = CurveKindMP;
  double Values[CurveKeySlots] = {};
  double Frames[CurveKeySlots] = {};
  int32_t Count = 0;
  double LinearWeight = 0;
  // Search index kept by every operation below that changes frames:
  // SearchMax[i] is the largest of Frames[0..i].  The first key whose frame
  // is greater than x is the first i with SearchMax[i] > x, and SearchMax is
  // never decreasing, so a binary search over it finds exactly the key that a
  // scan from slot 0 finds, whatever the order of the frames.  Code that
  // writes Frames or Count directly calls RebuildCurveIndex afterwards.
  double SearchMax[CurveKeySlots] = {};
};

TDivs_Curve* NewCurve();  // kind MP, no keys, weight 0
void FreeCurve(TDivs_Curve* curve);
void RebuildCurveIndex(TDivs_Curve* curve);

// Value at frame x: 0 without keys; the first key's value before the first
// key, the last key's after the last; each key's value exactly at its frame.
// Where two keys share a frame the later one (in slot order) gives the value
// there.
double CurveValueAt(const TDivs_Curve* curve, double x);
// The same evaluation with the plain scan as the segment search (reference for
// tests and benchmarks; the results are identical).
double CurveValueAtScan(const TDivs_Curve* curve, double x);

// Index of the first key (from slot 0) whose frame is greater than x; Count-1
// when there is none.  The indexed search and the plain scan that defines it.
int32_t FindCurveSegment(const TDivs_Curve* curve, long double x);
int32_t FindCurveSegmentScan(const TDivs_Curve* curve, long double x);

// Inserts a key at FRAME in frame order, or replaces the value of the key
// whose frame rounds (half-even) to FRAME.  False, with nothing changed, when
// a new key would exceed MaxCurveKeys.
bool SetCurveKey(TDivs_Curve* curve, int32_t frame, double value);
// Fixes the curve's present value at FRAME as a key.
bool KeyCurveAt(TDivs_Curve* curve, int32_t frame);
// Removes the first key whose frame rounds to FRAME, if any.
void DeleteCurveKey(TDivs_Curve* curve, int32_t frame);

// Frame of the last key before x, or of the last key when none is before x;
// frame of the first key after x, or of the first key when none is after x.
// A curve without keys returns x itself.
double PrevCurveKey(const TDivs_Curve* curve, double x);
double NextCurveKey(const TDivs_Curve* curve, double x);

// "TDiv_MP COUNT WEIGHT F0 V0 F1 V1 ..." (or "TDiv_BM ..."), single blanks.
std::string CurveToText(const TDivs_Curve* curve);
// Parses the text form; the curve is replaced whole on success and left
// exactly as it was on failure (unknown tag, count token that is not an
// integer from 0 to MaxCurveKeys, missing tokens).  Numbers that do not parse
// (or lie outside the range of a double) count as 0.
// PROBLEM, when given, receives why the text was refused, or on success the
// first number that did not parse (empty when there was none).
bool CurveFromText(TDivs_Curve* curve, std::string_view text, std::string* problem = nullptr);

}  // namespace velmora
