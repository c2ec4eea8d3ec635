#include "cli/DefaultContext.h"

#include <signal.h>

namespace velmora::cli {

namespace {

// What the signal handler may touch: lock-free flags only.
volatile std::sig_atomic_t g_signalled = 0;  // the signal that stops us; 0: none yet
volatile std::sig_atomic_t g_betweenFrames = 0;
RenderContext* g_context = nullptr;

// SIGTERM (kill, timeout, a cluster's cancel) stops at once: what sends it
// follows up with SIGKILL when we linger.  A first SIGINT may wait for the
// frame in progress.
void OnInterrupt(int sig) {
  const bool first = g_signalled == 0;
  if (first || sig == SIGTERM) g_signalled = sig;
  if (g_betweenFrames && first && sig == SIGINT) return;
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

int InterruptToAbort::Status() { return g_signalled == SIGTERM ? 128 + SIGTERM : kInterruptedStatus; }

}  // namespace velmora::cli
