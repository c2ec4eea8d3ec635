#include "anim/ParamTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/NumberText.h"

namespace velmora {

namespace {

constexpr TCurveStore I32 = TCurveStore::Int32;
constexpr TCurveStore B8 = TCurveStore::Byte;
constexpr TCurveStore R = TCurveStore::Real;
constexpr TParamControl Bar = TParamControl::TrackBar;
constexpr TParamControl IntEd = TParamControl::IntegerEdit;
constexpr TParamControl RealEd = TParamControl::RealEdit;
constexpr TParamControl Panel = TParamControl::ColourPanel;
constexpr TParamControl Alpha = TParamControl::AlphaBar;
constexpr TParamControl Check = TParamControl::CheckBox;
constexpr TParamControl Time = TParamControl::Timeline;
constexpr TParamControl File = TParamControl::FileEdit;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kIntMin = -2147483648.0;
constexpr double kIntMax = 2147483647.0;

// Curves: {keyword, name, store, compare as integer}, curve index, meaning,
// unit, control, min, max, step, default, nullptr.
// Settings: {keyword, name, Real, false}, -1, ..., 0, default text.
const TParamInfo kParams[] = {
    {{"seed", "seed", I32, true}, ccSeed, "random seed of the cloud and warp patterns", "", IntEd, kIntMin, kIntMax, 1, 65536, nullptr},
    {{"brightness", "brightness", R, false}, ccBrightness, "brightness of the clouds", "", Bar, 0, 1, 0.01, 1, nullptr},
    {{"complex", "complex", R, false}, ccComplex, "complexity: how many stamps make the pattern", "", Bar, 0.005, 1, 0.005, 0.5, nullptr},
    {{"coverrate", "coverrate", R, false}, ccCoverrate, "amount of cloud", "", Bar, 0, 1, 0.01, 0.5, nullptr},
    {{"min", "min", R, false}, ccMinRadius, "smallest cloud size", "", Bar, 0, 1, 0.01, 0.4, nullptr},
    {{"max", "max", R, false}, ccMaxRadius, "largest cloud size", "", Bar, 0, 1, 0.01, 1, nullptr},
    {{"wmin", "wmin", R, false}, ccWMinRadius, "smallest size of the warp pattern", "", Bar, 0, 1, 0.01, 1, nullptr},
    {{"wmax", "wmax", R, false}, ccWMaxRadius, "largest size of the warp pattern", "", Bar, 0, 1, 0.01, 1, nullptr},
    {{"noise", "noise", R, false}, ccNoise, "noise in the cloud pattern", "", Bar, 0, 1, 0.01, 0.1, nullptr},
    {{"wnoise", "wnoise", R, false}, ccWNoise, "noise in the warp pattern", "", Bar, 0, 1, 0.01, 0.1, nullptr},
    {{"center", "center", R, false}, ccCenter, "pull of the clouds toward the centre (the edges with center_reverse)", "", Bar, 0, 1, 0.01, 0, nullptr},
    {{"color0_red", "color0_red", B8, true}, ccStartRed, "gradient start colour, red", "byte", Panel, 0, 255, 1, 0, nullptr},
    {{"color0_green", "color0_green", B8, true}, ccStartGreen, "gradient start colour, green", "byte", Panel, 0, 255, 1, 0, nullptr},
    {{"color0_blue", "color0_blue", B8, true}, ccStartBlue, "gradient start colour, blue", "byte", Panel, 0, 255, 1, 0, nullptr},
    {{"color0_alpha", "color0_alpha", B8, true}, ccStartAlpha, "gradient start colour, alpha (255 opaque)", "byte", Alpha, 0, 255, 1, 255, nullptr},
    {{"color1_red", "color1_red", B8, true}, ccEndRed, "gradient end colour, red", "byte", Panel, 0, 255, 1, 255, nullptr},
    {{"color1_green", "color1_green", B8, true}, ccEndGreen, "gradient end colour, green", "byte", Panel, 0, 255, 1, 255, nullptr},
    {{"color1_blue", "color1_blue", B8, true}, ccEndBlue, "gradient end colour, blue", "byte", Panel, 0, 255, 1, 255, nullptr},
    {{"color1_alpha", "color1_alpha", B8, true}, ccEndAlpha, "gradient end colour, alpha (255 opaque)", "byte", Alpha, 0, 255, 1, 255, nullptr},
    {{"red_slope", "red_slope", R, false}, ccSlopeR, "colour filter slope of red", "", Bar, -10, 10, 0.1, 0, nullptr},
    {{"green_slope", "green_slope", R, false}, ccSlopeG, "colour filter slope of green", "", Bar, -10, 10, 0.1, 0, nullptr},
    {{"blue_slope", "blue_slope", R, false}, ccSlopeB, "colour filter slope of blue", "", Bar, -10, 10, 0.1, 0, nullptr},
    {{"alpha_slope", "alpha_slope", R, false}, ccSlopeA, "colour filter slope of alpha", "", Bar, -10, 10, 0.1, 0, nullptr},
    {{"wwx", "wwx", R, false}, ccWX, "warp strength along x", "", Bar, -20, 20, 0.2, -8, nullptr},
    {{"wwy", "wwy", R, false}, ccWY, "warp strength along y", "", Bar, -20, 20, 0.2, 8, nullptr},
    {{"cloud_position", "cloud_position.x", R, false}, ccCloudX, "cloud layer position x (the picture wraps)", "image widths", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"cloud_position", "cloud_position.y", R, false}, ccCloudY, "cloud layer position y (the picture wraps)", "image heights", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"warp_position1", "warp_position1.x", R, false}, ccWarp1X, "warp layer 1 position x", "image widths", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"warp_position1", "warp_position1.y", R, false}, ccWarp1Y, "warp layer 1 position y", "image heights", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"warp_position2", "warp_position2.x", R, false}, ccWarp2X, "warp layer 2 position x", "image widths", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"warp_position2", "warp_position2.y", R, false}, ccWarp2Y, "warp layer 2 position y", "image heights", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"blur_radius", "blur_radius", R, false}, ccBlurRadius, "blur radius (not pixels: 1 is the image width)", "image widths", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"blur_number_of_ssample", "blur_number_of_ssample", R, true}, ccBlurSamples, "blur samples (rounded; time grows with it)", "samples", RealEd, -kInf, kInf, 0, 32, nullptr},
    {{"blur_curve", "blur_curve", R, false}, ccBlurCurve, "slope of the blur brush", "", Bar, 0, 100, 1, 0, nullptr},
    {{"oversampling", "oversampling", I32, true}, ccOverSampling, "oversampling factor of exports (1 or less: none)", "factor", IntEd, kIntMin, kIntMax, 1, 1, nullptr},
    {{"blur_rotation", "blur_rotation.x", R, false}, ccBlurRotX, "blur brush rotation about x", "degrees", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"blur_rotation", "blur_rotation.y", R, false}, ccBlurRotY, "blur brush rotation about y", "degrees", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"blur_rotation", "blur_rotation.z", R, false}, ccBlurRotZ, "blur brush rotation about z", "degrees", RealEd, -kInf, kInf, 0, 0, nullptr},
    {{"resolution", "resolution", R, false}, -1, "output size WxH (no curve)", "pixels", IntEd, 1, kIntMax, 1, 0, "512x512"},
    {{"frames", "frames", R, false}, -1, "timeline range MIN..MAX (no curve)", "frames", Time, kIntMin, kIntMax, 1, 0, "0..120"},
    {{"current_frame", "current_frame", R, false}, -1, "current frame of the timeline (no curve)", "frame", Time, kIntMin, kIntMax, 1, 0, "0"},
    {{"center_reverse", "center_reverse", R, false}, -1, "push the clouds toward the edges instead", "switch", Check, 0, 1, 1, 0, "0"},
    {{"clip_brightness", "clip_brightness", R, false}, -1, "smooth clip of the brightness", "switch", Check, 0, 1, 1, 0, "0"},
    {{"blur_draftmode", "blur_draftmode", R, false}, -1, "draft blur (faster)", "switch", Check, 0, 1, 1, 0, "1"},
    {{"render_fromcurrentframe", "render_fromcurrentframe", R, false}, -1, "movies start at the current frame", "switch", Check, 0, 1, 1, 0, "0"},
    {{"output_avi", "output_avi", R, false}, -1, "movie file name", "file", File, 0, 0, 0, 0, ""},
    {{"outputalpha_avi", "outputalpha_avi", R, false}, -1, "alpha movie file name", "file", File, 0, 0, 0, 0, ""},
};

static_assert(sizeof kParams / sizeof kParams[0] >= CloudCurveCount);

// Levenshtein distance between two short names.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diag = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diag = up;
    }
  }
  return row[b.size()];
}

std::string RangeText(const TParamInfo& p) {
  switch (p.Control) {
    case TParamControl::RealEdit: return "any";
    case TParamControl::FileEdit: return "name";
    case TParamControl::IntegerEdit:
      if (p.Min == kIntMin) return "integer";
      return FormatReal(p.Min) + ".. integer";
    case TParamControl::Timeline: return "integer";
    case TParamControl::CheckBox: return "0 or 1";
    default: break;
  }
  return FormatReal(p.Min) + ".." + FormatReal(p.Max) + " step " + FormatReal(p.Step);
}

}  // namespace

std::span<const TParamInfo> ParamTable() { return kParams; }

const TParamInfo& CurveParam(int curveIndex) { return kParams[curveIndex]; }

const TParamInfo* FindParam(std::string_view name) {
  for (const TParamInfo& p : kParams)
    if (name == p.Name) return &p;
  // A keyword of one curve only ("complex") names that curve.
  const TParamInfo* only = nullptr;
  for (const TParamInfo& p : kParams) {
    if (name != p.Keyword) continue;
    if (only) return nullptr;
    only = &p;
  }
  return only;
}

std::vector<std::string> NearParamNames(std::string_view name) {
  std::vector<std::pair<size_t, std::string>> scored;
  for (const TParamInfo& p : kParams) {
    const std::string_view n = p.Name;
    size_t d = EditDistance(name, n);
    if (!name.empty() && (n.rfind(name, 0) == 0 || n.find(name) != std::string_view::npos)) d = 0;
    if (d <= std::max<size_t>(2, name.size() / 3)) scored.emplace_back(d, p.Name);
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (const auto& s : scored)
    if (out.size() < 5) out.push_back(s.second);
  return out;
}

std::string FormatParamTable() {
  auto pad = [](std::string s, size_t w) {
    // Pad by characters, not bytes: every text here is ASCII.
    if (s.size() < w) s.resize(w, ' ');
    return s + "  ";
  };
  std::string out = pad("NAME", 22) + pad("DEFAULT", 8) + pad("RANGE", 22) + pad("UNIT", 13) + "MEANING\n";
  for (const TParamInfo& p : kParams) {
    const std::string def = p.Curve >= 0 ? FormatReal(p.Default) : std::string(p.DefaultText);
    std::string line = pad(p.Name, 22) + pad(def.empty() ? "\"\"" : def, 8) + pad(RangeText(p), 22) +
                       pad(p.Unit, 13) + p.Meaning;
    out += line + "\n";
  }
  return out;
}

}  // namespace velmora
