// velmora brel: runs a Brel program from the command line, or an interactive
// console when no program is given and stdin is a terminal.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

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

// The console of the command line: what `.` and `cr` write goes straight to
// stdout.
class StdoutConsole : public BrelConsole {
 public:
  std::string GetText() const override { return text_; }
  void SetText(std::string text) override {
    // Only the part beyond what was already written can be shown.
    if (text.compare(0, text_.size(), text_) == 0)
      Write(std::string_view(text).substr(text_.size()));
    text_ = std::move(text);
  }
  void Append(std::string_view s) override {
    Write(s);
    text_.append(s);
  }
  bool EndsLine() const { return text_.empty() || text_.back() == '\n'; }

 private:
  static void Write(std::string_view s) { std::fwrite(s.data(), 1, s.size(), stdout); }
  std::string text_;
};

// Reads a whole stream as bytes; false on a read error (a directory, say).
bool ReadAll(std::FILE* f, std::string& out) {
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  return !std::ferror(f);
}

// Writes a whole line to stderr; messages and texts may hold any byte, NUL
// included, so nothing here goes through a C string.
void ErrLine(std::string_view prefix, std::string_view text) {
  std::fwrite(prefix.data(), 1, prefix.size(), stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}

void PrintError(BrelEnvH env) {
  ErrLine("error " + std::to_string(env->errorCode) + ": ", env->errorMessage);
}

int Interactive() {
  StdoutConsole console;
  BrelEnvH env = BrelCreateEnv("brel", &console);
  if (!env) return Fail(1, "cannot create the Brel environment");
  std::printf("Brel console. Each line runs in the same environment; 'man WORD' shows a\n"
              "word's manual, 'cont' continues after terminate, Ctrl-D quits.\n");
  bool pending = false;  // a terminate left something to continue
  std::string line;
  for (;;) {
    std::printf("brel> ");
    std::fflush(stdout);
    if (!std::getline(std::cin, line)) break;
    std::string trimmed = line;
    while (!trimmed.empty() && static_cast<unsigned char>(trimmed.back()) <= 0x20)
      trimmed.pop_back();
    while (!trimmed.empty() && static_cast<unsigned char>(trimmed.front()) <= 0x20)
      trimmed.erase(0, 1);
    bool ok;
    if (trimmed == "cont") {
      // Continue the stopped program without appending the line, so that
      // the continued run ends where the stopped line ended.
      if (!pending) {
        std::printf("nothing to continue\n");
        continue;
      }
      ok = BrelContinue(env);
    } else {
      ok = BrelRunLine(env, line);
    }
    pending = ok && env->stopped && env->resume > 0 && env->pointer == env->resume;
    if (!console.EndsLine()) {
      std::printf("\n");
      console.Append("\n");
    }
    if (!ok) {
      std::fflush(stdout);
      PrintError(env);
      // Leave blocks and word calls the failed line opened, so that the next
      // line starts at the top level; values and global names stay.
      env->frames.clear();
      if (env->tables.size() > 1) env->tables.resize(1);
    } else if (trimmed.rfind("man ", 0) == 0 && !env->values.empty() &&
               env->values.back().type == kBrelStr) {
      std::printf("%s\n", BrelPopValue(env).text.c_str());
    }
    if (pending) std::printf("(stopped; 'cont' continues)\n");
    for (const std::string& l : BrelStackLines(env)) std::printf("  %s\n", l.c_str());
  }
  std::printf("\n");
  BrelFreeEnv(env);
  return 0;
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
    if (!showStack && isatty(STDIN_FILENO)) return Interactive();
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
