#include "anim/TDivs.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>

#include "anim/Token.h"
#include "render/Ease.h"
#include "base/NumberText.h"
#include "base/Numeric.h"
#include "base/Translate.h"

namespace velmora {

namespace {

using Real = long double;

Real SignOf(Real v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// Slope of a step; a step of no width is a jump (an infinite slope) or, when
// the values are equal too, flat.  Only texts with two keys on one frame
// produce such steps.
Real StepSlope(Real dy, Real dx) {
  if (dx == 0) return dy == 0 ? 0 : std::copysign(std::numeric_limits<Real>::infinity(), dy);
  return dy / dx;
}

// The two segment searches; evaluation is written once for both.
struct IndexedSearch {
  static int32_t Find(const TDivs_Curve* c, Real x) { return FindCurveSegment(c, x); }
};
struct ScanSearch {
  static int32_t Find(const TDivs_Curve* c, Real x) { return FindCurveSegmentScan(c, x); }
};

// The segment whose right-hand key is the search's result; never below 1.  An
// x before the first key's frame can only come from out-of-order frames and
// uses the first segment.
template <class S>
int32_t SegmentAt(const TDivs_Curve* c, Real x) {
  return std::max<int32_t>(1, S::Find(c, x));
}

// The power easings of a segment.  With exponent 1 the power of |v| is |v|
// itself, so that case skips the power function and gives the same value.
Real EaseIn(Real k, Real x, Real x0, Real y0, Real x1, Real y1) {
  if (k == 1) return y0 + std::fabs(x - x0) * (y1 - y0) / std::fabs(x1 - x0);
  return PowEaseIn(k, x, x1, x0, y1, y0);
}
Real EaseOut(Real k, Real x, Real x0, Real y0, Real x1, Real y1) {
  if (k == 1) return y1 - std::fabs(x1 - x) * (y1 - y0) / std::fabs(x1 - x0);
  return PowEaseOut(k, x, x1, x0, y1, y0);
}

// Linear interpolation on the segment that holds x; a segment of no width
// gives its later key's value.
template <class S>
Real LinearAt(const TDivs_Curve* c, Real x) {
  const int32_t i = SegmentAt<S>(c, x);
  const Real x0 = c->Frames[i - 1], x1 = c->Frames[i];
  if (x0 == x1) return c->Values[i];
  return EaseIn(1, x, x0, c->Values[i - 1], x1, c->Values[i]);
}

// Mean of the linear curve over [p, q] (p < q), by its exact integral: the
// segment of a position is the first i with SearchMax[i] > position, so the
// positions of segment i form [SearchMax[i-1], SearchMax[i]) (the last
// segment also takes everything above).
Real LinearMean(const TDivs_Curve* c, Real p, Real q) {
  const int32_t n = c->Count;
  Real sum = 0;
  for (int32_t i = 1; i < n; ++i) {
    Real u = c->SearchMax[i - 1];
    Real v = i == n - 1 ? q : static_cast<Real>(c->SearchMax[i]);
    if (i == 1) u = p;
    u = std::max(u, p);
    v = std::min(v, q);
    if (v <= u) continue;
    const Real x0 = c->Frames[i - 1], x1 = c->Frames[i];
    const Real mid = (u + v) / 2;
    const Real y = x0 == x1 ? static_cast<Real>(c->Values[i])
                            : EaseIn(1, mid, x0, c->Values[i - 1], x1, c->Values[i]);
    sum += (v - u) * y;
  }
  return sum / (q - p);
}

// Box average of the linear curve around x, one sample per frame, the window
// being as wide as the segment that holds x and cut to the keys' range.
template <class S>
Real SmoothAt(const TDivs_Curve* c, Real x) {
  const int32_t i = SegmentAt<S>(c, x);
  const Real width = std::fabs(static_cast<Real>(c->Frames[i]) - c->Frames[i - 1]);
  Real a = c->Frames[0], b = c->Frames[c->Count - 1];
  if (a > b) std::swap(a, b);
  Real lo = x - width / 2;
  if (a > lo) lo = a;
  Real hi = x + width / 2;
  if (b < hi) hi = b;
  if (hi - lo > SmoothSampleLimit) return LinearMean(c, lo, lo + std::floor(hi - lo));
  // Frames so large that one frame is below their precision: the samples
  // cannot step, so the window's mean stands for them.
  if (lo + 1 == lo && hi > lo) return LinearMean(c, lo, hi);
  Real sum = 0;
  int64_t count = 0;
  for (Real pos = lo; pos <= hi;) {
    sum += LinearAt<S>(c, pos);
    ++count;
    const Real next = pos + 1;
    if (next == pos) break;
    pos = next;
  }
  return sum / static_cast<Real>(count == 0 ? 1 : count);
}

template <class S>
Real EvalMP(const TDivs_Curve* c, Real x) {
  const int32_t n = c->Count;
  const Real w = c->LinearWeight;
  const int32_t i = SegmentAt<S>(c, x);
  const Real y0 = c->Values[i - 1], y1 = c->Values[i];
  const Real x0 = c->Frames[i - 1], x1 = c->Frames[i];
  if (x == x1) return y1;
  if (x == x0) return y0;
  // Here x0 < x < x1.
  const Real lin = EaseIn(1, x, x0, y0, x1, y1);
  const Real s = (y1 - y0) / (x1 - x0);

  Real vL = lin;
  if (i > 1) {
    const Real sp = StepSlope(y0 - c->Values[i - 2], x0 - c->Frames[i - 2]);
    Real r = sp == 0 ? SlopeRatioCap : std::fabs(s) / std::fabs(sp);
    if (r > SlopeRatioCap) r = SlopeRatioCap;
    if (SignOf(s) != SignOf(sp) && sp != 0)
      vL = EaseIn(r * SlopeRatioFactor + 1, x, x0, y0, x1, y1);
    else if (std::fabs(s) > std::fabs(sp))
      vL = EaseIn(r / SlopeRatioDivisor + 1, x, x0, y0, x1, y1);
    else
      vL = EaseOut(r / SlopeRatioDivisor + 1, x, x0, y0, x1, y1);
  }

  Real vR = lin;
  if (i < n - 1) {
    const Real sn = StepSlope(c->Values[i + 1] - y1, c->Frames[i + 1] - x1);
    Real r = sn == 0 ? SlopeRatioCap : std::fabs(s) / std::fabs(sn);
    if (r > SlopeRatioCap) r = SlopeRatioCap;
    if (SignOf(s) != SignOf(sn) && sn != 0)
      vR = EaseOut(r * SlopeRatioFactor + 1, x, x0, y0, x1, y1);
    else if (std::fabs(s) < std::fabs(sn))
      vR = EaseIn(r / SlopeRatioDivisor + 1, x, x0, y0, x1, y1);
    else
      vR = EaseOut(r / SlopeRatioDivisor + 1, x, x0, y0, x1, y1);
  }

  const Real t = (1 / (x1 - x0)) * (x - x0);
  return lin * w + ((1 - t) * vL + t * vR) * (1 - w);
}

template <class S>
Real EvalBM(const TDivs_Curve* c, Real x) {
  const Real w = c->LinearWeight;
  const int32_t h = SegmentAt<S>(c, x);
  const Real y0 = c->Values[h - 1], y1 = c->Values[h];
  if (x == static_cast<Real>(c->Frames[h])) return y1;
  if (x == static_cast<Real>(c->Frames[h - 1])) return y0;
  const Real sL = SmoothAt<S>(c, c->Frames[h - 1]);
  const Real sR = SmoothAt<S>(c, c->Frames[h]);
  const Real dy = y1 - y0;
  const Real ds = sR - sL;
  const Real g = ds == 0 ? 0 : dy / ds;
  const Real lin = LinearAt<S>(c, x);
  const Real ag = std::fabs(g);
  if (ag > 1 && ag < 2) {
    const Real v = (SmoothAt<S>(c, x) - sL) * g + y0;
    return lin * w + (1 - w) * v;
  }
  return lin;
}

// A number token of the text form: not a number counts as 0; a number
// beyond the range of a double becomes the largest finite value of its sign.
// The text is read in extended precision, so the 15-digit text of a value
// near the limit (1.79769313486232E308) reads back as that value, not as 0.
double TokenReal(std::string_view token) {
  const auto v = ParseReal(token);
  if (!v) return 0;
  if (std::fabs(*v) > static_cast<long double>(DBL_MAX)) return *v < 0 ? -DBL_MAX : DBL_MAX;
  return static_cast<double>(*v);
}

void RemoveSlot(TDivs_Curve* c, int32_t i) {
  for (int32_t j = i; j < c->Count - 1; ++j) {
    c->Frames[j] = c->Frames[j + 1];
    c->Values[j] = c->Values[j + 1];
  }
  --c->Count;
}

void InsertSlot(TDivs_Curve* c, int32_t i, int32_t frame, double value) {
  for (int32_t j = c->Count; j > i; --j) {
    c->Frames[j] = c->Frames[j - 1];
    c->Values[j] = c->Values[j - 1];
  }
  c->Frames[i] = frame;
  c->Values[i] = value;
  ++c->Count;
}

template <class S>
double ValueAt(const TDivs_Curve* c, double x) {
  if (c->Count <= 0) return 0;
  if (c->Count == 1) return c->Values[0];
  if (x < c->Frames[0]) return c->Values[0];
  if (x > c->Frames[c->Count - 1]) return c->Values[c->Count - 1];
  const Real v = c->Kind == CurveKindBM ? EvalBM<S>(c, x) : EvalMP<S>(c, x);
  return static_cast<double>(v);
}

}  // namespace

TDivs_Curve* NewCurve() { return new TDivs_Curve(); }

void FreeCurve(TDivs_Curve* curve) { delete curve; }

void RebuildCurveIndex(TDivs_Curve* c) {
  double m = -std::numeric_limits<double>::infinity();
  for (int32_t i = 0; i < c->Count; ++i) {
    m = std::max(m, c->Frames[i]);
    c->SearchMax[i] = m;
  }
}

int32_t FindCurveSegmentScan(const TDivs_Curve* c, long double x) {
  for (int32_t i = 0; i < c->Count; ++i)
    if (c->Frames[i] > x) return i;
  return c->Count - 1;
}

int32_t FindCurveSegment(const TDivs_Curve* c, long double x) {
  const double* first = c->SearchMax;
  const double* last = c->SearchMax + c->Count;
  const double* it =
      std::upper_bound(first, last, x, [](long double v, double e) { return v < e; });
  if (it == last) return c->Count - 1;
  return static_cast<int32_t>(it - first);
}



double CurveValueAt(const TDivs_Curve* c, double x) { return ValueAt<IndexedSearch>(c, x); }

double CurveValueAtScan(const TDivs_Curve* c, double x) { return ValueAt<ScanSearch>(c, x); }

bool SetCurveKey(TDivs_Curve* c, int32_t frame, double value) {
  if (c->Count <= 0) {
    c->Count = 0;
    InsertSlot(c, 0, frame, value);
    RebuildCurveIndex(c);
    return true;
  }
  const long double f = frame;
  for (int32_t i = c->Count - 1; i >= 0; --i) {
    const long double r = RoundEven(c->Frames[i]);
    if (r == f) {
      c->Values[i] = value;
      return true;
    }
    if (r < f || i == 0) {
      if (c->Count >= MaxCurveKeys) return false;
      InsertSlot(c, r < f ? i + 1 : 0, frame, value);
      RebuildCurveIndex(c);
      return true;
    }
  }
  return false;  // not reached: slot 0 always decides
}

bool KeyCurveAt(TDivs_Curve* c, int32_t frame) {
  return SetCurveKey(c, frame, CurveValueAt(c, frame));
}

void DeleteCurveKey(TDivs_Curve* c, int32_t frame) {
  const long double f = frame;
  for (int32_t i = 0; i < c->Count; ++i) {
    if (RoundEven(c->Frames[i]) == f) {
      RemoveSlot(c, i);
      RebuildCurveIndex(c);
      return;
    }
  }
}

double PrevCurveKey(const TDivs_Curve* c, double x) {
  if (c->Count <= 0) return x;
  for (int32_t i = c->Count - 1; i >= 0; --i)
    if (c->Frames[i] < x) return c->Frames[i];
  return c->Frames[c->Count - 1];
}

double NextCurveKey(const TDivs_Curve* c, double x) {
  if (c->Count <= 0) return x;
  for (int32_t i = 0; i < c->Count; ++i)
    if (c->Frames[i] > x) return c->Frames[i];
  return c->Frames[0];
}

std::string CurveToText(const TDivs_Curve* c) {
  std::string out = c->Kind == CurveKindBM ? "TDiv_BM " : "TDiv_MP ";
  const int32_t n = std::max<int32_t>(0, c->Count);
  out += FormatInt(n);
  out += ' ';
  out += FormatReal(c->LinearWeight);
  out.reserve(out.size() + static_cast<size_t>(n) * 16);
  for (int32_t i = 0; i < n; ++i) {
    out += ' ';
    out += FormatReal(c->Frames[i]);
    out += ' ';
    out += FormatReal(c->Values[i]);
  }
  return out;
}

bool CurveFromText(TDivs_Curve* curve, std::string_view text, std::string* problem) {
  auto refuse = [&](std::string why) {
    if (problem) *problem = std::move(why);
    return false;
  };
  // A number token that does not parse still counts as 0, one beyond the
  // largest double as the largest of its sign; the first one is reported.
  // The 15-digit text of the largest double (what a save writes) rounds
  // past it and is read without a word.
  auto real = [&](std::string_view token) {
    if (problem && problem->empty()) {
      constexpr long double kLargestWritten = 1.79769313486232E308L;
      const auto v = ParseReal(token);
      if (!v)
        *problem = MsgFormat("'%s' is not a number (read as 0)", {token});
      else if (!(std::fabs(*v) <= kLargestWritten))
        *problem = MsgFormat("'%s' lies beyond the largest number (read as %s)",
                             {token, *v < 0 ? "-1.79769313486232E308" : "1.79769313486232E308"});
    }
    return TokenReal(token);
  };
  if (problem) problem->clear();
  TTokenReader reader = BeginTokens(text);
  std::string_view token;
  if (!NextToken(reader, token)) return refuse(Msg("an empty curve text"));
  uint8_t kind;
  if (token == "TDiv_MP")
    kind = CurveKindMP;
  else if (token == "TDiv_BM")
    kind = CurveKindBM;
  else
    return refuse(MsgFormat("unknown curve kind '%s'", {token}));
  if (!NextToken(reader, token)) return refuse(Msg("no key count"));
  const auto count = ParseInt32(token);
  if (!count || *count < 0 || *count > MaxCurveKeys)
    return refuse(MsgFormat("key count '%s' is not a whole number from 0 to %s",
                            {token, std::to_string(MaxCurveKeys)}));
  if (!NextToken(reader, token)) return refuse(Msg("no linear weight"));
  auto parsed = std::make_unique<TDivs_Curve>();
  parsed->Kind = kind;
  parsed->LinearWeight = real(token);
  parsed->Count = *count;
  for (int32_t i = 0; i < *count; ++i) {
    std::string_view frame, value;
    if (!NextToken(reader, frame) || !NextToken(reader, value))
      return refuse(MsgFormat("the text ends after %s of %s keys",
                              {std::to_string(i), std::to_string(*count)}));
    parsed->Frames[i] = real(frame);
    parsed->Values[i] = real(value);
  }
  RebuildCurveIndex(parsed.get());
  *curve = *parsed;
  return true;
}

}  // namespace velmora
