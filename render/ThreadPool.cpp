#include "render/ThreadPool.h"

#include <algorithm>
#include <chrono>
#include <exception>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace velmora {

namespace {

// How long an idle worker stays awake for the next loop, and the calling
// thread for the other workers' last chunks: the sequential steps between a
// render's passes and the last chunks of a pass (a band of stamps) take up
// to about a millisecond, and a thread woken from sleep costs tens of
// microseconds to start again on a virtual machine (measured: previews and
// movies on two threads 5 to 10 % faster than with 100 microseconds).
constexpr std::chrono::microseconds kStayAwake{1000};

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  _mm_pause();
#else
  std::this_thread::yield();
#endif
}

// Waits awake while waiting() holds, for kStayAwake at most.
template <typename Waiting>
void StayAwakeWhile(Waiting&& waiting) {
  const auto until = std::chrono::steady_clock::now() + kStayAwake;
  for (int i = 0; waiting(); ++i) {
    if ((i & 63) == 63 && std::chrono::steady_clock::now() >= until) return;
    CpuRelax();
  }
}

}  // namespace

ThreadPool::ThreadPool(int threads) : threads_(std::max(threads, 1)) { Start(); }

ThreadPool::~ThreadPool() { Stop(); }

int ThreadPool::HardwareThreads() {
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void ThreadPool::SetThreads(int threads) {
  threads = std::max(threads, 1);
  if (threads == threads_) return;
  Stop();
  threads_ = threads;
  Start();
}

void ThreadPool::Start() {
  quit_ = false;
  workers_.reserve(static_cast<size_t>(threads_ - 1));
  for (int w = 1; w < threads_; ++w) workers_.emplace_back([this, w] { WorkerMain(w); });
}

void ThreadPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
  workers_.clear();
}

void ThreadPool::Work(int worker) {
  for (;;) {
    if (Aborted()) return;
    const int64_t b = next_.fetch_add(grain_, std::memory_order_relaxed);
    if (b >= count_) return;
    fn_(ctx_, b, std::min(b + grain_, count_), worker);
  }
}

void ThreadPool::WorkerMain(int worker) {
  uint64_t seen = 0;
  for (;;) {
    // A render makes its passes one after another with short sequential
    // steps between them: waiting a moment awake for the next one spares
    // the time the system takes to wake a sleeping thread.
    StayAwakeWhile([&] { return generation_.load(std::memory_order_acquire) == seen; });
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return quit_ || generation_.load(std::memory_order_relaxed) != seen; });
      if (quit_) return;
      seen = generation_.load(std::memory_order_relaxed);
      if (!open_) continue;  // come too late: the loop is done
      ++joined_;
    }
    Work(worker);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (--joined_ == 0 && !open_) done_.notify_one();
    }
  }
}

void ThreadPool::Run(int64_t count, int64_t grain, Fn fn, void* ctx) {
  if (count <= 0) return;
  grain = std::max<int64_t>(grain, 1);
  bool expected = false;
  if (threads_ == 1 || count <= grain || !busy_.compare_exchange_strong(expected, true)) {
    for (int64_t b = 0; b < count && !Aborted(); b += grain)
      fn(ctx, b, std::min(b + grain, count), 0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fn_ = fn;
    ctx_ = ctx;
    count_ = count;
    grain_ = grain;
    next_.store(0, std::memory_order_relaxed);
    open_ = true;
    generation_.fetch_add(1, std::memory_order_release);
  }
  wake_.notify_all();
  // What the calling thread throws (a pump may) is passed on once the other
  // workers have left the loop, which then runs no further chunks.
  std::exception_ptr thrown;
  try {
    Work(0);
  } catch (...) {
    thrown = std::current_exception();
    next_.store(count_, std::memory_order_relaxed);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
  }
  // The other workers are finishing their last chunks: wait for them awake
  // for a moment, as they wait for the next loop, before sleeping.
  StayAwakeWhile([&] { return joined_.load(std::memory_order_acquire) != 0; });
  {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return joined_.load(std::memory_order_relaxed) == 0; });
  }
  busy_.store(false);
  if (thrown) std::rethrow_exception(thrown);
}

}  // namespace velmora
