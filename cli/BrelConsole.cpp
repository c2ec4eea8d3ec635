// The interactive Brel console: line editing (the line editor module, see
// cli/LineEditor.h) with a history kept in the user's data folder,
// definitions and blocks over several lines, dot commands, and Ctrl-C that
// stops the running program but keeps the environment.
#include <signal.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/Module.h"
#include "base/Translate.h"
#include "cli/BrelOutput.h"
#include "cli/Commands.h"
#include "anim/Token.h"
#include "cli/HelpTopics.h"
#include "cli/LineEditor.h"
#include "script/BrelReader.h"

namespace velmora::cli {

namespace {

volatile std::sig_atomic_t interruptSignal = 0;

void OnInterrupt(int) { interruptSignal = 1; }

// Ctrl-C sets interruptSignal while the console runs; reads are not
// restarted, so a Ctrl-C at the prompt ends the wait for the line.
class InterruptFlag {
 public:
  InterruptFlag() {
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old_);
  }
  ~InterruptFlag() { sigaction(SIGINT, &old_, nullptr); }
  InterruptFlag(const InterruptFlag&) = delete;
  InterruptFlag& operator=(const InterruptFlag&) = delete;

 private:
  struct sigaction old_ = {};
};

// $XDG_DATA_HOME/velmora/brel_history (~/.local/share without it); the
// folders are made when missing.  Empty when there is no home.
std::string HistoryPath() {
  std::string dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    dir = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    dir = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  dir += "/velmora";
  for (size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
    mkdir(dir.substr(0, at).c_str(), 0700);  // the whole path at the end
    if (at == std::string::npos) break;
  }
  return dir + "/brel_history";
}

std::string Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  return std::string(s);
}

// Names wrapped into lines of at most 78 characters, indented.
void PrintNames(const char* heading, const std::vector<std::string>& names) {
  std::printf("%s (%zu):\n", Msg(heading), names.size());
  std::string line = " ";
  for (const std::string& n : names) {
    if (line.size() + 1 + n.size() > 78) {
      std::printf("%s\n", line.c_str());
      line = " ";
    }
    line += " " + n;
  }
  if (line.size() > 1) std::printf("%s\n", line.c_str());
}

constexpr const char* kConsoleHelp = MsgNoop(
    "Each line runs in the same environment: values, variables and words stay.\n"
    "A definition (: name ... ;) or block (if, begin, while, for, on) may span\n"
    "lines: the prompt shows what is still open, and the text runs once it is\n"
    "closed.  'man WORD' shows a word's manual (for a project keyword, what the\n"
    "parameter is); 'cont' continues after terminate.\n"
    "Ctrl-C stops a running program (or drops an unfinished definition); at an\n"
    "empty prompt Ctrl-C or Ctrl-D leaves.  The history is kept in\n"
    "$XDG_DATA_HOME/velmora/brel_history.\n"
    "  .words   the built-in words and your own\n"
    "  .stack   the top 20 values of the stack, top first (.stack N: N values)\n"
    "  .clear   empty the value stack\n"
    "  .help    this text\n");

// The top LIMIT values of the stack, top first, and how many more lie
// below: a stack of millions stays a few lines.
void PrintStack(BrelEnvH env, size_t limit) {
  for (const std::string& l : BrelStackLines(env, limit)) std::printf("  %s\n", l.c_str());
  if (env->values.size() > limit)
    std::printf("  %s\n", MsgFormat("... %s more below (%s values; '.stack N' shows N, "
                                     "'.clear' empties the stack)",
                                     {std::to_string(env->values.size() - limit),
                                      std::to_string(env->values.size())})
                             .c_str());
}

// The values the console shows after each line and for '.stack'.
constexpr size_t kShownValues = 20;

// A console command (a line starting with a dot).
void DotCommand(BrelEnvH env, const std::string& command) {
  if (command == ".help") {
    std::fputs(Msg(kConsoleHelp), stdout);
  } else if (command == ".words") {
    std::vector<std::string> builtIn, own;
    for (const BrelCellPtr& cell : env->dictionary.Cells()) builtIn.push_back(cell->name);
    for (const BrelEntryPtr& entry : env->tables.front())
      own.push_back(entry->name + (entry->value.type == kBrelWord ? "" : Msg(" (variable)")));
    PrintNames(MsgNoop("built-in words"), builtIn);
    PrintNames(MsgNoop("your words and variables"), own);
  } else if (command == ".stack" || command.rfind(".stack ", 0) == 0) {
    size_t limit = kShownValues;
    if (command.size() > 7) {
      const auto n = ParseInt32(Trim(std::string_view(command).substr(7)));
      if (!n || *n < 0) {
        std::printf("%s\n", Msg(".stack takes a number of values to show"));
        return;
      }
      limit = static_cast<size_t>(*n);
    }
    if (env->values.empty()) std::printf("%s\n", Msg("(the stack is empty)"));
    PrintStack(env, limit);
  } else if (command == ".clear") {
    env->values.clear();
  } else {
    std::printf("%s\n",
                MsgFormat("unknown console command '%s' (.words, .stack, .clear, .help)", {command})
                    .c_str());
  }
}

// Leaves blocks and word calls a failed or stopped text opened, so that the
// next line starts at the top level; values and global names stay.
void BackToTopLevel(BrelEnvH env) {
  env->frames.clear();
  if (env->tables.size() > 1) env->tables.resize(1);
}

}  // namespace

const LineEditorModule* LoadLineEditorModule(std::string* error) {
  using Entry = const LineEditorModule* (*)();
  void* entry = LoadModuleEntry("libvelmora-lineedit.so", "velmora_lineedit_module", error);
  return entry ? reinterpret_cast<Entry>(entry)() : nullptr;
}

int RunBrelConsole() {
  std::string why;
  const LineEditorModule* editing = LoadLineEditorModule(&why);
  if (!editing) return Fail(1, MsgFormat("cannot start the console: %s", {why}));
  StdoutConsole console;
  BrelEnvH env = BrelCreateEnv("brel", &console);
  if (!env) return Fail(1, Msg("cannot create the Brel environment"));
  InterruptFlag interruptFlag;
  env->budget->interrupt = &interruptSignal;

  const std::unique_ptr<LineEditor> editor = editing->Open(HistoryPath());

  std::fputs(Msg("Brel console: each line runs in the same environment.  '.help' explains\n"
                 "the console, '.words' lists the words; Ctrl-D leaves.\n"),
             stdout);
  bool pending = false;  // a terminate left something to continue
  std::string text;      // lines of a definition or block still open
  std::string line;
  for (;;) {
    const std::vector<std::string> open = BrelOpenBlocks(text);
    std::string prompt = "brel> ";
    if (!text.empty()) {
      prompt = "  ";
      for (const std::string& o : open) prompt += o + " ";
      prompt += "... ";
    }
    interruptSignal = 0;
    bool typed = false;
    if (!editor->ReadLine(prompt, line, typed)) {
      if (interruptSignal && (typed || !text.empty())) {
        // Ctrl-C drops what was being typed and starts afresh.
        std::printf("^C\n");
        text.clear();
        editor->Reset();
        continue;
      }
      break;  // Ctrl-D, or Ctrl-C at an empty prompt
    }
    const std::string trimmed = Trim(line);
    if (!trimmed.empty()) editor->Remember(line);
    if (text.empty() && !trimmed.empty() && trimmed.front() == '.') {
      DotCommand(env, trimmed);
      continue;
    }
    if (text.empty()) {
      // man KEYWORD of a project file: the console has no project words, so
      // the parameter table explains it.
      const std::string_view rest =
          std::string_view(trimmed).substr(std::min<size_t>(4, trimmed.size()));
      if (trimmed.rfind("man ", 0) == 0 && !env->dictionary.Find(Trim(rest), false)) {
        if (const auto help = KeywordHelp(Trim(rest))) {
          std::fputs(help->c_str(), stdout);
          continue;
        }
      }
    }
    text += text.empty() ? line : "\n" + line;
    if (!BrelOpenBlocks(text).empty()) continue;
    const std::string run = std::move(text);
    text.clear();

    bool ok;
    if (Trim(run) == "cont") {
      // Continue the stopped program without appending the line, so that
      // the continued run ends where the stopped line ended.
      if (!pending) {
        std::printf("%s\n", Msg("nothing to continue"));
        continue;
      }
      ok = BrelContinue(env);
    } else {
      ok = BrelRunLine(env, run);
    }
    const bool interrupted = interruptSignal != 0;
    interruptSignal = 0;
    pending = ok && env->stopped && env->resume > 0 && env->pointer == env->resume;
    if (!console.EndsLine()) console.Append("\n");  // writes it too
    if (!ok) {
      std::fflush(stdout);
      if (interrupted)
        std::fprintf(stderr, "\n%s\n", Msg("interrupted"));
      else
        PrintError(env);
      BackToTopLevel(env);
    } else if (Trim(run).rfind("man ", 0) == 0 && !env->values.empty() &&
               env->values.back().type == kBrelStr) {
      std::printf("%s\n", BrelPopValue(env).text.c_str());
    }
    if (pending) std::printf("%s\n", Msg("(stopped; 'cont' continues)"));
    PrintStack(env, kShownValues);
  }
  std::printf("\n");
  editor->SaveHistory();
  BrelFreeEnv(env);
  return 0;
}

}  // namespace velmora::cli
