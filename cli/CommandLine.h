// The argument parser of one subcommand: CLI11 does the tokenising (options
// with "--name value" or "--name=value", flags, the project as a positional
// argument); this wrapper keeps the command's own help text and turns every
// parse error into one "velmora: COMMAND: ..." line with exit status 2.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/Commands.h"

namespace velmora::cli {

class CommandLine {
 public:
  CommandLine(std::string command, const char* usage);

  CLI::App& App() { return app_; }
  const std::string& Command() const { return command_; }

  // An option that takes one value, kept as text; NEEDS says what it takes
  // ("a file name") for the message when the value is missing.
  void Value(const std::string& names, std::optional<std::string>& slot, const std::string& needs);
  // The same, repeatable: every value in order.
  void Values(const std::string& names, std::vector<std::string>& slot, const std::string& needs);
  void Flag(const std::string& names, bool& slot);
  // The one project (or program) argument; a second one is a usage error.
  void Project(std::optional<std::string>& slot) { project_ = &slot; }

  // Parses ARGS.  Returns the status when the command must stop: 0 after the
  // help text was printed, 2 after a usage error was reported.
  std::optional<int> Parse(const Args& args);

  // Usage errors print nothing: the command reports them itself.
  void Quiet() { quiet_ = true; }

  // Reports "velmora: COMMAND: MESSAGE" and returns 2.
  int Usage(const std::string& message) const {
    return quiet_ ? 2 : Fail(2, command_ + ": " + message);
  }

  // The integer in TEXT (when given) into OUT; otherwise the usage error
  // "NAME needs WHAT, not 'TEXT'".
  std::optional<int> Int(const std::optional<std::string>& text, const std::string& name,
                         const std::string& what, std::optional<int32_t>& out) const;

  // The render thread count of --threads in TEXT (when given) into OUT: a
  // whole number from 1 to kMaxThreads, otherwise a usage error.
  static constexpr int32_t kMaxThreads = 256;
  std::optional<int> Threads(const std::optional<std::string>& text,
                             std::optional<int32_t>& out) const;

  // The help text of the command.
  const char* Help() const { return usage_; }

 private:
  std::string command_;
  const char* usage_;
  CLI::App app_;
  std::optional<std::string>* project_ = nullptr;
  bool quiet_ = false;
  std::vector<std::string> positional_;
  std::map<std::string, std::string> needs_;  // option name -> what it takes
};

// "WxH" with both parts whole positive integers, or nothing.
std::optional<std::pair<int32_t, int32_t>> ParseSize(const std::string& text);

}  // namespace velmora::cli
