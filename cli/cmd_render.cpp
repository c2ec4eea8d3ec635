// velmora render [PROJECT.vlm] -o OUT [--frame N] [--buffer NAME] [options]:
// renders one still picture exactly as the still export does and writes it by
// its extension, or writes one of the engine's buffers at render size.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "anim/ProjectModel.h"
#include "anim/Token.h"
#include "base/DisplayText.h"
#include "base/NumberText.h"
#include "base/ReplaceFile.h"
#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/DefaultContext.h"
#include "cli/DepthArgs.h"
#include "cli/Progress.h"
#include "cli/ProjectOpen.h"
#include "cli/SetOptions.h"
#include "cli/TextureArgs.h"
#include "output/Formats.h"
#include "output/Settings.h"
#include "output/StillImage.h"
#include "render/HighPrecision.h"
#include "render/Render.h"
#include "render/StillRender.h"
#include "render/ThreadPool.h"
#include "studio/StillExport.h"

namespace velmora::cli {

namespace {

constexpr const char* kRenderUsage = MsgNoop(
    "usage: velmora render [PROJECT.vlm] -o OUT [options]\n"
    "Renders one still picture as the still export does: at the output size times\n"
    "the oversampling factor, reduced to the output size.  The format follows\n"
    "OUT's extension (.bmp, .png, .jpg/.jpeg, .tif/.tiff, .exr; 'velmora help formats');\n"
    "a name without an extension is a 24-bit BMP.\n"
    "  -o OUT              the picture to write (required); - writes it to the\n"
    "                      standard output (PNG unless --format says otherwise)\n"
    "  --format NAME       write OUT in this format whatever its extension (bmp,\n"
    "                      png, jpeg, tiff, exr)\n"
    "  --alpha-channel     write the clouds' alpha as the picture's alpha channel\n"
    "                      (png, tiff, exr)\n"
    "  --depth 8|16|float  bits per channel: 8 (default) is the standard render;\n"
    "                      16 (png, tiff; exr as half floats) and float (tiff,\n"
    "                      exr) come from a high-precision render whose float\n"
    "                      stages skip the 8-bit roundings\n"
    "  --frame N           evaluate the animation at frame N (default: the\n"
    "                      project's current frame, 0 for a new project)\n"
    "  --buffer NAME       write an engine buffer at render size instead:\n"
    "                      base_pattern, warp_template, cloud, filtered_cloud,\n"
    "                      mixed_texture, CloudPen, PenShade, WarpPenR, WarpPenG,\n"
    "                      WarpPenB; or at output size: height (the grey cloud,\n"
    "                      before colour and blur) or normal (a tangent-space\n"
    "                      normal map of the heights that tiles, green up)\n"
    "  --normal-strength X how steep the normal map is: the surface rises by\n"
    "                      X x width / 16 pixels from black to white (default 1)\n"
    "  --size WxH          output size (overrides the project's resolution)\n"
    "  --oversampling N    oversampling factor (overrides the animated value)\n"
    "  --seed N            random seed (overrides the animated value)\n"
    "  --max-work N        stop a frame that needs more than N operations per\n"
    "                      pixel (default 20000; 0: no limit)\n"
    "  --jpeg-quality Q    JPEG quality 0..100 for this picture (default: the\n"
    "                      settings file's JpegQuality, 75 without one)\n"
    "  --set KEYWORD=VALUE key a parameter at the frame rendered, as a project\n"
    "                      would (repeatable; 'velmora params --list' lists them)\n"
    "  --key KEYWORD@FRAME=VALUE  key a parameter at FRAME (repeatable)\n"
    "  --curve KEYWORD=TEXT  a parameter's whole curve ('velmora help curves')\n"
    "  --force             replace OUT even when it is write-protected\n"
    "  --strict            a project warning (a refused curve text, an error in\n"
    "                      the file) stops the command (exit status 3)\n"
    "  --threads N         render on N threads (default: every core; 1: one\n"
    "                      thread); the picture is the same for every N\n"
    "  --texture IMAGE     mix the clouds with this picture (bmp, png, jpeg,\n"
    "                      tiff or exr), scaled to the render size with\n"
    "                      wrap-around (area mean shrinking, bilinear growing)\n"
    "  --texture-mix MODE  add (default), average or subtract\n"
    "  --texture-layer L   under (default: the clouds over the texture) or over\n"
    "Without PROJECT the new-project settings are rendered; - reads the project\n"
    "from the standard input.\n");

struct RenderOptions {
  std::optional<std::string> project;
  std::optional<std::string> output;
  std::optional<int32_t> frame;
  long double workPerPixel = DefaultWorkPerPixel;
  std::optional<std::string> buffer;
  DepthArgs depth;  // --depth, --normal-strength
  std::optional<std::pair<int32_t, int32_t>> size;
  std::optional<int32_t> overSampling;
  std::optional<int32_t> seed;
  std::optional<int32_t> jpegQuality;
  ParamOptionTexts paramTexts;
  std::vector<SetOption> sets;
  const OutputFormat* format = nullptr;  // the picture's format
  bool strict = false;
  bool alphaChannel = false;
  bool force = false;
  std::optional<int32_t> threads;
  TextureArgs texture;
};

const char* const kBufferNames[] = {"base_pattern", "warp_template", "cloud",    "filtered_cloud",
                                    "mixed_texture", "CloudPen",      "PenShade", "WarpPenR",
                                    "WarpPenG",      "WarpPenB",      "height",   "normal"};

// The buffers made at output size from the heights, at any depth.
bool IsHeightBuffer(const std::optional<std::string>& name) {
  return name && (*name == "height" || *name == "normal");
}

bool IsBufferName(const std::string& name) {
  for (const char* n : kBufferNames)
    if (name == n) return true;
  return false;
}

std::string BufferNameList() {
  std::string list;
  for (const char* n : kBufferNames) list += std::string(list.empty() ? "" : ", ") + n;
  return list;
}

// Returns an exit status when the command should stop (help or usage error).
std::optional<int> ParseRenderArgs(const Args& args, RenderOptions& o) {
  CommandLine cl("render", Msg(kRenderUsage));
  std::optional<std::string> frame, buffer, size, overSampling, seed, quality, maxWork, format, threads;
  cl.Project(o.project);
  cl.Flag("--strict", o.strict);
  cl.Flag("--alpha-channel", o.alphaChannel);
  cl.Flag("--force", o.force);
  cl.Value("-o,--output", o.output, MsgNoop("a file name"));
  cl.Value("--frame", frame, MsgNoop("a value"));
  cl.Value("--buffer", buffer, MsgNoop("a buffer name"));
  cl.Value("--size", size, MsgNoop("WxH"));
  cl.Value("--oversampling", overSampling, MsgNoop("a value"));
  cl.Value("--seed", seed, MsgNoop("a value"));
  cl.Value("--max-work", maxWork, MsgNoop("operations per pixel"));
  cl.Value("--jpeg-quality", quality, MsgNoop("a value"));
  AddParamOptions(cl, o.paramTexts);
  cl.Value("--format", format, MsgNoop("a format name"));
  cl.Value("--threads", threads, MsgNoop("a thread count"));
  o.texture.Add(cl);
  o.depth.Add(cl);
  if (auto s = cl.Parse(args)) return s;
  if (auto s = o.texture.Check(cl)) return s;
  if (auto error = ParseParamOptions(o.paramTexts, o.sets)) return cl.Usage(*error);
  if (o.output && o.output->empty()) return cl.Usage(Msg("-o needs a file name"));
  if (auto s = cl.Int(frame, "--frame", MsgNoop("an integer"), o.frame)) return s;
  if (buffer && !IsBufferName(*buffer))
    return cl.Usage(MsgFormat("unknown buffer '%s' (one of %s)", {*buffer, BufferNameList()}));
  o.buffer = buffer;
  if (size) {
    o.size = ParseSize(*size);
    if (!o.size) return cl.Usage(MsgFormat("%s needs WxH with positive integers, not '%s'", {"--size", *size}));
  }
  if (auto s = cl.Int(overSampling, "--oversampling", MsgNoop("an integer"), o.overSampling)) return s;
  if (auto s = cl.Int(seed, "--seed", MsgNoop("an integer"), o.seed)) return s;
  if (auto s = cl.WorkPerPixel(maxWork, o.workPerPixel)) return s;
  if (auto s = cl.Int(quality, "--jpeg-quality", MsgNoop("an integer"), o.jpegQuality)) return s;
  if (o.jpegQuality && (*o.jpegQuality < 0 || *o.jpegQuality > 100))
    return cl.Usage(Msg("--jpeg-quality must lie between 0 and 100"));
  if (auto s = cl.Threads(threads, o.threads)) return s;
  if (auto s = o.depth.Check(cl, buffer)) return s;
  // The alpha picture is the picture's: a height or normal map has none.
  if (o.alphaChannel && IsHeightBuffer(buffer))
    return cl.Usage(Msg("--alpha-channel writes the exported picture, not a --buffer"));
  const unsigned depth = o.depth.depth;
  if (depth != kDepth8 && buffer && !IsHeightBuffer(buffer))
    return cl.Usage(MsgFormat("--depth %s writes the picture, height or normal, not the buffer %s",
                              {DepthName(depth), *buffer}));
  if (!o.output) return cl.Usage(Msg("no output file given (-o OUT)"));
  // A picture's bytes on a terminal are of no use and upset it.
  if (*o.output == "-" && isatty(STDOUT_FILENO) == 1)
    return cl.Usage(Msg("standard output is a terminal; redirect it or give a file name"));
  if (o.project && *o.project != "-" && *o.output != "-" && SameFile(*o.output, *o.project))
    return Fail(1, "render: " + MsgFormat("refusing to write over the project %s", {ForDisplay(*o.project)}));
  const std::string pictures = FormatNameList(kFormatStill);
  if (format) {
    o.format = FindFormatByName(*format);
    if (!o.format || !o.format->Can(kFormatStill))
      return cl.Usage(MsgFormat("unknown picture format '%s' (one of %s)", {*format, pictures}));
  } else if (o.output && *o.output != "-") {
    // A name without an extension is a BMP, as in the window; an extension
    // the table does not know is refused rather than written as a BMP.
    const std::string ext = PathExtension(*o.output);
    o.format = ext.empty() ? &StillFormatForPath(*o.output) : FormatForPath(*o.output, kFormatStill);
    // A folder is no picture name: writing it fails with the system's reason.
    struct stat st;
    if (!o.format && stat(o.output->c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      o.format = &StillFormatForPath(*o.output);
    if (!o.format)
      return cl.Usage(MsgFormat("unknown picture format '%s' of %s (one of %s; --format NAME writes one whatever the name)",
                                {ext, ForDisplay(*o.output), pictures}));
  } else {
    o.format = FindFormatByName("png");
  }
  if (o.alphaChannel && !(o.format->channels & kChannelsRgba))
    return cl.Usage(MsgFormat("--alpha-channel: %s files hold no alpha channel (%s do)",
                              {std::string(o.format->name), FormatNameList(kFormatStill, kChannelsRgba)}));
  if (o.alphaChannel && buffer)
    return cl.Usage(Msg("--alpha-channel writes the exported picture, not a --buffer"));
  if (depth != kDepth8 && !(o.format->depths & depth && o.format->encodeHigh))
    return cl.Usage(MsgFormat("--depth %s: %s files hold no pictures of that depth (%s do)",
                              {DepthName(depth), std::string(o.format->name),
                               DepthFormatList(depth)}));
  return std::nullopt;
}

// Converts the named buffer at render size into a bitmap.
void BufferBitmap(const RenderContext& ctx, const std::string& name, Bitmap24& bm) {
  const TFrameBuffers& p = ctx.Frame;
  const EnginePens& Pens = ctx.Pens;
  const TPixeFloatBuffer* floats = nullptr;
  const TPixeBuffer* pixels = nullptr;
  if (name == "base_pattern") floats = p.base_pattern;
  if (name == "warp_template") floats = p.warp_template;
  if (name == "cloud") pixels = p.cloud;
  if (name == "filtered_cloud") pixels = p.filtered_cloud;
  if (name == "mixed_texture") pixels = p.mixed_texture;
  if (name == "CloudPen") floats = Pens.CloudPen;
  if (name == "PenShade") floats = Pens.PenShade;
  if (name == "WarpPenR") floats = Pens.WarpPenR;
  if (name == "WarpPenG") floats = Pens.WarpPenG;
  if (name == "WarpPenB") floats = Pens.WarpPenB;
  if (floats) FloatBufferToBitmap(bm, floats);
  if (pixels) BufferToBitmap(bm, pixels);
}

}  // namespace

int CmdRender(const Args& args) {
  RenderOptions o;
  if (auto status = ParseRenderArgs(args, o)) return *status;
  if (o.threads) DefaultContext().Threads.SetThreads(*o.threads);

  int projectStatus = 0;
  Document doc;
  if (!OpenProjectForCommand("render", o.project, doc, projectStatus, o.strict))
    return projectStatus;
  if (!o.texture.Apply("render", doc)) return 1;
  TCloudFrameParams& params = doc.Params;
  doc.EvalAt(ApplySetOptions(doc, o.sets, o.frame));
  if (o.size) {
    params.ResX = o.size->first;
    params.ResY = o.size->second;
  }
  if (o.overSampling) params.OverSampling = *o.overSampling;
  if (o.seed) params.Seed = *o.seed;

  if (*o.output != "-") {
    // A picture that could not be written is known before the render.
    FileReplacement probe;
    std::string reason;
    if (!probe.Begin(*o.output, &reason, o.force)) return Fail(1, "render: " + reason);
  }

  RenderContext& ctx = DefaultContext();
  // The engine's message (which buffer could not be had) joins the
  // command's own line, so a failure is one line.
  std::string engineMessage;
  ctx.SetMessageSink([&](const std::string& m) { engineMessage = m; });
  std::string error;
  // A render that takes longer than a second shows a bar on a terminal.
  ProgressBar bar(ctx,
                  isatty(STDERR_FILENO) == 1 ? ProgressBar::Mode::Bar : ProgressBar::Mode::Off,
                  std::chrono::seconds(1));
  bar.Still();
  bool rendered = false;
  // The picture, heights or normals go through the window's still export;
  // the engine's other buffers are shown from a standard render.
  StillOptions still;
  still.depth = o.depth.depth;
  still.content = o.depth.map;
  still.normalStrength = o.depth.normalStrength;
  still.alphaChannel = o.alphaChannel;
  StillResult result;
  const bool otherBuffer = o.buffer && !IsHeightBuffer(o.buffer);
  {
    InterruptToAbort interrupts(false);
    bar.StartTicking();
    if (otherBuffer) {
      result.hasAlpha = o.alphaChannel;
      rendered = RenderStillPicture(ctx, params, o.workPerPixel, result.picture, &error,
                                    o.alphaChannel ? &result.alpha : nullptr);
    } else {
      rendered = RenderStill(ctx, params, o.workPerPixel, still, result, &error);
    }
  }
  ctx.SetMessageSink({});
  bar.Finish();
  if (ctx.AbortRequested())
    return Fail(InterruptToAbort::Status(), "render: " + std::string(Msg("interrupted")));
  if (!rendered) {
    if (!engineMessage.empty()) error += " (" + engineMessage + ")";
    return Fail(1, "render: " + error);
  }
  if (otherBuffer) BufferBitmap(ctx, *o.buffer, result.picture);

  // The JPEG quality of an 8-bit picture comes from the settings file
  // unless given.
  if (o.jpegQuality) {
    still.jpegQuality = *o.jpegQuality;
  } else if (still.depth == kDepth8) {
    const std::string settingsPath = SettingsPath();
    WarnUnusableSettings("render", settingsPath);
    still.jpegQuality = ReadJpegQuality(settingsPath);
  }
  if (*o.output == "-") {
    std::string bytes;
    if (!EncodeStillResult(*o.format, result, still, bytes, &error))
      return Fail(1, "render: " + error);
    return WriteStdout("render", bytes) ? projectStatus : 1;
  }
  if (!SaveStillResult(*o.format, result, still, *o.output, &error, o.force))
    return Fail(1, "render: " + error);
  return projectStatus;
}

}  // namespace velmora::cli
