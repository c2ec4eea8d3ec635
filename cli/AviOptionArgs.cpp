#include "cli/AviOptionArgs.h"

#include <cstdint>
#include <cstdio>

#include "anim/Token.h"
#include "base/Translate.h"
#include "base/Strings.h"
#include "output/Settings.h"

namespace velmora::cli {

namespace {

// Bits per second with an optional k (1000) or M (1000000) suffix.
std::optional<int64_t> ParseBitRate(const std::string& text) {
  if (text.empty()) return std::nullopt;
  int64_t scale = 1;
  std::string digits = text;
  const char last = text.back();
  if (last == 'k' || last == 'K') scale = 1000;
  if (last == 'm' || last == 'M') scale = 1000000;
  if (scale != 1) digits.pop_back();
  const auto v = ParseInt32(digits);
  if (!v || *v < 0) return std::nullopt;
  return int64_t{*v} * scale;
}

}  // namespace

void AviOptionArgs::Add(CommandLine& cl) {
  cl.Value("--codec", codec_, MsgNoop("a codec name"));
  cl.Value("--quality", quality_, MsgNoop("a quality from 0 to 100"));
  cl.Value("--keyframe", keyframe_, MsgNoop("a frame count"));
  cl.Value("--bitrate", bitrate_, MsgNoop("a data rate in bits per second"));
  cl.Value("--loop", loop_, MsgNoop("a play count"));
}

std::optional<int> AviOptionArgs::Check(const CommandLine& cl) {
  AviOptionOverrides& o = overrides_;
  if (codec_ && !ListAsked()) {
    // A name of the table stands for the movie formats that offer it; for
    // AVI it must also be one of AVI's names or a four-character code.
    bool offered = false;
    for (const OutputFormat& f : OutputFormats())
      if (f.Can(kFormatMovie) && f.name != "avi" && f.Offers(*codec_)) offered = true;
    o.setHandler = AviHandlerFromName(*codec_, o.handler);
    if (!offered && !o.setHandler)
      return cl.Usage(MsgFormat("unknown codec '%s' ('--codec list' lists the codecs of each movie format)",
                                {*codec_}));
    movie_.codec = ToLower(*codec_);
  }
  if (quality_) {
    const auto q = ParseInt32(*quality_);
    if (!q || *q < 0 || *q > 100)
      return cl.Usage(MsgFormat("%s needs %s, not '%s'",
                                {"--quality", Msg("a whole number from 0 to 100"), *quality_}));
    o.setQuality = true;
    o.quality = *q * 100;
    movie_.quality = *q;
  }
  if (keyframe_) {
    const auto n = ParseInt32(*keyframe_);
    if (!n || *n < 0)
      return cl.Usage(MsgFormat("%s needs %s, not '%s'",
                                {"--keyframe", Msg("a frame count of 0 or more"), *keyframe_}));
    o.setKeyFrameEvery = true;
    o.keyFrameEvery = *n;
    movie_.keyFrameEvery = *n;
  }
  if (bitrate_) {
    const auto bps = ParseBitRate(*bitrate_);
    if (!bps || (*bps + 7) / 8 > INT32_MAX)
      return cl.Usage(MsgFormat("--bitrate needs bits per second such as 8000000 or 8M, not '%s'",
                                {*bitrate_}));
    o.setBytesPerSecond = true;
    o.bytesPerSecond = static_cast<int32_t>((*bps + 7) / 8);
    movie_.bitRate = *bps;
  }
  if (loop_) {
    const auto n = ParseInt32(*loop_);
    if (!n || *n < 0)
      return cl.Usage(MsgFormat("%s needs %s, not '%s'",
                                {"--loop", Msg("a play count of 0 (forever) or more"), *loop_}));
    movie_.loop = *n;
  }
  any_ = codec_ || quality_ || keyframe_ || bitrate_;
  return std::nullopt;
}

std::optional<int> AviOptionArgs::Resolve(const std::string& command, AviOptions& options) const {
  const std::string& settingsPath = SettingsPath();
  if (overrides_.setHandler) {
    std::string reason;
    if (!AviHandlerAvailable(overrides_.handler, &reason)) return Fail(1, command + ": " + reason);
  }
  std::string warning;
  options = PrepareAviOptions(settingsPath, overrides_, &warning);
  if (!warning.empty())
    std::fprintf(stderr, "velmora: %s: %s\n", command.c_str(),
                 MsgFormat("warning: %s", {warning}).c_str());
  std::string reason;
  if (!AviHandlerAvailable(options.handler, &reason))
    return Fail(1, command + ": " + MsgFormat("%s (stored in %s; choose another with --codec)",
                                              {reason, settingsPath}));
  return std::nullopt;
}

std::optional<int> AviOptionArgs::ResolveMovie(const std::string& command,
                                               const OutputFormat& format,
                                               MovieEncodeOptions& options) const {
  // An empty codec stays empty: each movie then gets its format's default.
  options = movie_;
  const std::string codec = options.codec.empty() ? std::string(format.DefaultCodec()) : options.codec;
  if (!format.Offers(codec))
    return Fail(2, command + ": " + MsgFormat("%s movies take the codecs %s, not %s",
                                              {format.name, format.CodecList(), codec}));
  if (loop_ && !(format.options & kOptionLoop))
    std::fprintf(stderr, "velmora: %s: %s\n", command.c_str(),
                 MsgFormat("note: --loop is not used: %s movies always play once",
                           {format.name}).c_str());
  std::string reason;
  if (!MovieCodecAvailable(codec, &reason)) return Fail(1, command + ": " + reason);
  return std::nullopt;
}

void AviOptionArgs::ListCodecs(const OutputFormat* format) {
  for (const OutputFormat& f : OutputFormats()) {
    if (!f.Can(kFormatMovie) || (format && &f != format)) continue;
    std::string line;
    for (std::string_view c : f.codecs) {
      if (c.empty()) continue;
      std::string why;
      const bool have = f.name == "avi" ? [&] {
        uint32_t handler = 0;
        return AviHandlerFromName(std::string(c), handler) && AviHandlerAvailable(handler, &why);
      }() : MovieCodecAvailable(std::string(c), &why);
      line += std::string(line.empty() ? "" : ", ") + std::string(c) +
              (have ? "" : " " + std::string(Msg("(not installed)")));
    }
    std::printf("%-5s %s\n", std::string(f.name).c_str(), line.c_str());
  }
}

}  // namespace velmora::cli
