// The subcommands of the command-line front end.  Each takes the arguments
// after its own name and returns the process exit status:
// 0 success, 1 failure, 2 usage error, 3 completed with a project warning.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

using Args = std::vector<std::string>;

int CmdRender(const Args& args);
int CmdParams(const Args& args);
int CmdBrel(const Args& args);
int CmdResave(const Args& args);
int CmdMovie(const Args& args);
int CmdSettings(const Args& args);
int CmdFarm(const Args& args);
int CmdAssemble(const Args& args);
int CmdThumbnail(const Args& args);
// velmora help examples: the example projects, one full path a line.
int CmdHelpExamples(const Args& args);

// Prints "velmora: MESSAGE" on stderr and returns the status.
int Fail(int status, const std::string& message);

// The settings file at PATH, when it exists but cannot be used, gives the
// defaults: says so once, as "velmora: COMMAND: warning: ...".
void WarnUnusableSettings(const std::string& command, const std::string& path);

// Writes BYTES to stdout and flushes; on failure prints
// "velmora: COMMAND: cannot write the output" and returns false.
bool WriteStdout(const std::string& command, std::string_view bytes);

}  // namespace velmora::cli
