// The Brel interpreter: the one header a host includes.
//
// Calling sequence of a host:
//   BrelEnvH env = BrelCreateEnv("name", console_or_nullptr);
//   BrelAddHostWord(env, "word", handler, "<x : int> word →description");
//   env->program = text;                  // and env->userDictionary if wanted
//   BrelSetStepLimit(env, n);             // optional bound on execution steps
//   bool ok = BrelRun(env);               // env->errorCode, env->errorMessage
//   BrelFreeEnv(env);
// A handler pops its arguments with BrelPopInt / BrelPopStr (the last argument
// is on top), pushes results with BrelPushValue and friends, and returns
// false after BrelSetError (or after a failed pop) to stop the run.
#pragma once

#include "script/BrelEnv.h"
#include "script/BrelExec.h"
#include "script/BrelHost.h"
#include "script/BrelReader.h"
#include "script/BrelValue.h"
