#include "render/Ease.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace velmora {

long double AbsPow(long double v, long double k) {
  const long double a = std::fabs(v);
  if (a == 0) return 0;
  return std::pow(a, k);
}

long double PowEaseIn(long double k, long double x, long double x1, long double x0,
                      long double y1, long double y0) {
  return y0 + AbsPow(x - x0, k) * (y1 - y0) / AbsPow(x1 - x0, k);
}

long double PowEaseOut(long double k, long double x, long double x1, long double x0,
                       long double y1, long double y0) {
  return PowEaseOutCurve(k, x1, x0, y1, y0).At(x);
}

long double PowEaseInOut(long double k, long double x, long double x1, long double x0,
                         long double y1, long double y0) {
  const long double xm = (x0 + x1) / 2;
  const long double ym = (y0 + y1) / 2;
  if (x >= xm) return PowEaseOut(k, x, x1, xm, y1, ym);
  return PowEaseIn(k, x, xm, x0, ym, y0);
}

long double SlopeEase(long double s, long double x, long double x1, long double x0,
                      long double y1, long double y0) {
  if (s >= 0) return PowEaseOut(s + 1, x, x1, x0, y1, y0);
  return PowEaseIn(std::fabs(s) + 1, x, x1, x0, y1, y0);
}

bool PowEaseOutCurve::SameAs(const PowEaseOutCurve& other) const {
  // Extended reals have 10 significant bytes; the rest of their storage is
  // padding.
  static_assert(std::numeric_limits<long double>::digits == 64);
  auto same = [](const long double& a, const long double& b) { return std::memcmp(&a, &b, 10) == 0; };
  return same(k_, other.k_) && same(x1_, other.x1_) && same(y1_, other.y1_) &&
         same(y0_, other.y0_) && same(den_, other.den_);
}

}  // namespace velmora
