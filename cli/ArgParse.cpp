#include "cli/ArgParse.h"

#include "anim/Token.h"

namespace velmora::cli {

std::optional<std::pair<int32_t, int32_t>> ParseSize(const std::string& text) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const auto w = ParseInt32(std::string_view(text).substr(0, x));
  const auto h = ParseInt32(std::string_view(text).substr(x + 1));
  if (!w || !h || *w < 1 || *h < 1) return std::nullopt;
  return std::make_pair(*w, *h);
}

std::optional<int32_t> ParseThreads(const std::string& text) {
  const auto n = ParseInt32(text);
  if (!n || *n < 1 || *n > kMaxThreads) return std::nullopt;
  return *n;
}

}  // namespace velmora::cli
