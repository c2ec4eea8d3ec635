// The cloud parameter set: one keyframe curve for each curve row of the
// parameter table (anim/ParamTable.h), in the table's order; the evaluation
// of a frame into the record; and the new-project defaults, all read from
// the table.
#pragma once

#include <cstdint>

#include "anim/ParamTable.h"
#include "anim/ProjectModel.h"
#include "anim/TDivs.h"
#include "render/Render.h"

namespace velmora {

const TCloudCurveInfo& CloudCurveInfo(int index);

struct TCloudCurveSet {
  TDivs_Curve* Curves[CloudCurveCount];  // always all present; owned by the set
};

TCloudCurveSet* NewCurveSet();  // every curve, empty
TCloudCurveSet* CopyCurveSet(const TCloudCurveSet* source);  // every curve copied
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

// Writes the new-project values of the table into the record (everything
// but the texture, its mixing mode and layer order and the preview size).
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
