#include "render/PreviewSchedule.h"

namespace velmora {

void TPreviewSchedule::RequestFull() {
  delay_ = 0;
  pendingFull_ = true;
}

void TPreviewSchedule::RequestFilter() {
  if (delay_ >= kIdle) pendingFull_ = false;
  delay_ = 0;
}

TPreviewRun TPreviewSchedule::Tick() {
  if (delay_ < kAct) {
    ++delay_;
    return TPreviewRun::None;
  }
  if (delay_ > kAct) return TPreviewRun::None;
  // Idle from now on; a change during the run sets the counter back to 0.
  delay_ = kIdle;
  return pendingFull_ ? TPreviewRun::Full : TPreviewRun::Filter;
}

}  // namespace velmora
