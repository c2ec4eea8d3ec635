// The global frame record and engine state, buffer allocation, the texture
// mix stage and the box reduction of oversampled pictures.
#include <algorithm>
#include <utility>

#include "base/Numeric.h"
#include "base/Translate.h"
#include "render/ParallelPixels.h"
#include "render/Render.h"
#include "render/ThreadPool.h"

namespace velmora {

TCloudFrameParams CloudParams;
bool RenderIdle = true;
bool PreviewBusy = false;
int FrameProgress = 0;
int MovieProgress = 0;
int PixeProgress = 0;

ThreadPool& EngineThreadPool() {
  static ThreadPool pool(ThreadPool::HardwareThreads());
  return pool;
}

namespace {
std::function<void()>& PumpHook() {
  static std::function<void()> hook;
  return hook;
}
std::function<void(const std::string&)>& MessageHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}
}  // namespace

void SetPump(std::function<void()> pump) { PumpHook() = std::move(pump); }

void PumpMessages() {
  if (PumpHook()) PumpHook()();
}

void SetMessageSink(std::function<void(const std::string&)> sink) {
  MessageHook() = std::move(sink);
}

void ShowEngineMessage(const std::string& text) {
  if (MessageHook()) MessageHook()(text);
}

void FreeFrameBuffers(TCloudFrameParams& params) {
  FreePixeFloatBuffer(params.base_pattern);
  FreePixeFloatBuffer(params.warp_template);
  FreePixeBuffer(params.cloud);
  FreePixeBuffer(params.filtered_cloud);
  FreePixeBuffer(params.mixed_texture);
  params.base_pattern = nullptr;
  params.warp_template = nullptr;
  params.cloud = nullptr;
  params.filtered_cloud = nullptr;
  params.mixed_texture = nullptr;
}

namespace {

std::string CreateFailedText(const char* slot) {
  return TrFormat("雲模様バッファ(%s)の確保に失敗しました", {slot});
}
std::string ResizeFailedText(const char* slot) {
  return TrFormat("雲模様バッファ(%s)の再確保に失敗しました", {slot});
}

// Makes sure one frame-buffer slot holds a buffer of w x h; reports and
// empties the slot on failure.
template <typename Buf, Buf* (*Create)(int32_t, int32_t), bool (*Resize)(Buf*, int32_t, int32_t),
          void (*Free)(Buf*)>
bool EnsureSlot(Buf*& slot, const char* name, int32_t w, int32_t h) {
  if (!slot) {
    slot = Create(w, h);
    if (!slot) {
      ShowEngineMessage(CreateFailedText(name));
      return false;
    }
    return true;
  }
  if (!Resize(slot, w, h)) {
    ShowEngineMessage(ResizeFailedText(name));
    Free(slot);
    slot = nullptr;
    return false;
  }
  return true;
}

bool PensMatch(int32_t w, int32_t h) {
  const TPixeFloatBuffer* pens[] = {Pens.CloudPen, Pens.PenShade, Pens.WarpPenR, Pens.WarpPenG,
                                    Pens.WarpPenB};
  for (const TPixeFloatBuffer* p : pens)
    if (!p || p->width != w || p->height != h) return false;
  return true;
}

}  // namespace

bool AllocFrameBuffers(TCloudFrameParams& params, bool preview) {
  RandSeed(static_cast<uint32_t>(params.Seed));
  params.Rendered = false;
  const int32_t w = std::max(preview ? params.PreviewWidth : params.ResX, 0);
  const int32_t h = std::max(preview ? params.PreviewHeight : params.ResY, 0);

  using F = TPixeFloatBuffer;
  using P = TPixeBuffer;
  const bool ok =
      EnsureSlot<F, NewPixeFloatBuffer, ResizePixeFloatBuffer, FreePixeFloatBuffer>(
          params.base_pattern, "base_pattern", w, h) &&
      EnsureSlot<F, NewPixeFloatBuffer, ResizePixeFloatBuffer, FreePixeFloatBuffer>(
          params.warp_template, "warp_template", w, h) &&
      EnsureSlot<P, NewPixeBuffer, ResizePixeBuffer, FreePixeBuffer>(params.cloud, "cloud", w, h) &&
      EnsureSlot<P, NewPixeBuffer, ResizePixeBuffer, FreePixeBuffer>(params.filtered_cloud,
                                                                     "filtered_cloud", w, h) &&
      EnsureSlot<P, NewPixeBuffer, ResizePixeBuffer, FreePixeBuffer>(params.mixed_texture,
                                                                     "mixed_texture", w, h);
  if (!ok) {
    RenderIdle = true;
    return false;
  }
  if (!PensMatch(w, h)) MakePens(w, h);
  if (!Pens.CloudPen) {
    ShowEngineMessage(Tr("雲模様ペン先バッファの(再)確保に失敗しました"));
    RenderIdle = true;
    return false;
  }
  return true;
}

void MixTextureStage(TCloudFrameParams& params, bool fast) {
  FrameProgress = 100;
  PumpMessages();
  TPixeBuffer* mixed = params.mixed_texture;
  const TPixeBuffer* clouds = params.filtered_cloud;
  if (!mixed || !clouds) return;
  const TPixeBuffer* tex = params.Texture;
  if (!tex) {
    CopyPixeBuffer(mixed, clouds);
    return;
  }
  if (!ResizePixeBuffer(mixed, clouds->width, clouds->height)) return;
  FillPixeBuffer(mixed, 0xFF000000u);
  const PixeRect D{0, 0, mixed->width, mixed->height};
  const PixeRect T{0, 0, tex->width, tex->height};
  auto drawTexture = [&](int mode) {
    if (fast)
      DrawScaledNearest(tex, T, mixed, mode, false, D);
    else
      DrawScaledSupersampled(tex, T, mixed, mode, false, D);
  };
  if (params.UnderTexture == 0) {
    drawTexture(2);
    DrawScaledNearest(clouds, PixeRect{0, 0, clouds->width, clouds->height}, mixed,
                      params.PileMode, false, D);
  } else {
    CopyPixeBuffer(mixed, clouds);
    drawTexture(params.PileMode);
  }
}

void DownSample(Bitmap24& target, const Bitmap24& source) {
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
  // Target rows on the pool; the calling thread reports and pumps after its
  // rows.
  const int64_t grain = std::max<int64_t>(RowGrain(source.width) / fy, 1);
  EngineThreadPool().For(target.height, grain, [&](int64_t from, int64_t to, int worker) {
    for (int32_t i = static_cast<int32_t>(from); i < to; ++i) {
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
      if (worker == 0) {
        FrameProgress = progress(i);
        PumpMessages();
      }
    }
  });
  FrameProgress = progress(target.height - 1);  // the last row's value
}

}  // namespace velmora
