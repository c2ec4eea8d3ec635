// Finding the example projects from the program's folder: installed trees,
// build folders (configured from a source tree elsewhere) and neither.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/ProgramFiles.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using velmora::testing_util::TempFolder;

namespace {

void Touch(const fs::path& p) { std::ofstream(p) << "x"; }

}  // namespace

TEST(ProgramFiles, InstalledTreeListsProjectsSorted) {
  const TempFolder tmp;
  const fs::path prefix = fs::path(tmp.path) / "usr";
  const fs::path examples = prefix / "share/velmora/examples";
  fs::create_directories(prefix / "bin");
  fs::create_directories(examples / "sub.vlm");  // a folder, not a project
  for (const char* name : {"storm.vlm", "blue_sky.vlm", "notes.txt", "old.vlm~"}) Touch(examples / name);
  EXPECT_TRUE(velmora::IsInstalledProgram(prefix / "bin"));
  const auto found = velmora::FindExamplesFolder(prefix / "bin");
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, examples);
  EXPECT_EQ(velmora::ListExampleProjects(*found),
            (std::vector<fs::path>{examples / "blue_sky.vlm", examples / "storm.vlm"}));
  EXPECT_TRUE(velmora::ListExampleProjects(prefix / "missing").empty());
}

TEST(ProgramFiles, BuildFolderUsesItsSourceTree) {
  const TempFolder tmp;
  const fs::path source = fs::path(tmp.path) / "src", build = fs::path(tmp.path) / "out/build";
  fs::create_directories(source / "examples");
  fs::create_directories(build / "app");
  std::ofstream(build / "CMakeCache.txt") << "CMAKE_BUILD_TYPE:STRING=Release\n"
                                          << "Velmora_SOURCE_DIR:STATIC=" << source.string() << "\n";
  EXPECT_FALSE(velmora::IsInstalledProgram(build));
  // velmora in the build folder, velmora-studio in app/ below it.
  EXPECT_EQ(velmora::FindExamplesFolder(build), source / "examples");
  EXPECT_EQ(velmora::FindExamplesFolder(build / "app"), source / "examples");
  // A build folder whose source tree has no examples/, and no build at all.
  fs::remove(source / "examples");
  EXPECT_FALSE(velmora::FindExamplesFolder(build / "app"));
  EXPECT_FALSE(velmora::FindExamplesFolder(fs::path(tmp.path) / "out"));
}
