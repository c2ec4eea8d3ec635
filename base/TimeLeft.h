// The time left of long work, smoothed for display: a raw estimate from the
// fraction done jumps whenever one part of the work goes faster than another
// (0:18, 0:40, 0:05), so the shown value counts down with the clock and
// follows the raw estimate only gradually.
#pragma once

namespace velmora {

class TimeLeftEstimate {
 public:
  // How quickly the shown value follows the raw estimate: after this many
  // seconds it has moved about two thirds of the way.
  static constexpr double kFollowSeconds = 4.0;

  // The seconds left at ELAPSED seconds (never decreasing between calls)
  // with FRACTION (0 to 1) of the work done; negative while nothing is known.
  double Update(double elapsed, double fraction);

 private:
  double shown_ = -1;  // the value last returned, negative: none yet
  double at_ = 0;      // the elapsed time it was returned at
};

}  // namespace velmora
