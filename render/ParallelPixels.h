// Element-wise loops over whole buffers on the thread pool: chunks of
// consecutive elements, and min / max scans whose result is the one the
// sequential scan from element 0 gives.
#pragma once

#include <algorithm>
#include <cstdint>

#include "render/ThreadPool.h"

namespace velmora {

// Elements per chunk of the element-wise loops (small buffers run on the
// calling thread alone).
constexpr int64_t kElementGrain = int64_t{1} << 13;

// Rows per chunk of the row loops over images w pixels wide.
inline int64_t RowGrain(int32_t w) {
  return std::max<int64_t>((int64_t{1} << 12) / std::max<int32_t>(w, 1), 1);
}

// Element-wise passes over at most this many elements run on the calling
// thread in one piece: a 128 x 128 buffer takes a few microseconds to fill
// or scan, less than waking another thread and waiting for it.
constexpr int64_t kInlineElements = int64_t{1} << 16;

// Min / max scans (a few operations an element, in order) share the work
// from this many elements on: a 128 x 128 buffer's scan takes 10 to 25
// microseconds, handing half of it to a worker that stays awake between
// passes far less.
constexpr int64_t kInlineScanElements = int64_t{1} << 13;

// Passes whose elements cost tens of operations each (an exact division,
// say) share the work from this many elements on.
constexpr int64_t kInlineCostlyElements = int64_t{1} << 12;

// body(begin, end) over [0, n) in chunks; passes of at most inlineElements
// elements run on the calling thread.
template <typename Body>
void ForElements(ThreadPool& pool, int64_t n, Body&& body, int64_t inlineElements = kInlineElements) {
  const int64_t threads = pool.Threads();
  const int64_t grain = n <= inlineElements ? n
                        : n <= kInlineElements ? (n + threads - 1) / threads
                                               : kElementGrain;
  pool.For(n, grain, [&](int64_t b, int64_t e, int) { body(b, e); });
}

// dst[i] := value for i in [0, n).
template <typename T>
void ParallelFill(ThreadPool& pool, T* dst, int64_t n, const T& value) {
  ForElements(pool, n, [&](int64_t b, int64_t e) { std::fill(dst + b, dst + e, value); });
}

// A running minimum and maximum, updated as the sequential scans do it:
// a value replaces the minimum only when it is smaller (so a NaN neither
// enters nor leaves, and of two equal values the first stays).
struct ScanRange {
  float lo, hi;
  void Take(float v) {
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
  void Merge(const ScanRange& o) {
    if (o.lo < lo) lo = o.lo;
    if (o.hi > hi) hi = o.hi;
  }
};

// Folds take(range, i) over i in [0, n) from `init` in chunks, then folds the
// chunks' results in index order: the same result as one scan from init.
// `Range` holds one or more ScanRange fields merged by merge(into, from).
template <typename Range, typename Take, typename Merge>
Range ParallelScan(ThreadPool& pool, int64_t n, const Range& init, Take&& take, Merge&& merge) {
  constexpr int64_t kChunks = 64;
  Range parts[kChunks];
  const int64_t chunk = std::max<int64_t>((n + kChunks - 1) / kChunks, 1);
  const int64_t used = (n + chunk - 1) / chunk;
  const int64_t grain = n <= kInlineScanElements ? used
                        : n <= kInlineElements   ? (used + pool.Threads() - 1) / pool.Threads()
                                                 : std::max<int64_t>(kElementGrain / chunk, 1);
  pool.For(used, grain, [&](int64_t b, int64_t e, int) {
    for (int64_t c = b; c < e; ++c) {
      Range r = init;
      const int64_t end = std::min(n, (c + 1) * chunk);
      for (int64_t i = c * chunk; i < end; ++i) take(r, i);
      parts[c] = r;
    }
  });
  Range total = init;
  for (int64_t c = 0; c < used; ++c) merge(total, parts[c]);
  return total;
}

}  // namespace velmora
