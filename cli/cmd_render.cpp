#include "cli/Commands.h"

namespace velmora::cli {

int CmdRender(const Args&) { return Fail(1, "the render command is not available yet"); }

}  // namespace velmora::cli
