#include <gtest/gtest.h>

#include "anim/CurveSet.h"
#include "anim/KeyEdit.h"
#include "anim_test_state.h"

using namespace velmora;

namespace {

using testing_anim::State;

}  // namespace

TEST(KeyTimes, NewProjectAndOneLaterKey) {
  State s;
  EXPECT_EQ(PrevKeyTime(s.set, 50), 0);
  EXPECT_EQ(PrevKeyTime(s.set, 0), 0);
  EXPECT_EQ(NextKeyTime(s.set, 0), 999999);
  EXPECT_EQ(NextKeyTime(s.set, 50), 999999);
  SetCurveKey(s.set->Curves[ccBrightness], 40, 0.2);
  EXPECT_EQ(NextKeyTime(s.set, 10), 40);
  EXPECT_EQ(NextKeyTime(s.set, 40), 999999);
  EXPECT_EQ(PrevKeyTime(s.set, 100), 40);
  EXPECT_EQ(PrevKeyTime(s.set, 40), 0);
  // A curve whose first key is above P and has none after P holds P.
  CurveFromText(s.set->Curves[ccSeed], "TDiv_MP 1 0 5 1");
  EXPECT_EQ(NextKeyTime(s.set, 50), 50);
  // Fractional key frames from text are rounded half-even.
  CurveFromText(s.set->Curves[ccSeed], "TDiv_MP 2 0 0 1 20.5 2");
  EXPECT_EQ(PrevKeyTime(s.set, 100), 40);
  EXPECT_EQ(NextKeyTime(s.set, 10), 20);
}

TEST(KeyTimes, CurvesWithoutKeysTakeNoPart) {
  State s;
  SetCurveKey(s.set->Curves[ccComplex], 30, 0.7);
  DeleteCurveKey(s.set->Curves[ccSeed], 0);  // curve 0, the search's start, is empty
  DeleteCurveKey(s.set->Curves[ccWX], 0);
  EXPECT_EQ(PrevKeyTime(s.set, 50), 30);
  EXPECT_EQ(NextKeyTime(s.set, 10), 30);
  DeleteKeysAt(s.set, 0);
  DeleteKeysAt(s.set, 30);
  for (TDivs_Curve* c : s.set->Curves) ASSERT_EQ(c->Count, 0);
  EXPECT_EQ(PrevKeyTime(s.set, 50), 50);
  EXPECT_EQ(NextKeyTime(s.set, 50), 999999);
  // Key frames beyond the int32 range saturate instead of wrapping.
  for (TDivs_Curve* c : s.set->Curves) CurveFromText(c, "TDiv_MP 1 0 -1E20 0");
  EXPECT_EQ(PrevKeyTime(s.set, 5), INT32_MIN);
}

TEST(KeyEdit, DeleteAndCreateKeysAtAFrame) {
  State s;
  SetCurveKey(s.set->Curves[ccBrightness], 40, 0.2);
  DeleteKeysAt(s.set, 40);
  for (TDivs_Curve* c : s.set->Curves) EXPECT_EQ(c->Count, 1);
  // Create: every curve gets its present value at the frame.
  CurveFromText(s.set->Curves[ccNoise], "TDiv_MP 3 0 0 0 10 10 20 0");
  CreateKeysAt(s.set, 5);
  for (TDivs_Curve* c : s.set->Curves) EXPECT_EQ(c->Count, c == s.set->Curves[ccNoise] ? 4 : 2);
  EXPECT_EQ(CurveValueAt(s.set->Curves[ccNoise], 5), 6.25);
  EXPECT_EQ(CurveValueAt(s.set->Curves[ccSeed], 5), 65536);
  CreateKeysAt(s.set, 5);  // already keyed: unchanged
  EXPECT_EQ(s.set->Curves[ccNoise]->Count, 4);
  // A full curve stays as it is.
  TDivs_Curve* full = s.set->Curves[ccCenter];
  for (int f = 1; f < MaxCurveKeys; ++f) SetCurveKey(full, f * 10, f);
  ASSERT_EQ(full->Count, MaxCurveKeys);
  CreateKeysAt(s.set, 15);
  EXPECT_EQ(full->Count, MaxCurveKeys);
  EXPECT_EQ(s.set->Curves[ccSeed]->Count, 3);
}

TEST(TimeLine, TypedFramesAndLastFrame) {
  State s;
  CurveFromText(s.set->Curves[ccBrightness], "TDiv_MP 2 0 0 0 120 1");
  s.model.CurFrame = "500";
  EXPECT_EQ(ConfirmCurFrame(s.ctx()), TTimeLineResult::Done);
  EXPECT_EQ(s.model.TimeLinePosition, 120);
  EXPECT_EQ(s.model.CurFrame, "500");
  EXPECT_EQ(s.params.Brightness, 1);
  EXPECT_EQ(s.shows, 1);
  EXPECT_EQ(s.fullRequests, 1);
  s.model.CurFrame = "12a";
  EXPECT_EQ(ConfirmCurFrame(s.ctx()), TTimeLineResult::NotInteger);
  EXPECT_EQ(s.model.TimeLinePosition, 120);

  TimeLineMoved(s.ctx(), 100);
  EXPECT_EQ(s.model.CurFrame, "100");
  s.model.MaxFrame = "60";
  EXPECT_EQ(ConfirmMaxFrame(s.model), TTimeLineResult::Done);
  EXPECT_EQ(s.model.TimeLinePosition, 60);  // pulled in, not evaluated
  EXPECT_EQ(s.model.CurFrame, "100");
  EXPECT_EQ(s.params.Brightness, static_cast<long double>(100.0 / 120));
  EXPECT_EQ(s.model.TimeLineFrequency, 6);
  s.model.MaxFrame = "5";
  ConfirmMaxFrame(s.model);
  EXPECT_EQ(s.model.TimeLineFrequency, 0);
  s.model.MaxFrame = "25";
  ConfirmMaxFrame(s.model);
  EXPECT_EQ(s.model.TimeLineFrequency, 2);
  s.model.TimeLineMin = 10;
  s.model.MaxFrame = "9";
  EXPECT_EQ(ConfirmMaxFrame(s.model), TTimeLineResult::Refused);
  EXPECT_EQ(s.model.TimeLineMax, 25);
  EXPECT_EQ(s.model.TimeLineFrequency, 2);
}

TEST(TimeLine, KeyButtons) {
  State s;
  SetCurveKey(s.set->Curves[ccBrightness], 40, 0.2);
  SetTimeLinePosition(s.model, 10);
  GoToNextKey(s.ctx());
  EXPECT_EQ(s.model.TimeLinePosition, 40);
  EXPECT_EQ(s.model.CurFrame, "40");
  EXPECT_EQ(s.params.Brightness, static_cast<long double>(0.2));
  GoToNextKey(s.ctx());  // 999999, clamped to the end of the timeline
  EXPECT_EQ(s.model.TimeLinePosition, 120);
  EXPECT_EQ(s.model.CurFrame, "120");
  GoToPrevKey(s.ctx());
  EXPECT_EQ(s.model.TimeLinePosition, 40);
  DeleteKeysAtPosition(s.ctx());
  EXPECT_EQ(s.set->Curves[ccBrightness]->Count, 1);
  EXPECT_EQ(s.params.Brightness, 1);
  GoToPrevKey(s.ctx());
  EXPECT_EQ(s.model.TimeLinePosition, 0);
  DeleteKeysAtPosition(s.ctx());
  EXPECT_EQ(s.params.Seed, 0);
  EXPECT_EQ(s.params.BlurSamples, 0);
  EXPECT_EQ(s.shows, 6);
}
