#include "studio/StillExport.h"

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "base/AtomicFile.h"
#include "base/NumberText.h"
#include "base/Translate.h"
#include "output/Settings.h"
#include "output/StillImage.h"
#include "render/StillRender.h"

namespace velmora {

namespace {

constexpr char kStillDepthKey[] = "StillDepth";
constexpr char kStillContentKey[] = "StillContent";
constexpr char kNormalStrengthKey[] = "NormalStrength";
constexpr char kStillAlphaKey[] = "StillAlphaChannel";

// Runs RENDER with the context's work budget set to WORK_PER_PIXEL.
template <typename Render>
bool WithWorkBudget(RenderContext& ctx, long double workPerPixel, Render render) {
  const long double hostWork = ctx.Work.PerPixel;
  ctx.Work.PerPixel = workPerPixel;
  const bool rendered = render();
  ctx.Work.PerPixel = hostWork;
  return rendered;
}

}  // namespace

unsigned StillDepths(const OutputFormat& format) {
  if (!format.Can(kFormatStill)) return 0;
  return kDepth8 | (format.encodeHigh ? format.depths & (kDepth16 | kDepthFloat) : 0u);
}

std::string StillOptionsProblem(const OutputFormat& format, const StillOptions& options) {
  if (!(StillDepths(format) & options.depth))
    return MsgFormat("%s files hold no pictures of depth %s (%s do)",
                     {format.name, DepthName(options.depth), DepthFormatList(options.depth)});
  if (options.alphaChannel && options.content != ExportMap::Picture)
    return MsgFormat("the alpha channel goes with the picture, not with its %s map",
                     {ExportMapName(options.content)});
  if (options.alphaChannel && !(format.channels & kChannelsRgba))
    return MsgFormat("%s files hold no alpha channel (%s do)",
                     {format.name, FormatNameList(kFormatStill, kChannelsRgba)});
  return {};
}

bool RenderStillPicture(RenderContext& ctx, const TCloudFrameParams& params,
                        long double workPerPixel, Bitmap24& picture, std::string* error,
                        Bitmap24* alpha) {
  if (!WithWorkBudget(ctx, workPerPixel, [&] { return RenderStillFrame(ctx, params, error); }))
    return false;
  StillPicture(ctx, params, picture, alpha);
  return true;
}

bool RenderStill(RenderContext& ctx, const TCloudFrameParams& params, long double workPerPixel,
                 const StillOptions& options, StillResult& out, std::string* error) {
  out.depth = options.depth;
  out.hasAlpha = options.alphaChannel && options.content == ExportMap::Picture;
  const bool high = options.depth != kDepth8;
  if (!high && options.content == ExportMap::Picture)
    return RenderStillPicture(ctx, params, workPerPixel, out.picture, error,
                              out.hasAlpha ? &out.alpha : nullptr);
  // The float buffers of a 16-bit or float render.
  HighFrame highFrame;
  const bool rendered = WithWorkBudget(ctx, workPerPixel, [&] {
    return high ? RenderStillFrameHigh(ctx, params, highFrame, error)
                : RenderStillFrame(ctx, params, error);
  });
  if (!rendered) return false;
  ExportImage(ctx, params, high ? &highFrame : nullptr, options.content, options.normalStrength,
              out.hasAlpha, out.image);
  // Heights and normals of the standard render are written as 8-bit pictures.
  if (!high) FloatImageToBitmap(out.image, out.picture);
  return true;
}

bool EncodeStillResult(const OutputFormat& format, const StillResult& still,
                       const StillOptions& options, std::string& bytes, std::string* error) {
  if (still.depth != kDepth8) return EncodeHigh(format, still.image, still.depth, bytes, error);
  StillEncodeOptions encoding;
  encoding.quality = options.jpegQuality;
  return EncodeStill(format, RgbaPicture(still.picture, still.hasAlpha ? &still.alpha : nullptr),
                     encoding, bytes, error);
}

bool SaveStillResult(const OutputFormat& format, const StillResult& still,
                     const StillOptions& options, const std::string& path, std::string* error,
                     bool replaceProtected) {
  std::string bytes;
  return EncodeStillResult(format, still, options, bytes, error) &&
         WriteFileAtomically(path, bytes, error, replaceProtected);
}

bool ExportStill(RenderContext& ctx, const TCloudFrameParams& params, long double workPerPixel,
                 const std::string& path, const StillOptions& options, std::string* error) {
  const OutputFormat& format = StillFormatForPath(path);
  if (std::string problem = StillOptionsProblem(format, options); !problem.empty()) {
    if (error) *error = std::move(problem);
    return false;
  }
  StillResult still;
  return RenderStill(ctx, params, workPerPixel, options, still, error) &&
         SaveStillResult(format, still, options, path, error);
}

bool ExportStill(RenderContext& ctx, const TCloudFrameParams& params, long double workPerPixel,
                 const std::string& path, int jpegQuality, std::string* error,
                 bool alphaChannel) {
  StillOptions options;
  options.jpegQuality = jpegQuality;
  options.alphaChannel = alphaChannel;
  return ExportStill(ctx, params, workPerPixel, path, options, error);
}

namespace {

// The settings keys of one remembered choice (alpha null: the choice has
// no alpha channel).
struct ChoiceKeys {
  const char* depth;
  const char* content;
  const char* strength;
  const char* alpha;
};
constexpr ChoiceKeys kStillKeys{kStillDepthKey, kStillContentKey, kNormalStrengthKey,
                                kStillAlphaKey};
constexpr ChoiceKeys kSeriesKeys{"SeriesDepth", "SeriesContent", "SeriesNormalStrength", nullptr};

StillOptions ReadChoice(const std::string& settingsPath, const ChoiceKeys& keys) {
  StillOptions o;
  std::string text;
  if (ReadIniString(settingsPath, SettingsSection, keys.depth, text))
    if (const unsigned depth = DepthForName(text)) o.depth = depth;
  if (ReadIniString(settingsPath, SettingsSection, keys.content, text))
    ExportMapForName(text, o.content);
  if (ReadIniString(settingsPath, SettingsSection, keys.strength, text))
    if (const std::optional<long double> v = ParseReal(text); v && std::isfinite(*v))
      o.normalStrength = static_cast<double>(*v);
  if (keys.alpha) o.alphaChannel = ReadIniBool(settingsPath, SettingsSection, keys.alpha, false);
  return o;
}

bool WriteChoice(const std::string& settingsPath, const StillOptions& options,
                 const ChoiceKeys& keys, std::string* error) {
  std::vector<std::pair<std::string, std::string>> values = {
      {keys.depth, std::string(DepthName(options.depth))},
      {keys.content, std::string(ExportMapName(options.content))},
      {keys.strength, FormatReal(options.normalStrength)}};
  if (keys.alpha) values.emplace_back(keys.alpha, options.alphaChannel ? "1" : "0");
  return WriteIniValues(settingsPath, SettingsSection, values, error);
}

}  // namespace

StillOptions ReadStillChoice(const std::string& settingsPath) {
  return ReadChoice(settingsPath, kStillKeys);
}

bool WriteStillChoice(const std::string& settingsPath, const StillOptions& options,
                      std::string* error) {
  return WriteChoice(settingsPath, options, kStillKeys, error);
}

StillOptions ReadSeriesChoice(const std::string& settingsPath) {
  return ReadChoice(settingsPath, kSeriesKeys);
}

bool WriteSeriesChoice(const std::string& settingsPath, const StillOptions& options,
                       std::string* error) {
  return WriteChoice(settingsPath, options, kSeriesKeys, error);
}

}  // namespace velmora
