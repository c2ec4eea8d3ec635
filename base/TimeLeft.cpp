#include "base/TimeLeft.h"

#include <algorithm>
#include <cmath>

namespace velmora {

double TimeLeftEstimate::Update(double elapsed, double fraction) {
  const double step = std::max(0.0, elapsed - at_);
  // Between estimates the time left runs down with the clock.
  const double predicted = shown_ < 0 ? -1 : std::max(0.0, shown_ - step);
  if (!(fraction > 0)) return predicted;
  if (fraction >= 1) {
    shown_ = 0;
  } else {
    const double raw = elapsed / fraction - elapsed;
    if (shown_ < 0) {
      shown_ = raw;
    } else {
      const double follow = 1 - std::exp(-step / kFollowSeconds);
      shown_ = predicted + follow * (raw - predicted);
    }
  }
  at_ = elapsed;
  return shown_;
}

}  // namespace velmora
