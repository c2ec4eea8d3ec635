#include "project/ProjectWords.h"

#include <array>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "anim/ParamTable.h"
#include "anim/TDivs.h"
#include "base/NumberText.h"
#include "base/Translate.h"
#include "project/NameText.h"

namespace velmora {

namespace {

// The words in registration order, from the rows that carry them.
constexpr std::array<TProjectWordInfo, ProjectWordCount> kWords = [] {
  std::array<TProjectWordInfo, ProjectWordCount> words{};
  for (int i = 0; i < ProjectWordCount; ++i) {
    const TParamInfo& row = kParamTable[kRegisterOrder[i]];
    words[i] = {row.Keyword, row.Word.Signature, row.Word.Manual};
  }
  return words;
}();

// Pops N strings; the last argument is on top, so it is popped first and
// stored last.  On a failed pop nothing is returned and the error is set.
template <size_t N>
bool PopStrings(BrelEnvH env, std::string (&out)[N]) {
  for (size_t i = N; i-- > 0;)
    if (!BrelPopStr(env, out[i])) return false;
  return true;
}

template <size_t N>
bool PopInts(BrelEnvH env, int32_t (&out)[N]) {
  for (size_t i = N; i-- > 0;)
    if (!BrelPopInt(env, out[i])) return false;
  return true;
}

// A word that parses one string per curve into the curves INDICES of the
// set.  A text that does not parse leaves its curve unchanged, and the run
// goes on.
BrelHostWord CurveWord(TProjectTarget t, std::vector<int> indices) {
  return [t, indices](BrelEnvH env) {
    std::vector<std::string> texts(indices.size());
    for (size_t i = texts.size(); i-- > 0;)
      if (!BrelPopStr(env, texts[i])) return false;
    for (size_t i = 0; i < indices.size(); ++i) {
      std::string problem;
      const bool read = CurveFromText((*t.Set)->Curves[indices[i]], texts[i], &problem);
      if (t.Warnings && !problem.empty())
        t.Warnings->push_back({env->pointer - static_cast<int32_t>(env->userDictionary.size()),
                               CloudCurveInfo(indices[i]).Name, problem, !read});
    }
    return true;
  };
}

BrelHostWord FlagWord(std::function<void()> set) {
  return [set = std::move(set)](BrelEnvH) {
    set();
    return true;
  };
}

BrelHostWord NameWord(std::string* field) {
  return [field](BrelEnvH env) {
    std::string name[1];
    if (!PopStrings(env, name)) return false;
    *field = ProjectNameText(name[0]);
    return true;
  };
}

// frames MIN MAX: both bounds are applied whenever MIN <= MAX, the maximum
// first when the new minimum lies above the present maximum (the timeline
// never holds a minimum above its maximum); the position is pulled into the
// new range.  MIN > MAX fails with error 15 and changes nothing.
bool FramesWord(BrelEnvH env, TProjectModel& m) {
  int32_t a[2];
  if (!PopInts(env, a)) return false;
  const int32_t min = a[0], max = a[1];
  if (min > max) {
    BrelSetError(env, 15, "frames");
    return false;
  }
  if (min > m.TimeLineMax) {
    SetTimeLineMax(m, max);
    SetTimeLineMin(m, min);
  } else {
    SetTimeLineMin(m, min);
    SetTimeLineMax(m, max);
  }
  m.MaxFrame = FormatInt(max);
  return true;
}

// current_frame F: the range widens to hold F, then the position is F.
bool CurrentFrameWord(BrelEnvH env, TProjectModel& m) {
  int32_t a[1];
  if (!PopInts(env, a)) return false;
  const int32_t f = a[0];
  if (f > m.TimeLineMax) SetTimeLineMax(m, f);
  if (f < m.TimeLineMin) SetTimeLineMin(m, f);
  SetTimeLinePosition(m, f);
  m.CurFrame = FormatInt(f);
  return true;
}

// The word of the keyword whose first row is ROW.
BrelHostWord Handler(const TProjectTarget& t, const TParamInfo& row) {
  TCloudFrameParams& p = *t.Params;
  TProjectModel& m = *t.Model;
  const TParamField& f = row.Field;
  switch (f.Value) {
    case TParamValue::Curve: {
      // Every curve of the table under that keyword, in the set's order
      // (cloud_position takes x then y).
      std::vector<int> curves;
      for (int i = 0; i < CloudCurveCount; ++i)
        if (std::string_view(row.Keyword) == CloudCurveInfo(i).Keyword) curves.push_back(i);
      return CurveWord(t, std::move(curves));
    }
    case TParamValue::Size:
      return [&p](BrelEnvH env) {
        int32_t a[2];
        if (!PopInts(env, a)) return false;
        p.ResX = a[0];
        p.ResY = a[1];
        return true;
      };
    case TParamValue::Range: return [&m](BrelEnvH env) { return FramesWord(env, m); };
    case TParamValue::Frame: return [&m](BrelEnvH env) { return CurrentFrameWord(env, m); };
    case TParamValue::RecordSwitch: return FlagWord([&p, s = f.Switch] { p.*s = true; });
    case TParamValue::ModelSwitch: return FlagWord([&m, s = f.ModelSwitch] { m.*s = true; });
    case TParamValue::ModelName: return NameWord(&(m.*f.ModelName));
  }
  return {};
}

}  // namespace

const TProjectWordInfo& ProjectWordInfo(int index) { return kWords[index]; }

std::string ProjectWordManual(int index) {
  const TProjectWordInfo& w = kWords[index];
  std::string manual;
  if (w.Signature) {
    manual += w.Signature;
    manual += ' ';
  }
  manual += w.Keyword;
  manual += " →";
  manual += Tr(w.Description);
  return manual;
}

TProjectTarget DocumentTarget(Document& doc) {
  return TProjectTarget{&doc.Curves, &doc.Params, &doc.Model};
}

bool RegisterProjectWords(BrelEnvH env, const TProjectTarget& target) {
  for (int i = 0; i < ProjectWordCount; ++i) {
    BrelHostWord handler = Handler(target, kParamTable[kRegisterOrder[i]]);
    if (!handler) return false;  // a keyword without a handler: a table fault
    if (!BrelAddHostWord(env, kWords[i].Keyword, std::move(handler), ProjectWordManual(i)))
      return false;
  }
  return true;
}

}  // namespace velmora
