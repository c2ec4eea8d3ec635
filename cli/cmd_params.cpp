// velmora params [PROJECT.vlm] [--frame N]: prints the frame record after
// evaluating the parameter set at a frame (by default the project's current
// frame), with the project settings that have no curve.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "anim/ParamTable.h"
#include "anim/ParamsText.h"
#include "anim/ProjectModel.h"
#include "anim/Token.h"
#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/HelpTopics.h"
#include "cli/ProjectOpen.h"
#include "cli/SetOptions.h"

namespace velmora::cli {

namespace {

constexpr const char* kParamsUsage = MsgNoop(
    "usage: velmora params [PROJECT.vlm] [--frame N] [--set KEYWORD=VALUE]...\n"
    "                      [--key KEYWORD@FRAME=VALUE]... [--curve KEYWORD=TEXT]...\n"
    "       velmora params --list\n"
    "Prints the frame record at frame N (default: the project's current frame),\n"
    "one 'name value' line per parameter curve, then the settings without curves.\n"
    "Without PROJECT the new-project state is used.\n"
    "  --set KEYWORD=VALUE  key a parameter at that frame first, as a project would\n"
    "                       (repeatable; cloud_position.x=0.25, resolution=WxH,\n"
    "                       frames=MIN..MAX, center_reverse=1)\n"
    "  --key KEYWORD@FRAME=VALUE  key a parameter at FRAME (repeatable: an animation)\n"
    "  --curve KEYWORD=TEXT  a parameter's whole curve ('velmora help curves')\n"
    "  --strict             a project warning stops the command (exit status 3)\n"
    "  --list               every parameter: name, new-project default, the range\n"
    "                       of the window's control, unit and meaning\n"
    "'velmora help KEYWORD' explains one parameter.\n");

struct ParamsOptions {
  std::optional<std::string> project;
  std::optional<int32_t> frame;
  bool list = false;
  ParamOptionTexts paramTexts;
  std::vector<SetOption> sets;
  bool strict = false;
};

// Returns an exit status when the command should stop (help or usage error).
std::optional<int> ParseParamsArgs(const Args& args, ParamsOptions& opts) {
  CommandLine cl("params", Msg(kParamsUsage));
  std::optional<std::string> frame;
  cl.Project(opts.project);
  cl.Flag("--strict", opts.strict);
  cl.Value("--frame", frame, MsgNoop("a frame number"));
  cl.Flag("--list", opts.list);
  AddParamOptions(cl, opts.paramTexts);
  if (auto s = cl.Parse(args)) return s;
  if (auto error = ParseParamOptions(opts.paramTexts, opts.sets)) return cl.Usage(*error);
  return cl.Int(frame, "--frame", MsgNoop("an integer frame number"), opts.frame);
}

}  // namespace

int CmdParams(const Args& args) {
  ParamsOptions opts;
  if (auto status = ParseParamsArgs(args, opts)) return *status;
  if (opts.list) return WriteStdout("params", ParamListText()) ? 0 : 1;
  int status = 0;
  Document doc;
  if (!OpenProjectForCommand("params", opts.project, doc, status, opts.strict)) return status;
  doc.EvalAt(ApplySetOptions(doc, opts.sets, opts.frame));
  const std::string text = FormatParamsListing(doc.Params, doc.Model);
  return WriteStdout("params", text) ? status : 1;
}

}  // namespace velmora::cli
