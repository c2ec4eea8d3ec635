#include "output/MovieLoop.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "base/FileName.h"
#include "base/ReplaceFile.h"
#include "base/Strings.h"
#include "base/Translate.h"
#include "output/Formats.h"
#include "output/StillImage.h"
#include "base/Numeric.h"
#include "render/Render.h"

namespace velmora {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A failed picture file is reported once per output with the number of
// further failures, so a full disk does not produce one line per frame.
struct SeriesFailures {
  std::string first;
  int32_t count = 0;
  void Add(const std::string& what) {
    if (count++ == 0) first = what;
  }
  void Report(const std::string& label, std::vector<std::string>& out) const {
    if (count == 0) return;
    if (count > 1)
      out.push_back(MsgFormat("%s: %s (and %s more pictures not written)",
                              {label, first, std::to_string(count - 1)}));
    else
      out.push_back(label + ": " + first);
  }
};

struct Output {
  bool alpha = false;
  std::string name;
  MovieOutputKind kind = MovieOutputKind::None;
  std::unique_ptr<AviWriter> writer;  // AVI outputs only
  bool opened = false;                // the AVI writer opened (and must be closed)
  bool usable = false;                // can receive frames
  SeriesFailures seriesFailures;
  const char* Label() const { return alpha ? Msg("alpha output") : Msg("main output"); }
};

// When a frame's alpha picture is made: not at all, with the render (it is
// the picture shown), or on the outputs' thread from the alpha bytes.
enum class AlphaPicture { None, Now, Later };

// What the frames' pictures are and which are made.
struct FrameLook {
  bool wantColour = false;  // a main output
  AlphaPicture alpha = AlphaPicture::None;  // of the 8-bit alpha picture
  bool high = false;        // depth 16 or float: the high-precision render
  bool alphaOutput = false;  // an alpha output (for the high-precision alpha)
  bool alphaChannel = false;
  ExportMap map = ExportMap::Picture;
  double strength = 1;
};

// What one frame hands to the outputs.
struct FramePictures {
  int32_t frame = 0;
  int32_t sample = 0;  // the frame counter: the AVI sample number
  Bitmap24 colour;     // with a main output
  Bitmap24 alpha;      // made with the render, or by AlphaFromBytes
  // The pictures of the high-precision render: the colour output's (RGBA
  // with the alpha channel) and the grey alpha.
  FloatImage colourHigh;
  FloatImage alphaHigh;
  // The alpha byte of every pixel at the render size, and the factor the
  // alpha picture is reduced by (AlphaPicture::Later).
  std::vector<uint8_t> alphaBytes;
  int32_t renderW = 0, renderH = 0, factor = 1;
};

// One frame rendered, or why not.
struct RenderedFrame {
  bool ok = false;
  bool aborted = false;  // stopped mid-frame
  bool workExceeded = false;
  TWorkBudget work;
  TCloudFrameParams params;  // the record evaluated at the frame
  FramePictures pictures;
  std::vector<std::string> messages;  // the engine's, from a lane's context
  double seconds = 0;
};

// Reduces SOURCE by FACTOR into TARGET (moves it when FACTOR is 1), as the
// oversampled pictures are reduced.
void ReducePicture(RenderContext& ctx, const TRenderStages& stages, Bitmap24& target,
                   Bitmap24&& source, int32_t factor) {
  if (factor <= 1) {
    target = std::move(source);
    return;
  }
  target.width = source.width / factor;
  target.height = source.height / factor;
  target.bytes.assign(static_cast<size_t>(target.width) * static_cast<size_t>(target.height) * 3,
                      0);
  if (target.width == 0 || target.height == 0) return;
  stages.DownSample(ctx, target, source);
}

// The pictures of a high-precision render: the colour output's and the
// alpha output's grey alpha.
void HighPictures(RenderContext& ctx, const TCloudFrameParams& p, const FrameLook& look,
                  const HighFrame& high, FramePictures& pic) {
  if (look.wantColour)
    ExportImage(ctx, p, &high, look.map, look.strength, look.alphaChannel, pic.colourHigh);
  if (!look.alphaOutput) return;
  FloatImage rgba;
  const bool shared = pic.colourHigh.channels == 4;
  if (!shared) ExportImage(ctx, p, &high, ExportMap::Picture, 0, true, rgba);
  const FloatImage& from = shared ? pic.colourHigh : rgba;
  pic.alphaHigh.SetSize(from.width, from.height, 1);
  for (size_t i = 0; i < pic.alphaHigh.values.size(); ++i)
    pic.alphaHigh.values[i] = from.values[i * 4 + 3];
}

// Renders a frame from FRAME.params on CTX in SEQ and makes its pictures as
// LOOK says; with LOOK.high through the high-precision stages into HIGH.
void RenderFrame(RenderContext& ctx, const TRenderStages& stages, RenderSequence& seq,
                 const FrameLook& look, HighFrame& high, RenderedFrame& frame) {
  const auto started = Clock::now();
  const TCloudFrameParams& p = frame.params;
  frame.ok =
      RenderOversampled(ctx, p, seq, nullptr, look.high ? HighPrecisionStages(high) : stages);
  if (frame.ok && look.high) {
    HighPictures(ctx, p, look, high, frame.pictures);
  } else if (frame.ok) {
    const int32_t factor = OutputFactor(p);
    FramePictures& pic = frame.pictures;
    const TPixeBuffer* buffer = ctx.Frame.filtered_cloud;
    const AlphaPicture alpha = look.alpha;
    if (look.wantColour && look.map == ExportMap::Picture) {
      OversampledPictures(ctx, p, pic.colour, nullptr, stages);
    } else if (look.wantColour) {
      FloatImage map;
      ExportImage(ctx, p, nullptr, look.map, look.strength, false, map);
      FloatImageToBitmap(map, pic.colour);
    }
    if (alpha == AlphaPicture::Now) {
      Bitmap24 full;
      BufferAlphaToBitmap(full, buffer);
      ReducePicture(ctx, stages, pic.alpha, std::move(full), factor);
    } else if (alpha == AlphaPicture::Later && buffer && buffer->data) {
      pic.renderW = buffer->width;
      pic.renderH = buffer->height;
      pic.factor = factor;
      const size_t n = static_cast<size_t>(buffer->width) * static_cast<size_t>(buffer->height);
      pic.alphaBytes.resize(n);
      for (size_t i = 0; i < n; ++i) pic.alphaBytes[i] = static_cast<uint8_t>(PixA(buffer->data[i]));
    }
  } else {
    frame.aborted = ctx.AbortRequested();
    frame.workExceeded = ctx.Work.Exceeded;
  }
  frame.work = ctx.Work;
  frame.seconds = SecondsSince(started);
}

// The alpha picture from the alpha bytes: grey pixels, reduced.
void AlphaFromBytes(RenderContext& ctx, const TRenderStages& stages, FramePictures& pic) {
  Bitmap24 full;
  full.width = pic.renderW;
  full.height = pic.renderH;
  full.bytes.resize(pic.alphaBytes.size() * 3);
  for (size_t i = 0; i < pic.alphaBytes.size(); ++i)
    full.bytes[i * 3] = full.bytes[i * 3 + 1] = full.bytes[i * 3 + 2] = pic.alphaBytes[i];
  ReducePicture(ctx, stages, pic.alpha, std::move(full), pic.factor);
  pic.alphaBytes = {};
}

// The outputs' own thread: writes one frame while the caller renders the
// next.  One frame at a time: the caller waits until the last one is written
// before it hands over another, and reads what the writing changed only then.
class OutputThread {
 public:
  explicit OutputThread(std::function<void(FramePictures&)> write)
      : write_(std::move(write)), thread_([this] { Main(); }) {}
  ~OutputThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();  // after writing what was handed over
  }
  OutputThread(const OutputThread&) = delete;
  OutputThread& operator=(const OutputThread&) = delete;

  void WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !pending_; });
  }
  // After WaitIdle.
  void Hand(FramePictures&& pictures) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = std::move(pictures);
      pending_ = true;
    }
    wake_.notify_all();
  }

 private:
  void Main() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return pending_ || quit_; });
      if (!pending_) return;
      lock.unlock();
      write_(job_);
      job_ = {};
      lock.lock();
      pending_ = false;
      idle_.notify_all();
    }
  }

  std::function<void(FramePictures&)> write_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  FramePictures job_;
  bool pending_ = false;
  bool quit_ = false;
  std::thread thread_;  // last: starts once the rest is ready
};

// What the pens of a frame are made from: the render size and the seed.
struct PensKey {
  int32_t w = 0, h = 0, seed = 0;
  bool operator==(const PensKey&) const = default;
};

// Two frames at a time, each on a render context of its own (with half of
// the caller's threads) and a thread of its own.  Each lane renders from the
// record evaluated at its frame and a copy of the sequence, whose warp
// normalisation is fixed: nothing else passes from one frame to the next, so
// the pictures are those of one frame after the other.
class FrameLanes {
 public:
  FrameLanes(RenderContext& main, const TRenderStages& stages, const FrameLook& look)
      : main_(main), stages_(stages), look_(look) {
    const int threads = main.Threads.Threads();
    for (int i = 0; i < 2; ++i) {
      Lane& lane = lanes_[i];
      RenderContext& c = lane.ctx;
      c.Threads.SetThreads(std::max(1, threads / 2 + (i < threads % 2 ? 1 : 0)));
      c.CloudReferenceMode = main.CloudReferenceMode;
      c.BlurVectorKernels = main.BlurVectorKernels;
      c.Work.PerPixel = main.Work.PerPixel;
      c.RenderIdle = false;
      c.PreviewBusy = true;
      // Shown by the caller when the frame's turn comes.
      c.SetMessageSink([&lane](const std::string& text) { lane.frame.messages.push_back(text); });
    }
  }
  ~FrameLanes() { Stop(); }
  FrameLanes(const FrameLanes&) = delete;
  FrameLanes& operator=(const FrameLanes&) = delete;

  bool HasFreeLane() const { return !lanes_[0].busy || !lanes_[1].busy; }

  void Start(int32_t frame, const TCloudFrameParams& params, const RenderSequence& seq,
             int8_t newPens) {
    Lane& lane = lanes_[lanes_[0].busy ? 1 : 0];
    lane.number = frame;
    lane.busy = true;
    lane.done = false;
    lane.frame = RenderedFrame{};
    lane.frame.params = params;
    lane.seq = seq;
    lane.ctx.Work.NewPens = newPens;
    lane.ctx.FrameProgress = 0;
    lane.ctx.PixeProgress = 0;
    lane.thread = std::thread([this, &lane] {
      TakeCallersPens(lane);
      RenderFrame(lane.ctx, stages_, lane.seq, look_, lane.high, lane.frame);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        lane.done = true;
      }
      done_.notify_all();
    });
  }

  // Waits for FRAME (which a lane holds), passing an abort of the caller's
  // context on to the lanes and showing the frame's progress there.
  RenderedFrame Take(int32_t frame) {
    Lane& lane = lanes_[lanes_[0].busy && lanes_[0].number == frame ? 0 : 1];
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (done_.wait_for(lock, std::chrono::milliseconds(10), [&] { return lane.done; })) break;
      }
      if (main_.AbortRequested())
        for (Lane& l : lanes_) l.ctx.RequestAbort();
      main_.FrameProgress = lane.ctx.FrameProgress.load();
      main_.PixeProgress = lane.ctx.PixeProgress.load();
    }
    lane.thread.join();
    lane.busy = false;
    return std::move(lane.frame);
  }

  // Stops and drops the frames in flight.
  void Stop() {
    for (Lane& lane : lanes_) {
      if (!lane.busy) continue;
      lane.ctx.RequestAbort();
      lane.thread.join();
      lane.busy = false;
    }
  }

 private:
  struct Lane {
    RenderContext ctx;
    HighFrame high;  // from ctx's pool: destroyed before it
    std::thread thread;
    int32_t number = 0;  // the frame in flight
    bool busy = false;   // a frame is in flight (or done and not taken)
    bool done = false;   // under mutex_
    RenderedFrame frame;
    RenderSequence seq;
  };
  // A lane whose pens do not fit its frame copies the caller's when those
  // do (the pens of the frames rendered before the lanes started), instead
  // of making its own: a copy costs a few milliseconds, new pens at 512 x 512
  // the time of a frame or more.  The caller's pens do not change while the
  // lanes run, and both lanes may read them at once.
  void TakeCallersPens(Lane& lane) {
    RenderTarget t;
    if (!OutputTarget(lane.frame.params, t, nullptr)) return;
    const int32_t seed = lane.frame.params.Seed;
    if (lane.ctx.Pens.Match(t.Width, t.Height, seed) || !main_.Pens.Match(t.Width, t.Height, seed))
      return;
    // A failed copy leaves no pens: the frame makes its own.
    lane.ctx.Pens.CopyFrom(lane.ctx.Pool, main_.Pens);
  }

  RenderContext& main_;
  const TRenderStages stages_;
  const FrameLook look_;
  std::mutex mutex_;
  std::condition_variable done_;
  Lane lanes_[2];  // last: destroyed (and stopped) first
};

}  // namespace

std::string TrimOutputName(const std::string& name) { return Trim(name); }

MovieOutputKind OutputKindForName(const std::string& name) {
  if (name.empty()) return MovieOutputKind::None;
  if (FormatForPath(name, kFormatMovie)) return MovieOutputKind::Avi;
  return MovieOutputKind::Series;
}

std::string SeriesNameInFolder(const std::string& name, const std::string& stem) {
  if (name.empty()) return name;
  struct stat st;
  const bool folder = name.back() == '/' || (stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  if (!folder) return name;
  return name + (name.back() == '/' ? "" : "/") + stem + ".png";
}

std::string NumberedFileName(const std::string& name, int32_t frame) {
  // The base loses its extension only when the extension's dot stands among
  // the last four characters; the extension put after the number is the
  // name's whole extension (from the last dot of the file name).
  const std::string base = StripExtension(name);
  const size_t slash = name.rfind('/');
  const size_t dot = name.rfind('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string ext = hasExt ? name.substr(dot) : "";
  char digits[16];
  std::snprintf(digits, sizeof digits, "%.4d", frame);
  return base + digits + ext;
}

std::string PartialMovieName(const std::string& name) {
  const size_t dot = ExtensionStart(name);
  if (dot == std::string::npos) return name + ".partial";
  return name.substr(0, dot) + ".partial" + name.substr(dot);
}

std::vector<std::string> DescribeMovieOutputs(const MovieSettings& s) {
  std::vector<std::string> lines;
  for (bool alpha : {false, true}) {
    const std::string name = TrimOutputName(alpha ? s.alphaName : s.mainName);
    const std::string label = MsgFormat(alpha ? "alpha output: %s" : "main output: %s", {""});
    switch (OutputKindForName(name)) {
      case MovieOutputKind::None:
        break;
      case MovieOutputKind::Avi:
        lines.push_back(label + name);
        break;
      case MovieOutputKind::Series:
        if (s.lastFrame <= s.firstFrame)
          lines.push_back(label + NumberedFileName(name, s.firstFrame));
        else
          lines.push_back(label + NumberedFileName(name, s.firstFrame) + " .. " +
                          NumberedFileName(name, s.lastFrame));
        break;
    }
  }
  return lines;
}

namespace {

// Why OUTPUT cannot take its first file; empty when it can.
std::string OutputProblem(const std::string& name, MovieOutputKind kind, int32_t first,
                          bool replaceProtected) {
  if (kind == MovieOutputKind::None) return {};
  struct stat st;
  if (kind == MovieOutputKind::Series && stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
      !S_ISDIR(st.st_mode))
    return MsgFormat("%s is a device or pipe: a numbered series needs a file name "
                     "(an .avi name writes one stream)",
                     {name});
  FileReplacement probe;  // made and dropped: nothing is left behind
  std::string error;
  const std::string file = kind == MovieOutputKind::Series ? NumberedFileName(name, first) : name;
  if (!probe.Begin(file, &error, replaceProtected)) return error;
  return {};
}

}  // namespace

MovieEncodeOptions MovieOptionsFor(const MovieSettings& s, bool alphaOutput) {
  MovieEncodeOptions o = s.movieOptions;
  o.alpha = !alphaOutput && s.alphaChannel;
  return o;
}

std::vector<std::string> CheckMovieOutputs(const MovieSettings& s) {
  std::vector<std::string> lines;
  for (bool alpha : {false, true}) {
    const std::string name = TrimOutputName(alpha ? s.alphaName : s.mainName);
    const std::string problem =
        OutputProblem(name, OutputKindForName(name), s.firstFrame, s.replaceProtected);
    if (!problem.empty()) lines.push_back(MsgFormat(alpha ? MsgNoop("alpha output: %s") : MsgNoop("main output: %s"), {problem}));
  }
  return lines;
}

MovieSettings MovieSettingsFromModel(const TProjectModel& model) {
  MovieSettings s;
  s.mainName = TrimOutputName(model.OutPutFilen);
  s.alphaName = TrimOutputName(model.OutPutAlpha);
  s.firstFrame = model.FromCurrentFrame ? model.TimeLinePosition : model.TimeLineMin;
  s.lastFrame = model.TimeLineMax;
  return s;
}

MovieReport RenderMovie(TFrameRenderer& r, const MovieSettings& settings,
                        const MovieCallbacks& cb) {
  MovieReport report;
  RenderContext& ctx = *r.Context;
  TCloudFrameParams& p = *r.Params;
  Output outputs[2];
  outputs[0].name = TrimOutputName(settings.mainName);
  outputs[1].name = TrimOutputName(settings.alphaName);
  outputs[1].alpha = true;
  for (Output& o : outputs) o.kind = OutputKindForName(o.name);
  if (outputs[0].kind == MovieOutputKind::None && outputs[1].kind == MovieOutputKind::None)
    return report;
  report.started = true;

  const int32_t outW = p.ResX;
  const int32_t outH = p.ResY;
  const int32_t first = settings.firstFrame;
  const int64_t total64 = int64_t{settings.lastFrame} - first + 1;
  // A range beyond 2^31 frames is counted as the largest int; it runs until
  // stopped or until the disk fills.
  const int32_t total = static_cast<int32_t>(std::clamp<int64_t>(total64, 0, INT32_MAX));
  report.firstFrame = first;
  report.totalFrames = total;
  if (outputs[0].kind != MovieOutputKind::None && outputs[0].name == outputs[1].name) {
    report.failures.push_back(
        MsgFormat("the main and the alpha output are the same file: %s", {outputs[0].name}));
    return report;
  }
  auto isProtected = [&](const std::string& file) {
    return !settings.protectedFile.empty() && SameFile(file, settings.protectedFile);
  };
  for (const Output& o : outputs) {
    if (o.kind == MovieOutputKind::Avi && isProtected(o.name)) {
      report.failures.push_back(MsgFormat("%s: refusing to write over the project %s",
                                          {o.Label(), settings.protectedFile}));
      return report;
    }
  }
  if (settings.alphaChannel && outputs[0].kind == MovieOutputKind::Avi) {
    const std::string problem = MovieAlphaProblem(*FormatForPath(outputs[0].name, kFormatMovie),
                                                  settings.movieOptions.codec);
    if (!problem.empty()) {
      report.failures.push_back(problem);
      return report;
    }
  } else if (settings.alphaChannel && outputs[0].kind != MovieOutputKind::None) {
    const OutputFormat& f = StillFormatForPath(outputs[0].name);
    if (!(f.channels & kChannelsRgba)) {
      report.failures.push_back(
          MsgFormat("%s files hold no alpha channel: %s", {f.name, outputs[0].name}));
      return report;
    }
  }
  if (settings.depth != kDepth8) {
    // Pictures of depth 16 or float go only to series of a format that
    // holds them.
    for (const Output& o : outputs) {
      std::string problem;
      if (o.kind == MovieOutputKind::Avi) {
        problem = MsgFormat(
            "--depth %s: movies hold 8-bit pictures only (numbered %s series take it)",
            {std::string(DepthName(settings.depth)), DepthFormatList(settings.depth)});
      } else if (o.kind == MovieOutputKind::Series) {
        const OutputFormat& f = StillFormatForPath(o.name);
        if (!(f.depths & settings.depth) || !f.encodeHigh)
          problem = MsgFormat("%s files hold no pictures of depth %s (%s do)",
                              {std::string(f.name), std::string(DepthName(settings.depth)),
                               DepthFormatList(settings.depth)});
      }
      if (!problem.empty()) {
        report.failures.push_back(std::string(o.Label()) + ": " + problem);
        return report;
      }
    }
  }
  if (outW < 1 || outH < 1) {
    report.failures.push_back(MsgFormat("the output size must be at least 1 x 1 (got %s x %s)",
                                        {std::to_string(outW), std::to_string(outH)}));
    return report;
  }

  ctx.RenderIdle = false;
  ctx.MovieProgress = 0;
  ctx.PreviewBusy = true;
  auto showName = [&](bool alpha, const std::string& file) {
    if (cb.showOutputName) cb.showOutputName(alpha, file);
  };
  showName(false, "");
  showName(true, "");

  for (Output& o : outputs) {
    if (o.kind == MovieOutputKind::Series) {
      // Known before any frame is rendered, not after the last one.
      const std::string problem = OutputProblem(o.name, o.kind, first, settings.replaceProtected);
      o.usable = problem.empty();
      if (!o.usable) report.failures.push_back(std::string(o.Label()) + ": " + problem);
    } else if (o.kind == MovieOutputKind::Avi) {
      o.writer = std::make_unique<AviWriter>();
      const auto started = Clock::now();
      o.opened = o.usable =
          o.writer->Open(o.name, outW, outH, settings.aviOptions,
                         MovieOptionsFor(settings, o.alpha), settings.replaceProtected);
      report.outputSeconds += SecondsSince(started);
      showName(o.alpha, o.name);
      if (!o.usable)
        report.failures.push_back(std::string(o.Label()) + ": " + o.writer->LastError());
    }
  }
  const bool anyUsable = outputs[0].usable || outputs[1].usable;

  // The export's work budget stands in for the host's until the end.
  const long double hostWorkPerPixel = ctx.Work.PerPixel;
  ctx.Work.PerPixel = settings.workPerPixel;
  // The movie's own sequence: its warp normalisation is fixed afresh on
  // frame 0, whatever an earlier render fixed.
  RenderSequence seq;
  TFrameRenderer run = r;
  run.Sequence = &seq;
  bool renderFailed = false;
  // Brings the engine to the state a whole run has at its frame F: the
  // buffers at F's render size and the pens allocated (pens are re-made
  // from F's seed when the size differs from theirs) and, while the warp
  // normalisation is not fixed, F's cloud layer to fix it.
  auto prepare = [&](int32_t f) {
    ctx.FrameProgress = 0;
    ctx.PixeProgress = 0;
    EvalCurveSet(*r.Curves, p, f);
    const bool fixWarp = !seq.WarpFixed();
    if (fixWarp) CallShowParams(*r.Hooks, p);
    const int64_t factor = OutputFactor(p);
    const int64_t w = int64_t{outW} * factor, h = int64_t{outH} * factor;
    const auto started = Clock::now();
    RenderTarget target;
    bool ok = OutputTarget(p, target, nullptr);
    if (ok) {
      ok = r.Stages.AllocFrameBuffers(ctx, p, target, seq);
      if (ok && fixWarp) r.Stages.RenderCloudLayer(ctx, p, target, seq);
      ok = ok && !ctx.Work.Exceeded;
    }
    seq.Invalidate();
    report.renderSeconds += SecondsSince(started);
    if (!ok && ctx.Work.Exceeded)
      report.failures.push_back(MsgFormat("frame %s: %s", {std::to_string(f),
                                DescribeWorkOverrun(ctx.Work, p, outW, outH)}));
    else if (!ok)
      report.failures.push_back(MsgFormat(
          f == 0 ? MsgNoop("frame %s could not be rendered at %s x %s to fix the warp normalisation")
                 : MsgNoop("frame %s could not be rendered at %s x %s to prepare the frames that "
                           "follow it"),
          {std::to_string(f), std::to_string(w), std::to_string(h)}));
    return ok;
  };
  auto abortAsked = [&] {
    return ctx.RenderIdle || ctx.AbortRequested() || (cb.abortRequested && cb.abortRequested());
  };
  if (anyUsable && total > 0) {
    // A whole run starting elsewhere than frame 0 first renders frame 0's
    // cloud layer, fixing the warp normalisation on it; a range of that run
    // also walks the run's frames before the range.
    const int32_t runStart = std::min(settings.runStart.value_or(first), first);
    if (runStart != 0) renderFailed = !prepare(0);
    // The walk only has work while the normalisation is not fixed: the pens
    // are a function of the seed and the render size, re-made wherever they
    // differ.  Outside the span of the keys every frame has the values of the
    // span's edge, so the walk skips straight across.
    long double lo = 0, hi = 0;
    CurveSetKeySpan(*r.Curves, lo, hi);
    int64_t f = runStart, prepared = runStart != 0 ? 0 : INT64_MIN;
    while (!renderFailed && f < first && !seq.WarpFixed()) {
      if (abortAsked()) break;
      renderFailed = !prepare(static_cast<int32_t>(f));
      prepared = f;
      if (f > hi) break;  // every later frame has f's values
      f = f < lo ? static_cast<int64_t>(std::min<long double>(first, std::ceil(lo))) : f + 1;
    }
    // The pens (and the work estimate, which counts new pens) as the run has
    // them at its frame before the range.
    if (!renderFailed && first > runStart && prepared != first - 1 && !abortAsked())
      renderFailed = !prepare(first - 1);
    if (!renderFailed && abortAsked()) report.aborted = true;
  }

  const bool wantMain = outputs[0].kind != MovieOutputKind::None;
  const bool wantAlpha =
      outputs[1].kind != MovieOutputKind::None || (wantMain && settings.alphaChannel);
  // The alpha picture is made with the render when it is the one shown (no
  // main output), else on the outputs' thread.
  FrameLook look;
  look.wantColour = wantMain;
  look.high = settings.depth != kDepth8;
  look.alphaOutput = outputs[1].kind != MovieOutputKind::None;
  look.alphaChannel = settings.alphaChannel;
  look.map = settings.map;
  look.strength = settings.normalStrength;
  // The high-precision render makes its alpha pictures with the colour.
  const AlphaPicture alphaWhen = !wantAlpha || look.high ? AlphaPicture::None
                                 : wantMain               ? AlphaPicture::Later
                                                          : AlphaPicture::Now;
  look.alpha = alphaWhen;
  HighFrame high;  // the float buffers of the caller's context
  int32_t counter = 0;
  if (anyUsable && !renderFailed && !report.aborted) {
    // The outputs' thread: the AVI encoders, the picture files and the alpha
    // pictures made from the alpha bytes.  Whatever it touches (the outputs'
    // writers, their failures, writeSeconds) the caller reads only while it
    // is idle.
    std::unique_ptr<RenderContext> reduceCtx;  // for the alpha picture's reduction
    if (alphaWhen == AlphaPicture::Later) {
      reduceCtx = std::make_unique<RenderContext>();
      reduceCtx->Threads.SetThreads(1);
    }
    const TRenderStages stages = r.Stages;
    double writeSeconds = 0;
    OutputThread out([&](FramePictures& pic) {
      const auto started = Clock::now();
      if (alphaWhen == AlphaPicture::Later) AlphaFromBytes(*reduceCtx, stages, pic);
      for (Output& o : outputs) {
        if (!o.usable) continue;
        const Bitmap24& picture = o.alpha ? pic.alpha : pic.colour;
        if (o.kind == MovieOutputKind::Avi) {
          // A failed write is kept by the writer and reported when it closes;
          // the movie takes no more frames.
          o.usable = o.writer->Write(picture, pic.sample,
                                     !o.alpha && settings.alphaChannel ? &pic.alpha : nullptr);
        } else {
          const std::string file = NumberedFileName(o.name, pic.frame);
          std::string error;
          if (isProtected(file))
            o.seriesFailures.Add(MsgFormat("refusing to write over the project %s", {file}));
          else if (look.high) {
            if (!SaveHigh(StillFormatForPath(file), o.alpha ? pic.alphaHigh : pic.colourHigh,
                          settings.depth, file, &error, settings.replaceProtected))
              o.seriesFailures.Add(error.empty() ? MsgFormat("cannot write %s", {file}) : error);
          } else if (!SaveStill(StillFormatForPath(file),
                              RgbaPicture(picture, !o.alpha && settings.alphaChannel ? &pic.alpha
                                                                                     : nullptr),
                              file, StillEncodeOptions{settings.jpegQuality}, &error,
                              settings.replaceProtected))
            o.seriesFailures.Add(error.empty() ? MsgFormat("cannot write %s", {file}) : error);
        }
      }
      writeSeconds += SecondsSince(started);
    });

    // Two frames at a time once the warp normalisation is fixed (the first
    // frame may be what fixes it), when the frames are small enough.
    bool lanesWanted = false;
    if (settings.parallelism == MovieParallelism::Frames) {
      lanesWanted = total >= 2;
    } else if (settings.parallelism == MovieParallelism::Auto && total >= 2 &&
               ctx.Threads.Threads() >= 2) {
      TCloudFrameParams q = p;
      EvalCurveSet(*r.Curves, q, first);
      RenderTarget t;
      lanesWanted = OutputTarget(q, t, nullptr) &&
                    int64_t{t.Width} * t.Height <= kFrameParallelPixels;
    }
    std::unique_ptr<FrameLanes> lanes;
    // The pens the frame before the next one handed to a lane has, in the
    // order of the frames (unset: those of the caller's context), so that
    // each frame's work is counted as one context would count it.
    std::optional<PensKey> lastPens;
    int64_t nextToLane = first;
    auto feedLanes = [&] {
      while (lanes->HasFreeLane() && nextToLane <= settings.lastFrame) {
        const auto f = static_cast<int32_t>(nextToLane++);
        TCloudFrameParams q = p;
        EvalCurveSet(*r.Curves, q, f);
        RenderTarget t;
        int8_t newPens = 1;
        if (OutputTarget(q, t, nullptr)) {  // else the frame fails before its pens
          const PensKey key{t.Width, t.Height, q.Seed};
          newPens = (lastPens ? *lastPens != key : !ctx.Pens.Match(t.Width, t.Height, q.Seed))
                        ? 1 : 0;
          lastPens = key;
        }
        lanes->Start(f, q, seq, newPens);
      }
    };

    for (int64_t f64 = first; f64 <= settings.lastFrame; ++f64) {
      const auto f = static_cast<int32_t>(f64);
      if (r.Model) {
        r.Model->TimeLinePosition = f;
        r.Model->CurFrame = std::to_string(f);
      }
      if (cb.frameStarting) cb.frameStarting(f);
      if (abortAsked()) {
        report.aborted = true;
        break;
      }
      RenderedFrame frame;
      if (lanesWanted && seq.WarpFixed()) {
        if (!lanes) {
          lanes = std::make_unique<FrameLanes>(ctx, r.Stages, look);
          report.parallelism = MovieParallelism::Frames;
          // The frames before this one were rendered here (the first of
          // them fixed the warp normalisation): the lanes start at this one.
          nextToLane = f;
        }
        feedLanes();
        frame = lanes->Take(f);
        feedLanes();  // the lane just freed takes the next frame at once
        p = frame.params;  // the record follows the frames
        CallShowParams(*r.Hooks, p);
        for (const std::string& m : frame.messages) ctx.ShowMessage(m);
      } else {
        ctx.FrameProgress = 0;
        ctx.PixeProgress = 0;
        EvalCurveSet(*r.Curves, p, f);
        CallShowParams(*r.Hooks, p);
        frame.params = p;
        RenderFrame(ctx, r.Stages, seq, look, high, frame);
      }
      report.renderSeconds += frame.seconds;
      if (!frame.ok && frame.aborted) {
        // Stopped mid-frame: the frame is incomplete and is not written.
        report.aborted = true;
        break;
      }
      if (!frame.ok && frame.workExceeded) {
        report.failures.push_back(MsgFormat("frame %s: %s", {std::to_string(f),
                                  DescribeWorkOverrun(frame.work, frame.params, outW, outH)}));
        renderFailed = true;
        break;
      }
      if (!frame.ok) {
        // The reason stands apart so that the command line can put the
        // engine's own message in its place.
        report.failures.push_back(MsgFormat(
            "frame %s could not be rendered at %s x %s with oversampling %s %s",
            {std::to_string(f), std::to_string(outW), std::to_string(outH),
             std::to_string(frame.params.OverSampling), Msg("(not enough memory, or too large)")}));
        renderFailed = true;
        break;
      }
      // The frame before is written by now; when no output could take it,
      // this one is not handed over.
      out.WaitIdle();
      if (!outputs[0].usable && !outputs[1].usable) break;  // every output has failed
      FramePictures& pic = frame.pictures;
      pic.frame = f;
      pic.sample = counter;
      for (const Output& o : outputs)
        if (o.kind == MovieOutputKind::Series && o.usable)
          showName(o.alpha, NumberedFileName(o.name, f));
      // (The pictures of the high-precision render are floats: none to show.)
      if (cb.drawPicture && !look.high) cb.drawPicture(wantMain ? pic.colour : pic.alpha);
      out.Hand(std::move(pic));

      ++counter;
      ctx.MovieProgress = static_cast<int>(
          RoundToInt64(100.0L / static_cast<long double>(total) * counter));
      if (cb.progress) cb.progress(MovieProgressInfo{f, counter, total, ctx.MovieProgress});
    }
    if (lanes) lanes->Stop();  // frames rendered ahead of a stop are dropped
    out.WaitIdle();
    report.outputSeconds += writeSeconds;
  }
  report.framesDone = counter;
  ctx.Work.PerPixel = hostWorkPerPixel;

  const bool stoppedEarly = report.aborted || renderFailed;
  for (Output& o : outputs) {
    if (o.opened && counter == 0 && stoppedEarly) {
      // Nothing was made: an empty movie would only stand in the way (or in
      // place) of a real one.
      o.writer->Discard();
      report.notes.push_back(MsgFormat("no frames were made; %s was not written", {o.name}));
    } else if (o.opened) {
      const auto started = Clock::now();
      // An interrupted movie does not replace a complete one.
      const bool beside = stoppedEarly && o.writer->TargetExisted();
      const std::string partial = PartialMovieName(o.name);
      if (!(beside ? o.writer->CloseAs(partial) : o.writer->Close()))
        report.failures.push_back(std::string(o.Label()) + ": " + o.writer->LastError());
      else if (beside)
        report.notes.push_back(MsgFormat("%s was left as it was; the %s frames made are in %s",
                                         {o.name, std::to_string(counter), partial}));
      report.outputSeconds += SecondsSince(started);
    }
    o.seriesFailures.Report(o.Label(), report.failures);
  }
  ctx.PreviewBusy = false;
  ctx.MovieProgress = 0;
  ctx.FrameProgress = 0;
  ctx.RenderIdle = true;
  return report;
}

}  // namespace velmora
