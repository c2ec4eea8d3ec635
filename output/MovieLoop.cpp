#include "output/MovieLoop.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>

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
  Bitmap24 colour;
  Bitmap24 alpha;
  int32_t counter = 0;
  if (anyUsable && !renderFailed && !report.aborted) {
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
      auto started = Clock::now();
      const bool rendered = RenderMovieFrame(run, f, colour, wantAlpha ? &alpha : nullptr);
      report.renderSeconds += SecondsSince(started);
      if (!rendered && ctx.AbortRequested()) {
        // Stopped mid-frame: the frame is incomplete and is not written.
        report.aborted = true;
        break;
      }
      if (!rendered && ctx.Work.Exceeded) {
        report.failures.push_back(MsgFormat("frame %s: %s", {std::to_string(f),
                                  DescribeWorkOverrun(ctx.Work, p, outW, outH)}));
        renderFailed = true;
        break;
      }
      if (!rendered) {
        // The reason stands apart so that the command line can put the
        // engine's own message in its place.
        report.failures.push_back(MsgFormat(
            "frame %s could not be rendered at %s x %s with oversampling %s %s",
            {std::to_string(f), std::to_string(outW), std::to_string(outH),
             std::to_string(p.OverSampling), Msg("(not enough memory, or too large)")}));
        renderFailed = true;
        break;
      }
      started = Clock::now();
      for (Output& o : outputs) {
        if (!o.usable) continue;
        const Bitmap24& picture = o.alpha ? alpha : colour;
        if (o.kind == MovieOutputKind::Avi) {
          // A failed write is kept by the writer and reported when it closes;
          // the movie takes no more frames.
          o.usable = o.writer->Write(picture, counter,
                                     !o.alpha && settings.alphaChannel ? &alpha : nullptr);
        } else {
          const std::string file = NumberedFileName(o.name, f);
          std::string error;
          if (isProtected(file))
            o.seriesFailures.Add(MsgFormat("refusing to write over the project %s", {file}));
          else if (!SaveStill(StillFormatForPath(file),
                              RgbaPicture(picture, !o.alpha && settings.alphaChannel ? &alpha
                                                                                     : nullptr),
                              file, StillEncodeOptions{settings.jpegQuality}, &error,
                              settings.replaceProtected))
            o.seriesFailures.Add(error.empty() ? MsgFormat("cannot write %s", {file}) : error);
          showName(o.alpha, file);
        }
      }
      report.outputSeconds += SecondsSince(started);
      if (cb.drawPicture) cb.drawPicture(wantMain ? colour : alpha);

      ++counter;
      ctx.MovieProgress = static_cast<int>(
          RoundToInt64(100.0L / static_cast<long double>(total) * counter));
      if (cb.progress) cb.progress(MovieProgressInfo{f, counter, total, ctx.MovieProgress});
      if (!outputs[0].usable && !outputs[1].usable) break;  // every output has failed
    }
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
