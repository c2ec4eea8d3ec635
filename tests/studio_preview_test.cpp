// The preview session and the still export, without Qt: the preview shows
// what `velmora render` makes at the preview's size, the still export is the
// command line's picture, and the latest preview request wins.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>

#include "anim/CurveSet.h"
#include "output/Settings.h"
#include "output/StillImage.h"
#include "project/ProjectSave.h"
#include "studio/PreviewSession.h"
#include "studio/StillExport.h"
#include "temp_folder.h"

namespace velmora {
namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A new project whose preview is SIZE x SIZE, keyed at frame 0 from its record.
Document NewProject(int32_t size = 128) {
  Document doc;
  doc.ApplyNewProjectDefaults();
  doc.Params.PreviewWidth = doc.Params.PreviewHeight = size;
  return doc;
}

void Rekey(Document& doc) {
  KeyCurveSetFromParams(doc.Curves, 0, doc.Params);
  doc.EvalAt(0);
}

Bitmap24 Preview(const Document& doc) {
  PreviewSession session;
  session.Submit(doc, PreviewKind::Full);
  session.WaitIdle();
  std::optional<PreviewPicture> p = session.TakePicture();
  EXPECT_TRUE(p.has_value());
  return p ? p->Picture : Bitmap24{};
}

// `velmora render PROJECT ARGS -o OUT.bmp`, decoded; empty when it failed.
Bitmap24 CommandRender(const std::string& dir, const Document& doc, const std::string& args) {
  const char* bin = std::getenv("VELMORA_BIN");
  Bitmap24 bm;
  if (!bin) return bm;
  const std::string project = dir + "/p.vlm", out = dir + "/out.bmp";
  EXPECT_TRUE(SaveProjectFile(doc, project));
  const std::string cmd = "VELMORA_SETTINGS=" + dir + "/v.ini " + bin + " render " + project +
                          " " + args + " -o " + out + " 2>/dev/null";
  const int status = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd;
  std::string error;
  EXPECT_TRUE(DecodeBmp(ReadBytes(out), bm, &error)) << error;
  return bm;
}

// The preview at a 512 x 512 output shows the same frame as a 128 x 128
// render: positions are fractions of the size being rendered.
TEST(PreviewSession, PreviewEqualsTheCommandLinesRenderAtThePreviewSize) {
  if (!std::getenv("VELMORA_BIN")) GTEST_SKIP() << "VELMORA_BIN is not set";
  testing_util::TempFolder folder("velmora_studio");
  using Field = long double TCloudFrameParams::*;
  const struct {
    Field x, y;
  } layers[] = {{&TCloudFrameParams::cx, &TCloudFrameParams::cy},
                {&TCloudFrameParams::wx1, &TCloudFrameParams::wy1},
                {&TCloudFrameParams::wx2, &TCloudFrameParams::wy2}};
  for (const auto& layer : layers)
    for (long double v : {0.25L, 0.6L, -1.3L}) {
      Document doc = NewProject();
      ASSERT_EQ(doc.Params.ResX, 512);
      doc.Params.*layer.x = v;
      doc.Params.*layer.y = v;
      Rekey(doc);
      const Bitmap24 preview = Preview(doc);
      const Bitmap24 cli = CommandRender(folder.path, doc, "--size 128x128");
      ASSERT_EQ(preview.width, 128);
      EXPECT_TRUE(preview.bytes == cli.bytes) << static_cast<double>(v);
    }
}

// The still export writes the command line's picture byte for byte.
TEST(StillExport, WritesWhatTheCommandLineRenders) {
  if (!std::getenv("VELMORA_BIN")) GTEST_SKIP() << "VELMORA_BIN is not set";
  testing_util::TempFolder folder("velmora_studio");
  Document doc = NewProject();
  doc.Params.ResX = 40;
  doc.Params.ResY = 24;
  doc.Params.OverSampling = 2;
  doc.Params.cx = 0.6L;
  doc.Params.BlurRadius = 0.02L;
  Rekey(doc);
  RenderContext ctx;
  std::string error;
  const std::string path = folder.path + "/still.bmp";
  ASSERT_TRUE(ExportStill(ctx, doc.Params, DefaultWorkPerPixel, path, 75, &error)) << error;
  Bitmap24 exported;
  ASSERT_TRUE(DecodeBmp(ReadBytes(path), exported, &error)) << error;
  EXPECT_EQ(exported.width, 40);
  EXPECT_TRUE(exported.bytes == CommandRender(folder.path, doc, "").bytes);
  // A frame that cannot be rendered is refused and nothing is written.
  const std::string refused = folder.path + "/refused.bmp";
  doc.Params.ResX = 2000000000;
  EXPECT_FALSE(ExportStill(ctx, doc.Params, DefaultWorkPerPixel, refused, 75, &error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  EXPECT_FALSE(std::ifstream(refused).good());
}

// A choice the format cannot hold is refused before anything is rendered or
// written; the window's choice survives the settings file, a bad value there
// keeping its default.
TEST(StillExport, RefusesWhatTheFormatCannotHoldAndRemembersTheChoice) {
  testing_util::TempFolder folder("velmora_studio");
  StillOptions o;
  o.depth = kDepth16;
  EXPECT_NE(StillOptionsProblem(*FindFormatByName("bmp"), o), "");
  EXPECT_EQ(StillOptionsProblem(*FindFormatByName("png"), o), "");
  o.depth = kDepthFloat;
  EXPECT_NE(StillOptionsProblem(*FindFormatByName("png"), o), "");
  o.alphaChannel = true;
  o.content = ExportMap::Height;
  EXPECT_NE(StillOptionsProblem(*FindFormatByName("tiff"), o), "");
  RenderContext ctx;
  std::string error;
  const std::string refused = folder.path + "/map.tif";
  EXPECT_FALSE(ExportStill(ctx, NewProject().Params, DefaultWorkPerPixel, refused, o, &error));
  EXPECT_NE(error.find("height"), std::string::npos) << error;
  EXPECT_FALSE(std::ifstream(refused).good());

  const std::string ini = folder.path + "/velmora.ini";
  EXPECT_EQ(ReadStillChoice(ini), StillOptions());
  o.content = ExportMap::Normal;
  o.normalStrength = -0.375;
  ASSERT_TRUE(WriteStillChoice(ini, o, &error)) << error;
  EXPECT_EQ(ReadStillChoice(ini), o);
  ASSERT_TRUE(WriteIniValues(ini, "Velmora", {{"StillDepth", "12"}, {"NormalStrength", "x"}},
                             &error));
  const StillOptions read = ReadStillChoice(ini);
  EXPECT_EQ(read.depth, kDepth8);
  EXPECT_EQ(read.normalStrength, 1);
  EXPECT_EQ(read.content, ExportMap::Normal);
}

// A request that arrives while another renders aborts it: only the newest
// picture is published, and it equals a render of that request alone, also
// when the superseded render was a full one cut short and the new one only
// re-filters.
TEST(PreviewSession, LatestRequestWins) {
  // The second request comes microseconds after the first: the first is
  // still waiting or rendering then.
  Document slow = NewProject(160);
  Document next = slow;
  next.Params.Brightness = 0.3L;  // a filter-only change
  Rekey(next);

  std::atomic<int> ready{0};
  PreviewSession::Hooks hooks;
  hooks.Ready = [&] { ++ready; };
  PreviewSession session(hooks);
  const uint64_t first = session.Submit(slow, PreviewKind::Full);
  const uint64_t second = session.Submit(next, PreviewKind::Filter);
  EXPECT_GT(second, first);
  session.WaitIdle();
  EXPECT_FALSE(session.Busy());
  std::optional<PreviewPicture> shown = session.TakePicture();
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->Request, second);
  EXPECT_EQ(session.LastPublished(), second);
  EXPECT_EQ(ready.load(), 1);
  EXPECT_TRUE(shown->Picture.bytes == Preview(next).bytes);
  EXPECT_FALSE(session.TakePicture().has_value()) << "a picture is taken once";

  // A view of the engine's buffers after the render: the cloud pen at the
  // preview size.
  session.Submit(next, PreviewKind::ViewCloudPen);
  session.WaitIdle();
  shown = session.TakePicture();
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->Picture.width, 160);
}

}  // namespace
}  // namespace velmora
