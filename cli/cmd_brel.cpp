// velmora brel: runs a Brel program from the command line, or an interactive
// console when no program is given and stdin is a terminal.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "cli/BrelOutput.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "script/Brel.h"

namespace velmora::cli {

namespace {

const char kBrelUsage[] =
    "usage: velmora brel [--stack] (-e TEXT | FILE | -)\n"
    "  -e TEXT   run TEXT\n"
    "  FILE      run the program in FILE ('-' reads stdin)\n"
    "  --stack   print the value stack (top first) on stderr after the run\n"
    "With no program and a terminal on stdin, starts the interactive console.\n";

// Reads a whole stream as bytes; false on a read error (a directory, say).
bool ReadAll(std::FILE* f, std::string& out) {
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  return !std::ferror(f);
}

}  // namespace

int CmdBrel(const Args& args) {
  CommandLine cl("brel", kBrelUsage);
  bool showStack = false;
  std::optional<std::string> text, file;
  cl.Flag("--stack", showStack);
  cl.Value("-e", text, "a program text");
  cl.Project(file);
  cl.Quiet();  // any misuse shows the usage on stderr instead
  if (auto stop = cl.Parse(args)) {
    if (*stop != 0) std::fputs(kBrelUsage, stderr);
    return *stop;
  }
  if (text && file) {
    std::fputs(kBrelUsage, stderr);
    return 2;
  }
  std::string program;
  if (text) {
    program = *text;
  } else if (file && *file == "-") {
    if (!ReadAll(stdin, program)) return Fail(1, "cannot read stdin");
  } else if (file) {
    std::FILE* f = std::fopen(file->c_str(), "rb");
    const bool read = f && ReadAll(f, program);
    if (f) std::fclose(f);
    if (!read) return Fail(1, "cannot read " + *file);
  } else {
    if (!showStack && isatty(STDIN_FILENO)) return RunBrelConsole();
    std::fputs(kBrelUsage, stderr);
    return 2;
  }

  StdoutConsole console;
  BrelEnvH env = BrelCreateEnv("brel", &console);
  if (!env) return Fail(1, "cannot create the Brel environment");
  env->program = std::move(program);
  const bool ok = BrelRun(env);
  std::fflush(stdout);
  if (!ok) PrintError(env);
  if (showStack)
    for (const std::string& l : BrelStackLines(env)) ErrLine("stack: ", l);
  BrelFreeEnv(env);
  return ok ? 0 : 1;
}

}  // namespace velmora::cli
