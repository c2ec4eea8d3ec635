// Stack words, arithmetic, comparison and logic.
#include <cmath>

#include "base/Numeric.h"
#include "base/Translate.h"
#include "script/BrelWords.h"

namespace velmora::brelword {

namespace {

bool Need(BrelEnvH env, size_t n, std::string_view word) {
  if (env->values.size() >= n) return true;
  BrelSetError(env, 6, word);
  return false;
}

bool IsNumber(const BrelValue& v) { return v.type == kBrelInt || v.type == kBrelReal; }

long double AsReal(const BrelValue& v) {
  return v.type == kBrelInt ? static_cast<long double>(v.num) : v.real;
}

enum class ArithOp { kAdd, kSub, kMul };

// + - * : ints wrap at 32 bits; a real on either side gives a real, and a
// real result beyond the real range is an arithmetic error.
bool Arith(BrelEnvH env, ArithOp op, std::string_view word) {
  if (!Need(env, 2, word)) return false;
  BrelValue b = BrelPopValue(env);
  BrelValue a = BrelPopValue(env);
  if (a.type == kBrelInt && b.type == kBrelInt) {
    int32_t r = op == ArithOp::kAdd   ? WrapAdd32(a.num, b.num)
                : op == ArithOp::kSub ? WrapSub32(a.num, b.num)
                                      : WrapMul32(a.num, b.num);
    return BrelPushInt(env, r);
  }
  if (IsNumber(a) && IsNumber(b)) {
    const long double x = AsReal(a), y = AsReal(b);
    const long double r = op == ArithOp::kAdd ? x + y : op == ArithOp::kSub ? x - y : x * y;
    if (!std::isfinite(r)) {
      BrelSetError(env, 3, word);
      return false;
    }
    return BrelPushReal(env, r);
  }
  if (op == ArithOp::kAdd && a.type == kBrelStr && b.type == kBrelStr) {
    if (a.text.size() + b.text.size() > env->limits.maxTextBytes) {
      BrelSetError(env, 12, word);
      return false;
    }
    a.text += b.text;
    return BrelPushValue(env, std::move(a));
  }
  BrelSetError(env, 2, word);
  return false;
}

enum class Cmp { kGt, kLt, kGe, kLe, kEq, kNe };

bool Compare(BrelEnvH env, Cmp op, std::string_view word) {
  if (!Need(env, 2, word)) return false;
  BrelValue b = BrelPopValue(env);
  BrelValue a = BrelPopValue(env);
  bool r;
  if (IsNumber(a) && IsNumber(b)) {
    if (a.type == kBrelInt && b.type == kBrelInt) {
      const int32_t x = a.num, y = b.num;
      r = op == Cmp::kGt ? x > y : op == Cmp::kLt ? x < y : op == Cmp::kGe ? x >= y
          : op == Cmp::kLe ? x <= y : op == Cmp::kEq ? x == y : x != y;
    } else {
      const long double x = AsReal(a), y = AsReal(b);
      r = op == Cmp::kGt ? x > y : op == Cmp::kLt ? x < y : op == Cmp::kGe ? x >= y
          : op == Cmp::kLe ? x <= y : op == Cmp::kEq ? x == y : x != y;
    }
  } else if ((op == Cmp::kEq || op == Cmp::kNe) && a.type == kBrelStr && b.type == kBrelStr) {
    r = (a.text == b.text) == (op == Cmp::kEq);
  } else {
    BrelSetError(env, 2, word);
    return false;
  }
  return BrelPushInt(env, r ? -1 : 0);
}

enum class Bit { kAnd, kOr, kXor };

bool Bitwise(BrelEnvH env, Bit op, std::string_view word) {
  if (!Need(env, 2, word)) return false;
  BrelValue b = BrelPopValue(env);
  BrelValue a = BrelPopValue(env);
  if (a.type != kBrelInt || b.type != kBrelInt) {
    BrelSetError(env, 2, word);
    return false;
  }
  const int32_t r = op == Bit::kAnd ? (a.num & b.num) : op == Bit::kOr ? (a.num | b.num)
                                                                        : (a.num ^ b.num);
  return BrelPushInt(env, r);
}

}  // namespace

bool Dup(BrelEnvH env) {
  if (!Need(env, 1, "dup")) return false;
  BrelValue copy = env->values.back();
  return BrelPushValue(env, std::move(copy));
}

bool Drop(BrelEnvH env) {
  if (!Need(env, 1, "drop")) return false;
  env->values.pop_back();
  return true;
}

bool Swap(BrelEnvH env) {
  if (!Need(env, 2, "swap")) return false;
  auto& v = env->values;
  std::swap(v[v.size() - 1], v[v.size() - 2]);
  return true;
}

bool Over(BrelEnvH env) {
  if (!Need(env, 2, "over")) return false;
  BrelValue copy = env->values[env->values.size() - 2];
  return BrelPushValue(env, std::move(copy));
}

bool Rot(BrelEnvH env) {
  if (!Need(env, 3, "rot")) return false;
  auto& v = env->values;
  const size_t n = v.size();
  // x y z -- y z x
  std::swap(v[n - 3], v[n - 2]);  // y x z
  std::swap(v[n - 2], v[n - 1]);  // y z x
  return true;
}

bool Depth(BrelEnvH env) {
  return BrelPushInt(env, static_cast<int32_t>(env->values.size()));
}

bool PDepth(BrelEnvH env) {
  return BrelPushInt(env, static_cast<int32_t>(env->frames.size()));
}

bool CleanStack(BrelEnvH env) {
  env->values.clear();
  return true;
}

bool CleanPStack(BrelEnvH env) {
  env->frames.clear();
  return true;
}

bool PDrop(BrelEnvH env) {
  if (env->frames.empty()) {
    BrelSetError(env, 8, "pdrop");
    return false;
  }
  env->frames.pop_back();
  return true;
}

bool Nop(BrelEnvH) { return true; }

bool Add(BrelEnvH env) { return Arith(env, ArithOp::kAdd, "+"); }
bool Sub(BrelEnvH env) { return Arith(env, ArithOp::kSub, "-"); }
bool Mul(BrelEnvH env) { return Arith(env, ArithOp::kMul, "*"); }

bool Div(BrelEnvH env) {
  // Division by zero and every other arithmetic fault of the division share
  // this one context, which scripts may test for.
  static constexpr const char* kFault = TrNoop("除算で零除算が発生しました。");
  if (!Need(env, 2, "/")) return false;
  BrelValue b = BrelPopValue(env);
  BrelValue a = BrelPopValue(env);
  if (a.type == kBrelInt && b.type == kBrelInt) {
    // The one int quotient outside the range overflows.
    if (b.num == 0 || (a.num == INT32_MIN && b.num == -1)) {
      BrelSetError(env, 3, Tr(kFault));
      return false;
    }
    return BrelPushInt(env, a.num / b.num);
  }
  if (IsNumber(a) && IsNumber(b)) {
    const long double y = AsReal(b);
    const long double r = AsReal(a) / y;
    if (y == 0 || !std::isfinite(r)) {
      BrelSetError(env, 3, Tr(kFault));
      return false;
    }
    return BrelPushReal(env, r);
  }
  BrelSetError(env, 2, "/");
  return false;
}

bool Mod(BrelEnvH env) {
  if (!Need(env, 2, "mod")) return false;
  BrelValue b = BrelPopValue(env);
  BrelValue a = BrelPopValue(env);
  if (a.type != kBrelInt || b.type != kBrelInt) {
    BrelSetError(env, 2, "mod");
    return false;
  }
  if (b.num == 0) {
    BrelSetError(env, 3, Tr("剰余で零除算が発生しました。"));
    return false;
  }
  // The remainder of INT32_MIN by -1 is 0; computing it directly overflows.
  return BrelPushInt(env, b.num == -1 ? 0 : a.num % b.num);
}

bool Greater(BrelEnvH env) { return Compare(env, Cmp::kGt, ">"); }
bool Less(BrelEnvH env) { return Compare(env, Cmp::kLt, "<"); }
bool GreaterEq(BrelEnvH env) { return Compare(env, Cmp::kGe, ">="); }
bool LessEq(BrelEnvH env) { return Compare(env, Cmp::kLe, "<="); }
bool Equal(BrelEnvH env) { return Compare(env, Cmp::kEq, "="); }
bool NotEqual(BrelEnvH env) { return Compare(env, Cmp::kNe, "<>"); }

bool And(BrelEnvH env) { return Bitwise(env, Bit::kAnd, "and"); }
bool Or(BrelEnvH env) { return Bitwise(env, Bit::kOr, "or"); }
bool Xor(BrelEnvH env) { return Bitwise(env, Bit::kXor, "xor"); }

bool Not(BrelEnvH env) {
  if (!Need(env, 1, "not")) return false;
  BrelValue a = BrelPopValue(env);
  if (a.type != kBrelInt) {
    BrelSetError(env, 2, "not");
    return false;
  }
  return BrelPushInt(env, ~a.num);
}

}  // namespace velmora::brelword
