#include "anim/KeyEdit.h"

#include <cmath>

#include "anim/Token.h"
#include "base/NumberText.h"
#include "base/Numeric.h"

namespace velmora {

namespace {

int32_t RoundSaturated(long double v) {
  const int64_t r = RoundToInt64(v);
  if (r > INT32_MAX) return INT32_MAX;
  if (r < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(r);
}

void EvaluateAndShow(const TTimeLineContext& ctx, int32_t frame) {
  EvalCurveSet(ctx.Set, ctx.Params, frame);
  CallShowParams(ctx.Hooks, ctx.Params);
  CallHook(ctx.Hooks.RedrawFilterPreview);
  CallHook(ctx.Hooks.RequestFullPreview);
}

void GoToKey(const TTimeLineContext& ctx, int32_t frame) {
  EvalCurveSet(ctx.Set, ctx.Params, frame);
  SetTimeLinePosition(ctx.Model, frame);
  ctx.Model.CurFrame = FormatInt(ctx.Model.TimeLinePosition);
  CallShowParams(ctx.Hooks, ctx.Params);
  CallHook(ctx.Hooks.RedrawFilterPreview);
  CallHook(ctx.Hooks.RequestFullPreview);
}

}  // namespace

bool KeyIfChanged(TDivs_Curve* curve, int32_t frame, bool asInteger, long double v) {
  const double cv = CurveValueAt(curve, frame);
  bool differ;
  if (asInteger)
    differ = FormatInt(RoundToInt64(cv)) != FormatInt(RoundToInt64(v));
  else
    differ = FormatReal(cv) != FormatReal(v);
  if (!differ) return false;
  SetCurveKey(curve, frame, static_cast<double>(v));
  return true;
}

void KeyChangedCurves(TCloudCurveSet* set, int32_t frame, const TCloudFrameParams& params) {
  if (!set) return;
  for (int i = 0; i < CloudCurveCount; ++i)
    KeyIfChanged(set->Curves[i], frame, CloudCurveInfo(i).CompareAsInteger,
                 CloudCurveField(params, i));
}

int32_t PrevKeyTime(const TCloudCurveSet* set, int32_t p) {
  if (!set) return p;
  bool any = false;
  double e = 0;
  for (const TDivs_Curve* c : set->Curves) {
    if (c->Count <= 0) continue;
    const double k = PrevCurveKey(c, p);
    e = any ? std::fmax(e, k) : k;
    any = true;
  }
  if (!any || p < e) return p;
  return RoundSaturated(e);
}

int32_t NextKeyTime(const TCloudCurveSet* set, int32_t p) {
  double e = 999999;
  if (set) {
    for (const TDivs_Curve* c : set->Curves) {
      if (c->Count <= 0) continue;
      const double n = NextCurveKey(c, p);
      if (n != 0 && n < e) e = n;
    }
  }
  if (p > e) e = p;
  return RoundSaturated(e);
}

void DeleteKeysAt(TCloudCurveSet* set, int32_t frame) {
  if (!set) return;
  for (TDivs_Curve* c : set->Curves) DeleteCurveKey(c, frame);
}

void CreateKeysAt(TCloudCurveSet* set, int32_t frame) {
  if (!set) return;
  for (TDivs_Curve* c : set->Curves) KeyCurveAt(c, frame);
}

TTimeLineResult ConfirmMaxFrame(TProjectModel& model) {
  const auto n = ParseInt32(model.MaxFrame);
  if (!n) return TTimeLineResult::NotInteger;
  if (!SetTimeLineMax(model, *n)) return TTimeLineResult::Refused;
  model.TimeLineFrequency = model.TimeLineMax / 10;
  return TTimeLineResult::Done;
}

TTimeLineResult ConfirmCurFrame(const TTimeLineContext& ctx) {
  const auto f = ParseInt32(ctx.Model.CurFrame);
  if (!f) return TTimeLineResult::NotInteger;
  SetTimeLinePosition(ctx.Model, *f);
  EvaluateAndShow(ctx, ctx.Model.TimeLinePosition);
  return TTimeLineResult::Done;
}

void TimeLineMoved(const TTimeLineContext& ctx, int32_t position) {
  SetTimeLinePosition(ctx.Model, position);
  ctx.Model.CurFrame = FormatInt(ctx.Model.TimeLinePosition);
  EvaluateAndShow(ctx, ctx.Model.TimeLinePosition);
}

void GoToPrevKey(const TTimeLineContext& ctx) {
  GoToKey(ctx, PrevKeyTime(ctx.Set, ctx.Model.TimeLinePosition));
}

void GoToNextKey(const TTimeLineContext& ctx) {
  GoToKey(ctx, NextKeyTime(ctx.Set, ctx.Model.TimeLinePosition));
}

void DeleteKeysAtPosition(const TTimeLineContext& ctx) {
  DeleteKeysAt(ctx.Set, ctx.Model.TimeLinePosition);
  EvaluateAndShow(ctx, ctx.Model.TimeLinePosition);
}

void CreateKeysAtPosition(const TTimeLineContext& ctx) {
  CreateKeysAt(ctx.Set, ctx.Model.TimeLinePosition);
}

}  // namespace velmora
