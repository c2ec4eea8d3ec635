// The command line's one render context, and Ctrl-C wired to its abort flag.
#pragma once

#include <csignal>

#include "render/RenderContext.h"

namespace velmora::cli {

// Exit status of a command stopped by Ctrl-C (128 + SIGINT, as shells report it).
inline constexpr int kInterruptedStatus = 130;

// The context every command renders with (created on first use).
RenderContext& DefaultContext();

// While alive, SIGINT and SIGTERM are caught.  With betweenFrames set (the
// movie), a first SIGINT only raises Requested() so that the caller stops
// after the frame in progress; the next one, like SIGTERM and like the first
// one without it, asks the default context to abort, which stops the render
// in progress within a stamp, a row or a blur sample.
class InterruptToAbort {
 public:
  explicit InterruptToAbort(bool betweenFrames);
  ~InterruptToAbort();
  InterruptToAbort(const InterruptToAbort&) = delete;
  InterruptToAbort& operator=(const InterruptToAbort&) = delete;

  // A signal has arrived.
  static bool Requested();
  // The exit status of a command it stopped: 143 after SIGTERM, else 130.
  static int Status();

 private:
  struct sigaction oldInt_ = {};
  struct sigaction oldTerm_ = {};
};

}  // namespace velmora::cli
