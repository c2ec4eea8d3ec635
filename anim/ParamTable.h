// The one table of a project's parameters: every curve of the parameter set
// and every setting beside it, with its project keyword, what it means (in
// English), its unit, the range and step of the window control that edits it
// and the new-project default.  The curve set, the project words, the command
// line and the window all read it.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "anim/CurveSet.h"
#include "base/Translate.h"

namespace velmora {

// How the window edits a parameter.
enum class TParamControl : uint8_t {
  TrackBar,     // a slider between Min and Max in steps of Step
  IntegerEdit,  // an edit box taking a whole number
  RealEdit,     // an edit box taking any real number
  ColourPanel,  // one byte of a colour chosen in the colour dialog
  AlphaBar,     // a vertical slider of the colour's alpha byte
  CheckBox,     // a switch: 0 off, 1 on
  Timeline,     // the timeline's range or position
  FileEdit,     // an edit box holding a file name
};

// Keyword, Name (the keyword with .x/.y/.z where one keyword takes several
// curves), and for curves how evaluation stores the value.
struct TParamInfo : TCloudCurveInfo {
  int Curve;             // index into the curve set, -1 for a setting without a curve
  const char* Meaning;   // what it does, in English (Msg translates it)
  const char* Unit;      // "" when it has none; English (Msg translates it)
  TParamControl Control;
  double Min, Max, Step;  // the control's range in the parameter's own unit (edits: none)
  double Default;         // the new-project value of a curve
  const char* DefaultText;  // the new-project value of a setting, as text
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

// Short names that keep the rows below readable.
namespace param_table {
inline constexpr TCurveStore I32 = TCurveStore::Int32;
inline constexpr TCurveStore B8 = TCurveStore::Byte;
inline constexpr TCurveStore R = TCurveStore::Real;
inline constexpr TParamControl Bar = TParamControl::TrackBar;
inline constexpr TParamControl IntEd = TParamControl::IntegerEdit;
inline constexpr TParamControl RealEd = TParamControl::RealEdit;
inline constexpr TParamControl Panel = TParamControl::ColourPanel;
inline constexpr TParamControl Alpha = TParamControl::AlphaBar;
inline constexpr TParamControl Check = TParamControl::CheckBox;
inline constexpr TParamControl Time = TParamControl::Timeline;
inline constexpr TParamControl File = TParamControl::FileEdit;
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kIntMin = -2147483648.0;
inline constexpr double kIntMax = 2147483647.0;

// Curves: {keyword, name, store, compare as integer}, curve index, meaning,
// unit, control, min, max, step, default, nullptr.
// Settings: {keyword, name, Real, false}, -1, ..., 0, default text.
inline constexpr TParamInfo kRows[ParamCount] = {
    {{"seed", "seed", I32, true}, ccSeed, MsgNoop("random seed of the cloud and warp patterns"), "", IntEd, kIntMin, kIntMax, 1, 65536, nullptr},
    {{"brightness", "brightness", R, false}, ccBrightness, MsgNoop("brightness of the clouds"), "", Bar, 0, 1, 0.01, 1, nullptr},
    {{"complex", "complex", R, false}, ccComplex, MsgNoop("complexity: how many stamps make the pattern"), "", Bar, 0.005, 1, 0.005, 0.5, nullptr},
    {{"coverrate", "coverrate", R, false}, ccCoverrate, MsgNoop("amount of cloud"), "", Bar, 0, 1, 0.01, 0.5, nullptr},
    {{"min", "min", R, false}, ccMinRadius, MsgNoop("smallest cloud size"), "", Bar, 0, 1, 0.01, 0.4, nullptr},
    {{"max", "max", R, false}, ccMaxRadius, MsgNoop("largest cloud size"), "", Bar, 0, 1, 0.01, 1, nullptr},
    {{"wmin", "wmin", R, false}, ccWMinRadius, MsgNoop("smallest size of the warp pattern"), "", Bar, 0, 1, 0.01, 1, nullptr},
    {{"wmax", "wmax", R, false}, ccWMaxRadius, MsgNoop("largest size of the warp pattern"), "", Bar, 0, 1, 0.01, 1, nullptr},
    {{"noise", "noise", R, false}, ccNoise, MsgNoop("noise in the cloud pattern"), "", Bar, 0, 1, 0.01, 0.1, nullptr},
    {{"wnoise", "wnoise", R, false}, ccWNoise, MsgNoop("noise in the warp pattern"), "", Bar, 0, 1, 0.01, 0.1, nullptr},
    {{"center", "center", R, false}, ccCenter, MsgNoop("pull of the clouds toward the centre (the edges with center_reverse)"), "", Bar, 0, 1, 0.01, 0, nullptr},
    {{"color0_red", "color0_red", B8, true}, ccStartRed, MsgNoop("gradient start colour, red"), MsgNoop("byte"), Panel, 0, 255, 1, 0, nullptr},
    {{"color0_green", "color0_green", B8, true}, ccStartGreen, MsgNoop("gradient start colour, green"), MsgNoop("byte"), Panel, 0, 255, 1, 0, nullptr},
    {{"color0_blue", "color0_blue", B8, true}, ccStartBlue, MsgNoop("gradient start colour, blue"), MsgNoop("byte"), Panel, 0, 255, 1, 0, nullptr},
    {{"color0_alpha", "color0_alpha", B8, true}, ccStartAlpha, MsgNoop("gradient start colour, alpha (255 opaque)"), MsgNoop("byte"), Alpha, 0, 255, 1, 255, nullptr},
    {{"color1_red", "color1_red", B8, true}, ccEndRed, MsgNoop("gradient end colour, red"), MsgNoop("byte"), Panel, 0, 255, 1, 255, nullptr},
    {{"color1_green", "color1_green", B8, true}, ccEndGreen, MsgNoop("gradient end colour, green"), MsgNoop("byte"), Panel, 0, 255, 1, 255, nullptr},
    {{"color1_blue", "color1_blue", B8, true}, ccEndBlue, MsgNoop("gradient end colour, blue"), MsgNoop("byte"), Panel, 0, 255, 1, 255, nullptr},
    {{"color1_alpha", "color1_alpha", B8, true}, ccEndAlpha, MsgNoop("gradient end colour, alpha (255 opaque)"), MsgNoop("byte"), Alpha, 0, 255, 1, 255, nullptr},
    {{"red_slope", "red_slope", R, false}, ccSlopeR, MsgNoop("colour filter slope of red"), "", Bar, -10, 10, 0.1, 0, nullptr},
    {{"green_slope", "green_slope", R, false}, ccSlopeG, MsgNoop("colour filter slope of green"), "", Bar, -10, 10, 0.1, 0, nullptr},
    {{"blue_slope", "blue_slope", R, false}, ccSlopeB, MsgNoop("colour filter slope of blue"), "", Bar, -10, 10, 0.1, 0, nullptr},
    {{"alpha_slope", "alpha_slope", R, false}, ccSlopeA, MsgNoop("colour filter slope of alpha"), "", Bar, -10, 10, 0.1, 0, nullptr},
    {{"wwx", "wwx", R, false}, ccWX, MsgNoop("warp strength along x"), "", Bar, -20, 20, 0.2, -8, nullptr},
    {{"wwy", "wwy", R, false}, ccWY, MsgNoop("warp strength along y"), "", Bar, -20, 20, 0.2, 8, nullptr},
    {{"cloud_position", "cloud_position.x", R, false}, ccCloudX, MsgNoop("cloud layer position x (the picture wraps)"), MsgNoop("image widths"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"cloud_position", "cloud_position.y", R, false}, ccCloudY, MsgNoop("cloud layer position y (the picture wraps)"), MsgNoop("image heights"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"warp_position1", "warp_position1.x", R, false}, ccWarp1X, MsgNoop("warp layer 1 position x"), MsgNoop("image widths"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"warp_position1", "warp_position1.y", R, false}, ccWarp1Y, MsgNoop("warp layer 1 position y"), MsgNoop("image heights"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"warp_position2", "warp_position2.x", R, false}, ccWarp2X, MsgNoop("warp layer 2 position x"), MsgNoop("image widths"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"warp_position2", "warp_position2.y", R, false}, ccWarp2Y, MsgNoop("warp layer 2 position y"), MsgNoop("image heights"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"blur_radius", "blur_radius", R, false}, ccBlurRadius, MsgNoop("blur radius (not pixels: 1 is the image width)"), MsgNoop("image widths"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"blur_number_of_ssample", "blur_number_of_ssample", R, true}, ccBlurSamples, MsgNoop("blur samples (rounded; time grows with it)"), MsgNoop("samples"), RealEd, -kInf, kInf, 0, 32, nullptr},
    {{"blur_curve", "blur_curve", R, false}, ccBlurCurve, MsgNoop("slope of the blur brush"), "", Bar, 0, 100, 1, 0, nullptr},
    {{"oversampling", "oversampling", I32, true}, ccOverSampling, MsgNoop("oversampling factor of exports (1 or less: none)"), MsgNoop("factor"), IntEd, kIntMin, kIntMax, 1, 1, nullptr},
    {{"blur_rotation", "blur_rotation.x", R, false}, ccBlurRotX, MsgNoop("blur brush rotation about x"), MsgNoop("degrees"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"blur_rotation", "blur_rotation.y", R, false}, ccBlurRotY, MsgNoop("blur brush rotation about y"), MsgNoop("degrees"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"blur_rotation", "blur_rotation.z", R, false}, ccBlurRotZ, MsgNoop("blur brush rotation about z"), MsgNoop("degrees"), RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"resolution", "resolution", R, false}, -1, MsgNoop("output size WxH (no curve)"), MsgNoop("pixels"), IntEd, 1, kIntMax, 1, 0, "512x512"},
    {{"frames", "frames", R, false}, -1, MsgNoop("timeline range MIN..MAX (no curve)"), MsgNoop("frames"), Time, kIntMin, kIntMax, 1, 0, "0..120"},
    {{"current_frame", "current_frame", R, false}, -1, MsgNoop("current frame of the timeline (no curve)"), MsgNoop("frame"), Time, kIntMin, kIntMax, 1, 0, "0"},
    {{"center_reverse", "center_reverse", R, false}, -1, MsgNoop("push the clouds toward the edges instead"), MsgNoop("switch"), Check, 0, 1, 1, 0, "0"},
    {{"clip_brightness", "clip_brightness", R, false}, -1, MsgNoop("smooth clip of the brightness"), MsgNoop("switch"), Check, 0, 1, 1, 0, "0"},
    {{"blur_draftmode", "blur_draftmode", R, false}, -1, MsgNoop("draft blur (faster)"), MsgNoop("switch"), Check, 0, 1, 1, 0, "1"},
    {{"render_fromcurrentframe", "render_fromcurrentframe", R, false}, -1, MsgNoop("movies start at the current frame"), MsgNoop("switch"), Check, 0, 1, 1, 0, "0"},
    {{"output_avi", "output_avi", R, false}, -1, MsgNoop("movie file name"), MsgNoop("file"), File, 0, 0, 0, 0, ""},
    {{"outputalpha_avi", "outputalpha_avi", R, false}, -1, MsgNoop("alpha movie file name"), MsgNoop("file"), File, 0, 0, 0, 0, ""},
};
}  // namespace param_table

// The table, in constant expressions too: other tables take their keywords
// from it (kParamTable[ccSeed].Keyword).
inline constexpr const TParamInfo (&kParamTable)[ParamCount] = param_table::kRows;

// The 38 curves in the set's order, then the settings.
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

}  // namespace velmora
