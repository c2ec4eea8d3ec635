#include "anim/CurveSet.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "anim/ParamTable.h"
#include "base/Numeric.h"

namespace velmora {

namespace {

// The field of a curve, const or not as the record; null for other kinds.
template <class P>
auto RealField(P& p, int index) -> decltype(&p.Brightness) {
  switch (index) {
    case ccBrightness: return &p.Brightness;
    case ccComplex: return &p.Complex;
    case ccCoverrate: return &p.Coverrate;
    case ccMinRadius: return &p.MinRadius;
    case ccMaxRadius: return &p.MaxRadius;
    case ccWMinRadius: return &p.wMinRadius;
    case ccWMaxRadius: return &p.wMaxRadius;
    case ccNoise: return &p.Noise;
    case ccWNoise: return &p.wNoise;
    case ccCenter: return &p.Center;
    case ccSlopeR: return &p.SlopeR;
    case ccSlopeG: return &p.SlopeG;
    case ccSlopeB: return &p.SlopeB;
    case ccSlopeA: return &p.SlopeA;
    case ccWX: return &p.WX;
    case ccWY: return &p.WY;
    case ccCloudX: return &p.cx;
    case ccCloudY: return &p.cy;
    case ccWarp1X: return &p.wx1;
    case ccWarp1Y: return &p.wy1;
    case ccWarp2X: return &p.wx2;
    case ccWarp2Y: return &p.wy2;
    case ccBlurRadius: return &p.BlurRadius;
    case ccBlurSamples: return &p.BlurSamples;
    case ccBlurCurve: return &p.BlurCurve;
    case ccBlurRotX: return &p.BlurRotX;
    case ccBlurRotY: return &p.BlurRotY;
    case ccBlurRotZ: return &p.BlurRotZ;
    default: return nullptr;
  }
}

template <class P>
auto ByteField(P& p, int index) -> decltype(&p.StartColor.r) {
  switch (index) {
    case ccStartRed: return &p.StartColor.r;
    case ccStartGreen: return &p.StartColor.g;
    case ccStartBlue: return &p.StartColor.b;
    case ccStartAlpha: return &p.StartColor.a;
    case ccEndRed: return &p.EndColor.r;
    case ccEndGreen: return &p.EndColor.g;
    case ccEndBlue: return &p.EndColor.b;
    case ccEndAlpha: return &p.EndColor.a;
    default: return nullptr;
  }
}

template <class P>
auto IntField(P& p, int index) -> decltype(&p.Seed) {
  switch (index) {
    case ccSeed: return &p.Seed;
    case ccOverSampling: return &p.OverSampling;
    default: return nullptr;
  }
}

}  // namespace

const TCloudCurveInfo& CloudCurveInfo(int index) { return CurveParam(index); }

TCloudCurveSet* NewCurveSet() {
  auto* set = new TCloudCurveSet();
  for (TDivs_Curve*& c : set->Curves) c = NewCurve();
  return set;
}

TCloudCurveSet* CopyCurveSet(const TCloudCurveSet* source) {
  TCloudCurveSet* set = NewCurveSet();
  for (int i = 0; i < CloudCurveCount; ++i) *set->Curves[i] = *source->Curves[i];
  return set;
}

void FreeCurveSet(TCloudCurveSet* set) {
  if (!set) return;
  for (TDivs_Curve* c : set->Curves) FreeCurve(c);
  delete set;
}

long double CloudCurveField(const TCloudFrameParams& params, int index) {
  if (const int32_t* i = IntField(params, index)) return *i;
  if (const uint8_t* b = ByteField(params, index)) return *b;
  if (const long double* r = RealField(params, index)) return *r;
  return 0;
}

void StoreCloudCurveField(TCloudFrameParams& p, int index, double value) {
  if (int32_t* i = IntField(p, index)) {
    *i = RoundToInt32(value);
  } else if (uint8_t* b = ByteField(p, index)) {
    *b = static_cast<uint8_t>(static_cast<uint32_t>(RoundToInt32(value)) & 0xFFu);
  } else if (long double* r = RealField(p, index)) {
    *r = value;
  }
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
  p.ResX = 512;
  p.ResY = 512;
  p.OverSampling = 1;
  p.Seed = 65536;
  p.Brightness = 1.0L;
  p.Complex = 0.5L;
  p.Coverrate = 0.5L;
  p.MinRadius = 0.4L;
  p.MaxRadius = 1.0L;
  p.wMinRadius = 1.0L;
  p.wMaxRadius = 1.0L;
  p.Noise = 0.1L;
  p.wNoise = 0.1L;
  p.Center = 0;
  p.CenterReverse = false;
  p.StartColor = ColorRGBA{0, 0, 0, 255};
  p.EndColor = ColorRGBA{255, 255, 255, 255};
  p.SlopeR = p.SlopeG = p.SlopeB = p.SlopeA = 0;
  p.WX = -8;
  p.WY = 8;
  p.ClipBrightness = false;
  p.cx = p.cy = p.wx1 = p.wy1 = p.wx2 = p.wy2 = 0;
  p.BlurRadius = 0;
  p.BlurSamples = 32;
  p.BlurCurve = 0;
  p.BlurRotX = p.BlurRotY = p.BlurRotZ = 0;
  p.BlurDraft = true;
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
  model.OutPutFilen.clear();
  model.OutPutAlpha.clear();
  KeyCurveSetFromParams(set, 0, params);
  model.ProjectFileName = NewProjectFileName;
  model.FromCurrentFrame = false;
}

}  // namespace velmora
