#include "cli/ProjectOpen.h"

#include "anim/ProjectModel.h"
#include "base/DisplayText.h"
#include "base/Translate.h"
#include "cli/Commands.h"
#include "project/ProjectLoad.h"

namespace velmora::cli {

namespace {

// Where the run stopped (its line), the Brel error text and whether the step
// budget was spent.
std::string RunWarning(const std::string& path, const TProjectRunResult& run) {
  const std::string text =
      run.ErrorMessage.empty() ? std::string(Msg("(no error text)")) : ForDisplay(run.ErrorMessage);
  const std::string steps =
      run.StepLimitHit
          ? MsgFormat(" (%s steps spent: a loop that does not end?)",
                      {std::to_string(ProjectStepLimit)})
          : std::string();
  if (run.StopLine > 0)
    return MsgFormat(
        "warning: project '%s' stopped at line %s: %s%s; the rest of the file was not run",
        {ForDisplay(path), std::to_string(run.StopLine), text, steps});
  return MsgFormat(
      "warning: project '%s' stopped before its first statement: %s%s; the rest of the file was "
      "not run",
      {ForDisplay(path), text, steps});
}

// "PATH:LINE: CURVE: PROBLEM" and what became of the curve.
std::string WarningText(const std::string& path, const TProjectWarning& w) {
  return path + ":" + std::to_string(w.Line) + ": " + (w.Curve.empty() ? "" : w.Curve + ": ") +
         w.Problem + (w.Refused ? Msg("; the curve keeps its previous keys") : "");
}

}  // namespace

bool OpenProjectForCommand(const char* command, const std::optional<std::string>& path,
                           Document& doc, int& status, bool strict) {
  status = 0;
  if (!path) {
    doc.ApplyNewProjectDefaults();
    return true;
  }
  TProjectLoadResult result;
  // "-" is the standard input, as image tools read it.
  OpenProjectFile(doc, *path == "-" ? std::string("/dev/stdin") : *path, {}, &result);
  const std::string prefix = std::string(command) + ": ";
  switch (result.Status) {
    case TProjectLoadStatus::Missing:
      status = Fail(1, prefix + MsgFormat("cannot open project '%s': %s", {*path, result.IoError}));
      return false;
    case TProjectLoadStatus::Unreadable:
      status = Fail(1, prefix + MsgFormat("cannot read project '%s': %s", {*path, result.IoError}));
      return false;
    case TProjectLoadStatus::RunError:
    case TProjectLoadStatus::Loaded:
      break;
  }
  const auto& warnings = result.Run.Warnings;
  if (strict && (!warnings.empty() || result.Status == TProjectLoadStatus::RunError)) {
    // One failure line: the first problem and how many there were.
    const std::string first = warnings.empty() ? RunWarning(*path, result.Run)
                                               : WarningText(*path, warnings.front());
    const size_t count = warnings.size() + (result.Status == TProjectLoadStatus::RunError);
    status = Fail(3, prefix + first +
                         MsgFormat(count == 1 ? " (--strict: %s warning)" : " (--strict: %s warnings)",
                                   {std::to_string(count)}));
    return false;
  }
  for (const TProjectWarning& w : warnings)
    Fail(0, prefix + MsgFormat("warning: %s", {WarningText(*path, w)}));
  if (result.Status == TProjectLoadStatus::RunError)
    status = Fail(3, prefix + RunWarning(*path, result.Run));
  return true;
}

}  // namespace velmora::cli
