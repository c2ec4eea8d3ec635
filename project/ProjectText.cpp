#include "project/ProjectText.h"

#include <string_view>

#include "anim/ParamTable.h"
#include "anim/TDivs.h"
#include "base/NumberText.h"

namespace velmora {

namespace {

constexpr char kEol[] = "\r\n";

void QuotedCurve(std::string& out, const TCloudCurveSet* set, int index) {
  out += '"';
  out += CurveToText(set->Curves[index]);
  out += '"';
}

// One curve with its keyword on one line.
void CurveLine(std::string& out, const TCloudCurveSet* set, int index) {
  QuotedCurve(out, set, index);
  out += ' ';
  out += CloudCurveInfo(index).Keyword;
  out += kEol;
}

// An output name as a string literal, written as it is.  Brel strings have
// no escape, so a double quote would end the literal early and turn the rest
// of the name into stray tokens: it is dropped.  A name read from a project
// file can hold line ends only as CR LF (a string literal may span lines, and
// the reader joins lines with CR LF); those pairs are written unchanged and
// read back the same.  A lone CR or LF would come back as CR LF, so it is
// dropped.
void NameLine(std::string& out, const std::string& name, const char* keyword) {
  out += '"';
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '"') continue;
    if (c == '\r' && i + 1 < name.size() && name[i + 1] == '\n') {
      out += "\r\n";
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') continue;
    out += c;
  }
  out += "\" ";
  out += keyword;
  out += kEol;
}

void SwitchLine(std::string& out, bool on, const char* keyword) {
  if (!on) return;
  out += keyword;
  out += kEol;
}

// The statement of the keyword whose first row is ROW.
void Statement(std::string& out, const TParamInfo& row, const TCloudCurveSet* set,
               const TCloudFrameParams& params, const TProjectModel& model) {
  const TParamField& f = row.Field;
  switch (f.Value) {
    case TParamValue::Curve: {
      // A keyword of several curves (positions, rotations) writes one curve
      // a line and itself after the last.
      int last = row.Curve;
      while (last + 1 < CloudCurveCount &&
             std::string_view(CloudCurveInfo(last + 1).Keyword) == row.Keyword)
        ++last;
      for (int i = row.Curve; i < last; ++i) {
        QuotedCurve(out, set, i);
        out += kEol;
      }
      CurveLine(out, set, last);
      return;
    }
    case TParamValue::Size:
      out += FormatInt(params.ResX) + " " + FormatInt(params.ResY) + " " + row.Keyword + kEol;
      return;
    case TParamValue::Range:
      out += FormatInt(model.TimeLineMin) + " " + FormatInt(model.TimeLineMax) + " " + row.Keyword + kEol;
      return;
    case TParamValue::Frame:
      out += FormatInt(model.TimeLinePosition) + " " + row.Keyword + kEol;
      return;
    case TParamValue::ModelName:
      NameLine(out, model.*f.ModelName, row.Keyword);
      return;
    case TParamValue::RecordSwitch:
      SwitchLine(out, params.*f.Switch, row.Keyword);
      return;
    case TParamValue::ModelSwitch:
      SwitchLine(out, model.*f.ModelSwitch, row.Keyword);
      return;
  }
}

}  // namespace

std::string BuildProjectText(const TCloudCurveSet* set, const TCloudFrameParams& params,
                             const TProjectModel& model) {
  std::string out;
  out += ProjectHeaderComment;
  out += kEol;
  // One statement per keyword, in the table's save order.
  for (int i = 0; i < ProjectWordCount; ++i)
    Statement(out, kParamTable[kSaveOrder[i]], set, params, model);
  return out;
}

std::string BuildProjectText(const Document& doc) {
  return BuildProjectText(doc.Curves, doc.Params, doc.Model);
}

}  // namespace velmora
