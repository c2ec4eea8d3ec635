#include "cli/ProjectOpen.h"

#include "anim/ProjectModel.h"
#include "cli/Commands.h"
#include "project/ProjectLoad.h"

namespace velmora::cli {

namespace {

// Where the run stopped (its line), the Brel error text and whether the step
// budget was spent.
std::string RunWarning(const std::string& path, const TProjectRunResult& run) {
  std::string where = run.StopLine > 0 ? "at line " + std::to_string(run.StopLine)
                                       : std::string("before its first statement");
  std::string text = run.ErrorMessage.empty() ? std::string("(no error text)") : run.ErrorMessage;
  std::string msg = "warning: project '" + path + "' stopped " + where + ": " + text;
  if (run.StepLimitHit)
    msg += " (" + std::to_string(ProjectStepLimit) + " steps spent: a loop that does not end?)";
  msg += "; the rest of the file was not run";
  return msg;
}

}  // namespace

bool OpenProjectForCommand(const char* command, const std::optional<std::string>& path,
                           Document& doc, int& status) {
  status = 0;
  if (!path) {
    doc.ApplyNewProjectDefaults();
    return true;
  }
  TProjectLoadResult result;
  OpenProjectFile(doc, *path, {}, &result);
  const std::string prefix = std::string(command) + ": ";
  switch (result.Status) {
    case TProjectLoadStatus::Missing:
      status = Fail(1, prefix + "cannot open project '" + *path + "': " + result.IoError);
      return false;
    case TProjectLoadStatus::Unreadable:
      status = Fail(1, prefix + "cannot read project '" + *path + "': " + result.IoError);
      return false;
    case TProjectLoadStatus::RunError:
      status = Fail(3, prefix + RunWarning(*path, result.Run));
      return true;
    case TProjectLoadStatus::Loaded:
      break;
  }
  return true;
}

}  // namespace velmora::cli
