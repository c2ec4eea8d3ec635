#include "anim/FormBinding.h"

#include "anim/KeyEdit.h"
#include "anim/ParamTable.h"
#include "anim/Token.h"
#include "base/Strings.h"
#include "base/NumberText.h"
#include "base/Numeric.h"

namespace velmora {

namespace {

constexpr std::string_view kEditBlanks = " \t";

// Reads the edits one by one into the record; the first text that is not a
// number ends the read and is remembered.
class FormReader {
 public:
  explicit FormReader(TFormReadError* error) : error_(error) {}

  bool ok() const { return ok_; }

  void Integer(const char* control, const std::string& text, int32_t& field) {
    if (!ok_) return;
    if (const auto v = ParseIntegerText(text))
      field = *v;
    else
      Fail(control, text, true);
  }
  void Real(const char* control, const std::string& text, long double& field) {
    if (!ok_) return;
    if (const auto v = ParseRealText(text))
      field = *v;
    else
      Fail(control, text, false);
  }
  void Bar(const TTrackBarScale& bar, int32_t position, long double& field) {
    if (ok_) field = TrackBarValue(bar, position);
  }
  template <typename T>
  void Set(T& field, T value) {
    if (ok_) field = value;
  }

 private:
  void Fail(const char* control, const std::string& text, bool integer) {
    ok_ = false;
    if (error_) *error_ = TFormReadError{control, text, integer};
  }
  TFormReadError* error_;
  bool ok_ = true;
};

}  // namespace

TTrackBarScale TrackBarOf(int curve) {
  const TParamInfo& p = CurveParam(curve);
  const long double scale = RoundEven(1.0L / p.Step);
  return TTrackBarScale{RoundToInt32(p.Min * scale), RoundToInt32(p.Max * scale), scale};
}

int32_t TrackBarPosition(const TTrackBarScale& bar, long double value) {
  const int64_t p = RoundToInt64(value * bar.Scale);
  if (p < bar.Min) return bar.Min;
  if (p > bar.Max) return bar.Max;
  return static_cast<int32_t>(p);
}

long double TrackBarValue(const TTrackBarScale& bar, int32_t position) {
  return static_cast<long double>(position) / bar.Scale;
}

uint32_t PanelColour(const ColorRGBA& c) {
  return static_cast<uint32_t>(c.r) | (static_cast<uint32_t>(c.g) << 8) |
         (static_cast<uint32_t>(c.b) << 16);
}

void SetFromPanelColour(ColorRGBA& c, uint32_t panel) {
  c.r = static_cast<uint8_t>(panel & 0xFF);
  c.g = static_cast<uint8_t>((panel >> 8) & 0xFF);
  c.b = static_cast<uint8_t>((panel >> 16) & 0xFF);
}

int32_t AlphaBarPosition(uint8_t alpha) { return 255 - alpha; }

uint8_t AlphaFromBar(int32_t position) {
  return static_cast<uint8_t>((255 - position) & 0xFF);
}

std::optional<int32_t> ParseIntegerText(std::string_view text) {
  return ParseInt32(Trim(text, kEditBlanks));
}

std::optional<long double> ParseRealText(std::string_view text) {
  return ParseReal(Trim(text, kEditBlanks));
}

void ShowParamsInForm(const TCloudFrameParams& p, TFormState& f) {
  f.ResX = FormatInt(p.ResX);
  f.ResY = FormatInt(p.ResY);
  f.OverSampling = FormatInt(p.OverSampling);
  f.HasTexture = p.Texture != nullptr;
  f.TextureWidth = p.Texture ? p.Texture->width : 0;
  f.TextureHeight = p.Texture ? p.Texture->height : 0;
  f.Seed = FormatInt(p.Seed);
  if (p.PileMode <= 2) f.PileMode = p.PileMode;
  if (p.UnderTexture <= 1) f.Upper = p.UnderTexture == 0;
  f.Brightness = TrackBarPosition(TrackBarOf(ccBrightness), p.Brightness);
  f.Complex = TrackBarPosition(TrackBarOf(ccComplex), p.Complex);
  f.Coverrate = TrackBarPosition(TrackBarOf(ccCoverrate), p.Coverrate);
  f.MinRadius = TrackBarPosition(TrackBarOf(ccMinRadius), p.MinRadius);
  f.MaxRadius = TrackBarPosition(TrackBarOf(ccMaxRadius), p.MaxRadius);
  f.wMinRadius = TrackBarPosition(TrackBarOf(ccWMinRadius), p.wMinRadius);
  f.wMaxRadius = TrackBarPosition(TrackBarOf(ccWMaxRadius), p.wMaxRadius);
  f.Noise = TrackBarPosition(TrackBarOf(ccNoise), p.Noise);
  f.wNoise = TrackBarPosition(TrackBarOf(ccWNoise), p.wNoise);
  f.Center = TrackBarPosition(TrackBarOf(ccCenter), p.Center);
  f.WX = TrackBarPosition(TrackBarOf(ccWX), p.WX);
  f.WY = TrackBarPosition(TrackBarOf(ccWY), p.WY);
  f.SlopeR = TrackBarPosition(TrackBarOf(ccSlopeR), p.SlopeR);
  f.SlopeG = TrackBarPosition(TrackBarOf(ccSlopeG), p.SlopeG);
  f.SlopeB = TrackBarPosition(TrackBarOf(ccSlopeB), p.SlopeB);
  f.SlopeA = TrackBarPosition(TrackBarOf(ccSlopeA), p.SlopeA);
  f.StartColor = PanelColour(p.StartColor);
  f.StartColorAlpha = AlphaBarPosition(p.StartColor.a);
  f.EndColor = PanelColour(p.EndColor);
  f.EndColorAlpha = AlphaBarPosition(p.EndColor.a);
  f.ClipBrightness = p.ClipBrightness;
  f.CenterReverse = p.CenterReverse;
  f.cx = FormatReal(p.cx);
  f.cy = FormatReal(p.cy);
  f.wx1 = FormatReal(p.wx1);
  f.wy1 = FormatReal(p.wy1);
  f.wx2 = FormatReal(p.wx2);
  f.wy2 = FormatReal(p.wy2);
  f.BlurRadius = FormatReal(p.BlurRadius);
  f.BlurSamples = FormatInt(RoundToInt64(p.BlurSamples));
  f.BlurCurve = TrackBarPosition(TrackBarOf(ccBlurCurve), p.BlurCurve);
  f.BlurRotX = FormatReal(p.BlurRotX);
  f.BlurRotY = FormatReal(p.BlurRotY);
  f.BlurRotZ = FormatReal(p.BlurRotZ);
  f.BlurDraft = p.BlurDraft;
}

bool ReadFormInto(const TFormState& f, TCloudFrameParams& p, TFormReadError* error) {
  FormReader r(error);
  r.Integer("ResX", f.ResX, p.ResX);
  r.Integer("ResY", f.ResY, p.ResY);
  r.Integer("OverSamplingEdBx", f.OverSampling, p.OverSampling);
  r.Integer("Seed", f.Seed, p.Seed);
  r.Set(p.PileMode, static_cast<uint8_t>(f.PileMode));
  r.Set(p.UnderTexture, static_cast<uint8_t>(f.Upper ? 0 : 1));
  r.Bar(TrackBarOf(ccBrightness), f.Brightness, p.Brightness);
  r.Bar(TrackBarOf(ccComplex), f.Complex, p.Complex);
  r.Bar(TrackBarOf(ccCoverrate), f.Coverrate, p.Coverrate);
  r.Bar(TrackBarOf(ccMinRadius), f.MinRadius, p.MinRadius);
  r.Bar(TrackBarOf(ccMaxRadius), f.MaxRadius, p.MaxRadius);
  r.Bar(TrackBarOf(ccWMinRadius), f.wMinRadius, p.wMinRadius);
  r.Bar(TrackBarOf(ccWMaxRadius), f.wMaxRadius, p.wMaxRadius);
  r.Bar(TrackBarOf(ccWX), f.WX, p.WX);
  r.Bar(TrackBarOf(ccWY), f.WY, p.WY);
  r.Bar(TrackBarOf(ccNoise), f.Noise, p.Noise);
  r.Bar(TrackBarOf(ccWNoise), f.wNoise, p.wNoise);
  if (r.ok()) {
    SetFromPanelColour(p.StartColor, f.StartColor);
    p.StartColor.a = AlphaFromBar(f.StartColorAlpha);
    SetFromPanelColour(p.EndColor, f.EndColor);
    p.EndColor.a = AlphaFromBar(f.EndColorAlpha);
  }
  r.Bar(TrackBarOf(ccSlopeR), f.SlopeR, p.SlopeR);
  r.Bar(TrackBarOf(ccSlopeG), f.SlopeG, p.SlopeG);
  r.Bar(TrackBarOf(ccSlopeB), f.SlopeB, p.SlopeB);
  r.Bar(TrackBarOf(ccSlopeA), f.SlopeA, p.SlopeA);
  r.Real("cxedbx", f.cx, p.cx);
  r.Real("cyedbx", f.cy, p.cy);
  r.Real("wx1edbx", f.wx1, p.wx1);
  r.Real("wy1edbx", f.wy1, p.wy1);
  r.Real("wx2edbx", f.wx2, p.wx2);
  r.Real("wy2edbx", f.wy2, p.wy2);
  r.Bar(TrackBarOf(ccCenter), f.Center, p.Center);
  r.Set(p.CenterReverse, f.CenterReverse);
  r.Set(p.ClipBrightness, f.ClipBrightness);
  r.Real("BlurRadiusEdBx", f.BlurRadius, p.BlurRadius);
  r.Real("BlurSamplesEdbx", f.BlurSamples, p.BlurSamples);
  r.Bar(TrackBarOf(ccBlurCurve), f.BlurCurve, p.BlurCurve);
  r.Real("BlurBrushRotXEdBx", f.BlurRotX, p.BlurRotX);
  r.Real("BlurBrushRotYEdBx", f.BlurRotY, p.BlurRotY);
  r.Real("BlurBrushRotZEdBx", f.BlurRotZ, p.BlurRotZ);
  r.Set(p.BlurDraft, f.BlurDraft);
  return r.ok();
}

bool ReadParams(const TFormState& form, TCloudFrameParams& params, TCloudCurveSet* set,
                int32_t frame, bool key, bool renderIdle, bool previewBusy,
                TFormReadError* error) {
  if (!ReadFormInto(form, params, error)) return false;
  if (key && renderIdle && !previewBusy) KeyChangedCurves(set, frame, params);
  return true;
}

}  // namespace velmora
