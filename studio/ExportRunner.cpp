#include "studio/ExportRunner.h"

#include <utility>

namespace velmora {

bool ExportRunner::Start(std::function<void(RenderContext&)> job, std::function<void()> returned) {
  if (Running()) return false;
  ctx_ = std::make_unique<RenderContext>();
  betweenFrames_ = false;
  RenderContext* ctx = ctx_.get();
  thread_ = std::thread([ctx, job = std::move(job), returned = std::move(returned)] {
    job(*ctx);
    if (returned) returned();
  });
  return true;
}

void ExportRunner::Finish() {
  if (!Running()) return;
  thread_.join();
  ctx_.reset();
}

void ExportRunner::Stop() {
  if (!Running()) return;
  betweenFrames_ = true;
  ctx_->RequestAbort();
  Finish();
}

}  // namespace velmora
