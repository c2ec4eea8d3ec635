// The project text: its exact bytes, and save / open / save round trips.
#include <string>

#include "project_test_util.h"

using namespace velmora;
using namespace velmora::project_test;

namespace {

// The new project's file, kept with the golden tests of the command line.
std::string NewProjectText() {
  return ReadBytes(VELMORA_SOURCE_DIR "/tests/golden/project/new_project.vlm");
}

}  // namespace

TEST_F(ProjectTest, NewProjectTextByteForByteAndRoundTrip) {
  const std::string expected = NewProjectText();
  ASSERT_NE(expected, "");
  EXPECT_EQ(BuildProjectText(doc), expected);
  EXPECT_EQ(SaveLoadSave(), expected);
  EXPECT_EQ(doc.Model.ProjectFileName, NewProjectFileName);  // Load alone does not rename
}

TEST_F(ProjectTest, EditedProjectRoundTripsAndKeepsEachCurveApart) {
  // A distinct curve per slot shows that no two keywords are swapped.
  for (int i = 0; i < CloudCurveCount; ++i) {
    SetCurveKey(Curve(i), 10 + i, 100.25 + i);
    SetCurveKey(Curve(i), -3, -0.0001 * (i + 1));
  }
  doc.Curves->Curves[ccComplex]->Kind = CurveKindBM;
  doc.Curves->Curves[ccComplex]->LinearWeight = 0.75;
  doc.Params.ResX = 1920;
  doc.Params.ResY = -7;  // stored as given
  SetTimeLineMax(doc.Model, 300);
  SetTimeLinePosition(doc.Model, 250);
  doc.Model.OutPutFilen = "out dir/movie.avi";
  doc.Model.OutPutAlpha = "  alpha.avi  ";  // written untrimmed

  std::string curves[CloudCurveCount];
  for (int i = 0; i < CloudCurveCount; ++i) curves[i] = CurveToText(Curve(i));
  const std::string text = BuildProjectText(doc);
  EXPECT_NE(text.find("\r\n1920 -7 resolution\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n0 300 frames\r\n250 current_frame\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"  alpha.avi  \" outputalpha_avi\r\n"), std::string::npos);
  EXPECT_EQ(SaveLoadSave(), text);
  for (int i = 0; i < CloudCurveCount; ++i) EXPECT_EQ(CurveToText(Curve(i)), curves[i]) << i;
  EXPECT_EQ(doc.Model.TimeLinePosition, 250);
  EXPECT_EQ(doc.Model.CurFrame, "250");
  EXPECT_EQ(doc.Model.MaxFrame, "300");
  EXPECT_EQ(doc.Model.OutPutFilen, "out dir/movie.avi");
}

TEST_F(ProjectTest, EverySwitchCombination) {
  const char* const names[4] = {"center_reverse", "clip_brightness", "blur_draftmode",
                                "render_fromcurrentframe"};
  for (int mask = 0; mask < 16; ++mask) {
    doc.ApplyNewProjectDefaults();
    doc.Params.CenterReverse = mask & 1;
    doc.Params.ClipBrightness = mask & 2;
    doc.Params.BlurDraft = mask & 4;
    doc.Model.FromCurrentFrame = mask & 8;
    std::string tail = "\"\" outputalpha_avi\r\n";
    for (int b = 0; b < 4; ++b)
      if (mask & (1 << b)) tail += std::string(names[b]) + "\r\n";
    const std::string text = BuildProjectText(doc);
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << mask;

    EXPECT_EQ(SaveLoadSave(), text) << mask;
    EXPECT_EQ(doc.Params.CenterReverse, (mask & 1) != 0) << mask;
    EXPECT_EQ(doc.Params.ClipBrightness, (mask & 2) != 0) << mask;
    EXPECT_EQ(doc.Params.BlurDraft, (mask & 4) != 0) << mask;  // off survives reopening
    EXPECT_EQ(doc.Model.FromCurrentFrame, (mask & 8) != 0) << mask;
  }
}

TEST_F(ProjectTest, OutputNamesEmptyJapaneseAndWithQuotesOrLineEnds) {
  EXPECT_NE(BuildProjectText(doc).find("\r\n\"\" output_avi\r\n\"\" outputalpha_avi\r\n"),
            std::string::npos);
  doc.Model.OutPutFilen = "雲の動画.avi";
  doc.Model.OutPutAlpha = "";
  const std::string japanese = BuildProjectText(doc);
  EXPECT_NE(japanese.find("\r\n\"雲の動画.avi\" output_avi\r\n\"\" outputalpha_avi\r\n"),
            std::string::npos);
  EXPECT_EQ(SaveLoadSave(), japanese);
  EXPECT_EQ(doc.Model.OutPutFilen, "雲の動画.avi");
  EXPECT_EQ(doc.Model.OutPutAlpha, "");

  // A quote would end the string early and break every later statement; a
  // lone CR or LF would come back as CR LF.  A CR LF pair (what a name read
  // from a file holds when its literal spans lines) is written as it is.
  doc.Model.OutPutFilen = "a\"b\r\n\r.a\nvi";
  const std::string text = BuildProjectText(doc);
  EXPECT_NE(text.find("\"ab\r\n.avi\" output_avi\r\n"), std::string::npos);
  EXPECT_EQ(SaveLoadSave(), text);
  EXPECT_EQ(doc.Model.OutPutFilen, "ab\r\n.avi");
}

TEST_F(ProjectTest, CurvesOfNoKeysAndOfFullCapacitySurvive) {
  while (Curve(ccNoise)->Count > 0) DeleteCurveKey(Curve(ccNoise), static_cast<int32_t>(Curve(ccNoise)->Frames[0]));
  for (int32_t f = 0; f < MaxCurveKeys; ++f) ASSERT_TRUE(SetCurveKey(Curve(ccBlurRotY), f, f * 0.5 - 3));
  ASSERT_EQ(Curve(ccBlurRotY)->Count, MaxCurveKeys);
  const std::string text = BuildProjectText(doc);
  EXPECT_NE(text.find("\"TDiv_MP 0 0\" noise\r\n"), std::string::npos);
  EXPECT_EQ(SaveLoadSave(), text);
  EXPECT_EQ(Curve(ccNoise)->Count, 0);
  EXPECT_EQ(Curve(ccBlurRotY)->Count, MaxCurveKeys);
  EXPECT_EQ(Curve(ccBlurRotY)->Values[1022], 1022 * 0.5 - 3);
}

TEST_F(ProjectTest, SaveReplacesWholeAndAFailedSaveKeepsTheOldFile) {
  const std::string path = Path("keep.vlm");
  WriteBytes(path, "old contents");
  std::string error;
  ASSERT_TRUE(SaveProjectFile(doc, path, &error)) << error;
  EXPECT_EQ(ReadBytes(path), NewProjectText());

  // A name so long that no temporary file fits beside it: the save fails
  // before anything reaches the old file.
  const std::string longPath = Path(std::string(250, 'p') + ".vlm");
  WriteBytes(longPath, "old project");
  EXPECT_FALSE(SaveProjectFile(doc, longPath, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(longPath), "old project");

  // A folder in the way: the rename fails, the folder and its file stay.
  std::filesystem::create_directory(Path("dir.vlm"));
  WriteBytes(Path("dir.vlm/inner"), "x");
  EXPECT_FALSE(SaveProjectFile(doc, Path("dir.vlm"), &error));
  EXPECT_EQ(ReadBytes(Path("dir.vlm/inner")), "x");
  EXPECT_FALSE(SaveProjectFile(doc, Path("no such folder/p.vlm"), &error));

  // No temporary file is left behind by any of them.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 3);
}
