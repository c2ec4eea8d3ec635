// Words that run programs in this or in other environments.  Other
// environments are named by int handles that newenv hands out; a handle is
// looked up in the registry on every use, so an int naming no live
// environment is an error rather than a dangling pointer.
#include "base/Translate.h"
#include "script/BrelExec.h"
#include "script/BrelWords.h"

namespace velmora::brelword {

namespace {

// The live environment behind a handle popped from the stack, or nullptr
// after reporting error 15 with the word as context.
BrelEnvH LookUp(BrelEnvH env, int32_t handle, std::string_view word) {
  BrelEnvH other = BrelEnvFromHandle(env, handle);
  if (!other) BrelSetError(env, 15, TrFormat("%s:環境が存在しません。", {word}));
  return other;
}

bool PushFlag(BrelEnvH env, bool ok) { return BrelPushInt(env, ok ? -1 : 0); }

}  // namespace

bool Run(BrelEnvH env) { return BrelRun(env); }

bool Cont(BrelEnvH env) { return BrelContinue(env); }

bool NewEnv(BrelEnvH env) {
  BrelEnvH child = BrelNewChildEnv(env);
  if (!child) {
    BrelSetError(env, 12, Tr("newenv:新たな実行環境が確保できませんでした。"));
    return false;
  }
  return BrelPushInt(env, child->handle);
}

bool FreeEnv(BrelEnvH env) {
  int32_t handle;
  if (!BrelPopInt(env, handle)) return false;
  BrelEnvH other = LookUp(env, handle, "freeenv");
  if (!other) return false;
  // An environment that is executing (or whose offspring is) stays alive.
  if (BrelEnvTreeBusy(other)) {
    BrelSetError(env, 15, Tr("freeenv:実行中の環境は解放できません。"));
    return false;
  }
  BrelFreeEnv(other);
  return true;
}

bool ExecEnv(BrelEnvH env) {
  std::string text;
  if (!BrelPopStr(env, text)) return false;
  int32_t handle;
  if (!BrelPopInt(env, handle)) return false;
  BrelEnvH other = LookUp(env, handle, "execenv");
  if (!other) return false;
  other->program = std::move(text);
  const bool ok = BrelRun(other);
  return PushFlag(env, ok);
}

bool ContEnv(BrelEnvH env) {
  int32_t handle;
  if (!BrelPopInt(env, handle)) return false;
  BrelEnvH other = LookUp(env, handle, "contenv");
  if (!other) return false;
  const bool ok = BrelExecute(other);
  return PushFlag(env, ok);
}

bool StepEnv(BrelEnvH env) {
  int32_t handle;
  if (!BrelPopInt(env, handle)) return false;
  BrelEnvH other = LookUp(env, handle, "stepenv");
  if (!other) return false;
  const bool ok = BrelStep(other);
  return PushFlag(env, ok);
}

}  // namespace velmora::brelword
