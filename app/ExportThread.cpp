#include "app/ExportThread.h"

#include <QMetaObject>
#include <utility>

TExportThread::TExportThread(QObject* receiver) : receiver_(receiver) {}

TExportThread::~TExportThread() { Wait(); }

bool TExportThread::Start(std::function<void()> work, std::function<void()> finished) {
  if (busy_) return false;
  Wait();
  busy_ = true;
  thread_ = std::thread([this, work = std::move(work), finished = std::move(finished)]() mutable {
    work();
    Post([this, finished = std::move(finished)] {
      Wait();
      busy_ = false;
      finished();
    });
  });
  return true;
}

void TExportThread::Post(std::function<void()> fn) const {
  QMetaObject::invokeMethod(receiver_, std::move(fn), Qt::QueuedConnection);
}

void TExportThread::Wait() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}
