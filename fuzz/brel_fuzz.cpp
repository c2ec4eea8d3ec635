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

// Views that only measure what they are given.
class NullText : public velmora::BrelTextView {
 public:
  void SetText(const std::string& t) override { size_ = t.size(); }

 private:
  size_t size_ = 0;
};

class NullLines : public velmora::BrelLineView {
 public:
  void Clear() override { lines_ = 0; }
  void Insert(int, const std::string&) override { ++lines_; }

 private:
  size_t lines_ = 0;
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
  // Inputs starting with "#" also run with the views attached.
  NullText trace;
  NullLines stack, control;
  int pumps = 0;
  if (size > 0 && data[0] == '#') {
    env->traceView = &trace;
    env->stackView = &stack;
    env->controlView = &control;
    env->eventPump = [&pumps] { ++pumps; };
  }

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
