// `velmora help`: a table of topics beside the commands, and the help of one
// project keyword taken from the parameter table (also what the console's
// `man KEYWORD` shows for a keyword the console does not know as a word).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "anim/ParamTable.h"
#include "cli/Commands.h"

namespace velmora::cli {

// One topic of `velmora help TOPIC`.  Other topics are one row more in the
// table of HelpTopics.cpp.
struct HelpTopic {
  const char* name;
  const char* summary;   // one line for the topic list (an English source text)
  std::string (*text)();  // the whole text, in the language of the messages
};

// The topic named NAME, or null.
const HelpTopic* FindHelpTopic(std::string_view name);
// The "topics:" lines of the usage text, one per topic.
std::string HelpTopicLines();

// How the command line changes the parameter of ROW ("--set brightness=V,
// --key brightness@FRAME=V or --curve brightness=TEXT", "give --frame N").
std::string ParamChangeHint(const TParamInfo& row);

// The help of a project keyword or parameter name ("brightness",
// "cloud_position", "cloud_position.x", "resolution"), or nothing when NAME
// is neither.
std::optional<std::string> KeywordHelp(std::string_view name);

// `velmora params --list`: every parameter with its default, range, unit
// and meaning, how the command line changes the ones --set does not take,
// and where curve texts are explained.
std::string ParamListText();


}  // namespace velmora::cli
