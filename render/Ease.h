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

}  // namespace velmora
