#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "anim/CurveSet.h"
#include "anim/ParamTable.h"
#include "anim/ParamsText.h"

using namespace velmora;

TEST(ParamsListing, CurvesInSetOrderThenSettings) {
  TCloudCurveSet* set = nullptr;
  TCloudFrameParams params;
  TProjectModel model;
  ApplyNewProjectDefaults(set, params, model, TWindowHooks{});
  CurveFromText(set->Curves[ccSeed], "TDiv_MP 2 0 0 -3 10 -13");
  CurveFromText(set->Curves[ccEndGreen], "TDiv_MP 1 0 0 300");
  CurveFromText(set->Curves[ccCloudY], "TDiv_MP 2 0 0 0 30 1E-5");
  CurveFromText(set->Curves[ccBlurRotZ], "TDiv_MP 2 0 0 0 3 1");
  EvalCurveSet(set, params, 6);
  params.ResX = 640;
  params.ResY = 48;
  params.ClipBrightness = true;
  params.BlurDraft = false;
  model.TimeLineMin = -2;
  model.TimeLinePosition = 17;
  model.FromCurrentFrame = true;
  model.OutPutFilen = "雲 1.avi";
  const std::string text = FormatParamsListing(params, model);
  const std::string expectedStart =
      "seed -9\nbrightness 1\ncomplex 0.5\ncoverrate 0.5\nmin 0.4\nmax 1\nwmin 1\nwmax 1\n"
      "noise 0.1\nwnoise 0.1\ncenter 0\ncolor0_red 0\ncolor0_green 0\ncolor0_blue 0\n"
      "color0_alpha 255\ncolor1_red 255\ncolor1_green 44\ncolor1_blue 255\ncolor1_alpha 255\n"
      "red_slope 0\ngreen_slope 0\nblue_slope 0\nalpha_slope 0\nwwx -8\nwwy 8\n"
      "cloud_position.x 0\ncloud_position.y 2E-6\nwarp_position1.x 0\nwarp_position1.y 0\n"
      "warp_position2.x 0\nwarp_position2.y 0\nblur_radius 0\nblur_number_of_ssample 32\n"
      "blur_curve 0\noversampling 1\nblur_rotation.x 0\nblur_rotation.y 0\nblur_rotation.z 1\n";
  EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(text.substr(expectedStart.size()),
            "resolution 640 48\nframes -2 120\ncurrent_frame 17\ncenter_reverse 0\n"
            "clip_brightness 1\nblur_draftmode 0\nrender_fromcurrentframe 1\n"
            "output_avi \"雲 1.avi\"\noutputalpha_avi \"\"\n");
  FreeCurveSet(set);
}

TEST(ParamTable, CurvesInSetOrderWithTheNewProjectDefaults) {
  TCloudFrameParams params;
  SetNewProjectParams(params);
  for (int i = 0; i < CloudCurveCount; ++i) {
    const TParamInfo& p = ParamTable()[i];
    EXPECT_EQ(p.Curve, i);
    EXPECT_EQ(&CloudCurveInfo(i), &p);
    EXPECT_EQ(p.Default, static_cast<double>(CloudCurveField(params, i))) << p.Name;
    if (p.Control == TParamControl::TrackBar) {
      EXPECT_LE(p.Min, p.Default) << p.Name;
      EXPECT_GE(p.Max, p.Default) << p.Name;
    }
  }
  for (size_t i = CloudCurveCount; i < ParamTable().size(); ++i) EXPECT_EQ(ParamTable()[i].Curve, -1);
}

TEST(ParamTable, NamesKeywordsAndNearMatches) {
  EXPECT_EQ(FindParam("complex")->Curve, ccComplex);
  EXPECT_EQ(FindParam("cloud_position.y")->Curve, ccCloudY);
  EXPECT_EQ(FindParam("resolution")->Curve, -1);
  EXPECT_EQ(FindParam("cloud_position"), nullptr);  // two curves: which one?
  EXPECT_EQ(FindParam("Complex"), nullptr);
  EXPECT_EQ(NearParamNames("compex").front(), "complex");
  EXPECT_EQ(NearParamNames("blur_rot").size(), 3u);
  EXPECT_TRUE(NearParamNames("zzzzzzzzzz").empty());
  EXPECT_NE(FormatParamTable().find("blur_radius"), std::string::npos);
}

// The table agrees with the set and the record: one row per curve, each
// writing its own field; one word per keyword, on its first row; the save
// order of project files as it has always been; distinct read positions.
TEST(ParamTable, RowsAgreeWithTheSetTheRecordAndTheProjectFile) {
  std::set<const void*> fields;
  TCloudFrameParams params;
  for (int i = 0; i < CloudCurveCount; ++i) {
    const TParamInfo& p = ParamTable()[i];
    ASSERT_EQ(p.Field.Value, TParamValue::Curve) << p.Name;
    int32_t* n = IntFieldOf(p, params);
    uint8_t* b = ByteFieldOf(p, params);
    long double* r = RealFieldOf(p, params);
    EXPECT_EQ((n ? 1 : 0) + (b ? 1 : 0) + (r ? 1 : 0), 1) << p.Name;
    EXPECT_EQ(p.Store, n ? TCurveStore::Int32 : b ? TCurveStore::Byte : TCurveStore::Real) << p.Name;
    EXPECT_TRUE(fields.insert(n ? static_cast<void*>(n) : b ? static_cast<void*>(b) : r).second)
        << p.Name << " shares a field";
  }
  std::string saved, words;
  for (int i = 0; i < ProjectWordCount; ++i) saved += std::string(kParamTable[kSaveOrder[i]].Keyword) + " ";
  EXPECT_EQ(saved,
            "seed brightness complex coverrate min max wmin wmax noise wnoise center color0_red "
            "color0_green color0_blue color0_alpha color1_red color1_green color1_blue "
            "color1_alpha red_slope green_slope blue_slope alpha_slope wwx wwy blur_radius "
            "blur_number_of_ssample blur_curve blur_rotation cloud_position warp_position1 "
            "warp_position2 resolution oversampling frames current_frame output_avi "
            "outputalpha_avi center_reverse clip_brightness blur_draftmode "
            "render_fromcurrentframe ");
  std::set<int> reads;
  for (int i = 0; i < ParamCount; ++i) {
    const TParamInfo& p = ParamTable()[i];
    const bool first = i == 0 || std::string_view(ParamTable()[i - 1].Keyword) != p.Keyword;
    EXPECT_EQ(p.Word.Save >= 0, first) << p.Name;
    EXPECT_EQ(p.Word.Register >= 0, first) << p.Name;
    if (p.Form.Read >= 0) {
      EXPECT_TRUE(reads.insert(p.Form.Read).second) << p.Name;
    }
  }
}
