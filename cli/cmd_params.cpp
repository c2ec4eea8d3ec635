#include "cli/Commands.h"

namespace velmora::cli {

int CmdParams(const Args&) { return Fail(1, "the params command is not available yet"); }

}  // namespace velmora::cli
