// Control words: blocks, loops, leaving blocks, jumps, the computed call,
// user words and stopping.  They steer execution only by moving the read
// position and by pushing and popping program pointer frames.
#include "base/Numeric.h"
#include "base/Translate.h"
#include "script/BrelExec.h"
#include "script/BrelReader.h"
#include "script/BrelWords.h"

namespace velmora::brelword {

namespace {

// Pops a value and tests it; fails the word on a real.
bool PopTruth(BrelEnvH env, bool& truth) {
  BrelValue v = BrelPopValue(env);
  return BrelTruth(env, v, truth);
}

bool TopIs(BrelEnvH env, uint8_t kind) {
  return !env->frames.empty() && env->frames.back().kind == kind;
}

bool PushFrame(BrelEnvH env, uint8_t kind, std::string_view allocContext) {
  if (!BrelRoomForFrame(env, allocContext)) return false;
  try {
    BrelFrame f;
    f.kind = kind;
    f.position = env->pointer;
    env->frames.push_back(std::move(f));
  } catch (const std::bad_alloc&) {
    BrelSetError(env, 12, allocContext);
    return false;
  }
  return true;
}

// Frees the local name table of the word call being left (never the
// global one).
void DropLocalTable(BrelEnvH env) {
  if (env->tables.size() > 1) env->tables.pop_back();
}

bool DoBreak(BrelEnvH env) {
  std::string_view closer;
  if (!BrelSkipBlock(env, closer)) {
    BrelSetError(env, 1, Tr("ブロックの終端がありません。"));
    return false;
  }
  env->frames.pop_back();
  return true;
}

bool DoTerminate(BrelEnvH env) {
  env->stopped = true;
  env->resume = env->pointer;
  return true;
}

// Reads and checks the label name of goto and ifgoto.
BrelEntryPtr ReadLabel(BrelEnvH env) {
  std::string name(BrelNextToken(env));
  if (!BrelIsValidName(name)) {
    BrelSetError(env, 1, TrFormat("%s は適切なラベル名ではありません。", {name}));
    return nullptr;
  }
  BrelEntryPtr entry = BrelFindName(env, name);
  if (!entry) {
    BrelSetError(env, 13, name);
    return nullptr;
  }
  if (entry->dimensions > 0 || entry->value.type != kBrelLabel) {
    BrelSetError(env, 2, TrFormat("%s は、ラベルではありません。", {name}));
    return nullptr;
  }
  return entry;
}

}  // namespace

// --- if else endif ----------------------------------------------------------

bool If(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "if");
    return false;
  }
  bool truth;
  if (!PopTruth(env, truth)) return false;
  if (!PushFrame(env, kFrameIf, "if")) return false;
  if (truth) return true;
  std::string_view tok = BrelSkipToElse(env);
  if (tok.empty()) {
    BrelSetError(env, 1, Tr("endif が見当たりません"));
    return false;
  }
  if (tok == "endif") env->frames.pop_back();
  return true;
}

bool Else(BrelEnvH env) {
  if (!TopIs(env, kFrameIf)) {
    BrelSetError(env, 1, Tr("if がないのに else があります。"));
    return false;
  }
  std::string_view tok = BrelSkipToElse(env);
  if (tok.empty()) {
    BrelSetError(env, 1, Tr("endif が見当たりません"));
    return false;
  }
  if (tok == "else") {
    BrelSetError(env, 1, Tr("if がないのに else があります。"));
    return false;
  }
  env->frames.pop_back();
  return true;
}

bool Endif(BrelEnvH env) {
  if (!TopIs(env, kFrameIf)) {
    BrelSetError(env, 1, Tr("if がないのに endif があります。"));
    return false;
  }
  env->frames.pop_back();
  return true;
}

// --- begin again until --------------------------------------------------------

bool Begin(BrelEnvH env) { return PushFrame(env, kFrameBegin, "BrelBegin"); }

bool Again(BrelEnvH env) {
  if (!TopIs(env, kFrameBegin)) {
    BrelSetError(env, 1, Tr("again に対応する begin がありません。"));
    return false;
  }
  env->pointer = env->frames.back().position;
  return true;
}

bool Until(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "BrelUntil");
    return false;
  }
  if (!TopIs(env, kFrameBegin)) {
    BrelSetError(env, 1, Tr("until に対応する begin がありません。"));
    return false;
  }
  bool truth;
  if (!PopTruth(env, truth)) return false;
  if (truth)
    env->frames.pop_back();
  else
    env->pointer = env->frames.back().position;
  return true;
}

// --- while whend --------------------------------------------------------------

bool While(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "while");
    return false;
  }
  // A while reached again through whend finds its own frame.
  if (env->frames.empty() || env->frames.back().position != env->pointer)
    if (!PushFrame(env, kFrameWhile, "BrelWhile")) return false;
  bool truth;
  if (!PopTruth(env, truth)) return false;
  if (truth) return true;
  env->frames.pop_back();
  std::string_view closer;
  if (!BrelSkipBlock(env, closer) || closer != "whend") {
    BrelSetError(env, 1, Tr("while に対応する whend がない。"));
    return false;
  }
  return true;
}

bool Whend(BrelEnvH env) {
  if (!TopIs(env, kFrameWhile)) {
    BrelSetError(env, 1, Tr("whend に対応する while　がない。"));
    return false;
  }
  // Back to the first byte of the while token, so that while runs again.
  env->pointer = std::max(env->frames.back().position - 5, 0);
  return true;
}

// --- for next step ------------------------------------------------------------

bool For(BrelEnvH env) {
  if (env->values.size() < 2) {
    BrelSetError(env, 6, "for");
    return false;
  }
  std::string name(BrelNextToken(env));
  BrelEntryPtr var = BrelFindName(env, name);
  if (!var) {
    BrelSetError(env, 13, TrFormat("for制御変数に指定された %s は未定義です。", {name}));
    return false;
  }
  if (var->dimensions > 0 || var->value.type != kBrelInt) {
    BrelSetError(env, 2, TrFormat("for制御変数に指定された %s は整数ではありません。", {name}));
    return false;
  }
  if (var->constant) {
    BrelSetError(env, 2, TrFormat("定数 %s はfor制御変数には指定できません。", {name}));
    return false;
  }
  BrelValue e = BrelPopValue(env);
  BrelValue s = BrelPopValue(env);
  if (e.type != kBrelInt || s.type != kBrelInt) {
    BrelSetError(env, 2, Tr("forの初期値と終了値はともに整数である必要があります。"));
    return false;
  }
  if (!BrelRoomForFrame(env, "for")) return false;
  try {
    BrelFrame f;
    f.kind = kFrameFor;
    f.position = env->pointer;
    f.variable = var;
    f.start = s.num;
    f.end = e.num;
    f.step = e.num < s.num ? -1 : 1;
    env->frames.push_back(std::move(f));
  } catch (const std::bad_alloc&) {
    BrelSetError(env, 12, "for");
    return false;
  }
  var->value.num = s.num;
  return true;
}

bool Next(BrelEnvH env) {
  if (!TopIs(env, kFrameFor)) {
    BrelSetError(env, 1, Tr("next に対応する forがありません。"));
    return false;
  }
  BrelFrame& f = env->frames.back();
  BrelVariable& var = *f.variable;
  // The end test uses the exact sum, so a loop that runs up to the int
  // limit ends instead of wrapping round; the variable keeps 32 bits.
  const int64_t sum = static_cast<int64_t>(var.value.num) + f.step;
  var.value.num = WrapAdd32(var.value.num, f.step);
  const bool done = f.step > 0 ? sum > f.end : sum < f.end;
  if (done)
    env->frames.pop_back();
  else
    env->pointer = f.position;
  return true;
}

bool Step(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "step");
    return false;
  }
  BrelValue n = BrelPopValue(env);
  if (n.type != kBrelInt) {
    BrelSetError(env, 2, Tr("stepで指定されるfor増分値は整数型である必要があります。"));
    return false;
  }
  if (!TopIs(env, kFrameFor)) {
    BrelSetError(env, 1, Tr("step に対応する forがありません。"));
    return false;
  }
  env->frames.back().step = n.num;
  return true;
}

// --- break ifbreak ------------------------------------------------------------

// A word call is not a block: break directly inside a word body (no open
// block within the call) is refused, because skipping to the body's ";"
// would drop the call's frame but keep its local table.
bool Break(BrelEnvH env) {
  if (env->frames.empty() || env->frames.back().kind == kFrameWord) {
    BrelSetError(env, 1, Tr("break はブロック内に記述されるものです。"));
    return false;
  }
  return DoBreak(env);
}

bool IfBreak(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "ifbreak");
    return false;
  }
  if (env->frames.empty()) {
    BrelSetError(env, 1, Tr("break はブロック内に記述されるものです。"));
    return false;
  }
  bool truth;
  if (!PopTruth(env, truth)) return false;
  // A false condition leaves nothing, also directly inside a word body.
  return truth ? Break(env) : true;
}

// --- goto ifgoto --------------------------------------------------------------

bool Goto(BrelEnvH env) {
  BrelEntryPtr label = ReadLabel(env);
  if (!label) return false;
  env->pointer = label->value.num;
  return true;
}

bool IfGoto(BrelEnvH env) {
  BrelEntryPtr label = ReadLabel(env);
  if (!label) return false;
  if (env->values.empty()) {
    BrelSetError(env, 6, "ifgoto");
    return false;
  }
  bool truth;
  if (!PopTruth(env, truth)) return false;
  if (truth) env->pointer = label->value.num;
  return true;
}

// --- on endon -----------------------------------------------------------------

bool On(BrelEnvH env) {
  int32_t n;
  if (!BrelPopInt(env, n)) {
    BrelSetError(env, env->errorCode, "on");
    return false;
  }
  std::string chosen;
  bool found = false;
  for (int64_t index = 0;; ++index) {
    std::string_view tok = BrelNextToken(env);
    if (tok.empty()) {
      BrelSetError(env, 1, Tr("on に対応する endon がありません。"));
      return false;
    }
    if (tok == "endon") break;
    if (index == n) {
      chosen.assign(tok);
      found = true;
    }
  }
  if (!found) return true;
  if (!BrelExecToken(env, chosen)) {
    BrelSetError(env, env->errorCode, "on");
    return false;
  }
  return true;
}

bool EndOn(BrelEnvH env) {
  BrelSetError(env, 1, Tr("endonに対応するonがありません。"));
  return false;
}

// --- : ; ret --------------------------------------------------------------------

bool DefineWordStart(BrelEnvH env) {
  std::string name(BrelNextToken(env));
  if (BrelFindName(env, name)) {
    BrelSetError(env, 14, TrFormat("%s は同スコープ内ですでに宣言されています。", {name}));
    return false;
  }
  if (!BrelIsValidName(name)) {
    BrelSetError(env, 1, TrFormat("%s はワード名として適切ではありません。", {name}));
    return false;
  }
  const int32_t body = env->pointer;
  if (!BrelSkipDefinition(env)) return false;
  auto entry = std::make_shared<BrelVariable>();
  entry->name = std::move(name);
  entry->value = BrelValue::Position(kBrelWord, body);
  if (!RegistNameTable(env, std::move(entry))) {
    BrelSetError(env, 12, "BrelDefineWordStart");
    return false;
  }
  return true;
}

bool DefineWordEnd(BrelEnvH env) {
  if (env->frames.empty()) {
    BrelSetError(env, 8, "BrelDefineWordEnd");
    return false;
  }
  if (env->frames.back().kind != kFrameWord) {
    BrelSetError(env, 1, Tr("ワード内のif,もしくはループブロックが終了していません。"));
    return false;
  }
  env->pointer = env->frames.back().position;
  env->frames.pop_back();
  DropLocalTable(env);
  return true;
}

bool Ret(BrelEnvH env) {
  while (!env->frames.empty()) {
    const BrelFrame f = env->frames.back();
    env->frames.pop_back();
    if (f.kind == kFrameWord) {
      env->pointer = f.position;
      DropLocalTable(env);
      return true;
    }
  }
  env->stopped = true;
  return true;
}

// --- terminate ifterminate ----------------------------------------------------

bool Terminate(BrelEnvH env) { return DoTerminate(env); }

bool IfTerminate(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "ifterminate");
    return false;
  }
  bool truth;
  if (!PopTruth(env, truth)) return false;
  return truth ? DoTerminate(env) : true;
}

}  // namespace velmora::brelword
