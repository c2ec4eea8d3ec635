#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "anim/FrameRender.h"
#include "base/NumberText.h"

using namespace velmora;

namespace {

// A renderer over test-owned state whose stages log what they see.
struct Rig {
  TCloudCurveSet* set = nullptr;
  TCloudFrameParams params;
  TProjectModel model;
  TWindowHooks hooks;
  RenderContext ctx;
  std::atomic<bool>& idle = ctx.RenderIdle;
  std::atomic<bool>& busy = ctx.PreviewBusy;
  std::atomic<int>& frameProgress = ctx.FrameProgress;
  std::atomic<int>& pixeProgress = ctx.PixeProgress;
  bool allocOk = true;
  std::vector<std::string> log;
  std::vector<PackedPixel> pixels;
  TPixeBuffer buffer{0, 0, nullptr, nullptr};
  RenderSequence seq;
  TFrameRenderer r;

  Rig() {
    ApplyNewProjectDefaults(set, params, model, hooks);
    CurveFromText(set->Curves[ccBrightness], "TDiv_MP 2 0 0 0 40 1");
    auto note = [this](const std::string& what) {
      log.push_back(what + " b=" + FormatReal(params.Brightness) + (idle ? " idle" : "") +
                    (busy ? " busy" : ""));
    };
    TRenderStages st;
    st.AllocFrameBuffers = [this, note](RenderContext& c, const TCloudFrameParams&,
                                        const RenderTarget& t, RenderSequence& s) {
      note(std::string("alloc ") + (t.Preview ? "preview" : "export") + " " +
           std::to_string(t.Width) + "x" + std::to_string(t.Height));
      if (!allocOk) {
        idle = true;
        return false;
      }
      pixels.assign(static_cast<size_t>(t.Width) * t.Height, 0);
      for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = MakePixel(static_cast<uint32_t>(i), 2 * static_cast<uint32_t>(i), 7, static_cast<uint32_t>(i % 4) * 60);
      buffer = TPixeBuffer{t.Width, t.Height, pixels.data(), nullptr};
      c.Frame.filtered_cloud = &buffer;
      s.Invalidate();
      return true;
    };
    st.RenderCloudLayer = [note](RenderContext&, const TCloudFrameParams& p, const RenderTarget&,
                                 RenderSequence& s) {
      note("cloud");
      if (!s.WarpFixed()) s.WarpScale = 1 + p.Brightness;
      s.Rendered = true;
    };
    st.ColorFilterStage = [note](RenderContext&, const TCloudFrameParams&) { note("filter"); };
    st.MixTextureStage = [note](RenderContext&, const TCloudFrameParams&, bool fast) {
      note(fast ? "mix fast" : "mix");
    };
    st.BlurStage = [note](RenderContext&, const TCloudFrameParams&) { note("blur"); };
    st.BufferToBitmap = [](RenderContext&, Bitmap24& bm, const TPixeBuffer* b) {
      bm.width = b->width;
      bm.height = b->height;
      bm.bytes.clear();
      for (int i = 0; i < b->width * b->height; ++i)
        for (uint32_t c : {PixB(b->data[i]), PixG(b->data[i]), PixR(b->data[i])})
          bm.bytes.push_back(static_cast<uint8_t>(c));
    };
    st.DownSample = [this](RenderContext&, Bitmap24& t, const Bitmap24& s) {  // top-left sample of each box
      log.push_back("downsample " + std::to_string(s.width) + "x" + std::to_string(s.height) + " to " +
                    std::to_string(t.width) + "x" + std::to_string(t.height));
      const int f = s.width / t.width;
      for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x)
          for (int c = 0; c < 3; ++c)
            t.bytes[(y * t.width + x) * 3 + c] = s.bytes[(y * f * s.width + x * f) * 3 + c];
    };
    hooks.DrawPreview = [this] { log.push_back("draw"); };
    hooks.ShowParams = [this](const TCloudFrameParams& p) { log.push_back("show b=" + FormatReal(p.Brightness)); };
    r = TFrameRenderer{&ctx, &params, &set, &model, st, &hooks, &seq};
    params.PreviewWidth = params.PreviewHeight = 4;
  }
  ~Rig() { FreeCurveSet(set); }
  std::string Log() {
    std::string s;
    for (auto& l : log) s += l + "\n";
    log.clear();
    return s;
  }
};

}  // namespace

TEST(PreviewRender, FixesTheWarpNormalisationAtFrameZero) {
  Rig g;
  SetTimeLinePosition(g.model, 20);
  EvalCurveSet(g.set, g.params, 20);
  RenderPreviewFrame(g.r);
  EXPECT_EQ(g.Log(),
            "alloc preview 4x4 b=0.5 idle busy\n"
            "cloud b=0 busy\n"
            "cloud b=0.5 busy\n"
            "filter b=0.5 busy\n"
            "mix fast b=0.5 busy\n"
            "blur b=0.5 busy\n");
  EXPECT_EQ(g.seq.WarpScale, 1);  // from frame 0's layer
  EXPECT_TRUE(g.idle);
  EXPECT_FALSE(g.busy);
  // Fixed now: later renders skip the frame-0 layer.
  RenderPreviewFrame(g.r);
  EXPECT_EQ(g.Log(),
            "alloc preview 4x4 b=0.5 idle busy\ncloud b=0.5 busy\nfilter b=0.5 busy\n"
            "mix fast b=0.5 busy\nblur b=0.5 busy\n");
  // At frame 0 no extra layer is rendered.
  g.seq.ResetWarp();
  g.seq.Invalidate();
  SetTimeLinePosition(g.model, 0);
  EvalCurveSet(g.set, g.params, 0);
  RenderPreviewFrame(g.r);
  EXPECT_EQ(g.Log(),
            "alloc preview 4x4 b=0 idle busy\ncloud b=0 busy\nfilter b=0 busy\n"
            "mix fast b=0 busy\nblur b=0 busy\n");
}

TEST(PreviewRender, FailedAllocationRunsNoStage) {
  Rig g;
  g.allocOk = false;
  RenderPreviewFrame(g.r);
  EXPECT_EQ(g.Log(), "alloc preview 4x4 b=1 idle busy\n");
  EXPECT_FALSE(g.busy);
  EXPECT_TRUE(g.idle);
  // While another render runs (not idle), the preview renders nothing.
  g.allocOk = true;
  g.idle = false;
  RenderPreviewFrame(g.r);
  EXPECT_EQ(g.Log(), "alloc preview 4x4 b=1 busy\n");
}

TEST(PreviewRender, PartialRenders) {
  Rig g;
  RerenderFromFilter(g.r);  // nothing rendered yet: the full render
  EXPECT_EQ(g.Log(),
            "alloc preview 4x4 b=1 idle busy\ncloud b=1 busy\nfilter b=1 busy\n"
            "mix fast b=1 busy\nblur b=1 busy\n");
  RerenderFromFilter(g.r);
  EXPECT_EQ(g.Log(), "filter b=1 idle busy\nmix fast b=1 idle busy\nblur b=1 idle busy\n");
  RerenderMix(g.r);
  EXPECT_EQ(g.Log(), "mix fast b=1 idle busy\ndraw\n");
  g.seq.Invalidate();
  RerenderMix(g.r);
  EXPECT_EQ(g.Log(),
            "alloc preview 4x4 b=1 idle busy\ncloud b=1 busy\nfilter b=1 busy\n"
            "mix fast b=1 busy\nblur b=1 busy\ndraw\n");
}

TEST(PreviewRender, WithATextureTheBlurComesBeforeTheMix) {
  Rig g;
  TPixeBuffer texture{1, 1, nullptr, nullptr};
  g.params.Texture = &texture;
  RenderPreviewFrame(g.r);
  EXPECT_EQ(g.Log(),
            "alloc preview 4x4 b=1 idle busy\ncloud b=1 busy\nfilter b=1 busy\n"
            "blur b=1 busy\nmix fast b=1 busy\n");
  RerenderFromFilter(g.r);
  EXPECT_EQ(g.Log(), "filter b=1 idle busy\nblur b=1 idle busy\nmix fast b=1 idle busy\n");
  Bitmap24 colour;
  g.params.ResX = g.params.ResY = 1;
  ASSERT_TRUE(RenderMovieFrame(g.r, 0, colour, nullptr));
  EXPECT_EQ(g.Log(),
            "show b=0\nalloc export 1x1 b=0 idle\ncloud b=0 idle\nfilter b=0 idle\n"
            "blur b=0 idle\nmix b=0 idle\n");
}

TEST(MovieFrame, RendersOversampledAndReducesColourAndAlpha) {
  Rig g;
  g.params.ResX = 2;
  g.params.ResY = 1;
  CurveFromText(g.set->Curves[ccOverSampling], "TDiv_MP 1 0 0 3");
  Bitmap24 colour, alpha;
  ASSERT_TRUE(RenderMovieFrame(g.r, 20, colour, &alpha));
  EXPECT_EQ(g.Log(),
            "show b=0.5\nalloc export 6x3 b=0.5 idle\ncloud b=0.5 idle\nfilter b=0.5 idle\n"
            "mix b=0.5 idle\nblur b=0.5 idle\ndownsample 6x3 to 2x1\ndownsample 6x3 to 2x1\n");
  EXPECT_EQ(g.params.ResX, 2);
  EXPECT_EQ(g.params.ResY, 1);
  EXPECT_FALSE(g.seq.Rendered);
  EXPECT_EQ(g.frameProgress, 0);
  EXPECT_EQ(g.pixeProgress, 0);
  // Pixel 3 of the 6x3 render: R 3, G 6, B 7, alpha (3 mod 4) * 60.
  EXPECT_EQ(colour.bytes, (std::vector<uint8_t>{7, 0, 0, 7, 6, 3}));
  EXPECT_EQ(alpha.bytes, (std::vector<uint8_t>{0, 0, 0, 180, 180, 180}));
}

TEST(MovieFrame, WithoutOversamplingTheRenderIsThePicture) {
  Rig g;
  g.params.ResX = 3;
  g.params.ResY = 2;
  CurveFromText(g.set->Curves[ccOverSampling], "TDiv_MP 1 0 0 0");  // below 1: none
  Bitmap24 colour, alpha;
  ASSERT_TRUE(RenderMovieFrame(g.r, 0, colour, &alpha));
  EXPECT_EQ(g.params.OverSampling, 0);
  EXPECT_EQ(colour.width, 3);
  EXPECT_EQ(colour.height, 2);
  ASSERT_EQ(alpha.bytes.size(), 18u);
  for (int i = 0; i < 6; ++i)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(alpha.bytes[i * 3 + c], (i % 4) * 60);
  // Too small to reduce: an empty picture, no division by a zero size.
  CurveFromText(g.set->Curves[ccOverSampling], "TDiv_MP 1 0 0 2");
  g.params.ResX = 0;
  ASSERT_TRUE(RenderMovieFrame(g.r, 0, colour, nullptr));
  EXPECT_EQ(colour.width, 0);
  EXPECT_TRUE(colour.bytes.empty());
  // A size beyond int32 and a failed allocation render nothing.
  g.Log();
  g.params.ResX = 2000000000;
  EXPECT_FALSE(RenderMovieFrame(g.r, 0, colour, nullptr));
  EXPECT_EQ(g.Log(), "show b=0\n");
  EXPECT_EQ(g.params.ResX, 2000000000);
  g.params.ResX = 4;
  g.allocOk = false;
  EXPECT_FALSE(RenderMovieFrame(g.r, 0, colour, nullptr));
  EXPECT_EQ(g.Log(), "show b=0\nalloc export 8x4 b=0 idle\n");
  EXPECT_EQ(g.params.ResX, 4);
}
