// Entry point of the command-line front end: dispatches to the subcommands.
#include <stdio_ext.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

#include "base/DisplayText.h"
#include "base/Translate.h"
#include "cli/Commands.h"
#include "cli/HelpTopics.h"
#include "output/Settings.h"

namespace velmora::cli {

int Fail(int status, const std::string& message) {
  // Names in messages come from the command line and from files: control
  // characters are escaped, so a failure stays one line and sends no escape
  // sequence to the terminal.
  std::cerr << "velmora: " << ForDisplay(message) << "\n";
  return status;
}

void WarnUnusableSettings(const std::string& command, const std::string& path) {
  const std::string problem = SettingsFileProblem(path);
  if (!problem.empty())
    std::cerr << "velmora: " << command << ": "
              << velmora::MsgFormat("warning: %s; the default settings are used",
                                    {ForDisplay(problem)})
              << "\n";
}

std::string LostOutputReason() {
  return errno != 0 ? ": " + velmora::SystemErrorText(errno) : std::string();
}

bool WriteStdout(const std::string& command, std::string_view bytes) {
  errno = 0;
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  Fail(1, command + ": " + Msg("cannot write the output") + LostOutputReason());
  // Said once: what is left in the buffer is dropped, so the final flush
  // has nothing more to lose.
  __fpurge(stdout);
  std::clearerr(stdout);
  return false;
}

}  // namespace velmora::cli

namespace {

using velmora::Msg;
using velmora::MsgFormat;

constexpr const char* kUsage = velmora::MsgNoop(
    "usage: velmora COMMAND [ARGS]\n"
    "commands:\n"
    "  render [PROJECT.vlm] -o OUT [--frame N] [--buffer NAME] [options]\n"
    "                         render one still picture (.bmp, .png, .jpg)\n"
    "  params [PROJECT.vlm] [--frame N] | params --list\n"
    "                         print the frame record at a frame; --list: every\n"
    "                         parameter with its default, range, unit, meaning\n"
    "  resave PROJECT.vlm [-o OUT.vlm]\n"
    "                         open a project and write it as Save does\n"
    "  movie [PROJECT.vlm] [-o OUT] [--alpha OUT] [options]\n"
    "                         render the timeline as a movie or numbered series\n"
    "  farm PROJECT.vlm -o OUT.avi --chunks N [options]\n"
    "                         render the movie as a job array on a Slurm cluster\n"
    "  assemble DIR -o OUT.avi [--alpha OUT.avi]\n"
    "                         write the movie of a farm's work folder\n"
    "  settings [--jpeg-quality Q]\n"
    "                         show the settings file; store the JPEG quality\n"
    "  brel [--stack] (-e TEXT | FILE | -)\n"
    "                         run a Brel program; no argument on a terminal\n"
    "                         starts the interactive console\n"
    "  thumbnail INPUT OUTPUT SIZE\n"
    "                         a project's current frame as a PNG thumbnail\n"
    "  help COMMAND           the options of a command (or velmora COMMAND --help)\n"
    "  help KEYWORD           one parameter of a project (brightness, resolution, ...)\n"
    "  help examples          the example projects (full paths, one a line)\n"
    "  --version              the program's version\n"
    "render, movie and params take --set KEYWORD=VALUE (a parameter keyed at the\n"
    "frame, as a project would), --key KEYWORD@FRAME=VALUE (a key at any frame),\n"
    "--curve KEYWORD=TEXT (a whole curve) and --strict; '-' as PROJECT reads stdin.\n"
    "topics:\n");

struct CommandEntry {
  const char* name;
  int (*run)(const velmora::cli::Args&);
};

const CommandEntry kCommands[] = {
    {"render", velmora::cli::CmdRender}, {"params", velmora::cli::CmdParams},
    {"brel", velmora::cli::CmdBrel},     {"resave", velmora::cli::CmdResave},
    {"movie", velmora::cli::CmdMovie},   {"settings", velmora::cli::CmdSettings},
    {"farm", velmora::cli::CmdFarm},     {"assemble", velmora::cli::CmdAssemble},
    {"thumbnail", velmora::cli::CmdThumbnail},
};

// The status once the standard streams are flushed: output that could not
// be written is a failure (status 1) even when the command itself succeeded.
int FinishStreams(int status) {
  errno = 0;
  std::cout.flush();
  const bool outLost = std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout.good();
  const std::string reason = velmora::cli::LostOutputReason();
  const bool errLost = std::fflush(stderr) != 0 || std::ferror(stderr);
  if (outLost && !errLost)
    std::fprintf(stderr, "velmora: %s%s\n", velmora::Msg("cannot write the output"), reason.c_str());
  if ((outLost || errLost) && (status == 0 || status == 3)) return 1;
  return status;
}

const CommandEntry* FindCommand(const std::string& name) {
  for (const CommandEntry& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

std::string Usage() { return Msg(kUsage) + velmora::cli::HelpTopicLines(); }

// help COMMAND: that command's own help; help TOPIC: the topic; help
// KEYWORD: one parameter of the table.
int Help(const std::string& name) {
  using namespace velmora::cli;
  if (const CommandEntry* c = FindCommand(name)) return c->run({"--help"});
  if (name == "examples") return CmdHelpExamples({});
  if (const HelpTopic* t = FindHelpTopic(name)) return WriteStdout("help", t->text()) ? 0 : 1;
  if (const auto text = KeywordHelp(name)) return WriteStdout("help", *text) ? 0 : 1;
  return Fail(2, MsgFormat("help: '%s' is no command, topic or parameter (try 'velmora --help')",
                           {name}));
}

}  // namespace

int Run(int argc, char** argv) {
  using namespace velmora::cli;
  if (argc < 2) {
    std::fputs(Usage().c_str(), stderr);
    return 2;
  }
  const std::string cmd = argv[1];
  Args args(argv + 2, argv + argc);
  if (cmd == "--version" || cmd == "-V") {
    std::printf("velmora %s\n", VELMORA_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    if (cmd == "help" && !args.empty()) return Help(args[0]);
    return WriteStdout("help", Usage()) ? 0 : 1;
  }
  if (const CommandEntry* c = FindCommand(cmd)) return c->run(args);
  return Fail(2, MsgFormat("unknown command '%s' (try 'velmora --help')", {cmd}));
}

int main(int argc, char** argv) {
  // A reader that goes away (`velmora render -o - | head -c1`) makes writes
  // fail with EPIPE, reported as lost output with status 1, rather than
  // ending the process silently.
  std::signal(SIGPIPE, SIG_IGN);
  velmora::SetUpMessageLanguage(argv[0]);
  int status = 1;
  try {
    status = Run(argc, argv);
  } catch (const std::bad_alloc&) {
    // Where a command does not say what it could not have, this still ends
    // with one line and status 1, never with an abort.
    status = velmora::cli::Fail(1, velmora::Msg("not enough memory"));
  }
  return FinishStreams(status);
}
