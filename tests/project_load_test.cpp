// Opening projects: the loader's rules, the words' effects and failures, and
// the bounds that keep a hostile file from hanging or corrupting anything.
#include <string>

#include "anim/ParamTable.h"
#include "project/NameText.h"
#include "project/ProjectWords.h"
#include "project_test_util.h"

using namespace velmora;
using namespace velmora::project_test;

namespace {

const char kHeader[] = "( Velmora project file )\r\n";

}  // namespace

TEST_F(ProjectTest, FileThatStopsAfterTheSeedLine) {
  // Draft mode on before the load: the file's silence must turn it off.
  const auto r = Load(std::string(kHeader) + "\"TDiv_MP 2 0 0 7 30 9\" seed\r\n");
  EXPECT_EQ(r.Status, TProjectLoadStatus::Loaded);
  EXPECT_EQ(CurveToText(Curve(ccSeed)), "TDiv_MP 2 0 0 7 30 9");
  doc.ApplyNewProjectDefaults();
  const std::string defaults = BuildProjectText(doc);
  Load(std::string(kHeader) + "\"TDiv_MP 2 0 0 7 30 9\" seed\r\n");
  std::string expected = defaults;
  expected.replace(expected.find("\"TDiv_MP 1 0 0 65536\""), 21, "\"TDiv_MP 2 0 0 7 30 9\"");
  expected.erase(expected.find("blur_draftmode\r\n"));
  EXPECT_EQ(BuildProjectText(doc), expected);
  EXPECT_FALSE(doc.Params.BlurDraft);
}

TEST_F(ProjectTest, UnparsableCurveKeepsTheDefaultAndTheRunGoesOn) {
  const auto r = Load(std::string(kHeader) +
                      "\"TDiv_XX 1 0 0 3\" brightness\r\n"
                      "\"tdiv_mp 1 0 0 3\" brightness\r\n"
                      "\"TDiv_MP 1024 0 0 3\" brightness\r\n"
                      "\"TDiv_MP 2 0 0 3\" brightness\r\n"
                      "\"TDiv_BM 1 0.5 4 0.25\" complex\r\n");
  EXPECT_EQ(r.Status, TProjectLoadStatus::Loaded);
  EXPECT_EQ(CurveToText(Curve(ccBrightness)), "TDiv_MP 1 0 0 1");
  EXPECT_EQ(CurveToText(Curve(ccComplex)), "TDiv_BM 1 0.5 4 0.25");
  // Each refused text is a warning naming its line and curve.
  ASSERT_EQ(r.Run.Warnings.size(), 4u);
  const int lines[] = {2, 3, 4, 5};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(r.Run.Warnings[i].Line, lines[i]);
    EXPECT_EQ(r.Run.Warnings[i].Curve, "brightness");
    EXPECT_TRUE(r.Run.Warnings[i].Refused);
  }
  EXPECT_EQ(r.Run.Warnings[0].Problem, "unknown curve kind 'TDiv_XX'");
  EXPECT_EQ(r.Run.Warnings[2].Problem, "key count '1024' is not a whole number from 0 to 1023");
  EXPECT_EQ(r.Run.Warnings[3].Problem, "the text ends after 1 of 2 keys");
}

TEST_F(ProjectTest, NumbersThatDoNotParseAndOpenStringsAreWarnings) {
  const auto r = Load(std::string(kHeader) +
                      "\"TDiv_MP 1 0 0 0\" \"TDiv_MP 1 0 0 x7\" warp_position1\r\n"
                      "\"TDiv_MP 1 0 0 0.5\" complex\r\n"
                      "\"TDiv_MP 1 0 0 0.25 coverrate\r\n");
  EXPECT_EQ(r.Status, TProjectLoadStatus::Loaded);
  EXPECT_EQ(CurveToText(Curve(ccWarp1Y)), "TDiv_MP 1 0 0 0");
  ASSERT_EQ(r.Run.Warnings.size(), 2u);
  EXPECT_EQ(r.Run.Warnings[0].Line, 2);
  EXPECT_EQ(r.Run.Warnings[0].Curve, "warp_position1.y");
  EXPECT_EQ(r.Run.Warnings[0].Problem, "'x7' is not a number (read as 0)");
  EXPECT_FALSE(r.Run.Warnings[0].Refused);
  EXPECT_EQ(r.Run.Warnings[1].Line, 4);
  EXPECT_EQ(r.Run.Warnings[1].Curve, "");
  EXPECT_EQ(CurveToText(Curve(ccCoverrate)), "TDiv_MP 1 0 0 0.5");
}

TEST_F(ProjectTest, FramesAndCurrentFrame) {
  Load("0 3 frames 5 current_frame");
  EXPECT_EQ(doc.Model.TimeLineMin, 0);
  EXPECT_EQ(doc.Model.TimeLineMax, 5);
  EXPECT_EQ(doc.Model.TimeLinePosition, 5);
  EXPECT_EQ(doc.Model.MaxFrame, "3");
  EXPECT_EQ(doc.Model.CurFrame, "5");

  // A range entirely above the present one: the maximum goes first.
  Load("200 300 frames");
  EXPECT_EQ(doc.Model.TimeLineMin, 200);
  EXPECT_EQ(doc.Model.TimeLineMax, 300);
  EXPECT_EQ(doc.Model.TimeLinePosition, 200);  // pulled into the range
  EXPECT_EQ(doc.Model.CurFrame, "0");          // the edit is not touched
  // A new project keeps the minimum when it can, else starts from 0.
  Load("-10 50 frames -20 current_frame");
  EXPECT_EQ(doc.Model.TimeLineMin, -20);
  EXPECT_EQ(doc.Model.TimeLineMax, 50);
  EXPECT_EQ(doc.Model.TimeLinePosition, -20);
  Load("");
  EXPECT_EQ(doc.Model.TimeLineMin, -20);
  EXPECT_EQ(doc.Model.TimeLineMax, 120);
}

TEST_F(ProjectTest, FramesWithMinAboveMaxFailsWithError15AndStops) {
  const auto r = Load("0 60 frames\r\n10 5 frames\r\n\"TDiv_MP 1 0 0 9\" seed\r\n");
  EXPECT_EQ(r.Status, TProjectLoadStatus::RunError);
  EXPECT_EQ(r.Run.ErrorCode, 15);
  EXPECT_EQ(r.Run.ErrorMessage, "値が範囲外か、間違っています。:frames");
  EXPECT_EQ(r.Run.StopLine, 2);
  EXPECT_EQ(doc.Model.TimeLineMin, 0);
  EXPECT_EQ(doc.Model.TimeLineMax, 60);
  EXPECT_EQ(doc.Model.MaxFrame, "60");
  EXPECT_EQ(CurveToText(Curve(ccSeed)), "TDiv_MP 1 0 0 65536");  // later lines never ran
}

TEST_F(ProjectTest, WordsWithWrongOrMissingArgumentsChangeNothing) {
  struct Case {
    const char* text;
    int code;
  };
  const Case cases[] = {
      {"\"TDiv_MP 1 0 0 5\" cloud_position", 6},   // one curve of two
      {"\"TDiv_MP 1 0 0 5\" 7 cloud_position", 2},  // an int where the y curve goes
      {"7 \"TDiv_MP 1 0 0 5\" cloud_position", 2},  // an int where the x curve goes
      {"\"TDiv_MP 1 0 0 5\" \"TDiv_MP 1 0 0 5\" blur_rotation", 6},
      {"1.5 seed", 2},
      {"640 \"480\" resolution", 2},
      {"\"640\" 480 resolution", 2},
      {"480 resolution", 6},
      {"5 frames", 6},
      {"0 \"9\" frames", 2},
      {"2.5 current_frame", 2},
      {"12 output_avi", 2},
      {"output_avi", 6},
  };
  doc.ApplyNewProjectDefaults();
  const std::string before = BuildProjectText(doc);
  for (const Case& c : cases) {
    const auto r = Load(c.text);
    EXPECT_EQ(r.Status, TProjectLoadStatus::RunError) << c.text;
    EXPECT_EQ(r.Run.ErrorCode, c.code) << c.text;
    // Everything as after the defaults (draft mode off: the file never said on).
    doc.Params.BlurDraft = true;
    EXPECT_EQ(BuildProjectText(doc), before) << c.text;
  }
  const auto r = Load("\"TDiv_MP 1 0 0 5\" 7 cloud_position");
  EXPECT_EQ(r.Run.ErrorMessage, "型が誤っています。");
  EXPECT_EQ(Load("output_avi").Run.ErrorMessage, "値スタックがアンダーフローしました。");
}

TEST_F(ProjectTest, EveryWordStoresItsArguments) {
  const auto r = Load(
      "\"TDiv_MP 1 0 0 1\" \"TDiv_MP 1 0 0 2\" cloud_position "
      "\"TDiv_MP 1 0 0 3\" \"TDiv_MP 1 0 0 4\" warp_position1 "
      "\"TDiv_MP 1 0 0 5\" \"TDiv_MP 1 0 0 6\" warp_position2 "
      "\"TDiv_MP 1 0 0 7\" \"TDiv_MP 1 0 0 8\" \"TDiv_MP 1 0 0 9\" blur_rotation "
      "\"TDiv_MP 1 0 0 10\" blur_number_of_ssample \"TDiv_MP 1 0 0 11\" oversampling "
      "\"TDiv_MP 1 0 0 12\" color1_alpha \"TDiv_MP 1 0 0 13\" wwy "
      "33 -44 resolution center_reverse clip_brightness blur_draftmode "
      "render_fromcurrentframe \"a.avi\" output_avi \"b.avi\" outputalpha_avi");
  ASSERT_EQ(r.Status, TProjectLoadStatus::Loaded) << r.Run.ErrorMessage;
  const int order[] = {ccCloudX, ccCloudY,  ccWarp1X,      ccWarp1Y,       ccWarp2X,
                       ccWarp2Y, ccBlurRotX, ccBlurRotY,   ccBlurRotZ,     ccBlurSamples,
                       ccOverSampling, ccEndAlpha, ccWY};
  for (int k = 0; k < 13; ++k)
    EXPECT_EQ(CurveToText(Curve(order[k])), "TDiv_MP 1 0 0 " + std::to_string(k + 1)) << k;
  EXPECT_EQ(doc.Params.ResX, 33);
  EXPECT_EQ(doc.Params.ResY, -44);
  EXPECT_TRUE(doc.Params.CenterReverse && doc.Params.ClipBrightness && doc.Params.BlurDraft);
  EXPECT_TRUE(doc.Model.FromCurrentFrame);
  EXPECT_EQ(doc.Model.OutPutFilen, "a.avi");
  EXPECT_EQ(doc.Model.OutPutAlpha, "b.avi");
}

TEST_F(ProjectTest, StepBudgetStopsEndlessTexts) {
  for (const char* text : {"begin again", "label top goto top"}) {
    const auto r = Load(std::string("\"x.avi\" output_avi\r\n") + text);
    EXPECT_EQ(r.Status, TProjectLoadStatus::RunError) << text;
    EXPECT_TRUE(r.Run.StepLimitHit) << text;
    EXPECT_EQ(r.Run.ErrorCode, 17) << text;
    EXPECT_EQ(doc.Model.OutPutFilen, "x.avi");  // what ran before stays
  }
  // A loop that piles up copies of a text stops at the value-stack bound long
  // before it could exhaust memory.
  const auto piled = Load("\"x.avi\" output_avi \"abcdefgh\" begin dup again");
  EXPECT_EQ(piled.Status, TProjectLoadStatus::RunError);
  EXPECT_EQ(piled.Run.ErrorCode, 7);
  EXPECT_EQ(doc.Model.OutPutFilen, "x.avi");
  // Endless recursion stops at the call depth bound first.
  const auto deep = Load("\"x.avi\" output_avi : w w ; w");
  EXPECT_EQ(deep.Run.ErrorCode, 9);
  EXPECT_FALSE(deep.Run.StepLimitHit);
  // A real project is far below the budget, and a failure is not a spent budget.
  EXPECT_FALSE(Load("1 2 frames foo").Run.StepLimitHit);
}

TEST_F(ProjectTest, RunsInItsOwnEnvironmentWithoutConsole) {
  auto r = Load("envname output_avi");
  EXPECT_EQ(r.Status, TProjectLoadStatus::Loaded);
  EXPECT_EQ(doc.Model.OutPutFilen, "velmora data file paese system");
  r = Load("\"x\" output_avi 1 .");
  EXPECT_EQ(r.Status, TProjectLoadStatus::RunError);
  EXPECT_EQ(r.Run.ErrorMessage, "");
  EXPECT_EQ(doc.Model.OutPutFilen, "x");
  // The definitions of one run do not leak into the next.
  EXPECT_EQ(Load(": six 6 ; six six resolution").Status, TProjectLoadStatus::Loaded);
  EXPECT_EQ(Load("six").Run.ErrorMessage, "文法的な誤りです。:six");
}

TEST_F(ProjectTest, MissingAndUnreadableFilesChangeNothing) {
  SetCurveKey(Curve(ccSeed), 40, 1);
  doc.Model.ProjectFileName = "mine.vlm";
  const std::string before = BuildProjectText(doc);
  TProjectLoadResult r;
  EXPECT_FALSE(OpenProjectFile(doc, Path("absent.vlm"), hooks, &r));
  EXPECT_EQ(r.Status, TProjectLoadStatus::Missing);
  EXPECT_FALSE(LoadProjectFile(doc, dir, &r));  // a folder
  EXPECT_EQ(r.Status, TProjectLoadStatus::Unreadable);
  EXPECT_EQ(BuildProjectText(doc), before);
  EXPECT_EQ(doc.Model.ProjectFileName, "mine.vlm");
}

TEST_F(ProjectTest, OpenNamesTheProjectAndEvaluatesAtItsPosition) {
  int shows = 0;
  hooks.ShowParams = [&](const TCloudFrameParams&) { ++shows; };
  WriteBytes(Path("a.vlm"), "\"TDiv_MP 2 0 0 0 100 100\" brightness 0 250 frames 50 current_frame foo");
  TProjectLoadResult r;
  EXPECT_FALSE(OpenProjectFile(doc, Path("a.vlm"), hooks, &r));
  hooks.ShowParams = nullptr;
  EXPECT_EQ(r.Status, TProjectLoadStatus::RunError);
  EXPECT_EQ(r.Run.ErrorMessage, "文法的な誤りです。:foo");
  EXPECT_EQ(doc.Model.ProjectFileName, Path("a.vlm"));
  EXPECT_EQ(doc.Params.Brightness, 50);
  EXPECT_EQ(doc.Model.TimeLineFrequency, 25);
  EXPECT_EQ(shows, 1);  // the loaded record only: the new document is built aside
}

TEST(ProjectProgramText, LineEndsBecomeCrLf) {
  EXPECT_EQ(ProjectProgramText(""), "");
  EXPECT_EQ(ProjectProgramText("a\nb\rc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  EXPECT_EQ(ProjectProgramText("a\r\n\r\n"), "a\r\n\r\n");
  EXPECT_EQ(ProjectProgramText("\xEF\xBB\xBF" "a"), "a\r\n");
}

TEST_F(ProjectTest, ShiftJisNamesAreShownDecoded) {
  // 動画.avi and アルファ.avi as a Japanese system writes them.
  Load("\"\x93\xae\x89\xe6.avi\" output_avi \"\x83\x41\x83\x8b\x83\x74\x83\x40.avi\" outputalpha_avi");
  EXPECT_EQ(doc.Model.OutPutFilen, "動画.avi");
  EXPECT_EQ(doc.Model.OutPutAlpha, "アルファ.avi");
  EXPECT_NE(BuildProjectText(doc).find("\"動画.avi\" output_avi\r\n\"アルファ.avi\" outputalpha_avi"),
            std::string::npos);
  // Half-width katakana and the yen-less backslash of CP932 paths.
  EXPECT_EQ(ProjectNameText("C:\\\xb6\xde.avi"), "C:\\ｶﾞ.avi");
  // A byte that starts no character, and a lead byte cut off at the end.
  EXPECT_EQ(ProjectNameText("a\xa0" "b\x93"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(ProjectNameText, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain.avi"));
  EXPECT_TRUE(IsValidUtf8("雲.avi \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE9\x9B"));          // cut off
  EXPECT_EQ(ProjectNameText("雲.avi"), "雲.avi");
}

TEST(ProjectWords, TableOrderAndManualLines) {
  ASSERT_STREQ(ProjectWordInfo(0).Keyword, "seed");
  EXPECT_STREQ(ProjectWordInfo(41).Keyword, "oversampling");
  EXPECT_EQ(ProjectWordManual(25), "<x y : int> resolution →出力解像度");
  EXPECT_EQ(ProjectWordManual(28), "render_fromcurrentframe →現在のフレームからレンダリング");
  EXPECT_EQ(ProjectWordManual(14), "<str:TDivs_Curve> color0_alpha →カラーフィルタの色０α");
  EXPECT_EQ(ProjectWordManual(39), "<x y z:TDivs_Curve> blur_rotation →ブラーブラシの回転");

  Document doc;
  BrelEnvH env = BrelCreateEnv(ProjectEnvName, nullptr);
  ASSERT_NE(env, nullptr);
  const size_t builtins = env->dictionary.Size();
  ASSERT_TRUE(RegisterProjectWords(env, DocumentTarget(doc)));
  const auto& cells = env->dictionary.Cells();
  ASSERT_EQ(cells.size(), builtins + ProjectWordCount);
  for (int i = 0; i < ProjectWordCount; ++i) {
    EXPECT_EQ(cells[builtins + i]->name, ProjectWordInfo(i).Keyword);
    EXPECT_EQ(cells[builtins + i]->manual, ProjectWordManual(i));
  }
  BrelFreeEnv(env);
}

TEST(ProjectWords, EveryParameterKeywordIsAWord) {
  for (const TParamInfo& p : ParamTable()) {
    bool found = false;
    for (int i = 0; i < ProjectWordCount; ++i) found |= ProjectWordInfo(i).Keyword == std::string(p.Keyword);
    EXPECT_TRUE(found) << p.Keyword;
  }
}
