// The movie export: 30 frames of the new-project animation into an AVI of
// each codec, and the encoder alone on the same pictures.  Reports frames per
// second and the share of the export spent encoding and writing.
// Arguments of the exports: the codec (index into kCodecs), the frame size
// and the number of render threads.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

#include "anim/CurveSet.h"
#include "anim/FrameRender.h"
#include "anim/ProjectModel.h"
#include "output/AviWriter.h"
#include "output/MovieLoop.h"
#include "render/ThreadPool.h"

namespace velmora {
namespace {

constexpr int32_t kFrames = 30;

// The codecs of the command line's --codec, in the order of the arguments.
constexpr const char* kCodecs[] = {"raw", "mjpeg", "ffv1", "h264", "mpeg4"};

std::string TempName(const char* stem) {
  return "/tmp/velmora_bench_" + std::to_string(getpid()) + "_" + stem + ".avi";
}

AviOptions CodecOptions(int64_t codec) {
  AviOptions o = DefaultAviOptions();
  AviHandlerFromName(kCodecs[codec], o.handler);
  return o;
}

// How the frames of an export differ.  The new project keys nothing after
// frame 0: its frames are all alike and take the stamped layers of the frame
// before.  Drift keys the first warp layer's position at the last frame, so
// that the warp template is stamped in every frame; wind keys the cloud and
// both warp positions alike, so that the kept layers move with them.
enum class Motion { None, Drift, Wind };

void ExportMovie(benchmark::State& state, int64_t codec, int32_t size, int64_t threads,
                 MovieParallelism mode = MovieParallelism::Auto, Motion motion = Motion::None) {
  std::string why;
  if (!AviHandlerAvailable(CodecOptions(codec).handler, &why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  const std::string path = TempName("export");
  double render = 0, output = 0, frames = 0;
  for (auto _ : state) {
    RenderContext ctx;
    ctx.Threads.SetThreads(static_cast<int>(threads));
    Document doc;
    doc.ApplyNewProjectDefaults();  // 512 x 512, oversampling 1
    doc.Params.ResX = doc.Params.ResY = size;
    if (motion != Motion::None) {
      TCloudFrameParams last = doc.Params;
      last.wx1 = 1;
      last.wy1 = -1;
      if (motion == Motion::Wind) {
        last.wx2 = last.cx = 1;
        last.wy2 = last.cy = -1;
      }
      KeyCurveSetFromParams(doc.Curves, kFrames - 1, last);
    }
    const TWindowHooks hooks;
    TFrameRenderer renderer = DocumentRenderer(ctx, doc, hooks);
    MovieSettings s;
    s.mainName = path;
    s.firstFrame = 0;
    s.lastFrame = kFrames - 1;
    s.aviOptions = CodecOptions(codec);
    s.parallelism = mode;
    const MovieReport r = RenderMovie(renderer, s, {});
    if (!r.Succeeded()) state.SkipWithError(r.failures.empty() ? "no frames" : r.failures[0].c_str());
    render += r.renderSeconds;
    output += r.outputSeconds;
    frames += r.framesDone;
  }
  std::remove(path.c_str());
  state.SetLabel(kCodecs[codec]);
  state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["encode_share"] = output / (render + output);
  state.counters["render_ms_per_frame"] = render * 1000 / frames;
  state.counters["encode_ms_per_frame"] = output * 1000 / frames;
}

// The figure the issue names: Motion JPEG at 512 x 512; the argument is the
// number of render threads.
void BM_MovieExportMjpeg512(benchmark::State& state) { ExportMovie(state, 1, 512, state.range(0)); }
BENCHMARK(BM_MovieExportMjpeg512)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// The same with the first warp layer drifting over the frames.
void BM_MovieExportMjpeg512Drift(benchmark::State& state) {
  ExportMovie(state, 1, 512, state.range(0), MovieParallelism::Auto, Motion::Drift);
}
BENCHMARK(BM_MovieExportMjpeg512Drift)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// The whole field moving with the wind.
void BM_MovieExportMjpeg512Wind(benchmark::State& state) {
  ExportMovie(state, 1, 512, state.range(0), MovieParallelism::Auto, Motion::Wind);
}
BENCHMARK(BM_MovieExportMjpeg512Wind)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Every codec at 512 x 512, and Motion JPEG at the small sizes of previews
// and sprites: codec, size, threads; the warp drifts, so every frame stamps.
void BM_MovieExport(benchmark::State& state) {
  ExportMovie(state, state.range(0), static_cast<int32_t>(state.range(1)), state.range(2),
              MovieParallelism::Auto, Motion::Drift);
}
BENCHMARK(BM_MovieExport)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {512}, {1, 2}})
    ->ArgsProduct({{1}, {128, 256}, {1, 2}})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// One frame at a time (0) against two at a time (1), Motion JPEG on two
// threads, the warp drifting: size, mode.  The rule of MovieParallelism::Auto comes from these.
void BM_MovieExportMode(benchmark::State& state) {
  const bool frames = state.range(1) == 1;
  ExportMovie(state, 1, static_cast<int32_t>(state.range(0)), 2,
              frames ? MovieParallelism::Frames : MovieParallelism::Rows, Motion::Drift);
  state.SetLabel(frames ? "frames" : "rows");
}
BENCHMARK(BM_MovieExportMode)
    ->ArgsProduct({{128, 256, 512, 768}, {0, 1}})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Frame 0 of the new project (512 x 512), the picture the encoders take.
Bitmap24 NewProjectPicture() {
  RenderContext ctx;
  Document doc;
  doc.ApplyNewProjectDefaults();
  const TWindowHooks hooks;
  TFrameRenderer renderer = DocumentRenderer(ctx, doc, hooks);
  Bitmap24 picture;
  RenderMovieFrame(renderer, 0, picture, nullptr);
  return picture;
}

// What EncodeFrames measured, summed over the iterations.
struct EncodeCost {
  double seconds = 0;     // wall time
  double cpuSeconds = 0;  // processor time of every thread
  double frames = 0;
};

// Writes FRAMES into a movie at PATH once per iteration, from opening to
// the closed file (encoders that look ahead, or assemble at the end as
// animated WebP does, finish their work in Close); the file is removed
// afterwards.  An .avi name takes AVIOPTIONS, the others MOVIEOPTIONS.
EncodeCost EncodeFrames(benchmark::State& state, const std::string& path,
                        const std::vector<Bitmap24>& frames, const AviOptions& aviOptions,
                        const MovieEncodeOptions& movieOptions = {}) {
  EncodeCost cost;
  const int32_t w = frames.front().width, h = frames.front().height;
  for (auto _ : state) {
    const auto started = std::chrono::steady_clock::now();
    const std::clock_t cpuStarted = std::clock();
    AviWriter writer;
    if (!writer.Open(path, w, h, aviOptions, movieOptions)) {
      state.SkipWithError(writer.LastError().c_str());
      break;
    }
    for (size_t f = 0; f < frames.size(); ++f) writer.Write(frames[f], static_cast<int64_t>(f));
    if (!writer.Close()) state.SkipWithError(writer.LastError().c_str());
    cost.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    cost.cpuSeconds += static_cast<double>(std::clock() - cpuStarted) / CLOCKS_PER_SEC;
    cost.frames += static_cast<double>(frames.size());
  }
  std::remove(path.c_str());
  return cost;
}

// The encoder alone: the pictures of one rendered frame, written 30 times.
void BM_AviEncode512(benchmark::State& state) {
  const int64_t codec = state.range(0);
  std::string why;
  if (!AviHandlerAvailable(CodecOptions(codec).handler, &why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  const std::vector<Bitmap24> frames(kFrames, NewProjectPicture());
  const EncodeCost cost = EncodeFrames(state, TempName("encode"), frames, CodecOptions(codec));
  state.SetLabel(kCodecs[codec]);
  state.counters["fps"] = benchmark::Counter(cost.frames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AviEncode512)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();

// The render of one 512 x 512 frame of the new project, for setting the
// encoders' costs beside it.  The argument is the number of render threads.
void BM_RenderFrame512(benchmark::State& state) {
  RenderContext ctx;
  ctx.Threads.SetThreads(static_cast<int>(state.range(0)));
  Document doc;
  doc.ApplyNewProjectDefaults();
  const TWindowHooks hooks;
  TFrameRenderer renderer = DocumentRenderer(ctx, doc, hooks);
  Bitmap24 picture;
  for (auto _ : state) RenderMovieFrame(renderer, 0, picture, nullptr);
}
BENCHMARK(BM_RenderFrame512)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each movie format of the table with each of its codecs: 30 frames of one
// rendered picture drifting 4 pixels a frame (so that the inter-frame codecs
// see motion), colour only, with the default options.  Reports the encoding
// cost per 512 x 512 frame (conversion, encoding and writing).
struct MovieCase {
  const char* file;
  const char* codec;
};
constexpr MovieCase kMovieCases[] = {
    {"mp4", "h264"},   {"mp4", "hevc"},   {"mp4", "av1"},   {"mkv", "ffv1"},
    {"mkv", "png"},    {"mkv", "mjpeg"},  {"webm", "vp9"},  {"webm", "av1"},
    {"mov", "prores"}, {"webp", "webp"},  {"gif", "gif"},   {"apng", "apng"},
};

void BM_MovieEncode512(benchmark::State& state) {
  const MovieCase& c = kMovieCases[state.range(0)];
  state.SetLabel(std::string(c.file) + " " + c.codec);
  const Bitmap24 picture = NewProjectPicture();
  std::vector<Bitmap24> frames(kFrames, picture);
  for (int32_t f = 0; f < kFrames; ++f)
    for (int32_t y = 0; y < picture.height; ++y)
      for (int32_t x = 0; x < picture.width; ++x)
        std::copy_n(picture.Row(y) + 3 * x, 3,
                    frames[f].Row(y) + 3 * ((x + 4 * f) % picture.width));
  const std::string path = "/tmp/velmora_bench_" + std::to_string(getpid()) + "." + c.file;
  MovieEncodeOptions options;
  options.codec = c.codec;
  const EncodeCost cost = EncodeFrames(state, path, frames, DefaultAviOptions(), options);
  // Wall time, and the processor time of every thread (the encoders run
  // threads of their own), which a loaded machine does not inflate.
  state.counters["encode_ms_per_frame"] = cost.frames > 0 ? cost.seconds * 1000 / cost.frames : 0;
  state.counters["encode_cpu_ms_per_frame"] =
      cost.frames > 0 ? cost.cpuSeconds * 1000 / cost.frames : 0;
}
BENCHMARK(BM_MovieEncode512)
    ->DenseRange(0, sizeof kMovieCases / sizeof kMovieCases[0] - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
}  // namespace velmora
