// Small helpers for the subcommands' argument parsing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace velmora::cli {

// "WxH" with both parts whole positive integers, or nothing.
std::optional<std::pair<int32_t, int32_t>> ParseSize(const std::string& text);

// The render thread count of --threads: a whole number from 1 to
// kMaxThreads, or nothing.
constexpr int32_t kMaxThreads = 256;
std::optional<int32_t> ParseThreads(const std::string& text);

}  // namespace velmora::cli
