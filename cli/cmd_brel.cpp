#include "cli/Commands.h"

namespace velmora::cli {

int CmdBrel(const Args&) { return Fail(1, "the brel command is not available yet"); }

}  // namespace velmora::cli
