#include "project/ProjectWords.h"

#include <functional>
#include <utility>
#include <vector>

#include "anim/ParamTable.h"
#include "anim/TDivs.h"
#include "base/NumberText.h"
#include "base/Translate.h"
#include "project/NameText.h"

namespace velmora {

namespace {

// The keyword of a row of the parameter table.
constexpr const char* Keyword(int row) { return kParamTable[row].Keyword; }

const TProjectWordInfo kWords[ProjectWordCount] = {
    {Keyword(ccSeed), "<str:TDivs_Curve>", TrNoop("ランダムシードを指定する。ほとんど意味無いがモーションデザイン可能。")},
    {Keyword(ccBrightness), "<str:TDivs_Curve>", TrNoop("明るさを指定する。")},
    {Keyword(ccComplex), "<str:TDivs_Curve>", TrNoop("複雑さを指定する。")},
    {Keyword(ccCoverrate), "<str:TDivs_Curve>", TrNoop("雲の量を指定する")},
    {Keyword(ccMinRadius), "<str:TDivs_Curve>", TrNoop("雲パターン最小サイズを指定する。")},
    {Keyword(ccMaxRadius), "<str:TDivs_Curve>", TrNoop("雲パターン最大サイズを指定する。")},
    {Keyword(ccWMinRadius), "<str:TDivs_Curve>", TrNoop("歪パターン最小サイズを指定する。")},
    {Keyword(ccWMaxRadius), "<str:TDivs_Curve>", TrNoop("歪パターン最大サイズを指定する。")},
    {Keyword(ccNoise), "<str:TDivs_Curve>", TrNoop("ノイズの量を指定する")},
    {Keyword(ccWNoise), "<str:TDivs_Curve>", TrNoop("歪パターン用ノイズの量を指定する")},
    {Keyword(ccCenter), "<str:TDivs_Curve>", TrNoop("雲パターンを中央に寄せる。")},
    {Keyword(ccStartRed), "<str:TDivs_Curve>", TrNoop("カラーフィルタの色０赤")},
    {Keyword(ccStartGreen), "<str:TDivs_Curve>", TrNoop("カラーフィルタの色０緑")},
    {Keyword(ccStartBlue), "<str:TDivs_Curve>", TrNoop("カラーフィルタの色０青")},
    {Keyword(ccStartAlpha), "<str:TDivs_Curve>", TrNoop("カラーフィルタの色０α")},
    {Keyword(ccEndRed), "<str:TDivs_Curve>", TrNoop("カラーフィルタの色1赤")},
    {Keyword(ccEndGreen), "<str:TDivs_Curve>", TrNoop("カラーフィルタの色1緑")},
    {Keyword(ccEndBlue), "<str:TDivs_Curve>", TrNoop("カラーフィルタの色1青")},
    {Keyword(ccEndAlpha), "<str:TDivs_Curve>", TrNoop("カラーフィルタの色1α")},
    {Keyword(ccSlopeR), "<str:TDivs_Curve>", TrNoop("カラーフィルタの赤勾配")},
    {Keyword(ccSlopeG), "<str:TDivs_Curve>", TrNoop("カラーフィルタの緑勾配")},
    {Keyword(ccSlopeB), "<str:TDivs_Curve>", TrNoop("カラーフィルタの青勾配")},
    {Keyword(ccSlopeA), "<str:TDivs_Curve>", TrNoop("カラーフィルタのα勾配")},
    {Keyword(ccWX), "<str:TDivs_Curve>", TrNoop("Ｘ方向歪み")},
    {Keyword(ccWY), "<str:TDivs_Curve>", TrNoop("Ｙ方向歪み")},
    {Keyword(psResolution), "<x y : int>", TrNoop("出力解像度")},
    {Keyword(psFrames), "<min max : int>", TrNoop("フレーム数")},
    {Keyword(psCurrentFrame), "<fno : int>", TrNoop("カレントフレーム")},
    {Keyword(psFromCurrentFrame), nullptr, TrNoop("現在のフレームからレンダリング")},
    {Keyword(psCenterReverse), nullptr, TrNoop("中心分布反転")},
    {Keyword(psClipBrightness), nullptr, TrNoop("明るさはクリップする")},
    {Keyword(psOutputAvi), "<str:filename>", TrNoop("出力動画ファイル名")},
    {Keyword(psOutputAlphaAvi), "<str:filename>", TrNoop("出力α動画ファイル名")},
    {Keyword(ccCloudX), "<x y:TDivs_Curve>", TrNoop("雲基本位置")},
    {Keyword(ccWarp1X), "<x y:TDivs_Curve>", TrNoop("歪1位置")},
    {Keyword(ccWarp2X), "<x y:TDivs_Curve>", TrNoop("歪2位置")},
    {Keyword(ccBlurRadius), "<r : TDivs_Curve>", TrNoop("ブラー半径")},
    {Keyword(ccBlurSamples), "<n : TDivs_Curve>", TrNoop("ブラーのサンプル数")},
    {Keyword(ccBlurCurve), "<c : TDivs_Curve>", TrNoop("ブラーブラシの勾配値")},
    {Keyword(ccBlurRotX), "<x y z:TDivs_Curve>", TrNoop("ブラーブラシの回転")},
    {Keyword(psBlurDraftMode), nullptr, TrNoop("ドラフトモードブラー")},
    {Keyword(ccOverSampling), "<a : TDivs_Curve>", TrNoop("オーバーサンプリング倍率")},
};

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

BrelHostWord Handler(const TProjectTarget& t, std::string_view k) {
  TCloudFrameParams& p = *t.Params;
  TProjectModel& m = *t.Model;
  // Curve words: every curve of the parameter table under that keyword, in
  // the set's order (cloud_position takes x then y).
  std::vector<int> curves;
  for (int i = 0; i < CloudCurveCount; ++i)
    if (k == CloudCurveInfo(i).Keyword) curves.push_back(i);
  if (!curves.empty()) return CurveWord(t, std::move(curves));
  if (k == Keyword(psResolution))
    return [&p](BrelEnvH env) {
      int32_t a[2];
      if (!PopInts(env, a)) return false;
      p.ResX = a[0];
      p.ResY = a[1];
      return true;
    };
  if (k == Keyword(psFrames)) return [&m](BrelEnvH env) { return FramesWord(env, m); };
  if (k == Keyword(psCurrentFrame)) return [&m](BrelEnvH env) { return CurrentFrameWord(env, m); };
  if (k == Keyword(psFromCurrentFrame)) return FlagWord([&m] { m.FromCurrentFrame = true; });
  if (k == Keyword(psCenterReverse)) return FlagWord([&p] { p.CenterReverse = true; });
  if (k == Keyword(psClipBrightness)) return FlagWord([&p] { p.ClipBrightness = true; });
  if (k == Keyword(psBlurDraftMode)) return FlagWord([&p] { p.BlurDraft = true; });
  if (k == Keyword(psOutputAvi)) return NameWord(&m.OutPutFilen);
  if (k == Keyword(psOutputAlphaAvi)) return NameWord(&m.OutPutAlpha);
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
    BrelHostWord handler = Handler(target, kWords[i].Keyword);
    if (!handler) return false;  // a keyword without a handler: a table fault
    if (!BrelAddHostWord(env, kWords[i].Keyword, std::move(handler), ProjectWordManual(i)))
      return false;
  }
  return true;
}

}  // namespace velmora
