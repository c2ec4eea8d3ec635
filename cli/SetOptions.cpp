#include "cli/SetOptions.h"

#include <cfloat>
#include <cmath>
#include <memory>

#include "anim/ProjectModel.h"
#include "anim/TDivs.h"
#include "anim/Token.h"
#include "project/ProjectLoad.h"
#include "base/NumberText.h"
#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/HelpTopics.h"
#include "render/Render.h"

namespace velmora::cli {

namespace {

std::string UnknownMessage(const std::string& name) {
  const std::vector<std::string> near = NearParamNames(name);
  std::string list;
  for (size_t i = 0; i < near.size(); ++i)
    list += (i == 0 ? "" : i + 1 == near.size() ? Msg(" or ") : ", ") + near[i];
  if (near.empty())
    return MsgFormat("unknown parameter '%s'; 'velmora params --list' lists them", {name});
  return MsgFormat("unknown parameter '%s' (did you mean %s?); 'velmora params --list' lists them",
                   {name, list});
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

// The row of NAME, or the message for a name that is not one.
std::optional<std::string> FindRow(const std::string& name, const TParamInfo*& row) {
  row = FindParam(name);
  if (row) return std::nullopt;
  std::vector<std::string> parts;
  for (const TParamInfo& p : ParamTable())
    if (name == p.Keyword) parts.push_back(p.Name);
  if (parts.empty()) return UnknownMessage(name);
  std::string list;
  for (const std::string& p : parts) list += (list.empty() ? "" : ", ") + p;
  return MsgFormat("'%s' takes %s curves: set %s", {name, std::to_string(parts.size()), list});
}

// A key value: any finite number.
std::optional<std::string> KeyValue(const std::string& what, const std::string& value,
                                    double& out) {
  const auto v = ParseReal(value);
  if (!v || !(std::fabs(*v) <= static_cast<long double>(DBL_MAX)))
    return MsgFormat("%s needs a number, not '%s'", {what, value});
  out = static_cast<double>(*v);
  return std::nullopt;
}

std::optional<std::string> ParseOne(const std::string& text, SetOption& o) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return MsgFormat("--set needs KEYWORD=VALUE, not '%s'", {text});
  const std::string name = text.substr(0, eq);
  const std::string value = text.substr(eq + 1);
  if (auto error = FindRow(name, o.param)) return error;
  const std::string what = "--set " + name;
  if (o.param->Curve >= 0) return KeyValue(what, value, o.value);
  const TParamInfo* row = o.param;
  if (row->Field.Value == TParamValue::Size) {
    if (!IntPair(value, "x", o.first, o.second) || o.first < 1 || o.second < 1)
      return MsgFormat("%s needs WxH with positive integers, not '%s'", {what, value});
  } else if (row->Field.Value == TParamValue::Range) {
    if (!IntPair(value, "..", o.first, o.second) || o.first > o.second)
      return MsgFormat("%s needs MIN..MAX with MIN not above MAX, not '%s'", {what, value});
  } else if (o.param->Control == TParamControl::CheckBox) {
    if (value != "0" && value != "1") return MsgFormat("%s needs 0 or 1, not '%s'", {what, value});
    o.value = value == "1" ? 1 : 0;
  } else {
    return MsgFormat("%s: %s", {what, ParamChangeHint(*row)});
  }
  return std::nullopt;
}

// The row of a --key or --curve NAME, which must name one curve.
std::optional<std::string> CurveRow(const std::string& option, const std::string& name,
                                    const TParamInfo*& row) {
  if (auto error = FindRow(name, row)) return error;
  if (row->Curve < 0)
    return MsgFormat("%s %s: %s is a setting without a curve; %s",
                     {option, name, name, ParamChangeHint(*row)});
  return std::nullopt;
}

// --key KEYWORD@FRAME=VALUE
std::optional<std::string> ParseKey(const std::string& text, SetOption& o) {
  o.kind = SetOption::Kind::Key;
  const size_t eq = text.find('=');
  const size_t at = text.rfind('@', eq);
  if (eq == std::string::npos || at == std::string::npos)
    return MsgFormat("--key needs KEYWORD@FRAME=VALUE, not '%s'", {text});
  const std::string name = text.substr(0, at);
  if (auto error = CurveRow("--key", name, o.param)) return error;
  const std::string frame = text.substr(at + 1, eq - at - 1);
  const auto f = ParseInt32(frame);
  if (!f) return MsgFormat("--key %s needs a whole frame number after @, not '%s'", {name, frame});
  o.first = *f;
  return KeyValue("--key " + name + "@" + frame, text.substr(eq + 1), o.value);
}

// --curve KEYWORD=TEXT
std::optional<std::string> ParseCurve(const std::string& text, SetOption& o) {
  o.kind = SetOption::Kind::Curve;
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return MsgFormat("--curve needs KEYWORD=TEXT, not '%s'", {text});
  const std::string name = text.substr(0, eq);
  if (auto error = CurveRow("--curve", name, o.param)) return error;
  o.curveText = text.substr(eq + 1);
  auto probe = std::make_unique<TDivs_Curve>();
  std::string problem;
  const bool read = CurveFromText(probe.get(), o.curveText, &problem);
  if (!read || !problem.empty())
    return MsgFormat("--curve %s: %s ('velmora help curves' explains the text)",
                     {name, problem.empty() ? Msg("the text is refused") : problem});
  return std::nullopt;
}

}  // namespace

void AddParamOptions(CommandLine& cl, ParamOptionTexts& texts) {
  cl.Values("--set", texts.set, MsgNoop("KEYWORD=VALUE"));
  cl.Values("--key", texts.key, MsgNoop("KEYWORD@FRAME=VALUE"));
  cl.Values("--curve", texts.curve, MsgNoop("KEYWORD=TEXT"));
}

std::optional<std::string> ParseSetOptions(const std::vector<std::string>& texts,
                                           std::vector<SetOption>& out) {
  for (const std::string& text : texts) {
    SetOption o;
    if (auto error = ParseOne(text, o)) return error;
    out.push_back(o);
  }
  return std::nullopt;
}

std::optional<std::string> ParseParamOptions(const ParamOptionTexts& texts,
                                             std::vector<SetOption>& out) {
  if (auto error = ParseSetOptions(texts.set, out)) return error;
  for (const std::string& text : texts.curve) {
    SetOption o;
    if (auto error = ParseCurve(text, o)) return error;
    out.push_back(o);
  }
  for (const std::string& text : texts.key) {
    SetOption o;
    if (auto error = ParseKey(text, o)) return error;
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
    if (o.param->Curve >= 0) {
      TDivs_Curve* curve = doc.Curves->Curves[o.param->Curve];
      if (o.kind == SetOption::Kind::Curve) CurveFromText(curve, o.curveText);
      continue;
    }
    const TParamField& f = row->Field;
    if (f.Value == TParamValue::Size || f.Value == TParamValue::Range) {
      // The project word itself, so that the timeline rules are the same.
      RunProjectText(std::to_string(o.first) + " " + std::to_string(o.second) + " " + keyword,
                     target);
    } else if (o.value != 0) {
      RunProjectText(keyword, target);
    } else if (f.Value == TParamValue::RecordSwitch) {
      doc.Params.*f.Switch = false;
    } else if (f.Value == TParamValue::ModelSwitch) {
      doc.Model.*f.ModelSwitch = false;
    }
  }
  const int32_t at = frame ? *frame : doc.Model.TimeLinePosition;
  // Whole curves first, so that keys land on them; a curve that is full
  // (1023 keys) keeps its keys.
  for (const SetOption& o : sets)
    if (o.kind == SetOption::Kind::Key)
      SetCurveKey(doc.Curves->Curves[o.param->Curve], o.first, o.value);
  for (const SetOption& o : sets)
    if (o.kind == SetOption::Kind::Set && o.param->Curve >= 0)
      SetCurveKey(doc.Curves->Curves[o.param->Curve], at, o.value);
  return at;
}

}  // namespace velmora::cli
