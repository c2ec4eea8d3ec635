// Type tests, conversions, output and information words.
#include <cmath>

#include "base/NumberText.h"
#include "base/Numeric.h"
#include "script/BrelWords.h"

namespace velmora {

std::string BrelValueText(const BrelValue& v) {
  switch (v.type) {
    case kBrelStr:
      return v.text;
    case kBrelReal:
      return FormatReal(v.real);
    default:
      return std::to_string(v.num);
  }
}

namespace brelword {

namespace {

bool TypeTest(BrelEnvH env, uint8_t type) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "typeof");
    return false;
  }
  return BrelPushInt(env, env->values.back().type == type ? -1 : 0);
}

// Reads a number written in a text: blanks (0x20) around it, an optional
// sign, digits with an optional fraction, an optional exponent.
std::optional<long double> ReadNumberText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::optional<long double> v = ParseReal(text);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

enum class ToIntMode { kTrunc, kRound };

bool ConvertToInt(BrelEnvH env, ToIntMode mode, std::string_view word) {
  if (env->values.empty()) {
    BrelSetError(env, 6, word);
    return false;
  }
  BrelValue v = BrelPopValue(env);
  long double x;
  switch (v.type) {
    case kBrelInt:
      return BrelPushInt(env, v.num);
    case kBrelReal:
      x = v.real;
      break;
    case kBrelStr: {
      std::optional<long double> r = ReadNumberText(v.text);
      if (!r) {
        BrelSetError(env, 4, word);
        return false;
      }
      x = *r;
      break;
    }
    default:
      BrelSetError(env, 2, word);
      return false;
  }
  const long double n = mode == ToIntMode::kTrunc ? std::truncl(x) : RoundEven(x);
  if (!(n >= -2147483648.0L && n <= 2147483647.0L)) {
    BrelSetError(env, 4, word);
    return false;
  }
  return BrelPushInt(env, static_cast<int32_t>(n));
}

}  // namespace

bool IsStr(BrelEnvH env) { return TypeTest(env, kBrelStr); }
bool IsInt(BrelEnvH env) { return TypeTest(env, kBrelInt); }
bool IsReal(BrelEnvH env) { return TypeTest(env, kBrelReal); }

bool ToInt(BrelEnvH env) { return ConvertToInt(env, ToIntMode::kTrunc, "int"); }
bool ToRound(BrelEnvH env) { return ConvertToInt(env, ToIntMode::kRound, "round"); }

bool ToReal(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "real");
    return false;
  }
  BrelValue v = BrelPopValue(env);
  switch (v.type) {
    case kBrelInt:
      return BrelPushReal(env, static_cast<long double>(v.num));
    case kBrelReal:
      return BrelPushReal(env, v.real);
    case kBrelStr: {
      std::optional<long double> r = ReadNumberText(v.text);
      if (!r) {
        BrelSetError(env, 4, "real");
        return false;
      }
      return BrelPushReal(env, *r);
    }
    default:
      BrelSetError(env, 2, "real");
      return false;
  }
}

bool ToStr(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "str");
    return false;
  }
  BrelValue v = BrelPopValue(env);
  if (v.type == kBrelLabel || v.type == kBrelWord) {
    BrelSetError(env, 2, "str");
    return false;
  }
  return BrelPushStr(env, BrelValueText(v));
}

bool AsciiStr(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetErrorText(env, 6, "Value STACK UnderFlow.");
    return false;
  }
  int32_t n;
  if (!BrelPopInt(env, n)) {
    BrelSetError(env, 2, "asciistr");
    return false;
  }
  if (n < 0 || n > 255) {
    BrelSetErrorText(env, 4, "Can not Convert Ascii Code.");
    return false;
  }
  return BrelPushStr(env, std::string(1, static_cast<char>(static_cast<unsigned char>(n))));
}

bool Print(BrelEnvH env) {
  if (!env->console) {
    BrelSetError(env, 0);
    return false;
  }
  if (env->values.empty()) {
    BrelSetError(env, 6);
    return false;
  }
  BrelValue v = BrelPopValue(env);
  if (v.type == kBrelLabel || v.type == kBrelWord) {
    // Positions are shown relative to the program text.
    const int64_t rel = static_cast<int64_t>(v.num) - static_cast<int64_t>(env->userDictionary.size());
    env->console->Append(std::to_string(rel));
  } else {
    env->console->Append(BrelValueText(v));
  }
  return true;
}

bool Cr(BrelEnvH env) {
  if (!env->console) {
    BrelSetError(env, 0);
    return false;
  }
  env->console->Append("\r\n");
  return true;
}

bool Version(BrelEnvH env) { return BrelPushReal(env, kBrelVersion); }

bool EnvName(BrelEnvH env) { return BrelPushStr(env, env->name); }

}  // namespace brelword
}  // namespace velmora
