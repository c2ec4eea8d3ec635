// The executor: runs, steps, stops and continuation, views, the user
// dictionary text, host words and environments made by newenv.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brel_test_util.h"
#include "script/Brel.h"
#include "script/BrelReader.h"

namespace velmora {
namespace {

using brel_test::BrelTest;

TEST_F(BrelTest, FailureKeepsStateAndPosition) {
  EXPECT_FALSE(Run("1 2 + foo 5"));
  EXPECT_EQ(env->errorCode, 1);
  EXPECT_EQ(env->errorMessage, "文法的な誤りです。:foo");
  ASSERT_EQ(env->values.size(), 1u);
  EXPECT_EQ(Top(), "int  :3");
  EXPECT_EQ(env->pointer, 9);
  EXPECT_TRUE(env->stopped);
}

TEST_F(BrelTest, OnlyBlanksAndComments) {
  EXPECT_TRUE(Run(" \t\r\n( nothing ) (here)\x01"));
  EXPECT_TRUE(env->values.empty());
  EXPECT_TRUE(env->frames.empty());
}

TEST_F(BrelTest, TerminateThenContinue) {
  EXPECT_TRUE(Run("1 terminate 2"));
  EXPECT_TRUE(env->stopped);
  EXPECT_EQ(env->values.size(), 1u);
  EXPECT_EQ(env->resume, 11);
  EXPECT_TRUE(BrelContinue(env));
  EXPECT_EQ(env->values.size(), 2u);
  EXPECT_EQ(Top(), "int  :2");
}

TEST_F(BrelTest, StepByStep) {
  env->program = "12 34";
  ASSERT_TRUE(BrelRun(env));
  // Restart by hand and step.
  env->pointer = 0;
  env->values.clear();
  EXPECT_TRUE(BrelStep(env));
  EXPECT_EQ(env->values.size(), 1u);
  EXPECT_EQ(BrelTraceText(env), "12#34");
  EXPECT_TRUE(BrelStep(env));
  EXPECT_EQ(BrelTraceText(env), "12 34#");
  EXPECT_TRUE(BrelStep(env));  // end of text: an empty, successful step
  EXPECT_EQ(env->values.size(), 2u);
}

TEST_F(BrelTest, StepOnEmptyTextFailsWithCodeZero) {
  EXPECT_FALSE(BrelStep(env));
  EXPECT_EQ(env->errorCode, 0);
  EXPECT_TRUE(Run("1 cleanup"));
  EXPECT_FALSE(Run("1 cleanup 2"));
  EXPECT_EQ(env->errorCode, 0);
  EXPECT_EQ(env->errorMessage, "");
}

struct RecordingLines : BrelLineView {
  void Clear() override { lines.clear(); }
  void Insert(int index, const std::string& line) override {
    lines.insert(lines.begin() + index, line);
  }
  std::vector<std::string> lines;
};

struct RecordingText : BrelTextView {
  void SetText(const std::string& t) override { texts.push_back(t); }
  std::vector<std::string> texts;
};

TEST_F(BrelTest, ViewsAreRefreshedAfterEachStep) {
  RecordingText trace;
  RecordingLines stack, control;
  int pumps = 0;
  env->traceView = &trace;
  env->stackView = &stack;
  env->controlView = &control;
  env->eventPump = [&] { ++pumps; };
  ASSERT_TRUE(Run("12 \"a\" 1.5 begin 1 if"));
  ASSERT_EQ(trace.texts.size(), 6u);
  EXPECT_EQ(trace.texts[0], "12#\"a\" 1.5 begin 1 if");
  EXPECT_EQ(trace.texts[5], "12 \"a\" 1.5 begin 1 if#");
  EXPECT_EQ(pumps, static_cast<int>(trace.texts.size()));
  EXPECT_EQ(stack.lines, (std::vector<std::string>{"real :1.5", "str  :\"a\"", "int  :12"}));
  EXPECT_EQ(control.lines, (std::vector<std::string>{"if   :21", "begin:16"}));
}

TEST_F(BrelTest, StackLinesOfTheTopValuesOnly) {
  ASSERT_TRUE(Run("1 2 \"a\" 4"));
  EXPECT_EQ(BrelStackLines(env, 2), (std::vector<std::string>{"int  :4", "str  :\"a\""}));
  EXPECT_EQ(BrelStackLines(env, 9), BrelStackLines(env));
  EXPECT_TRUE(BrelStackLines(env, 0).empty());
}

TEST_F(BrelTest, ControlViewFormats) {
  ASSERT_TRUE(Run("0 var i : w begin 1 if 1 while 1 3 for i terminate ; w"));
  EXPECT_EQ(BrelControlLines(env),
            (std::vector<std::string>{"for  :40", "while:30", "if   :22", "begin:17", "word :54"}));
}

TEST_F(BrelTest, UserDictionaryText) {
  env->userDictionary = ": twice 2 * ; 10 var base ";
  EXPECT_TRUE(Run("base twice . label here here ."));
  // Positions are printed relative to the program text.
  EXPECT_EQ(Out(), "2023");
  env->userDictionary = "1 2 foo";
  EXPECT_FALSE(Run("1"));
  EXPECT_EQ(env->errorMessage, "文法的な誤りです。:foo in UserDictionary.");
  env->userDictionary = "label x ";
  EXPECT_FALSE(Run("1"));
  EXPECT_EQ(env->errorCode, 14);
}

TEST_F(BrelTest, WordDefinedInWordIsLocal) {
  EXPECT_FALSE(Run(": outer : inner 5 ; inner ; outer inner"));
  EXPECT_EQ(env->errorMessage, "文法的な誤りです。:inner");
  EXPECT_EQ(Top(), "int  :5");
  ASSERT_EQ(env->tables.size(), 1u);
  EXPECT_TRUE(env->frames.empty());
}

TEST_F(BrelTest, LocalVariableHidesGlobal) {
  EXPECT_TRUE(Run("1 var x : f 2 var x x . ; f x ."));
  EXPECT_EQ(Out(), "21");
}

TEST_F(BrelTest, UserNamesNeverHideBuiltinsButHideLiterals) {
  EXPECT_TRUE(Run("7 var dup 5 dup"));
  EXPECT_EQ(env->values.size(), 2u);
  EXPECT_EQ(Top(), "int  :5");
  EXPECT_TRUE(Run("99 var $10 $10"));
  EXPECT_EQ(Top(), "int  :99");
}

TEST(BrelNoConsole, PrintAndCrFailWithCodeZero) {
  BrelEnvH env = BrelCreateEnv("quiet", nullptr);
  env->program = "1 .";
  EXPECT_FALSE(BrelRun(env));
  EXPECT_EQ(env->errorCode, 0);
  EXPECT_EQ(env->values.size(), 1u);  // nothing popped
  env->program = "cr";
  EXPECT_FALSE(BrelRun(env));
  BrelFreeEnv(env);
}

TEST_F(BrelTest, HostWordsTakeArgumentsAndReportErrors) {
  int32_t gotX = 0, gotY = 0;
  std::string gotS;
  ASSERT_TRUE(BrelAddHostWord(env, "resolution", [&](BrelEnvH e) {
    if (!BrelPopInt(e, gotY) || !BrelPopInt(e, gotX)) return false;
    return true;
  }, "<x y : int> resolution →出力解像度"));
  ASSERT_TRUE(BrelAddHostWord(env, "name", [&](BrelEnvH e) { return BrelPopStr(e, gotS); }, ""));
  ASSERT_TRUE(BrelAddHostWord(env, "dup", [&](BrelEnvH) { ADD_FAILURE(); return false; }, ""));
  EXPECT_TRUE(Run("640 480 resolution \"f.avi\" name 1 dup"));
  EXPECT_EQ(gotX, 640);
  EXPECT_EQ(gotY, 480);
  EXPECT_EQ(gotS, "f.avi");
  EXPECT_EQ(env->values.size(), 2u);
  EXPECT_FALSE(Run("1 resolution 2"));
  EXPECT_EQ(env->errorMessage, "値スタックがアンダーフローしました。");
  EXPECT_TRUE(env->values.empty());
  EXPECT_FALSE(Run("5 name"));
  EXPECT_EQ(env->errorMessage, "型が誤っています。");
  EXPECT_TRUE(env->values.empty());
  EXPECT_TRUE(Run("man resolution envname"));
  EXPECT_EQ(Top(), "str  :\"test\"");
  EXPECT_EQ(env->values[0].text, "(BinDic)/<x y : int> resolution →出力解像度");
}

TEST_F(BrelTest, DefinitionsDoNotSurviveTheNextRun) {
  BrelAddHostWord(env, "seven", [](BrelEnvH e) { return BrelPushInt(e, 7); }, "");
  ASSERT_TRUE(Run("1 var a : w ; label l"));
  EXPECT_FALSE(Run("a"));
  EXPECT_TRUE(Run("seven"));
  EXPECT_EQ(Top(), "int  :7");
}

TEST_F(BrelTest, StepBudgetStopsEndlessLoops) {
  BrelSetStepLimit(env, 1000);
  EXPECT_FALSE(Run("begin again"));
  EXPECT_EQ(env->errorCode, 17);
  // A child environment shares the budget.
  BrelSetStepLimit(env, 1000);
  EXPECT_TRUE(Run("newenv \"begin again\" execenv"));
  EXPECT_EQ(Top(), "int  :0");
}

TEST_F(BrelTest, HostInterruptStopsTheRunAndKeepsTheState) {
  volatile std::sig_atomic_t flag = 0;
  env->budget->interrupt = &flag;
  ASSERT_TRUE(BrelRunLine(env, ": five 5 ;"));
  flag = 1;
  EXPECT_FALSE(BrelRunLine(env, "1 2"));
  EXPECT_EQ(env->errorCode, 0);
  EXPECT_TRUE(env->errorMessage.empty());
  EXPECT_TRUE(env->values.empty());
  flag = 0;
  EXPECT_TRUE(BrelRunLine(env, "five"));
  EXPECT_EQ(Top(), "int  :5");
}

TEST(BrelOpenBlocks, DefinitionsBlocksAndStringsLeftOpen) {
  using V = std::vector<std::string>;
  EXPECT_EQ(BrelOpenBlocks("1 2 + ."), V{});
  EXPECT_EQ(BrelOpenBlocks(": sq\n dup *"), V{":"});
  EXPECT_EQ(BrelOpenBlocks(": sq dup * ;"), V{});
  EXPECT_EQ(BrelOpenBlocks(": w 1 if begin"), (V{":", "if", "begin"}));
  EXPECT_EQ(BrelOpenBlocks(": w 1 if begin 0 until endif"), V{":"});
  EXPECT_EQ(BrelOpenBlocks(": if ( a comment: if ) man begin"), V{":"});  // names are not code
  EXPECT_EQ(BrelOpenBlocks("1 on a b endon \"text"), V{"\""});
}

TEST_F(BrelTest, NestingIsBounded) {
  EXPECT_FALSE(Run("run"));
  EXPECT_EQ(env->errorCode, 17);
  EXPECT_EQ(env->errorMessage, "そのほかのエラーです。:実行の入れ子が深すぎます。");
  // A chain of computed calls, each choosing the next "on".
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "0 ";
  text += "on ";
  for (int i = 0; i < 5000; ++i) text += "on endon ";
  EXPECT_FALSE(Run(text));
  EXPECT_EQ(env->errorCode, 17);
  EXPECT_TRUE(Run("1 0 on dup endon"));  // one level is fine
}

TEST_F(BrelTest, RunInsideProgramEndsOuterExecution) {
  int runs = 0;
  BrelAddHostWord(env, "count", [&](BrelEnvH e) { return BrelPushInt(e, ++runs); }, "");
  // The nested run re-executes the whole program from fresh stacks; its
  // terminate then ends the outer execution too, so "2 ." never runs.
  EXPECT_TRUE(Run("count 1 = if run endif 3 terminate 2 ."));
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(env->values.size(), 1u);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Top(), "int  :3");
}

TEST_F(BrelTest, ChildEnvironmentsAndHandles) {
  ASSERT_TRUE(Run("newenv"));
  const int32_t h = env->values.back().num;
  BrelEnvH child = BrelEnvFromHandle(env, h);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->name, "test");
  EXPECT_EQ(child->console, &console);
  EXPECT_EQ(child->dictionary.Size(), 75u + env->dictionary.Size());
  const std::string hs = std::to_string(h);
  // The child cannot free itself while it runs.
  EXPECT_TRUE(Run(hs + " \"" + hs + " freeenv\" execenv"));
  EXPECT_EQ(Top(), "int  :0");
  EXPECT_EQ(child->errorCode, 15);
  // stepenv: one token at a time.
  EXPECT_TRUE(Run(hs + " \"1 2\" execenv drop " + hs + " stepenv"));
  EXPECT_EQ(Top(), "int  :-1");
  EXPECT_TRUE(Run(hs + " freeenv"));
  EXPECT_EQ(BrelEnvFromHandle(env, h), nullptr);
  EXPECT_FALSE(Run(hs + " contenv"));
  EXPECT_EQ(env->errorCode, 15);
}

TEST(BrelEnvTree, FreeingAnEnvironmentFreesWhatItMade) {
  BrelEnvH env = BrelCreateEnv("host", nullptr);
  env->program = "newenv newenv";
  ASSERT_TRUE(BrelRun(env));
  const int32_t a = env->values[0].num;
  // A grandchild, made by the first child.
  env->program = std::to_string(a) + " \"newenv\" execenv";
  ASSERT_TRUE(BrelRun(env));
  BrelEnvH child = BrelEnvFromHandle(env, a);
  ASSERT_EQ(child->children.size(), 1u);
  const int32_t c = child->children[0];
  EXPECT_NE(BrelEnvFromHandle(env, c), nullptr);
  const std::shared_ptr<BrelInterpreter> tree = env->interpreter;
  EXPECT_EQ(tree->registry.size(), 3u);
  BrelFreeEnv(env);
  EXPECT_TRUE(tree->registry.empty());
  EXPECT_EQ(tree.use_count(), 1);
}

TEST(BrelEnvTree, SeparateEnvironmentsHaveSeparateHandles) {
  BrelEnvH one = BrelCreateEnv("one", nullptr);
  BrelEnvH two = BrelCreateEnv("two", nullptr);
  one->program = two->program = "newenv";
  ASSERT_TRUE(BrelRun(one));
  ASSERT_TRUE(BrelRun(two));
  EXPECT_EQ(one->values[0].num, 1);
  EXPECT_EQ(two->values[0].num, 1);
  EXPECT_EQ(BrelEnvFromHandle(one, 1)->name, "one");
  EXPECT_EQ(BrelEnvFromHandle(two, 1)->name, "two");
  BrelFreeEnv(one);
  EXPECT_NE(BrelEnvFromHandle(two, 1), nullptr);
  BrelFreeEnv(two);
}

TEST(BrelEnvTree, AnEnvironmentWhoseOffspringRunsIsNotFreed) {
  BrelEnvH env = BrelCreateEnv("host", nullptr);
  env->program = "newenv";
  ASSERT_TRUE(BrelRun(env));
  const std::string a = std::to_string(env->values[0].num);
  // The child makes a grandchild; the host runs the grandchild, which tries
  // to free its (idle) parent.
  env->program = a + " \"newenv\" execenv";
  ASSERT_TRUE(BrelRun(env));
  BrelEnvH child = BrelEnvFromHandle(env, env->values[0].num == -1 ? std::stoi(a) : 0);
  ASSERT_NE(child, nullptr);
  const std::string g = std::to_string(child->children.at(0));
  env->program = g + " \"" + a + " freeenv\" execenv";
  ASSERT_TRUE(BrelRun(env));
  EXPECT_EQ(env->values.back().num, 0);
  EXPECT_NE(BrelEnvFromHandle(env, std::stoi(a)), nullptr);
  BrelFreeEnv(env);
}

TEST_F(BrelTest, DirectModeKeepsState) {
  EXPECT_TRUE(BrelRunLine(env, ": sq dup * ; 3 var x"));
  EXPECT_TRUE(BrelRunLine(env, "x sq ."));
  EXPECT_EQ(Out(), "9");
  EXPECT_TRUE(BrelRunLine(env, "1 . terminate 2 ."));
  EXPECT_TRUE(BrelContinue(env));
  EXPECT_EQ(Out(), "912");
  EXPECT_FALSE(BrelRunLine(env, "nosuch"));
  EXPECT_TRUE(BrelRunLine(env, "x ."));
  EXPECT_EQ(Out(), "9123");
}

}  // namespace
}  // namespace velmora
