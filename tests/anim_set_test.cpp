#include <gtest/gtest.h>

#include <string>

#include "anim/CurveSet.h"
#include "anim/Document.h"
#include "anim/KeyEdit.h"
#include "anim_test_state.h"
#include "base/NumberText.h"

using namespace velmora;

namespace {

using testing_anim::State;

std::string Dump(const TCloudFrameParams& p) {
  std::string s;
  for (int i = 0; i < CloudCurveCount; ++i)
    s += std::string(CloudCurveInfo(i).Name) + "=" + FormatReal(CloudCurveField(p, i)) + "\n";
  return s;
}

}  // namespace

TEST(CurveSet, NewProjectKeysEveryCurveOnceAtFrameZero) {
  State s;
  for (int i = 0; i < CloudCurveCount; ++i) {
    ASSERT_EQ(s.curve(i)->Count, 1) << i;
    EXPECT_EQ(s.curve(i)->Frames[0], 0);
    EXPECT_EQ(s.curve(i)->Kind, CurveKindMP);
  }
  EXPECT_EQ(CurveToText(s.curve(ccSeed)), "TDiv_MP 1 0 0 65536");
  EXPECT_EQ(CurveToText(s.curve(ccMinRadius)), "TDiv_MP 1 0 0 0.4");
  EXPECT_EQ(CurveToText(s.curve(ccStartAlpha)), "TDiv_MP 1 0 0 255");
  EXPECT_EQ(CurveToText(s.curve(ccWX)), "TDiv_MP 1 0 0 -8");
  EXPECT_EQ(CurveToText(s.curve(ccBlurSamples)), "TDiv_MP 1 0 0 32");
  const std::string atZero = Dump(s.params);
  TCloudFrameParams p = s.params;
  for (int f : {0, 1, 77, -5, 100000}) {
    EvalCurveSet(s.set, p, f);
    EXPECT_EQ(Dump(p), atZero) << f;
  }
  EXPECT_EQ(p.Seed, 65536);
  EXPECT_EQ(p.OverSampling, 1);
  EXPECT_EQ(p.EndColor.g, 255);
  EXPECT_EQ(p.WY, 8.0L);
  EXPECT_EQ(p.Noise, static_cast<long double>(0.1));  // through the double curve
}

TEST(CurveSet, NewProjectResetsModelAndKeepsTexture) {
  State s;
  TPixeBuffer texture{1, 1, nullptr, nullptr};
  s.params.Texture = &texture;
  s.params.PileMode = 2;
  s.params.UnderTexture = 1;
  s.params.CenterReverse = s.params.ClipBrightness = true;
  s.params.BlurDraft = false;
  s.params.ResX = 64;
  s.model.TimeLineMin = -10;
  s.model.TimeLineMax = 300;
  s.model.TimeLinePosition = 250;
  s.model.CurFrame = "250";
  s.model.OutPutFilen = "a.avi";
  s.model.OutPutAlpha = "b.avi";
  s.model.FromCurrentFrame = true;
  s.model.ProjectFileName = "x.vlm";
  SetCurveKey(s.curve(ccBrightness), 40, 0.25);
  const int showsBefore = s.shows;
  ApplyNewProjectDefaults(s.set, s.params, s.model, s.hooks);
  EXPECT_EQ(s.shows, showsBefore + 1);
  EXPECT_EQ(s.params.Texture, &texture);
  EXPECT_EQ(s.params.PileMode, 2);
  EXPECT_EQ(s.params.UnderTexture, 1);
  EXPECT_FALSE(s.params.CenterReverse);
  EXPECT_FALSE(s.params.ClipBrightness);
  EXPECT_TRUE(s.params.BlurDraft);
  EXPECT_EQ(s.params.ResX, 512);
  EXPECT_EQ(s.curve(ccBrightness)->Count, 1);
  EXPECT_EQ(s.model.TimeLineMin, -10);  // kept
  EXPECT_EQ(s.model.TimeLineMax, 120);
  EXPECT_EQ(s.model.TimeLinePosition, 0);
  EXPECT_EQ(s.model.CurFrame, "0");
  EXPECT_EQ(s.model.MaxFrame, "120");
  EXPECT_EQ(s.model.OutPutFilen, "");
  EXPECT_EQ(s.model.OutPutAlpha, "");
  EXPECT_FALSE(s.model.FromCurrentFrame);
  EXPECT_EQ(s.model.ProjectFileName, "新規.vlm");
  // A minimum above 120 cannot stay: the new project starts its timeline at 0.
  s.model.TimeLineMax = 400;
  s.model.TimeLineMin = 200;
  s.model.TimeLinePosition = 300;
  ApplyNewProjectDefaults(s.set, s.params, s.model, s.hooks);
  EXPECT_EQ(s.model.TimeLineMin, 0);
  EXPECT_EQ(s.model.TimeLineMax, 120);
  EXPECT_EQ(s.model.TimeLinePosition, 0);
}

TEST(CurveSet, EvaluationTouchesOnlyKeyedFields) {
  State s;
  TCloudFrameParams p{};
  TPixeBuffer texture{1, 1, nullptr, nullptr};
  p.ResX = 7;
  p.ResY = 9;
  p.Texture = &texture;
  p.PileMode = 1;
  p.UnderTexture = 1;
  p.CenterReverse = true;
  p.ClipBrightness = true;
  p.BlurDraft = true;
  p.PreviewWidth = 33;
  p.PreviewHeight = 44;
  for (int f : {0, 5}) {
    EvalCurveSet(s.set, p, f);
    EXPECT_EQ(p.ResX, 7);
    EXPECT_EQ(p.ResY, 9);
    EXPECT_EQ(p.Texture, &texture);
    EXPECT_EQ(p.PileMode, 1);
    EXPECT_EQ(p.UnderTexture, 1);
    EXPECT_TRUE(p.CenterReverse && p.ClipBrightness && p.BlurDraft);
    EXPECT_EQ(p.PreviewWidth, 33);
    EXPECT_EQ(p.PreviewHeight, 44);
  }
  // Deleting every key leaves every keyed field 0 at every frame.
  DeleteKeysAt(s.set, 0);
  EvalCurveSet(s.set, p, 12);
  for (int i = 0; i < CloudCurveCount; ++i) EXPECT_EQ(CloudCurveField(p, i), 0) << i;
  EXPECT_EQ(p.ResX, 7);
}

TEST(CurveSet, ConversionsRoundHalfEvenAndKeepLowBits) {
  State s;
  TCloudFrameParams p{};
  auto store = [&](int index, double v) {
    CurveFromText(s.curve(index), "TDiv_MP 1 0 0 " + FormatReal(v));
    EvalCurveSet(s.set, p, 3);
  };
  store(ccSeed, 2.5);
  EXPECT_EQ(p.Seed, 2);
  store(ccSeed, 3.5);
  EXPECT_EQ(p.Seed, 4);
  store(ccSeed, -2.5);
  EXPECT_EQ(p.Seed, -2);
  store(ccSeed, 4294967296.0 + 5);
  EXPECT_EQ(p.Seed, 5);
  store(ccOverSampling, 2147483648.0);
  EXPECT_EQ(p.OverSampling, INT32_MIN);
  store(ccStartRed, 256);
  EXPECT_EQ(p.StartColor.r, 0);
  store(ccStartRed, -1);
  EXPECT_EQ(p.StartColor.r, 255);
  store(ccEndAlpha, 0.5);
  EXPECT_EQ(p.EndColor.a, 0);
  store(ccEndAlpha, 1.5);
  EXPECT_EQ(p.EndColor.a, 2);
  store(ccEndBlue, 1e300);  // the low bits of the exact integer: a multiple of 2^300
  EXPECT_EQ(p.EndColor.b, 0);
  store(ccBlurSamples, 32.4);  // reals are not rounded
  EXPECT_EQ(p.BlurSamples, static_cast<long double>(32.4));
  // Keys are written from the record: integers, bytes 0..255, reals.
  p.Seed = -7;
  p.StartColor.g = 200;
  p.SlopeB = 0.3L;
  KeyCurveSetFromParams(s.set, 9, p);
  EXPECT_EQ(CurveValueAt(s.curve(ccSeed), 9), -7);
  EXPECT_EQ(CurveValueAt(s.curve(ccStartGreen), 9), 200);
  EXPECT_EQ(CurveValueAt(s.curve(ccSlopeB), 9), 0.3);
}

TEST(KeyIfChanged, IntegerAndRealTextComparison) {
  State s;
  TDivs_Curve* samples = s.curve(ccBlurSamples);  // 32 at frame 0
  EXPECT_FALSE(KeyIfChanged(samples, 10, true, 32.4L));
  EXPECT_EQ(samples->Count, 1);
  EXPECT_TRUE(KeyIfChanged(samples, 10, true, 33));
  EXPECT_EQ(CurveToText(samples), "TDiv_MP 2 0 0 32 10 33");
  EXPECT_FALSE(KeyIfChanged(samples, 10, true, 32.6L));
  EXPECT_TRUE(KeyIfChanged(samples, 10, true, 31.6L));  // keyed with the value itself
  EXPECT_EQ(CurveToText(samples), "TDiv_MP 2 0 0 32 10 31.6");
  // Reals compare by their 15-digit texts: 0.33 as long double equals the curve's 0.33.
  TDivs_Curve* b = s.curve(ccBrightness);
  EXPECT_FALSE(KeyIfChanged(b, 0, false, 1.0L));
  EXPECT_TRUE(KeyIfChanged(b, 0, false, 0.33L));
  EXPECT_FALSE(KeyIfChanged(b, 0, false, 33.0L / 100));
  EXPECT_FALSE(KeyIfChanged(b, 0, false, 0.330000000000000001L));
}

TEST(KeyIfChanged, OnlyParametersOffTheirCurveGetKeys) {
  State s;
  // Brightness keys (0, 0) and (3, 1): 1/3 at frame 1; the window's bar shows
  // 33 and reads back 0.33, which is keyed; every other parameter reads back
  // what its curve gives and stays unkeyed.
  CurveFromText(s.curve(ccBrightness), "TDiv_MP 2 0 0 0 3 1");
  TCloudFrameParams p = s.params;
  EvalCurveSet(s.set, p, 1);
  p.Brightness = 33.0L / 100;
  KeyChangedCurves(s.set, 1, p);
  EXPECT_EQ(CurveToText(s.curve(ccBrightness)), "TDiv_MP 3 0 0 0 1 0.33 3 1");
  for (int i = 0; i < CloudCurveCount; ++i)
    if (i != ccBrightness) {
      EXPECT_EQ(s.curve(i)->Count, 1) << i;
    }
  // At a key frame nothing is written.
  EvalCurveSet(s.set, p, 0);
  KeyChangedCurves(s.set, 0, p);
  EXPECT_EQ(s.curve(ccBrightness)->Count, 3);
}

TEST(Document, ACopyOwnsItsCurvesAndRecord) {
  Document doc;
  doc.ApplyNewProjectDefaults();
  Document copy(doc);
  SetCurveKey(copy.Curves->Curves[ccComplex], 10, 0.9);
  copy.Params.ResX = 64;
  copy.Model.OutPutFilen = "x.avi";
  doc.EvalAt(10);
  EXPECT_EQ(doc.Params.Complex, 0.5L);
  EXPECT_EQ(doc.Params.ResX, 512);
  EXPECT_EQ(doc.Model.OutPutFilen, "");
  EXPECT_NE(copy.Curves, doc.Curves);
  doc = copy;  // assignment copies too
  copy.EvalAt(10);
  doc.EvalAt(10);
  EXPECT_EQ(doc.Params.Complex, copy.Params.Complex);
  SetCurveKey(copy.Curves->Curves[ccComplex], 10, 0.1);
  doc.EvalAt(10);
  EXPECT_NE(doc.Params.Complex, 0.1L);
}
