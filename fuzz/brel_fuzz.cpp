// Fuzzes the Brel interpreter: the input is run as a program (a part before
// two NUL bytes, when present, as the user dictionary text), then continued
// and stepped.  Bounds on steps, texts, arrays and environments keep every
// input finite in time and memory; anything else must fail cleanly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "script/Brel.h"

namespace {

// Counts console output without keeping it.
class CountingConsole : public velmora::BrelConsole {
 public:
  std::string GetText() const override { return {}; }
  void SetText(std::string) override {}
  void Append(std::string_view s) override { written_ += s.size(); }

 private:
  size_t written_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velmora;
  CountingConsole console;
  BrelEnvH env = BrelCreateEnv("fuzz", &console);
  if (!env) return 0;
  env->limits.maxTextBytes = 1024;
  env->limits.maxArrayElements = 64;
  env->limits.maxEnvironments = 32;
  BrelSetStepLimit(env, 3000);

  std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find(std::string("\0\0", 2));
  if (split != std::string::npos) {
    env->userDictionary = input.substr(0, split);
    env->program = input.substr(split + 2);
  } else {
    env->program = input;
  }
  BrelRun(env);
  // Exercise continuation and single steps from whatever state the run left.
  BrelSetStepLimit(env, 3000);
  BrelContinue(env);
  for (int i = 0; i < 8; ++i) BrelStep(env);
  (void)BrelStackLines(env);
  (void)BrelControlLines(env);
  (void)BrelTraceText(env);
  BrelFreeEnv(env);
  return 0;
}
