// One export at a time on a thread of its own, so that the window stays
// responsive while a picture or movie renders.  The work reports back by
// posting functions that run on the window thread; when it ends, its
// finishing function runs there too, after the thread has been joined.
#pragma once

#include <QObject>
#include <functional>
#include <thread>

class TExportThread {
 public:
  // RECEIVER is the window: posted functions run in its thread; those still
  // queued when it is destroyed are dropped.  The window owns this object,
  // so the thread is joined before the window goes.
  explicit TExportThread(QObject* receiver);
  ~TExportThread();  // waits for running work; the owner asks it to stop first
  TExportThread(const TExportThread&) = delete;
  TExportThread& operator=(const TExportThread&) = delete;

  // True from Start until the finishing function has run.
  bool Busy() const { return busy_; }

  // Runs WORK on the export thread, then FINISHED on the window thread.
  // False (nothing starts) while an export is busy.
  bool Start(std::function<void()> work, std::function<void()> finished);

  // From any thread: runs FN on the window thread, in order of posting.
  void Post(std::function<void()> fn) const;

  // Joins the thread (the finishing function still runs from the event loop).
  void Wait();

 private:
  QObject* receiver_;
  std::thread thread_;
  bool busy_ = false;
};
