#include "cli/ProjectOpen.h"

#include "anim/ProjectModel.h"
#include "cli/Commands.h"

namespace velmora::cli {

bool OpenProjectForCommand(const char* command, const std::optional<std::string>& path,
                           int& status) {
  status = 0;
  NewProjectState();
  if (path) {
    status = Fail(1, std::string(command) + ": reading project files is not available yet");
    return false;
  }
  return true;
}

}  // namespace velmora::cli
