#include "anim/Token.h"

namespace velmora {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

TTokenReader BeginTokens(std::string_view text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return TTokenReader{text.substr(b, e - b), 0};
}

bool NextToken(TTokenReader& reader, std::string_view& token) {
  const std::string_view t = reader.text;
  size_t p = reader.pos;
  if (p >= t.size()) return false;
  const size_t start = p;
  while (p < t.size() && t[p] != '=' && !IsBlank(t[p])) ++p;
  token = t.substr(start, p - start);
  if (p < t.size()) {
    ++p;  // the one separator
    while (p < t.size() && IsBlank(t[p])) ++p;
  }
  reader.pos = p;
  return true;
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(v);
}

}  // namespace velmora
