// --set KEYWORD=VALUE: a parameter given on the command line, applied to the
// open project as a key at the frame being rendered, as if the project had
// keyed it there.  KEYWORD is a name of the parameter table ("complex",
// "cloud_position.x"); resolution=WxH and frames=MIN..MAX set the output size
// and the timeline, and the switches take 0 or 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "anim/Document.h"
#include "anim/ParamTable.h"

namespace velmora::cli {

struct SetOption {
  const TParamInfo* param = nullptr;
  double value = 0;       // a curve's key value, a switch's 0 or 1
  int32_t first = 0;      // resolution W / frames MIN
  int32_t second = 0;     // resolution H / frames MAX
};

// Parses every TEXT; the first one that is refused gives the message (which
// lists the near names for an unknown keyword).
std::optional<std::string> ParseSetOptions(const std::vector<std::string>& texts,
                                           std::vector<SetOption>& out);

// Applies the options in order to DOC: settings first as the project words
// set them, then every curve keyed at FRAME (by default the timeline's
// position once the settings are applied), which it returns.
int32_t ApplySetOptions(Document& doc, const std::vector<SetOption>& sets,
                        std::optional<int32_t> frame);

}  // namespace velmora::cli
