// Finding the example projects from the program's folder: installed trees,
// build folders (configured from a source tree elsewhere) and neither; the
// program's modules beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/Module.h"
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

// A module is found beside the program (the build links them beside the
// tests); a missing one, or a library without the entry asked for, is null
// with a message naming the file.
TEST(ProgramFiles, ModulesLoadBesideTheProgramOrSayWhichFailed) {
  std::string error;
  EXPECT_NE(velmora::LoadModuleEntry("libvelmora-images.so", "velmora_images_module", &error),
            nullptr)
      << error;
  EXPECT_EQ(velmora::LoadModuleEntry("libvelmora-nothing.so", "velmora_images_module", &error),
            nullptr);
  EXPECT_EQ(error, "cannot find libvelmora-nothing.so");
  EXPECT_EQ(velmora::LoadModuleEntry("libvelmora-images.so", "velmora_movie_module", &error),
            nullptr);
  EXPECT_NE(error.find("libvelmora-images.so is not a library of this program"),
            std::string::npos)
      << error;
}
