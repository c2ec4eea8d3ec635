#include "render/ColorFilter.h"

#include "render/Ease.h"
#include "base/Numeric.h"
#include "render/ParallelPixels.h"

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
  struct Channel {
    long double slope;
    uint8_t end, start;
    bool scaled;
  };
  const Channel ch[4] = {{params.SlopeR, params.EndColor.r, params.StartColor.r, true},
                         {params.SlopeG, params.EndColor.g, params.StartColor.g, true},
                         {params.SlopeB, params.EndColor.b, params.StartColor.b, true},
                         {params.SlopeA, params.EndColor.a, params.StartColor.a, false}};
  uint8_t bytes[4][256];
  for (int c = 0; c < 4; ++c) {
    // Channels with the same curve (the grey gradients: R, G and B alike)
    // are evaluated once.
    int same = -1;
    for (int k = 0; k < c && same < 0; ++k) {
      if (ch[k].slope == ch[c].slope && ch[k].end == ch[c].end && ch[k].start == ch[c].start &&
          ch[k].scaled == ch[c].scaled)
        same = k;
    }
    for (uint32_t v = 0; v < 256; ++v) {
      bytes[c][v] = same >= 0
                        ? bytes[same][v]
                        : static_cast<uint8_t>(ChannelByte(ch[c].slope, v, ch[c].end, ch[c].start,
                                                           params.Brightness, ch[c].scaled));
    }
  }
  for (uint32_t v = 0; v < 256; ++v)
    table[v] = MakePixel(bytes[0][v], bytes[1][v], bytes[2][v], bytes[3][v]);
}

int ColorFilterProgress(int32_t y, int32_t h) {
  if (h <= 1) return 95;
  return RoundToInt32(5.0L / static_cast<long double>(h - 1) * static_cast<long double>(y)) + 90;
}

void ColorFilterStage(RenderContext& ctx, const TCloudFrameParams& params) {
  const TPixeBuffer* src = ctx.Frame.cloud;
  TPixeBuffer* dst = ctx.Frame.filtered_cloud;
  if (src == nullptr || dst == nullptr || ctx.Work.Exceeded) return;
  // The output always has the size of the grey image it is made from.
  if (!ResizePixeBuffer(dst, src->width, src->height)) return;
  FillPixeBuffer(dst, 0xFF000000u, &ctx.Threads);

  ColorFilterTable table;
  MakeColorFilterTable(params, table);

  const int32_t w = src->width;
  const int32_t h = src->height;
  // Rows on the pool; the calling thread reports progress after its rows.
  ctx.Threads.For(h, RowGrain(w), [&](int64_t from, int64_t to, int worker) {
    for (int32_t y = static_cast<int32_t>(from); y < to; ++y) {
      if (ctx.AbortRequested()) return;
      if (w > 0) {
        const PackedPixel* in = src->data + static_cast<size_t>(y) * static_cast<size_t>(w);
        PackedPixel* out = dst->data + static_cast<size_t>(y) * static_cast<size_t>(w);
        for (int32_t x = 0; x < w; ++x) out[x] = table[in[x] & 0xFFu];
      }
      if (worker == 0) ctx.FrameProgress = ColorFilterProgress(y, h);
    }
  });
  if (h > 0) ctx.FrameProgress = ColorFilterProgress(h - 1, h);  // the last row's value
}

}  // namespace velmora
