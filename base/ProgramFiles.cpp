#include "base/ProgramFiles.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <system_error>

namespace velmora {

namespace {

bool IsDirectory(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_directory(p, ec);
}

// The source folder a CMake build folder was configured from, read from its
// cache (the project's own Velmora_SOURCE_DIR entry).
std::optional<std::filesystem::path> SourceOfBuild(const std::filesystem::path& cache) {
  std::ifstream in(cache);
  const std::string key = "Velmora_SOURCE_DIR:STATIC=";
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, key.size(), key) == 0) return std::filesystem::path(line.substr(key.size()));
  return std::nullopt;
}

}  // namespace

std::filesystem::path ProgramFolder(const char* program_path) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec && program_path) exe = std::filesystem::absolute(program_path, ec);
  return exe.parent_path();
}

bool IsInstalledProgram(const std::filesystem::path& program_folder) {
  return IsDirectory(program_folder / "../share/velmora");
}

std::optional<std::filesystem::path> FindExamplesFolder(const std::filesystem::path& program_folder) {
  const std::filesystem::path installed =
      (program_folder / "../share/velmora/examples").lexically_normal();
  if (IsDirectory(installed)) return installed;
  // velmora sits in the build folder itself, velmora-studio in app/ below it.
  std::filesystem::path folder = program_folder;
  for (int up = 0; up < 3 && !folder.empty(); ++up) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(folder / "CMakeCache.txt", ec)) {
      const auto source = SourceOfBuild(folder / "CMakeCache.txt");
      if (source && IsDirectory(*source / "examples")) return *source / "examples";
      return std::nullopt;
    }
    if (folder == folder.parent_path()) break;
    folder = folder.parent_path();
  }
  return std::nullopt;
}

std::vector<std::filesystem::path> ListExampleProjects(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> projects;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->path().extension() == ".vlm" && it->is_regular_file(typeError))
      projects.push_back(it->path());
  }
  std::sort(projects.begin(), projects.end());
  return projects;
}

}  // namespace velmora
