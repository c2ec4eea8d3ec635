// The one table of a project's parameters: every curve of the parameter set
// and every setting beside it.  A row holds all that the program knows of
// one parameter: its project keyword and how the project file writes and
// registers it, where its value lives (a field of the frame record or of the
// window model), what it means (in English), its unit, the range and step of
// the window control that edits it and that control's name, what a change of
// it renders again, and the new-project default.  The curve set, the
// new-project defaults, the project words and the writer, the form binding,
// the undo history, the command line and the window all read it, so a new
// parameter is a new row here (and a curve index when it has a curve) plus
// the render stage that uses its field.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "anim/ProjectModel.h"
#include "base/Translate.h"
#include "render/Render.h"

namespace velmora {

// The curves of the parameter set, in the set's order: the first rows of
// the table.  A new curve goes before CloudCurveCount.
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
  CloudCurveCount
};

// The rows after the curves: the settings without a curve.
enum TParamSettingIndex : int {
  psResolution = CloudCurveCount,
  psFrames,
  psCurrentFrame,
  psCenterReverse,
  psClipBrightness,
  psBlurDraftMode,
  psFromCurrentFrame,
  psOutputAvi,
  psOutputAlphaAvi,
  ParamCount
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

// How the window edits a parameter.
enum class TParamControl : uint8_t {
  TrackBar,     // a slider between Min and Max in steps of Step
  IntegerEdit,  // an edit box taking a whole number
  RealEdit,     // an edit box taking any real number (a curve compared as
                // integers shows its rounded value)
  ColourPanel,  // one byte of a colour chosen in the colour dialog
  AlphaBar,     // a vertical slider of the colour's alpha byte
  CheckBox,     // a switch: 0 off, 1 on
  Timeline,     // the timeline's range or position
  FileEdit,     // an edit box holding a file name
};

// Everything the parameter controls hold, as the form binding reads and
// shows it: one member for each control that a row of the table names
// (Form below), plus the texture controls, which no project holds.  Pile
// mode: 0 PileModeAdd checked, 1 PileModeSub, 2 PileModeNorm.
struct TFormState {
  std::string ResX, ResY, OverSampling, Seed;
  int PileMode = 0;
  bool Upper = true;
  int32_t Brightness = 0, Complex = 1, Coverrate = 0, MinRadius = 0, MaxRadius = 0;
  int32_t wMinRadius = 0, wMaxRadius = 0, WX = 0, WY = 0, Noise = 0, wNoise = 0;
  uint32_t StartColor = 0, EndColor = 0;  // panel colours
  int32_t StartColorAlpha = 0, EndColorAlpha = 0;
  int32_t SlopeR = 0, SlopeG = 0, SlopeB = 0, SlopeA = 0;
  std::string cx, cy, wx1, wy1, wx2, wy2;
  int32_t Center = 0;
  bool CenterReverse = false, ClipBrightness = false;
  std::string BlurRadius, BlurSamples;
  int32_t BlurCurve = 0;
  std::string BlurRotX, BlurRotY, BlurRotZ;
  bool BlurDraft = false;
  // The texture label: its size, or none.
  bool HasTexture = false;
  int32_t TextureWidth = 0, TextureHeight = 0;
};

// What a parameter's value is and where it lives.
enum class TParamValue : uint8_t {
  Curve,         // a curve of the set, evaluated into a field of the record
  Size,          // the record's ResX and ResY
  Range,         // the timeline's minimum and maximum
  Frame,         // the timeline's position
  RecordSwitch,  // a switch of the record
  ModelSwitch,   // a switch of the window model
  ModelName,     // a file name of the window model
};

// The field of a row: for a curve the record field that evaluation writes
// (an int32, a byte of a colour or a real, as Store says); for a switch or
// a name its member.
struct TParamField {
  TParamValue Value = TParamValue::Curve;
  TCurveStore Store = TCurveStore::Real;
  int32_t TCloudFrameParams::*Int = nullptr;
  ColorRGBA TCloudFrameParams::*Colour = nullptr;
  uint8_t ColorRGBA::*Byte = nullptr;
  long double TCloudFrameParams::*Real = nullptr;
  bool TCloudFrameParams::*Switch = nullptr;
  bool TProjectModel::*ModelSwitch = nullptr;
  std::string TProjectModel::*ModelName = nullptr;
};

// The project word of a keyword, held by the keyword's first row (the rows
// of one keyword follow each other; the others hold no word).
struct TParamWord {
  int Save = -1;      // position of its statement in a saved project
  int Register = -1;  // position of the word in the interpreter's dictionary
  const char* Signature = nullptr;  // stack picture of the arguments, or nullptr
  const char* Manual = nullptr;     // the manual line's description (translated by Tr)
};

// What the window renders again after a control changed the parameter.
enum class TParamRedo : uint8_t {
  None,    // nothing (the output size and oversampling)
  Filter,  // the colour filter on (and the diagrams)
  Full,    // the whole frame
};

// The part of the window a control stands in.
enum class TParamSection : uint8_t { None, Cloud, Warp, Filter, Blur, Output, Timeline };

// The window control of a row.  Read orders the controls as the form
// binding reads them (the first text that is not a number stops a read, so
// the order is part of its meaning); the member of TFormState holds the
// control's value: an edit's text, a slider's position, a panel's colour or
// a box's check.
struct TParamForm {
  const char* Control = nullptr;   // object name of the window control
  const char* Control2 = nullptr;  // a second control of the same value (ResY, CurFrame)
  int Read = -1;                   // -1: the window model holds it, not TFormState
  TParamRedo Redo = TParamRedo::None;
  TParamSection Section = TParamSection::None;
  std::string TFormState::*Text = nullptr;
  std::string TFormState::*Text2 = nullptr;
  int32_t TFormState::*Position = nullptr;
  uint32_t TFormState::*Panel = nullptr;
  bool TFormState::*Check = nullptr;
};

// Keyword, Name (the keyword with .x/.y/.z where one keyword takes several
// curves), and for curves how evaluation stores the value; then the rest of
// the row.
struct TParamInfo : TCloudCurveInfo {
  int Curve;             // index into the curve set, -1 for a setting without a curve
  const char* Meaning;   // what it does, in English (Msg translates it)
  const char* Unit;      // "" when it has none; English (Msg translates it)
  TParamControl Control;
  double Min, Max, Step;  // the control's range in the parameter's own unit (edits: none)
  double Default;         // the new-project value of a curve
  const char* DefaultText;  // the new-project value of a setting, as text
  TParamField Field;
  TParamWord Word;
  TParamForm Form;
};

// Short names and row builders that keep the rows below readable.
namespace param_table {
using P = TCloudFrameParams;
using F = TFormState;
using M = TProjectModel;
inline constexpr TParamControl Bar = TParamControl::TrackBar;
inline constexpr TParamControl IntEd = TParamControl::IntegerEdit;
inline constexpr TParamControl RealEd = TParamControl::RealEdit;
inline constexpr TParamControl Panel = TParamControl::ColourPanel;
inline constexpr TParamControl Alpha = TParamControl::AlphaBar;
inline constexpr TParamControl Check = TParamControl::CheckBox;
inline constexpr TParamControl Time = TParamControl::Timeline;
inline constexpr TParamControl File = TParamControl::FileEdit;
inline constexpr TParamRedo Full = TParamRedo::Full;
inline constexpr TParamRedo Filt = TParamRedo::Filter;
inline constexpr TParamRedo NoRedo = TParamRedo::None;
inline constexpr TParamSection Cloud = TParamSection::Cloud;
inline constexpr TParamSection Warp = TParamSection::Warp;
inline constexpr TParamSection Filter = TParamSection::Filter;
inline constexpr TParamSection Blur = TParamSection::Blur;
inline constexpr TParamSection Out = TParamSection::Output;
inline constexpr TParamSection TimeSec = TParamSection::Timeline;
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kIntMin = -2147483648.0;
inline constexpr double kIntMax = 2147483647.0;
inline constexpr const char* kCurveSig = "<str:TDivs_Curve>";

// Fields.
constexpr TParamField Field(int32_t P::*f) {
  TParamField r;
  r.Store = TCurveStore::Int32;
  r.Int = f;
  return r;
}
constexpr TParamField Field(ColorRGBA P::*colour, uint8_t ColorRGBA::*byte) {
  TParamField r;
  r.Store = TCurveStore::Byte;
  r.Colour = colour;
  r.Byte = byte;
  return r;
}
constexpr TParamField Field(long double P::*f) {
  TParamField r;
  r.Real = f;
  return r;
}
constexpr TParamField Field(bool P::*f) {
  TParamField r;
  r.Value = TParamValue::RecordSwitch;
  r.Switch = f;
  return r;
}
constexpr TParamField Field(bool M::*f) {
  TParamField r;
  r.Value = TParamValue::ModelSwitch;
  r.ModelSwitch = f;
  return r;
}
constexpr TParamField Field(std::string M::*f) {
  TParamField r;
  r.Value = TParamValue::ModelName;
  r.ModelName = f;
  return r;
}
constexpr TParamField Field(TParamValue v) {
  TParamField r;
  r.Value = v;
  return r;
}

// Words: save position, registration position, signature, manual text.
constexpr TParamWord Word(int save, int reg, const char* signature, const char* manual) {
  return TParamWord{save, reg, signature, manual};
}
inline constexpr TParamWord kSameWord{};  // a later curve of the keyword before

// Controls: name, read position, what a change renders, section, member.
template <typename T>
constexpr TParamForm Ctl(const char* name, int read, TParamRedo redo, TParamSection section,
                         T F::*member) {
  TParamForm r;
  r.Control = name;
  r.Read = read;
  r.Redo = redo;
  r.Section = section;
  if constexpr (std::is_same_v<T, std::string>) r.Text = member;
  if constexpr (std::is_same_v<T, int32_t>) r.Position = member;
  if constexpr (std::is_same_v<T, uint32_t>) r.Panel = member;
  if constexpr (std::is_same_v<T, bool>) r.Check = member;
  return r;
}
// The output size's two edits.
constexpr TParamForm SizeCtl(int read) {
  TParamForm r = Ctl("ResX", read, NoRedo, Out, &F::ResX);
  r.Control2 = "ResY";
  r.Text2 = &F::ResY;
  return r;
}
// A control that shows the window model (the timeline, the output names).
constexpr TParamForm ModelCtl(const char* name, TParamSection section,
                              const char* name2 = nullptr) {
  TParamForm r;
  r.Control = name;
  r.Control2 = name2;
  r.Section = section;
  return r;
}

constexpr TParamInfo Curve(int curve, const char* keyword, const char* name, bool asInteger,
                           TParamField field, const char* meaning, const char* unit,
                           TParamControl control, double min, double max, double step,
                           double def, TParamWord word, TParamForm form) {
  return TParamInfo{{keyword, name, field.Store, asInteger}, curve, meaning, unit, control,
                    min, max, step, def, nullptr, field, word, form};
}
constexpr TParamInfo Setting(const char* keyword, TParamField field, const char* meaning,
                             const char* unit, TParamControl control, double min, double max,
                             double step, const char* def, TParamWord word, TParamForm form) {
  return TParamInfo{{keyword, keyword, TCurveStore::Real, false}, -1, meaning, unit, control,
                    min, max, step, 0, def, field, word, form};
}

// Curves: index, keyword, name, compared as integers, field, meaning, unit,
// control, min, max, step, default, word (save and registration positions,
// signature, manual text), window control (name, read position, what a
// change renders, section, TFormState member).
// Settings: keyword, value, meaning, unit, control, min, max, step, default
// text, word, window control.
inline constexpr TParamInfo kRows[ParamCount] = {
    Curve(ccSeed, "seed", "seed", true, Field(&P::Seed), MsgNoop("random seed of the cloud and warp patterns"), "", IntEd, kIntMin, kIntMax, 1, 65536,
          Word(0, 0, kCurveSig, TrNoop("ランダムシードを指定する。ほとんど意味無いがモーションデザイン可能。")), Ctl("Seed", 2, Full, Cloud, &F::Seed)),
    Curve(ccBrightness, "brightness", "brightness", false, Field(&P::Brightness), MsgNoop("brightness of the clouds"), "", Bar, 0, 1, 0.01, 1,
          Word(1, 1, kCurveSig, TrNoop("明るさを指定する。")), Ctl("Brightness", 3, Filt, Cloud, &F::Brightness)),
    Curve(ccComplex, "complex", "complex", false, Field(&P::Complex), MsgNoop("complexity: how many stamps make the pattern"), "", Bar, 0.005, 1, 0.005, 0.5,
          Word(2, 2, kCurveSig, TrNoop("複雑さを指定する。")), Ctl("Complex", 4, Full, Cloud, &F::Complex)),
    Curve(ccCoverrate, "coverrate", "coverrate", false, Field(&P::Coverrate), MsgNoop("amount of cloud"), "", Bar, 0, 1, 0.01, 0.5,
          Word(3, 3, kCurveSig, TrNoop("雲の量を指定する")), Ctl("Coverrate", 5, Full, Cloud, &F::Coverrate)),
    Curve(ccMinRadius, "min", "min", false, Field(&P::MinRadius), MsgNoop("smallest cloud size"), "", Bar, 0, 1, 0.01, 0.4,
          Word(4, 4, kCurveSig, TrNoop("雲パターン最小サイズを指定する。")), Ctl("MinRadius", 6, Full, Cloud, &F::MinRadius)),
    Curve(ccMaxRadius, "max", "max", false, Field(&P::MaxRadius), MsgNoop("largest cloud size"), "", Bar, 0, 1, 0.01, 1,
          Word(5, 5, kCurveSig, TrNoop("雲パターン最大サイズを指定する。")), Ctl("MaxRadius", 7, Full, Cloud, &F::MaxRadius)),
    Curve(ccWMinRadius, "wmin", "wmin", false, Field(&P::wMinRadius), MsgNoop("smallest size of the warp pattern"), "", Bar, 0, 1, 0.01, 1,
          Word(6, 6, kCurveSig, TrNoop("歪パターン最小サイズを指定する。")), Ctl("wMinRadius", 8, Full, Warp, &F::wMinRadius)),
    Curve(ccWMaxRadius, "wmax", "wmax", false, Field(&P::wMaxRadius), MsgNoop("largest size of the warp pattern"), "", Bar, 0, 1, 0.01, 1,
          Word(7, 7, kCurveSig, TrNoop("歪パターン最大サイズを指定する。")), Ctl("wMaxRadius", 9, Full, Warp, &F::wMaxRadius)),
    Curve(ccNoise, "noise", "noise", false, Field(&P::Noise), MsgNoop("noise in the cloud pattern"), "", Bar, 0, 1, 0.01, 0.1,
          Word(8, 8, kCurveSig, TrNoop("ノイズの量を指定する")), Ctl("Noise", 12, Full, Cloud, &F::Noise)),
    Curve(ccWNoise, "wnoise", "wnoise", false, Field(&P::wNoise), MsgNoop("noise in the warp pattern"), "", Bar, 0, 1, 0.01, 0.1,
          Word(9, 9, kCurveSig, TrNoop("歪パターン用ノイズの量を指定する")), Ctl("wNoise", 13, Full, Warp, &F::wNoise)),
    Curve(ccCenter, "center", "center", false, Field(&P::Center), MsgNoop("pull of the clouds toward the centre (the edges with center_reverse)"), "", Bar, 0, 1, 0.01, 0,
          Word(10, 10, kCurveSig, TrNoop("雲パターンを中央に寄せる。")), Ctl("centertrackbar", 32, Full, Cloud, &F::Center)),
    Curve(ccStartRed, "color0_red", "color0_red", true, Field(&P::StartColor, &ColorRGBA::r), MsgNoop("gradient start colour, red"), MsgNoop("byte"), Panel, 0, 255, 1, 0,
          Word(11, 11, kCurveSig, TrNoop("カラーフィルタの色０赤")), Ctl("StartColor", 14, Filt, Filter, &F::StartColor)),
    Curve(ccStartGreen, "color0_green", "color0_green", true, Field(&P::StartColor, &ColorRGBA::g), MsgNoop("gradient start colour, green"), MsgNoop("byte"), Panel, 0, 255, 1, 0,
          Word(12, 12, kCurveSig, TrNoop("カラーフィルタの色０緑")), Ctl("StartColor", 15, Filt, Filter, &F::StartColor)),
    Curve(ccStartBlue, "color0_blue", "color0_blue", true, Field(&P::StartColor, &ColorRGBA::b), MsgNoop("gradient start colour, blue"), MsgNoop("byte"), Panel, 0, 255, 1, 0,
          Word(13, 13, kCurveSig, TrNoop("カラーフィルタの色０青")), Ctl("StartColor", 16, Filt, Filter, &F::StartColor)),
    Curve(ccStartAlpha, "color0_alpha", "color0_alpha", true, Field(&P::StartColor, &ColorRGBA::a), MsgNoop("gradient start colour, alpha (255 opaque)"), MsgNoop("byte"), Alpha, 0, 255, 1, 255,
          Word(14, 14, kCurveSig, TrNoop("カラーフィルタの色０α")), Ctl("StartColorAlpha", 17, Filt, Filter, &F::StartColorAlpha)),
    Curve(ccEndRed, "color1_red", "color1_red", true, Field(&P::EndColor, &ColorRGBA::r), MsgNoop("gradient end colour, red"), MsgNoop("byte"), Panel, 0, 255, 1, 255,
          Word(15, 15, kCurveSig, TrNoop("カラーフィルタの色1赤")), Ctl("EndColor", 18, Filt, Filter, &F::EndColor)),
    Curve(ccEndGreen, "color1_green", "color1_green", true, Field(&P::EndColor, &ColorRGBA::g), MsgNoop("gradient end colour, green"), MsgNoop("byte"), Panel, 0, 255, 1, 255,
          Word(16, 16, kCurveSig, TrNoop("カラーフィルタの色1緑")), Ctl("EndColor", 19, Filt, Filter, &F::EndColor)),
    Curve(ccEndBlue, "color1_blue", "color1_blue", true, Field(&P::EndColor, &ColorRGBA::b), MsgNoop("gradient end colour, blue"), MsgNoop("byte"), Panel, 0, 255, 1, 255,
          Word(17, 17, kCurveSig, TrNoop("カラーフィルタの色1青")), Ctl("EndColor", 20, Filt, Filter, &F::EndColor)),
    Curve(ccEndAlpha, "color1_alpha", "color1_alpha", true, Field(&P::EndColor, &ColorRGBA::a), MsgNoop("gradient end colour, alpha (255 opaque)"), MsgNoop("byte"), Alpha, 0, 255, 1, 255,
          Word(18, 18, kCurveSig, TrNoop("カラーフィルタの色1α")), Ctl("EndColorAlpha", 21, Filt, Filter, &F::EndColorAlpha)),
    Curve(ccSlopeR, "red_slope", "red_slope", false, Field(&P::SlopeR), MsgNoop("colour filter slope of red"), "", Bar, -10, 10, 0.1, 0,
          Word(19, 19, kCurveSig, TrNoop("カラーフィルタの赤勾配")), Ctl("ColorFilter_SlopeR", 22, Filt, Filter, &F::SlopeR)),
    Curve(ccSlopeG, "green_slope", "green_slope", false, Field(&P::SlopeG), MsgNoop("colour filter slope of green"), "", Bar, -10, 10, 0.1, 0,
          Word(20, 20, kCurveSig, TrNoop("カラーフィルタの緑勾配")), Ctl("ColorFilter_SlopeG", 23, Filt, Filter, &F::SlopeG)),
    Curve(ccSlopeB, "blue_slope", "blue_slope", false, Field(&P::SlopeB), MsgNoop("colour filter slope of blue"), "", Bar, -10, 10, 0.1, 0,
          Word(21, 21, kCurveSig, TrNoop("カラーフィルタの青勾配")), Ctl("ColorFilter_SlopeB", 24, Filt, Filter, &F::SlopeB)),
    Curve(ccSlopeA, "alpha_slope", "alpha_slope", false, Field(&P::SlopeA), MsgNoop("colour filter slope of alpha"), "", Bar, -10, 10, 0.1, 0,
          Word(22, 22, kCurveSig, TrNoop("カラーフィルタのα勾配")), Ctl("ColorFilter_Slopea", 25, Filt, Filter, &F::SlopeA)),
    Curve(ccWX, "wwx", "wwx", false, Field(&P::WX), MsgNoop("warp strength along x"), "", Bar, -20, 20, 0.2, -8,
          Word(23, 23, kCurveSig, TrNoop("Ｘ方向歪み")), Ctl("WX", 10, Full, Warp, &F::WX)),
    Curve(ccWY, "wwy", "wwy", false, Field(&P::WY), MsgNoop("warp strength along y"), "", Bar, -20, 20, 0.2, 8,
          Word(24, 24, kCurveSig, TrNoop("Ｙ方向歪み")), Ctl("WY", 11, Full, Warp, &F::WY)),
    Curve(ccCloudX, "cloud_position", "cloud_position.x", false, Field(&P::cx), MsgNoop("cloud layer position x (the picture wraps)"), MsgNoop("image widths"), RealEd, -kInf, kInf, 0, 0,
          Word(29, 33, "<x y:TDivs_Curve>", TrNoop("雲基本位置")), Ctl("cxedbx", 26, Full, Cloud, &F::cx)),
    Curve(ccCloudY, "cloud_position", "cloud_position.y", false, Field(&P::cy), MsgNoop("cloud layer position y (the picture wraps)"), MsgNoop("image heights"), RealEd, -kInf, kInf, 0, 0,
          kSameWord, Ctl("cyedbx", 27, Full, Cloud, &F::cy)),
    Curve(ccWarp1X, "warp_position1", "warp_position1.x", false, Field(&P::wx1), MsgNoop("warp layer 1 position x"), MsgNoop("image widths"), RealEd, -kInf, kInf, 0, 0,
          Word(30, 34, "<x y:TDivs_Curve>", TrNoop("歪1位置")), Ctl("wx1edbx", 28, Full, Warp, &F::wx1)),
    Curve(ccWarp1Y, "warp_position1", "warp_position1.y", false, Field(&P::wy1), MsgNoop("warp layer 1 position y"), MsgNoop("image heights"), RealEd, -kInf, kInf, 0, 0,
          kSameWord, Ctl("wy1edbx", 29, Full, Warp, &F::wy1)),
    Curve(ccWarp2X, "warp_position2", "warp_position2.x", false, Field(&P::wx2), MsgNoop("warp layer 2 position x"), MsgNoop("image widths"), RealEd, -kInf, kInf, 0, 0,
          Word(31, 35, "<x y:TDivs_Curve>", TrNoop("歪2位置")), Ctl("wx2edbx", 30, Full, Warp, &F::wx2)),
    Curve(ccWarp2Y, "warp_position2", "warp_position2.y", false, Field(&P::wy2), MsgNoop("warp layer 2 position y"), MsgNoop("image heights"), RealEd, -kInf, kInf, 0, 0,
          kSameWord, Ctl("wy2edbx", 31, Full, Warp, &F::wy2)),
    Curve(ccBlurRadius, "blur_radius", "blur_radius", false, Field(&P::BlurRadius), MsgNoop("blur radius (not pixels: 1 is the image width)"), MsgNoop("image widths"), RealEd, -kInf, kInf, 0, 0,
          Word(25, 36, "<r : TDivs_Curve>", TrNoop("ブラー半径")), Ctl("BlurRadiusEdBx", 35, Filt, Blur, &F::BlurRadius)),
    Curve(ccBlurSamples, "blur_number_of_ssample", "blur_number_of_ssample", true, Field(&P::BlurSamples), MsgNoop("blur samples (rounded; time grows with it)"), MsgNoop("samples"), RealEd, -kInf, kInf, 0, 32,
          Word(26, 37, "<n : TDivs_Curve>", TrNoop("ブラーのサンプル数")), Ctl("BlurSamplesEdbx", 36, Filt, Blur, &F::BlurSamples)),
    Curve(ccBlurCurve, "blur_curve", "blur_curve", false, Field(&P::BlurCurve), MsgNoop("slope of the blur brush"), "", Bar, 0, 100, 1, 0,
          Word(27, 38, "<c : TDivs_Curve>", TrNoop("ブラーブラシの勾配値")), Ctl("BlurCurveBar", 37, Filt, Blur, &F::BlurCurve)),
    Curve(ccOverSampling, "oversampling", "oversampling", true, Field(&P::OverSampling), MsgNoop("oversampling factor of exports (1 or less: none)"), MsgNoop("factor"), IntEd, kIntMin, kIntMax, 1, 1,
          Word(33, 41, "<a : TDivs_Curve>", TrNoop("オーバーサンプリング倍率")), Ctl("OverSamplingEdBx", 1, NoRedo, Out, &F::OverSampling)),
    Curve(ccBlurRotX, "blur_rotation", "blur_rotation.x", false, Field(&P::BlurRotX), MsgNoop("blur brush rotation about x"), MsgNoop("degrees"), RealEd, -kInf, kInf, 0, 0,
          Word(28, 39, "<x y z:TDivs_Curve>", TrNoop("ブラーブラシの回転")), Ctl("BlurBrushRotXEdBx", 38, Filt, Blur, &F::BlurRotX)),
    Curve(ccBlurRotY, "blur_rotation", "blur_rotation.y", false, Field(&P::BlurRotY), MsgNoop("blur brush rotation about y"), MsgNoop("degrees"), RealEd, -kInf, kInf, 0, 0,
          kSameWord, Ctl("BlurBrushRotYEdBx", 39, Filt, Blur, &F::BlurRotY)),
    Curve(ccBlurRotZ, "blur_rotation", "blur_rotation.z", false, Field(&P::BlurRotZ), MsgNoop("blur brush rotation about z"), MsgNoop("degrees"), RealEd, -kInf, kInf, 0, 0,
          kSameWord, Ctl("BlurBrushRotZEdBx", 40, Filt, Blur, &F::BlurRotZ)),
    Setting("resolution", Field(TParamValue::Size), MsgNoop("output size WxH (no curve)"), MsgNoop("pixels"), IntEd, 1, kIntMax, 1, "512x512",
            Word(32, 25, "<x y : int>", TrNoop("出力解像度")), SizeCtl(0)),
    Setting("frames", Field(TParamValue::Range), MsgNoop("timeline range MIN..MAX (no curve)"), MsgNoop("frames"), Time, kIntMin, kIntMax, 1, "0..120",
            Word(34, 26, "<min max : int>", TrNoop("フレーム数")), ModelCtl("MaxFrame", TimeSec)),
    Setting("current_frame", Field(TParamValue::Frame), MsgNoop("current frame of the timeline (no curve)"), MsgNoop("frame"), Time, kIntMin, kIntMax, 1, "0",
            Word(35, 27, "<fno : int>", TrNoop("カレントフレーム")), ModelCtl("TimeLine", TimeSec, "CurFrame")),
    Setting("center_reverse", Field(&P::CenterReverse), MsgNoop("push the clouds toward the edges instead"), MsgNoop("switch"), Check, 0, 1, 1, "0",
            Word(38, 29, nullptr, TrNoop("中心分布反転")), Ctl("centerreverse_chkbx", 33, Full, Cloud, &F::CenterReverse)),
    Setting("clip_brightness", Field(&P::ClipBrightness), MsgNoop("smooth clip of the brightness"), MsgNoop("switch"), Check, 0, 1, 1, "0",
            Word(39, 30, nullptr, TrNoop("明るさはクリップする")), Ctl("ClipBrightnessChkBx", 34, Full, Cloud, &F::ClipBrightness)),
    Setting("blur_draftmode", Field(&P::BlurDraft), MsgNoop("draft blur (faster)"), MsgNoop("switch"), Check, 0, 1, 1, "1",
            Word(40, 40, nullptr, TrNoop("ドラフトモードブラー")), Ctl("BlurDraft", 41, Filt, Blur, &F::BlurDraft)),
    Setting("render_fromcurrentframe", Field(&M::FromCurrentFrame), MsgNoop("movies start at the current frame"), MsgNoop("switch"), Check, 0, 1, 1, "0",
            Word(41, 28, nullptr, TrNoop("現在のフレームからレンダリング")), ModelCtl("FromCurrentFrame", Out)),
    Setting("output_avi", Field(&M::OutPutFilen), MsgNoop("movie file name"), MsgNoop("file"), File, 0, 0, 0, "",
            Word(36, 31, "<str:filename>", TrNoop("出力動画ファイル名")), ModelCtl("OutPutFilen", Out)),
    Setting("outputalpha_avi", Field(&M::OutPutAlpha), MsgNoop("alpha movie file name"), MsgNoop("file"), File, 0, 0, 0, "",
            Word(37, 32, "<str:filename>", TrNoop("出力α動画ファイル名")), ModelCtl("OutPutAlpha", Out)),
};

// The rows of the project words (the first row of each keyword) in the
// order of the word position POS (Save or Register).
template <int TParamWord::*Pos>
constexpr auto WordRows() {
  int count = 0;
  for (const TParamInfo& p : kRows) count += p.Word.*Pos >= 0 ? 1 : 0;
  std::array<int, ParamCount> rows{};
  for (int& r : rows) r = -1;
  for (int i = 0; i < ParamCount; ++i)
    if (kRows[i].Word.*Pos >= 0) rows[kRows[i].Word.*Pos] = i;
  return std::pair{rows, count};
}
}  // namespace param_table

// The table, in constant expressions too: other tables take their keywords
// from it (kParamTable[ccSeed].Keyword).
inline constexpr const TParamInfo (&kParamTable)[ParamCount] = param_table::kRows;

// The number of project words, and their rows in the order the project
// writer writes their statements and in the order they are registered.
inline constexpr int ProjectWordCount = param_table::WordRows<&TParamWord::Save>().second;
inline constexpr std::array<int, ParamCount> kSaveOrder = param_table::WordRows<&TParamWord::Save>().first;
inline constexpr std::array<int, ParamCount> kRegisterOrder =
    param_table::WordRows<&TParamWord::Register>().first;

// The curves in the set's order, then the settings.
std::span<const TParamInfo> ParamTable();
const TParamInfo& CurveParam(int curveIndex);
// The row of NAME ("complex", "cloud_position.x", "resolution"); a keyword
// that takes one curve also names that curve.
const TParamInfo* FindParam(std::string_view name);
// Names of the table that are close to NAME (edit distance, prefix), best
// first, for "did you mean" messages.
std::vector<std::string> NearParamNames(std::string_view name);

// The table as text, one aligned row per parameter under a heading line.
std::string FormatParamTable();

// A curve's record field as a key value (int32 fields as their integer,
// colour bytes as 0..255, reals as they are), and the store of a curve value
// into it with the conversion of its row.
long double ParamFieldValue(const TParamInfo& row, const TCloudFrameParams& params);
void StoreParamField(const TParamInfo& row, TCloudFrameParams& params, double value);
// The integer and real fields of a curve row (null for the other kinds).
int32_t* IntFieldOf(const TParamInfo& row, TCloudFrameParams& params);
uint8_t* ByteFieldOf(const TParamInfo& row, TCloudFrameParams& params);
long double* RealFieldOf(const TParamInfo& row, TCloudFrameParams& params);

}  // namespace velmora
