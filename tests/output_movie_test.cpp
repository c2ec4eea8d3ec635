// The movie export loop, on stand-in render stages that paint each frame's
// number into the picture, so that runs stay fast and every written picture
// can be traced to its frame.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>

#include <fstream>
#include <iterator>
#include <sstream>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "anim/CurveSet.h"
#include "anim/FrameRender.h"
#include "output/MovieLoop.h"
#include "output/StillImage.h"
#include "temp_folder.h"

namespace velmora {
namespace {

// A fresh folder for one test.
struct TempFolder : testing_util::TempFolder {
  TempFolder() : testing_util::TempFolder("velmora_movie") {}
};

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

size_t CountEntries(const std::string& dir) {
  size_t n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

Bitmap24 LoadBmp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  Bitmap24 bm;
  std::string error;
  EXPECT_TRUE(DecodeBmp(ss.str(), bm, &error)) << path << ": " << error;
  return bm;
}

int64_t AviFrameCount(const std::string& path, int* w = nullptr, int* h = nullptr) {
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return -1;
  avformat_find_stream_info(fmt, nullptr);
  if (w) *w = fmt->streams[0]->codecpar->width;
  if (h) *h = fmt->streams[0]->codecpar->height;
  int64_t n = 0;
  AVPacket* pkt = av_packet_alloc();
  while (av_read_frame(fmt, pkt) >= 0) {
    n += pkt->size > 0;
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  avformat_close_input(&fmt);
  return n;
}

// A renderer over a record, set and model of its own, whose stages log what
// they are asked to do and paint frame f as colour (f, 2f, 100) with alpha
// 200 - f.
struct Fixture {
  RenderContext ctx;
  TCloudFrameParams params;
  TCloudCurveSet* curves = nullptr;
  TProjectModel model;
  TWindowHooks hooks;
  TFrameRenderer renderer;
  std::vector<std::string> log;
  std::function<void(int32_t)> duringFrame;  // called inside each full render

  explicit Fixture(int32_t w, int32_t h, int32_t overSampling = 1) {
    ApplyNewProjectDefaults(curves, params, model, hooks);
    params.ResX = w;
    params.ResY = h;
    params.OverSampling = overSampling;
    KeyCurveSetFromParams(curves, 0, params);
    renderer = TFrameRenderer{&ctx, &params, &curves, &model, Stages(), &hooks};
  }
  ~Fixture() { FreeCurveSet(curves); }

  TRenderStages Stages() {
    TRenderStages s = EngineStages();
    s.AllocFrameBuffers = [this](RenderContext& c, const TCloudFrameParams&,
                                 const RenderTarget& t, RenderSequence&) {
      log.push_back("alloc " + std::to_string(t.Width) + "x" + std::to_string(t.Height) +
                    (t.Preview ? " preview" : ""));
      TPixeBuffer*& out = c.Frame.filtered_cloud;
      if (!out) out = NewPixeBuffer(c.Pool, t.Width, t.Height);
      return out && ResizePixeBuffer(out, t.Width, t.Height);
    };
    s.RenderCloudLayer = [this](RenderContext&, const TCloudFrameParams&, const RenderTarget&,
                                RenderSequence& seq) {
      log.push_back(seq.WarpFixed() ? "cloud" : "cloud unfixed");
      if (!seq.WarpFixed()) seq.WarpScale = 1;
    };
    s.ColorFilterStage = [this](RenderContext& c, const TCloudFrameParams&) {
      const int32_t f = model.TimeLinePosition;
      log.push_back("filter " + std::to_string(f));
      FillPixeBuffer(c.Frame.filtered_cloud, MakePixel(f, 2 * f, 100, 200 - f));
      if (duringFrame) duringFrame(f);
    };
    s.MixTextureStage = [](RenderContext&, const TCloudFrameParams&, bool) {};
    s.BlurStage = [](RenderContext&, const TCloudFrameParams&) {};
    return s;
  }

  MovieReport Run(const MovieSettings& s, MovieCallbacks cb = {}) {
    return RenderMovie(renderer, s, cb);
  }
};

MovieSettings Range(const std::string& main, const std::string& alpha, int32_t first,
                    int32_t last) {
  MovieSettings s;
  s.mainName = main;
  s.alphaName = alpha;
  s.firstFrame = first;
  s.lastFrame = last;
  s.aviOptions = DefaultAviOptions();
  // The stand-in stages follow the frame through the model: one at a time.
  s.parallelism = MovieParallelism::Rows;
  return s;
}

TEST(MovieNames, NumberedFileNames) {
  EXPECT_EQ(NumberedFileName("movie.bmp", 0), "movie0000.bmp");
  EXPECT_EQ(NumberedFileName("movie.bmp", 7), "movie0007.bmp");
  EXPECT_EQ(NumberedFileName("movie.bmp", 12345), "movie12345.bmp");
  EXPECT_EQ(NumberedFileName("movie.bmp", -3), "movie-0003.bmp");
  EXPECT_EQ(NumberedFileName("clip.avi.bmp", 0), "clip.avi0000.bmp");
  EXPECT_EQ(NumberedFileName("movie.jpeg", 7), "movie.jpeg0007.jpeg");
  EXPECT_EQ(NumberedFileName("movie.JPG", 1), "movie0001.JPG");
  EXPECT_EQ(NumberedFileName("movie", 42), "movie0042");
  EXPECT_EQ(NumberedFileName("a.b.tiff", 3), "a.b.tiff0003.tiff");
  EXPECT_EQ(NumberedFileName("out.d/m", 1), "out.d/m0001") << "a folder's dot is no extension";
  EXPECT_EQ(NumberedFileName("/tmp/a.b", 9999), "/tmp/a9999.b");
}

TEST(MovieNames, AFolderHoldsANumberedSeries) {
  TempFolder dir;
  EXPECT_EQ(SeriesNameInFolder(dir.path, "frame"), dir.path + "/frame.png");
  EXPECT_EQ(NumberedFileName(SeriesNameInFolder(dir.path + "/", "alpha"), 7),
            dir.path + "/alpha0007.png");
  EXPECT_EQ(SeriesNameInFolder("not-yet/", "frame"), "not-yet/frame.png");
  EXPECT_EQ(SeriesNameInFolder(dir.path + "/m.bmp", "frame"), dir.path + "/m.bmp");
  EXPECT_EQ(SeriesNameInFolder("", "frame"), "");
}

TEST(MovieNames, OutputKinds) {
  EXPECT_EQ(OutputKindForName(""), MovieOutputKind::None);
  EXPECT_EQ(OutputKindForName("clip.avi"), MovieOutputKind::Avi);
  EXPECT_EQ(OutputKindForName("clip.AVI"), MovieOutputKind::Avi);
  EXPECT_EQ(OutputKindForName("clip.avi.bmp"), MovieOutputKind::Series);
  EXPECT_EQ(OutputKindForName("clip.avi2"), MovieOutputKind::Series);
  EXPECT_EQ(OutputKindForName("clip"), MovieOutputKind::Series);
  EXPECT_EQ(TrimOutputName("  a b.avi \t"), "a b.avi");
}

TEST(MovieNames, SettingsFromTheWindowModel) {
  TProjectModel m;
  m.TimeLineMin = 3;
  m.TimeLineMax = 120;
  m.TimeLinePosition = 100;
  m.OutPutFilen = " out.avi ";
  MovieSettings s = MovieSettingsFromModel(m);
  EXPECT_EQ(s.mainName, "out.avi");
  EXPECT_EQ(s.alphaName, "");
  EXPECT_EQ(s.firstFrame, 3);
  EXPECT_EQ(s.lastFrame, 120);
  m.FromCurrentFrame = true;
  EXPECT_EQ(MovieSettingsFromModel(m).firstFrame, 100);
}

// Both outputs as numbered series: every frame written under its timeline
// number, the colour picture to the main series and grey alpha pictures to
// the alpha series.
TEST(MovieLoop, NumberedSeriesCarryTimelineNumbers) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  Fixture fx(8, 6);
  std::vector<MovieProgressInfo> progress;
  std::vector<std::string> shown;
  MovieCallbacks cb;
  cb.progress = [&](const MovieProgressInfo& p) { progress.push_back(p); };
  cb.showOutputName = [&](bool alpha, const std::string& f) {
    shown.push_back((alpha ? "A:" : "M:") + f);
  };
  const MovieReport r = fx.Run(Range(dir + "/movie.bmp", dir + "/alpha.bmp", 0, 2), cb);
  EXPECT_TRUE(r.Succeeded());
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.framesDone, 3);
  EXPECT_EQ(r.totalFrames, 3);
  for (int f = 0; f < 3; ++f) {
    const Bitmap24 c = LoadBmp(dir + "/movie000" + std::to_string(f) + ".bmp");
    const Bitmap24 a = LoadBmp(dir + "/alpha000" + std::to_string(f) + ".bmp");
    ASSERT_EQ(c.width, 8);
    ASSERT_EQ(c.height, 6);
    EXPECT_EQ(c.Row(5)[0], 100);  // B
    EXPECT_EQ(c.Row(5)[1], 2 * f);
    EXPECT_EQ(c.Row(5)[2], f);    // R
    EXPECT_EQ(a.Row(0)[0], 200 - f);
    EXPECT_EQ(a.Row(0)[1], 200 - f);
    EXPECT_EQ(a.Row(0)[2], 200 - f);
  }
  EXPECT_EQ(CountEntries(dir), 6u);
  ASSERT_EQ(progress.size(), 3u);
  EXPECT_EQ(progress[0].movieProgress, 33);
  EXPECT_EQ(progress[2].movieProgress, 100);
  EXPECT_EQ(progress[2].framesDone, 3);
  EXPECT_EQ(shown.front(), "M:");
  EXPECT_EQ(shown.back(), "A:" + dir + "/alpha0002.bmp");
  // The timeline stays at the last frame; the engine is idle again.
  EXPECT_EQ(fx.model.TimeLinePosition, 2);
  EXPECT_EQ(fx.model.CurFrame, "2");
  EXPECT_TRUE(fx.ctx.RenderIdle);
  EXPECT_FALSE(fx.ctx.PreviewBusy);
  EXPECT_EQ(fx.ctx.MovieProgress, 0);
}

// Starting at a later frame: frame 0 is rendered up to its cloud layer first,
// fixing the warp normalisation for the whole movie.
TEST(MovieLoop, LaterStartPreRollsFrameZero) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  Fixture fx(4, 4);
  const MovieReport r = fx.Run(Range(dir + "/m.bmp", "", 5, 7));
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(r.framesDone, 3);
  const std::vector<std::string> expected = {
      "alloc 4x4", "cloud unfixed",                        // pre-roll of frame 0
      "alloc 4x4", "cloud", "filter 5", "alloc 4x4", "cloud", "filter 6",
      "alloc 4x4", "cloud", "filter 7"};
  EXPECT_EQ(fx.log, expected);
  EXPECT_FALSE(Exists(dir + "/m0004.bmp"));
  EXPECT_TRUE(Exists(dir + "/m0005.bmp"));
  EXPECT_TRUE(Exists(dir + "/m0007.bmp"));
}

// A range of a whole run, rendered on its own by the real engine, gives the
// whole run's pictures byte for byte, also where the seed is animated and the
// oversampling changes the render size (the pens are re-made from the seed of
// the frame where the size changes).  The whole run starts at frame 1, so it
// pre-rolls frame 0 too.
TEST(MovieLoop, RangeOfAWholeRunMatchesIt) {
  const TempFolder tmp;
  Fixture fx(12, 10);
  fx.renderer.Stages = EngineStages();
  fx.params.Seed = 40;
  fx.params.OverSampling = 2;
  KeyCurveSetFromParams(fx.curves, 6, fx.params);  // seed 0 -> 40, oversampling 1 -> 2
  std::vector<std::pair<int32_t, Bitmap24>> pictures;
  MovieCallbacks cb;
  cb.frameStarting = [&](int32_t f) { pictures.emplace_back(f, Bitmap24{}); };
  cb.drawPicture = [&](const Bitmap24& bm) { pictures.back().second = bm; };
  ASSERT_TRUE(fx.Run(Range(tmp.path + "/w.bmp", "", 1, 6), cb).Succeeded());
  const std::vector<std::pair<int32_t, Bitmap24>> whole = pictures;
  for (int32_t a : {2, 4, 5}) {
    pictures.clear();
    MovieSettings s = Range(tmp.path + "/r.bmp", "", a, 6);
    s.runStart = 1;
    ASSERT_TRUE(fx.Run(s, cb).Succeeded());
    ASSERT_EQ(pictures.size(), 7u - a);
    for (const auto& [f, bm] : pictures)
      EXPECT_EQ(bm.bytes, whole[f - 1].second.bytes) << "frame " << f << " of " << a << "..6";
  }
}

// A range far into a run walks only the frames where the engine's state can
// change, and stops at once when asked to while it walks.
TEST(MovieLoop, TheWalkBeforeARangeIsShortAndStoppable) {
  const TempFolder tmp;
  Fixture fx(4, 4);  // every curve keyed at frame 0 only
  MovieSettings s = Range(tmp.path + "/m.bmp", "", 100000, 100000);
  s.runStart = 0;
  ASSERT_TRUE(fx.Run(s).Succeeded());
  const std::vector<std::string> expected = {"alloc 4x4", "cloud unfixed",  // frame 0
                                             "alloc 4x4",                   // frame 99999
                                             "alloc 4x4", "cloud", "filter 100000"};
  EXPECT_EQ(fx.log, expected);

  // A template that never fixes the normalisation, keys spanning the walk:
  // every frame is walked until the abort.
  fx.renderer.Stages.RenderCloudLayer = [](RenderContext&, const TCloudFrameParams&, const RenderTarget&,
                                          RenderSequence&) {};
  fx.params.Seed = 7;
  KeyCurveSetFromParams(fx.curves, 200000, fx.params);
  int polls = 0;
  MovieCallbacks cb;
  cb.abortRequested = [&] { return ++polls > 5; };
  s.firstFrame = s.lastFrame = 150000;
  const MovieReport r = fx.Run(s, cb);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.framesDone, 0);
  EXPECT_LT(polls, 10);
}

// Two frames at a time on two contexts give the files one frame after the
// other gives, byte for byte, also where the seed and the oversampling change
// (new pens at another size) and when the warp normalisation is fixed by a
// pre-roll; the callbacks come in the same order.
TEST(MovieLoop, FramesInParallelGiveTheSameFiles) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  Fixture fx(20, 12);
  fx.renderer.Stages = EngineStages();
  // Every frame is rendered once either way: a lane given a frame that was
  // rendered before the lanes started would hold it forever, and the other
  // lane would render the rest alone.
  std::atomic<int> layers{0};
  fx.renderer.Stages.RenderCloudLayer = [&layers](RenderContext& c, const TCloudFrameParams& p,
                                                  const RenderTarget& t, RenderSequence& q) {
    ++layers;
    EngineStages().RenderCloudLayer(c, p, t, q);
  };
  fx.params.Seed = 9;
  fx.params.OverSampling = 2;
  KeyCurveSetFromParams(fx.curves, 4, fx.params);  // seed and oversampling change
  for (int32_t first : {0, 2}) {
    std::vector<std::string> events[2];
    int layersRendered[2] = {};
    for (MovieParallelism mode : {MovieParallelism::Rows, MovieParallelism::Frames}) {
      const bool frames = mode == MovieParallelism::Frames;
      layers = 0;
      std::vector<std::string>& ev = events[frames];
      MovieCallbacks cb;
      cb.frameStarting = [&](int32_t f) { ev.push_back("start " + std::to_string(f)); };
      cb.drawPicture = [&](const Bitmap24& bm) {
        ev.push_back("draw " + std::to_string(bm.width) + " " +
                     std::to_string(std::hash<std::string>()(
                         std::string(bm.bytes.begin(), bm.bytes.end()))));
      };
      cb.progress = [&](const MovieProgressInfo& p) {
        ev.push_back("done " + std::to_string(p.framesDone));
      };
      const std::string tag = frames ? "f" : "r";
      MovieSettings s = Range(dir + "/" + tag + ".bmp", dir + "/" + tag + "a.png", first, 7);
      s.parallelism = mode;
      const MovieReport r = fx.Run(s, cb);
      ASSERT_TRUE(r.Succeeded()) << (r.failures.empty() ? "" : r.failures[0]);
      EXPECT_EQ(r.parallelism, mode);
      EXPECT_EQ(r.framesDone, 8 - first);
      EXPECT_EQ(fx.params.Seed, 9) << "the record follows the frames";
      layersRendered[frames] = layers;
    }
    EXPECT_EQ(events[0], events[1]) << "from " << first;
    EXPECT_EQ(layersRendered[0], layersRendered[1]) << "from " << first;
    for (int32_t f = first; f <= 7; ++f)
      for (const char* suffix : {".bmp", "a.png"}) {
        auto read = [&](const std::string& tag) {
          std::ifstream in(NumberedFileName(dir + "/" + tag + suffix, f), std::ios::binary);
          return std::string(std::istreambuf_iterator<char>(in), {});
        };
        const std::string rows = read("r");
        EXPECT_FALSE(rows.empty());
        EXPECT_EQ(rows, read("f")) << "frame " << f << suffix << " from " << first;
      }
  }
}

// With two frames in flight, an abort between frames still writes exactly
// the frames up to the one in progress; an abort at once drops the frame
// rendered ahead, and the movies are closed properly either way.
TEST(MovieLoop, FramesInParallelStopLikeOneFrameAtATime) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  Fixture fx(16, 8);
  fx.renderer.Stages = EngineStages();
  bool abort = false;
  MovieCallbacks cb;
  cb.progress = [&](const MovieProgressInfo& p) { abort = p.frame == 2; };
  cb.abortRequested = [&] { return abort; };
  MovieSettings s = Range(dir + "/m.avi", dir + "/a.bmp", 0, 9);
  s.parallelism = MovieParallelism::Frames;
  MovieReport r = fx.Run(s, cb);
  EXPECT_TRUE(r.aborted);
  EXPECT_TRUE(r.failures.empty());
  EXPECT_EQ(r.framesDone, 3);
  EXPECT_EQ(AviFrameCount(dir + "/m.avi"), 3);
  EXPECT_TRUE(Exists(dir + "/a0002.bmp"));
  EXPECT_FALSE(Exists(dir + "/a0003.bmp"));
  EXPECT_EQ(fx.model.TimeLinePosition, 3);
  EXPECT_TRUE(fx.ctx.RenderIdle);

  cb.abortRequested = nullptr;
  cb.progress = [&](const MovieProgressInfo& p) {
    if (p.frame == 1) fx.ctx.RequestAbort();
  };
  s.mainName = dir + "/n.avi";
  s.alphaName = "";
  r = fx.Run(s, cb);
  fx.ctx.ClearAbort();
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.framesDone, 2);
  EXPECT_EQ(AviFrameCount(dir + "/n.avi"), 2);
}

TEST(MovieLoop, ProgressRoundsHalfToEven) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  Fixture fx(2, 2);
  std::vector<int> values;
  MovieCallbacks cb;
  cb.progress = [&](const MovieProgressInfo& p) { values.push_back(p.movieProgress); };
  fx.Run(Range(dir + "/p.bmp", "", 0, 7), cb);  // T = 8: 12.5, 25, 37.5, ...
  EXPECT_EQ(values, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
}

// Oversampled frames are rendered at the factor's size and written at the
// output size, to both outputs.
TEST(MovieLoop, OversampledFramesAreWrittenAtOutputSize) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  Fixture fx(32, 24, 3);
  const MovieReport r = fx.Run(Range(dir + "/main.avi", dir + "/alpha.bmp", 0, 1));
  ASSERT_TRUE(r.Succeeded()) << r.failures.front();
  EXPECT_EQ(fx.log.front(), "alloc 96x72");
  int w = 0, h = 0;
  EXPECT_EQ(AviFrameCount(dir + "/main.avi", &w, &h), 2);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 24);
  const Bitmap24 a = LoadBmp(dir + "/alpha0001.bmp");
  EXPECT_EQ(a.width, 32);
  EXPECT_EQ(a.height, 24);
  EXPECT_EQ(a.Row(10)[0], 199);
  EXPECT_EQ(fx.params.ResX, 32);
  EXPECT_EQ(fx.params.ResY, 24);
}

// An abort asked for during a frame lets that frame finish and be written;
// the movies are closed properly with the frames done.
TEST(MovieLoop, AbortFinishesTheFrameInProgress) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  Fixture fx(16, 16);
  bool abort = false;
  fx.duringFrame = [&](int32_t f) {
    if (f == 2) abort = true;
  };
  MovieCallbacks cb;
  cb.abortRequested = [&] { return abort; };
  const MovieReport r = fx.Run(Range(dir + "/m.avi", dir + "/a.avi", 0, 9), cb);
  EXPECT_TRUE(r.aborted);
  EXPECT_TRUE(r.failures.empty());
  EXPECT_EQ(r.framesDone, 3);
  EXPECT_EQ(AviFrameCount(dir + "/m.avi"), 3);
  EXPECT_EQ(AviFrameCount(dir + "/a.avi"), 3);
  EXPECT_EQ(fx.model.TimeLinePosition, 3) << "shows the frame that was about to start";
  EXPECT_TRUE(fx.ctx.RenderIdle);

  // Aborted again over those complete movies: they stay, the frames made go
  // beside them, and the notes name both files.
  abort = false;
  fx.duringFrame = [&](int32_t f) { abort = f == 1; };
  const MovieReport again = fx.Run(Range(dir + "/m.avi", dir + "/a.avi", 0, 9), cb);
  EXPECT_TRUE(again.aborted);
  EXPECT_EQ(AviFrameCount(dir + "/m.avi"), 3);
  EXPECT_EQ(AviFrameCount(dir + "/m.partial.avi"), 2);
  EXPECT_EQ(AviFrameCount(dir + "/a.partial.avi"), 2);
  ASSERT_EQ(again.notes.size(), 2u);
  EXPECT_EQ(again.notes[0], dir + "/m.avi was left as it was; the 2 frames made are in " + dir +
                                "/m.partial.avi");

  // The Abort button of a window sets RenderIdle during the render.
  Fixture fy(4, 4);
  fy.duringFrame = [&](int32_t f) {
    if (f == 1) fy.ctx.RenderIdle = true;
  };
  const MovieReport s = fy.Run(Range(dir + "/s.bmp", "", 0, 9));
  EXPECT_TRUE(s.aborted);
  EXPECT_EQ(s.framesDone, 2);
  EXPECT_TRUE(Exists(dir + "/s0001.bmp"));
  EXPECT_FALSE(Exists(dir + "/s0002.bmp"));
}

TEST(MovieLoop, FailuresAreCollectedAndTheOtherOutputCompletes) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  {
    Fixture fx(8, 8);
    const MovieReport r = fx.Run(Range(dir + "/missing/m.avi", dir + "/a.bmp", 0, 3));
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].find("main output"), std::string::npos) << r.failures[0];
    EXPECT_NE(r.failures[0].find("missing/m.avi"), std::string::npos) << r.failures[0];
    EXPECT_EQ(r.framesDone, 4);
    EXPECT_TRUE(Exists(dir + "/a0003.bmp"));
  }
  {
    Fixture fx(8, 8);
    const MovieReport r = fx.Run(Range(dir + "/a.bmp", dir + "/missing/b.bmp", 0, 3));
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].rfind("alpha output: cannot create " + dir + "/missing/b0000.bmp: ", 0), 0u)
        << r.failures[0];
  }
  {
    // A series that cannot take its first file is refused before any frame
    // is rendered: a missing folder, a name too long, a device, a
    // write-protected file (unless replaceProtected).
    const std::string longName = dir + "/" + std::string(300, 'n') + ".bmp";
    std::ofstream(dir + "/ro0000.bmp") << "keep";
    chmod((dir + "/ro0000.bmp").c_str(), 0444);
    for (const std::string& name : {dir + "/missing/s.bmp", longName, std::string("/dev/null"),
                                    dir + "/ro.bmp"}) {
      Fixture fx(8, 8);
      const MovieReport r = fx.Run(Range(name, "", 0, 3));
      ASSERT_EQ(r.failures.size(), 1u) << name;
      EXPECT_TRUE(fx.log.empty()) << name;
      MovieSettings s = Range(name, "", 0, 3);
      EXPECT_EQ(CheckMovieOutputs(s), r.failures) << name;
      s.replaceProtected = true;
      EXPECT_EQ(CheckMovieOutputs(s).empty(), name == dir + "/ro.bmp") << name;
    }
    EXPECT_FALSE(Exists("/dev/null0000"));
    std::ifstream kept(dir + "/ro0000.bmp");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
  }
  {
    Fixture fx(8, 8);  // no output can take frames: nothing is rendered
    const MovieReport r = fx.Run(Range(dir + "/missing/m.avi", dir + "/missing/a.avi", 5, 9));
    EXPECT_EQ(r.failures.size(), 2u);
    EXPECT_EQ(r.framesDone, 0);
    EXPECT_TRUE(fx.log.empty());
    EXPECT_TRUE(fx.ctx.RenderIdle);
  }
  {
    Fixture fx(8, 8);  // one file for both outputs would lose the colour pictures
    const MovieReport r = fx.Run(Range(dir + "/same.avi", " " + dir + "/same.avi", 0, 3));
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].find("same file"), std::string::npos) << r.failures[0];
    EXPECT_TRUE(fx.log.empty());
    EXPECT_FALSE(Exists(dir + "/same.avi"));
  }
  {
    Fixture fx(0, 8);
    const MovieReport r = fx.Run(Range(dir + "/z.bmp", "", 0, 3));
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_FALSE(Exists(dir + "/z0000.bmp"));
  }
  {
    Fixture fx(8, 8);  // a write fails at frame 2: the movie is dropped, the loop ends
    auto alloc = fx.renderer.Stages.AllocFrameBuffers;
    fx.renderer.Stages.AllocFrameBuffers = [&](RenderContext& c, const TCloudFrameParams& p,
                                                const RenderTarget& t, RenderSequence& s) {
      RenderTarget wrong = t;
      if (fx.model.TimeLinePosition == 2) wrong.Width = 9;  // a picture of the wrong size
      return alloc(c, p, wrong, s);
    };
    const MovieReport r = fx.Run(Range(dir + "/w.avi", "", 0, 9));
    EXPECT_EQ(r.framesDone, 3);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].find("9 x 8"), std::string::npos) << r.failures[0];
    EXPECT_FALSE(Exists(dir + "/w.avi"));
  }
  {
    Fixture fx(8, 8);  // allocation fails at frame 2: the loop ends there
    auto alloc = fx.renderer.Stages.AllocFrameBuffers;
    int calls = 0;
    fx.renderer.Stages.AllocFrameBuffers = [&](RenderContext& c, const TCloudFrameParams& p,
                                                const RenderTarget& t, RenderSequence& s) {
      if (++calls == 3) {
        c.RenderIdle = true;
        return false;
      }
      return alloc(c, p, t, s);
    };
    const MovieReport r = fx.Run(Range(dir + "/f.bmp", "", 0, 5));
    EXPECT_EQ(r.framesDone, 2);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].find("frame 2"), std::string::npos) << r.failures[0];
  }
  {
    // A frame that cannot be rendered: over a movie that stood there the
    // frames made go beside it; at frame 0 no file is written at all.
    std::ofstream(dir + "/g.avi") << "complete";
    int failAt = 2, calls = 0;
    Fixture fx(8, 8);
    auto alloc = fx.renderer.Stages.AllocFrameBuffers;
    fx.renderer.Stages.AllocFrameBuffers = [&](RenderContext& c, const TCloudFrameParams& p,
                                                const RenderTarget& t, RenderSequence& s) {
      if (calls++ == failAt) return false;
      return alloc(c, p, t, s);
    };
    MovieReport r = fx.Run(Range(dir + "/g.avi", "", 0, 5));
    EXPECT_EQ(r.framesDone, 2);
    EXPECT_EQ(AviFrameCount(dir + "/g.partial.avi"), 2);
    failAt = calls = 0;
    r = fx.Run(Range(dir + "/h.avi", dir + "/g.avi", 0, 5));
    EXPECT_EQ(r.framesDone, 0);
    ASSERT_EQ(r.notes.size(), 2u);
    EXPECT_EQ(r.notes[0], "no frames were made; " + dir + "/h.avi was not written");
    EXPECT_FALSE(Exists(dir + "/h.avi"));
    std::ifstream kept(dir + "/g.avi");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "complete");
  }
}

TEST(MovieLoop, TheProtectedFileIsNeverWritten) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  std::ofstream(dir + "/p.avi") << "project";
  std::ofstream(dir + "/s0001.bmp") << "project";
  Fixture fx(4, 4);
  MovieSettings s = Range(dir + "/p.avi", "", 0, 2);
  s.protectedFile = dir + "/p.avi";
  MovieReport r = fx.Run(s);
  ASSERT_EQ(r.failures.size(), 1u);
  EXPECT_EQ(r.failures[0], "main output: refusing to write over the project " + dir + "/p.avi");
  EXPECT_EQ(r.framesDone, 0);
  s = Range(dir + "/s.bmp", "", 0, 2);
  s.protectedFile = dir + "/s0001.bmp";
  r = fx.Run(s);
  ASSERT_EQ(r.failures.size(), 1u);
  EXPECT_EQ(r.failures[0], "main output: refusing to write over the project " + dir + "/s0001.bmp");
  EXPECT_TRUE(Exists(dir + "/s0002.bmp"));
  std::ifstream in(dir + "/s0001.bmp");
  std::string text;
  in >> text;
  EXPECT_EQ(text, "project");
}

TEST(MovieLoop, NothingHappensWithoutOutputNames) {
  Fixture fx(8, 8);
  const MovieReport r = fx.Run(Range("  ", "", 0, 3));
  EXPECT_FALSE(r.started);
  EXPECT_TRUE(fx.log.empty());
  const MovieReport e = fx.Run(Range("x.bmp", "", 5, 4));  // maximum below the start
  EXPECT_TRUE(e.started);
  EXPECT_EQ(e.totalFrames, 0);
  EXPECT_EQ(e.framesDone, 0);
}

// The exit status of the program BIN with ARGS, its settings file in DIR,
// its output dropped.
int RunVelmora(const char* bin, const std::string& dir, const std::string& args) {
  const std::string cmd =
      "VELMORA_SETTINGS=" + dir + "/v.ini " + bin + " " + args + " 2>/dev/null >/dev/null";
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The command line's statuses: 2 for usage errors, 1 for failures; no movie
// is written in either case.
TEST(MovieCommand, UsageErrorsAndFailures) {
  const char* bin = std::getenv("VELMORA_BIN");
  if (!bin) GTEST_SKIP() << "VELMORA_BIN is not set";
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  auto run = [&](const std::string& args) { return RunVelmora(bin, dir, "movie " + args); };
  EXPECT_EQ(run(""), 2) << "no output";
  EXPECT_EQ(run("-o " + dir + "/m.avi --from 121"), 2) << "outside the timeline 0..120";
  EXPECT_EQ(run("-o " + dir + "/m.avi --from 3 --from-current"), 2);
  EXPECT_EQ(run("-o " + dir + "/m.avi --frames 100..121"), 2) << "outside the timeline";
  EXPECT_EQ(run("-o " + dir + "/m.avi --frames 7..6"), 2);
  EXPECT_EQ(run("-o " + dir + "/m.avi --frames 7"), 2);
  EXPECT_EQ(run("-o " + dir + "/m.avi --quality 101"), 2);
  EXPECT_EQ(run("-o " + dir + "/m.avi --codec theora"), 2);
  EXPECT_EQ(run("-o " + dir + "/m.avi --bitrate 5x"), 2);
  EXPECT_EQ(run("-o " + dir + "/m.avi --frobnicate"), 2);
  EXPECT_EQ(run("-o " + dir + "/m.avi --codec ZZZZ"), 1) << "no such codec";
  EXPECT_EQ(run("-o " + dir + "/missing/m.avi"), 1) << "folder missing";
  EXPECT_EQ(run("-o " + dir + "/m.avi --depth 16"), 2) << "movies hold 8 bits";
  EXPECT_EQ(run("-o " + dir + "/s.png --alpha " + dir + "/a.mkv --depth 16"), 2);
  EXPECT_EQ(run("-o " + dir + "/s.jpg --depth 16"), 2) << "JPEG holds 8 bits";
  EXPECT_EQ(run("-o " + dir + "/s.png --depth float"), 2) << "PNG holds no floats";
  EXPECT_EQ(run("-o " + dir + "/s.png --depth 12"), 2);
  EXPECT_EQ(run("-o " + dir + "/s.png --buffer cloud"), 2) << "height or normal only";
  EXPECT_EQ(run("-o " + dir + "/s.png --buffer height --normal-strength 2"), 2);
  EXPECT_EQ(run("-o " + dir + "/s.png --buffer normal --alpha-channel"), 2);
  EXPECT_FALSE(Exists(dir + "/m.avi"));
  EXPECT_FALSE(Exists(dir + "/missing"));
  EXPECT_FALSE(Exists(dir + "/s0000.png")) << "no series either";
}

// A frame of a series at any depth, and of a height or normal map series,
// holds the bytes render writes for that frame, on one thread and on two
// (where small frames render two at a time).
TEST(MovieCommand, SeriesFramesAreRenderPictures) {
  const char* bin = std::getenv("VELMORA_BIN");
  if (!bin) GTEST_SKIP() << "VELMORA_BIN is not set";
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  auto run = [&](const std::string& args) {
    return RunVelmora(bin, dir, args + " --set resolution=24x16");
  };
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const struct {
    const char* ext;
    const char* args;
  } cases[] = {{".png", "--depth 16"},
               {".tif", "--depth float"},
               {".exr", "--depth 16 --buffer height"},
               {".png", "--buffer normal --normal-strength 2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string still = dir + "/still" + c.ext;
    ASSERT_EQ(run("render -o " + still + " " + c.args), 0);
    const std::string picture = read(still);
    ASSERT_FALSE(picture.empty());
    for (const char* threads : {"1", "2"}) {
      const std::string series = dir + "/s" + threads + c.ext;
      ASSERT_EQ(run("movie -o " + series + " --set frames=0..2 --threads " + threads + " " +
                    c.args),
                0);
      for (int32_t f = 0; f <= 2; ++f)
        EXPECT_EQ(read(NumberedFileName(series, f)), picture) << threads << " threads, frame " << f;
    }
  }
}

}  // namespace
}  // namespace velmora
