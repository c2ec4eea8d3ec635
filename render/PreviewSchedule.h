// The preview debounce: control changes only mark a pending preview update;
// a 50 ms timer starts it once the changes have paused, on the third tick
// after the last change, so that a slider drag gives one render instead of
// one per step.  A pending update is full (cloud layer and everything after
// it) or filter-only (colour filter, mix and blur on the present cloud layer).
#pragma once

namespace velmora {

inline constexpr int PreviewTimerIntervalMs = 50;

enum class TPreviewRun {
  None,    // nothing to do on this tick
  Full,    // run the full preview update
  Filter,  // run the filter-only preview update
};

class TPreviewSchedule {
 public:
  // A change that needs the cloud layer re-rendered.
  void RequestFull();
  // A change of the colour filter, mix or blur only.  An update still pending
  // from a change of the cloud layer stays full, so that change is not lost.
  void RequestFilter();

  // One timer tick.  Returns the update to run now; the caller stops the
  // timer while it runs.  A change that arrives during that run (through the
  // message pump) schedules a further update instead of being swallowed.
  TPreviewRun Tick();
  // After a tick: whether it acted or found nothing pending, so that the progress
  // gauges fall back to 0 (false while the counter still runs).
  bool ResetsProgress() const { return delay_ >= kIdle; }

  int PreviewDelay() const { return delay_; }
  bool PendingFull() const { return pendingFull_; }

 private:
  static constexpr int kAct = 2;   // the tick that runs the update
  static constexpr int kIdle = 3;  // nothing pending
  int delay_ = 0;
  bool pendingFull_ = false;
};

}  // namespace velmora
