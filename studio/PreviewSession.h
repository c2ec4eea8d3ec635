// The preview session: the preview renders on a worker thread of its own,
// with its own render context and its own render sequence (the preview's
// warp normalisation and whether its buffers hold a cloud layer), so the
// window thread never renders and never waits for a render.
//
// How a host uses it:
// - Each request carries a copy of the project as it is at that moment; the
//   host keeps editing its own document meanwhile.
// - The latest request wins: a request that arrives while another renders
//   aborts that render, whose picture is dropped, and one waiting behind it
//   is replaced.  Only the picture of the newest request is ever published.
// - When a picture is ready the session calls the host's Ready function on
//   the worker thread; the host hands a wake-up to its own thread there (a
//   queued call in the window) and takes the picture with TakePicture.
// - The progress gauges read the worker context's atomics (Progress()).
// - Busy() is the session's "preview busy" state: a request is waiting or
//   rendering.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "anim/Document.h"
#include "anim/FrameRender.h"
#include "render/Pixe.h"
#include "render/Render.h"
#include "render/RenderContext.h"

namespace velmora {

enum class PreviewKind {
  Full,    // cloud layer and everything after it
  Filter,  // colour filter, mix and blur on the present cloud layer
  Mix,     // the texture mix on the present layers
  // Views of the engine's buffers from the last render, no render.
  ViewCloudPen,
  ViewWarpPenR,
  ViewWarpPenG,
  ViewWarpPenB,
  ViewBasePattern,
  ViewWarpTemplate,
};

struct PreviewPicture {
  uint64_t Request = 0;  // the number Submit returned
  PreviewKind Kind = PreviewKind::Full;
  Bitmap24 Picture;
};

class PreviewSession {
 public:
  struct Hooks {
    // A picture is ready (called on the worker thread).
    std::function<void()> Ready;
    // An engine message, e.g. a buffer that could not be had (worker thread).
    std::function<void(const std::string&)> Message;
  };
  explicit PreviewSession(Hooks hooks = {}, int threads = 0);
  // Aborts the render in flight and joins the worker.
  ~PreviewSession();
  PreviewSession(const PreviewSession&) = delete;
  PreviewSession& operator=(const PreviewSession&) = delete;

  // Queues KIND for a copy of DOC; returns the request's number (counting
  // from 1).  A render in flight is aborted, a request still waiting is
  // replaced.
  uint64_t Submit(const Document& doc, PreviewKind kind);
  // The next render fixes the warp normalisation afresh (Redraw, the
  // pattern switches, a new or opened project).
  void ResetWarp();
  // Whether the preview shows the clouds mixed with the document's texture
  // (the exports always do) or the clouds alone; from the next request on.
  void SetShowTexture(bool show);
  // The newest published picture not taken yet.
  std::optional<PreviewPicture> TakePicture();

  // A request is waiting or rendering.
  bool Busy() const;
  // Blocks until no request waits or renders (tests, benchmarks).
  void WaitIdle();
  // The number of the last request whose picture was published.
  uint64_t LastPublished() const;
  // Progress of the render in flight (atomics, readable from any thread).
  const RenderContext& Progress() const { return *ctx_; }

 private:
  struct Job {
    explicit Job(const Document& doc) : Doc(doc) {}
    uint64_t Request = 0;
    PreviewKind Kind = PreviewKind::Full;
    bool ResetWarp = false;
    bool ShowTexture = true;
    Document Doc;
  };
  void WorkerMain();
  bool Render(Job& job, Bitmap24& picture);

  Hooks hooks_;
  std::unique_ptr<RenderContext> ctx_;
  RenderSequence seq_;          // worker thread only
  const TWindowHooks noHooks_;  // the worker shows nothing itself

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  // Held by pointer: handing a job over moves no document (a document's
  // curves are about a megabyte).
  std::unique_ptr<Job> waiting_;
  uint64_t running_ = 0;  // the request being rendered, 0 when none
  uint64_t next_ = 0;
  bool resetWarp_ = false;
  bool showTexture_ = true;
  std::optional<PreviewPicture> picture_;
  uint64_t published_ = 0;
  bool quit_ = false;
  std::thread worker_;
};

}  // namespace velmora
