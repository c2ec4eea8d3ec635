// velmora resave PROJECT.vlm [-o OUT.vlm]: opens a project as the File menu's
// Open does and writes exactly the text that Save writes, to OUT or to the
// standard output.
#include <cstdio>
#include <optional>
#include <string>

#include "anim/ProjectModel.h"
#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectOpen.h"
#include "project/ProjectSave.h"
#include "project/ProjectText.h"

namespace velmora::cli {

namespace {

constexpr const char* kResaveUsage = MsgNoop(
    "usage: velmora resave PROJECT.vlm [-o OUT.vlm] [--strict] [--force]\n"
    "Opens the project as the File menu's Open does and writes the text that\n"
    "Save writes: to OUT.vlm (replaced only once the new text is complete), or\n"
    "to the standard output without -o.  OUT.vlm may be PROJECT.vlm itself.\n"
    "--strict: a project warning stops the command (exit status 3).\n"
    "--force: replace OUT.vlm even when it is write-protected.\n");

struct ResaveOptions {
  std::optional<std::string> project;
  std::optional<std::string> output;
  bool strict = false;
  bool force = false;
};

std::optional<int> ParseResaveArgs(const Args& args, ResaveOptions& o) {
  CommandLine cl("resave", Msg(kResaveUsage));
  cl.Project(o.project);
  cl.Flag("--strict", o.strict);
  cl.Flag("--force", o.force);
  cl.Value("-o,--output", o.output, MsgNoop("a file name"));
  if (auto s = cl.Parse(args)) return s;
  if (o.output && o.output->empty()) return cl.Usage(MsgFormat("%s needs %s", {"--output", Msg("a file name")}));
  if (!o.project) return cl.Usage(Msg("no project given (velmora resave PROJECT.vlm)"));
  return std::nullopt;
}

}  // namespace

int CmdResave(const Args& args) {
  ResaveOptions o;
  if (auto status = ParseResaveArgs(args, o)) return *status;
  int status = 0;
  Document doc;
  if (!OpenProjectForCommand("resave", o.project, doc, status, o.strict)) return status;
  doc.EvalAt(doc.Model.TimeLinePosition);
  if (o.output) {
    std::string error;
    if (!SaveProjectFile(doc, *o.output, &error, o.force)) return Fail(1, "resave: " + error);
    return status;
  }
  const std::string text = BuildProjectText(doc);
  return WriteStdout("resave", text) ? status : 1;
}

}  // namespace velmora::cli
