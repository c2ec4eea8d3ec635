#include "anim/FormBinding.h"

#include <array>

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

namespace {

// The rows that TFormState holds, in their read positions.
constexpr std::array<int, ParamCount> kReadOrder = [] {
  std::array<int, ParamCount> rows{};
  int n = 0;
  for (int pos = 0; pos < ParamCount; ++pos)
    for (int i = 0; i < ParamCount; ++i)
      if (kParamTable[i].Form.Read == pos) rows[n++] = i;
  for (; n < ParamCount; ++n) rows[n] = -1;
  return rows;
}();

// The bit position of a colour byte in a panel colour (R + 256 G + 65536 B).
int PanelShift(const TParamField& f) {
  if (f.Byte == &ColorRGBA::r) return 0;
  if (f.Byte == &ColorRGBA::g) return 8;
  return 16;
}

void ShowRow(const TParamInfo& row, const TCloudFrameParams& p, TFormState& f) {
  const TParamForm& c = row.Form;
  switch (row.Field.Value) {
    case TParamValue::Size:
      f.*c.Text = FormatInt(p.ResX);
      f.*c.Text2 = FormatInt(p.ResY);
      return;
    case TParamValue::RecordSwitch:
      f.*c.Check = p.*row.Field.Switch;
      return;
    case TParamValue::Curve:
      break;
    default:
      return;
  }
  const long double v = ParamFieldValue(row, p);
  switch (row.Control) {
    case TParamControl::TrackBar:
      f.*c.Position = TrackBarPosition(TrackBarOf(row.Curve), v);
      break;
    case TParamControl::AlphaBar:
      f.*c.Position = AlphaBarPosition(static_cast<uint8_t>(v));
      break;
    case TParamControl::ColourPanel: {
      const int shift = PanelShift(row.Field);
      f.*c.Panel = (f.*c.Panel & 0xFFFFFFu & ~(0xFFu << shift)) |
                   (static_cast<uint32_t>(v) << shift);
      break;
    }
    case TParamControl::IntegerEdit:
      f.*c.Text = FormatInt(static_cast<long long>(v));
      break;
    case TParamControl::RealEdit:
      // A count compared as an integer shows as one.
      f.*c.Text = row.CompareAsInteger ? FormatInt(RoundToInt64(v)) : FormatReal(v);
      break;
    default:
      break;
  }
}

void ReadRow(const TParamInfo& row, const TFormState& f, TCloudFrameParams& p, FormReader& r) {
  const TParamForm& c = row.Form;
  switch (row.Field.Value) {
    case TParamValue::Size:
      r.Integer(c.Control, f.*c.Text, p.ResX);
      r.Integer(c.Control2, f.*c.Text2, p.ResY);
      return;
    case TParamValue::RecordSwitch:
      r.Set(p.*row.Field.Switch, f.*c.Check);
      return;
    case TParamValue::Curve:
      break;
    default:
      return;
  }
  switch (row.Control) {
    case TParamControl::TrackBar:
      r.Bar(TrackBarOf(row.Curve), f.*c.Position, *RealFieldOf(row, p));
      break;
    case TParamControl::AlphaBar:
      r.Set(*ByteFieldOf(row, p), AlphaFromBar(f.*c.Position));
      break;
    case TParamControl::ColourPanel:
      r.Set(*ByteFieldOf(row, p), static_cast<uint8_t>((f.*c.Panel >> PanelShift(row.Field)) & 0xFF));
      break;
    case TParamControl::IntegerEdit:
      r.Integer(c.Control, f.*c.Text, *IntFieldOf(row, p));
      break;
    case TParamControl::RealEdit:
      r.Real(c.Control, f.*c.Text, *RealFieldOf(row, p));
      break;
    default:
      break;
  }
}

}  // namespace

void ShowParamsInForm(const TCloudFrameParams& p, TFormState& f) {
  for (const int i : kReadOrder)
    if (i >= 0) ShowRow(kParamTable[i], p, f);
  f.HasTexture = p.Texture != nullptr;
  f.TextureWidth = p.Texture ? p.Texture->width : 0;
  f.TextureHeight = p.Texture ? p.Texture->height : 0;
  if (p.PileMode <= 2) f.PileMode = p.PileMode;
  if (p.UnderTexture <= 1) f.Upper = p.UnderTexture == 0;
}

bool ReadFormInto(const TFormState& f, TCloudFrameParams& p, TFormReadError* error) {
  FormReader r(error);
  for (const int i : kReadOrder) {
    if (i < 0) break;
    ReadRow(kParamTable[i], f, p, r);
    if (i == ccSeed) {
      // The texture controls, which no project holds, follow the seed.
      r.Set(p.PileMode, static_cast<uint8_t>(f.PileMode));
      r.Set(p.UnderTexture, static_cast<uint8_t>(f.Upper ? 0 : 1));
    }
  }
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
