#include "render/WorkBudget.h"

#include <cstring>

#include "base/NumberText.h"
#include "base/Translate.h"
#include "render/Render.h"

namespace velmora {

namespace {

// The name of a stage that charges work, in the language of the messages.
const char* StageText(const char* stage) {
  static constexpr const char* kStages[] = {MsgNoop("cloud stamps"), MsgNoop("warp stamps"),
                                            MsgNoop("blur samples"), MsgNoop("render size")};
  for (const char* known : kStages)
    if (std::strcmp(known, stage) == 0) return Msg(known);
  return stage;
}

}  // namespace

std::string DescribeWorkOverrun(const TWorkBudget& b, const TCloudFrameParams& p, int32_t outW,
                                int32_t outH) {
  const std::string stage = b.Stage;
  std::string line =
      MsgFormat("the frame needs more than %s operations per pixel (--max-work) in its %s: ",
                {FormatReal(b.PerPixel), StageText(b.Stage)});
  if (stage == "cloud stamps")
    line += "complex " + FormatReal(p.Complex) + ", min " + FormatReal(p.MinRadius) + ", max " +
            FormatReal(p.MaxRadius) + ", noise " + FormatReal(p.Noise);
  else if (stage == "warp stamps")
    line += "complex " + FormatReal(p.Complex) + ", wmin " + FormatReal(p.wMinRadius) +
            ", wmax " + FormatReal(p.wMaxRadius) + ", wnoise " + FormatReal(p.wNoise);
  else if (stage == "blur samples")
    line += "blur_number_of_ssample " + FormatReal(p.BlurSamples);
  else
    line += "resolution " + std::to_string(outW) + " x " + std::to_string(outH);
  line += ", oversampling " + std::to_string(p.OverSampling);
  if (p.OverSampling > FreeOverSampling)
    line += MsgFormat(" (above %s it adds no allowance)", {std::to_string(FreeOverSampling)});
  return line;
}

}  // namespace velmora
