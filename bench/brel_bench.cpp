// Brel interpreter throughput: a counted loop of a million passes and a user
// word called a million times, both run straight from the text.
#include <benchmark/benchmark.h>

#include "script/Brel.h"

namespace {

void RunProgram(benchmark::State& state, const char* text) {
  using namespace velmora;
  BrelEnvH env = BrelCreateEnv("bench", nullptr);
  env->program = text;
  for (auto _ : state) {
    if (!BrelRun(env)) state.SkipWithError(env->errorMessage.c_str());
  }
  BrelFreeEnv(env);
}

void BM_ForLoopMillion(benchmark::State& state) {
  RunProgram(state, "0 var i 1 1000000 for i next");
}
BENCHMARK(BM_ForLoopMillion)->Unit(benchmark::kMillisecond);

void BM_WordCallMillion(benchmark::State& state) {
  RunProgram(state, ": w ; 0 var i 1 1000000 for i w next");
}
BENCHMARK(BM_WordCallMillion)->Unit(benchmark::kMillisecond);

void BM_LoopBodyArithmetic(benchmark::State& state) {
  RunProgram(state, "0 var i 0 var s 1 1000000 for i s i + subst s next");
}
BENCHMARK(BM_LoopBodyArithmetic)->Unit(benchmark::kMillisecond);

}  // namespace
