// velmora render [PROJECT.vlm] -o OUT [--frame N] [--buffer NAME] [options]:
// renders one still picture exactly as the still export does and writes it by
// its extension, or writes one of the engine's buffers at render size.
#include <cstdio>
#include <optional>
#include <string>

#include "anim/ProjectModel.h"
#include "anim/Token.h"
#include "cli/ArgParse.h"
#include "cli/Commands.h"
#include "cli/DefaultContext.h"
#include "cli/ProjectOpen.h"
#include "output/Settings.h"
#include "output/StillImage.h"
#include "render/Render.h"
#include "render/StillRender.h"

namespace velmora::cli {

namespace {

const char kRenderUsage[] =
    "usage: velmora render [PROJECT.vlm] -o OUT [options]\n"
    "Renders one still picture as the still export does: at the output size times\n"
    "the oversampling factor, reduced to the output size.  The format follows\n"
    "OUT's extension: .png PNG, .jpg/.jpeg JPEG, anything else 24-bit BMP.\n"
    "  -o OUT              the picture to write (required)\n"
    "  --frame N           evaluate the animation at frame N (default: the\n"
    "                      project's current frame, 0 for a new project)\n"
    "  --buffer NAME       write an engine buffer at render size instead:\n"
    "                      base_pattern, warp_template, cloud, filtered_cloud,\n"
    "                      mixed_texture, CloudPen, PenShade, WarpPenR, WarpPenG,\n"
    "                      WarpPenB\n"
    "  --size WxH          output size (overrides the project's resolution)\n"
    "  --oversampling N    oversampling factor (overrides the animated value)\n"
    "  --seed N            random seed (overrides the animated value)\n"
    "  --jpeg-quality Q    JPEG quality 0..100 for this picture (default: the\n"
    "                      settings file's JpegQuality, 75 without one)\n"
    "Without PROJECT the new-project settings are rendered.\n";

struct RenderOptions {
  std::optional<std::string> project;
  std::optional<std::string> output;
  std::optional<int32_t> frame;
  std::optional<std::string> buffer;
  std::optional<std::pair<int32_t, int32_t>> size;
  std::optional<int32_t> overSampling;
  std::optional<int32_t> seed;
  std::optional<int32_t> jpegQuality;
};

const char* const kBufferNames[] = {"base_pattern", "warp_template", "cloud",    "filtered_cloud",
                                    "mixed_texture", "CloudPen",      "PenShade", "WarpPenR",
                                    "WarpPenG",      "WarpPenB"};

bool IsBufferName(const std::string& name) {
  for (const char* n : kBufferNames)
    if (name == n) return true;
  return false;
}

// Returns an exit status when the command should stop (help or usage error).
std::optional<int> ParseRenderArgs(const Args& args, RenderOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    std::optional<std::string> value;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      value = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
    }
    auto takeValue = [&]() -> std::optional<std::string> {
      if (value) return value;
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto needInt = [&](std::optional<int32_t>& slot) -> std::optional<int> {
      const auto v = takeValue();
      if (!v) return Fail(2, "render: " + a + " needs a value");
      const auto n = ParseInt32(*v);
      if (!n) return Fail(2, "render: " + a + " needs an integer, not '" + *v + "'");
      slot = *n;
      return std::nullopt;
    };
    if (a == "--help" || a == "-h") {
      std::fputs(kRenderUsage, stdout);
      return 0;
    } else if (a == "-o" || a == "--output") {
      const auto v = takeValue();
      if (!v || v->empty()) return Fail(2, "render: -o needs a file name");
      o.output = *v;
    } else if (a == "--frame") {
      if (auto s = needInt(o.frame)) return s;
    } else if (a == "--buffer") {
      const auto v = takeValue();
      if (!v) return Fail(2, "render: --buffer needs a buffer name");
      if (!IsBufferName(*v)) return Fail(2, "render: unknown buffer '" + *v + "'");
      o.buffer = *v;
    } else if (a == "--size") {
      const auto v = takeValue();
      if (!v) return Fail(2, "render: --size needs WxH");
      o.size = ParseSize(*v);
      if (!o.size) return Fail(2, "render: --size needs WxH with positive integers, not '" + *v + "'");
    } else if (a == "--oversampling") {
      if (auto s = needInt(o.overSampling)) return s;
    } else if (a == "--seed") {
      if (auto s = needInt(o.seed)) return s;
    } else if (a == "--jpeg-quality") {
      if (auto s = needInt(o.jpegQuality)) return s;
      if (*o.jpegQuality < 0 || *o.jpegQuality > 100)
        return Fail(2, "render: --jpeg-quality must lie between 0 and 100");
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(2, "render: unknown option '" + a + "'");
    } else if (!o.project) {
      o.project = a;
    } else {
      return Fail(2, "render: more than one project given");
    }
  }
  if (!o.output) return Fail(2, "render: no output file given (-o OUT)");
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

  int projectStatus = 0;
  Document doc;
  if (!OpenProjectForCommand("render", o.project, doc, projectStatus)) return projectStatus;
  TCloudFrameParams& params = doc.Params;
  doc.EvalAt(o.frame ? *o.frame : doc.Model.TimeLinePosition);
  if (o.size) {
    params.ResX = o.size->first;
    params.ResY = o.size->second;
  }
  if (o.overSampling) params.OverSampling = *o.overSampling;
  if (o.seed) params.Seed = *o.seed;

  RenderContext& ctx = DefaultContext();
  ctx.SetMessageSink([](const std::string& m) { std::fprintf(stderr, "velmora: %s\n", m.c_str()); });
  std::string error;
  bool rendered = false;
  {
    InterruptToAbort interrupts(false);
    rendered = RenderStillFrame(ctx, params, &error);
  }
  if (ctx.AbortRequested()) return Fail(kInterruptedStatus, "render: interrupted");
  if (!rendered) return Fail(1, "render: " + error);
  Bitmap24 picture;
  if (o.buffer)
    BufferBitmap(ctx, *o.buffer, picture);
  else
    StillPicture(ctx, params, picture);

  const int quality = o.jpegQuality ? *o.jpegQuality : ReadJpegQuality(SettingsPath());
  if (!SaveBitmapByExtension(picture, *o.output, quality, &error))
    return Fail(1, "render: " + error);
  return projectStatus;
}

}  // namespace velmora::cli
