// The studio document's modified flag across New, Open and Save.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "anim/CurveSet.h"
#include "studio/StudioDocument.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(StudioDocument, ModifiedFlagFollowsNewOpenAndSave) {
  testing_util::TempFolder folder("velmora_studio");
  const std::string good = folder.path + "/a.vlm";
  StudioDocument doc;
  doc.New();
  EXPECT_FALSE(doc.Modified());
  doc.Params.Seed = 7;
  KeyCurveSetFromParams(doc.Curves, 0, doc.Params);
  doc.MarkModified();

  // A save into a folder that does not exist fails and keeps the flag.
  std::string error;
  EXPECT_FALSE(doc.Save(folder.path + "/missing/a.vlm", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(doc.Modified());
  ASSERT_TRUE(doc.Save(good));
  EXPECT_FALSE(doc.Modified());

  // A file that cannot be read leaves the project and the flag alone.
  doc.Params.Seed = 9;
  doc.MarkModified();
  TProjectLoadResult r;
  EXPECT_FALSE(doc.Open(folder.path + "/none.vlm", {}, &r));
  EXPECT_TRUE(doc.Modified());
  EXPECT_EQ(doc.Params.Seed, 9);

  // A text that stops on an error still replaces the project: unmodified.
  std::ofstream(folder.path + "/bad.vlm") << "1 seed nosuchword\r\n";
  EXPECT_FALSE(doc.Open(folder.path + "/bad.vlm", {}, &r));
  EXPECT_EQ(r.Status, TProjectLoadStatus::RunError);
  EXPECT_FALSE(doc.Modified());

  doc.MarkModified();
  ASSERT_TRUE(doc.Open(good));
  EXPECT_FALSE(doc.Modified());
  EXPECT_EQ(doc.Params.Seed, 7);
}

}  // namespace
}  // namespace velmora
