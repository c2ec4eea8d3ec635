// The window state that belongs to a project but lives in the main window's
// controls: the timeline (range, position, tick frequency), the texts of the
// CurFrame and MaxFrame edits, the movie output names, the FromCurrentFrame
// switch and the project file name.  The core reads and writes this plain
// model; a window mirrors it in its controls.  The hooks let the core ask the
// window to show a record or redraw, and do nothing when unset.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "render/Render.h"

namespace velmora {

struct TCloudCurveSet;

inline constexpr char NewProjectFileName[] = "新規.vlm";

struct TProjectModel {
  // The TimeLine track bar: the position always lies inside [min, max].
  int32_t TimeLineMin = 0;
  int32_t TimeLineMax = 120;
  int32_t TimeLinePosition = 0;
  int32_t TimeLineFrequency = 12;
  // Plain edits, kept in step with the timeline only by the operations that
  // say so.
  std::string CurFrame = "0";
  std::string MaxFrame = "120";
  std::string OutPutFilen;  // output_avi
  std::string OutPutAlpha;  // outputalpha_avi
  bool FromCurrentFrame = false;
  std::string ProjectFileName = NewProjectFileName;
};

// Track-bar rules: a minimum above the maximum, or a maximum below the
// minimum, is refused (false, nothing changes); otherwise the position is
// pulled into the new range.  Setting the position clamps it to the range.
bool SetTimeLineMin(TProjectModel& model, int32_t value);
bool SetTimeLineMax(TProjectModel& model, int32_t value);
void SetTimeLinePosition(TProjectModel& model, int32_t value);

struct TWindowHooks {
  std::function<void(const TCloudFrameParams&)> ShowParams;  // record -> controls
  std::function<void()> RedrawFilterPreview;                 // colour-filter diagram
  std::function<void()> RequestFullPreview;                  // PreviewDelay 0, PendingFull
  std::function<void()> DrawPreview;                         // paint the preview box
};

void CallShowParams(const TWindowHooks& hooks, const TCloudFrameParams& params);
void CallHook(const std::function<void()>& hook);

}  // namespace velmora
