#include "script/BrelReader.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "base/NumberText.h"
#include "base/Translate.h"

namespace velmora {

std::string_view BrelReadToken(const std::string& text, int32_t& pos, std::string& buffer) {
  const size_t n = text.size();
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  size_t p = pos < 0 ? 0 : static_cast<size_t>(pos);
  auto finish = [&](size_t at) { pos = static_cast<int32_t>(at); };
  while (p < n && BrelIsDelimiter(s[p])) ++p;
  // Comments: from "(" to the first ")", then delimiters; repeated.
  while (p < n && s[p] == '(') {
    const void* close = std::memchr(s + p, ')', n - p);
    if (!close) {
      finish(n);
      return {};
    }
    p = static_cast<size_t>(static_cast<const unsigned char*>(close) - s) + 1;
    while (p < n && BrelIsDelimiter(s[p])) ++p;
  }
  if (p >= n) {
    finish(n);
    return {};
  }
  const size_t start = p;
  if (s[p] == '"') {
    const void* quote = p + 1 < n ? std::memchr(s + p + 1, '"', n - p - 1) : nullptr;
    if (quote) {
      p = static_cast<size_t>(static_cast<const unsigned char*>(quote) - s) + 1;
      finish(p);
      return std::string_view(text.data() + start, p - start);
    }
    buffer.assign(text, start, n - start);
    buffer += '"';
    finish(n);
    return buffer;
  }
  while (p < n && !BrelIsDelimiter(s[p])) ++p;
  finish(p);
  return std::string_view(text.data() + start, p - start);
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool LooksReal(std::string_view t) {
  if (t.find('.') != std::string_view::npos) return true;
  for (size_t i = 0; i + 1 < t.size(); ++i)
    if ((t[i] == 'e' || t[i] == 'E') && (t[i + 1] == '-' || t[i + 1] == '+')) return true;
  return false;
}

// Real literal: [+-] digits [. digits] [(e|E) [+-] digits], where the part
// before the exponent holds a digit or the point and the exponent digits may
// be missing (exponent 0).  The value must be finite.
bool ParseRealLiteral(std::string_view t, long double& out) {
  size_t i = 0;
  std::string canon;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    if (t[i] == '-') canon += '-';
    ++i;
  }
  size_t a = i;
  while (i < t.size() && IsDigit(t[i])) ++i;
  std::string_view intPart = t.substr(a, i - a);
  bool point = false;
  std::string_view fracPart;
  if (i < t.size() && t[i] == '.') {
    point = true;
    size_t b = ++i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    fracPart = t.substr(b, i - b);
  }
  if (intPart.empty() && fracPart.empty() && !point) return false;
  canon += intPart.empty() ? std::string_view("0") : intPart;
  canon += '.';
  canon += fracPart.empty() ? std::string_view("0") : fracPart;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    canon += 'e';
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
      if (t[i] == '-') canon += '-';
      ++i;
    }
    size_t c = i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    canon += i == c ? std::string_view("0") : t.substr(c, i - c);
  }
  if (i != t.size()) return false;
  std::optional<long double> v = ParseReal(canon);
  if (!v || !std::isfinite(*v)) return false;
  out = *v;
  return true;
}

bool ParseIntLiteral(std::string_view t, int32_t& out) {
  if (t.empty()) return false;
  if (t[0] == '$') {
    if (t.size() < 2) return false;
    uint64_t v = 0;
    for (size_t i = 1; i < t.size(); ++i) {
      int d = HexDigit(t[i]);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) return false;
    }
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  size_t i = 0;
  bool neg = false;
  if (t[0] == '+' || t[0] == '-') {
    neg = t[0] == '-';
    i = 1;
  }
  if (i >= t.size()) return false;
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (!IsDigit(t[i])) return false;
    v = v * 10 + (t[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  out = static_cast<int32_t>(v);
  return true;
}

}  // namespace

bool BrelParseLiteral(std::string_view token, BrelValue& value) {
  if (token.empty()) return false;
  if (token[0] == '"') {
    std::string_view body = token.substr(1);
    if (!body.empty() && body.back() == '"') body.remove_suffix(1);
    value = BrelValue::Str(std::string(body));
    return true;
  }
  if (LooksReal(token)) {
    long double r;
    if (!ParseRealLiteral(token, r)) return false;
    value = BrelValue::Real(r);
    return true;
  }
  int32_t n;
  if (!ParseIntLiteral(token, n)) return false;
  value = BrelValue::Int(n);
  return true;
}

bool PreLabelRegist(BrelEnvH env, int32_t from) {
  int32_t pos = from;
  std::string buffer;
  try {
    for (;;) {
      std::string_view tok = BrelReadToken(env->running, pos, buffer);
      if (tok.empty()) return true;
      if (tok == "man") {
        BrelReadToken(env->running, pos, buffer);
        continue;
      }
      if (tok != "label") continue;
      std::string name(BrelReadToken(env->running, pos, buffer));
      if (!BrelIsValidName(name)) {
        BrelSetError(env, 1, TrFormat("%s は、ラベルの名前として適切ではない", {name}));
        return false;
      }
      if (BrelFindName(env, name)) {
        BrelSetError(env, 14, TrFormat("%s は、同じスコープ内ですでに登録されている名前である", {name}));
        return false;
      }
      auto entry = std::make_shared<BrelVariable>();
      entry->name = std::move(name);
      entry->isLabel = true;
      entry->value = BrelValue::Position(kBrelLabel, pos);
      if (!RegistNameTable(env, std::move(entry))) {
        BrelSetError(env, 12, "PreLabelRegist");
        return false;
      }
    }
  } catch (...) {
    BrelSetError(env, 12, "PreLabelRegist");
    return false;
  }
}

std::string_view BrelSkipToElse(BrelEnvH env) {
  int depth = 0;
  for (;;) {
    std::string_view tok = BrelNextToken(env);
    if (tok.empty()) return tok;
    if (depth == 0 && (tok == "else" || tok == "endif")) return tok;
    if (tok == "if")
      ++depth;
    else if (tok == "endif")
      --depth;
  }
}

namespace {

bool IsOpener(std::string_view t) {
  return t == "if" || t == "begin" || t == "while" || t == "for" || t == ":";
}
bool IsCloser(std::string_view t) {
  return t == "endif" || t == "again" || t == "until" || t == "whend" || t == "next" || t == ";";
}

}  // namespace

std::vector<std::string> BrelOpenBlocks(const std::string& text) {
  std::vector<std::string> open;
  std::string buffer;
  int32_t pos = 0;
  bool name = false;  // the token is the name after a naming word
  for (std::string_view token; !(token = BrelReadToken(text, pos, buffer)).empty();) {
    if (token.front() == '"' && token.data() == buffer.data()) {
      open.emplace_back("\"");  // the string takes the rest of the text
      break;
    }
    if (name) {
      name = false;
      continue;
    }
    name = token == ":" || token == "for" || token == "man" || token == "label" ||
           token == "goto" || token == "ifgoto" || token == "forget";
    if (IsOpener(token) || token == "on")
      open.emplace_back(token);
    else if ((IsCloser(token) || token == "endon") && !open.empty())
      open.pop_back();
  }
  return open;
}

bool BrelSkipBlock(BrelEnvH env, std::string_view& closer) {
  int depth = 0;
  for (;;) {
    std::string_view tok = BrelNextToken(env);
    if (tok.empty()) {
      closer = tok;
      return false;
    }
    if (IsOpener(tok)) {
      ++depth;
    } else if (IsCloser(tok)) {
      if (depth == 0) {
        closer = tok;
        return true;
      }
      --depth;
    }
  }
}

bool BrelSkipDefinition(BrelEnvH env) {
  int depth = 0;
  for (;;) {
    std::string_view tok = BrelNextToken(env);
    if (tok.empty()) {
      BrelSetError(env, 1, Tr(": があるのに ; がない"));
      return false;
    }
    if (tok == ";") {
      if (depth == 0) return true;
      --depth;
    } else if (tok == ":") {
      ++depth;
    }
  }
}

}  // namespace velmora
