// Environments, values, name tables, the binary dictionary and errors.
#include <gtest/gtest.h>

#include "brel_test_util.h"
#include "script/Brel.h"

namespace velmora {
namespace {

using brel_test::BrelTest;

TEST_F(BrelTest, FreshEnvironmentState) {
  EXPECT_TRUE(env->values.empty());
  EXPECT_TRUE(env->frames.empty());
  ASSERT_EQ(env->tables.size(), 1u);
  EXPECT_TRUE(env->tables[0].empty());
  EXPECT_EQ(env->dictionary.Size(), 75u);
  EXPECT_TRUE(env->stopped);
  EXPECT_EQ(env->errorCode, 0);
  EXPECT_EQ(env->resume, 0);
  EXPECT_EQ(env->name, "test");
}

TEST_F(BrelTest, ValueStackDepthIsBounded) {
  env->limits.maxValues = 3;
  env->program = "1 2 3 4";
  EXPECT_FALSE(BrelRun(env));
  EXPECT_EQ(env->errorCode, 7);
  EXPECT_EQ(env->errorMessage, "値スタックがオーバーフローしました。:BrelPushValue");
  EXPECT_EQ(env->values.size(), 3u);
}

TEST_F(BrelTest, MemoryBudgetCoversTextsArraysAndOtherEnvironments) {
  BrelSetMemoryLimit(env, size_t{4} << 20);
  // A 64 KB text copied into each of 1024 elements would hold 64 MB.
  const char* grow = "0 var i \"x\" var s 1 16 for i s s + subst s next ";
  EXPECT_FALSE(Run(std::string(grow) + "s 1024 1 array a"));
  EXPECT_EQ(env->errorMessage, "メモリーが枯渇しました。:array");
  EXPECT_FALSE(Run(std::string(grow) + "1 100 for i s next"));
  EXPECT_EQ(env->errorMessage, "メモリーが枯渇しました。:BrelPushValue");
  // What was dropped is no longer held: a long loop of copies runs.
  EXPECT_TRUE(Run(std::string(grow) + "1 1000 for i s drop next"));
  EXPECT_LE(BrelMemoryInUse(env), size_t{1} << 20);
  // A child environment spends the same budget.
  EXPECT_FALSE(Run(std::string(grow) + "1 100 for i newenv s execenv drop next"));
  EXPECT_EQ(env->errorCode, 12);
}

TEST_F(BrelTest, CallDepthIsBounded) {
  env->limits.maxFrames = 50;
  EXPECT_FALSE(Run(": f f ; f"));
  EXPECT_EQ(env->errorCode, 9);
  EXPECT_EQ(env->errorMessage, "プログラムポインタスタックがオーバーフローしました。:f:"
                               "ワードの呼び出しとブロックの入れ子は 50 段までです。");
  EXPECT_EQ(env->frames.size(), 50u);
  EXPECT_TRUE(Run(": g 1 - dup if g endif ; 24 g"));  // two frames a call
}

TEST_F(BrelTest, RegistrationOrderFollowsTheManualList) {
  const auto& cells = env->dictionary.Cells();
  EXPECT_EQ(cells.front()->name, "version");
  EXPECT_EQ(cells[1]->name, ".");
  EXPECT_EQ(cells[36]->name, ":");
  EXPECT_EQ(cells.back()->name, "man");
  EXPECT_EQ(cells.back()->manual,
            "man wordname→<manual : str>:指定ワードのオンラインマニュアルをスタックに積みます。"
            "バイナリ辞書以外のワードはワード内の最初のコメントを出力します。");
}

TEST_F(BrelTest, SetErrorBuildsMessages) {
  BrelSetError(env, 6, "dup");
  EXPECT_EQ(env->errorMessage, "値スタックがアンダーフローしました。:dup");
  BrelSetError(env, 2);
  EXPECT_EQ(env->errorMessage, "型が誤っています。");
  BrelSetError(env, 0, "ignored");
  EXPECT_EQ(env->errorCode, 0);
  EXPECT_EQ(env->errorMessage, "");
  BrelSetError(env, 40, "ctx");
  EXPECT_EQ(env->errorCode, 40);
  EXPECT_EQ(env->errorMessage, "未定義のエラーです。:ctx");
  BrelSetError(env, 17);
  EXPECT_EQ(env->errorMessage, "そのほかのエラーです。");
  BrelSetError(env, 16);
  EXPECT_EQ(env->errorMessage, "未定義のエラーです。");
}

TEST_F(BrelTest, PopIntAcceptsPositionsRejectsTextsAndReals) {
  int32_t n = 0;
  ASSERT_TRUE(BrelPushValue(env, BrelValue::Position(kBrelLabel, 42)));
  EXPECT_TRUE(BrelPopInt(env, n));
  EXPECT_EQ(n, 42);
  ASSERT_TRUE(BrelPushReal(env, 1.5L));
  EXPECT_FALSE(BrelPopInt(env, n));
  EXPECT_TRUE(env->values.empty());
  EXPECT_EQ(env->errorCode, 2);
  EXPECT_EQ(env->errorMessage, "型が誤っています。");
  EXPECT_FALSE(BrelPopInt(env, n));
  EXPECT_EQ(env->errorCode, 6);
}

TEST_F(BrelTest, PopStrOnEmptyAndWrongType) {
  std::string s;
  EXPECT_FALSE(BrelPopStr(env, s));
  EXPECT_EQ(env->errorMessage, "値スタックがアンダーフローしました。");
  EXPECT_TRUE(env->values.empty());
  BrelPushInt(env, 3);
  EXPECT_FALSE(BrelPopStr(env, s));
  EXPECT_EQ(env->errorCode, 2);
  EXPECT_TRUE(env->values.empty());
  BrelPushStr(env, std::string("a\0b", 3));
  EXPECT_TRUE(BrelPopStr(env, s));
  EXPECT_EQ(s, std::string("a\0b", 3));
}

TEST(BrelNames, Validity) {
  EXPECT_TRUE(BrelIsValidName("abc"));
  EXPECT_TRUE(BrelIsValidName("a1+"));
  EXPECT_TRUE(BrelIsValidName("$10"));
  EXPECT_FALSE(BrelIsValidName(""));
  for (const char* bad : {"1a", "+x", "-x", "*x", "/x", ".x", "9"}) EXPECT_FALSE(BrelIsValidName(bad)) << bad;
}

TEST_F(BrelTest, DuplicateCellsFirstWinsAndMovesToFront) {
  int first = 0, second = 0;
  ASSERT_TRUE(BrelAddHostWord(env, "hw", [&](BrelEnvH) { ++first; return true; }, "one"));
  ASSERT_TRUE(BrelAddHostWord(env, "hw", [&](BrelEnvH) { ++second; return true; }, "two"));
  EXPECT_TRUE(Run("hw"));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(env->dictionary.Cells().front()->manual, "one");
  // man moves itself (it is executed) but not the cell it looks up.
  EXPECT_TRUE(Run("man dup"));
  EXPECT_EQ(env->dictionary.Cells()[0]->name, "man");
  EXPECT_EQ(env->dictionary.Cells()[1]->name, "hw");
}

TEST_F(BrelTest, FindNameMovesToFrontGlobalThenLocal) {
  ASSERT_TRUE(Run("1 var a 2 var b 3 var c c"));
  const BrelNameTable& g = env->tables[0];
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0]->name, "c");  // executed, so moved to the front
  EXPECT_EQ(BrelFindName(env, "b")->name, "b");
  EXPECT_EQ(env->tables[0][0]->name, "b");
  EXPECT_EQ(BrelFindName(env, "zz"), nullptr);
}

TEST_F(BrelTest, ResetClearsEverythingButHostWords) {
  BrelAddHostWord(env, "h", [](BrelEnvH e) { return BrelPushInt(e, 5); }, "");
  ASSERT_TRUE(Run("1 var a begin h"));
  BrelResetEnv(env);
  EXPECT_TRUE(env->values.empty());
  EXPECT_TRUE(env->frames.empty());
  ASSERT_EQ(env->tables.size(), 1u);
  EXPECT_TRUE(env->tables[0].empty());
  EXPECT_TRUE(env->running.empty());
  EXPECT_EQ(env->dictionary.Size(), 76u);
}

}  // namespace
}  // namespace velmora
