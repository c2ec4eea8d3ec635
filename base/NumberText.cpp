#include "base/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace velmora {

std::string FormatReal(long double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0) return "0";

  // Round to 15 significant digits: d.dddddddddddddde[+-]X, locale-free.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
  std::string sci(buf, res.ptr);

  bool negative = false;
  size_t pos = 0;
  if (sci[pos] == '-') {
    negative = true;
    ++pos;
  }
  std::string digits;
  size_t ePos = sci.find('e', pos);
  for (size_t i = pos; i < ePos; ++i)
    if (sci[i] != '.') digits += sci[i];
  int exp10 = std::atoi(sci.c_str() + ePos + 1);  // value = d.ddd * 10^exp10
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exp10 >= -4 && exp10 < 15) {
    if (exp10 < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-exp10 - 1), '0');
      out += digits;
    } else {
      const size_t intLen = static_cast<size_t>(exp10) + 1;
      if (digits.size() <= intLen) {
        out += digits;
        out.append(intLen - digits.size(), '0');
      } else {
        out += digits.substr(0, intLen);
        out += '.';
        out += digits.substr(intLen);
      }
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exp10);
  }
  return out;
}

std::string FormatInt(long long v) { return std::to_string(v); }

std::optional<long double> ParseReal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // from_chars accepts neither a leading '+' nor "inf"/"nan" spellings we do
  // not want; check the shape first.
  std::string_view body = text;
  bool plus = false;
  if (body[0] == '+') {
    plus = true;
    body.remove_prefix(1);
  }
  size_t i = 0;
  if (!plus && i < body.size() && body[i] == '-') ++i;
  size_t mant = 0;
  while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++mant;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++mant;
  }
  if (mant == 0) return std::nullopt;
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    size_t ed = 0;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++ed;
    if (ed == 0) return std::nullopt;
  }
  if (i != body.size()) return std::nullopt;
  long double v = 0;
  auto r = std::from_chars(body.data(), body.data() + body.size(), v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow gives an infinity of the right sign, underflow zero.
    bool neg = body[0] == '-';
    size_t e = body.find_first_of("eE");
    bool tiny = e != std::string_view::npos && e + 1 < body.size() && body[e + 1] == '-';
    if (tiny) return neg ? -0.0L : 0.0L;
    return neg ? -HUGE_VALL : HUGE_VALL;
  }
  if (r.ec != std::errc() || r.ptr != body.data() + body.size()) return std::nullopt;
  return v;
}

}  // namespace velmora
