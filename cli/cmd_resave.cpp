// velmora resave PROJECT.vlm [-o OUT.vlm]: opens a project as the File menu's
// Open does and writes exactly the text that Save writes, to OUT or to the
// standard output.
#include <cstdio>
#include <optional>
#include <string>

#include "anim/ProjectModel.h"
#include "cli/Commands.h"
#include "cli/ProjectOpen.h"
#include "project/ProjectSave.h"
#include "project/ProjectText.h"

namespace velmora::cli {

namespace {

const char kResaveUsage[] =
    "usage: velmora resave PROJECT.vlm [-o OUT.vlm]\n"
    "Opens the project as the File menu's Open does and writes the text that\n"
    "Save writes: to OUT.vlm (replaced only once the new text is complete), or\n"
    "to the standard output without -o.  OUT.vlm may be PROJECT.vlm itself.\n";

struct ResaveOptions {
  std::optional<std::string> project;
  std::optional<std::string> output;
};

std::optional<int> ParseResaveArgs(const Args& args, ResaveOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kResaveUsage, stdout);
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (i + 1 >= args.size() || args[i + 1].empty())
        return Fail(2, "resave: " + a + " needs a file name");
      o.output = args[++i];
    } else if (a.rfind("--output=", 0) == 0) {
      if (a.size() == 9) return Fail(2, "resave: --output needs a file name");
      o.output = a.substr(9);
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail(2, "resave: unknown option '" + a + "'");
    } else if (!o.project) {
      o.project = a;
    } else {
      return Fail(2, "resave: more than one project given");
    }
  }
  if (!o.project) return Fail(2, "resave: no project given (velmora resave PROJECT.vlm)");
  return std::nullopt;
}

}  // namespace

int CmdResave(const Args& args) {
  ResaveOptions o;
  if (auto status = ParseResaveArgs(args, o)) return *status;
  int status = 0;
  Document doc;
  if (!OpenProjectForCommand("resave", o.project, doc, status)) return status;
  doc.EvalAt(doc.Model.TimeLinePosition);
  if (o.output) {
    std::string error;
    if (!SaveProjectFile(doc, *o.output, &error)) return Fail(1, "resave: " + error);
    return status;
  }
  const std::string text = BuildProjectText(doc);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail(1, "resave: cannot write the output");
  return status;
}

}  // namespace velmora::cli
