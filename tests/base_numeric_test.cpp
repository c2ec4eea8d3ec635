#include <gtest/gtest.h>

#include <cmath>

#include "base/NumberText.h"
#include "base/Numeric.h"

using namespace velmora;

TEST(NumberText, PlainAndExponentForms) {
  EXPECT_EQ(FormatReal(0.5L), "0.5");
  EXPECT_EQ(FormatReal(1234.25L), "1234.25");
  EXPECT_EQ(FormatReal(0.0L), "0");
  EXPECT_EQ(FormatReal(-0.0L), "0");
  EXPECT_EQ(FormatReal(1.0L), "1");
  EXPECT_EQ(FormatReal(-3.0L), "-3");
  EXPECT_EQ(FormatReal(0.0001L), "0.0001");
  EXPECT_EQ(FormatReal(0.00001L), "1E-5");
  EXPECT_EQ(FormatReal(0.000025L), "2.5E-5");
  EXPECT_EQ(FormatReal(1e15L), "1E15");
  EXPECT_EQ(FormatReal(1.5e20L), "1.5E20");
  EXPECT_EQ(FormatReal(999999999999999.0L), "999999999999999");
  EXPECT_EQ(FormatReal(-0.125L), "-0.125");
}

TEST(NumberText, FifteenSignificantDigits) {
  EXPECT_EQ(FormatReal(0.1L + 0.2L), "0.3");
  EXPECT_EQ(FormatReal(1.0L / 3.0L), "0.333333333333333");
  EXPECT_EQ(FormatReal(2.0L / 3.0L), "0.666666666666667");
  // Rounding to 15 digits can carry into the next power of ten.
  EXPECT_EQ(FormatReal(999999999999999.9L), "1E15");
  EXPECT_EQ(FormatReal(0.00009999999999999999L), "0.0001");
}

TEST(NumberText, NonFinite) {
  EXPECT_EQ(FormatReal(NAN), "NAN");
  EXPECT_EQ(FormatReal(INFINITY), "INF");
  EXPECT_EQ(FormatReal(-INFINITY), "-INF");
}

TEST(NumberText, ParseRoundTripsAndRejects) {
  for (long double v : {0.5L, -1234.25L, 1e-5L, 1.5e20L, 3.0L}) {
    auto p = ParseReal(FormatReal(v));
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(*p, v);
  }
  EXPECT_EQ(*ParseReal("+2"), 2.0L);
  EXPECT_EQ(*ParseReal(".5"), 0.5L);
  EXPECT_EQ(*ParseReal("5."), 5.0L);
  EXPECT_EQ(*ParseReal("1e3"), 1000.0L);
  EXPECT_FALSE(ParseReal("").has_value());
  EXPECT_FALSE(ParseReal("1,5").has_value());
  EXPECT_FALSE(ParseReal(" 1").has_value());
  EXPECT_FALSE(ParseReal("1e").has_value());
  EXPECT_FALSE(ParseReal("inf").has_value());
  EXPECT_FALSE(ParseReal("-").has_value());
  EXPECT_TRUE(std::isinf(*ParseReal("1e99999")));
}

TEST(Numeric, RoundHalfEven) {
  EXPECT_EQ(RoundToInt32(0.5L), 0);
  EXPECT_EQ(RoundToInt32(1.5L), 2);
  EXPECT_EQ(RoundToInt32(2.5L), 2);
  EXPECT_EQ(RoundToInt32(-2.5L), -2);
  EXPECT_EQ(RoundToInt32(-0.6L), -1);
  EXPECT_EQ(RoundToInt32(4294967296.0L + 7), 7);  // low 32 bits
  EXPECT_EQ(RoundToInt32(-4294967296.0L - 7), -7);
  // Beyond the int64 range: the low bits of the exact integer.  10^20 is a
  // multiple of 2^20; 2^70 + 2^31 + 384 is exact in extended precision.
  EXPECT_EQ(RoundToInt32(1e20L) & 0xFFFFF, 0);
  EXPECT_EQ(RoundToInt32(1e20L), 1661992960);
  EXPECT_EQ(RoundToInt32(0x1p70L + 0x1p31L + 384), static_cast<int32_t>(0x80000180u));
  EXPECT_EQ(RoundToInt32(-0x1p70L - 1024), -1024);
  EXPECT_EQ(RoundToInt32(NAN), 0);
  EXPECT_EQ(RoundToInt64(NAN), 0);
  EXPECT_EQ(RoundToInt64(1e30L), INT64_MAX);
}

TEST(Numeric, RandomSequence) {
  RandomGenerator rng;
  rng.Seed(0);
  EXPECT_EQ(rng.Random(0x100000000ull - 1), 0u);  // state becomes 1
  EXPECT_EQ(rng.State(), 1u);
  rng.Seed(1);
  // state := 1 * 0x08088405 + 1
  EXPECT_EQ(rng.Random(1000), static_cast<uint32_t>((1000ull * 0x08088406ull) >> 32));
  rng.Seed(0);
  EXPECT_EQ(rng.RandomReal(), 1.0L / 4294967296.0L);
}
