// Buffer allocation and the box reduction of oversampled pictures (the
// texture mix stage is in TextureMix.cpp).
#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "base/Numeric.h"
#include "base/Translate.h"
#include "render/ParallelPixels.h"
#include "render/Render.h"
#include "render/StillRender.h"

namespace velmora {

namespace {

std::string CreateFailedText(const char* slot) {
  return TrFormat("雲模様バッファ(%s)の確保に失敗しました", {slot});
}
std::string ResizeFailedText(const char* slot) {
  return TrFormat("雲模様バッファ(%s)の再確保に失敗しました", {slot});
}

// Makes sure one frame-buffer slot holds a buffer of w x h; reports and
// empties the slot on failure.
template <typename Buf, Buf* (*Create)(HungerPool&, int32_t, int32_t), bool (*Resize)(Buf*, int32_t, int32_t),
          void (*Free)(Buf*)>
bool EnsureSlot(RenderContext& ctx, Buf*& slot, const char* name, int32_t w, int32_t h) {
  if (!slot) {
    slot = Create(ctx.Pool, w, h);
    if (!slot) {
      ctx.ShowMessage(CreateFailedText(name));
      return false;
    }
    return true;
  }
  if (!Resize(slot, w, h)) {
    ctx.ShowMessage(ResizeFailedText(name));
    Free(slot);
    slot = nullptr;
    return false;
  }
  return true;
}

}  // namespace

RenderTarget PreviewTarget(const TCloudFrameParams& params) {
  return RenderTarget{params.PreviewWidth, params.PreviewHeight, 1, true};
}

int32_t OutputFactor(const TCloudFrameParams& params) {
  return params.OverSampling < 1 ? 1 : params.OverSampling;
}

bool OutputTarget(const TCloudFrameParams& params, RenderTarget& target, std::string* error) {
  const int64_t factor = OutputFactor(params);
  const int64_t W = int64_t{params.ResX} * factor;
  const int64_t H = int64_t{params.ResY} * factor;
  if (W > std::numeric_limits<int32_t>::max() || H > std::numeric_limits<int32_t>::max()) {
    if (error)
      *error = MsgFormat("the render size %s x %s is too large",
                         {std::to_string(W), std::to_string(H)});
    return false;
  }
  target = RenderTarget{static_cast<int32_t>(W), static_cast<int32_t>(H),
                        static_cast<int32_t>(factor), false};
  return true;
}

PixelOffset LayerOffset(const RenderTarget& target, const TCloudFrameParams&, long double px,
                        long double py) {
  // Fractions of the size being rendered: an export's is the output size
  // times the factor, a preview's its own size, so the preview shows the
  // position the export will have.
  return PixelOffset{RoundToInt32(target.Width * px), RoundToInt32(target.Height * py)};
}

bool AllocFrameBuffers(RenderContext& ctx, const TCloudFrameParams& params,
                       const RenderTarget& target, RenderSequence& seq) {
  ctx.Rng.Seed(static_cast<uint32_t>(params.Seed));
  seq.Invalidate();
  const int32_t w = std::max(target.Width, 0);
  const int32_t h = std::max(target.Height, 0);
  // Every stage makes a few full-size passes; new pens take about 130 more
  // (127 full-size stamps of the fractal pen and the shading).
  const long double pixels = static_cast<long double>(w) * h;
  ctx.Work.Restart();
  ctx.Work.SetRenderSize(w, h, target.Factor);
  const bool newPens =
      ctx.Work.NewPens >= 0 ? ctx.Work.NewPens == 1 : !ctx.Pens.Match(w, h, params.Seed);
  if (!ctx.Work.Charge(pixels * (newPens ? 160 : 30), "render size")) {
    ctx.RenderIdle = true;
    return false;
  }

  TFrameBuffers& f = ctx.Frame;
  // The kept layers hold only while their buffers stay as they are.
  struct Shape {
    const void* buffer;
    const void* data;
    int32_t w, h;
    bool operator==(const Shape&) const = default;
  };
  auto shape = [](const TPixeFloatBuffer* b) {
    return b ? Shape{b, b->data, b->width, b->height} : Shape{nullptr, nullptr, 0, 0};
  };
  const Shape baseBefore = shape(f.base_pattern), warpBefore = shape(f.warp_template);
  using F = TPixeFloatBuffer;
  using P = TPixeBuffer;
  const bool ok =
      EnsureSlot<F, NewPixeFloatBuffer, ResizePixeFloatBuffer, FreePixeFloatBuffer>(
          ctx, f.base_pattern, "base_pattern", w, h) &&
      EnsureSlot<F, NewPixeFloatBuffer, ResizePixeFloatBuffer, FreePixeFloatBuffer>(
          ctx, f.warp_template, "warp_template", w, h) &&
      EnsureSlot<P, NewPixeBuffer, ResizePixeBuffer, FreePixeBuffer>(ctx, f.cloud, "cloud", w, h) &&
      EnsureSlot<P, NewPixeBuffer, ResizePixeBuffer, FreePixeBuffer>(ctx, f.filtered_cloud,
                                                                     "filtered_cloud", w, h) &&
      EnsureSlot<P, NewPixeBuffer, ResizePixeBuffer, FreePixeBuffer>(ctx, f.mixed_texture,
                                                                     "mixed_texture", w, h);
  if (!(shape(f.base_pattern) == baseBefore && shape(f.warp_template) == warpBefore))
    ctx.Layers.Forget();
  if (!ok) {
    ctx.RenderIdle = true;
    return false;
  }
  if (!ctx.Pens.Match(w, h, params.Seed)) {
    MakePens(ctx, w, h);
    ctx.Pens.Seed = params.Seed;
  }
  if (!ctx.Pens.CloudPen) {
    // An abort while the pens were made is no allocation failure.
    if (!ctx.AbortRequested()) ctx.ShowMessage(Tr("雲模様ペン先バッファの(再)確保に失敗しました"));
    ctx.RenderIdle = true;
    return false;
  }
  return true;
}

void DownSample(RenderContext& ctx, Bitmap24& target, const Bitmap24& source) {
  if (target.width <= 0 || target.height <= 0) return;
  const int32_t fx = source.width / target.width;
  const int32_t fy = source.height / target.height;
  if (fx == 1 && fy == 1) {
    // Paint the source at (0, 0): the overlapping area is copied.
    const int32_t w = std::min(source.width, target.width);
    const int32_t h = std::min(source.height, target.height);
    for (int32_t y = 0; y < h; ++y)
      std::copy_n(source.Row(y), static_cast<size_t>(w) * 3, target.Row(y));
    return;
  }
  if (fx <= 0 || fy <= 0) return;
  const int64_t count = static_cast<int64_t>(fx) * fy;
  auto progress = [&](int32_t i) {
    return static_cast<int>(RoundToInt64(static_cast<long double>(i) / target.height * 100));
  };
  // Target rows on the pool; the calling thread reports progress after its
  // rows.
  const int64_t grain = std::max<int64_t>(RowGrain(source.width) / fy, 1);
  ctx.Threads.For(target.height, grain, [&](int64_t from, int64_t to, int worker) {
    for (int32_t i = static_cast<int32_t>(from); i < to; ++i) {
      if (ctx.AbortRequested()) return;
      uint8_t* out = target.Row(i);
      for (int32_t j = 0; j < target.width; ++j) {
        int64_t sum[3] = {0, 0, 0};
        for (int32_t dy = 0; dy < fy; ++dy) {
          const int64_t sy = static_cast<int64_t>(i) * fy + dy;
          if (sy >= source.height) continue;
          const uint8_t* row = source.Row(static_cast<int32_t>(sy));
          for (int32_t dx = 0; dx < fx; ++dx) {
            const int64_t sx = static_cast<int64_t>(j) * fx + dx;
            if (sx >= source.width) continue;
            sum[0] += row[sx * 3];
            sum[1] += row[sx * 3 + 1];
            sum[2] += row[sx * 3 + 2];
          }
        }
        for (int c = 0; c < 3; ++c) {
          const int64_t v = RoundToInt64(static_cast<long double>(sum[c]) / count);
          out[j * 3 + c] = static_cast<uint8_t>(std::min<int64_t>(v, 255));
        }
      }
      if (worker == 0) ctx.FrameProgress = progress(i);
    }
  });
  ctx.FrameProgress = progress(target.height - 1);  // the last row's value
}

}  // namespace velmora
