// Small text helpers shared by every layer.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The bytes a trim drops by default: blank, tab, line ends, vertical tab, form feed.
inline constexpr std::string_view kBlanks = " \t\r\n\v\f";

// s without leading and trailing characters from blanks.
std::string Trim(std::string_view s, std::string_view blanks = kBlanks);

// s with ASCII letters lower-cased; other bytes unchanged.
std::string ToLower(std::string_view s);

bool EndsWith(std::string_view s, std::string_view suffix);

}  // namespace velmora
