#include "anim/ProjectModel.h"

#include <algorithm>

namespace velmora {

bool SetTimeLineMin(TProjectModel& m, int32_t value) {
  if (value > m.TimeLineMax) return false;
  m.TimeLineMin = value;
  m.TimeLinePosition = std::clamp(m.TimeLinePosition, m.TimeLineMin, m.TimeLineMax);
  return true;
}

bool SetTimeLineMax(TProjectModel& m, int32_t value) {
  if (value < m.TimeLineMin) return false;
  m.TimeLineMax = value;
  m.TimeLinePosition = std::clamp(m.TimeLinePosition, m.TimeLineMin, m.TimeLineMax);
  return true;
}

void SetTimeLinePosition(TProjectModel& m, int32_t value) {
  m.TimeLinePosition = std::clamp(value, m.TimeLineMin, m.TimeLineMax);
}

void CallShowParams(const TWindowHooks& hooks, const TCloudFrameParams& params) {
  if (hooks.ShowParams) hooks.ShowParams(params);
}

void CallHook(const std::function<void()>& hook) {
  if (hook) hook();
}

}  // namespace velmora
