#include "cli/SetOptions.h"

#include <cfloat>
#include <cmath>

#include "anim/ProjectModel.h"
#include "anim/TDivs.h"
#include "anim/Token.h"
#include "project/ProjectLoad.h"
#include "base/NumberText.h"
#include "render/Render.h"

namespace velmora::cli {

namespace {

std::string UnknownMessage(const std::string& name) {
  std::string msg = "unknown parameter '" + name + "'";
  const std::vector<std::string> near = NearParamNames(name);
  for (size_t i = 0; i < near.size(); ++i)
    msg += (i == 0 ? " (did you mean " : i + 1 == near.size() ? " or " : ", ") + near[i];
  msg += near.empty() ? "" : "?)";
  return msg + "; 'velmora params --list' lists them";
}

// "A<SEP>B" with two integers.
bool IntPair(const std::string& text, const std::string& sep, int32_t& a, int32_t& b) {
  const size_t at = text.find(sep);
  if (at == std::string::npos) return false;
  const auto x = ParseInt32(std::string_view(text).substr(0, at));
  const auto y = ParseInt32(std::string_view(text).substr(at + sep.size()));
  if (!x || !y) return false;
  a = *x;
  b = *y;
  return true;
}

std::optional<std::string> ParseOne(const std::string& text, SetOption& o) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return "--set needs KEYWORD=VALUE, not '" + text + "'";
  const std::string name = text.substr(0, eq);
  const std::string value = text.substr(eq + 1);
  o.param = FindParam(name);
  if (!o.param) {
    std::vector<std::string> parts;
    for (const TParamInfo& p : ParamTable())
      if (name == p.Keyword) parts.push_back(p.Name);
    if (parts.empty()) return UnknownMessage(name);
    std::string list;
    for (const std::string& p : parts) list += (list.empty() ? "" : ", ") + p;
    return "'" + name + "' takes " + std::to_string(parts.size()) + " curves: set " + list;
  }
  const std::string what = "--set " + name;
  if (o.param->Curve >= 0) {
    const auto v = ParseReal(value);
    if (!v || !(std::fabs(*v) <= static_cast<long double>(DBL_MAX)))
      return what + " needs a number, not '" + value + "'";
    o.value = static_cast<double>(*v);
    return std::nullopt;
  }
  const TParamInfo* row = o.param;
  if (row == &kParamTable[psResolution]) {
    if (!IntPair(value, "x", o.first, o.second) || o.first < 1 || o.second < 1)
      return what + " needs WxH with positive integers, not '" + value + "'";
  } else if (row == &kParamTable[psFrames]) {
    if (!IntPair(value, "..", o.first, o.second) || o.first > o.second)
      return what + " needs MIN..MAX with MIN not above MAX, not '" + value + "'";
  } else if (o.param->Control == TParamControl::CheckBox) {
    if (value != "0" && value != "1") return what + " needs 0 or 1, not '" + value + "'";
    o.value = value == "1" ? 1 : 0;
  } else {
    return what + ": this setting cannot be given with --set";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseSetOptions(const std::vector<std::string>& texts,
                                           std::vector<SetOption>& out) {
  for (const std::string& text : texts) {
    SetOption o;
    if (auto error = ParseOne(text, o)) return error;
    out.push_back(o);
  }
  return std::nullopt;
}

int32_t ApplySetOptions(Document& doc, const std::vector<SetOption>& sets,
                        std::optional<int32_t> frame) {
  const TProjectTarget target = DocumentTarget(doc);
  for (const SetOption& o : sets) {
    const std::string keyword = o.param->Keyword;
    const TParamInfo* row = o.param;
    if (o.param->Curve >= 0) continue;
    if (row == &kParamTable[psResolution] || row == &kParamTable[psFrames]) {
      // The project word itself, so that the timeline rules are the same.
      RunProjectText(std::to_string(o.first) + " " + std::to_string(o.second) + " " + keyword,
                     target);
    } else if (o.value != 0) {
      RunProjectText(keyword, target);
    } else if (row == &kParamTable[psCenterReverse]) {
      doc.Params.CenterReverse = false;
    } else if (row == &kParamTable[psClipBrightness]) {
      doc.Params.ClipBrightness = false;
    } else if (row == &kParamTable[psBlurDraftMode]) {
      doc.Params.BlurDraft = false;
    } else if (row == &kParamTable[psFromCurrentFrame]) {
      doc.Model.FromCurrentFrame = false;
    }
  }
  const int32_t at = frame ? *frame : doc.Model.TimeLinePosition;
  for (const SetOption& o : sets)
    if (o.param->Curve >= 0) SetCurveKey(doc.Curves->Curves[o.param->Curve], at, o.value);
  return at;
}

}  // namespace velmora::cli
