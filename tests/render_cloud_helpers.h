// Helpers shared by the cloud-layer tests (pattern and warp).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "anim/CurveSet.h"
#include "render/CloudPattern.h"
#include "render/MemoryHunger.h"
#include "render/Pixe.h"
#include "render/Render.h"

namespace velmora::testing_cloud {

// A pool for buffers the tests make themselves (freed at exit).
inline HungerPool& TestPool() {
  static HungerPool pool;
  return pool;
}

// The new-project values at a render size of w x h, with the preview box's
// size.
// An export target of the record's output size, without oversampling.
inline RenderTarget OutTarget(const TCloudFrameParams& p) {
  return RenderTarget{p.ResX, p.ResY, 1, false};
}

inline TCloudFrameParams DefaultCloudParams(int32_t w, int32_t h) {
  TCloudFrameParams p;
  SetNewProjectParams(p);
  p.ResX = w;
  p.ResY = h;
  p.PreviewWidth = 128;
  p.PreviewHeight = 128;
  return p;
}

// FNV-1a over raw bytes.
inline uint64_t Fnv(const void* data, size_t n, uint64_t h = 1469598103934665603ull) {
  const auto* b = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < n; ++i) {
    h ^= b[i];
    h *= 1099511628211ull;
  }
  return h;
}
inline uint64_t Checksum(const TPixeFloatBuffer* b) {
  if (!b || !b->data) return 0;
  return Fnv(b->data, sizeof(FloatPixel) * static_cast<size_t>(b->width) * b->height);
}
inline uint64_t Checksum(const TPixeBuffer* b) {
  if (!b || !b->data) return 0;
  return Fnv(b->data, sizeof(PackedPixel) * static_cast<size_t>(b->width) * b->height);
}

// Bitwise equality of two float buffers; the first differing element in
// *where.
inline bool SameBits(const TPixeFloatBuffer* a, const TPixeFloatBuffer* b,
                     std::string* where = nullptr) {
  if (a->width != b->width || a->height != b->height) return false;
  const int64_t n = static_cast<int64_t>(a->width) * a->height;
  for (int64_t i = 0; i < n; ++i)
    if (std::memcmp(&a->data[i], &b->data[i], sizeof(FloatPixel)) != 0) {
      if (where)
        *where = "element " + std::to_string(i % a->width) + "," + std::to_string(i / a->width) +
                 ": " + std::to_string(a->data[i].r) + " vs " + std::to_string(b->data[i].r);
      return false;
    }
  return true;
}

// Copy of a float buffer (caller frees).
inline TPixeFloatBuffer* Clone(const TPixeFloatBuffer* b) {
  TPixeFloatBuffer* c = NewPixeFloatBuffer(TestPool(), b->width, b->height);
  CopyPixeFloatBuffer(c, b);
  return c;
}

// The five frame buffers and the pens of one rendered cloud layer.
struct LayerResult {
  TPixeFloatBuffer* base = nullptr;
  TPixeFloatBuffer* warp = nullptr;
  TPixeBuffer* cloud = nullptr;
  TPixeFloatBuffer* pens[5] = {};
  long double warpOffset = 0, warpScale = 0;
  int frameProgress = 0;

  LayerResult() = default;
  LayerResult(const LayerResult&) = delete;
  LayerResult& operator=(const LayerResult&) = delete;
  ~LayerResult() {
    FreePixeFloatBuffer(base);
    FreePixeFloatBuffer(warp);
    FreePixeBuffer(cloud);
    for (auto* p : pens) FreePixeFloatBuffer(p);
  }
};

// Allocates (making the pens afresh), renders the cloud layer in the given
// mode (on THREADS threads when above 0) and keeps copies of the results.
inline void RenderLayer(TCloudFrameParams p, bool reference, LayerResult& out, int threads = 0) {
  RenderContext ctx;
  if (threads > 0) ctx.Threads.SetThreads(threads);
  ctx.CloudReferenceMode = reference;
  RenderSequence seq;
  if (AllocFrameBuffers(ctx, p, OutTarget(p), seq)) RenderCloudLayer(ctx, p, OutTarget(p), seq);
  const TFrameBuffers& f = ctx.Frame;
  out.base = Clone(f.base_pattern);
  out.warp = Clone(f.warp_template);
  out.cloud = NewPixeBuffer(TestPool(), f.cloud->width, f.cloud->height);
  CopyPixeBuffer(out.cloud, f.cloud);
  const EnginePens& pens = ctx.Pens;
  const TPixeFloatBuffer* all[5] = {pens.CloudPen, pens.PenShade, pens.WarpPenR, pens.WarpPenG,
                                    pens.WarpPenB};
  for (int i = 0; i < 5; ++i) out.pens[i] = Clone(all[i]);
  out.warpOffset = seq.WarpOffset;
  out.warpScale = seq.WarpScale;
  out.frameProgress = ctx.FrameProgress;
}

}  // namespace velmora::testing_cloud
