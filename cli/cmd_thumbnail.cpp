// velmora thumbnail INPUT OUTPUT SIZE: the picture a file manager shows for a
// project (the desktop thumbnailer entry runs it): the project's current
// frame rendered to fit SIZE x SIZE pixels, written as PNG.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "anim/Document.h"
#include "base/AtomicFile.h"
#include "base/DisplayText.h"
#include "base/ReplaceFile.h"
#include "base/Translate.h"
#include "cli/Commands.h"
#include "cli/DefaultContext.h"
#include "cli/ProjectOpen.h"
#include "cli/SetOptions.h"
#include "output/StillImage.h"
#include "render/Render.h"
#include "render/StillRender.h"
#include "render/WorkBudget.h"

namespace velmora::cli {

namespace {

constexpr const char* kThumbnailUsage = MsgNoop(
    "usage: velmora thumbnail INPUT OUTPUT SIZE\n"
    "Renders the current frame of the project INPUT so that it fits SIZE x SIZE\n"
    "pixels (the longer side becomes SIZE, 1 to 2048) and writes it to OUTPUT as\n"
    "PNG, whatever OUTPUT's extension; - reads the project from the standard\n"
    "input or writes the picture to the standard output.  A frame that needs\n"
    "more than 20000 operations per pixel is refused, as render does.  The\n"
    "desktop's thumbnailer entry runs this for .vlm files.\n");

constexpr int32_t kMaxThumbnailSize = 2048;

std::optional<int32_t> ParseThumbnailSize(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int32_t size = std::stoi(text);
  if (size < 1 || size > kMaxThumbnailSize) return std::nullopt;
  return size;
}

}  // namespace

int CmdThumbnail(const Args& args) {
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      std::fputs(Msg(kThumbnailUsage), stdout);
      return 0;
    }
  if (args.size() != 3)
    return Fail(2, "thumbnail: " +
                       std::string(Msg("needs INPUT OUTPUT SIZE (see 'velmora help thumbnail')")));
  const std::string& output = args[1];
  if (output.empty()) return Fail(2, "thumbnail: " + std::string(Msg("OUTPUT needs a file name")));
  const std::optional<int32_t> size = ParseThumbnailSize(args[2]);
  if (!size)
    return Fail(2, "thumbnail: " + MsgFormat("SIZE needs a whole number from 1 to %s, not '%s'",
                                             {std::to_string(kMaxThumbnailSize), args[2]}));
  if (args[0] != "-" && output != "-" && SameFile(output, args[0]))
    return Fail(1, "thumbnail: " + MsgFormat("refusing to write over the project %s",
                                             {ForDisplay(args[0])}));

  int projectStatus = 0;
  Document doc;
  if (!OpenProjectForCommand("thumbnail", args[0], doc, projectStatus)) return projectStatus;
  doc.EvalAt(ApplySetOptions(doc, {}, std::nullopt));  // the current frame
  TCloudFrameParams& params = doc.Params;
  // The longer side becomes SIZE; the other keeps the project's proportions.
  const int64_t w = params.ResX > 0 ? params.ResX : 1, h = params.ResY > 0 ? params.ResY : 1;
  if (w >= h) {
    params.ResX = *size;
    params.ResY = static_cast<int32_t>(std::max<int64_t>(1, (h * *size + w / 2) / w));
  } else {
    params.ResY = *size;
    params.ResX = static_cast<int32_t>(std::max<int64_t>(1, (w * *size + h / 2) / h));
  }

  RenderContext& ctx = DefaultContext();
  std::string engineMessage;
  ctx.SetMessageSink([&](const std::string& m) { engineMessage = m; });
  std::string error;
  bool rendered = false;
  {
    InterruptToAbort interrupts(false);
    ctx.Work.PerPixel = DefaultWorkPerPixel;
    rendered = RenderStillFrame(ctx, params, &error);
  }
  ctx.SetMessageSink({});
  if (ctx.AbortRequested()) return Fail(kInterruptedStatus, "thumbnail: " + std::string(Msg("interrupted")));
  if (!rendered) {
    if (!engineMessage.empty()) error += " (" + engineMessage + ")";
    return Fail(1, "thumbnail: " + error);
  }
  Bitmap24 picture;
  StillPicture(ctx, params, picture);
  std::string bytes;
  if (!EncodePng(picture, bytes, &error)) return Fail(1, "thumbnail: " + error);
  if (output == "-") return WriteStdout("thumbnail", bytes) ? projectStatus : 1;
  if (!WriteFileAtomically(output, bytes, &error)) return Fail(1, "thumbnail: " + error);
  return projectStatus;
}

}  // namespace velmora::cli
