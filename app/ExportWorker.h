// An export on a thread of its own: the core's ExportRunner (a fresh render
// context and a std::thread per export) tied to the thread the worker lives
// on (the window thread): Post queues a function there, and the completion
// runs there once the job has returned.  The job never touches a widget;
// everything it shows goes through Post.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>

#include "render/RenderContext.h"
#include "studio/ExportRunner.h"

class TExportWorker : public QObject {
  Q_OBJECT

 public:
  explicit TExportWorker(QObject* parent = nullptr);
  // Stops a running job and joins its thread.
  ~TExportWorker() override;
  TExportWorker(const TExportWorker&) = delete;
  TExportWorker& operator=(const TExportWorker&) = delete;

  // Runs JOB on a new thread with a context of its own; DONE runs on this
  // object's thread after JOB has returned and the thread has been joined.
  // Refused (false) while a job runs.
  bool Start(std::function<void(velmora::RenderContext&)> job, std::function<void()> done);
  bool Running() const { return runner_.Running(); }
  // The running job's context (its progress values are atomics), or null.
  const velmora::RenderContext* Context() const { return runner_.Context(); }

  // Queues FN to run on this object's thread; it is dropped when the job it
  // belongs to has been stopped meanwhile.  Callable from the job's thread.
  void Post(std::function<void()> fn);

  // The Abort button: the job should stop before its next frame.
  void AbortBetweenFrames() { runner_.AbortBetweenFrames(); }
  bool AbortBetweenFramesRequested() const { return runner_.AbortBetweenFramesRequested(); }

  // Stops the running job at once (mid-frame), joins its thread and drops its
  // completion and everything it posted.  Nothing happens when idle.
  void Stop();

 signals:
  void Finished();

 private:
  void Finish(uint64_t generation);

  velmora::ExportRunner runner_;
  std::function<void()> done_;
  // Counts the jobs; a posted function runs only for the current one.
  std::atomic<uint64_t> generation_{0};
};
