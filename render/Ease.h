// Power-law shaping curves between two points (x0, y0) and (x1, y1), used by
// the engine stages, the keyframe curves and the diagrams.  |v|^k is the
// power of the absolute value with 0^k = 0.
#pragma once

namespace velmora {

long double PowEaseIn(long double k, long double x, long double x1, long double x0,
                      long double y1, long double y0);
long double PowEaseOut(long double k, long double x, long double x1, long double x0,
                       long double y1, long double y0);
long double PowEaseInOut(long double k, long double x, long double x1, long double x0,
                         long double y1, long double y0);
// Slope 0 is linear; s > 0 eases out with power s + 1, s < 0 eases in with |s| + 1.
long double SlopeEase(long double s, long double x, long double x1, long double x0,
                      long double y1, long double y0);
// |v|^k with 0^k = 0.
long double AbsPow(long double v, long double k);

// PowEaseOut(k, x, x1, x0, y1, y0) for many x with the rest fixed: the
// power of x1 - x0 is computed once (the same value each call would get).
class PowEaseOutCurve {
 public:
  PowEaseOutCurve(long double k, long double x1, long double x0, long double y1, long double y0)
      : k_(k), x1_(x1), y1_(y1), y0_(y0), den_(AbsPow(x1 - x0, k)) {}
  long double At(long double x) const { return y1_ - AbsPow(x1_ - x, k_) * (y1_ - y0_) / den_; }
  // The same curve, its numbers bit for bit (so At gives the same values).
  bool SameAs(const PowEaseOutCurve& other) const;

 private:
  long double k_, x1_, y1_, y0_, den_;
};

}  // namespace velmora
