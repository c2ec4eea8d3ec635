#include "project/ProjectWords.h"

#include <array>
#include <functional>
#include <utility>

#include "anim/TDivs.h"
#include "base/NumberText.h"
#include "base/Translate.h"
#include "project/NameText.h"

namespace velmora {

namespace {

const TProjectWordInfo kWords[ProjectWordCount] = {
    {"seed", "<str:TDivs_Curve>", TrNoop("ランダムシードを指定する。ほとんど意味無いがモーションデザイン可能。")},
    {"brightness", "<str:TDivs_Curve>", TrNoop("明るさを指定する。")},
    {"complex", "<str:TDivs_Curve>", TrNoop("複雑さを指定する。")},
    {"coverrate", "<str:TDivs_Curve>", TrNoop("雲の量を指定する")},
    {"min", "<str:TDivs_Curve>", TrNoop("雲パターン最小サイズを指定する。")},
    {"max", "<str:TDivs_Curve>", TrNoop("雲パターン最大サイズを指定する。")},
    {"wmin", "<str:TDivs_Curve>", TrNoop("歪パターン最小サイズを指定する。")},
    {"wmax", "<str:TDivs_Curve>", TrNoop("歪パターン最大サイズを指定する。")},
    {"noise", "<str:TDivs_Curve>", TrNoop("ノイズの量を指定する")},
    {"wnoise", "<str:TDivs_Curve>", TrNoop("歪パターン用ノイズの量を指定する")},
    {"center", "<str:TDivs_Curve>", TrNoop("雲パターンを中央に寄せる。")},
    {"color0_red", "<str:TDivs_Curve>", TrNoop("カラーフィルタの色０赤")},
    {"color0_green", "<str:TDivs_Curve>", TrNoop("カラーフィルタの色０緑")},
    {"color0_blue", "<str:TDivs_Curve>", TrNoop("カラーフィルタの色０青")},
    {"color0_alpha", "<str:TDivs_Curve>", TrNoop("カラーフィルタの色０α")},
    {"color1_red", "<str:TDivs_Curve>", TrNoop("カラーフィルタの色1赤")},
    {"color1_green", "<str:TDivs_Curve>", TrNoop("カラーフィルタの色1緑")},
    {"color1_blue", "<str:TDivs_Curve>", TrNoop("カラーフィルタの色1青")},
    {"color1_alpha", "<str:TDivs_Curve>", TrNoop("カラーフィルタの色1α")},
    {"red_slope", "<str:TDivs_Curve>", TrNoop("カラーフィルタの赤勾配")},
    {"green_slope", "<str:TDivs_Curve>", TrNoop("カラーフィルタの緑勾配")},
    {"blue_slope", "<str:TDivs_Curve>", TrNoop("カラーフィルタの青勾配")},
    {"alpha_slope", "<str:TDivs_Curve>", TrNoop("カラーフィルタのα勾配")},
    {"wwx", "<str:TDivs_Curve>", TrNoop("Ｘ方向歪み")},
    {"wwy", "<str:TDivs_Curve>", TrNoop("Ｙ方向歪み")},
    {"resolution", "<x y : int>", TrNoop("出力解像度")},
    {"frames", "<min max : int>", TrNoop("フレーム数")},
    {"current_frame", "<fno : int>", TrNoop("カレントフレーム")},
    {"render_fromcurrentframe", nullptr, TrNoop("現在のフレームからレンダリング")},
    {"center_reverse", nullptr, TrNoop("中心分布反転")},
    {"clip_brightness", nullptr, TrNoop("明るさはクリップする")},
    {"output_avi", "<str:filename>", TrNoop("出力動画ファイル名")},
    {"outputalpha_avi", "<str:filename>", TrNoop("出力α動画ファイル名")},
    {"cloud_position", "<x y:TDivs_Curve>", TrNoop("雲基本位置")},
    {"warp_position1", "<x y:TDivs_Curve>", TrNoop("歪1位置")},
    {"warp_position2", "<x y:TDivs_Curve>", TrNoop("歪2位置")},
    {"blur_radius", "<r : TDivs_Curve>", TrNoop("ブラー半径")},
    {"blur_number_of_ssample", "<n : TDivs_Curve>", TrNoop("ブラーのサンプル数")},
    {"blur_curve", "<c : TDivs_Curve>", TrNoop("ブラーブラシの勾配値")},
    {"blur_rotation", "<x y z:TDivs_Curve>", TrNoop("ブラーブラシの回転")},
    {"blur_draftmode", nullptr, TrNoop("ドラフトモードブラー")},
    {"oversampling", "<a : TDivs_Curve>", TrNoop("オーバーサンプリング倍率")},
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

// A word that parses its N strings into the curves INDICES of the set.  A
// text that does not parse leaves its curve unchanged, and the run goes on.
template <size_t N>
BrelHostWord CurveWord(TProjectTarget t, std::array<int, N> indices) {
  return [t, indices](BrelEnvH env) {
    std::string texts[N];
    if (!PopStrings(env, texts)) return false;
    for (size_t i = 0; i < N; ++i) CurveFromText((*t.Set)->Curves[indices[i]], texts[i]);
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
  // Single-curve words: the keyword of the set's table.
  for (int i = 0; i < CloudCurveCount; ++i)
    if (k == CloudCurveInfo(i).Keyword && k == CloudCurveInfo(i).Name)
      return CurveWord<1>(t, {i});
  if (k == "cloud_position") return CurveWord<2>(t, {ccCloudX, ccCloudY});
  if (k == "warp_position1") return CurveWord<2>(t, {ccWarp1X, ccWarp1Y});
  if (k == "warp_position2") return CurveWord<2>(t, {ccWarp2X, ccWarp2Y});
  if (k == "blur_rotation") return CurveWord<3>(t, {ccBlurRotX, ccBlurRotY, ccBlurRotZ});
  if (k == "resolution")
    return [&p](BrelEnvH env) {
      int32_t a[2];
      if (!PopInts(env, a)) return false;
      p.ResX = a[0];
      p.ResY = a[1];
      return true;
    };
  if (k == "frames") return [&m](BrelEnvH env) { return FramesWord(env, m); };
  if (k == "current_frame") return [&m](BrelEnvH env) { return CurrentFrameWord(env, m); };
  if (k == "render_fromcurrentframe") return FlagWord([&m] { m.FromCurrentFrame = true; });
  if (k == "center_reverse") return FlagWord([&p] { p.CenterReverse = true; });
  if (k == "clip_brightness") return FlagWord([&p] { p.ClipBrightness = true; });
  if (k == "blur_draftmode") return FlagWord([&p] { p.BlurDraft = true; });
  if (k == "output_avi") return NameWord(&m.OutPutFilen);
  if (k == "outputalpha_avi") return NameWord(&m.OutPutAlpha);
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

TProjectTarget AppProjectTarget() { return TProjectTarget{&CloudCurves, &CloudParams, &Project}; }

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
