// The movie options of the commands that write movies (movie, farm):
// --codec, --quality, --keyframe, --bitrate and --loop.  For an AVI file they
// are changes of the stored AVI options; for the other movie formats they
// are the options of that one movie (MovieEncodeOptions).
#pragma once

#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "output/AviWriter.h"

namespace velmora::cli {

class AviOptionArgs {
 public:
  // Registers the five options.
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
  // The options of a movie of FORMAT (not AVI): a codec the format does not
  // take is a usage error (status 2), one the installed FFmpeg lacks the
  // status 1.
  std::optional<int> ResolveMovie(const std::string& command, const OutputFormat& format,
                                  MovieEncodeOptions& options) const;
  // --codec list: prints the codecs FORMAT offers (every movie format's when
  // null) and whether the installed FFmpeg has them.
  bool ListAsked() const { return codec_ && *codec_ == "list"; }
  static void ListCodecs(const OutputFormat* format);

 private:
  std::optional<std::string> codec_, quality_, keyframe_, bitrate_, loop_;
  MovieEncodeOptions movie_;
  AviOptionOverrides overrides_;
  bool any_ = false;
};

}  // namespace velmora::cli
