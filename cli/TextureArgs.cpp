#include "cli/TextureArgs.h"

#include "base/Translate.h"
#include "output/TextureFile.h"

namespace velmora::cli {

namespace {

// Option words and the record's values, in PileMode order.
constexpr const char* kMixNames[] = {"add", "subtract", "average"};
constexpr const char* kLayerNames[] = {"under", "over"};

}  // namespace

void TextureArgs::Add(CommandLine& cl) {
  cl.Value("--texture", path, MsgNoop("a picture file"));
  cl.Value("--texture-mix", mix, MsgNoop("add, average or subtract"));
  cl.Value("--texture-layer", layer, MsgNoop("under or over"));
}

std::optional<int> TextureArgs::Check(const CommandLine& cl) {
  if (path && path->empty()) return cl.Usage(Msg("--texture needs a picture file"));
  if ((mix || layer) && !path)
    return cl.Usage(MsgFormat("%s needs --texture IMAGE", {mix ? "--texture-mix" : "--texture-layer"}));
  if (mix) {
    bool known = false;
    for (uint8_t i = 0; i < 3; ++i)
      if (*mix == kMixNames[i]) pileMode = i, known = true;
    if (!known)
      return cl.Usage(MsgFormat("--texture-mix needs add, average or subtract, not '%s'", {*mix}));
  }
  if (layer) {
    if (*layer != "under" && *layer != "over")
      return cl.Usage(MsgFormat("--texture-layer needs under or over, not '%s'", {*layer}));
    underTexture = *layer == "over" ? 1 : 0;
  }
  return std::nullopt;
}

std::string TextureArgs::MixName() const { return kMixNames[pileMode < 3 ? pileMode : 0]; }
std::string TextureArgs::LayerName() const { return kLayerNames[underTexture ? 1 : 0]; }

bool TextureArgs::Apply(const char* command, Document& doc) const {
  if (!path) return true;
  std::string error;
  std::shared_ptr<const TTexture> texture = ReadTextureFile(*path, &error);
  if (!texture) {
    Fail(1, std::string(command) + ": " + error);
    return false;
  }
  doc.SetTexture(std::move(texture));
  doc.Params.PileMode = pileMode;
  doc.Params.UnderTexture = underTexture;
  return true;
}

}  // namespace velmora::cli
