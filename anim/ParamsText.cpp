#include "anim/ParamsText.h"

#include "anim/CurveSet.h"
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
  line("resolution", FormatInt(params.ResX) + " " + FormatInt(params.ResY));
  line("frames", FormatInt(model.TimeLineMin) + " " + FormatInt(model.TimeLineMax));
  line("current_frame", FormatInt(model.TimeLinePosition));
  line("center_reverse", flag(params.CenterReverse));
  line("clip_brightness", flag(params.ClipBrightness));
  line("blur_draftmode", flag(params.BlurDraft));
  line("render_fromcurrentframe", flag(model.FromCurrentFrame));
  line("output_avi", "\"" + model.OutPutFilen + "\"");
  line("outputalpha_avi", "\"" + model.OutPutAlpha + "\"");
  return out;
}

}  // namespace velmora
