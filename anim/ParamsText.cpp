#include "anim/ParamsText.h"

#include "anim/CurveSet.h"
#include "anim/ParamTable.h"
#include "base/DisplayText.h"
#include "base/NumberText.h"

namespace velmora {

std::string FormatParamsListing(const TCloudFrameParams& params, const TProjectModel& model) {
  std::string out;
  auto line = [&out](const std::string& name, const std::string& value) {
    out += name;
    out += ' ';
    out += value;
    out += '\n';
  };
  auto flag = [](bool b) { return std::string(b ? "1" : "0"); };
  for (int i = 0; i < CloudCurveCount; ++i) {
    const TCloudCurveInfo& info = CloudCurveInfo(i);
    const long double v = CloudCurveField(params, i);
    line(info.Name, info.Store == TCurveStore::Real ? FormatReal(v)
                                                    : FormatInt(static_cast<long long>(v)));
  }
  line(kParamTable[psResolution].Keyword, FormatInt(params.ResX) + " " + FormatInt(params.ResY));
  line(kParamTable[psFrames].Keyword, FormatInt(model.TimeLineMin) + " " + FormatInt(model.TimeLineMax));
  line(kParamTable[psCurrentFrame].Keyword, FormatInt(model.TimeLinePosition));
  line(kParamTable[psCenterReverse].Keyword, flag(params.CenterReverse));
  line(kParamTable[psClipBrightness].Keyword, flag(params.ClipBrightness));
  line(kParamTable[psBlurDraftMode].Keyword, flag(params.BlurDraft));
  line(kParamTable[psFromCurrentFrame].Keyword, flag(model.FromCurrentFrame));
  // Names come from the project file: shown with their control bytes escaped.
  line(kParamTable[psOutputAvi].Keyword, "\"" + ForDisplay(model.OutPutFilen) + "\"");
  line(kParamTable[psOutputAlphaAvi].Keyword, "\"" + ForDisplay(model.OutPutAlpha) + "\"");
  return out;
}

}  // namespace velmora
