#include "anim/CurveSet.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "anim/ParamTable.h"
#include "anim/Token.h"
#include "base/NumberText.h"
#include "base/Numeric.h"

namespace velmora {

const TCloudCurveInfo& CloudCurveInfo(int index) { return CurveParam(index); }

TCloudCurveSet* NewCurveSet() {
  auto* set = new TCloudCurveSet();
  for (TDivs_Curve*& c : set->Curves) c = NewCurve();
  return set;
}

TCloudCurveSet* CopyCurveSet(const TCloudCurveSet* source) {
  // Each curve copy-constructed: a curve holds 3 x 1023 slots, and a
  // document is copied for every preview request.
  auto* set = new TCloudCurveSet();
  for (int i = 0; i < CloudCurveCount; ++i) set->Curves[i] = new TDivs_Curve(*source->Curves[i]);
  return set;
}

void FreeCurveSet(TCloudCurveSet* set) {
  if (!set) return;
  for (TDivs_Curve* c : set->Curves) FreeCurve(c);
  delete set;
}

long double CloudCurveField(const TCloudFrameParams& params, int index) {
  return ParamFieldValue(CurveParam(index), params);
}

void StoreCloudCurveField(TCloudFrameParams& p, int index, double value) {
  StoreParamField(CurveParam(index), p, value);
}

void EvalCurveSet(const TCloudCurveSet* set, TCloudFrameParams& params, int32_t frame) {
  if (!set) return;
  for (int i = 0; i < CloudCurveCount; ++i)
    StoreCloudCurveField(params, i, CurveValueAt(set->Curves[i], frame));
}

void CurveSetKeySpan(const TCloudCurveSet* set, long double& lo, long double& hi) {
  constexpr long double kInf = std::numeric_limits<long double>::infinity();
  lo = kInf;
  hi = -kInf;
  if (!set) return;
  for (const TDivs_Curve* c : set->Curves) {
    if (c->Count < 2) continue;  // no key or one key: one value everywhere
    for (int32_t i = 0; i < c->Count; ++i) {
      const long double f = c->Frames[i];
      if (std::isnan(f)) {
        lo = -kInf;
        hi = kInf;
        return;
      }
      lo = std::min(lo, f);
      hi = std::max(hi, f);
    }
  }
}

void KeyCurveSetFromParams(TCloudCurveSet* set, int32_t frame, const TCloudFrameParams& params) {
  if (!set) return;
  for (int i = 0; i < CloudCurveCount; ++i)
    SetCurveKey(set->Curves[i], frame, static_cast<double>(CloudCurveField(params, i)));
}

void SetNewProjectParams(TCloudFrameParams& p) {
  for (const TParamInfo& row : ParamTable()) {
    const TParamField& f = row.Field;
    if (f.Value == TParamValue::Curve) {
      // The default as the decimal number the table writes, at the record's
      // own precision (0.4 is the long double nearest 0.4, not the double).
      const long double v = ParseReal(FormatReal(row.Default)).value_or(0);
      if (int32_t* i = IntFieldOf(row, p))
        *i = static_cast<int32_t>(v);
      else if (uint8_t* b = ByteFieldOf(row, p))
        *b = static_cast<uint8_t>(v);
      else if (long double* r = RealFieldOf(row, p))
        *r = v;
    } else if (f.Value == TParamValue::RecordSwitch) {
      p.*f.Switch = std::string_view(row.DefaultText) == "1";
    } else if (f.Value == TParamValue::Size) {
      // "WxH"
      const std::string_view text = row.DefaultText;
      const size_t x = text.find('x');
      p.ResX = ParseInt32(text.substr(0, x)).value_or(0);
      p.ResY = ParseInt32(text.substr(x + 1)).value_or(0);
    }
  }
}

void ApplyNewProjectDefaults(TCloudCurveSet*& set, TCloudFrameParams& params,
                             TProjectModel& model, const TWindowHooks& hooks) {
  SetTimeLinePosition(model, 0);
  FreeCurveSet(set);
  set = nullptr;
  set = NewCurveSet();
  SetNewProjectParams(params);
  CallShowParams(hooks, params);
  model.CurFrame = "0";
  model.MaxFrame = "120";
  if (!SetTimeLineMax(model, 120)) {
    // A minimum above 120 (only a project's frames statement sets one) would
    // refuse the new range; the new project starts from 0 instead.
    model.TimeLineMin = 0;
    SetTimeLineMax(model, 120);
    SetTimeLinePosition(model, 0);
  }
  for (const TParamInfo& row : ParamTable())
    if (row.Field.Value == TParamValue::ModelName) model.*row.Field.ModelName = row.DefaultText;
  KeyCurveSetFromParams(set, 0, params);
  model.ProjectFileName = NewProjectFileName;
  for (const TParamInfo& row : ParamTable())
    if (row.Field.Value == TParamValue::ModelSwitch)
      model.*row.Field.ModelSwitch = std::string_view(row.DefaultText) == "1";
}

}  // namespace velmora
