#include "cli/BrelOutput.h"

#include <cstdio>

namespace velmora::cli {

void ErrLine(std::string_view prefix, std::string_view text) {
  std::fwrite(prefix.data(), 1, prefix.size(), stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}

void PrintError(BrelEnvH env) {
  ErrLine("error " + std::to_string(env->errorCode) + ": ", env->errorMessage);
}

}  // namespace velmora::cli
