#include <gtest/gtest.h>

#include "base/Numeric.h"
#include "render/ParamDiagrams.h"
#include "render/PreviewSchedule.h"

using namespace velmora;

namespace {

// Runs the 50 ms timer from 0 to END_MS with changes at the given times;
// returns the times and kinds of the updates it ran.
std::vector<std::pair<int, TPreviewRun>> Simulate(
    TPreviewSchedule& s, const std::vector<std::pair<int, bool>>& changes, int endMs) {
  std::vector<std::pair<int, TPreviewRun>> runs;
  size_t next = 0;
  for (int t = 0; t <= endMs; ++t) {
    for (; next < changes.size() && changes[next].first == t; ++next)
      changes[next].second ? s.RequestFull() : s.RequestFilter();
    if (t > 0 && t % PreviewTimerIntervalMs == 0) {
      const TPreviewRun run = s.Tick();
      if (run != TPreviewRun::None) runs.emplace_back(t, run);
    }
  }
  return runs;
}

TCloudFrameParams DiagramParams() {
  TCloudFrameParams p;
  p.StartColor = {0, 0, 0, 255};
  p.EndColor = {255, 255, 255, 255};
  p.Seed = 65536;
  p.BlurSamples = 32;
  return p;
}

uint32_t Pixel(const Bitmap24& bm, int x, int y) { return GetBitmapPixel(bm, x, y, false); }

}  // namespace

TEST(PreviewSchedule, ABurstGivesOneRenderAfterThePause) {
  TPreviewSchedule s;
  Simulate(s, {}, 150);  // the start-up tick settles
  const auto runs = Simulate(s, {{1, true}, {21, true}, {41, true}}, 400);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].second, TPreviewRun::Full);
  EXPECT_GE(runs[0].first - 41, 100);
  EXPECT_LE(runs[0].first - 41, 150);
  EXPECT_TRUE(s.ResetsProgress());
}

TEST(PreviewSchedule, KindsOfPendingUpdates) {
  TPreviewSchedule s;
  Simulate(s, {}, 150);
  // A filter change within the pause keeps a pending full update full.
  auto runs = Simulate(s, {{1, true}, {30, false}}, 300);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].second, TPreviewRun::Full);
  runs = Simulate(s, {{1, false}}, 300);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].second, TPreviewRun::Filter);
  // A change while the update runs (delivered by the pump) is not swallowed.
  s.RequestFilter();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(s.Tick(), TPreviewRun::None);
  EXPECT_FALSE(s.ResetsProgress());
  ASSERT_EQ(s.Tick(), TPreviewRun::Filter);
  s.RequestFull();
  EXPECT_EQ(s.PreviewDelay(), 0);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(s.Tick(), TPreviewRun::None);
  EXPECT_EQ(s.Tick(), TPreviewRun::Full);
}

TEST(ParamDiagrams, ColourFilterDiagram) {
  TCloudFrameParams p = DiagramParams();
  Bitmap24 bm;
  bm.SetSize(100, 50);
  DrawColorFilterDiagram(bm, p);
  // b = 5, c = 45, t = 7, m = 43: ramp rows 0..6, black line at row 7, band from row 8.
  EXPECT_EQ(Pixel(bm, 0, 0), 0u);
  EXPECT_EQ(Pixel(bm, 50, 6), 0x808080u);  // round(50 * 2.55) = 128 (127.5 to even)
  EXPECT_EQ(Pixel(bm, 50, 7), 0u);
  EXPECT_EQ(Pixel(bm, 99, 30), 0xFFFFFFu);
  EXPECT_EQ(Pixel(bm, 33, 30), 0x555555u);  // round(255 * 33 / 99) = 85
  EXPECT_EQ(Pixel(bm, 33, 49), 0u);         // the last row stays black
  // Alpha 1 puts its white dot on row t; the black line covers it except in
  // the last column.  Red, green and blue at 0 fall on row 50, outside.
  EXPECT_EQ(Pixel(bm, 0, 7), 0u);
  EXPECT_EQ(Pixel(bm, 99, 7), 0xFFFFFFu);
  EXPECT_EQ(Pixel(bm, 0, 49), 0u);
  // Subtractive mixing inverts the band but not the dots.
  p.PileMode = 1;
  p.StartColor.a = 0;
  DrawColorFilterDiagram(bm, p);
  EXPECT_EQ(Pixel(bm, 33, 30), 0xFFFFFFu - 0x1C1C1Cu);  // alpha 1/3: round(85 / 3) = 28
  EXPECT_EQ(Pixel(bm, 0, 30), 0xFFFFFFu);
  EXPECT_EQ(Pixel(bm, 0, 50 - 1), 0u);
  EXPECT_EQ(Pixel(bm, 0, 43 + 7), 0u);  // alpha 0 at row m + t lies outside
}

TEST(ParamDiagrams, BlurBrushDependsOnItsRecordAlone) {
  TCloudFrameParams p = DiagramParams();
  p.BlurRadius = 0.1L;
  Bitmap24 bm, again;
  bm.SetSize(40, 40);
  again.SetSize(40, 40);
  DrawBlurBrushDiagram(bm, p);
  int white = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) white += Pixel(bm, x, y) == 0xFFFFFFu;
  EXPECT_GT(white, 16);
  EXPECT_LE(white, 32);
  DrawBlurBrushDiagram(again, p);  // stable for a seed
  EXPECT_EQ(again.bytes, bm.bytes);
  p.BlurSamples = 0.4L;  // rounds to no sample: all black
  DrawBlurBrushDiagram(bm, p);
  for (uint8_t byte : bm.bytes) ASSERT_EQ(byte, 0);
}
