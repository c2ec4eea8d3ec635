// The AVI options of the commands that write movies (movie, farm): --codec,
// --quality, --keyframe and --bitrate, turned into changes of the stored
// options and resolved into the options a movie is written with.
#pragma once

#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "output/AviWriter.h"

namespace velmora::cli {

class AviOptionArgs {
 public:
  // Registers the four options.
  void Add(CommandLine& cl);
  // Reads their values into Overrides(); the usage error status when one is
  // malformed.
  std::optional<int> Check(const CommandLine& cl);
  const AviOptionOverrides& Overrides() const { return overrides_; }
  bool Any() const { return any_; }
  // The stored options with the changes applied, stored again for later
  // movies (a failed store is a warning).  The status 1 when the codec
  // cannot be used here.
  std::optional<int> Resolve(const std::string& command, AviOptions& options) const;

 private:
  std::optional<std::string> codec_, quality_, keyframe_, bitrate_;
  AviOptionOverrides overrides_;
  bool any_ = false;
};

}  // namespace velmora::cli
