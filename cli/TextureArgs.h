// The texture options of render, movie and farm: --texture IMAGE with the
// mix mode and the layer order.  The texture is a setting of the command,
// not of the project: the project file neither holds nor changes it.
#pragma once

#include <optional>
#include <string>

#include "anim/Document.h"
#include "cli/CommandLine.h"

namespace velmora::cli {

struct TextureArgs {
  std::optional<std::string> path;   // --texture IMAGE
  std::optional<std::string> mix;    // --texture-mix add|average|subtract
  std::optional<std::string> layer;  // --texture-layer under|over
  uint8_t pileMode = 0;              // 0 add, 1 subtract, 2 average
  uint8_t underTexture = 0;          // 0: the texture under the clouds, 1: over them

  void Add(CommandLine& cl);
  // After parsing: the values checked; a usage error's status otherwise.
  std::optional<int> Check(const CommandLine& cl);
  // The names of the mix mode and layer order as the options take them.
  std::string MixName() const;
  std::string LayerName() const;
  // Reads the texture (when given) and sets it and the mix settings on DOC.
  // False after printing one line "velmora: COMMAND: cannot read the
  // texture ..." (exit status 1): nothing has been written then.
  bool Apply(const char* command, Document& doc) const;
};

}  // namespace velmora::cli
