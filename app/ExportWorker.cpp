#include "app/ExportWorker.h"

#include <utility>

using velmora::RenderContext;

TExportWorker::TExportWorker(QObject* parent) : QObject(parent) {}

TExportWorker::~TExportWorker() { Stop(); }

bool TExportWorker::Start(std::function<void(RenderContext&)> job, std::function<void()> done) {
  if (Running()) return false;
  ctx_ = std::make_unique<RenderContext>();
  done_ = std::move(done);
  betweenFrames_ = false;
  const uint64_t generation = ++generation_;
  RenderContext* ctx = ctx_.get();
  thread_ = std::thread([this, ctx, generation, job = std::move(job)] {
    job(*ctx);
    QMetaObject::invokeMethod(this, [this, generation] { Finish(generation); },
                              Qt::QueuedConnection);
  });
  return true;
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
  thread_.join();
  std::function<void()> done = std::move(done_);
  done_ = nullptr;
  ctx_.reset();
  if (done) done();
  emit Finished();
}

void TExportWorker::Stop() {
  if (!Running()) return;
  betweenFrames_ = true;
  ctx_->RequestAbort();
  thread_.join();
  ++generation_;
  done_ = nullptr;
  ctx_.reset();
  emit Finished();
}
