// The settings file: its path rule, the fallback for a read-only program
// folder, integer reading, and the JPEG quality.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <filesystem>
#include <string>
#include <vector>

#include "output/Settings.h"
#include "output/WindowSettings.h"
#include "temp_folder.h"

namespace velmora {
namespace {

// A fresh folder for one test.
struct TempFolder : testing_util::TempFolder {
  TempFolder() : testing_util::TempFolder("velmora_ini") {}
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Sets an environment variable for the scope of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SettingsPath, ExtensionReplacedByIni) {
  EXPECT_EQ(SettingsPathBeside("/opt/velmora/velmora"), "/opt/velmora/velmora.ini");
  EXPECT_EQ(SettingsPathBeside("/x/velmora.exe"), "/x/velmora.ini");
  EXPECT_EQ(SettingsPathBeside("/x/velmora.bin"), "/x/velmora.ini");
  EXPECT_EQ(SettingsPathBeside("/x/velmora.ab"), "/x/velmora.ini");
  EXPECT_EQ(SettingsPathBeside("/x/velmora.debug"), "/x/velmora.debug.ini")
      << "a dot before the last four characters starts no extension";
  EXPECT_EQ(SettingsPathBeside("/x/a.b.c"), "/x/a.b.ini");
  EXPECT_EQ(SettingsPathBeside("/x.d/v"), "/x.d/v.ini") << "a dot in a folder name is no extension";
}

TEST(SettingsPath, UserPathFollowsXdg) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/home/u/cfg");
    EXPECT_EQ(UserSettingsPath(), "/home/u/cfg/velmora/velmora.ini");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(UserSettingsPath(), "/home/u/.config/velmora/velmora.ini");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/cfg");  // not absolute: ignored
    ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(UserSettingsPath(), "/home/u/.config/velmora/velmora.ini");
  }
}

// Beside the executable when its folder is writable; otherwise in the user's
// configuration folder, which is created on the first write.
TEST(SettingsPath, UnwritableProgramFolderFallsBackToUserFolder) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  ScopedEnv over(SettingsPathVariable, nullptr);
  ScopedEnv xdg("XDG_CONFIG_HOME", (dir + "/config").c_str());
  EXPECT_EQ(ChooseSettingsPath(dir + "/velmora"), dir + "/velmora.ini");
  const std::string chosen = ChooseSettingsPath(dir + "/not-there/bin/velmora");
  EXPECT_EQ(chosen, dir + "/config/velmora/velmora.ini");
  // An installed program's folder is not used even when it is writable.
  ASSERT_TRUE(std::filesystem::create_directories(dir + "/usr/bin") &&
              std::filesystem::create_directories(dir + "/usr/share/velmora"));
  EXPECT_EQ(ChooseSettingsPath(dir + "/usr/bin/velmora"), dir + "/config/velmora/velmora.ini");
  if (geteuid() != 0) {  // permissions do not bind the super-user
    mkdir((dir + "/ro").c_str(), 0555);
    EXPECT_EQ(ChooseSettingsPath(dir + "/ro/velmora"), dir + "/config/velmora/velmora.ini");
  }
  std::string error;
  ASSERT_TRUE(WriteJpegQuality(chosen, 90, &error)) << error;
  EXPECT_EQ(ReadJpegQuality(chosen), 90);
  struct stat st;
  ASSERT_EQ(stat((dir + "/config/velmora").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(SettingsPath, EnvironmentOverrides) {
  ScopedEnv over(SettingsPathVariable, "/tmp/elsewhere.ini");
  EXPECT_EQ(ChooseSettingsPath("/opt/velmora/velmora"), "/tmp/elsewhere.ini");
}

TEST(SettingsFile, IntegerLiterals) {
  int32_t v = -1;
  const struct {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {{"75", true, 75},          {" 300 ", true, 300},     {"-5", true, -5},
               {"+7", true, 7},           {"$47504a4d", true, 0x47504a4d},
               {"0x1F", true, 31},        {"$ffffffff", true, -1},  {"2147483647", true, 2147483647},
               {"-2147483648", true, INT32_MIN},
               {"2147483648", false, 0},  {"$100000000", false, 0}, {"", false, 0},
               {"$", false, 0},           {"12abc", false, 0},      {"abc", false, 0},
               {"1 2", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseIniInteger(c.text, v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
    }
  }
}

TEST(SettingsFile, JpegQualityDefaultsAndLowEightBits) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  const std::string ini = dir + "/velmora.ini";
  EXPECT_EQ(ReadJpegQuality(ini), 75) << "no file";
  EXPECT_EQ(ReadJpegQuality(""), 75) << "no path";
  const struct {
    const char* stored;
    int expected;
  } cases[] = {{"300", 44}, {"0", 0}, {"100", 100}, {"256", 0}, {"abc", 75}, {"", 75}, {"$64", 100}};
  for (const auto& c : cases) {
    std::ofstream(ini) << "[Velmora]\nJpegQuality=" << c.stored << "\n";
    EXPECT_EQ(ReadJpegQuality(ini), c.expected) << c.stored;
  }
  std::ofstream(ini) << "[Other]\nJpegQuality=10\n";
  EXPECT_EQ(ReadJpegQuality(ini), 75) << "another section";
}

TEST(SettingsFile, WritesKeepEverythingElse) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  const std::string ini = dir + "/velmora.ini";
  std::ofstream(ini) << "; comment\n[Velmora]\nPreview_AutoUpdate=1\nJpegQuality=50\n"
                        "[CustomColor]\nColorA=FFFFFF\n";
  std::string error;
  ASSERT_TRUE(WriteJpegQuality(ini, 0, &error)) << error;
  EXPECT_EQ(ReadJpegQuality(ini), 0);
  ASSERT_TRUE(WriteJpegQuality(ini, 100, &error)) << error;
  EXPECT_EQ(ReadJpegQuality(ini), 100);
  EXPECT_TRUE(ReadIniBool(ini, "Velmora", "Preview_AutoUpdate", false));
  std::string color;
  ASSERT_TRUE(ReadIniString(ini, "CustomColor", "ColorA", color));
  EXPECT_EQ(color, "FFFFFF");
  const std::string text = ReadFile(ini);
  EXPECT_NE(text.find("JpegQuality=100"), std::string::npos) << text;
  EXPECT_EQ(text.find("JpegQuality=50"), std::string::npos) << text;

  ASSERT_TRUE(WriteIniBool(ini, "Velmora", "Preview_AutoUpdate", false, &error));
  EXPECT_FALSE(ReadIniBool(ini, "Velmora", "Preview_AutoUpdate", true));
  ASSERT_TRUE(WriteIniString(ini, "Velmora", "Name", "新規.vlm", &error));
  ASSERT_TRUE(ReadIniString(ini, "Velmora", "Name", color));
  EXPECT_EQ(color, "新規.vlm");
  EXPECT_EQ(ReadIniInteger(ini, "Velmora", "Missing", -9), -9);
}

TEST(SettingsFile, WriteFailuresAreReported) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  std::string error;
  std::ofstream(dir + "/file") << "x";
  EXPECT_FALSE(WriteJpegQuality(dir + "/file/velmora.ini", 80, &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(WriteJpegQuality("", 80, &error));
  EXPECT_FALSE(error.empty());
  // A folder named outright is reported missing, not made.
  EXPECT_FALSE(WriteJpegQuality(dir + "/missing/velmora.ini", 80, &error));
  EXPECT_EQ(error, "cannot write settings file " + dir + "/missing/velmora.ini: no folder " + dir +
                       "/missing");
  struct stat st;
  EXPECT_NE(stat((dir + "/missing").c_str(), &st), 0);
}

TEST(SettingsFile, RecentProjectsAndWindowPosition) {
  TempFolder dir;
  const std::string ini = dir.path + "/v.ini";
  std::vector<std::string> list;
  for (int i = 0; i < 12; ++i) list = AddRecentProject(list, "/p/" + std::to_string(i) + ".vlm");
  list = AddRecentProject(list, "/p/5.vlm");
  ASSERT_EQ(list.size(), 10u);
  EXPECT_EQ(list.front(), "/p/5.vlm");
  EXPECT_EQ(list[1], "/p/11.vlm");
  EXPECT_EQ(list.back(), "/p/2.vlm");
  EXPECT_TRUE(ReadRecentProjects(ini).empty());
  ASSERT_TRUE(WriteRecentProjects(ini, list, nullptr));
  EXPECT_EQ(ReadRecentProjects(ini), list);
  ASSERT_TRUE(WriteRecentProjects(ini, {"/a b/ü.vlm"}, nullptr));
  EXPECT_EQ(ReadRecentProjects(ini), std::vector<std::string>{"/a b/ü.vlm"});

  EXPECT_FALSE(ReadWindowPosition(ini));
  ASSERT_TRUE(WriteWindowPosition(ini, {-20, 340}, nullptr));
  const auto p = ReadWindowPosition(ini);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Left, -20);
  EXPECT_EQ(p->Top, 340);
  EXPECT_EQ(ReadRecentProjects(ini).size(), 1u);  // the other section is kept
}

// A file that is not a settings file, or cannot be read, reads as the
// defaults with a reason, and is never replaced.
TEST(SettingsFile, ForeignOrUnreadableFilesAreKept) {
  const TempFolder tmp;
  const std::string& dir = tmp.path;
  std::ofstream(dir + "/good.ini") << "[Velmora]\r\nJpegQuality=33\r\n; note\r\n";
  EXPECT_EQ(SettingsFileProblem(dir + "/good.ini"), "");
  EXPECT_EQ(SettingsFileProblem(dir + "/none.ini"), "");
  EXPECT_EQ(ReadJpegQuality(dir + "/good.ini"), 33);
  std::ofstream(dir + "/garbage.ini") << std::string("\x89PNG\r\n\x1a\n\0\0", 10) << "JpegQuality=33";
  std::ofstream(dir + "/big.ini") << "[Velmora]\nJpegQuality=33\n" << std::string(SettingsFileByteLimit, ';');
  mkdir((dir + "/folder.ini").c_str(), 0700);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"garbage.ini", " is not a settings file"},
      {"big.ini", ": larger than 1 MB"},
      {"folder.ini", ": not a regular file"}};
  for (const auto& [name, reason] : cases) {
    const std::string path = dir + "/" + name;
    const std::string before = name == "folder.ini" ? "" : ReadFile(path);
    const std::string problem = SettingsFileProblem(path);
    EXPECT_NE(problem.find(reason), std::string::npos) << problem;
    EXPECT_EQ(ReadJpegQuality(path), DefaultJpegQuality) << name;
    std::string error;
    EXPECT_FALSE(WriteJpegQuality(path, 50, &error)) << name;
    EXPECT_EQ(error, problem + "; it is kept as it is");
    if (name != "folder.ini") {
      EXPECT_EQ(ReadFile(path), before) << name;
    }
  }
}

}  // namespace
}  // namespace velmora
