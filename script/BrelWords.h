// Internal declarations shared by the files that implement the word set.
#pragma once

#include <string>
#include <string_view>

#include "script/BrelEnv.h"

namespace velmora {

// Registers the 75 built-in words in the order of the manual list.
bool BrelRegistBinaryDictionary(BrelEnvH env);

// Pushes the element of an array entry selected by subscripts on the stack.
bool PushArray(BrelEnvH env, const BrelVariable& entry);

// Text form of a value as `.` and `str` write it (labels and words as their
// raw position).
std::string BrelValueText(const BrelValue& v);

// The version number that `version` pushes.
inline constexpr long double kBrelVersion = 1.0L;

// Handlers, grouped by the file that implements them.
namespace brelword {
// Stack, arithmetic, comparison, logic (BrelWordsStack.cpp)
bool Dup(BrelEnvH);
bool Drop(BrelEnvH);
bool Swap(BrelEnvH);
bool Over(BrelEnvH);
bool Rot(BrelEnvH);
bool Depth(BrelEnvH);
bool PDepth(BrelEnvH);
bool CleanStack(BrelEnvH);
bool CleanPStack(BrelEnvH);
bool PDrop(BrelEnvH);
bool Nop(BrelEnvH);
bool Add(BrelEnvH);
bool Sub(BrelEnvH);
bool Mul(BrelEnvH);
bool Div(BrelEnvH);
bool Mod(BrelEnvH);
bool Greater(BrelEnvH);
bool Less(BrelEnvH);
bool GreaterEq(BrelEnvH);
bool LessEq(BrelEnvH);
bool Equal(BrelEnvH);
bool NotEqual(BrelEnvH);
bool And(BrelEnvH);
bool Or(BrelEnvH);
bool Xor(BrelEnvH);
bool Not(BrelEnvH);
// Types, conversions, output, information (BrelWordsValue.cpp)
bool IsStr(BrelEnvH);
bool IsInt(BrelEnvH);
bool IsReal(BrelEnvH);
bool ToInt(BrelEnvH);
bool ToRound(BrelEnvH);
bool ToReal(BrelEnvH);
bool ToStr(BrelEnvH);
bool AsciiStr(BrelEnvH);
bool Print(BrelEnvH);
bool Cr(BrelEnvH);
bool Version(BrelEnvH);
bool EnvName(BrelEnvH);
// Definitions (BrelWordsDefine.cpp)
bool Var(BrelEnvH);
bool Const(BrelEnvH);
bool Array(BrelEnvH);
bool Subst(BrelEnvH);
bool Label(BrelEnvH);
bool Forget(BrelEnvH);
bool Cleanup(BrelEnvH);
bool Man(BrelEnvH);
// Control (BrelControl.cpp)
bool If(BrelEnvH);
bool Else(BrelEnvH);
bool Endif(BrelEnvH);
bool Begin(BrelEnvH);
bool Again(BrelEnvH);
bool Until(BrelEnvH);
bool While(BrelEnvH);
bool Whend(BrelEnvH);
bool For(BrelEnvH);
bool Next(BrelEnvH);
bool Step(BrelEnvH);
bool Break(BrelEnvH);
bool IfBreak(BrelEnvH);
bool Goto(BrelEnvH);
bool IfGoto(BrelEnvH);
bool On(BrelEnvH);
bool EndOn(BrelEnvH);
bool DefineWordStart(BrelEnvH);
bool DefineWordEnd(BrelEnvH);
bool Ret(BrelEnvH);
bool Terminate(BrelEnvH);
bool IfTerminate(BrelEnvH);
// Environments (BrelEnvWords.cpp)
bool Run(BrelEnvH);
bool Cont(BrelEnvH);
bool NewEnv(BrelEnvH);
bool FreeEnv(BrelEnvH);
bool ExecEnv(BrelEnvH);
bool ContEnv(BrelEnvH);
bool StepEnv(BrelEnvH);
}  // namespace brelword

}  // namespace velmora
