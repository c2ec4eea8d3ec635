// Shared fixture of the Brel unit tests: an environment with an in-memory
// console and helpers to run a text and inspect the result.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "script/Brel.h"

namespace velmora::brel_test {

class BrelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env = BrelCreateEnv("test", &console);
    ASSERT_NE(env, nullptr);
  }
  void TearDown() override { BrelFreeEnv(env); }

  bool Run(const std::string& text) {
    env->program = text;
    return BrelRun(env);
  }
  // The top of the value stack as its stack-view line ("" when empty).
  std::string Top() const {
    return env->values.empty() ? std::string() : BrelStackLine(env->values.back());
  }
  std::string Out() const { return console.Text(); }

  BrelStringConsole console;
  BrelEnvH env = nullptr;
};

}  // namespace velmora::brel_test
