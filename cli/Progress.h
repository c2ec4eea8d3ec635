// Progress of long work on stderr.  On a terminal: one bar redrawn in place
// with the frames done of the total, the current frame's own progress and the
// time left estimated from the frames so far.  Elsewhere (a log file, a
// pipe): a line at every tenth of the frames, so logs show progress.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "base/TimeLeft.h"
#include "render/RenderContext.h"

namespace velmora::cli {

// "m:ss", or "h:mm:ss" from an hour on.
std::string Duration(double seconds);

class ProgressBar {
 public:
  enum class Mode { Bar, Lines, Off };
  // CTX: the render whose frame progress the bar follows.  DELAY: the bar is
  // first drawn only once the work has taken that long.
  ProgressBar(const RenderContext& ctx, Mode mode, std::chrono::milliseconds delay = {});
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // One picture: the bar shows the frame's own progress only.
  void Still() { still_ = true; }
  // FRAMES done of TOTAL.
  void Frames(int32_t done, int32_t total);
  // Redraws the bar at most every 100 ms.
  void Tick();
  // Ticks from a thread of its own every 100 ms until Finish, running EACH
  // there first: the render never calls the bar, the bar reads the
  // context's progress values (atomics) from outside.
  void StartTicking(std::function<void()> each = {});
  // A note on a line of its own above the bar (which stays within 80
  // columns); elsewhere the note is not shown.
  void Note(const std::string& text);
  // Ends the bar's line.
  void Finish();

  // The line written at each tenth in Lines mode.
  static std::string LogLine(int32_t done, int32_t total, double elapsed);

 private:
  using Clock = std::chrono::steady_clock;

  void Draw(bool force);  // with mutex_ held
  void StopTicking();

  const RenderContext& ctx_;
  Mode mode_;
  Clock::time_point start_;
  std::chrono::milliseconds delay_;
  Clock::time_point last_{};
  int32_t done_ = 0;
  int32_t total_ = 0;
  int32_t tenthsLogged_ = 0;
  TimeLeftEstimate left_;
  bool drawn_ = false;
  bool still_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopTicking_ = false;
  std::thread ticker_;
};

}  // namespace velmora::cli
