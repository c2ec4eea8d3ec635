#include "studio/PreviewSession.h"

#include <utility>

namespace velmora {

PreviewSession::PreviewSession(Hooks hooks, int threads)
    : hooks_(std::move(hooks)), ctx_(std::make_unique<RenderContext>()) {
  if (threads > 0) ctx_->Threads.SetThreads(threads);
  if (hooks_.Message) ctx_->SetMessageSink(hooks_.Message);
  worker_ = std::thread([this] { WorkerMain(); });
}

PreviewSession::~PreviewSession() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    waiting_.reset();
    if (running_) ctx_->RequestAbort();
  }
  wake_.notify_all();
  worker_.join();
}

uint64_t PreviewSession::Submit(const Document& doc, PreviewKind kind) {
  // Copied outside the lock: the worker never waits for it.
  auto job = std::make_unique<Job>(doc);
  job->Kind = kind;
  std::unique_ptr<Job> replaced;  // freed outside the lock too
  uint64_t id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = job->Request = ++next_;
    job->ShowTexture = showTexture_;
    replaced = std::move(waiting_);
    waiting_ = std::move(job);
    // The render in flight is superseded: stop it at its next chunk or stamp.
    if (running_) ctx_->RequestAbort();
  }
  wake_.notify_all();
  return id;
}

void PreviewSession::ResetWarp() {
  std::lock_guard<std::mutex> lock(mutex_);
  resetWarp_ = true;
}

void PreviewSession::SetShowTexture(bool show) {
  std::lock_guard<std::mutex> lock(mutex_);
  showTexture_ = show;
}

std::optional<PreviewPicture> PreviewSession::TakePicture() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::optional<PreviewPicture> out = std::move(picture_);
  picture_.reset();
  return out;
}

bool PreviewSession::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_ != 0 || waiting_ != nullptr;
}

void PreviewSession::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [&] { return running_ == 0 && !waiting_; });
}

uint64_t PreviewSession::LastPublished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return published_;
}

void PreviewSession::WorkerMain() {
  for (;;) {
    std::unique_ptr<Job> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return quit_ || waiting_; });
      if (quit_) return;
      job = std::move(waiting_);
      job->ResetWarp = std::exchange(resetWarp_, false);
      running_ = job->Request;
      // Cleared under the lock: a later Submit's abort always reaches the
      // render it means.
      ctx_->ClearAbort();
    }
    Bitmap24 picture;
    const bool complete = Render(*job, picture);
    bool publish = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // A newer request supersedes this picture even when it finished.
      if (complete && !waiting_ && !quit_) {
        picture_ = PreviewPicture{job->Request, job->Kind, std::move(picture)};
        published_ = job->Request;
        publish = true;
      }
    }
    // The host hears of the picture before the session counts as idle.
    if (publish && hooks_.Ready) hooks_.Ready();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      running_ = 0;
    }
    idle_.notify_all();
  }
}

bool PreviewSession::Render(Job& job, Bitmap24& picture) {
  RenderContext& ctx = *ctx_;
  auto view = [&](const TPixeFloatBuffer* b) {
    if (!b) return false;
    FloatBufferToBitmap(picture, b, &ctx.Threads);
    return true;
  };
  switch (job.Kind) {
    case PreviewKind::ViewCloudPen: return view(ctx.Pens.CloudPen);
    case PreviewKind::ViewWarpPenR: return view(ctx.Pens.WarpPenR);
    case PreviewKind::ViewWarpPenG: return view(ctx.Pens.WarpPenG);
    case PreviewKind::ViewWarpPenB: return view(ctx.Pens.WarpPenB);
    case PreviewKind::ViewBasePattern: return view(ctx.Frame.base_pattern);
    case PreviewKind::ViewWarpTemplate: return view(ctx.Frame.warp_template);
    default: break;
  }
  if (job.ResetWarp) seq_.ResetWarp();
  // The clouds alone: rendered as without a texture.
  if (!job.ShowTexture) job.Doc.SetTexture(nullptr);
  TFrameRenderer r = DocumentRenderer(ctx, job.Doc, noHooks_, &seq_);
  ctx.FrameProgress = 0;
  ctx.PixeProgress = 0;
  if (job.Kind == PreviewKind::Full)
    RenderPreviewFrame(r);
  else if (job.Kind == PreviewKind::Filter)
    RerenderFromFilter(r);
  else
    RerenderMix(r);
  if (ctx.AbortRequested()) {
    // A cloud layer cut short must not be built on by a later partial
    // render; the partial ones remake their stages from the cloud layer.
    if (job.Kind == PreviewKind::Full) seq_.Invalidate();
    return false;
  }
  const TPixeBuffer* shown = PictureBuffer(ctx, job.Doc.Params);
  if (!shown || !shown->data || !seq_.Rendered) return false;
  BufferToBitmap(picture, shown, &ctx.Threads);
  return true;
}

}  // namespace velmora
