// The token reader of the curve text form: tokens are separated by one blank
// (any character of code 32 or below) or by "=", with the white space after
// the separator skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

struct TTokenReader {
  std::string_view text;  // already trimmed of leading and trailing white space
  size_t pos = 0;
};

// Starts reading TEXT: leading and trailing characters of code 32 or below are
// skipped.
TTokenReader BeginTokens(std::string_view text);

// Reads the next token into TOKEN.  A token runs up to, not including, the next
// "=" or white-space character; that one separator is consumed and the white
// space after it skipped, so "a =b" gives "a", "" and "b".  Returns false when
// the text is used up (no token; an empty token before the end is a token).
bool NextToken(TTokenReader& reader, std::string_view& token);

// A decimal integer: an optional sign and at least one digit, nothing else,
// within the int32 range.
std::optional<int32_t> ParseInt32(std::string_view text);

}  // namespace velmora
