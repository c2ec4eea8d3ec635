// velmora brel: runs a Brel program from the command line, or an interactive
// console when no program is given and stdin is a terminal.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "cli/BrelOutput.h"
#include "base/Translate.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "project/ProjectLoad.h"
#include "script/Brel.h"

namespace velmora::cli {

namespace {

constexpr const char* kBrelUsage = MsgNoop(
    "usage: velmora brel [--stack] [--max-memory BYTES] (-e TEXT | FILE | -)\n"
    "  -e TEXT   run TEXT\n"
    "  FILE      run the program in FILE ('-' reads stdin; at most 64 MB)\n"
    "  --stack   print the value stack (top first) on stderr after the run\n"
    "  --max-memory BYTES  what the program may hold in texts, arrays and\n"
    "            stacks (K, M and G suffixes; default 1G; 0: no limit)\n"
    "With no program and a terminal on stdin, starts the interactive console.\n");

// Reads a whole stream as bytes; false with *why on a read error (a
// directory, say) or when the stream holds more than a program file may.
bool ReadAll(std::FILE* f, std::string& out, std::string* why) {
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (out.size() + n > ProgramFileByteLimit) {
      *why = MsgFormat(": larger than %s MB", {std::to_string(ProgramFileByteLimit >> 20)});
      return false;
    }
    out.append(buf, n);
  }
  return !std::ferror(f);
}

// A byte count with an optional K, M or G suffix (powers of 1024).
std::optional<size_t> ParseBytes(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::string digits = text;
  int shift = 0;
  switch (text.back()) {
    case 'k': case 'K': shift = 10; break;
    case 'm': case 'M': shift = 20; break;
    case 'g': case 'G': shift = 30; break;
    default: break;
  }
  if (shift) digits.pop_back();
  if (digits.empty() || digits.size() > 12 || digits.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return static_cast<size_t>(std::stoull(digits)) << shift;
}

}  // namespace

int CmdBrel(const Args& args) {
  CommandLine cl("brel", Msg(kBrelUsage));
  bool showStack = false;
  std::optional<std::string> text, file, maxMemory;
  cl.Flag("--stack", showStack);
  cl.Value("--max-memory", maxMemory, MsgNoop("a byte count"));
  cl.Value("-e", text, MsgNoop("a program text"));
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
  std::optional<size_t> memoryLimit;
  if (maxMemory && !(memoryLimit = ParseBytes(*maxMemory)))
    return Fail(2, "brel: " + MsgFormat("--max-memory needs a byte count such as 512M, not '%s'",
                                        {*maxMemory}));
  std::string program;
  std::string why;
  if (text) {
    program = *text;
  } else if (file && *file == "-") {
    if (!ReadAll(stdin, program, &why)) return Fail(1, Msg("cannot read stdin") + why);
  } else if (file) {
    std::FILE* f = std::fopen(file->c_str(), "rb");
    const bool read = f && ReadAll(f, program, &why);
    if (f) std::fclose(f);
    if (!read) return Fail(1, MsgFormat("cannot read %s", {*file}) + why);
  } else {
    if (!showStack && isatty(STDIN_FILENO)) return RunBrelConsole();
    std::fputs(kBrelUsage, stderr);
    return 2;
  }

  StdoutConsole console;
  BrelEnvH env = BrelCreateEnv("brel", &console);
  if (!env) return Fail(1, Msg("cannot create the Brel environment"));
  if (memoryLimit) BrelSetMemoryLimit(env, *memoryLimit);
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
