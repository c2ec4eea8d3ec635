// The undo history, judged by the bytes a save would write, and the decision
// taken before unsaved changes are dropped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "anim/CurveSet.h"
#include "anim/Document.h"
#include "anim/KeyEdit.h"
#include "anim/TDivs.h"
#include "project/ProjectText.h"
#include "studio/EditHistory.h"
#include "studio/UnsavedChanges.h"

namespace velmora {
namespace {

class History : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.ApplyNewProjectDefaults();
    history.Reset(doc);
  }
  // One committed change; returns the text a save writes afterwards.
  template <typename F>
  std::string Edit(F&& change) {
    change();
    EXPECT_TRUE(history.Commit(doc));
    return BuildProjectText(doc);
  }
  Document doc;
  TEditHistory history;
};

TEST_F(History, UndoAndRedoGiveBackEverySavedByte) {
  std::vector<std::string> texts{BuildProjectText(doc)};
  texts.push_back(Edit([&] { SetCurveKey(doc.Curves->Curves[ccBrightness], 30, 0.25); }));
  texts.push_back(Edit([&] {
    doc.Params.ResX = 320;
    doc.Params.CenterReverse = true;
  }));
  texts.push_back(Edit([&] {
    doc.Model.OutPutFilen = "clip.avi";
    doc.Model.FromCurrentFrame = true;
  }));
  texts.push_back(Edit([&] {
    SetTimeLineMax(doc.Model, 60);
    SetTimeLinePosition(doc.Model, 50);
    for (TDivs_Curve* c : doc.Curves->Curves) DeleteCurveKey(c, 0);
  }));
  // Browsing the timeline between edits is not a step of its own.
  SetTimeLinePosition(doc.Model, 12);
  EXPECT_FALSE(history.Commit(doc));
  for (size_t i = texts.size() - 1; i > 0; --i) {
    ASSERT_TRUE(history.Undo(doc));
    EXPECT_EQ(BuildProjectText(doc), texts[i - 1]) << "after undoing step " << i;
  }
  EXPECT_FALSE(history.Undo(doc));
  for (size_t i = 1; i < texts.size(); ++i) {
    ASSERT_TRUE(history.Redo(doc));
    EXPECT_EQ(BuildProjectText(doc), texts[i]) << "after redoing step " << i;
  }
  EXPECT_FALSE(history.Redo(doc));
  // The record shows the restored state's frame: brightness 0.25 keyed at 30.
  ASSERT_TRUE(history.Undo(doc));
  ASSERT_TRUE(history.Undo(doc));
  ASSERT_TRUE(history.Undo(doc));
  SetTimeLinePosition(doc.Model, 30);
  doc.EvalAt(30);
  EXPECT_DOUBLE_EQ(static_cast<double>(doc.Params.Brightness), 0.25);
}

TEST_F(History, ModifiedFollowsTheSavedStateAndFileNameStays) {
  EXPECT_FALSE(history.Modified());
  EXPECT_FALSE(history.Commit(doc));  // nothing changed
  Edit([&] { doc.Params.ResY = 100; });
  EXPECT_TRUE(history.Modified());
  doc.Model.ProjectFileName = "/tmp/a.vlm";
  history.MarkSaved();
  EXPECT_FALSE(history.Modified());
  ASSERT_TRUE(history.Undo(doc));
  EXPECT_TRUE(history.Modified());
  EXPECT_EQ(doc.Model.ProjectFileName, "/tmp/a.vlm");
  ASSERT_TRUE(history.Redo(doc));
  EXPECT_FALSE(history.Modified());
  // A new change after an undo drops the saved state for good.
  ASSERT_TRUE(history.Undo(doc));
  Edit([&] { doc.Params.ResY = 200; });
  EXPECT_FALSE(history.CanRedo());
  ASSERT_TRUE(history.Undo(doc));
  EXPECT_TRUE(history.Modified());
  // New and Open start afresh.
  history.Reset(doc);
  EXPECT_FALSE(history.CanUndo());
  EXPECT_FALSE(history.Modified());
}

TEST_F(History, KeepsTheNewestSteps) {
  const std::string first = BuildProjectText(doc);
  for (size_t i = 1; i <= TEditHistory::MaxSteps + 5; ++i)
    Edit([&] { doc.Params.ResX = static_cast<int32_t>(i); });
  EXPECT_EQ(history.StepCount(), TEditHistory::MaxSteps);
  while (history.Undo(doc)) {
  }
  EXPECT_NE(BuildProjectText(doc), first);
  EXPECT_EQ(doc.Params.ResX, 6);
  EXPECT_TRUE(history.Modified());  // the saved state was forgotten
}

TEST(UnsavedChanges, AsksOnlyWithChangesAndGoesOnOnlyWhenSafe) {
  struct Case {
    bool modified;
    TSaveAnswer answer;
    bool saveWorks;
    bool goesOn;
    int asked, saved;
  };
  const Case cases[] = {
      {false, TSaveAnswer::Cancel, false, true, 0, 0},
      {true, TSaveAnswer::Cancel, true, false, 1, 0},
      {true, TSaveAnswer::Discard, false, true, 1, 0},
      {true, TSaveAnswer::Save, true, true, 1, 1},
      {true, TSaveAnswer::Save, false, false, 1, 1},
  };
  for (const Case& c : cases) {
    int asked = 0, saved = 0;
    const bool goesOn = MayDropChanges(
        c.modified, [&] { ++asked; return c.answer; },
        [&] { ++saved; return c.saveWorks; });
    EXPECT_EQ(goesOn, c.goesOn);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(saved, c.saved);
  }
}

}  // namespace
}  // namespace velmora
