// velmora help examples: the example projects that come with the program,
// one full path a line, so that scripts can loop over them.
#include <cstdio>

#include "base/ProgramFiles.h"
#include "base/Translate.h"
#include "cli/Commands.h"

namespace velmora::cli {

int CmdHelpExamples(const Args& args) {
  if (!args.empty())
    return Fail(2, "help examples: " + std::string(Msg("takes no arguments")));
  const auto folder = FindExamplesFolder(ProgramFolder(nullptr));
  if (!folder)
    return Fail(1, "help examples: " +
                       std::string(Msg("no example projects found (share/velmora/examples "
                                       "beside the program)")));
  std::string list;
  for (const auto& project : ListExampleProjects(*folder)) list += project.string() + "\n";
  if (list.empty()) return Fail(1, "help examples: " + MsgFormat("no project files in %s", {folder->string()}));
  return WriteStdout("help examples", list) ? 0 : 1;
}

}  // namespace velmora::cli
