// Running another program and collecting what it prints, for the commands
// that drive outside tools (the cluster scheduler's client commands).
#pragma once

#include <string>
#include <vector>

namespace velmora::cli {

struct ProgramResult {
  bool started = false;  // false when the program could not be run at all
  int status = -1;       // exit status; 128 + signal number when killed
  std::string out;       // standard output
  std::string err;       // standard error, or why the program did not start
};

// Runs ARGV[0] (looked up on PATH) with the arguments and waits for it.
ProgramResult RunProgram(const std::vector<std::string>& argv);

// The full path of an executable NAME on PATH, or "" when there is none.
std::string FindOnPath(const std::string& name);

}  // namespace velmora::cli
