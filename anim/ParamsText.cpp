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
  // Then the settings in the table's order.
  for (const TParamInfo& row : ParamTable()) {
    const TParamField& f = row.Field;
    switch (f.Value) {
      case TParamValue::Curve: break;
      case TParamValue::Size:
        line(row.Keyword, FormatInt(params.ResX) + " " + FormatInt(params.ResY));
        break;
      case TParamValue::Range:
        line(row.Keyword, FormatInt(model.TimeLineMin) + " " + FormatInt(model.TimeLineMax));
        break;
      case TParamValue::Frame: line(row.Keyword, FormatInt(model.TimeLinePosition)); break;
      case TParamValue::RecordSwitch: line(row.Keyword, flag(params.*f.Switch)); break;
      case TParamValue::ModelSwitch: line(row.Keyword, flag(model.*f.ModelSwitch)); break;
      case TParamValue::ModelName:
        // Names come from the project file: shown with their control bytes escaped.
        line(row.Keyword, "\"" + ForDisplay(model.*f.ModelName) + "\"");
        break;
    }
  }
  return out;
}

}  // namespace velmora
