#include "project/ProjectText.h"

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

}  // namespace

std::string BuildProjectText(const TCloudCurveSet* set, const TCloudFrameParams& params,
                             const TProjectModel& model) {
  std::string out;
  out += ProjectHeaderComment;
  out += kEol;
  // The curves up to blur_curve that have a keyword of their own, in set
  // order; the position curves (25..30) are written as pairs further down.
  for (int i = ccSeed; i <= ccWY; ++i) CurveLine(out, set, i);
  for (int i : {ccBlurRadius, ccBlurSamples, ccBlurCurve}) CurveLine(out, set, i);

  QuotedCurve(out, set, ccBlurRotX);
  out += kEol;
  QuotedCurve(out, set, ccBlurRotY);
  out += kEol;
  CurveLine(out, set, ccBlurRotZ);

  for (int x : {ccCloudX, ccWarp1X, ccWarp2X}) {
    QuotedCurve(out, set, x);
    out += kEol;
    CurveLine(out, set, x + 1);
  }

  out += FormatInt(params.ResX) + " " + FormatInt(params.ResY) + " " + kParamTable[psResolution].Keyword + kEol;
  CurveLine(out, set, ccOverSampling);
  out += FormatInt(model.TimeLineMin) + " " + FormatInt(model.TimeLineMax) + " " + kParamTable[psFrames].Keyword + kEol;
  out += FormatInt(model.TimeLinePosition) + " " + kParamTable[psCurrentFrame].Keyword + kEol;
  NameLine(out, model.OutPutFilen, kParamTable[psOutputAvi].Keyword);
  NameLine(out, model.OutPutAlpha, kParamTable[psOutputAlphaAvi].Keyword);

  SwitchLine(out, params.CenterReverse, kParamTable[psCenterReverse].Keyword);
  SwitchLine(out, params.ClipBrightness, kParamTable[psClipBrightness].Keyword);
  SwitchLine(out, params.BlurDraft, kParamTable[psBlurDraftMode].Keyword);
  SwitchLine(out, model.FromCurrentFrame, kParamTable[psFromCurrentFrame].Keyword);
  return out;
}

std::string BuildProjectText(const Document& doc) {
  return BuildProjectText(doc.Curves, doc.Params, doc.Model);
}

}  // namespace velmora
