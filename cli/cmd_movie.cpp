#include "cli/Commands.h"

namespace velmora::cli {

int CmdMovie(const Args&) { return Fail(1, "the movie command is not available yet"); }

}  // namespace velmora::cli
