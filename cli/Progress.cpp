#include "cli/Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Translate.h"
#include "render/Render.h"

namespace velmora::cli {

std::string Duration(double seconds) {
  const long s = std::lround(seconds);
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

ProgressBar::ProgressBar(const RenderContext& ctx, Mode mode, std::chrono::milliseconds delay)
    : ctx_(ctx), mode_(mode), start_(Clock::now()), delay_(delay) {}

ProgressBar::~ProgressBar() { StopTicking(); }

void ProgressBar::StartTicking(std::function<void()> each) {
  StopTicking();
  stopTicking_ = false;
  ticker_ = std::thread([this, each = std::move(each)] {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [&] { return stopTicking_; })) {
      if (each) {
        lock.unlock();
        each();
        lock.lock();
      }
      Draw(false);
    }
  });
}

void ProgressBar::StopTicking() {
  if (!ticker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopTicking_ = true;
  }
  wake_.notify_all();
  ticker_.join();
}

void ProgressBar::Frames(int32_t done, int32_t total) {
  std::lock_guard<std::mutex> lock(mutex_);
  done_ = done;
  total_ = total;
  if (mode_ == Mode::Lines && total > 0) {
    const int32_t tenths = static_cast<int32_t>(int64_t{done} * 10 / total);
    if (done > 0 && tenths > tenthsLogged_) {
      tenthsLogged_ = tenths;
      const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
      std::fprintf(stderr, "%s\n", LogLine(done, total, elapsed).c_str());
      std::fflush(stderr);
    }
    return;
  }
  Draw(true);
}

std::string ProgressBar::LogLine(int32_t done, int32_t total, double elapsed) {
  const double fraction = total > 0 ? static_cast<double>(done) / total : 1.0;
  const std::string left = fraction > 0 ? Duration(elapsed / fraction - elapsed) : "--:--";
  char buf[160];
  std::snprintf(buf, sizeof buf, "%d/%d", done, total);
  return "velmora: movie: " + MsgFormat("%s frames (%s), %s elapsed, %s left",
                                        {buf, std::to_string(static_cast<int>(fraction * 100)) + "%",
                                         Duration(elapsed), left});
}

void ProgressBar::Tick() {
  std::lock_guard<std::mutex> lock(mutex_);
  Draw(false);
}

void ProgressBar::Note(const std::string& text) {
  if (mode_ != Mode::Bar) return;
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(stderr, "\r%s\033[K\n", text.c_str());
  Draw(true);
}

void ProgressBar::Finish() {
  StopTicking();
  std::lock_guard<std::mutex> lock(mutex_);
  if (mode_ == Mode::Bar && drawn_) std::fputs("\n", stderr);
  drawn_ = false;
}

void ProgressBar::Draw(bool force) {
  if (mode_ != Mode::Bar) return;
  const auto now = Clock::now();
  if (now - start_ < delay_) return;
  if (!force && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  const double within = std::clamp(ctx_.FrameProgress.load(), 0, 99) / 100.0;  // the blur follows 100
  const double fraction = still_       ? within
                          : total_ > 0 ? (done_ + (done_ < total_ ? within : 0)) / total_
                                       : 1.0;
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(fraction * kWidth);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kWidth, '.');
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  // Frames finish at uneven pace (the blur comes last), so the estimate is
  // smoothed rather than shown raw.
  const double seconds = left_.Update(elapsed, (done_ > 0 || still_) ? fraction : 0);
  const std::string left = seconds < 0 ? "--:--" : Duration(seconds);
  const std::string frames =
      still_ ? std::string()
             : MsgFormat("%s frames", {std::to_string(done_) + "/" + std::to_string(total_)}) + "  ";
  std::fprintf(stderr, "\r[%s] %s%3d%%  %s\033[K", bar.c_str(), frames.c_str(),
               static_cast<int>(fraction * 100), MsgFormat("%s left", {left}).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

}  // namespace velmora::cli
