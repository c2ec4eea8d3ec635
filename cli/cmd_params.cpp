// velmora params [PROJECT.vlm] [--frame N]: prints the frame record after
// evaluating the parameter set at a frame (by default the project's current
// frame), with the project settings that have no curve.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "anim/ParamsText.h"
#include "anim/ProjectModel.h"
#include "anim/Token.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectOpen.h"

namespace velmora::cli {

namespace {

const char kParamsUsage[] =
    "usage: velmora params [PROJECT.vlm] [--frame N]\n"
    "Prints the frame record at frame N (default: the project's current frame),\n"
    "one 'name value' line per parameter curve, then the settings without curves.\n"
    "Without PROJECT the new-project state is used.\n";

struct ParamsOptions {
  std::optional<std::string> project;
  std::optional<int32_t> frame;
};

// Returns an exit status when the command should stop (help or usage error).
std::optional<int> ParseParamsArgs(const Args& args, ParamsOptions& opts) {
  CommandLine cl("params", kParamsUsage);
  std::optional<std::string> frame;
  cl.Project(opts.project);
  cl.Value("--frame", frame, "a frame number");
  if (auto s = cl.Parse(args)) return s;
  return cl.Int(frame, "--frame", "an integer frame number", opts.frame);
}

}  // namespace

int CmdParams(const Args& args) {
  ParamsOptions opts;
  if (auto status = ParseParamsArgs(args, opts)) return *status;
  int status = 0;
  if (!OpenProjectForCommand("params", opts.project, status)) return status;
  EvalProjectAt(opts.frame ? *opts.frame : Project.TimeLinePosition);
  const std::string text = FormatParamsListing(CloudParams, Project);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0) return Fail(1, "params: cannot write the output");
  return status;
}

}  // namespace velmora::cli
