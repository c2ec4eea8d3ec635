// Shared fixture of the project tests: a document reset to a new project, a temporary folder, and helpers to write and load files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "anim/CurveSet.h"
#include "anim/Document.h"
#include "anim/ProjectModel.h"
#include "project/ProjectLoad.h"
#include "project/ProjectSave.h"
#include "project/ProjectText.h"
#include "temp_folder.h"


namespace velmora::project_test {

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.Model.TimeLineMin = 0;  // the one setting a new project keeps
    doc.ApplyNewProjectDefaults();
    folder = std::make_unique<testing_util::TempFolder>("velmora_project");
    dir = folder->path;
  }
  void TearDown() override { folder.reset(); }

  std::unique_ptr<testing_util::TempFolder> folder;
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  // Writes TEXT as a project file and loads it.
  TProjectLoadResult Load(const std::string& text, const std::string& name = "p.vlm") {
    WriteBytes(Path(name), text);
    TProjectLoadResult r;
    LoadProjectFile(doc, Path(name), &r);
    return r;
  }
  // The text the application saves now, and that text loaded and saved again.
  std::string SaveLoadSave() {
    const std::string first = BuildProjectText(doc);
    std::string error;
    EXPECT_TRUE(SaveProjectFile(doc, Path("rt.vlm"), &error)) << error;
    EXPECT_EQ(ReadBytes(Path("rt.vlm")), first);
    TProjectLoadResult r;
    EXPECT_TRUE(LoadProjectFile(doc, Path("rt.vlm"), &r)) << r.Run.ErrorMessage;
    return BuildProjectText(doc);
  }
  TDivs_Curve* Curve(int i) const { return doc.Curves->Curves[i]; }

  std::string dir;
  Document doc;
  TWindowHooks hooks;
};

}  // namespace velmora::project_test
