// Entry point of the command-line front end: dispatches to the subcommands.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "base/Translate.h"
#include "cli/Commands.h"

namespace velmora::cli {

int Fail(int status, const std::string& message) {
  std::cerr << "velmora: " << message << "\n";
  return status;
}

}  // namespace velmora::cli

namespace {

const char kUsage[] =
    "usage: velmora COMMAND [ARGS]\n"
    "commands:\n"
    "  render [PROJECT.vlm] -o OUT [--frame N] [--buffer NAME] [options]\n"
    "                         render one still picture (.bmp, .png, .jpg)\n"
    "  params [PROJECT.vlm] [--frame N]\n"
    "                         print the frame record at a frame\n"
    "  resave PROJECT.vlm [-o OUT.vlm]\n"
    "                         open a project and write it as Save does\n"
    "  movie [PROJECT.vlm] [-o OUT] [--alpha OUT] [options]\n"
    "                         render the timeline as a movie or numbered series\n"
    "  settings [--jpeg-quality Q]\n"
    "                         show the settings file; store the JPEG quality\n"
    "  brel [--stack] (-e TEXT | FILE | -)\n"
    "                         run a Brel program; no argument on a terminal\n"
    "                         starts the interactive console\n"
    "Run 'velmora COMMAND --help' for the options of a command.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace velmora::cli;
  velmora::SetUpMessageLanguage(argv[0]);
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string cmd = argv[1];
  Args args(argv + 2, argv + argc);
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (cmd == "render") return CmdRender(args);
  if (cmd == "params") return CmdParams(args);
  if (cmd == "brel") return CmdBrel(args);
  if (cmd == "resave") return CmdResave(args);
  if (cmd == "movie") return CmdMovie(args);
  if (cmd == "settings") return CmdSettings(args);
  return Fail(2, "unknown command '" + cmd + "' (try 'velmora --help')");
}
