// The machine's memory bandwidth, the yardstick for the stamping figures:
// a STREAM-like read, copy and triad over float arrays of a given size, on 1
// or 2 threads (each thread its own contiguous part).  Sizes: 256 KiB (a
// core's second-level cache), 16 MiB (the pens of a 512 x 512 render, which
// the warp stamps read from) and 256 MiB (far beyond every cache: main
// memory).  The bytes_per_second counter counts what the loop reads and
// writes (copy and triad: a write also costs a read of the line, which is
// not counted, as in STREAM).  Times are the process's processor time, so
// that on a machine shared with other work the figures say what one core
// moves while it runs: with 2 threads, bytes_per_second is per core (the
// pair moves up to twice that when memory keeps up).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

enum Kernel { kRead, kCopy, kTriad };

// Runs body(begin, end) on `threads` threads over [0, n).
template <typename Body>
void Split(int threads, int64_t n, Body&& body) {
  if (threads <= 1) {
    body(int64_t{0}, n);
    return;
  }
  std::vector<std::thread> pool;
  const int64_t part = (n + threads - 1) / threads;
  for (int t = 1; t < threads; ++t)
    pool.emplace_back([&, t] { body(std::min(n, t * part), std::min(n, (t + 1) * part)); });
  body(0, std::min(n, part));
  for (auto& th : pool) th.join();
}

void BM_Bandwidth(benchmark::State& state) {
  const int64_t bytes = state.range(0) * 1024;
  const auto kernel = static_cast<Kernel>(state.range(1));
  const int threads = static_cast<int>(state.range(2));
  const int64_t n = bytes / static_cast<int64_t>(sizeof(float)) / 3;
  std::vector<float> a(n, 1.0f), b(n, 2.0f), c(n, 3.0f);
  float sum = 0;
  for (auto _ : state) {
    Split(threads, n, [&](int64_t from, int64_t to) {
      float* pa = a.data();
      const float* pb = b.data();
      const float* pc = c.data();
      if (kernel == kRead) {
        // The bits, folded with xor into eight independent accumulators of
        // eight bytes (a float sum would be one long chain of dependent
        // additions, far below what memory delivers).
        const auto* bits = reinterpret_cast<const unsigned char*>(pb);
        uint64_t acc[8] = {};
        int64_t i = from * 4;
        const int64_t end = to * 4;
        for (; i + 64 <= end; i += 64)
          for (int k = 0; k < 8; ++k) {
            uint64_t w;
            std::memcpy(&w, bits + i + 8 * k, sizeof w);
            acc[k] ^= w;
          }
        for (; i < end; ++i) acc[0] ^= bits[i];
        benchmark::DoNotOptimize(acc);
      } else if (kernel == kCopy) {
        std::copy(pb + from, pb + to, pa + from);
      } else {
        for (int64_t i = from; i < to; ++i) pa[i] = pb[i] + 0.5f * pc[i];
      }
    });
    benchmark::ClobberMemory();
    sum += a[0];
  }
  benchmark::DoNotOptimize(sum);
  const int64_t moved = kernel == kRead ? 1 : (kernel == kCopy ? 2 : 3);
  state.SetBytesProcessed(state.iterations() * n * static_cast<int64_t>(sizeof(float)) * moved);
}
BENCHMARK(BM_Bandwidth)
    ->ArgNames({"KiB", "kernel", "threads"})
    ->ArgsProduct({{256, 16 * 1024, 256 * 1024}, {kRead, kCopy, kTriad}, {1, 2}})
    ->MeasureProcessCPUTime();

}  // namespace
