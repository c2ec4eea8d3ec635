// What the Brel command and console write: the program's own output on
// stdout, errors and the value stack on stderr.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "script/Brel.h"

namespace velmora::cli {

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

// Writes a whole line to stderr; messages and texts may hold any byte, NUL
// included, so nothing here goes through a C string.
void ErrLine(std::string_view prefix, std::string_view text);

// "error CODE: MESSAGE" of the environment's last error.
void PrintError(BrelEnvH env);

// The interactive console (stdin a terminal): line editing and history,
// definitions over several lines, dot commands, Ctrl-C.
int RunBrelConsole();

}  // namespace velmora::cli
