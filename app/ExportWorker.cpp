#include "app/ExportWorker.h"

#include <utility>

using velmora::RenderContext;

TExportWorker::TExportWorker(QObject* parent) : QObject(parent) {}

TExportWorker::~TExportWorker() { Stop(); }

bool TExportWorker::Start(std::function<void(RenderContext&)> job, std::function<void()> done) {
  if (Running()) return false;
  done_ = std::move(done);
  const uint64_t generation = ++generation_;
  return runner_.Start(std::move(job), [this, generation] {
    QMetaObject::invokeMethod(this, [this, generation] { Finish(generation); },
                              Qt::QueuedConnection);
  });
}

void TExportWorker::Post(std::function<void()> fn) {
  const uint64_t generation = generation_;
  QMetaObject::invokeMethod(
      this,
      [this, generation, fn = std::move(fn)] {
        if (generation == generation_) fn();
      },
      Qt::QueuedConnection);
}

void TExportWorker::Finish(uint64_t generation) {
  if (generation != generation_ || !Running()) return;
  runner_.Finish();
  std::function<void()> done = std::move(done_);
  done_ = nullptr;
  if (done) done();
  emit Finished();
}

void TExportWorker::Stop() {
  if (!Running()) return;
  runner_.Stop();
  ++generation_;
  done_ = nullptr;
  emit Finished();
}
