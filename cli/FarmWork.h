// The work folder of a movie rendered on a cluster: a copy of the project,
// a record of what the folder was made for, the frames as numbered PNG series
// (colour and, when asked for, alpha), the batch script and the tasks' logs.
// Every task renders one frame range into the series; the movie is assembled
// from the complete series.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/AviWriter.h"
#include "output/MovieLoop.h"
#include "render/Pixe.h"

namespace velmora::cli {

struct FrameRange {
  int32_t first = 0;
  int32_t last = 0;
  int32_t Count() const { return last - first + 1; }
  bool operator==(const FrameRange&) const = default;
};

// first..last cut into min(n, frame count) contiguous ranges whose lengths
// differ by at most one (the longer ones first).
std::vector<FrameRange> SplitFrames(FrameRange all, int32_t n);

// "A..B" with two integers (either may be negative); no check of their order.
bool ParseFrameRange(const std::string& text, FrameRange& range);

// Narrows SETTINGS, a whole run from settings.firstFrame, to the frames
// "A..B" of TEXT on a timeline MIN..MAX, keeping the whole run's state at A.
// Returns "" or the usage error.
std::string SelectFrameRange(const std::string& text, int32_t min, int32_t max,
                             MovieSettings& settings);

// What a work folder was made for.  Folders made for another project or for
// other frames are refused rather than mixed.
struct FarmRecord {
  std::string project;   // the project's path as given, for messages
  FrameRange frames;     // the whole run's frames
  bool alpha = false;    // the alpha series is rendered
  int32_t width = 0;     // output size of every frame
  int32_t height = 0;
  AviOptions avi;        // the options AVI movies are assembled with
  MovieEncodeOptions movie;  // and the movies of the other formats
  std::string texture;       // the texture's copy in the folder (TexturePath), "" when none
  std::string textureMix;    // --texture-mix and --texture-layer of the tasks
  std::string textureLayer;
  // --depth, --buffer and --normal-strength of the tasks: "8", "16" or
  // "float"; "" (the picture), "height" or "normal"; the strength as given
  // ("1" without a normal map), so every task reads the same number.
  std::string depth = "8";
  std::string buffer;
  std::string normalStrength = "1";
  std::string jobId;     // the last job submitted, "" when none
};

class FarmFolder {
 public:
  explicit FarmFolder(std::string dir);

  const std::string& Dir() const { return dir_; }
  std::string RecordPath() const { return dir_ + "/farm.ini"; }
  std::string ProjectCopy() const { return dir_ + "/project.vlm"; }
  std::string ScriptPath() const { return dir_ + "/farm.sbatch"; }
  // The copy of the texture the tasks mix with (EXT: the original's extension).
  std::string TexturePath(const std::string& ext) const { return dir_ + "/texture" + ext; }
  std::string SeriesName(bool alpha) const;  // the -o / --alpha name of the tasks
  std::string FramePath(bool alpha, int32_t frame) const;
  std::string LogPath(int32_t task) const;
  std::string LogPattern() const;  // the same with Slurm's %a for the task

  // Creates the folder and its subfolders.  False with *error.
  bool Create(std::string* error) const;
  bool ReadRecord(FarmRecord& record) const;  // false when there is none
  bool WriteRecord(const FarmRecord& record, std::string* error) const;

  // Whether every picture of the frame is in place (colour, and alpha when
  // the record asks for it).  Pictures are written atomically, so one that
  // exists is whole; CHECK_CONTENT also decodes them.
  bool FrameDone(const FarmRecord& record, int32_t frame, bool checkContent) const;

  // Reads one picture of the series: false with *error naming the frame
  // when it is missing, unreadable or of another size than the record's.
  bool ReadFrame(const FarmRecord& record, bool alpha, int32_t frame, Bitmap24& picture,
                 std::string* error) const;

 private:
  std::string dir_;
};

// The frames of RANGE that are not done, as the smallest range holding them;
// Count() <= 0 when all are done.
FrameRange MissingPart(const FarmFolder& folder, const FarmRecord& record, FrameRange range,
                       bool checkContent);

// The batch script of a job array: task i renders RANGES[i] by running
// VELMORA (an absolute path) on the project copy.
std::string BatchScript(const FarmFolder& folder, const FarmRecord& record,
                        const std::vector<FrameRange>& ranges, const std::string& velmora);

// An output name of farm and assemble must be empty or the name of a movie
// format of the table: "" or the usage error for OPTION.
std::string AviNameProblem(const std::string& option, const std::string& name);

// TEXT quoted for a POSIX shell.
std::string ShellQuote(const std::string& text);

// Writes the movie (and the alpha movie) from the complete series.  The
// whole series is checked before anything is written, so a missing or
// unreadable frame leaves no movie behind.  False with *error naming the
// first such frame, or the writer's failure (a write-protected movie is kept
// unless REPLACEPROTECTED).
bool AssembleMovies(const FarmFolder& folder, const FarmRecord& record, const std::string& main,
                    const std::string& alpha, std::string* error, bool replaceProtected = false);

}  // namespace velmora::cli
