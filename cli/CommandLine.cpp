#include "cli/CommandLine.h"

#include <cmath>
#include <cstdio>

#include "anim/Token.h"
#include "base/NumberText.h"
#include "base/Translate.h"

namespace velmora::cli {

std::optional<int> CommandLine::WorkPerPixel(const std::optional<std::string>& text,
                                             long double& out) {
  if (!text) return std::nullopt;
  const auto v = ParseReal(*text);
  if (!v || !(*v >= 0) || !std::isfinite(*v))
    return Usage(MsgFormat("--max-work needs operations per pixel of 0 or more, not '%s'", {*text}));
  out = *v;
  return std::nullopt;
}

CommandLine::CommandLine(std::string command, const char* usage)
    : command_(std::move(command)), usage_(usage), app_("", "velmora " + command_) {
  app_.allow_extras();  // reported below in the command's own words
  app_.add_option("args", positional_);
}

void CommandLine::Value(const std::string& names, std::optional<std::string>& slot,
                        const std::string& needs) {
  CLI::Option* opt = app_.add_option_function<std::string>(
      names, [&slot](const std::string& v) { slot = v; });
  opt->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  needs_[opt->get_name()] = needs;
}

void CommandLine::Values(const std::string& names, std::vector<std::string>& slot,
                         const std::string& needs) {
  CLI::Option* opt = app_.add_option(names, slot)->expected(1)->multi_option_policy(
      CLI::MultiOptionPolicy::TakeAll);
  needs_[opt->get_name()] = needs;
}

void CommandLine::Flag(const std::string& names, bool& slot) { app_.add_flag(names, slot); }

std::optional<int> CommandLine::Parse(const Args& args) {
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app_.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    std::fputs(usage_, stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    // "--frame: 1 required TEXT missing" and the like: say what it needs.
    const std::string what = e.what();
    const std::string name = what.substr(0, what.find(':'));
    const auto n = needs_.find(name);
    if (n != needs_.end()) return Usage(MsgFormat("%s needs %s", {name, Msg(n->second.c_str())}));
    if (name.rfind("--", 0) == 0 && what.find("allowed") != std::string::npos)
      return Usage(MsgFormat("%s takes no value", {name}));
    return Usage(what);
  }
  for (const std::string& extra : app_.remaining())
    if (extra.size() > 1 && extra[0] == '-') return Usage(MsgFormat("unknown option '%s'", {extra}));
  if (!positional_.empty()) {
    if (!project_) return Usage(MsgFormat("unknown argument '%s'", {positional_.front()}));
    if (positional_.size() > 1) return Usage(Msg("more than one project given"));
    *project_ = positional_.front();
  }
  return std::nullopt;
}

std::optional<int> CommandLine::Int(const std::optional<std::string>& text,
                                    const std::string& name, const std::string& what,
                                    std::optional<int32_t>& out) const {
  if (!text) return std::nullopt;
  out = ParseInt32(*text);
  if (!out) return Usage(MsgFormat("%s needs %s, not '%s'", {name, Msg(what.c_str()), *text}));
  return std::nullopt;
}

std::optional<int> CommandLine::Threads(const std::optional<std::string>& text,
                                        std::optional<int32_t>& out) const {
  if (!text) return std::nullopt;
  out = ParseInt32(*text);
  if (!out || *out < 1 || *out > kMaxThreads)
    return Usage(MsgFormat("--threads needs a whole number from 1 to %s, not '%s'",
                           {std::to_string(kMaxThreads), *text}));
  return std::nullopt;
}

std::optional<std::pair<int32_t, int32_t>> ParseSize(const std::string& text) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const auto w = ParseInt32(std::string_view(text).substr(0, x));
  const auto h = ParseInt32(std::string_view(text).substr(x + 1));
  if (!w || !h || *w < 1 || *h < 1) return std::nullopt;
  return std::make_pair(*w, *h);
}

}  // namespace velmora::cli
