// The movie export: every frame of a timeline range rendered at the output
// size (with that frame's oversampling) and handed to one or two outputs, the
// colour pictures to the main output and grey pictures of the clouds' alpha
// channel to the alpha output.  Each output is an AVI movie when its name ends
// in ".avi" (any case) and a numbered series of still pictures otherwise.
//
// The loop runs on the caller's thread, and so do its callbacks.  What a
// window does during the export (showing the record and the current file
// names, moving the gauges, letting the user abort, processing events) comes
// in as callbacks, so the same loop serves the desktop application and the
// command line.
//
// The frames flow through a pipeline: while frame N is encoded and written
// (and its alpha picture made) on the outputs' own thread, frame N + 1
// renders.  Small frames render two at a time (MovieParallelism).  The
// pictures and files are the same as one frame after the other would give.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "anim/FrameRender.h"
#include "anim/ProjectModel.h"
#include "output/AviWriter.h"
#include "output/Formats.h"
#include "render/HighPrecision.h"
#include "render/Pixe.h"

namespace velmora {

// Avi stands for a movie file of any movie format of the table (.avi, .mp4,
// .mkv, ...); Series for a numbered series of still pictures.
enum class MovieOutputKind { None, Avi, Series };

// Blanks (spaces, tabs, line breaks) removed from both ends.
std::string TrimOutputName(const std::string& name);

// None for an empty name, Avi when the lower-cased extension names a movie
// format of the table (".avi", ".mp4", ...), Series otherwise.
MovieOutputKind OutputKindForName(const std::string& name);

// The file of frame f of a numbered series: the name without its short
// extension, f with at least four digits, then the name's extension.  The
// name loses its extension only when that starts at a "." among the last four
// characters (and no "/" follows it); the extension after the number is the
// file name's part from its last dot:
// movie.bmp -> movie0007.bmp, clip.avi.bmp -> clip.avi0000.bmp,
// movie.jpeg -> movie.jpeg0007.jpeg, movie -> movie0007,
// frame 12345 -> movie12345.bmp, frame -3 -> movie-0003.bmp.
std::string NumberedFileName(const std::string& name, int32_t frame);

// A name that ends in "/" or names a folder stands for a numbered series in
// that folder: DIR/STEM.png (so DIR/frame0000.png, ...); any other name is
// returned as it is.
std::string SeriesNameInFolder(const std::string& name, const std::string& stem);

// Where an interrupted movie goes when a file already stands at its name:
// clip.avi -> clip.partial.avi.
std::string PartialMovieName(const std::string& name);

// One line per output for the user before the export starts: which files
// will be written (an AVI file, or the first and last of a numbered series).
struct MovieSettings;
std::vector<std::string> DescribeMovieOutputs(const MovieSettings& settings);

// How a movie's frames use the render threads.  Rows: one frame at a time,
// every thread on its rows.  Frames: two frames at a time, each on a render
// context of its own with half the threads (once the first frame has fixed
// the warp normalisation).  Auto: Frames when there are at least two threads
// and the first frame's render size is at most kFrameParallelPixels, else
// Rows.  A small frame's many short passes leave threads waiting at the end
// of every pass, and its stamp draws run on one thread; two frames in flight
// avoid that waiting but each context holds its own buffers and a copy of
// the caller's pens (made anew only where a frame's seed or size differs
// from those), and two frames' buffers share the caches.  Measured on two
// cores, Motion JPEG, 120 frames: at 128 x 128 two frames in flight give
// about 10% more frames a second, at 256 x 256 about as many, at 512 x 512
// no more (two frames' buffers and pens outgrow a 32 MiB last-level cache).
enum class MovieParallelism { Auto, Rows, Frames };
inline constexpr int64_t kFrameParallelPixels = 256 * 256;

struct MovieSettings {
  std::string mainName;   // colour output; empty: not produced
  std::string alphaName;  // alpha output; empty: not produced
  int32_t firstFrame = 0;  // the start frame S
  int32_t lastFrame = 0;   // the timeline maximum; no frame when below S
  // The frame a whole run of this movie starts at, when the range is a part
  // of it (a frame range rendered on its own).  The engine state at S (the
  // warp normalisation, the pens) is then made what that whole run has there,
  // so every frame equals the whole run's.  Unset: S itself.
  std::optional<int32_t> runStart;
  AviOptions aviOptions;   // for each AVI output
  MovieEncodeOptions movieOptions;  // for each movie output of another format
  int jpegQuality = 75;    // for numbered JPEG pictures
  // The main output's pictures carry the alpha picture as their alpha
  // channel (a numbered series in a format that holds one, or a movie whose
  // format and codec hold one; refused for the others before anything is
  // written).
  bool alphaChannel = false;
  // Bits per channel of the pictures: kDepth8 is the standard render; at
  // kDepth16 and kDepthFloat the frames come from the high-precision render
  // (as a still of that depth does) and go to numbered series of a format
  // that holds the depth (movies are refused before anything is written).
  unsigned depth = kDepth8;
  // What the colour output's pictures are: the picture, or the heights or
  // the normal map of them (with normalStrength), at any depth.
  ExportMap map = ExportMap::Picture;
  double normalStrength = 1;
  // Operations one frame may take per pixel of its render size (TWorkBudget;
  // 0: no limit); a frame that needs more ends the export with a failure
  // naming its parameters.
  long double workPerPixel = DefaultWorkPerPixel;
  // A file no output may write over (the project file that was opened).
  std::string protectedFile;
  // Write-protected files (no write bit, or not writable by us) are replaced
  // rather than refused.
  bool replaceProtected = false;
  MovieParallelism parallelism = MovieParallelism::Auto;
};

// What keeps each output from taking its first file, one line each
// ("main output: ..."): a numbered series named by a device, FIFO or socket
// (its files would be made beside it), a first file or AVI movie that cannot
// be created (a missing folder, a name too long, a write-protected file).
// RenderMovie checks the same before rendering; a host may call it first to
// refuse without starting.
std::vector<std::string> CheckMovieOutputs(const MovieSettings& settings);

// The settings a window's state gives: the trimmed output names, the range
// from the current frame when FromCurrentFrame is set (else from the
// timeline minimum) to the timeline maximum.
MovieSettings MovieSettingsFromModel(const TProjectModel& model);

// The movie options of the main (ALPHAOUTPUT false) or alpha output: the
// settings' ones, with the alpha channel for the main output only.
MovieEncodeOptions MovieOptionsFor(const MovieSettings& settings, bool alphaOutput);

struct MovieProgressInfo {
  int32_t frame = 0;          // the frame just finished
  int32_t framesDone = 0;     // the frame counter
  int32_t totalFrames = 0;    // T = last - first + 1
  int movieProgress = 0;      // round(100 / T x framesDone), ties to even
};

struct MovieCallbacks {
  // The timeline moves to frame f (TimeLine position and CurFrame).
  std::function<void(int32_t frame)> frameStarting;
  // The current output file: alpha = false for the main output.  An empty
  // name clears the label.
  std::function<void(bool alpha, const std::string& fileName)> showOutputName;
  // The picture just rendered, for the preview box (the colour picture, or
  // the alpha picture when only the alpha output is produced).
  std::function<void(const Bitmap24& picture)> drawPicture;
  // After each frame: counters and MovieProgress.
  std::function<void(const MovieProgressInfo&)> progress;
  // Polled at the top of every frame besides RenderIdle: true stops the
  // export before that frame (the Abort button).
  std::function<bool()> abortRequested;
};

struct MovieReport {
  bool started = false;      // false when both names are empty
  bool aborted = false;      // stopped by abortRequested or RenderIdle
  int32_t firstFrame = 0;
  int32_t totalFrames = 0;   // T
  int32_t framesDone = 0;    // frame counter at the end
  std::vector<std::string> failures;  // one line each; empty when all went well
  // After an abort: one line for each movie that went beside the complete
  // file it would have replaced, naming both.
  std::vector<std::string> notes;
  double renderSeconds = 0;  // the pipeline, including the reduction (summed over frames)
  double outputSeconds = 0;  // encoding and writing the pictures (beside the rendering)
  // How the frames were rendered: Rows, or Frames when any two were rendered
  // at once.
  MovieParallelism parallelism = MovieParallelism::Rows;
  bool Succeeded() const { return started && failures.empty(); }
};

// Runs the export on the renderer's record, parameter set and model (whose
// timeline position follows the frames).  The output size is the record's
// ResX x ResY at the start.  The warp normalisation is reset and fixed on
// frame 0 (rendered up to its cloud layer first when the range starts
// elsewhere); with a runStart below S, the frames of the whole run before S
// are walked too, re-making the pens where that run re-makes them.  An abort
// through abortRequested or RenderIdle (which a failed
// buffer allocation sets too) takes effect at the top of a frame: the frame
// in progress is finished and written.  The context's RequestAbort stops the
// render at once, mid-frame; that frame is not written.  Either way the
// movies are closed properly.
// Failures (an AVI that cannot be opened or written, a picture file that
// cannot be written, a frame that cannot be rendered) do not stop the other
// output; they are collected in the report.  An AVI movie whose write failed
// takes no more frames and is not put in place.  When no output can receive
// frames (any more), no further frame is rendered.  One file named for both
// outputs is refused before anything is written, and so is an output that is
// the protected file.  An aborted AVI movie whose name already held a file
// leaves that file untouched and goes to PartialMovieName beside it.
// A write that fails on the outputs' thread is seen before the next frame is
// handed over: that frame is rendered but not counted.
MovieReport RenderMovie(TFrameRenderer& renderer, const MovieSettings& settings,
                        const MovieCallbacks& callbacks);

}  // namespace velmora
