// velmora assemble: writes the movie (and the alpha movie) of a farm's work
// folder from its complete picture series.
#include <optional>
#include <string>

#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/FarmWork.h"
#include "output/MovieLoop.h"

namespace velmora::cli {

namespace {

constexpr const char* kAssembleUsage = MsgNoop(
    "usage: velmora assemble DIR -o OUT.avi [--alpha OUT.avi] [--force]\n"
    "Writes the movie of a farm work folder from its picture series, with the movie\n"
    "options the folder was made with.  Every frame must be in place: the first\n"
    "missing or unreadable one is named and nothing is written.\n"
    "  -o OUT.avi       the colour movie, in any movie format (.avi, .mp4, .mkv,\n"
    "                   .webm, .mov, .webp, .gif, .apng)\n"
    "  --alpha OUT.avi  the alpha movie (when the folder holds the alpha series)\n"
    "  --force          replace the movies even when they are write-protected\n");

}  // namespace

int CmdAssemble(const Args& args) {
  CommandLine cl("assemble", Msg(kAssembleUsage));
  std::optional<std::string> dir, main, alpha;
  cl.Project(dir);
  cl.Value("-o,--output", main, MsgNoop("a file name"));
  cl.Value("--alpha", alpha, MsgNoop("a file name"));
  bool force = false;
  cl.Flag("--force", force);
  if (auto status = cl.Parse(args)) return *status;
  if (!dir) return cl.Usage(Msg("needs the work folder DIR"));
  const std::string mainName = TrimOutputName(main.value_or(""));
  const std::string alphaName = TrimOutputName(alpha.value_or(""));
  if (mainName.empty() && alphaName.empty())
    return cl.Usage(Msg("no output: give -o OUT.avi or --alpha OUT.avi"));
  for (const std::string& problem : {AviNameProblem("-o", mainName),
                                      AviNameProblem("--alpha", alphaName)})
    if (!problem.empty()) return cl.Usage(problem);
  if (mainName == alphaName) return cl.Usage(Msg("the movie and the alpha movie are the same file"));

  const FarmFolder folder(*dir);
  FarmRecord record;
  if (!folder.ReadRecord(record))
    return Fail(1, "assemble: " + MsgFormat("%s is not a farm work folder (no %s)",
                                            {folder.Dir(), folder.RecordPath()}));
  std::string error;
  if (!AssembleMovies(folder, record, mainName, alphaName, &error, force))
    return Fail(1, "assemble: " + error);
  return 0;
}

}  // namespace velmora::cli
