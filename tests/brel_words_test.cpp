// The reader and the word set: tokens, literals, the forward scans, and
// words whose behaviour the golden programs do not pin down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brel_test_util.h"
#include "script/Brel.h"

namespace velmora {
namespace {

using brel_test::BrelTest;

std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> out;
  int32_t pos = 0;
  std::string buf;
  for (;;) {
    std::string_view t = BrelReadToken(text, pos, buf);
    if (t.empty()) return out;
    out.emplace_back(t);
  }
}

TEST(BrelReader, Tokens) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Tokens("1 (a (b) x) 2"), (V{"1", "x)", "2"}));
  EXPECT_EQ(Tokens("abc(d) (c1)(c2) e"), (V{"abc(d)", "e"}));
  EXPECT_EQ(Tokens("\"a b\"cd \"x"), (V{"\"a b\"", "cd", "\"x\""}));
  EXPECT_EQ(Tokens("a\x01" "b\x1f" "c\x7f" "d"), (V{"a", "b", "c\x7f" "d"}));
  EXPECT_EQ(Tokens(std::string("x\0y", 3)), (V{"x", "y"}));
  EXPECT_EQ(Tokens("\x93\xfa \x96\x7b"), (V{"\x93\xfa", "\x96\x7b"}));  // Shift-JIS bytes
  EXPECT_EQ(Tokens("1 ( open"), (V{"1"}));
  // The read position stops on the delimiter after a token.
  int32_t pos = 0;
  std::string buf;
  BrelReadToken("ab  cd", pos, buf);
  EXPECT_EQ(pos, 2);
  pos = 100;  // beyond the end: the end of the text
  EXPECT_TRUE(BrelReadToken("ab", pos, buf).empty());
}

TEST(BrelReader, Literals) {
  struct Case {
    const char* token;
    bool ok;
    const char* line;
  };
  const Case cases[] = {
      {"1.5", true, "real :1.5"},       {".5", true, "real :0.5"},
      {"3.", true, "real :3"},          {"-2.5e-3", true, "real :-0.0025"},
      {"1E+2", true, "real :100"},      {"1.5e", true, "real :1.5"},
      {"+.", true, "real :0"},          {"2e+", true, "real :2"},
      {"1.2.3", false, ""},             {"1e5", false, ""},
      {"1.0e99999", false, ""},         {"e+5", false, ""},
      {"$10", true, "int  :16"},        {"$ffffffff", true, "int  :-1"},
      {"$000000010", true, "int  :16"}, {"$100000000", false, ""},
      {"$", false, ""},                 {"$-1", false, ""},
      {"2147483647", true, "int  :2147483647"},
      {"-2147483648", true, "int  :-2147483648"},
      {"2147483648", false, ""},        {"-2147483649", false, ""},
      {"+5", true, "int  :5"},          {"-", false, ""},
      {"12abc", false, ""},             {"\"\"", true, "str  :\"\""},
  };
  for (const Case& c : cases) {
    BrelValue v;
    ASSERT_EQ(BrelParseLiteral(c.token, v), c.ok) << c.token;
    if (c.ok) {
      EXPECT_EQ(BrelStackLine(v), c.line) << c.token;
    }
  }
}

TEST_F(BrelTest, SkipToElseCountsNestedIfs) {
  env->running = "if x endif else y";
  env->pointer = 0;
  EXPECT_EQ(BrelSkipToElse(env), "else");
  EXPECT_EQ(env->pointer, 15);
  env->running = "if a else b endif";
  env->pointer = 0;
  EXPECT_EQ(BrelSkipToElse(env), "");
}

TEST_F(BrelTest, SkipBlockIgnoresElseAndOn) {
  env->running = "else on x endon begin again : w ; next";
  env->pointer = 0;
  std::string_view closer;
  EXPECT_TRUE(BrelSkipBlock(env, closer));
  EXPECT_EQ(closer, "next");
  env->running = "begin";
  env->pointer = 0;
  EXPECT_FALSE(BrelSkipBlock(env, closer));
}

struct Program {
  const char* text;
  const char* output;  // console text
  const char* error;   // "" for success
};

class BrelProgramTest : public BrelTest, public ::testing::WithParamInterface<Program> {};

TEST_P(BrelProgramTest, Runs) {
  const Program& p = GetParam();
  const bool ok = Run(p.text);
  EXPECT_EQ(Out(), p.output) << p.text;
  if (*p.error) {
    EXPECT_FALSE(ok) << p.text;
    EXPECT_EQ(env->errorMessage, p.error) << p.text;
  } else {
    EXPECT_TRUE(ok) << p.text << ": " << env->errorMessage;
  }
}

const Program kPrograms[] = {
    // Numbers meet as reals; texts compare byte-wise.
    {"1 1.5 < . 2 2.0 = . 3 2.5 >= . \"b\" \"a\" <> . \"ab\" \"ab\" <> .", "-1-1-1-10", ""},
    {"1 var l label x x 1 =", "", "型が誤っています。:="},
    {"\"a\" 1 <", "", "型が誤っています。:<"},
    {"1.5 1 and", "", "型が誤っています。:and"},
    {"-1 not . 0 not .", "0-1", ""},
    // Conversions.
    {"\" -2.5E+2 \" real . \"7\" round . 2147483647.4 int .", "-250" "7" "2147483647", ""},
    {"\"1e\" int", "", "型変換などでのエラーです。:int"},
    {"2147483647.6 round", "", "型変換などでのエラーです。:round"},
    {"\"\" int", "", "型変換などでのエラーです。:int"},
    {"label l l str", "", "型が誤っています。:str"},
    {"\"A\" asciistr", "", "型が誤っています。:asciistr"},
    {"0 asciistr str 1 asciistr + \"\" = .", "0", ""},
    {"int", "", "値スタックがアンダーフローしました。:int"},
    {"isint", "", "値スタックがアンダーフローしました。:typeof"},
    {"1.0e3000 1.0e-3000 /", "", "数学的なエラーです。:除算で零除算が発生しました。"},
    {"1.0e4932 -1.0e4932 -", "", "数学的なエラーです。:-"},
    // Stack words.
    {"1 2 3 cleanstack depth . 4 depth . pdepth .", "010", ""},
    {"1 2 rot", "", "値スタックがアンダーフローしました。:rot"},
    {"over", "", "値スタックがアンダーフローしました。:over"},
    // Arrays.
    {"0 -1 2 2 array a 0 0 a", "", "値が範囲外か、間違っています。:配列 a の第 2 添え字が範囲をオーバーしている。"},
    {"7 2 3 4 3 array c 5 1 2 3 subst c 1 2 3 c . 0 0 0 c . 1 2 1 c .", "577", ""},
    {"1.5 2 1 array r r 0 r + .", "", "値スタックがアンダーフローしました。:PushArray"},
    {"1.5 2 1 array r 0 r 1 r + .", "3", ""},
    {"0 2 0 array z", "", "値が範囲外か、間違っています。:次元数は１以上である必要があります"},
    {"0 2 1.5 array z", "", "型が誤っています。:次元数が整数ではありません"},
    {"0 \"x\" 2 array z", "", "型が誤っています。:第 1 添え字が整数ではありません"},
    {"5 2 array z", "", "値スタックがアンダーフローしました。:array"},
    {"0 99999999 99999999 2 array huge", "", "メモリーが枯渇しました。:array"},
    {"0 3 1 array a 2 subst a", "", "値スタックがアンダーフローしました。:配列へのsubstで値スタックがアンダーフローしました。"},
    {"0 3 1 array a 1 1.5 subst a", "", "型が誤っています。:第 1 添え字が整数ではありません"},
    {"0 3 1 array a 1 3 subst a", "", "値が範囲外か、間違っています。:配列 a の第 1 添え字が範囲をオーバーしている。"},
    // Names and scopes.
    {"1 var x : f 2 var x forget x x . ; f x .", "11", ""},
    {"forget nothing", "", "未定義の名称です。:nothing"},
    {"1 const c : f 2 var c c . ; f", "2", ""},
    {"1 var g : f 5 subst g ; f g .", "5", ""},
    {"1 subst 9x", "", "文法的な誤りです。:9x は変数名として適切ではありません。"},
    {": 1w ;", "", "文法的な誤りです。:1w はワード名として適切ではありません。"},
    {"label 1l", "", "文法的な誤りです。:1l は、ラベルの名前として適切ではない"},
    {"goto nowhere", "", "未定義の名称です。:nowhere"},
    {"goto 5x", "", "文法的な誤りです。:5x は適切なラベル名ではありません。"},
    {"0 ifgoto l 1 . label l 1 ifgoto m 2 . label m", "1", ""},
    {"ifgoto l label l", "", "値スタックがアンダーフローしました。:ifgoto"},
    // man and the first comment of a word.
    {": f 1 ; ( after ) man f .", "(UsrDic)/", ""},
    {": g ( a;b ) ; man g .", "(UsrDic)/ a", ""},
    {"1 var v man v . man label .", "NotExist(BinDic)/label labelname: 現在の位置にラベルを定義します。なおラベルは常にグローバルな存在です。", ""},
    // Blocks and loops; break leaves the innermost block, an if included.
    {"0 var n 1 while pdepth . n 1 + subst n n 3 < whend pdepth .", "1110", ""},
    {"0 var i 1 5 for i i 2 = if break endif i . next", "12345", ""},
    {"0 var i 5 1 for i i . -2 step next i .", "531-1", ""},
    {"0 var i 1 3 for i cleanpstack", "", ""},
    {"begin 1 if 2 . pdrop pdrop 3 .", "23", ""},
    {": w begin 1 if ret endif again ; w pdepth .", "0", ""},
    {": w 1 if 2 . ; w", "2", "文法的な誤りです。:ワード内のif,もしくはループブロックが終了していません。"},
    {"again", "", "文法的な誤りです。:again に対応する begin がありません。"},
    {"1 until", "", "文法的な誤りです。:until に対応する begin がありません。"},
    {"until", "", "値スタックがアンダーフローしました。:BrelUntil"},
    {"1 step", "", "文法的な誤りです。:step に対応する forがありません。"},
    {"0 var i 1 3 for i 1.5 step", "", "型が誤っています。:stepで指定されるfor増分値は整数型である必要があります。"},
    {"\"s\" var t 1 2 for t", "", "型が誤っています。:for制御変数に指定された t は整数ではありません。"},
    {"0 var i 1 \"x\" for i", "", "型が誤っています。:forの初期値と終了値はともに整数である必要があります。"},
    {"1 if 1 else 2", "", "文法的な誤りです。:endif が見当たりません"},
    {"1 if 1 else 2 else 3 endif", "", "文法的な誤りです。:if がないのに else があります。"},
    {"endif", "", "文法的な誤りです。:if がないのに endif があります。"},
    {"begin 1 ifbreak 5 .", "", "文法的な誤りです。:ブロックの終端がありません。"},
    {"ifbreak", "", "値スタックがアンダーフローしました。:ifbreak"},
    {"1 ifbreak", "", "文法的な誤りです。:break はブロック内に記述されるものです。"},
    {"0 ifterminate 1 . 1 ifterminate 2 .", "1", ""},
    {"1.5 ifterminate", "", "型が誤っています。:真偽値は整数または文字列です。"},
    {"\"x\" on a endon", "", "型が誤っています。:on"},
    {"on", "", "値スタックがアンダーフローしました。:on"},
    {"1 on 5 6 endon .", "6", ""},
    {"0 on . endon", "", "値スタックがアンダーフローしました。:on"},
};

INSTANTIATE_TEST_SUITE_P(Words, BrelProgramTest, ::testing::ValuesIn(kPrograms));

TEST_F(BrelTest, ManualOfEveryBuiltinWord) {
  ASSERT_TRUE(Run("man >= man nop man whend"));
  EXPECT_EQ(env->values[0].text,
            "(BinDic)/<a : not str><b : not str> > = → <-1/0>: スタック上から２個の値を大小比較し、トップに真偽値を積む");
  EXPECT_EQ(env->values[1].text,
            "(BinDic)/nop:\u3000なにもしません。ステップ数が問題になるケースやon～endon のダミーなどで利用します。");
  EXPECT_EQ(env->values[2].text,
            "(BinDic)/(while) ～ whend: 前判定条件ループ文です。ブロック内を繰り返します。");
}

TEST_F(BrelTest, ForgettingTheRunningForVariableIsSafe) {
  // The loop keeps its own reference to the forgotten variable and ends
  // normally; a new variable of the same name is independent of it.
  EXPECT_TRUE(Run("0 var k 0 var i 1 3 for i 1 . k 0 = if forget i \"s\" var i 1 subst k endif next i ."));
  EXPECT_EQ(Out(), "111s");
}

TEST_F(BrelTest, PrintWritesPositionsRelativeToTheProgram) {
  env->userDictionary = "( prelude ) ";
  EXPECT_TRUE(Run("label a a . : w ; man w"));
  EXPECT_EQ(Out(), "7");
}

}  // namespace
}  // namespace velmora
