#include "cli/Commands.h"

namespace velmora::cli {

int CmdResave(const Args&) { return Fail(1, "the resave command is not available yet"); }

}  // namespace velmora::cli
