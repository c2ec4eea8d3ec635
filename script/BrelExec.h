// The executor: runs the running text token by token, dispatches tokens to
// the binary dictionary, the user dictionary or the literal reader, and
// refreshes the host views.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/BrelEnv.h"

namespace velmora {

// Runs the program text from its start with fresh stacks and name tables
// (the user dictionary text first).
bool BrelRun(BrelEnvH env);
// Executes from the read position to the end of the running text, a failed
// step or a stop.
bool BrelExecute(BrelEnvH env);
// Executes exactly one token.
bool BrelStep(BrelEnvH env);
// Carries out one token.
bool BrelExecToken(BrelEnvH env, std::string_view token);
// Calls a user word: a word frame, a fresh local name table, and the read
// position moved to the body.
bool ExecWord(BrelEnvH env, const BrelVariable& entry);
// Resumes after `terminate`.
bool BrelContinue(BrelEnvH env);

// Direct mode: appends a line to the program text and executes just that
// line in the current state (stacks and definitions persist), so that an
// interactive console can feed typed lines one by one.
bool BrelRunLine(BrelEnvH env, std::string_view line);

// How deep executions may nest (run, cont, execenv, contenv, stepenv, on)
// before the nesting fails with an error instead of exhausting the stack.
inline constexpr int kBrelMaxNesting = 200;

// The view lines, first line first: the value stack top first, the program
// pointer stack top first.
std::vector<std::string> BrelStackLines(BrelEnvH env);
// The same for the top LIMIT values only (all of them when there are fewer).
std::vector<std::string> BrelStackLines(BrelEnvH env, size_t limit);
std::vector<std::string> BrelControlLines(BrelEnvH env);
// The value-stack view line of one value.
std::string BrelStackLine(const BrelValue& v);
// The trace text: the running text with the byte at the read position
// replaced by "#" ("#" appended at the end of the text).
std::string BrelTraceText(BrelEnvH env);

}  // namespace velmora
