// Key editing over the whole parameter set: keying the curves whose value at
// a frame differs from the record, searching the previous and next key frame
// of all curves, deleting and creating keys at a frame, and the timeline
// operations of the main window on the plain window model.
#pragma once

#include <cstdint>
#include <string_view>

#include "anim/CurveSet.h"
#include "anim/ProjectModel.h"
#include "anim/TDivs.h"

namespace velmora {

// Keys CURVE at FRAME with V when V differs from the curve's value there:
// compared as the decimal texts of the rounded values when AS_INTEGER, else as
// the real-number texts (15 significant digits).  Returns whether it keyed.
bool KeyIfChanged(TDivs_Curve* curve, int32_t frame, bool asInteger, long double v);

// KeyIfChanged for each curve with the value of its field in
// PARAMS: the keying half of reading the window's controls.
void KeyChangedCurves(TCloudCurveSet* set, int32_t frame, const TCloudFrameParams& params);

// The latest key frame before P over all curves, or P when some curve has no
// key before P.  Curves without keys take no part; without any key the
// result is P.  Rounded half-even, saturated to the int32 range.
int32_t PrevKeyTime(const TCloudCurveSet* set, int32_t p);
// The earliest key frame after P over all curves, ignoring candidates at
// frame 0 (a curve with no key after P offers its first key); P when that
// candidate lies at or below P; 999999 when there is none.  Curves without
// keys take no part.
int32_t NextKeyTime(const TCloudCurveSet* set, int32_t p);

// Removes the key whose frame rounds to FRAME from every curve.
void DeleteKeysAt(TCloudCurveSet* set, int32_t frame);
// Gives every curve a key at FRAME holding its present value there (a curve
// already keyed there keeps its value; a full curve is left as it is).
void CreateKeysAt(TCloudCurveSet* set, int32_t frame);

// The timeline operations of the window.  Each one that changes the current
// frame evaluates the set there into PARAMS, shows it and asks for a full
// preview update through HOOKS.
enum class TTimeLineResult {
  Done,
  NotInteger,  // the edit's text is not an integer: nothing changed
  Refused,     // a last frame below the timeline minimum: nothing changed
};

struct TTimeLineContext {
  TCloudCurveSet* Set;
  TCloudFrameParams& Params;
  TProjectModel& Model;
  const TWindowHooks& Hooks;
};

// MaxFrame edit confirmed: the timeline maximum becomes its integer (the
// position is pulled in without evaluating) and the tick frequency max div 10.
TTimeLineResult ConfirmMaxFrame(TProjectModel& model);
// CurFrame edit confirmed: the position becomes its integer clamped to the
// range (the edit keeps the typed text), then evaluate and show.
TTimeLineResult ConfirmCurFrame(const TTimeLineContext& ctx);
// The user moved the thumb to POSITION: CurFrame shows it, then evaluate and show.
void TimeLineMoved(const TTimeLineContext& ctx, int32_t position);
// The previous/next key buttons: evaluate at the key frame found (not
// clamped), put the position there clamped to the range, CurFrame shows the
// position, show the record.
void GoToPrevKey(const TTimeLineContext& ctx);
void GoToNextKey(const TTimeLineContext& ctx);
// The delete-keys button: delete the keys at the position, evaluate and show.
void DeleteKeysAtPosition(const TTimeLineContext& ctx);
// The create-keys button: keys at the position; nothing is shown.
void CreateKeysAtPosition(const TTimeLineContext& ctx);

}  // namespace velmora
