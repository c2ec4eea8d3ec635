#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include "anim/TDivs.h"
#include "anim/Token.h"

using namespace velmora;

namespace {

struct CurveDeleter {
  void operator()(TDivs_Curve* c) const { FreeCurve(c); }
};
using Curve = std::unique_ptr<TDivs_Curve, CurveDeleter>;

Curve Make(const std::string& text) {
  Curve c(NewCurve());
  EXPECT_TRUE(CurveFromText(c.get(), text)) << text;
  return c;
}

Curve Keys(std::initializer_list<std::pair<int, double>> keys, uint8_t kind = CurveKindMP,
           double weight = 0) {
  Curve c(NewCurve());
  for (auto [f, v] : keys) EXPECT_TRUE(SetCurveKey(c.get(), f, v));
  c->Kind = kind;
  c->LinearWeight = weight;
  return c;
}

}  // namespace

TEST(Curve, EmptyAndSingleKey) {
  Curve c(NewCurve());
  EXPECT_EQ(c->Kind, CurveKindMP);
  EXPECT_EQ(c->Count, 0);
  EXPECT_EQ(c->LinearWeight, 0);
  for (double x : {-5.0, 0.0, 7.5, 1e9}) EXPECT_EQ(CurveValueAt(c.get(), x), 0);
  SetCurveKey(c.get(), 30, 4.25);
  for (double x : {-5.0, 0.0, 30.0, 1e9}) EXPECT_EQ(CurveValueAt(c.get(), x), 4.25);
}

TEST(Curve, WorkedExampleMP) {
  auto c = Keys({{0, 0}, {10, 10}, {20, 0}});
  EXPECT_EQ(CurveValueAt(c.get(), 5), 6.25);
  EXPECT_EQ(CurveValueAt(c.get(), 15), 6.25);
  // The linear weight blends the shaped value with the linear one.
  c->LinearWeight = 0.5;
  EXPECT_EQ(CurveValueAt(c.get(), 5), 0.5 * 5 + 0.5 * 6.25);
  c->LinearWeight = 1;
  EXPECT_EQ(CurveValueAt(c.get(), 5), 5);
  EXPECT_EQ(CurveValueAt(c.get(), 15), 5);
}

TEST(Curve, ConstantOutsideAndExactAtKeysForBothKinds) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> val(-1000, 1000);
  for (uint8_t kind : {CurveKindMP, CurveKindBM}) {
    for (double w : {0.0, 0.3, 1.0, -2.5, 1e10}) {
      Curve c(NewCurve());
      int f = -40;
      for (int i = 0; i < 30; ++i) {
        f += 1 + static_cast<int>(rng() % 17);
        SetCurveKey(c.get(), f, val(rng));
      }
      c->Kind = kind;
      c->LinearWeight = w;
      for (int i = 0; i < c->Count; ++i)
        EXPECT_EQ(CurveValueAt(c.get(), c->Frames[i]), c->Values[i]) << int(kind) << " " << w;
      EXPECT_EQ(CurveValueAt(c.get(), c->Frames[0] - 0.5), c->Values[0]);
      EXPECT_EQ(CurveValueAt(c.get(), c->Frames[c->Count - 1] + 100), c->Values[c->Count - 1]);
      for (double x = c->Frames[0]; x <= c->Frames[c->Count - 1]; x += 0.37)
        EXPECT_TRUE(std::isfinite(CurveValueAt(c.get(), x)));
    }
  }
}

TEST(Curve, LinearCasesAndShapedRange) {
  // MP with two keys, and either kind with weight 1, interpolate linearly.
  auto two = Keys({{10, 2}, {30, 12}});
  EXPECT_DOUBLE_EQ(CurveValueAt(two.get(), 15), 4.5);
  auto bm = Keys({{0, 0}, {10, 10}, {20, 0}, {25, 7}}, CurveKindBM, 1);
  EXPECT_DOUBLE_EQ(CurveValueAt(bm.get(), 22.5), 3.5);
  EXPECT_DOUBLE_EQ(CurveValueAt(bm.get(), 12), 8);
  // Shaped MP values stay between the segment's keys.
  auto c = Keys({{0, 0}, {3, 9}, {9, 10}, {12, -4}, {20, -5}});
  for (double x = 0; x <= 20; x += 0.25) {
    const int i = FindCurveSegment(c.get(), x);
    const double lo = std::min(c->Values[i - 1], c->Values[i]);
    const double hi = std::max(c->Values[i - 1], c->Values[i]);
    const double v = CurveValueAt(c.get(), x);
    EXPECT_GE(v, lo) << x;
    EXPECT_LE(v, hi) << x;
  }
}

TEST(Curve, BoxSmoothedKind) {
  // Keys on a line: the box average at frame 5 is 5, at the keys 2.5 and 10,
  // so the rescale factor is 10 / 7.5 and the value (5 - 2.5) * 4 / 3.
  auto c = Keys({{0, 0}, {10, 10}, {20, 20}}, CurveKindBM);
  EXPECT_NEAR(CurveValueAt(c.get(), 5), 10.0 / 3.0, 1e-12);
  // A rescale factor of 2 or more falls back to the linear value.
  auto peak = Keys({{0, 0}, {10, 10}, {20, 0}}, CurveKindBM);
  EXPECT_DOUBLE_EQ(CurveValueAt(peak.get(), 5), 5);
}

TEST(Curve, IndexedEvaluationIsIdenticalToScan) {
  std::mt19937 rng(5);
  for (int round = 0; round < 100; ++round) {
    Curve c(NewCurve());
    const int n = 2 + static_cast<int>(rng() % 30);
    std::string text = std::string(round % 2 ? "TDiv_BM " : "TDiv_MP ") + std::to_string(n) + " 0.25";
    int f = 0;
    for (int i = 0; i < n; ++i) {
      f += static_cast<int>(rng() % 9) - (round % 3 == 0 ? 3 : 0);  // every third curve out of order
      text += " " + std::to_string(f) + " " + std::to_string(static_cast<int>(rng() % 100));
    }
    ASSERT_TRUE(CurveFromText(c.get(), text));
    for (double x = -20; x <= 250; x += 0.25) {
      const double a = CurveValueAt(c.get(), x), b = CurveValueAtScan(c.get(), x);
      ASSERT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << text << " at " << x;
      ASSERT_FALSE(std::isnan(a)) << text << " at " << x;
    }
  }
}

TEST(Curve, TwoKeysOnOneFrame) {
  // The later key gives the value at the shared frame; nothing is NaN.
  for (const char* text : {"TDiv_MP 3 0 0 0 10 5 10 9", "TDiv_BM 3 0.5 0 0 10 5 10 9",
                           "TDiv_MP 4 0 0 0 10 5 10 5 20 0", "TDiv_BM 4 0 0 0 10 5 10 5 20 0",
                           "TDiv_MP 5 0 0 1 10 3 10 8 10 8 30 2", "TDiv_BM 4 0 0 1 0 1 0 7 30 2",
                           "TDiv_MP 4 0 0 0 20 6 10 9 30 1", "TDiv_BM 4 0 0 0 20 6 10 9 30 1"}) {
    auto c = Make(text);
    for (double x = -3; x <= 33; x += 0.5)
      EXPECT_TRUE(std::isfinite(CurveValueAt(c.get(), x))) << text << " at " << x;
  }
  EXPECT_EQ(CurveValueAt(Make("TDiv_MP 3 0 0 0 10 5 10 9").get(), 10), 9);
  EXPECT_EQ(CurveValueAt(Make("TDiv_MP 4 0 0 0 10 5 10 9 20 0").get(), 10), 9);
}

TEST(Curve, WideBoxWindowsUseTheMeanOfTheLinearCurve) {
  // Beyond the sample limit the box average is the mean of the linear curve
  // over the window, the limit of the one-frame samples.
  auto line = Make("TDiv_BM 3 0 0 0 1E9 1E9 2E9 2E9");
  // Box averages 2.5E8 and 1E9 at the keys, 5E8 at 5E8: (5E8 - 2.5E8) * 4 / 3.
  EXPECT_NEAR(CurveValueAt(line.get(), 5e8), 2.5e8 * 4 / 3, 1e-3);
}

TEST(CurveKeys, SetReplacesOrInsertsInFrameOrder) {
  auto c = Keys({{10, 1}, {30, 3}});
  EXPECT_TRUE(SetCurveKey(c.get(), 20, 2));
  EXPECT_TRUE(SetCurveKey(c.get(), -5, 0));
  EXPECT_TRUE(SetCurveKey(c.get(), 40, 4));
  EXPECT_TRUE(SetCurveKey(c.get(), 20, 2.5));
  ASSERT_EQ(c->Count, 5);
  const double frames[] = {-5, 10, 20, 30, 40}, values[] = {0, 1, 2.5, 3, 4};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(c->Frames[i], frames[i]);
    EXPECT_EQ(c->Values[i], values[i]);
  }
  // A stored fractional frame is matched by rounding, half to even; the frame stays.
  auto f = Make("TDiv_MP 2 0 2.5 1 3.5 2");
  SetCurveKey(f.get(), 2, 7);
  SetCurveKey(f.get(), 4, 8);
  EXPECT_EQ(CurveToText(f.get()), "TDiv_MP 2 0 2.5 7 3.5 8");
}

TEST(CurveKeys, CapacityIs1023) {
  Curve c(NewCurve());
  for (int i = 0; i < MaxCurveKeys; ++i) ASSERT_TRUE(SetCurveKey(c.get(), i * 2, i));
  const std::string before = CurveToText(c.get());
  EXPECT_FALSE(SetCurveKey(c.get(), 1, 5));    // new frame inside
  EXPECT_FALSE(SetCurveKey(c.get(), -1, 5));   // new frame before the first
  EXPECT_FALSE(SetCurveKey(c.get(), 5000, 5)); // new frame after the last
  EXPECT_FALSE(KeyCurveAt(c.get(), 3));
  EXPECT_EQ(CurveToText(c.get()), before);
  EXPECT_TRUE(SetCurveKey(c.get(), 10, -1));   // replacing still works
  EXPECT_EQ(c->Count, MaxCurveKeys);
  EXPECT_EQ(c->Values[5], -1);
}

TEST(CurveKeys, KeyAtFixesPresentValue) {
  auto c = Keys({{0, 0}, {10, 10}, {20, 0}});
  EXPECT_TRUE(KeyCurveAt(c.get(), 5));
  EXPECT_EQ(c->Count, 4);
  EXPECT_EQ(c->Frames[1], 5);
  EXPECT_EQ(c->Values[1], 6.25);
  EXPECT_TRUE(KeyCurveAt(c.get(), 10));  // existing key keeps its value
  EXPECT_EQ(c->Count, 4);
  EXPECT_EQ(c->Values[2], 10);
}

TEST(CurveKeys, DeleteMatchesRoundedFrame) {
  auto c = Make("TDiv_MP 4 0 1 10 2.5 20 3.5 30 7 40");
  DeleteCurveKey(c.get(), 5);
  EXPECT_EQ(c->Count, 4);
  DeleteCurveKey(c.get(), 2);  // 2.5 rounds to 2
  EXPECT_EQ(CurveToText(c.get()), "TDiv_MP 3 0 1 10 3.5 30 7 40");
  DeleteCurveKey(c.get(), 4);  // 3.5 rounds to 4
  EXPECT_EQ(CurveToText(c.get()), "TDiv_MP 2 0 1 10 7 40");
  // Only the first matching key goes.
  auto d = Make("TDiv_MP 3 0 5 1 5 2 9 3");
  DeleteCurveKey(d.get(), 5);
  EXPECT_EQ(CurveToText(d.get()), "TDiv_MP 2 0 5 2 9 3");
  DeleteCurveKey(d.get(), 5);
  DeleteCurveKey(d.get(), 9);
  EXPECT_EQ(d->Count, 0);
  EXPECT_EQ(CurveValueAt(d.get(), 9), 0);
}

TEST(CurveKeys, PrevAndNextWrapAround) {
  auto c = Keys({{0, 0}, {10, 1}, {40, 2}});
  EXPECT_EQ(PrevCurveKey(c.get(), 25), 10);
  EXPECT_EQ(PrevCurveKey(c.get(), 10), 0);
  EXPECT_EQ(PrevCurveKey(c.get(), 0), 40);
  EXPECT_EQ(PrevCurveKey(c.get(), -3), 40);
  EXPECT_EQ(NextCurveKey(c.get(), 25), 40);
  EXPECT_EQ(NextCurveKey(c.get(), 10), 40);
  EXPECT_EQ(NextCurveKey(c.get(), 40), 0);
  EXPECT_EQ(NextCurveKey(c.get(), 99), 0);
  Curve empty(NewCurve());
  EXPECT_EQ(PrevCurveKey(empty.get(), 12), 12);
  EXPECT_EQ(NextCurveKey(empty.get(), 12), 12);
}

TEST(CurveText, WriterForm) {
  auto c = Keys({{0, 0.5}, {60, 1}});
  EXPECT_EQ(CurveToText(c.get()), "TDiv_MP 2 0 0 0.5 60 1");
  Curve e(NewCurve());
  EXPECT_EQ(CurveToText(e.get()), "TDiv_MP 0 0");
  auto b = Keys({{-3, 1e-5}, {7, 1.5e20}}, CurveKindBM, 0.25);
  EXPECT_EQ(CurveToText(b.get()), "TDiv_BM 2 0.25 -3 1E-5 7 1.5E20");
}

TEST(CurveText, RoundTripsFromNoKeysToFull) {
  std::mt19937 rng(3);
  for (int n : {0, 1, 2, 17, 1022, 1023}) {
    for (uint8_t kind : {CurveKindMP, CurveKindBM}) {
      Curve c(NewCurve());
      c->Kind = kind;
      c->LinearWeight = n % 2 ? 0.125 : 0.7;
      for (int i = 0; i < n; ++i)  // values with at most 15 significant digits
        SetCurveKey(c.get(), i * 3 - 100, static_cast<double>(static_cast<int>(rng() % 2000001) - 1000000) / 1000);
      const std::string text = CurveToText(c.get());
      Curve back = Make("TDiv_MP 1 0 0 0");  // previous content is replaced whole
      ASSERT_TRUE(CurveFromText(back.get(), text)) << n;
      EXPECT_EQ(back->Kind, kind);
      EXPECT_EQ(back->LinearWeight, c->LinearWeight);
      ASSERT_EQ(back->Count, n);
      for (int i = 0; i < n; ++i) {
        EXPECT_EQ(back->Frames[i], c->Frames[i]);
        EXPECT_EQ(back->Values[i], c->Values[i]);
      }
      EXPECT_EQ(CurveToText(back.get()), text);
    }
  }
  // Full-precision values come back to 15 significant digits: the text is stable.
  Curve r(NewCurve());
  std::uniform_real_distribution<double> val(-1e6, 1e6);
  for (int i = 0; i < 100; ++i) SetCurveKey(r.get(), i, val(rng) / 7);
  Curve back(NewCurve());
  ASSERT_TRUE(CurveFromText(back.get(), CurveToText(r.get())));
  EXPECT_EQ(CurveToText(back.get()), CurveToText(r.get()));
  for (int i = 0; i < 100; ++i) EXPECT_NEAR(back->Values[i], r->Values[i], std::fabs(r->Values[i]) * 1e-14);
}

TEST(CurveText, ExtremeValuesReadBackAndResaveIdentically) {
  const double extremes[] = {DBL_MAX, -DBL_MAX, 1.797693134862315e308, DBL_MIN, -DBL_MIN,
                             std::numeric_limits<double>::denorm_min(), -1e-320, 1e-5, 1e15};
  Curve c(NewCurve());
  for (int i = 0; i < 9; ++i) SetCurveKey(c.get(), i, extremes[i]);
  Curve once(NewCurve()), twice(NewCurve());
  std::string problem;
  ASSERT_TRUE(CurveFromText(once.get(), CurveToText(c.get()), &problem));
  EXPECT_EQ(problem, "") << "our own 15-digit text of the largest double";
  ASSERT_TRUE(CurveFromText(twice.get(), CurveToText(once.get()), &problem));
  EXPECT_EQ(problem, "");
  // Beyond what a resave writes: read as the largest value, and said so.
  ASSERT_TRUE(CurveFromText(twice.get(), "TDiv_MP 1 0 0 -1E400", &problem));
  EXPECT_EQ(problem, "'-1E400' lies beyond the largest number (read as -1.79769313486232E308)");
  ASSERT_TRUE(CurveFromText(twice.get(), CurveToText(once.get())));
  EXPECT_EQ(CurveToText(twice.get()), CurveToText(once.get()));
  EXPECT_EQ(once->Values[0], DBL_MAX);
  EXPECT_EQ(once->Values[1], -DBL_MAX);
  EXPECT_EQ(once->Values[5], std::numeric_limits<double>::denorm_min());
  for (int i = 0; i < 9; ++i)
    EXPECT_NEAR(once->Values[i], extremes[i], std::fabs(extremes[i]) * 1e-14) << i;
}

TEST(CurveText, RefusedTextsLeaveTheCurveUnchanged) {
  auto c = Keys({{0, 1}, {5, 2}});
  const std::string before = CurveToText(c.get());
  std::string over = "TDiv_MP 1024 0";
  for (int i = 0; i < 1024; ++i) over += " 1 1";
  for (const std::string& bad :
       {std::string(""), std::string("   "), std::string("tdiv_mp 1 0 0 0"), std::string("TDiv_XX 1 0 0 0"),
        std::string("TDiv_MP"), std::string("TDiv_MP 1"), std::string("TDiv_MP 1 0 5"),
        std::string("TDiv_MP 2 0 0 1 5"), std::string("TDiv_MP x 0 0 0"), std::string("TDiv_MP 1.0 0 0 0"),
        std::string("TDiv_MP -1 0"), std::string("TDiv_MP 99999999999 0"), std::string("TDiv_MP  =1 0 0 0"),
        over}) {
    EXPECT_FALSE(CurveFromText(c.get(), bad)) << bad.substr(0, 40);
    EXPECT_EQ(CurveToText(c.get()), before);
  }
}

TEST(CurveText, ReaderTokenRules) {
  // "=" separates like a blank; a "=" right after a separator is an empty token (0).
  EXPECT_EQ(CurveToText(Make("TDiv_MP=1=0=5=7").get()), "TDiv_MP 1 0 5 7");
  EXPECT_EQ(CurveToText(Make("TDiv_MP 1 0 =5 7").get()), "TDiv_MP 1 0 0 5");
  // Surrounding and inner white space of any control code, trailing tokens ignored.
  EXPECT_EQ(CurveToText(Make("\t\r\n TDiv_BM\t2 \n0.5  1 2 3 4 extra tokens \r\n").get()),
            "TDiv_BM 2 0.5 1 2 3 4");
  // Words count as 0; numbers beyond a double as the largest of their sign.
  EXPECT_EQ(CurveToText(Make("TDiv_MP 3 w x 1 1E400 2 -1E9999 5").get()),
            "TDiv_MP 3 0 0 1 1.79769313486232E308 2 -1.79769313486232E308 5");
  EXPECT_EQ(CurveToText(Make("TDiv_MP 1 0 -1E-5 +2.5").get()), "TDiv_MP 1 0 -1E-5 2.5");
  // A count of 0 is the text of an emptied curve and reads back.
  auto c = Keys({{0, 1}});
  EXPECT_TRUE(CurveFromText(c.get(), "TDiv_BM 0 0.5"));
  EXPECT_EQ(c->Count, 0);
  EXPECT_EQ(c->Kind, CurveKindBM);
  EXPECT_EQ(c->LinearWeight, 0.5);
  // Bytes above 127 are ordinary token characters.
  EXPECT_FALSE(CurveFromText(c.get(), "TDiv_MP\xE3\x80\x80" "1 0 0 0"));
}

TEST(Token, ReaderAndIntegers) {
  TTokenReader r = BeginTokens("  a =b==c  ");
  std::string_view t;
  std::vector<std::string> got;
  while (NextToken(r, t)) got.emplace_back(t);
  EXPECT_EQ(got, (std::vector<std::string>{"a", "", "b", "", "c"}));
  EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInt32("+12"), 12);
  EXPECT_FALSE(ParseInt32("2147483648"));
  EXPECT_FALSE(ParseInt32("12a"));
  EXPECT_FALSE(ParseInt32("-"));
  EXPECT_FALSE(ParseInt32(""));
}

TEST(Curve, ExtremeNumbersEvaluateWithoutFault) {
  // Frames and values from hostile texts: huge, tiny, negative, repeated, out
  // of order.  Evaluation must finish without undefined behaviour; finite
  // frames with finite weights give no NaN.
  const char* numbers[] = {"0", "1", "-1", "1E300", "-1E300", "1.7E308", "4.9E-324", "1E-300",
                           "2147483647", "-2147483648", "1E20", "0.5", "3", "3"};
  std::mt19937 rng(99);
  for (int round = 0; round < 400; ++round) {
    const int n = 1 + static_cast<int>(rng() % 6);
    std::string text = std::string(round % 2 ? "TDiv_BM " : "TDiv_MP ") + std::to_string(n) + " " +
                       numbers[rng() % 3];
    for (int i = 0; i < 2 * n; ++i) text += std::string(" ") + numbers[rng() % std::size(numbers)];
    auto c = Make(text);
    for (double x : {-2147483648.0, -1.0, 0.0, 0.5, 1.0, 3.0, 2147483647.0, 1e20, 1e300}) {
      const double v = CurveValueAt(c.get(), x);
      EXPECT_FALSE(std::isnan(v)) << text << " at " << x;
    }
  }
}
