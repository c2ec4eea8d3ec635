#include "render/StampBatch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "base/Numeric.h"
#include "render/CloudPattern.h"
#include "render/Render.h"

namespace velmora {

namespace {

// Slots of the context's StampScratch: the queued stamps and their tables.
constexpr int kOpsSlot = 3;
constexpr int kTableSlot = 4;
constexpr int kPlanSlot = 5;
constexpr int kAlikeSlot = 6;
constexpr int kBandSlot = 8;  // the grey or planar copies of the bands
constexpr int kSpanSlot = 9;
// Stamp sizes whose plans are shared within a sequence.
constexpr int kMaxSizes = 32;
// Pens of one sequence whose alpha spans are found (the engine's sequences
// use at most three).
constexpr int kMaxSpanPens = 8;

// Longer sequences (only from extreme settings) are not queued.
constexpr int64_t kMaxQueued = int64_t{1} << 16;
// Column and row entries of all planned stamps together.
constexpr int64_t kMaxTableEntries = int64_t{1} << 24;
// Sequences with at most this many entries are planned on one thread.
constexpr int64_t kInlinePlanEntries = int64_t{1} << 12;

}  // namespace

int64_t SecondLevelCacheBytes() {
  constexpr int64_t kDefault = 512 * 1024;
  const long fromConf = sysconf(_SC_LEVEL2_CACHE_SIZE);
  if (fromConf > 0) return fromConf;
  // Some systems answer 0 there; the kernel's description of the cache.
  FILE* f = std::fopen("/sys/devices/system/cpu/cpu0/cache/index2/size", "r");
  if (!f) return kDefault;
  long long size = 0;
  char unit = 0;
  const int got = std::fscanf(f, "%lld%c", &size, &unit);
  std::fclose(f);
  if (got < 1 || size <= 0) return kDefault;
  if (got == 2 && (unit == 'K' || unit == 'k')) size *= 1024;
  if (got == 2 && (unit == 'M' || unit == 'm')) size *= 1024 * 1024;
  return std::clamp<int64_t>(size, 16 * 1024, int64_t{1} << 30);
}

int32_t StampBandRows(int64_t W, int64_t H, int64_t bytesPerPixel, int threads,
                      int64_t cacheBytes) {
  if (W <= 0 || H <= 0) return 1;
  const int64_t byCache = std::max<int64_t>(cacheBytes / 4 / (W * std::max<int64_t>(bytesPerPixel, 1)), 1);
  const int64_t perThread = (H + 4 * int64_t{std::max(threads, 1)} - 1) / (4 * int64_t{std::max(threads, 1)});
  return static_cast<int32_t>(std::max<int64_t>(1, std::min(byCache, perThread)));
}

StampBatch::StampBatch(RenderContext& ctx, TPixeFloatBuffer* target, int64_t expected)
    : ctx_(ctx), target_(target) {
  if (!target || ctx.CloudReferenceMode || expected <= 0 || expected > kMaxQueued) return;
  ops_ = static_cast<StampOp*>(
      ctx.StampScratch[kOpsSlot].Get(ctx.Pool, sizeof(StampOp) * static_cast<size_t>(expected)));
  capacity_ = ops_ ? expected : 0;
}

void StampBatch::Add(const TPixeFloatBuffer* pen, PixeRect src, int mode, bool wrap,
                     PixeRect dst) {
  RenderContext& ctx = ctx_;
  if (!target_) return;
  if (!ops_ || count_ == capacity_) {
    // Unqueued: what is queued goes first.
    RunSequential();
    CloudStamp(ctx, pen, src, target_, mode, wrap, dst);
    return;
  }
  if (src.width <= 0 || src.height <= 0 || dst.width <= 0 || dst.height <= 0) return;
  if (static_cast<int64_t>(dst.width) * dst.height > kMaxStampArea) return;
  ops_[count_++] = StampOp{pen, src, dst, mode, wrap};
}

void StampBatch::StartFrom(TPixeFloatBuffer* buffer, FloatPixel v) {
  if (!buffer) return;
  if (buffer != target_) {
    FillPixeFloatBuffer(buffer, v, &ctx_.Threads);
    return;
  }
  fill_ = true;
  fillValue_ = v;
}

void StampBatch::FillNow() {
  if (fill_ && target_) FillPixeFloatBuffer(target_, fillValue_, &ctx_.Threads);
  fill_ = false;
}

void StampBatch::RunSequential() {
  RenderContext& ctx = ctx_;
  FillNow();
  for (int64_t i = 0; i < count_; ++i) {
    const StampOp& op = ops_[i];
    CloudStamp(ctx, op.pen, op.src, target_, op.mode, op.wrap, op.dst);
  }
  count_ = 0;
}

void StampBatch::RunWith(ThreadPool& pool, ProgressFn progress, void* progressCtx) {
  RenderContext& ctx = ctx_;
  if (!target_ || count_ == 0) {
    FillNow();
    return;
  }
  const int32_t W = target_->width, H = target_->height;
  if (W <= 0 || H <= 0) {
    count_ = 0;
    fill_ = false;
    return;
  }
  // Tables for every stamp, or the plain sequence when they would not fit.
  int64_t entries = 0;
  for (int64_t i = 0; i < count_; ++i) {
    const PixeRect& d = ops_[i].dst;
    if (d.width > kMaxStampTable || d.height > kMaxStampTable) entries = kMaxTableEntries + 1;
    entries += static_cast<int64_t>(d.width) + d.height;
  }
  int32_t* table =
      entries <= kMaxTableEntries
          ? static_cast<int32_t*>(ctx.StampScratch[kTableSlot].Get(ctx.Pool, sizeof(int32_t) * static_cast<size_t>(entries)))
          : nullptr;
  StampPlan* plans = table ? static_cast<StampPlan*>(ctx.StampScratch[kPlanSlot].Get(ctx.Pool, sizeof(StampPlan) * static_cast<size_t>(count_)))
                           : nullptr;
  if (!plans) {
    RunSequential();
    return;
  }
  // Plan every stamp (each plan is its own sequential walk), then apply the
  // sequence band by band.
  {
    int64_t at = 0;
    // Every plan starts empty: an abort can leave some unmade.
    for (int64_t i = 0; i < count_; ++i) {
      plans[i] = StampPlan{};
      plans[i].cols = table + at;
      at += ops_[i].dst.width;
      plans[i].rows = table + at;
      at += ops_[i].dst.height;
    }
  }
  // The alpha spans of the rows of each pen (found once per sequence, or
  // kept with the engine's pens until they are made again): the stamps leave
  // out the transparent ends of the pen rows.
  struct SpanPen {
    const TPixeFloatBuffer* pen;
    int slot;        // the engine pen's slot when its spans are kept there, else -1
    int64_t at;      // else where in this sequence's block
    int32_t* spans;
  };
  SpanPen spanPens[kMaxSpanPens];
  int spanPenCount = 0;
  int64_t spanEntries = 0;
  EnginePens& engine = ctx.Pens;
  for (int64_t i = 0; i < count_; ++i) {
    const TPixeFloatBuffer* pen = ops_[i].pen;
    bool known = false;
    for (int j = 0; j < spanPenCount; ++j) known |= spanPens[j].pen == pen;
    if (known || spanPenCount == kMaxSpanPens || !pen || pen->width <= 0 || pen->height <= 0) continue;
    const size_t rowEntries = 2 * static_cast<size_t>(pen->height);
    SpanPen& sp = spanPens[spanPenCount++];
    sp = SpanPen{pen, engine.SlotOf(pen), 0, nullptr};
    if (sp.slot >= 0)
      sp.spans = static_cast<int32_t*>(engine.Spans[sp.slot].Get(ctx.Pool, sizeof(int32_t) * rowEntries));
    if (!sp.spans) {
      sp.slot = -1;
      sp.at = spanEntries;
      spanEntries += static_cast<int64_t>(rowEntries);
    }
  }
  int32_t* spans = spanEntries > 0 ? static_cast<int32_t*>(ctx.StampScratch[kSpanSlot].Get(
                                         ctx.Pool, sizeof(int32_t) * static_cast<size_t>(spanEntries)))
                                   : nullptr;
  if (!spans && spanEntries > 0) spanPenCount = 0;
  // Small pens (a preview's) are walked on the calling thread, as small plans are.
  for (int j = 0; j < spanPenCount; ++j) {
    SpanPen& sp = spanPens[j];
    if (sp.slot < 0) sp.spans = spans + sp.at;
    if (sp.slot >= 0 && engine.SpansOf[sp.slot] == engine.Generation + 1) continue;
    const int32_t PH = sp.pen->height;
    pool.For(PH, 2 * int64_t{PH} <= kInlinePlanEntries ? PH : 64, [&](int64_t b, int64_t e, int) {
      PenAlphaSpans(sp.pen, sp.spans, static_cast<int32_t>(b), static_cast<int32_t>(e));
    });
    // Rows left by an abort are not spans to keep.
    if (sp.slot >= 0 && !ctx.AbortRequested()) engine.SpansOf[sp.slot] = engine.Generation + 1;
  }
  // Stamps of one size (with pens of one size, from one source rectangle)
  // share their column and row tables: alike[i] is the first such stamp, for
  // the sizes among the first kMaxSizes.  The engine's sequences have few.
  int64_t* alike = static_cast<int64_t*>(
      ctx.StampScratch[kAlikeSlot].Get(ctx.Pool, sizeof(int64_t) * static_cast<size_t>(count_)));
  int64_t ownEntries = 0;
  {
    int64_t sizes[kMaxSizes];
    int sizeCount = 0;
    auto same = [&](const StampOp& a, const StampOp& b) {
      return a.pen->width == b.pen->width && a.pen->height == b.pen->height &&
             a.src.left == b.src.left && a.src.top == b.src.top && a.src.width == b.src.width &&
             a.src.height == b.src.height && a.dst.width == b.dst.width &&
             a.dst.height == b.dst.height;
    };
    for (int64_t i = 0; alike && i < count_; ++i) {
      alike[i] = i;
      if (!ops_[i].pen) continue;
      for (int k = 0; k < sizeCount && alike[i] == i; ++k)
        if (same(ops_[sizes[k]], ops_[i])) alike[i] = sizes[k];
      if (alike[i] == i && sizeCount < kMaxSizes) sizes[sizeCount++] = i;
      if (alike[i] == i) ownEntries += static_cast<int64_t>(ops_[i].dst.width) + ops_[i].dst.height;
    }
  }
  if (!alike) ownEntries = entries;
  // Planning costs about one step per table entry: a small sequence's plans
  // are made on the calling thread.
  pool.For(count_, ownEntries <= kInlinePlanEntries ? count_ : 4, [&](int64_t b, int64_t e, int) {
    for (int64_t i = b; i < e; ++i)
      if (!alike || alike[i] == i) PlanStamp(ops_[i], W, H, plans[i].cols, plans[i].rows, plans[i]);
  });
  for (int64_t i = 0; i < count_; ++i) {
    if (alike && alike[i] != i) PlanStampAlike(ops_[i], W, plans[alike[i]], plans[i]);
    for (int j = 0; j < spanPenCount; ++j)
      if (spanPens[j].pen == ops_[i].pen) plans[i].spans = spanPens[j].spans;
  }
  // Grey stamps work on (R, A) pairs of each band, in a block per thread;
  // a sequence whose modes all have planar forms works on the band's R, G,
  // B and A planes, converted once at the band's start and end.
  bool grey = greyPairs_ != nullptr &&
              (!fill_ || (fillValue_.r == fillValue_.g && fillValue_.g == fillValue_.b));
  for (int64_t i = 0; grey && i < count_; ++i) grey = ops_[i].pen == greyPen_;
  bool planar = !grey;
  for (int64_t i = 0; planar && i < count_; ++i) planar = plans[i].empty || plans[i].planar;
  const int threads = pool.Threads();
  const int32_t bandRows =
      StampBandRows(W, H, grey ? 2 * sizeof(float) : sizeof(FloatPixel), threads,
                    SecondLevelCacheBytes());
  // A planar band's planes lie a plane and 64 bytes apart, so that the same
  // pixel's four channels do not fall on the same offset within 4 KiB pages
  // (loads would wait on unrelated stores).
  const int64_t planeStride = (static_cast<int64_t>(bandRows) * W + 15) / 16 * 16 + 16;
  // Either form keeps room after its data for the last group of a run.
  const int64_t bandFloats = grey ? 2 * static_cast<int64_t>(bandRows) * W + 16 : 4 * planeStride;
  float* bandCopies =
      grey || planar ? static_cast<float*>(ctx.StampScratch[kBandSlot].Get(
                           ctx.Pool, sizeof(float) * static_cast<size_t>(bandFloats * threads)))
                     : nullptr;
  grey = grey && bandCopies;
  planar = planar && bandCopies;
  const int64_t bands = (H + bandRows - 1) / bandRows;
  std::atomic<int64_t> done{0};
  pool.For(bands, 1, [&](int64_t b, int64_t e, int worker) {
    for (int64_t band = b; band < e; ++band) {
      // An abort leaves the remaining bands: the frame is discarded anyway.
      if (ctx.AbortRequested()) return;
      const int32_t y0 = static_cast<int32_t>(band * bandRows);
      const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(H, y0 + int64_t{bandRows}));
      if (grey) {
        float* pairs = bandCopies + bandFloats * worker;
        FloatPixel* px = target_->data + static_cast<int64_t>(y0) * W;
        const int64_t n = static_cast<int64_t>(y1 - y0) * W;
        if (fill_) {
          for (int64_t k = 0; k < n; ++k) {
            pairs[2 * k] = fillValue_.r;
            pairs[2 * k + 1] = fillValue_.a;
          }
        } else {
          PixelsToGreyPairs(px, n, pairs);
        }
        for (int64_t i = 0; i < count_; ++i)
          ApplyGreyStampRows(ops_[i], plans[i], greyPairs_, pairs, W, H, y0, y1);
        GreyPairsToPixels(pairs, n, px);
      } else if (planar) {
        float* planes = bandCopies + bandFloats * worker;
        const int64_t ps = planeStride;
        FloatPixel* px = target_->data + static_cast<int64_t>(y0) * W;
        const int64_t n = static_cast<int64_t>(y1 - y0) * W;
        if (fill_) {
          const float v[4] = {fillValue_.r, fillValue_.g, fillValue_.b, fillValue_.a};
          for (int c = 0; c < 4; ++c) std::fill_n(planes + c * ps, n, v[c]);
        } else {
          PixelsToPlanes(px, n, planes, ps);
        }
        for (int64_t i = 0; i < count_; ++i)
          ApplyPlanarStampRows(ops_[i], plans[i], planes, ps, W, H, y0, y1);
        PlanesToPixels(planes, ps, n, px);
      } else {
        if (fill_)
          std::fill_n(target_->data + static_cast<int64_t>(y0) * W,
                      static_cast<int64_t>(y1 - y0) * W, fillValue_);
        for (int64_t i = 0; i < count_; ++i) ApplyStampRows(ops_[i], plans[i], target_, y0, y1);
      }
      const int64_t finished = done.fetch_add(1) + 1;
      if (worker == 0) progress(progressCtx, finished, bands);
    }
  });
  count_ = 0;
  fill_ = false;
}

void StampBatch::RunWithProgress(int from, int to) {
  Run(ctx_.Threads, [&](int64_t done, int64_t total) {
    ctx_.FrameProgress = from + RoundToInt32(static_cast<long double>(to - from) * done / total);
  });
  ctx_.FrameProgress = to;
}

}  // namespace velmora
