// velmora farm: renders a movie on a Slurm cluster as a job array, one frame
// range per task, into a shared work folder, then assembles it.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/DisplayText.h"
#include "anim/ProjectModel.h"
#include "cli/AviOptionArgs.h"
#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/DefaultContext.h"
#include "cli/DepthArgs.h"
#include "cli/Commands.h"
#include "cli/FarmWork.h"
#include "cli/Progress.h"
#include "cli/ProjectOpen.h"
#include "cli/Subprocess.h"
#include "cli/TextureArgs.h"
#include "output/Formats.h"
#include "base/AtomicFile.h"
#include "output/MovieLoop.h"
#include "output/Settings.h"
#include "render/Render.h"

namespace velmora::cli {

namespace {

constexpr const char* kFarmUsage = MsgNoop(
    "usage: velmora farm PROJECT.vlm [-o OUT.avi] [--alpha OUT.avi] --chunks N\n"
    "                    [--from N | --from-current] [--codec NAME] [--quality Q]\n"
    "                    [--keyframe N] [--bitrate BPS] [--loop N] [--work-dir DIR]\n"
    "                    [--partition P] [--sbatch-arg=ARG]... [--no-wait]\n"
    "Renders the movie on a Slurm cluster: a job array of N tasks, each rendering\n"
    "one range of frames into the work folder, which must lie on a file system\n"
    "every node shares.  Waits for the tasks, showing the frames done, and writes\n"
    "the movie from the pictures.  Running the same command again submits only\n"
    "the ranges whose frames are missing (after a failed or cancelled task).\n"
    "  -o OUT.avi         the colour movie, in any movie format (.avi, .mp4, .mkv,\n"
    "                     .webm, .mov, .webp, .gif, .apng; default: the project's\n"
    "                     output_avi)\n"
    "  --alpha OUT.avi    the alpha movie (default without -o: the project's\n"
    "                     outputalpha_avi)\n"
    "  --chunks N         the number of tasks (each renders with the CPUs Slurm\n"
    "                     gives it: --sbatch-arg=--cpus-per-task=C)\n"
    "  --work-dir DIR     the shared work folder (default: OUT.farm beside OUT.avi)\n"
    "  --partition P      the Slurm partition\n"
    "  --sbatch-arg=ARG   one more option for sbatch (repeatable)\n"
    "  --no-wait          print the job id and the assemble command and return\n"
    "--from, --from-current, the movie options, --texture, --texture-mix,\n"
    "--texture-layer, --depth (8: movies hold 8 bits), --buffer and\n"
    "--normal-strength are those of velmora movie (the tasks mix with a copy of\n"
    "the texture in the work folder).\n");

struct FarmArgs {
  std::optional<std::string> project, main, alpha, chunks, workDir, partition, from;
  std::vector<std::string> sbatchArgs;
  bool fromCurrent = false;
  bool noWait = false;
  AviOptionArgs avi;
  TextureArgs texture;
  DepthArgs depth;
};

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return s.str();
}

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

std::string LastLine(const std::string& text) {
  size_t end = text.find_last_not_of("\r\n ");
  if (end == std::string::npos) return "";
  const size_t start = text.rfind('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

// Whether the job still has tasks queued or running.  False once it is gone
// from the queue; nothing when squeue keeps failing.
std::optional<bool> JobActive(const std::string& jobId, std::string* error) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    const ProgramResult r = RunProgram({"squeue", "-h", "-j", jobId, "-o", "%i"});
    if (r.started && r.status == 0) return r.out.find_first_not_of(" \n") != std::string::npos;
    if (r.started && r.err.find("Invalid job id") != std::string::npos) return false;
    if (error) *error = FirstLine(r.err.empty() ? r.out : r.err);
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  return std::nullopt;
}

int32_t FramesDone(const FarmFolder& folder, const FarmRecord& record) {
  int32_t done = 0;
  for (int64_t f = record.frames.first; f <= record.frames.last; ++f)
    done += folder.FrameDone(record, static_cast<int32_t>(f), false);
  return done;
}

// Follows the job until it leaves the queue, showing the frames done.
bool WaitForJob(const FarmFolder& folder, const FarmRecord& record, std::string* error) {
  ProgressBar bar(DefaultContext(),
                  isatty(STDERR_FILENO) == 1 ? ProgressBar::Mode::Bar : ProgressBar::Mode::Lines);
  bar.Note(MsgFormat("job %s", {record.jobId}));
  for (;;) {
    const auto active = JobActive(record.jobId, error);
    if (!active) break;
    bar.Frames(FramesDone(folder, record), record.frames.Count());
    if (!*active) {
      bar.Finish();
      return true;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  bar.Finish();
  return false;
}

}  // namespace

int CmdFarm(const Args& args) {
  FarmArgs a;
  CommandLine cl("farm", Msg(kFarmUsage));
  cl.Project(a.project);
  cl.Value("-o,--output", a.main, MsgNoop("a file name"));
  cl.Value("--alpha", a.alpha, MsgNoop("a file name"));
  cl.Value("--chunks", a.chunks, MsgNoop("a number of tasks"));
  cl.Value("--work-dir", a.workDir, MsgNoop("a folder"));
  cl.Value("--partition", a.partition, MsgNoop("a partition name"));
  cl.Values("--sbatch-arg", a.sbatchArgs, MsgNoop("an option for sbatch"));
  cl.Value("--from", a.from, MsgNoop("a frame number"));
  cl.Flag("--from-current", a.fromCurrent);
  cl.Flag("--no-wait", a.noWait);
  a.avi.Add(cl);
  a.texture.Add(cl);
  a.depth.Add(cl);
  a.depth.AddMaps(cl);
  if (auto s = cl.Parse(args)) return *s;
  if (auto s = a.avi.Check(cl)) return *s;
  if (auto s = a.texture.Check(cl)) return *s;
  if (auto s = a.depth.Check(cl)) return *s;
  // The farm writes movies, which hold 8-bit pictures.
  if (const std::string problem = a.depth.MovieDepthProblem(); !problem.empty())
    return cl.Usage(problem);
  std::optional<int32_t> chunks, from;
  if (auto s = cl.Int(a.chunks, "--chunks", MsgNoop("a number of tasks of 1 or more"), chunks)) return *s;
  if (auto s = cl.Int(a.from, "--from", MsgNoop("an integer frame number"), from)) return *s;
  if (!chunks) return cl.Usage(Msg("--chunks N is needed: the number of tasks"));
  if (*chunks < 1)
    return cl.Usage(MsgFormat("--chunks needs a number of tasks of 1 or more, not '%s'", {*a.chunks}));
  if (!a.project) return cl.Usage(Msg("needs the project file (the tasks render a copy of it)"));
  if (from && a.fromCurrent) return cl.Usage(Msg("give either --from or --from-current"));

  // The project's text as it is now: the tasks render a copy of it.
  const auto projectText = ReadWholeFile(*a.project);
  int projectStatus = 0;
  Document doc;
  if (!OpenProjectForCommand("farm", a.project, doc, projectStatus)) return projectStatus;
  // The tasks mix with a copy of the texture in the work folder, which every
  // node sees; it is read here first so that a bad file stops the command.
  if (!a.texture.Apply("farm", doc)) return 1;
  const auto textureBytes = a.texture.path ? ReadWholeFile(*a.texture.path) : std::nullopt;
  if (a.texture.path && !textureBytes)
    return Fail(1, "farm: " + MsgFormat("cannot read %s", {*a.texture.path}));
  const TProjectModel& model = doc.Model;
  if (!projectText) return Fail(1, "farm: " + MsgFormat("cannot read %s", {*a.project}));
  const std::string mainName = TrimOutputName(a.main.value_or(model.OutPutFilen));
  // As for movie: with -o the project's alpha name counts only when --alpha asks for it.
  const std::string alphaName =
      TrimOutputName(a.alpha ? *a.alpha : a.main ? "" : model.OutPutAlpha);
  if (mainName.empty() && alphaName.empty())
    return cl.Usage(Msg("no output: give -o OUT.avi or --alpha OUT.avi"));
  for (const std::string& problem :
       {AviNameProblem("-o", mainName), AviNameProblem("--alpha", alphaName)})
    if (!problem.empty()) return cl.Usage(problem);
  if (mainName == alphaName) return cl.Usage(Msg("the movie and the alpha movie are the same file"));

  FarmRecord record;
  record.project = *a.project;
  if (from)
    record.frames.first = *from;
  else
    record.frames.first = (a.fromCurrent || model.FromCurrentFrame) ? model.TimeLinePosition
                                                                      : model.TimeLineMin;
  record.frames.last = model.TimeLineMax;
  if (from && (*from < model.TimeLineMin || *from > model.TimeLineMax))
    return cl.Usage(MsgFormat("--from %s lies outside the timeline %s..%s",
                              {std::to_string(*from), std::to_string(model.TimeLineMin),
                               std::to_string(model.TimeLineMax)}));
  if (record.frames.Count() <= 0) return cl.Usage(Msg("the timeline holds no frame to render"));
  record.alpha = !alphaName.empty();
  record.width = doc.Params.ResX;
  record.height = doc.Params.ResY;
  if (record.width < 1 || record.height < 1)
    return Fail(1, "farm: " + std::string(Msg("the output size must be at least 1 x 1")));

  for (const char* tool : {"sbatch", "squeue"})
    if (FindOnPath(tool).empty())
      return Fail(1, "farm: " + MsgFormat("%s not found on PATH: the Slurm client commands are "
                                          "needed (Debian package slurm-client)",
                                          {tool}));
  const std::string velmora = ExecutablePath();
  if (velmora.empty()) return Fail(1, "farm: " + std::string(Msg("cannot find the path of this program")));
  // AVI movies take the stored options, the other formats their own.
  bool anyAvi = false;
  for (const std::string* name : {&mainName, &alphaName}) {
    const OutputFormat* f = FormatForPath(*name, kFormatMovie);
    if (f && f->name == "avi") anyAvi = true;
    if (f && f->name != "avi")
      if (auto s = a.avi.ResolveMovie("farm", *f, record.movie)) return *s;
  }
  if (anyAvi)
    if (auto s = a.avi.Resolve("farm", record.avi)) return *s;

  std::error_code ec;
  const std::string firstOut = mainName.empty() ? alphaName : mainName;
  const std::string dirName =
      a.workDir ? *a.workDir : firstOut.substr(0, firstOut.size() - 4) + ".farm";
  const FarmFolder folder(std::filesystem::absolute(dirName, ec).lexically_normal().string());
  if (a.texture.path) {
    record.texture = folder.TexturePath(PathExtension(*a.texture.path));
    record.textureMix = a.texture.MixName();
    record.textureLayer = a.texture.LayerName();
  }
  record.depth = std::string(DepthName(a.depth.depth));
  record.buffer = a.depth.MapName();
  if (a.depth.strengthText) record.normalStrength = *a.depth.strengthText;
  std::string error;
  FarmRecord old;
  const bool resumed = folder.ReadRecord(old);
  if (resumed) {
    const auto copy = ReadWholeFile(folder.ProjectCopy());
    std::string what;
    if (!copy || *copy != *projectText) what = Msg("another project text");
    else if (old.frames != record.frames) what = Msg("other frames");
    else if (old.alpha != record.alpha)
      what = record.alpha ? Msg("no alpha series") : Msg("an alpha series");
    else if (old.width != record.width || old.height != record.height) what = Msg("another size");
    else if (old.texture != record.texture || old.textureMix != record.textureMix ||
             old.textureLayer != record.textureLayer ||
             (textureBytes && ReadWholeFile(record.texture) != textureBytes))
      what = Msg("another texture");
    else if (old.depth != record.depth)
      what = Msg("another depth");
    else if (old.buffer != record.buffer || old.normalStrength != record.normalStrength)
      what = Msg("another buffer");
    if (!what.empty())
      return Fail(1, "farm: " + MsgFormat("the work folder %s was made for %s (%s, frames %s..%s); "
                                          "give another --work-dir or empty it",
                                          {folder.Dir(), what, old.project,
                                           std::to_string(old.frames.first),
                                           std::to_string(old.frames.last)}));
    record.jobId = old.jobId;
  }
  if (!folder.Create(&error) ||
      (!resumed && !WriteFileAtomically(folder.ProjectCopy(), *projectText, &error)) ||
      (!resumed && textureBytes &&
       !WriteFileAtomically(record.texture, *textureBytes, &error)) ||
      !folder.WriteRecord(record, &error))
    return Fail(1, "farm: " + MsgFormat("cannot use the work folder %s: %s",
                                            {folder.Dir(), error}));

  // A job of an earlier farm that is still running is followed, not doubled.
  bool submit = true;
  if (!record.jobId.empty()) {
    const auto active = JobActive(record.jobId, &error);
    if (active && *active) {
      std::fprintf(stderr, "velmora: farm: %s\n",
                   MsgFormat("job %s of this work folder is still running",
                             {ForDisplay(record.jobId)})
                       .c_str());
      submit = false;
    }
  }
  const std::vector<FrameRange> chunkRanges = SplitFrames(record.frames, *chunks);
  if (submit) {
    // Only the ranges with frames missing are (re)submitted; a task renders
    // the part of its range from its first to its last missing frame.
    std::vector<FrameRange> taskRanges(chunkRanges.size(), FrameRange{0, -1});
    std::string array;
    int32_t tasks = 0, frames = 0;
    for (size_t i = 0; i < chunkRanges.size(); ++i) {
      taskRanges[i] = MissingPart(folder, record, chunkRanges[i], true);
      if (taskRanges[i].Count() <= 0) continue;
      array += (array.empty() ? "" : ",") + std::to_string(i);
      ++tasks;
      frames += taskRanges[i].Count();
    }
    if (tasks > 0) {
      if (!WriteFileAtomically(folder.ScriptPath(),
                               BatchScript(folder, record, taskRanges, velmora), &error))
        return Fail(1, "farm: " + MsgFormat("cannot use the work folder %s: %s",
                                            {folder.Dir(), error}));
      std::vector<std::string> cmd = {"sbatch", "--parsable", "--array=" + array};
      if (a.partition) cmd.push_back("--partition=" + *a.partition);
      cmd.insert(cmd.end(), a.sbatchArgs.begin(), a.sbatchArgs.end());
      cmd.push_back(folder.ScriptPath());
      const ProgramResult r = RunProgram(cmd);
      const std::string id = FirstLine(r.out).substr(0, FirstLine(r.out).find(';'));
      if (!r.started || r.status != 0 || id.empty())
        return Fail(1, "farm: " + MsgFormat("sbatch failed: %s",
                                            {FirstLine(r.err.empty() ? r.out : r.err)}));
      record.jobId = id;
      if (!folder.WriteRecord(record, &error))
        return Fail(1, "farm: " + MsgFormat("cannot use the work folder %s: %s",
                                            {folder.Dir(), error}));
      std::fprintf(stderr, "velmora: farm: %s\n",
                   MsgFormat("job %s: %s tasks for %s frames (work folder %s)",
                             {ForDisplay(id), std::to_string(tasks), std::to_string(frames),
                              ForDisplay(folder.Dir())})
                       .c_str());
    } else {
      record.jobId.clear();
    }
  }

  std::string assemble = "velmora assemble " + ShellQuote(folder.Dir());
  if (!mainName.empty()) assemble += " -o " + ShellQuote(mainName);
  if (!alphaName.empty()) assemble += " --alpha " + ShellQuote(alphaName);
  if (a.noWait) {
    std::printf("%s\n%s\n", record.jobId.empty() ? "-" : record.jobId.c_str(), assemble.c_str());
    return std::fflush(stdout) == 0 ? projectStatus : 1;
  }
  if (!record.jobId.empty() && !WaitForJob(folder, record, &error))
    return Fail(1, "farm: " + MsgFormat("cannot follow job %s: %s; when it has ended, run: %s",
                                        {record.jobId, error, assemble}));

  bool failed = false;
  for (size_t i = 0; i < chunkRanges.size(); ++i) {
    const FrameRange missing = MissingPart(folder, record, chunkRanges[i], true);
    if (missing.Count() <= 0) continue;
    failed = true;
    const std::string log = folder.LogPath(static_cast<int32_t>(i));
    const std::string said = LastLine(ReadWholeFile(log).value_or(""));
    const std::string logText = said.empty() ? ForDisplay(log) : ForDisplay(log) + ": " + ForDisplay(said);
    std::fprintf(stderr, "velmora: farm: %s\n",
                 MsgFormat("task %s (frames %s..%s) failed: frames %s..%s are not done; log: %s",
                           {std::to_string(i), std::to_string(chunkRanges[i].first),
                            std::to_string(chunkRanges[i].last), std::to_string(missing.first),
                            std::to_string(missing.last), logText})
                     .c_str());
  }
  if (failed)
    return Fail(1, "farm: " + std::string(Msg("the movie is not complete; run the same command "
                                              "again to render the missing frames")));
  if (!AssembleMovies(folder, record, mainName, alphaName, &error))
    return Fail(1, "farm: " + error);
  return projectStatus;
}

}  // namespace velmora::cli
