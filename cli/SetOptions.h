// Parameters given on the command line, applied to the open project as if
// the project had keyed them:
//   --set KEYWORD=VALUE        a key at the frame being rendered; also
//                              resolution=WxH, frames=MIN..MAX and the
//                              switches (0 or 1)
//   --key KEYWORD@FRAME=VALUE  a key at FRAME (repeatable: an animation)
//   --curve KEYWORD=TEXT       the whole curve in its text form
// KEYWORD is a name of the parameter table ("complex", "cloud_position.x").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "anim/Document.h"
#include "anim/ParamTable.h"

namespace velmora::cli {

class CommandLine;

struct SetOption {
  enum class Kind : uint8_t { Set, Key, Curve };
  Kind kind = Kind::Set;
  const TParamInfo* param = nullptr;
  double value = 0;       // a curve's key value, a switch's 0 or 1
  int32_t first = 0;      // resolution W / frames MIN / the frame of --key
  int32_t second = 0;     // resolution H / frames MAX
  std::string curveText;  // the text of --curve
};

// The texts of --set, --key and --curve as given.
struct ParamOptionTexts {
  std::vector<std::string> set, key, curve;
};

// Registers --set, --key and --curve on CL.
void AddParamOptions(CommandLine& cl, ParamOptionTexts& texts);

// Parses every text; the first one that is refused gives the message (which
// lists the near names for an unknown keyword).
std::optional<std::string> ParseParamOptions(const ParamOptionTexts& texts,
                                             std::vector<SetOption>& out);
// The same for --set texts alone.
std::optional<std::string> ParseSetOptions(const std::vector<std::string>& texts,
                                           std::vector<SetOption>& out);

// Applies the options to DOC: settings first as the project words set them,
// then the curves of --curve, the keys of --key, and last every --set curve
// keyed at FRAME (by default the timeline's position once the settings are
// applied), which it returns.
int32_t ApplySetOptions(Document& doc, const std::vector<SetOption>& sets,
                        std::optional<int32_t> frame);

}  // namespace velmora::cli
