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
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::optional<std::string> frameText;
    if (a == "--help" || a == "-h") {
      std::fputs(kParamsUsage, stdout);
      return 0;
    } else if (a == "--frame") {
      if (i + 1 >= args.size()) return Fail(2, "params: --frame needs a frame number");
      frameText = args[++i];
    } else if (a.rfind("--frame=", 0) == 0) {
      frameText = a.substr(8);
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(2, "params: unknown option '" + a + "'");
    } else if (!opts.project) {
      opts.project = a;
    } else {
      return Fail(2, "params: more than one project given");
    }
    if (frameText) {
      const auto f = ParseInt32(*frameText);
      if (!f) return Fail(2, "params: --frame needs an integer frame number, not '" + *frameText + "'");
      opts.frame = *f;
    }
  }
  return std::nullopt;
}

}  // namespace

int CmdParams(const Args& args) {
  ParamsOptions opts;
  if (auto status = ParseParamsArgs(args, opts)) return *status;
  int status = 0;
  Document doc;
  if (!OpenProjectForCommand("params", opts.project, doc, status)) return status;
  doc.EvalAt(opts.frame ? *opts.frame : doc.Model.TimeLinePosition);
  const std::string text = FormatParamsListing(doc.Params, doc.Model);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0) return Fail(1, "params: cannot write the output");
  return status;
}

}  // namespace velmora::cli
