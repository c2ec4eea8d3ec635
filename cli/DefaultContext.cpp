#include "cli/DefaultContext.h"

#include <signal.h>

namespace velmora::cli {

namespace {

// What the signal handler may touch: lock-free flags only.
volatile std::sig_atomic_t g_signalled = 0;
volatile std::sig_atomic_t g_betweenFrames = 0;
RenderContext* g_context = nullptr;

void OnInterrupt(int) {
  if (g_betweenFrames && !g_signalled) {
    g_signalled = 1;
    return;
  }
  g_signalled = 1;
  if (g_context) g_context->RequestAbort();
}

}  // namespace

RenderContext& DefaultContext() {
  static RenderContext context;
  return context;
}

InterruptToAbort::InterruptToAbort(bool betweenFrames) {
  g_context = &DefaultContext();
  g_signalled = 0;
  g_betweenFrames = betweenFrames ? 1 : 0;
  struct sigaction sa = {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &oldInt_);
  sigaction(SIGTERM, &sa, &oldTerm_);
}

InterruptToAbort::~InterruptToAbort() {
  sigaction(SIGINT, &oldInt_, nullptr);
  sigaction(SIGTERM, &oldTerm_, nullptr);
}

bool InterruptToAbort::Requested() { return g_signalled != 0; }

}  // namespace velmora::cli
