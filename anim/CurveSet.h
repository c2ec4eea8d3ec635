// The cloud parameter set: one keyframe curve for each animated field of the
// frame record, 38 in a fixed order, with the project keyword of each; the
// evaluation of a frame into the record; and the new-project defaults.
#pragma once

#include <cstdint>

#include "anim/ProjectModel.h"
#include "anim/TDivs.h"
#include "render/Render.h"

namespace velmora {

constexpr int CloudCurveCount = 38;

enum TCloudCurveIndex : int {
  ccSeed = 0,
  ccBrightness,
  ccComplex,
  ccCoverrate,
  ccMinRadius,
  ccMaxRadius,
  ccWMinRadius,
  ccWMaxRadius,
  ccNoise,
  ccWNoise,
  ccCenter,
  ccStartRed,
  ccStartGreen,
  ccStartBlue,
  ccStartAlpha,
  ccEndRed,
  ccEndGreen,
  ccEndBlue,
  ccEndAlpha,
  ccSlopeR,
  ccSlopeG,
  ccSlopeB,
  ccSlopeA,
  ccWX,
  ccWY,
  ccCloudX,
  ccCloudY,
  ccWarp1X,
  ccWarp1Y,
  ccWarp2X,
  ccWarp2Y,
  ccBlurRadius,
  ccBlurSamples,
  ccBlurCurve,
  ccOverSampling,
  ccBlurRotX,
  ccBlurRotY,
  ccBlurRotZ,
};

// How evaluation stores a curve's value in its field.
enum class TCurveStore : uint8_t {
  Int32,  // rounded half-even, low 32 bits
  Byte,   // rounded half-even, low 8 bits (not clamped)
  Real,   // unchanged
};

struct TCloudCurveInfo {
  const char* Keyword;   // project keyword: "seed", "cloud_position", ...
  const char* Name;      // keyword with .x/.y/.z where one keyword takes several curves
  TCurveStore Store;
  bool CompareAsInteger;  // KeyIfChanged compares rounded integers, not real texts
};

const TCloudCurveInfo& CloudCurveInfo(int index);

struct TCloudCurveSet {
  TDivs_Curve* Curves[CloudCurveCount];  // always all present; owned by the set
};

TCloudCurveSet* NewCurveSet();  // 38 empty curves
TCloudCurveSet* CopyCurveSet(const TCloudCurveSet* source);  // 38 copied curves
void FreeCurveSet(TCloudCurveSet* set);

// The field of curve INDEX as a key value: int32 fields as their integer,
// colour bytes as 0..255, reals as they are.
long double CloudCurveField(const TCloudFrameParams& params, int index);
// Stores a curve value into its field with the conversion of TCloudCurveInfo.
void StoreCloudCurveField(TCloudFrameParams& params, int index, double value);

// Writes the value of every curve at FRAME into its field; the fields without
// a curve (size, texture, switches, buffers) are not touched.
void EvalCurveSet(const TCloudCurveSet* set, TCloudFrameParams& params, int32_t frame);
// The frames between which some curve's value may change: every curve has
// one value for all frames below LO and one for all frames above HI.  LO is
// +infinity and HI -infinity when no curve changes at all.
void CurveSetKeySpan(const TCloudCurveSet* set, long double& lo, long double& hi);
// Keys every curve at FRAME with the value of its field.
void KeyCurveSetFromParams(TCloudCurveSet* set, int32_t frame, const TCloudFrameParams& params);

// Writes the new-project values into the record (everything but the
// texture, its mixing mode and layer order and the preview size).
void SetNewProjectParams(TCloudFrameParams& params);

// Resets the set (replaced by a new one keyed at frame 0 with the defaults),
// the record, and the window model: timeline at 0 with maximum 120 (the
// minimum is kept unless it lies above 120, in which case it becomes 0),
// CurFrame "0", MaxFrame "120", no output names, FromCurrentFrame off, project
// name "新規.vlm".  SET may be null on entry.  (Whoever previews the project
// resets its sequence's warp normalisation.)
void ApplyNewProjectDefaults(TCloudCurveSet*& set, TCloudFrameParams& params,
                             TProjectModel& model, const TWindowHooks& hooks);

}  // namespace velmora
