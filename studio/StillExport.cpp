#include "studio/StillExport.h"

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
                 const std::string& path, int jpegQuality, std::string* error) {
  Bitmap24 picture;
  return RenderStillPicture(ctx, params, workPerPixel, picture, error) &&
         SaveBitmapByExtension(picture, path, jpegQuality, error);
}

}  // namespace velmora
