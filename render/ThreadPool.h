// A small pool of worker threads running parallel loops over index ranges.
// The render stages use it for pure pixel work only: every index computes the
// same values whichever thread runs it, so pictures do not depend on the
// number of threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace velmora {

class ThreadPool {
 public:
  // threads < 1 means one (the calling thread alone).
  explicit ThreadPool(int threads = 1);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // The number of hardware threads (at least 1).
  static int HardwareThreads();

  int Threads() const { return threads_; }
  // Stops the workers and starts threads - 1 new ones; not while a loop runs.
  void SetThreads(int threads);
  // The abort flag of the render the pool works for (a render context's):
  // once it is set, loops hand out no further chunks and return early, so an
  // abort stops a long pass between chunks without the body asking.
  void SetAbortFlag(const std::atomic<bool>* flag) { abort_ = flag; }

  // Calls body(begin, end, worker) for consecutive chunks [begin, end) of
  // [0, count), each at most `grain` long, and returns when all are done.
  // Chunks are handed out in increasing order (none once the abort flag is
  // set: the pass is then incomplete); the calling thread takes part
  // as worker 0, the others are 1 .. Threads() - 1.  A loop started while
  // another runs (from a body, or from a pump called by worker 0) runs on the
  // calling thread alone, as worker 0.
  template <typename Body>
  void For(int64_t count, int64_t grain, Body&& body) {
    using B = std::remove_reference_t<Body>;
    Run(count, grain,
        [](void* ctx, int64_t b, int64_t e, int w) { (*static_cast<B*>(ctx))(b, e, w); },
        const_cast<void*>(static_cast<const void*>(&body)));
  }

 private:
  using Fn = void (*)(void*, int64_t, int64_t, int);
  void Run(int64_t count, int64_t grain, Fn fn, void* ctx);
  void Start();
  void Stop();
  void WorkerMain(int worker);
  bool Aborted() const { return abort_ && abort_->load(std::memory_order_relaxed); }
  void Work(int worker);

  int threads_ = 1;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  // Each loop is a new generation.  Workers that come for it while it is
  // open join it (joined_ counts those still inside); once the calling
  // thread has run out of chunks it closes the loop and waits only for the
  // workers that joined, not for those still waking up.
  std::atomic<uint64_t> generation_{0};
  std::atomic<int> joined_{0};
  bool open_ = false;
  bool quit_ = false;
  std::atomic<bool> busy_{false};
  // The loop being run.
  Fn fn_ = nullptr;
  void* ctx_ = nullptr;
  int64_t count_ = 0;
  int64_t grain_ = 1;
  std::atomic<int64_t> next_{0};
  const std::atomic<bool>* abort_ = nullptr;
};

}  // namespace velmora
