// velmora settings [--jpeg-quality Q]: shows the settings file the program
// uses and what it holds; --jpeg-quality stores the JPEG quality there, as
// the JPEG quality dialog does when confirmed.
#include <cstdio>
#include <string>

#include "anim/Token.h"
#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "output/AviWriter.h"
#include "output/Settings.h"

namespace velmora::cli {

namespace {

constexpr const char* kSettingsUsage = MsgNoop(
    "usage: velmora settings [--jpeg-quality Q]\n"
    "Shows the settings file and its values; --jpeg-quality Q (0..100) stores the\n"
    "quality of every JPEG picture written from now on.\n");

// A four-character code as text, "0" for uncompressed.
std::string HandlerText(uint32_t handler) {
  if (handler == 0) return "0";
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((handler >> (8 * i)) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

}  // namespace

int CmdSettings(const Args& args) {
  CommandLine cl("settings", Msg(kSettingsUsage));
  std::optional<std::string> qualityText;
  std::optional<int32_t> quality;
  cl.Value("--jpeg-quality", qualityText, MsgNoop("an integer from 0 to 100"));
  if (auto s = cl.Parse(args)) return *s;
  if (qualityText) {
    quality = ParseInt32(*qualityText);
    if (!quality || *quality < 0 || *quality > 100)
      return cl.Usage(
          MsgFormat("%s needs %s", {"--jpeg-quality", Msg("an integer from 0 to 100")}));
  }
  const std::string path = SettingsPath();
  if (quality) {
    std::string error;
    if (!WriteJpegQuality(path, static_cast<uint8_t>(*quality), &error))
      return Fail(1, "settings: " + error);
  } else {
    WarnUnusableSettings("settings", path);
  }
  AviOptions avi = DefaultAviOptions();
  const bool stored = AviOptionsLoad(path, avi);
  std::printf("settings %s\n", path.c_str());
  std::printf("jpeg_quality %d\n", ReadJpegQuality(path));
  std::printf("avi_codec %s%s\n", HandlerText(avi.handler).c_str(), stored ? "" : " (default)");
  std::printf("avi_quality %d\navi_keyframe_every %d\navi_bytes_per_second %d\navi_flags %d\n",
              avi.quality, avi.keyFrameEvery, avi.bytesPerSecond, avi.flags);
  return 0;
}

}  // namespace velmora::cli
