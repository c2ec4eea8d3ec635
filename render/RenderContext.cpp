#include "render/RenderContext.h"

#include <algorithm>
#include <utility>

namespace velmora {

void* ScratchBlock::Get(HungerPool& pool, size_t bytes) {
  if (block_ && pool_ == &pool && capacity_ >= bytes) return aligned_;
  Release();
  // Pool payloads are only 8-byte aligned: ask for 64 more bytes and align.
  const size_t want = std::max<size_t>(bytes, 64);
  block_ = pool.Get(want + 64);
  if (!block_) return nullptr;
  pool_ = &pool;
  capacity_ = want;
  aligned_ = reinterpret_cast<void*>((reinterpret_cast<uintptr_t>(block_) + 63) & ~uintptr_t{63});
  return aligned_;
}

void ScratchBlock::Release() {
  if (block_) pool_->Free(block_);
  pool_ = nullptr;
  block_ = nullptr;
  aligned_ = nullptr;
  capacity_ = 0;
}

void ScratchBlock::Swap(ScratchBlock& other) noexcept {
  std::swap(pool_, other.pool_);
  std::swap(block_, other.block_);
  std::swap(aligned_, other.aligned_);
  std::swap(capacity_, other.capacity_);
}

void PenPowerCache::Free() {
  index.Release();
  values.Release();
  width = height = 0;
  diag = 0;
  count = capacity = 0;
}

void TFrameBuffers::Free() {
  FreePixeFloatBuffer(base_pattern);
  FreePixeFloatBuffer(warp_template);
  FreePixeBuffer(cloud);
  FreePixeBuffer(filtered_cloud);
  FreePixeBuffer(mixed_texture);
  base_pattern = nullptr;
  warp_template = nullptr;
  cloud = nullptr;
  filtered_cloud = nullptr;
  mixed_texture = nullptr;
}

TPixeFloatBuffer*& EnginePens::Slot(int i) {
  switch (i) {
    case 0: return CloudPen;
    case 1: return PenShade;
    case 2: return WarpPenR;
    case 3: return WarpPenG;
    default: return WarpPenB;
  }
}

int EnginePens::SlotOf(const TPixeFloatBuffer* pen) const {
  for (int i = 0; i < kEnginePenCount; ++i)
    if (pen && Slot(i) == pen) return i;
  return -1;
}

void EnginePens::Free() {
  for (int i = 0; i < kEnginePenCount; ++i) {
    FreePixeFloatBuffer(Slot(i));
    Slot(i) = nullptr;
  }
  GreyCloud.Release();
  GreyCloudReady = false;
  for (ScratchBlock& s : Spans) s.Release();
  ++Generation;
}

bool EnginePens::Match(int32_t w, int32_t h, int32_t seed) const {
  if (seed != Seed) return false;
  for (int i = 0; i < kEnginePenCount; ++i) {
    const TPixeFloatBuffer* p = Slot(i);
    if (!p || p->width != w || p->height != h) return false;
  }
  return true;
}

bool EnginePens::CopyFrom(HungerPool& pool, const EnginePens& from) {
  GreyCloudReady = false;  // made again from the copied CloudPen on first use
  for (int i = 0; i < kEnginePenCount; ++i) {
    const TPixeFloatBuffer* src = from.Slot(i);
    TPixeFloatBuffer*& dst = Slot(i);
    const bool ok = src && (dst ? ResizePixeFloatBuffer(dst, src->width, src->height)
                                : (dst = NewPixeFloatBuffer(pool, src->width, src->height)) != nullptr);
    if (!ok || !CopyPixeFloatBuffer(dst, src)) {
      Free();
      return false;
    }
  }
  Seed = from.Seed;
  ++Generation;
  return true;
}

void BlurWorkspace::Free() {
  FreePixeSumBuffer(acc);
  acc = nullptr;
  scratch.Release();
}

void RenderContext::SetMessageSink(std::function<void(const std::string&)> sink) {
  sink_ = std::move(sink);
}

void RenderContext::ShowMessage(const std::string& text) const {
  if (sink_) sink_(text);
}

}  // namespace velmora
