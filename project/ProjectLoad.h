// Opening a project: the new-project defaults, then the file run as a Brel
// program whose host words fill the project state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "anim/Document.h"
#include "project/ProjectWords.h"

namespace velmora {

// The name of the environment a project file runs in (what `envname` gives).
inline constexpr char ProjectEnvName[] = "velmora data file paese system";

// Execution steps a project may take.  A written project takes a few hundred;
// the bound only stops texts that would never end (`begin again`) or grow
// without limit.
inline constexpr int64_t ProjectStepLimit = 1000000;

// Bytes a project's program may hold in texts, arrays and stacks together,
// and the depth of its word calls and nested blocks.  A written project
// holds a few curve texts and nests nothing.
inline constexpr size_t ProjectMemoryLimit = size_t{256} << 20;
inline constexpr size_t ProjectFrameLimit = 1000;

// Largest project or program file read: a project with every curve at its
// full 1023 keys is under 2 MB.
inline constexpr size_t ProgramFileByteLimit = size_t{64} << 20;

// A curve text that was refused, or read with a number that did not parse
// (Refused false), or a string left open: its 1-based line, the curve's name
// (empty for a string) and why.
struct TProjectWarning {
  int32_t Line = 0;
  std::string Curve;
  std::string Problem;
  bool Refused = false;
};

struct TProjectRunResult {
  bool Ok = false;            // the whole text ran (or stopped with terminate)
  bool StepLimitHit = false;  // the step budget was spent
  int ErrorCode = 0;          // the Brel error code when not Ok (may be 0)
  std::string ErrorMessage;   // the Brel error text (may be empty)
  int32_t StopOffset = 0;     // byte offset in the text just after the token that failed
  int32_t StopLine = 0;       // 1-based line of that token (0 when the run did not start)
  std::vector<TProjectWarning> Warnings;  // curve texts refused, in the order run
};

// Runs TEXT in a fresh environment named ProjectEnvName without a console,
// with the project words writing to TARGET and the step budget
// ProjectStepLimit.  The environment is freed before returning.
TProjectRunResult RunProjectText(std::string_view text, const TProjectTarget& target);

enum class TProjectLoadStatus : uint8_t {
  Loaded,      // the whole text ran
  RunError,    // the run stopped part-way; what ran before keeps its effect
  Missing,     // no file at the path; nothing was changed
  Unreadable,  // the file exists but could not be read; nothing was changed
};

struct TProjectLoadResult {
  TProjectLoadStatus Status = TProjectLoadStatus::Missing;
  std::string IoError;    // Missing / Unreadable: the system's reason
  TProjectRunResult Run;  // Loaded / RunError
};

// The program text of a file's bytes: lines end at CR LF, LF or CR and are
// joined with CR LF after each; a UTF-8 byte-order mark at the start is
// dropped.
std::string ProjectProgramText(std::string_view bytes);

// Reads the file and builds the new document aside: a copy of DOC with the
// new-project defaults applied and BlurDraft off (a project without
// blur_draftmode had draft mode off), the text run on it (a run that stops on
// an error keeps what ran before); then DOC is replaced by it as a whole.  True when the whole text ran.  A missing or
// unreadable file leaves DOC untouched.
bool LoadProjectFile(Document& doc, const std::string& path, TProjectLoadResult* result = nullptr);

// The File menu's Open without its dialog and redraws: LoadProjectFile
// (which puts the timeline at 0), ProjectFileName := path (when the file was
// read), the set evaluated at the timeline position and shown
// (hooks.ShowParams), the timeline's tick frequency set to a tenth of its
// maximum.  The verdict is in RESULT; the document is usable whatever it says
// unless the file was missing or unreadable (then it is untouched).
bool OpenProjectFile(Document& doc, const std::string& path, const TWindowHooks& hooks = {},
                     TProjectLoadResult* result = nullptr);

}  // namespace velmora
