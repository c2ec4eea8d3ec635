#include "base/Strings.h"

namespace velmora {

std::string Trim(std::string_view s, std::string_view blanks) {
  const size_t a = s.find_first_not_of(blanks);
  if (a == std::string_view::npos) return "";
  const size_t b = s.find_last_not_of(blanks);
  return std::string(s.substr(a, b - a + 1));
}

std::string ToLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace velmora
