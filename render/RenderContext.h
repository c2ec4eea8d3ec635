// The render context: everything one render needs and keeps from one render
// to the next -- the block pool, the random generator, the five frame
// buffers, the pens, scratch memory, the host's message sink, the abort
// flag, the RenderIdle/PreviewBusy states and the progress values, which
// hosts read from outside (they are atomics): no host code runs inside a
// render.
// Every stage of the engine takes the context as a parameter; nothing of the
// engine is global, so several contexts render side by side.
//
// How a host uses it:
// - The desktop window's preview session (studio/) keeps one context for
//   the preview on its worker thread; a newer request calls RequestAbort.
// - An export runs on a worker thread with a context of its own and a copy of
//   the document's record (TCloudFrameParams is a plain value; copying it
//   never shares buffers, which live in the context).  The window reads the
//   worker context's progress values (atomics) for its gauges and calls
//   RequestAbort to stop it.
// - The command line keeps one default context (cli/) and wires Ctrl-C to its
//   RequestAbort; its progress bar is drawn from another thread.
// A context itself is used by one thread at a time: only the progress values,
// the guards and the abort flag may be touched from another thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Numeric.h"
#include "render/Ease.h"
#include "render/LayerCache.h"
#include "render/MemoryHunger.h"
#include "render/Pixe.h"
#include "render/ThreadPool.h"
#include "render/WorkBudget.h"

namespace velmora {

// A pool block kept from one use to the next and replaced only when a larger
// one is needed, so repeated renders at one size make no pool requests.
class ScratchBlock {
 public:
  ScratchBlock() = default;
  ScratchBlock(const ScratchBlock&) = delete;
  ScratchBlock& operator=(const ScratchBlock&) = delete;
  ~ScratchBlock() { Release(); }

  // At least BYTES bytes aligned to 64, or nullptr when the pool refuses.
  void* Get(HungerPool& pool, size_t bytes);
  void Release();
  // Exchanges the blocks of the two (to grow one while keeping its contents).
  void Swap(ScratchBlock& other) noexcept;

 private:
  HungerPool* pool_ = nullptr;
  void* block_ = nullptr;    // the pool block
  void* aligned_ = nullptr;  // its first 64-byte boundary
  size_t capacity_ = 0;
};

// The five frame buffers of the pipeline, owned: each is returned to its pool
// when the set is destroyed or freed.  Not copyable, so copying a record for
// another thread can never share them.
struct TFrameBuffers {
  TFrameBuffers() = default;
  TFrameBuffers(const TFrameBuffers&) = delete;
  TFrameBuffers& operator=(const TFrameBuffers&) = delete;
  ~TFrameBuffers() { Free(); }
  void Free();

  TPixeFloatBuffer* base_pattern = nullptr;  // grey cloud pattern before warping
  TPixeFloatBuffer* warp_template = nullptr; // three-channel displacement field
  TPixeBuffer* cloud = nullptr;              // warped grey clouds
  TPixeBuffer* filtered_cloud = nullptr;     // coloured clouds, blurred in place: the picture
  TPixeBuffer* mixed_texture = nullptr;      // clouds mixed with the texture
};

inline constexpr int kEnginePenCount = 5;

// The engine's five pens, all of the render size, drawn from the random
// sequence of the seed they were made with.  They are made again when
// missing, when the render size differs or when the seed differs, so a
// picture never depends on what was rendered before it.
struct EnginePens {
  EnginePens() = default;
  EnginePens(const EnginePens&) = delete;
  EnginePens& operator=(const EnginePens&) = delete;
  ~EnginePens() { Free(); }
  void Free();
  bool Match(int32_t w, int32_t h, int32_t seed) const;
  // Makes these pens a copy of FROM's (buffers from POOL, resized where they
  // exist): pens are a function of their size and seed alone, so a context
  // that takes another's renders what it would with pens of its own.  False
  // (and no pens) when FROM has none or a buffer cannot be had.
  bool CopyFrom(HungerPool& pool, const EnginePens& from);
  // Pen i of the five, in the order below (0 CloudPen .. 4 WarpPenB).
  TPixeFloatBuffer*& Slot(int i);
  const TPixeFloatBuffer* Slot(int i) const { return const_cast<EnginePens*>(this)->Slot(i); }
  // The slot of PEN among the five, or -1 for any other buffer.
  int SlotOf(const TPixeFloatBuffer* pen) const;

  TPixeFloatBuffer* CloudPen = nullptr;
  TPixeFloatBuffer* PenShade = nullptr;
  TPixeFloatBuffer* WarpPenR = nullptr;
  TPixeFloatBuffer* WarpPenG = nullptr;
  TPixeFloatBuffer* WarpPenB = nullptr;
  int32_t Seed = 0;  // the seed the pens were made with
  // Changes whenever the pens are made, copied or freed: what was made from
  // pens of one generation holds for that generation only.
  uint64_t Generation = 0;
  // CloudPen as (R, A) pairs for the grey stamping of base_pattern, made on
  // first use after the pens (GreyCloudPen in CloudPattern.h).
  ScratchBlock GreyCloud;
  bool GreyCloudReady = false;
  // The alpha spans of each pen's rows, by slot (StampBatch), found on first
  // use: SpansOf[i] is Generation + 1 while Spans[i] holds those of the
  // current pens.
  ScratchBlock Spans[kEnginePenCount];
  uint64_t SpansOf[kEnginePenCount] = {};
};

// Memory the blur keeps from one run to the next: the accumulator and the
// scratch block of the bilinear passes.
struct BlurWorkspace {
  BlurWorkspace() = default;
  BlurWorkspace(const BlurWorkspace&) = delete;
  BlurWorkspace& operator=(const BlurWorkspace&) = delete;
  ~BlurWorkspace() { Free(); }
  void Free();

  TPixeSumBuffer* acc = nullptr;
  ScratchBlock scratch;
};

// Powers of 255 that pen making keeps from one set of pens to the next: the
// warp pens' shading needs powl(255, sqrt(d2) / diag + 1) for many integer
// d2, slow to compute and the same for every seed at one pen size.  Kept for
// one size; pens of another size start them anew.
struct PenPowerCache {
  PenPowerCache() = default;
  PenPowerCache(const PenPowerCache&) = delete;
  PenPowerCache& operator=(const PenPowerCache&) = delete;
  void Free();

  // The pen size (0 x 0: none yet) and diag they belong to; index has an
  // entry for every d2 up to (width - 1)^2 + (height - 1)^2.
  int32_t width = 0, height = 0;
  long double diag = 0;
  int64_t count = 0;     // powers known
  int64_t capacity = 0;  // powers values has room for
  ScratchBlock index;    // int32 per d2: its position in values + 1, or 0
  ScratchBlock values;   // long double
};

// Values of a stamp sequence's size curve, At(0), At(1), ..., kept from one
// frame to the next: the curve depends only on the complexity and the radii,
// and each value costs a powl.
struct SizeCurveCache {
  PowEaseOutCurve curve{0, 0, 0, 0, 0};
  int64_t count = 0;  // values known (0: none)
  ScratchBlock values;
};

// Scratch slots of the stamping code and the warp lookup (see FastStamp.h
// and CloudPattern.cpp).
inline constexpr int kStampScratchSlots = 11;

class RenderContext {
 public:
  RenderContext() { Threads.SetAbortFlag(&abort_); }
  RenderContext(const RenderContext&) = delete;
  RenderContext& operator=(const RenderContext&) = delete;
  ~RenderContext() = default;

  // Memory.  The pool comes first so that it outlives everything drawn from it.
  HungerPool Pool;
  RandomGenerator Rng;
  TFrameBuffers Frame;
  EnginePens Pens;
  PenPowerCache PenPowers;
  StampedLayerCache Layers;
  ScratchBlock LayerMove;  // a row set aside while a kept layer is moved (CloudLayer.cpp)
  SizeCurveCache SizeCurves[2];  // of the base pattern and of warp layer 2
  ScratchBlock StampScratch[kStampScratchSlots];
  BlurWorkspace Blur;
  // The threads of the stages' pixel work (every core unless set otherwise;
  // the pictures are the same for every count).
  ThreadPool Threads{ThreadPool::HardwareThreads()};

  // The work budget of the frame being rendered: the host sets PerPixel
  // (0, the default: no limit), AllocFrameBuffers restarts the count.
  TWorkBudget Work;

  // Test hooks: the literal per-pixel forms of the optimised cloud paths, and
  // the blur's vector kernels.
  bool CloudReferenceMode = false;
  bool BlurVectorKernels = true;

  // Shared state of the engine and its drivers, readable from any thread.
  std::atomic<bool> RenderIdle{true};    // false while the engine stages run
  std::atomic<bool> PreviewBusy{false};  // a preview render or redraw is running
  std::atomic<int> FrameProgress{0};     // 0..100 within the current frame
  std::atomic<int> MovieProgress{0};     // 0..100 over the frames of a movie
  std::atomic<int> PixeProgress{0};      // 0..100 of the current per-pixel operation
  std::atomic<int> WarpRowProgress{0};   // rows of the warp lookup, in percent (no gauge)

  // Where the engine's user-facing messages go (a message box in the desktop
  // application, stderr on the command line).  Without a sink they are
  // dropped.
  void SetMessageSink(std::function<void(const std::string&)> sink);
  void ShowMessage(const std::string& text) const;

  // Asks the running render to stop: its pool hands out no further chunks
  // and its loops check the flag after every stamp, row or blur sample.
  // Stages that stop early leave their buffers incomplete, so the driver
  // discards the frame.  Safe from any thread and from a signal handler.
  void RequestAbort() { abort_.store(true, std::memory_order_relaxed); }
  bool AbortRequested() const { return abort_.load(std::memory_order_relaxed); }
  void ClearAbort() { abort_.store(false, std::memory_order_relaxed); }

 private:
  std::function<void(const std::string&)> sink_;
  std::atomic<bool> abort_{false};
  static_assert(std::atomic<bool>::is_always_lock_free);
};

}  // namespace velmora
