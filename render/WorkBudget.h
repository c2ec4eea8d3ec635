// The work budget of one frame: pixels blended by stamps, pixels of every
// full-size pass and samples taken by the blur, counted as the render goes.
// A project can ask for stamps that grow without bound, thousands of blur
// samples or a vast oversampling; the budget stops such a frame at once
// instead of letting it run for hours.  The default lies far above anything
// the window's controls produce at any output size a user would render.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

struct TCloudFrameParams;

// Pixel operations per pixel of the render size.  The window's controls give
// at most about 200 full-size cloud stamps, 400 warp stamps, a few hundred
// blur samples and some 160 full-size passes: under 2000.
inline constexpr int64_t DefaultWorkPerPixel = 20000;
// Every frame may take this much whatever its size, so small renders are
// never starved; it takes well under a second.
inline constexpr int64_t WorkFloor = 100000000;
// Oversampling up to this factor is paid for in full: the limit grows with
// the render size.  Beyond it the limit stays that of this factor, so a huge
// factor on a small picture (571 at 16 x 16 asks for gigabytes of buffers)
// is refused before anything is allocated, while 1080p at 16 still renders.
inline constexpr int32_t FreeOverSampling = 12;

struct TWorkBudget {
  long double PerPixel = 0;  // 0: no limit
  long double Limit = 0;     // PerPixel for the render size, at least WorkFloor
  long double Done = 0;
  bool Exceeded = false;
  const char* Stage = "";  // what was being counted when the limit was passed
  // Whether the frame counts as one that makes new pens: 1 yes, 0 no, -1
  // (the default) when this context's own pens decide.  A driver that renders
  // the frames of one sequence on several contexts sets it to what one
  // context would have, so that a frame passes or fails its budget the same
  // way whichever context renders it.
  int8_t NewPens = -1;

  // Fixes the limit for a render of W x H pixels made with the given
  // oversampling factor (1 for pictures shown as rendered).
  void SetRenderSize(int32_t w, int32_t h, int32_t overSampling = 1) {
    long double l = PerPixel * w * h;
    if (overSampling > FreeOverSampling) {
      const long double shrink = static_cast<long double>(FreeOverSampling) / overSampling;
      l *= shrink * shrink;
    }
    Limit = PerPixel <= 0 ? 0 : l > WorkFloor ? l : WorkFloor;
  }
  // Adds UNITS of work; false once the total passes the limit.  Called on
  // the render's own thread, once per stamp or pass (never per pixel in the
  // worker threads), so the count needs no synchronisation.
  bool Charge(long double units, const char* stage) {
    if (Exceeded) return false;
    Done += units;
    if (Limit > 0 && Done > Limit) {
      Exceeded = true;
      Stage = stage;
    }
    return !Exceeded;
  }
  // Starts the count of a new frame (the per-pixel limit stays).
  void Restart() {
    Done = 0;
    Exceeded = false;
    Stage = "";
  }
};

// One line naming the limit and the parameter values that drove the work
// past it, for the frame's output size (the record holds the render size).
std::string DescribeWorkOverrun(const TWorkBudget& budget, const TCloudFrameParams& params,
                                int32_t outW, int32_t outH);

}  // namespace velmora
