// The one table of a project's parameters: every curve of the parameter set
// and every setting beside it, with its project keyword, what it means (in
// English), its unit, the range and step of the window control that edits it
// and the new-project default.  The curve set, the project words, the command
// line and the window all read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "anim/CurveSet.h"

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
  const char* Meaning;   // what it does, in English
  const char* Unit;      // "" when it has none
  TParamControl Control;
  double Min, Max, Step;  // the control's range in the parameter's own unit (edits: none)
  double Default;         // the new-project value of a curve
  const char* DefaultText;  // the new-project value of a setting, as text
};

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
