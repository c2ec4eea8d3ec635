#include "render/WorkBudget.h"

#include <cstring>

#include "base/NumberText.h"
#include "render/Render.h"

namespace velmora {

std::string DescribeWorkOverrun(const TWorkBudget& b, const TCloudFrameParams& p, int32_t outW,
                                int32_t outH) {
  std::string line = "the frame needs more than " + FormatReal(b.PerPixel) +
                     " operations per pixel (--max-work)";
  const std::string stage = b.Stage;
  line += " in its " + stage + ": ";
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
    line += " (above " + std::to_string(FreeOverSampling) + " it adds no allowance)";
  return line;
}

}  // namespace velmora
