#include "render/ParamDiagrams.h"

#include "render/Blur.h"
#include "render/Ease.h"
#include "base/Numeric.h"

namespace velmora {

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kDarkGreen = 0x008000;
constexpr uint32_t kBlue = 0xFF0000;

uint32_t Grey(uint32_t v) { return v | (v << 8) | (v << 16); }

int32_t Round32(long double v) { return RoundToInt32(v); }

}  // namespace

void DrawColorFilterDiagram(Bitmap24& bm, const TCloudFrameParams& p) {
  const int32_t w = bm.width, h = bm.height;
  const int32_t b = Round32(h * 0.1L), c = Round32(h * 0.9L), t = b + 2;
  FillBitmap(bm, kBlack);

  long double x = 0;
  for (int32_t i = 0; i < w; ++i, x += 255.0L / w) {
    const uint32_t grey = Grey(static_cast<uint32_t>(Round32(x)) & 0xFF);
    for (int32_t y = 0; y < t; ++y) PutBitmapPixel(bm, i, y, false, grey);
  }

  const long double m = c - 2;
  const bool subtract = p.PileMode == 1;
  for (int32_t i = 0; i < w; ++i) {
    const auto ease = [&](long double slope, uint8_t start, uint8_t end) {
      return SlopeEase(slope, i, w - 1, 0, end, start);
    };
    const long double vr = Round32(ease(p.SlopeR, p.StartColor.r, p.EndColor.r));
    const long double vg = Round32(ease(p.SlopeG, p.StartColor.g, p.EndColor.g));
    const long double vb = Round32(ease(p.SlopeB, p.StartColor.b, p.EndColor.b));
    const long double a = ease(p.SlopeA, p.StartColor.a, p.EndColor.a) / 255.0L;
    const auto shown = [&](long double v) {
      const uint32_t byte = static_cast<uint32_t>(Round32(v * a)) & 0xFF;
      return subtract ? 255 - byte : byte;
    };
    const uint32_t colour = shown(vr) | (shown(vg) << 8) | (shown(vb) << 16);
    for (int32_t y = b + 3; y <= h - 2; ++y) PutBitmapPixel(bm, i, y, false, colour);
    const auto dot = [&](long double v, uint32_t col) {
      PutBitmapPixel(bm, i, Round32(m - v / 255.0L * m) + t, false, col);
    };
    dot(vr, kRed);
    dot(vb, kBlue);
    dot(vg, kDarkGreen);
    PutBitmapPixel(bm, i, Round32(m - m * a) + t, false, kWhite);
  }
  for (int32_t i = 0; i <= w - 2; ++i) PutBitmapPixel(bm, i, t, false, kBlack);
}

void DrawBlurBrushDiagram(Bitmap24& bm, const TCloudFrameParams& p) {
  FillBitmap(bm, kBlack);
  const long double r = bm.width / 2.0L;
  // A generator of its own: drawing the diagram never moves a render's.
  RandomGenerator rng;
  rng.Seed(static_cast<uint32_t>(p.Seed));
  const int64_t n = RoundToInt64(p.BlurSamples);
  for (int64_t i = 0; i < n; ++i) {
    const BlurOffset o =
        BlurSampleOffset(rng, i, n, r, p.BlurCurve, p.BlurRotX, p.BlurRotY, p.BlurRotZ);
    PutBitmapPixel(bm, Round32(o.x + r), Round32(o.y + r), false, kWhite);
  }
}

}  // namespace velmora
