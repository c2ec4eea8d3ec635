#include <gtest/gtest.h>

#include "anim/FormBinding.h"
#include "anim_test_state.h"

using namespace velmora;

namespace {

using testing_anim::State;

// Every curve's text, to see which keys a read wrote.
std::vector<std::string> CurveTexts(const TCloudCurveSet* set) {
  std::vector<std::string> texts;
  for (int i = 0; i < CloudCurveCount; ++i) texts.push_back(CurveToText(set->Curves[i]));
  return texts;
}

}  // namespace

TEST(FormBinding, ScalesColoursAndTexts) {
  const TTrackBarScale complex = TrackBarOf(ccComplex), warp = TrackBarOf(ccWX);
  EXPECT_EQ(complex.Min, 1);
  EXPECT_EQ(complex.Max, 200);
  EXPECT_EQ(warp.Min, -100);
  EXPECT_EQ(TrackBarOf(ccSlopeB).Scale, 10);
  EXPECT_EQ(TrackBarOf(ccBlurCurve).Max, 100);
  EXPECT_EQ(TrackBarPosition(TrackBarOf(ccBrightness), 1.0L / 3), 33);
  EXPECT_EQ(TrackBarPosition(TrackBarOf(ccComplex), 0.0025L), 1);  // 0.5 rounds to 0, clamped to 1
  EXPECT_EQ(TrackBarPosition(TrackBarOf(ccWX), -8), -40);
  EXPECT_EQ(TrackBarPosition(TrackBarOf(ccWX), 30), 100);  // beyond the bar: its end
  EXPECT_EQ(TrackBarPosition(TrackBarOf(ccSlopeR), 0.25L), 2);
  EXPECT_EQ(TrackBarValue(TrackBarOf(ccWX), -41), -8.2L);
  EXPECT_EQ(TrackBarValue(TrackBarOf(ccSlopeR), 7), 0.7L);
  EXPECT_EQ(PanelColour({1, 2, 3, 9}), 0x030201u);
  ColorRGBA c{0, 0, 0, 77};
  SetFromPanelColour(c, 0x00A0B0C0);
  EXPECT_EQ(c.r, 0xC0);
  EXPECT_EQ(c.g, 0xB0);
  EXPECT_EQ(c.b, 0xA0);
  EXPECT_EQ(c.a, 77);
  EXPECT_EQ(AlphaBarPosition(255), 0);
  EXPECT_EQ(AlphaFromBar(55), 200);
  EXPECT_EQ(ParseIntegerText(" -12 "), -12);
  EXPECT_EQ(ParseIntegerText("+7"), 7);
  for (const char* bad : {"12a", "", "1.5", "2147483648", "+-1", "- 1"})
    EXPECT_FALSE(ParseIntegerText(bad)) << bad;
  EXPECT_EQ(ParseRealText(" 1.25 "), 1.25L);
  EXPECT_FALSE(ParseRealText("1,5"));
}

TEST(FormBinding, NewProjectRoundTripWritesNoKey) {
  State s;
  TFormState form;
  ShowParamsInForm(s.params, form);
  EXPECT_EQ(form.Seed, "65536");
  EXPECT_EQ(form.Complex, 100);
  EXPECT_EQ(form.WX, -40);
  EXPECT_EQ(form.EndColor, 0xFFFFFFu);
  EXPECT_EQ(form.StartColorAlpha, 0);
  EXPECT_EQ(form.BlurSamples, "32");
  EXPECT_EQ(form.cx, "0");
  const auto before = CurveTexts(s.set);
  TCloudFrameParams back;
  ASSERT_TRUE(ReadParams(form, back, s.set, 0, true, true, false, nullptr));
  EXPECT_EQ(CurveTexts(s.set), before);
  for (int i = 0; i < CloudCurveCount; ++i)
    EXPECT_EQ(CloudCurveField(back, i), CloudCurveField(s.params, i)) << i;
  EXPECT_EQ(back.ResX, 512);
  EXPECT_TRUE(back.BlurDraft);
  EXPECT_EQ(back.UnderTexture, 0);
  // Unknown pile modes and layer orders leave the buttons alone.
  form.PileMode = 2;
  form.Upper = false;
  back.PileMode = 7;
  back.UnderTexture = 5;
  ShowParamsInForm(back, form);
  EXPECT_EQ(form.PileMode, 2);
  EXPECT_FALSE(form.Upper);
}

TEST(FormBinding, KeyingBetweenKeysTakesTheQuantisedValue) {
  State s;
  ASSERT_TRUE(CurveFromText(s.curve(ccBrightness), "TDiv_MP 2 0 0 0 3 1"));
  EvalCurveSet(s.set, s.params, 1);
  TFormState form;
  ShowParamsInForm(s.params, form);
  EXPECT_EQ(form.Brightness, 33);
  // A click on the centre-reverse box at frame 1 keys brightness 0.33 only.
  const auto before = CurveTexts(s.set);
  form.CenterReverse = true;
  ASSERT_TRUE(ReadParams(form, s.params, s.set, 1, true, true, false, nullptr));
  auto after = CurveTexts(s.set);
  EXPECT_EQ(after[ccBrightness], "TDiv_MP 3 0 0 0 1 0.33 3 1");
  after[ccBrightness] = before[ccBrightness];
  EXPECT_EQ(after, before);
  // At frame 0 the same read writes nothing; nor during a render or a preview.
  EvalCurveSet(s.set, s.params, 0);
  ShowParamsInForm(s.params, form);
  form.CenterReverse = false;
  ASSERT_TRUE(ReadParams(form, s.params, s.set, 0, true, true, false, nullptr));
  form.Brightness = 50;
  ASSERT_TRUE(ReadParams(form, s.params, s.set, 0, true, false, false, nullptr));
  ASSERT_TRUE(ReadParams(form, s.params, s.set, 0, true, true, true, nullptr));
  ASSERT_TRUE(ReadParams(form, s.params, s.set, 0, false, true, false, nullptr));
  EXPECT_EQ(CurveTexts(s.set)[ccBrightness], "TDiv_MP 3 0 0 0 1 0.33 3 1");
  EXPECT_EQ(s.params.Brightness, 0.5L);
  // Sample counts compare as integers: 32.4 keys nothing, 33 keys 33.
  form.Brightness = 0;
  form.BlurSamples = "32.4";
  ASSERT_TRUE(ReadParams(form, s.params, s.set, 0, true, true, false, nullptr));
  EXPECT_EQ(CurveTexts(s.set)[ccBlurSamples], before[ccBlurSamples]);
  form.BlurSamples = "33";
  ASSERT_TRUE(ReadParams(form, s.params, s.set, 0, true, true, false, nullptr));
  EXPECT_EQ(CurveValueAt(s.curve(ccBlurSamples), 0), 33);
}

TEST(FormBinding, ConversionErrorStopsTheReadAtItsControl) {
  State s;
  TFormState form;
  ShowParamsInForm(s.params, form);
  form.ResX = "640";
  form.Seed = "12a";
  form.Brightness = 10;
  const auto before = CurveTexts(s.set);
  TFormReadError err;
  EXPECT_FALSE(ReadParams(form, s.params, s.set, 0, true, true, false, &err));
  EXPECT_STREQ(err.Control, "Seed");
  EXPECT_EQ(err.Text, "12a");
  EXPECT_TRUE(err.Integer);
  EXPECT_EQ(s.params.ResX, 640);        // read before the seed
  EXPECT_EQ(s.params.Seed, 65536);      // unchanged
  EXPECT_EQ(s.params.Brightness, 1.0L);  // after it: unchanged
  EXPECT_EQ(CurveTexts(s.set), before);

  form.Seed = "1";
  form.BlurRotY = "1e";
  EXPECT_FALSE(ReadParams(form, s.params, s.set, 0, true, true, false, &err));
  EXPECT_STREQ(err.Control, "BlurBrushRotYEdBx");
  EXPECT_FALSE(err.Integer);
  EXPECT_EQ(s.params.Brightness, 0.1L);
  EXPECT_EQ(CurveTexts(s.set), before);
}
