// The options of render, movie and farm that say what a picture holds and
// at which depth: --depth 8|16|float, --normal-strength X and, for movie
// and farm, --buffer height|normal (render takes --buffer with more names
// itself and hands its value to Check).
#pragma once

#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "output/Formats.h"
#include "render/HighPrecision.h"

namespace velmora::cli {

struct DepthArgs {
  std::optional<std::string> depthText;     // --depth
  std::optional<std::string> strengthText;  // --normal-strength
  std::optional<std::string> mapText;       // --buffer of movie and farm
  unsigned depth = kDepth8;
  ExportMap map = ExportMap::Picture;
  double normalStrength = 1;

  void Add(CommandLine& cl);
  // --buffer height|normal.
  void AddMaps(CommandLine& cl);
  // After parsing, with the value of --buffer (AddMaps' own when BUFFER is
  // not given): the values checked; a usage error's status otherwise.
  std::optional<int> Check(const CommandLine& cl);
  std::optional<int> Check(const CommandLine& cl, const std::optional<std::string>& buffer);
  // The name --buffer takes for the map: "" for the picture.
  std::string MapName() const;
  // The usage error of a movie (any container) asked for a depth other
  // than 8, naming the numbered series that take it; "" at depth 8.
  std::string MovieDepthProblem() const;
};

}  // namespace velmora::cli
