// Where the program's own files are: the folder of the running executable
// and the example projects that come with it.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace velmora {

// The folder holding the running executable (/proc/self/exe), or that of
// PROGRAM_PATH when the link cannot be read.
std::filesystem::path ProgramFolder(const char* program_path);

// Whether the program in PROGRAM_FOLDER is installed: "../share/velmora"
// beside it is a folder.
bool IsInstalledProgram(const std::filesystem::path& program_folder);

// The folder of the example projects for a program in PROGRAM_FOLDER:
// "../share/velmora/examples" in an installed tree; for a program run from a
// build folder (the folder or one of its two parents holds CMakeCache.txt),
// the examples/ folder of the source tree that build was configured from.
// Nothing when neither exists.
std::optional<std::filesystem::path> FindExamplesFolder(const std::filesystem::path& program_folder);

// The project files (*.vlm) directly in FOLDER, sorted by name; empty when
// the folder cannot be read.
std::vector<std::filesystem::path> ListExampleProjects(const std::filesystem::path& folder);

}  // namespace velmora
