// velmora movie: renders the timeline as an AVI movie or a numbered picture
// series, with an optional alpha movie.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "anim/ProjectModel.h"
#include "cli/AviOptionArgs.h"
#include "base/DisplayText.h"
#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/DefaultContext.h"
#include "cli/DepthArgs.h"
#include "cli/FarmWork.h"
#include "cli/Progress.h"
#include "cli/ProjectOpen.h"
#include "cli/SetOptions.h"
#include "cli/TextureArgs.h"
#include "output/AviWriter.h"
#include "output/Formats.h"
#include "output/MovieLoop.h"
#include "output/Settings.h"
#include "render/Render.h"
#include "render/ThreadPool.h"

namespace velmora::cli {

namespace {

constexpr const char* kMovieUsage = MsgNoop(
    "usage: velmora movie [PROJECT.vlm] [-o OUT] [--alpha OUT] [--from N | --from-current]\n"
    "                     [--codec NAME] [--quality Q] [--keyframe N] [--bitrate BPS]\n"
    "                     [--loop N]\n"
    "Renders the project's timeline.  An output whose name ends in a movie format's\n"
    "extension (.avi, .mp4, .mkv, .webm, .mov, .webp, .gif, .apng) is a movie at 30\n"
    "frames per second; a picture format's name gives a numbered series\n"
    "(movie.bmp -> movie0000.bmp, ...; .bmp, .png, .jpg/.jpeg, .tif/.tiff, .exr; a\n"
    "name without an extension BMP; 'velmora help formats' lists the formats).\n"
    "A folder (or a name ending in /) gets frame0000.png, ... inside it.\n"
    "  -o OUT          the colour output (default: the project's output_avi)\n"
    "  --alpha OUT     the alpha output, grey pictures of the clouds' alpha\n"
    "                  (default: the project's outputalpha_avi)\n"
    "  --alpha-channel the colour pictures carry the clouds' alpha as their alpha\n"
    "                  channel (a numbered png, tiff or exr series; mkv or mov with\n"
    "                  ffv1 or png, mov with prores (4444), webm or mkv with vp9, webp,\n"
    "                  apng)\n"
    "  --from N        start at frame N instead of the timeline's start\n"
    "  --max-work N    stop at a frame that needs more than N operations per\n"
    "                  pixel (default 20000; 0: no limit)\n"
    "  --from-current  start at the project's current frame\n"
    "  --frames A..B   only frames A to B of that run, exactly as the whole run\n"
    "                  renders them (for rendering a movie in parts)\n"
    "  --set KEYWORD=VALUE  key a parameter at the current frame, as a project\n"
    "                  would (repeatable; 'velmora params --list' lists them)\n"
    "  --key KEYWORD@FRAME=VALUE  key a parameter at FRAME (repeatable: two keys\n"
    "                  make an animation: --key brightness@0=1 --key brightness@120=0.2)\n"
    "  --curve KEYWORD=TEXT  a parameter's whole curve ('velmora help curves')\n"
    "  --strict        a project warning stops the command (exit status 3)\n"
    "  --force         replace output files even when they are write-protected\n"
    "  --threads N     render on N threads (default: every core; 1: one thread);\n"
    "                  the pictures are the same for every N\n"
    "  --texture IMAGE     mix the clouds with this picture (as velmora render)\n"
    "  --texture-mix MODE  add (default), average or subtract\n"
    "  --texture-layer L   under (default) or over the clouds\n"
    "  --depth 8|16|float  bits per channel of a numbered series: 16 (png, tiff;\n"
    "                  exr as half floats) and float (tiff, exr) come from the\n"
    "                  high-precision render, as velmora render --depth writes\n"
    "                  them; movies hold 8\n"
    "  --buffer NAME   height or normal: the colour output gets each frame's\n"
    "                  height map or normal map (as velmora render)\n"
    "  --normal-strength X  how steep the normal map is (default 1)\n"
    "Movie options (for AVI stored in the settings file for later movies):\n"
    "  --codec NAME    the codec, by FFmpeg's short name: for AVI raw, mjpeg, ffv1,\n"
    "                  h264, mpeg4 or a four-character code; for the others what\n"
    "                  the format offers ('--codec list' lists them)\n"
    "  --quality Q     0 (smallest) to 100 (best)\n"
    "  --keyframe N    a key frame every N frames (0: the codec's choice)\n"
    "  --bitrate BPS   data rate in bits per second (k and M suffixes; 0: none)\n"
    "  --loop N        webp, gif, apng: play N times (0: forever, the default)\n"
    "Without PROJECT the new-project state is used.  Ctrl-C stops after the frame\n"
    "in progress and closes the files properly (exit status 130); a second Ctrl-C\n"
    "or SIGTERM stops at once, mid-frame (SIGTERM: exit status 143).\n");

struct MovieArgs {
  std::optional<std::string> project;
  std::optional<std::string> main;
  std::optional<std::string> alpha;
  std::optional<int32_t> from;
  long double workPerPixel = DefaultWorkPerPixel;
  std::optional<std::string> frames;
  bool fromCurrent = false;
  AviOptionArgs avi;
  ParamOptionTexts paramTexts;
  std::vector<SetOption> sets;
  bool strict = false;
  bool alphaChannel = false;
  bool force = false;
  std::optional<int32_t> threads;
  TextureArgs texture;
  DepthArgs depth;  // --depth, --buffer, --normal-strength
};

// An output name on the command line whose extension the format table does
// not know is refused (a name without an extension is a BMP series).
// A folder (or a name ending in /) holds a series of its own and passes.
std::string OutputNameProblem(const std::string& option, const std::string& name) {
  const std::string ext = PathExtension(name);
  if (ext.empty() || FormatForPath(name, kFormatMovie) || FormatForPath(name, kFormatSeries))
    return "";
  struct stat st;
  if (name.ends_with('/') || (stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) return "";
  return MsgFormat("%s: unknown format '%s' of %s (movies: %s; numbered series: %s)",
                   {option, ext, ForDisplay(name), FormatNameList(kFormatMovie),
                    FormatNameList(kFormatSeries)});
}

std::optional<int> ParseMovieArgs(const Args& args, MovieArgs& m) {
  CommandLine cl("movie", Msg(kMovieUsage));
  std::optional<std::string> maxWork, from, threads;
  cl.Project(m.project);
  cl.Flag("--strict", m.strict);
  cl.Flag("--alpha-channel", m.alphaChannel);
  cl.Flag("--force", m.force);
  cl.Value("-o,--output", m.main, MsgNoop("a file name"));
  cl.Value("--alpha", m.alpha, MsgNoop("a file name"));
  cl.Value("--from", from, MsgNoop("a frame number"));
  cl.Value("--max-work", maxWork, MsgNoop("operations per pixel"));
  cl.Flag("--from-current", m.fromCurrent);
  cl.Value("--frames", m.frames, MsgNoop("a frame range A..B"));
  m.avi.Add(cl);
  AddParamOptions(cl, m.paramTexts);
  cl.Value("--threads", threads, MsgNoop("a thread count"));
  m.texture.Add(cl);
  m.depth.Add(cl);
  m.depth.AddMaps(cl);
  if (auto s = cl.Parse(args)) return s;
  if (auto s = m.texture.Check(cl)) return s;
  if (auto s = m.depth.Check(cl)) return s;
  if (m.alphaChannel && m.depth.map != ExportMap::Picture)
    return cl.Usage(Msg("--alpha-channel writes the exported picture, not a --buffer"));
  if (auto s = cl.Threads(threads, m.threads)) return s;
  if (auto error = ParseParamOptions(m.paramTexts, m.sets)) return cl.Usage(*error);
  if (auto s = cl.Int(from, "--from", MsgNoop("an integer frame number"), m.from)) return s;
  if (auto s = cl.WorkPerPixel(maxWork, m.workPerPixel)) return s;
  if (auto s = m.avi.Check(cl)) return s;
  if (m.from && m.fromCurrent) return cl.Usage(Msg("give either --from or --from-current"));
  for (const auto& [option, name] : {std::pair{"-o", m.main}, std::pair{"--alpha", m.alpha}})
    if (name)
      if (const std::string problem = OutputNameProblem(option, TrimOutputName(*name));
          !problem.empty())
        return cl.Usage(problem);
  return std::nullopt;
}

}  // namespace

int CmdMovie(const Args& args) {
  MovieArgs m;
  if (auto status = ParseMovieArgs(args, m)) return *status;
  if (m.threads) DefaultContext().Threads.SetThreads(*m.threads);

  int projectStatus = 0;
  Document doc;
  if (!OpenProjectForCommand("movie", m.project, doc, projectStatus, m.strict))
    return projectStatus;
  if (!m.texture.Apply("movie", doc)) return 1;
  doc.EvalAt(ApplySetOptions(doc, m.sets, std::nullopt));
  TProjectModel& model = doc.Model;
  // With -o the project's alpha name is used only when --alpha asks for it.
  if (m.main && !m.alpha && !TrimOutputName(model.OutPutAlpha).empty()) {
    std::fprintf(stderr, "velmora: movie: %s\n",
                 MsgFormat("note: the project's alpha output %s is not written (give --alpha to "
                           "write one)",
                           {ForDisplay(TrimOutputName(model.OutPutAlpha))})
                     .c_str());
    model.OutPutAlpha.clear();
  }
  if (m.main) model.OutPutFilen = *m.main;
  if (m.alpha) model.OutPutAlpha = *m.alpha;
  if (m.fromCurrent) model.FromCurrentFrame = true;
  MovieSettings settings = MovieSettingsFromModel(model);
  // A folder as the output name holds a numbered series of PNG pictures.
  for (auto [name, stem] : {std::pair{&settings.mainName, "frame"}, {&settings.alphaName, "alpha"}}) {
    const std::string inFolder = SeriesNameInFolder(*name, stem);
    if (inFolder == *name) continue;
    struct stat st;
    if (stat(name->c_str(), &st) != 0) {
      const int err = errno;
      return Fail(1, "movie: " + MsgFormat("cannot write into %s: %s",
                                           {ForDisplay(*name), SystemErrorText(err)}));
    }
    std::fprintf(stderr, "velmora: movie: %s\n",
                 MsgFormat("note: %s is a folder: the pictures go into it as %s, ...",
                           {ForDisplay(*name), ForDisplay(NumberedFileName(inFolder, settings.firstFrame))})
                     .c_str());
    *name = inFolder;
  }
  if (m.from) {
    if (*m.from < model.TimeLineMin || *m.from > model.TimeLineMax)
      return Fail(2, "movie: " + MsgFormat("--from %s lies outside the timeline %s..%s",
                                           {std::to_string(*m.from),
                                            std::to_string(model.TimeLineMin),
                                            std::to_string(model.TimeLineMax)}));
    settings.firstFrame = *m.from;
  }
  if (m.frames) {
    const std::string problem =
        SelectFrameRange(*m.frames, model.TimeLineMin, model.TimeLineMax, settings);
    if (!problem.empty()) return Fail(2, "movie: " + problem);
  }
  if (settings.mainName.empty() && settings.alphaName.empty())
    return Fail(2, "movie: " + std::string(Msg("no output: give -o OUT or --alpha OUT")));
  const OutputFormat* mainMovie = FormatForPath(settings.mainName, kFormatMovie);
  const OutputFormat* alphaMovie = FormatForPath(settings.alphaName, kFormatMovie);
  if (m.avi.ListAsked()) {
    AviOptionArgs::ListCodecs(mainMovie ? mainMovie : alphaMovie);
    return 0;
  }
  // The options of the movies other than AVI (a main and an alpha movie of
  // different formats share them; the codec must suit both).
  for (const OutputFormat* f : {mainMovie, alphaMovie})
    if (f && f->name != "avi")
      if (auto s = m.avi.ResolveMovie("movie", *f, settings.movieOptions)) return *s;
  if (m.alphaChannel) {
    if (settings.mainName.empty())
      return Fail(2, "movie: " + std::string(Msg("--alpha-channel needs a colour output (-o)")));
    if (mainMovie) {
      const std::string problem = MovieAlphaProblem(*mainMovie, settings.movieOptions.codec.empty() ? std::string(mainMovie->DefaultCodec()) : settings.movieOptions.codec);
      if (!problem.empty()) return Fail(2, "movie: --alpha-channel: " + problem);
    } else {
      const OutputFormat& f = StillFormatForPath(settings.mainName);
      if (!(f.channels & kChannelsRgba))
        return Fail(2, "movie: " + MsgFormat("--alpha-channel: %s files hold no alpha channel (numbered %s series do)",
                                             {std::string(f.name), FormatNameList(kFormatSeries, kChannelsRgba)}));
    }
    settings.alphaChannel = true;
  }
  // Pictures of depth 16 or float go to numbered series of a format that
  // holds them; no movie does.
  if (m.depth.depth != kDepth8) {
    if (mainMovie || alphaMovie) return Fail(2, "movie: " + m.depth.MovieDepthProblem());
    for (const std::string* name : {&settings.mainName, &settings.alphaName}) {
      if (name->empty()) continue;
      const OutputFormat& f = StillFormatForPath(*name);
      if (!(f.depths & m.depth.depth) || !f.encodeHigh)
        return Fail(2, "movie: " +
                           MsgFormat("--depth %s: %s files hold no pictures of that depth (%s do)",
                                     {std::string(DepthName(m.depth.depth)), std::string(f.name),
                                      DepthFormatList(m.depth.depth)}));
    }
  }
  settings.depth = m.depth.depth;
  settings.map = m.depth.map;
  settings.normalStrength = m.depth.normalStrength;

  const std::string settingsPath = SettingsPath();
  WarnUnusableSettings("movie", settingsPath);
  const bool anyAvi = (mainMovie && mainMovie->name == "avi") ||
                      (alphaMovie && alphaMovie->name == "avi");
  if (anyAvi) {
    if (auto s = m.avi.Resolve("movie", settings.aviOptions)) return *s;
  } else if (m.avi.Any() && !mainMovie && !alphaMovie) {
    std::fprintf(stderr, "velmora: movie: %s\n",
                 Msg("note: the movie options are not used: no output is a movie"));
  }
  settings.jpegQuality = ReadJpegQuality(settingsPath);
  settings.workPerPixel = m.workPerPixel;
  if (m.project && *m.project != "-") settings.protectedFile = *m.project;
  settings.replaceProtected = m.force;
  // An output that cannot take its first file is refused before anything
  // is rendered or announced.
  if (const std::vector<std::string> problems = CheckMovieOutputs(settings); !problems.empty())
    return Fail(1, "movie: " + problems.front());
  for (const std::string& line : DescribeMovieOutputs(settings))
    std::fprintf(stderr, "velmora: movie: %s\n", MsgFormat("writing %s", {ForDisplay(line)}).c_str());

  RenderContext& ctx = DefaultContext();
  // The engine's message (which buffer could not be had) joins the line of
  // the frame that failed.
  std::string engineMessage;
  ctx.SetMessageSink([&](const std::string& text) { engineMessage = text; });

  const bool onTerminal = isatty(STDERR_FILENO) == 1;
  ProgressBar bar(ctx, onTerminal ? ProgressBar::Mode::Bar : ProgressBar::Mode::Lines);
  // The first Ctrl-C stops after the frame in progress, the next one at once.
  InterruptToAbort interrupts(true);
  bool abortNoted = false;
  MovieCallbacks cb;
  cb.progress = [&](const MovieProgressInfo& p) { bar.Frames(p.framesDone, p.totalFrames); };
  cb.abortRequested = [] { return InterruptToAbort::Requested(); };
  bar.Frames(0, std::max(0, settings.lastFrame - settings.firstFrame + 1));
  bar.StartTicking([&] {
    if (InterruptToAbort::Requested() && !abortNoted) {
      abortNoted = true;
      const std::string note =
          "velmora: movie: " +
          std::string(Msg("stopping after this frame (Ctrl-C again to quit at once)"));
      if (onTerminal) {
        bar.Note(note);
      } else {  // a log gets the note as its own line, at once
        std::fprintf(stderr, "%s\n", note.c_str());
        std::fflush(stderr);
      }
    }
  });
  const TWindowHooks hooks;
  TFrameRenderer renderer = DocumentRenderer(ctx, doc, hooks);
  const MovieReport report = RenderMovie(renderer, settings, cb);
  bar.Finish();
  ctx.SetMessageSink({});

  for (std::string failure : report.failures) {
    const std::string vague = Msg("(not enough memory, or too large)");
    if (const size_t at = failure.find(vague); at != std::string::npos && !engineMessage.empty()) {
      failure.replace(at, vague.size(), "(" + engineMessage + ")");
      engineMessage.clear();
    }
    std::fprintf(stderr, "velmora: movie: %s\n", ForDisplay(failure).c_str());
  }
  for (const std::string& note : report.notes)
    std::fprintf(stderr, "velmora: movie: %s\n", ForDisplay(note).c_str());
  if (report.aborted) {
    std::fprintf(stderr, "velmora: movie: %s\n",
                 MsgFormat("aborted after %s of %s frames",
                           {std::to_string(report.framesDone), std::to_string(report.totalFrames)})
                     .c_str());
    return InterruptToAbort::Status();
  }
  if (!report.failures.empty()) return 1;
  return projectStatus;  // 3 when the project loaded with a warning
}

}  // namespace velmora::cli
