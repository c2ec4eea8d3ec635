#include "studio/StillExport.h"

#include "base/Translate.h"
#include "output/Formats.h"
#include "output/StillImage.h"
#include "render/StillRender.h"

namespace velmora {

bool RenderStillPicture(RenderContext& ctx, const TCloudFrameParams& params,
                        long double workPerPixel, Bitmap24& picture, std::string* error,
                        Bitmap24* alpha) {
  const long double hostWork = ctx.Work.PerPixel;
  ctx.Work.PerPixel = workPerPixel;
  const bool rendered = RenderStillFrame(ctx, params, error);
  ctx.Work.PerPixel = hostWork;
  if (!rendered) return false;
  StillPicture(ctx, params, picture, alpha);
  return true;
}

bool ExportStill(RenderContext& ctx, const TCloudFrameParams& params, long double workPerPixel,
                 const std::string& path, int jpegQuality, std::string* error,
                 bool alphaChannel) {
  const OutputFormat& format = StillFormatForPath(path);
  if (alphaChannel && !(format.channels & kChannelsRgba)) {
    if (error)
      *error = MsgFormat("%s files hold no alpha channel (%s do)",
                         {format.name, FormatNameList(kFormatStill, kChannelsRgba)});
    return false;
  }
  Bitmap24 picture, alpha;
  if (!RenderStillPicture(ctx, params, workPerPixel, picture, error,
                          alphaChannel ? &alpha : nullptr))
    return false;
  StillEncodeOptions options;
  options.quality = jpegQuality;
  return SaveStill(format, RgbaPicture(picture, alphaChannel ? &alpha : nullptr), path, options,
                   error);
}

}  // namespace velmora
