// The export runner: one export (a still or a movie) at a time on a thread
// of its own, with a fresh render context.  It knows nothing of windows:
// the host is told on the export's thread that the job has returned and
// then calls Finish on its own thread to join it.
//
// How a host uses it:
// - Start(job, returned): JOB runs on a new thread with a new context;
//   RETURNED runs on that thread after JOB (the window queues a call to its
//   own thread there, which calls Finish).
// - The gauges read Context()'s atomics while the export runs.
// - AbortBetweenFrames asks a movie to stop before its next frame (the
//   movie's abortRequested callback asks AbortBetweenFramesRequested); Stop
//   aborts at once and joins.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "render/RenderContext.h"

namespace velmora {

class ExportRunner {
 public:
  ExportRunner() = default;
  // Stops a running job.
  ~ExportRunner() { Stop(); }
  ExportRunner(const ExportRunner&) = delete;
  ExportRunner& operator=(const ExportRunner&) = delete;

  // Refused (false) while a job runs or waits to be finished.
  bool Start(std::function<void(RenderContext&)> job, std::function<void()> returned);
  // A job has started and has not been finished or stopped.
  bool Running() const { return thread_.joinable(); }
  // The running job's context, or null.
  const RenderContext* Context() const { return ctx_.get(); }

  void AbortBetweenFrames() { betweenFrames_ = true; }
  bool AbortBetweenFramesRequested() const { return betweenFrames_; }

  // After the job has returned: joins its thread and drops its context.
  void Finish();
  // Aborts the job at once (mid-frame), joins its thread and drops its
  // context; nothing when idle.
  void Stop();

 private:
  std::unique_ptr<RenderContext> ctx_;
  std::thread thread_;
  std::atomic<bool> betweenFrames_{false};
};

}  // namespace velmora
