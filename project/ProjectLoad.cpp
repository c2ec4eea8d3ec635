#include "project/ProjectLoad.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "anim/CurveSet.h"
#include "script/BrelReader.h"
#include "base/Translate.h"

namespace velmora {

namespace {

// Bounds on what a project's own Brel code may build.  A written project
// holds at most three values at a time, its longest text is a curve of 1023
// keys (under 64 KB) and it calls no words; all that a hostile file builds
// together stays within ProjectMemoryLimit.
void LimitProjectEnv(BrelEnvH env) {
  env->limits.maxTextBytes = size_t{1} << 20;
  env->limits.maxValues = 256;
  env->limits.maxArrayElements = int64_t{1} << 20;
  env->limits.maxEnvironments = 64;
  env->limits.maxFrames = ProjectFrameLimit;
  BrelSetStepLimit(env, ProjectStepLimit);
  BrelSetMemoryLimit(env, ProjectMemoryLimit);
}

int32_t LineOf(std::string_view text, int32_t offset) {
  if (offset <= 0) return 0;
  const size_t end = std::min(static_cast<size_t>(offset) - 1, text.size());
  return 1 + static_cast<int32_t>(std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(end), '\n'));
}

// A string whose closing quote is missing takes the rest of the file: the
// words after it never run.  Its line, or 0 when every string is closed.
int32_t UnclosedStringLine(const std::string& text) {
  int32_t pos = 0;
  std::string buffer;
  for (;;) {
    const std::string_view token = BrelReadToken(text, pos, buffer);
    if (token.empty()) return 0;
    if (token.front() == '"' && token.data() == buffer.data()) {
      const size_t start = text.size() - (buffer.size() - 1);
      return LineOf(text, static_cast<int32_t>(start) + 1);
    }
  }
}

enum class ReadOutcome { Ok, Missing, Unreadable };

ReadOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = SystemErrorText(errno);
    return (errno == ENOENT || errno == ENOTDIR) ? ReadOutcome::Missing : ReadOutcome::Unreadable;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR) : SystemErrorText(errno);
    close(fd);
    return ReadOutcome::Unreadable;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = SystemErrorText(errno);
      close(fd);
      return ReadOutcome::Unreadable;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > ProgramFileByteLimit) {
      error = Msg("file too large for a project");
      close(fd);
      return ReadOutcome::Unreadable;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return ReadOutcome::Ok;
}

}  // namespace

TProjectRunResult RunProjectText(std::string_view text, const TProjectTarget& target) {
  TProjectRunResult r;
  BrelEnvH env = BrelCreateEnv(ProjectEnvName, nullptr);
  if (!env) {
    r.ErrorCode = 12;
    r.ErrorMessage = BrelErrorText(12);
    return r;
  }
  std::vector<TCurveTextWarning> warnings;
  TProjectTarget t = target;
  if (!t.Warnings) t.Warnings = &warnings;
  if (!RegisterProjectWords(env, t)) {
    r.ErrorCode = env->errorCode;
    r.ErrorMessage = env->errorMessage;
    BrelFreeEnv(env);
    return r;
  }
  env->program.assign(text);
  LimitProjectEnv(env);
  r.Ok = BrelRun(env);
  if (!r.Ok) {
    r.ErrorCode = env->errorCode;
    r.ErrorMessage = env->errorMessage;
    r.StepLimitHit = env->budget->limit > 0 && env->budget->used > env->budget->limit;
    // The running text is the (empty) user dictionary followed by the
    // program, so the read position is an offset into the program.
    const int32_t skip = static_cast<int32_t>(env->userDictionary.size());
    r.StopOffset = std::max<int32_t>(0, env->pointer - skip);
    r.StopLine = LineOf(text, r.StopOffset);
  }
  for (const TCurveTextWarning& w : *t.Warnings)
    r.Warnings.push_back({LineOf(text, std::max<int32_t>(0, w.Offset)), w.Keyword, w.Problem, w.Refused});
  if (const int32_t line = UnclosedStringLine(std::string(text)))
    r.Warnings.push_back(
        {line, "", Msg("a string without its closing quote runs to the end of the file"), false});
  BrelFreeEnv(env);
  return r;
}

std::string ProjectProgramText(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    size_t j = i;
    while (j < n && bytes[j] != '\r' && bytes[j] != '\n') ++j;
    out.append(bytes, i, j - i);
    out += "\r\n";
    if (j < n && bytes[j] == '\r' && j + 1 < n && bytes[j + 1] == '\n') ++j;
    i = j + 1;
  }
  return out;
}

bool LoadProjectFile(Document& doc, const std::string& path, TProjectLoadResult* result) {
  TProjectLoadResult local;
  TProjectLoadResult& r = result ? *result : local;
  r = TProjectLoadResult{};
  std::string bytes;
  switch (ReadWholeFile(path, bytes, r.IoError)) {
    case ReadOutcome::Missing:
      r.Status = TProjectLoadStatus::Missing;
      return false;
    case ReadOutcome::Unreadable:
      r.Status = TProjectLoadStatus::Unreadable;
      return false;
    case ReadOutcome::Ok:
      break;
  }
  const std::string text = ProjectProgramText(bytes);
  bytes.clear();

  // The new document is built aside from the current one (whose texture,
  // mixing settings, preview size and timeline minimum a new project keeps)
  // and replaces it only when complete.
  Document fresh(doc);
  fresh.ApplyNewProjectDefaults();
  // The format can only switch draft mode on; a project saved with it off
  // carries no blur_draftmode, so its absence must mean off.
  fresh.Params.BlurDraft = false;
  r.Run = RunProjectText(text, DocumentTarget(fresh));
  doc = std::move(fresh);
  r.Status = r.Run.Ok ? TProjectLoadStatus::Loaded : TProjectLoadStatus::RunError;
  return r.Run.Ok;
}

bool OpenProjectFile(Document& doc, const std::string& path, const TWindowHooks& hooks,
                     TProjectLoadResult* result) {
  TProjectLoadResult local;
  TProjectLoadResult& r = result ? *result : local;
  // Loading starts with the new-project defaults, timeline position 0
  // included; a file that cannot be read changes nothing at all.
  const bool ok = LoadProjectFile(doc, path, &r);
  if (r.Status == TProjectLoadStatus::Missing || r.Status == TProjectLoadStatus::Unreadable)
    return false;
  doc.Model.ProjectFileName = path;
  doc.EvalAt(doc.Model.TimeLinePosition);
  CallShowParams(hooks, doc.Params);
  doc.Model.TimeLineFrequency = doc.Model.TimeLineMax / 10;
  return ok;
}

}  // namespace velmora
