#include "anim/ParamTable.h"

#include <algorithm>
#include <cmath>

#include "base/NumberText.h"
#include "base/Numeric.h"

namespace velmora {

namespace {

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
      if (p.Min < 0) return "integer";
      return FormatReal(p.Min) + " or more";
    case TParamControl::Timeline: return "integer";
    case TParamControl::CheckBox: return "0 or 1";
    default: break;
  }
  return FormatReal(p.Min) + ".." + FormatReal(p.Max) + " step " + FormatReal(p.Step);
}

}  // namespace

std::span<const TParamInfo> ParamTable() { return kParamTable; }

int32_t* IntFieldOf(const TParamInfo& row, TCloudFrameParams& params) {
  return row.Field.Int ? &(params.*row.Field.Int) : nullptr;
}

uint8_t* ByteFieldOf(const TParamInfo& row, TCloudFrameParams& params) {
  return row.Field.Colour ? &((params.*row.Field.Colour).*row.Field.Byte) : nullptr;
}

long double* RealFieldOf(const TParamInfo& row, TCloudFrameParams& params) {
  return row.Field.Real ? &(params.*row.Field.Real) : nullptr;
}

long double ParamFieldValue(const TParamInfo& row, const TCloudFrameParams& params) {
  const TParamField& f = row.Field;
  if (f.Int) return params.*f.Int;
  if (f.Colour) return (params.*f.Colour).*f.Byte;
  if (f.Real) return params.*f.Real;
  return 0;
}

void StoreParamField(const TParamInfo& row, TCloudFrameParams& params, double value) {
  if (int32_t* i = IntFieldOf(row, params)) {
    *i = RoundToInt32(value);
  } else if (uint8_t* b = ByteFieldOf(row, params)) {
    *b = static_cast<uint8_t>(static_cast<uint32_t>(RoundToInt32(value)) & 0xFFu);
  } else if (long double* r = RealFieldOf(row, params)) {
    *r = value;
  }
}

const TParamInfo& CurveParam(int curveIndex) { return kParamTable[curveIndex]; }

const TParamInfo* FindParam(std::string_view name) {
  for (const TParamInfo& p : kParamTable)
    if (name == p.Name) return &p;
  // A keyword of one curve only ("complex") names that curve.
  const TParamInfo* only = nullptr;
  for (const TParamInfo& p : kParamTable) {
    if (name != p.Keyword) continue;
    if (only) return nullptr;
    only = &p;
  }
  return only;
}

std::vector<std::string> NearParamNames(std::string_view name) {
  std::vector<std::pair<size_t, std::string>> scored;
  for (const TParamInfo& p : kParamTable) {
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
  std::string out = pad("NAME", 23) + pad("DEFAULT", 8) + pad("RANGE", 22) + pad("UNIT", 13) + "MEANING\n";
  for (const TParamInfo& p : kParamTable) {
    const std::string def = p.Curve >= 0 ? FormatReal(p.Default) : std::string(p.DefaultText);
    std::string line = pad(p.Name, 23) + pad(def.empty() ? "\"\"" : def, 8) + pad(RangeText(p), 22) +
                       pad(p.Unit, 13) + p.Meaning;
    out += line + "\n";
  }
  return out;
}

}  // namespace velmora
