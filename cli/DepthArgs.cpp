#include "cli/DepthArgs.h"

#include <cmath>

#include "base/NumberText.h"
#include "base/Translate.h"

namespace velmora::cli {

void DepthArgs::Add(CommandLine& cl) {
  cl.Value("--depth", depthText, MsgNoop("8, 16 or float"));
  cl.Value("--normal-strength", strengthText, MsgNoop("a value"));
}

void DepthArgs::AddMaps(CommandLine& cl) {
  cl.Value("--buffer", mapText, MsgNoop("a buffer name"));
}

std::optional<int> DepthArgs::Check(const CommandLine& cl) {
  if (mapText && *mapText != "height" && *mapText != "normal")
    return cl.Usage(MsgFormat("unknown buffer '%s' (one of %s)", {*mapText, "height, normal"}));
  return Check(cl, mapText);
}

std::optional<int> DepthArgs::Check(const CommandLine& cl,
                                    const std::optional<std::string>& buffer) {
  if (depthText) {
    depth = DepthForName(*depthText);
    if (!depth) return cl.Usage(MsgFormat("--depth takes 8, 16 or float, not '%s'", {*depthText}));
  }
  if (strengthText) {
    if (!buffer || *buffer != "normal")
      return cl.Usage(Msg("--normal-strength applies to --buffer normal"));
    const std::optional<long double> v = ParseReal(*strengthText);
    if (!v || !std::isfinite(*v))
      return cl.Usage(MsgFormat("--normal-strength needs a number, not '%s'", {*strengthText}));
    normalStrength = static_cast<double>(*v);
  }
  map = ExportMap::Picture;
  if (buffer) ExportMapForName(*buffer, map);
  return std::nullopt;
}

std::string DepthArgs::MapName() const {
  return map == ExportMap::Picture ? "" : std::string(ExportMapName(map));
}

std::string DepthArgs::MovieDepthProblem() const {
  if (depth == kDepth8) return "";
  return MsgFormat("--depth %s: movies hold 8-bit pictures only (numbered %s series take it)",
                   {std::string(DepthName(depth)), DepthFormatList(depth)});
}

}  // namespace velmora::cli
