#include "render/ColorFilter.h"

#include "render/Ease.h"
#include "render/Numeric.h"

namespace velmora {

namespace {

// Rounded curve value of one channel, reduced to its low 8 bits.  A value that
// is not a number (a slope too steep for the power) becomes 0.
uint32_t ChannelByte(long double slope, long double grey, uint8_t end, uint8_t start,
                     long double factor, bool scaled) {
  long double v = SlopeEase(slope, grey, 255, 0, end, start);
  if (scaled) v = v * factor;
  return static_cast<uint32_t>(RoundToInt32(v)) & 0xFFu;
}

}  // namespace

PackedPixel ColorFilterPixel(const TCloudFrameParams& params, uint32_t grey) {
  const long double v = static_cast<long double>(grey & 0xFFu);
  const long double br = params.Brightness;
  const uint32_t r =
      ChannelByte(params.SlopeR, v, params.EndColor.r, params.StartColor.r, br, true);
  const uint32_t g =
      ChannelByte(params.SlopeG, v, params.EndColor.g, params.StartColor.g, br, true);
  const uint32_t b =
      ChannelByte(params.SlopeB, v, params.EndColor.b, params.StartColor.b, br, true);
  const uint32_t a =
      ChannelByte(params.SlopeA, v, params.EndColor.a, params.StartColor.a, br, false);
  return MakePixel(r, g, b, a);
}

void MakeColorFilterTable(const TCloudFrameParams& params, ColorFilterTable& table) {
  for (uint32_t v = 0; v < 256; ++v) table[v] = ColorFilterPixel(params, v);
}

int ColorFilterProgress(int32_t y, int32_t h) {
  if (h <= 1) return 95;
  return RoundToInt32(5.0L / static_cast<long double>(h - 1) * static_cast<long double>(y)) + 90;
}

void ColorFilterStage(TCloudFrameParams& params) {
  const TPixeBuffer* src = params.cloud;
  TPixeBuffer* dst = params.filtered_cloud;
  if (src == nullptr || dst == nullptr) return;
  // The output always has the size of the grey image it is made from.
  if (!ResizePixeBuffer(dst, src->width, src->height)) return;
  FillPixeBuffer(dst, 0xFF000000u);

  ColorFilterTable table;
  MakeColorFilterTable(params, table);

  const int32_t w = src->width;
  const int32_t h = src->height;
  for (int32_t y = 0; y < h; ++y) {
    if (w > 0) {
      const PackedPixel* in = src->data + static_cast<size_t>(y) * static_cast<size_t>(w);
      PackedPixel* out = dst->data + static_cast<size_t>(y) * static_cast<size_t>(w);
      for (int32_t x = 0; x < w; ++x) out[x] = table[in[x] & 0xFFu];
    }
    FrameProgress = ColorFilterProgress(y, h);
    PumpMessages();
  }
}

}  // namespace velmora
