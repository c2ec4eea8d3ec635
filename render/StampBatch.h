// Sequences of stamps into one target, applied band by band on the thread
// pool.  The random draws that place the stamps stay sequential: the caller
// adds the stamps in order, and the batch applies the whole sequence to each
// band of target rows in that order, so every pixel receives the same float
// blends in the same order as stamping one stamp after the other, whatever
// the number of threads.
#pragma once

#include <cstdint>

#include "render/FastStamp.h"
#include "render/ThreadPool.h"

namespace velmora {

class StampBatch {
 public:
  // Starts a sequence of at most `expected` stamps into target.  Longer
  // sequences, and the literal reference mode, stamp each one at once.
  StampBatch(RenderContext& ctx, TPixeFloatBuffer* target, int64_t expected);
  StampBatch(const StampBatch&) = delete;
  StampBatch& operator=(const StampBatch&) = delete;

  // CloudStamp(pen, src, target, mode, wrap, dst), queued.
  void Add(const TPixeFloatBuffer* pen, PixeRect src, int mode, bool wrap, PixeRect dst);

  // Declares the target grey (R = G = B in every element) and pen a grey pen
  // whose (R, A) pairs are `pairs`: when every queued stamp uses that pen,
  // the bands are stamped on pairs, which moves half the bytes and blends
  // one channel instead of three, with the same floats.
  void UseGreyPen(const TPixeFloatBuffer* pen, const float* pairs) {
    greyPen_ = pen;
    greyPairs_ = pairs;
  }

  // Fills BUFFER with v before the first stamp: at once when the batch does
  // not stamp into it, else as the stamps are applied, the queued bands
  // starting from v instead of being read (an abort leaves the bands not yet
  // stamped as they were; the frame is discarded anyway).
  void StartFrom(TPixeFloatBuffer* buffer, FloatPixel v);

  // False when the stamps are applied as they are added (then the caller
  // reports progress and checks for an abort after each one as usual).
  bool Queued() const { return ops_ != nullptr; }

  // Applies the queued stamps.  progress(done, total) runs on the calling
  // thread after each band it finishes (done bands of total so far).
  // Sets FrameProgress from `from` to `to` as the bands are done, after
  // each band the calling thread finishes.
  void RunWithProgress(int from, int to);
  template <typename Progress>
  void Run(ThreadPool& pool, Progress&& progress) {
    using P = std::remove_reference_t<Progress>;
    RunWith(pool, [](void* ctx, int64_t done, int64_t total) {
      (*static_cast<P*>(ctx))(done, total);
    }, &progress);
  }

 private:
  using ProgressFn = void (*)(void*, int64_t, int64_t);
  void RunWith(ThreadPool& pool, ProgressFn progress, void* progressCtx);
  void RunSequential();
  void FillNow();

  RenderContext& ctx_;
  TPixeFloatBuffer* target_;
  StampOp* ops_ = nullptr;  // null: every stamp is applied when added
  int64_t capacity_ = 0;
  int64_t count_ = 0;
  const TPixeFloatBuffer* greyPen_ = nullptr;
  const float* greyPairs_ = nullptr;
  bool fill_ = false;
  FloatPixel fillValue_{};
};

// The rows of the bands that the stamps of a batch are applied to, for a
// target W wide with bytesPerPixel per element on `threads` threads: a band
// takes a quarter of the second-level cache of a core (cacheBytes), so that
// it stays there while every stamp of the sequence passes over it, with room
// for the pen rows streaming through; and each thread gets several bands.
int32_t StampBandRows(int64_t W, int64_t H, int64_t bytesPerPixel, int threads,
                      int64_t cacheBytes);

// The size of a core's second-level data cache in bytes, as the system
// reports it (512 KiB when it does not).
int64_t SecondLevelCacheBytes();

}  // namespace velmora
