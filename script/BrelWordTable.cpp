// Registration of the built-in words with their manual texts, in the order
// of the manual list.  The cells are made once and shared by every
// environment: they are immutable, so sharing is invisible to programs.
#include <memory>
#include <vector>

#include "base/Translate.h"
#include "script/BrelWords.h"

namespace velmora {

namespace {

struct WordRow {
  const char* name;
  bool (*handler)(BrelEnvH);
  const char* manual;
};

const WordRow kWords[] = {
    {"version", &brelword::Version,
     TrNoop("version →<v : real>: Brelインタプリタのバージョンナンバーを実数値でスタックトップに積みます。")},
    {".", &brelword::Print,
     TrNoop("<a> . → empty: スタックトップの値をコンソールに出力する")},
    {"cr", &brelword::Cr,
     TrNoop("cr →<empty>: 改行をコンソールに出力する")},
    {"dup", &brelword::Dup,
     TrNoop("<a> dup → <a><a> : スタックトップの値を二重化する")},
    {"drop", &brelword::Drop,
     TrNoop("<a><b> drop → <a> : スタックトップの値を捨てる")},
    {"swap", &brelword::Swap,
     TrNoop("<a><b> swap → <b><a> : スタックトップと２番目の値を入れ替える")},
    {"over", &brelword::Over,
     TrNoop("<a><b> over → <a><b><a>: スタック2番目の値をトップに積む")},
    {"rot", &brelword::Rot,
     TrNoop("<a><b><c> rot → <b><c><a>: スタック3番目の値をトップに積む")},
    {"+", &brelword::Add,
     TrNoop("<a><b> + → <a+b>: スタック上から２個の値を加算し、トップに積む(文字列の連結も可)")},
    {"-", &brelword::Sub,
     TrNoop("<a : not str><b : not str> - → <a-b : not str>: スタック上から２個の値を減算し、トップに積む")},
    {"*", &brelword::Mul,
     TrNoop("<a : not str><b : not str> * → <a*b : not str>: スタック上から２個の値を乗算し、トップに積む")},
    {"/", &brelword::Div,
     TrNoop("<a : not str><b : not str> / → <a/b : not str>: スタック上から２個の値を除算し、トップに積む")},
    {"mod", &brelword::Mod,
     TrNoop("<a : int><b : int> mod → <a mod b : int>: スタック上から２個の値を整数除算し余りを求め、トップに積む (両辺とも整数値である必要がある）")},
    {">", &brelword::Greater,
     TrNoop("<a: not str><b : not str> > → <-1/0>: スタック上から２個の値を大小比較し、トップに真偽値を積む")},
    {"<", &brelword::Less,
     TrNoop("<a : not str><b : not str> < → <-1/0>: スタック上から２個の値を大小比較し、トップに真偽値を積む")},
    {">=", &brelword::GreaterEq,
     TrNoop("<a : not str><b : not str> > = → <-1/0>: スタック上から２個の値を大小比較し、トップに真偽値を積む")},
    {"<=", &brelword::LessEq,
     TrNoop("<a : not str><b : not str> <= → <-1/0>: スタック上から２個の値を大小比較し、トップに真偽値を積む")},
    {"=", &brelword::Equal,
     TrNoop("<a><b> = → <-1/0>: スタック上から２個の値を等しいかどうか比較し、トップに真偽値を積む。文字列比較可")},
    {"<>", &brelword::NotEqual,
     TrNoop("<a><b> <> → <-1/0>: スタック上から２個の値を等しくないどうか比較し、トップに真偽値を積む。文字列比較可")},
    {"and", &brelword::And,
     TrNoop("<a : int><b : int> and → <a and b : int>: スタック上から２個の値の論理積を取る。")},
    {"or", &brelword::Or,
     TrNoop("<a : int><b : int> or → <a or b : int>: スタック上から２個の値の論理和を取る。")},
    {"xor", &brelword::Xor,
     TrNoop("<a : int><b : int> xor → <a xor b : int>: スタック上から２個の値の排他的論理和を取る。")},
    {"not", &brelword::Not,
     TrNoop("<a : int><b : int> not → <a not b : int>: スタック上から２個の値の論理否定を取る。")},
    {"var", &brelword::Var,
     TrNoop("<a> var name → empty: 変数を宣言し、スタックトップの値を代入")},
    {"const", &brelword::Const,
     TrNoop("<a> const name → empty: スタックトップの値に名前を付け定数を宣言する。")},
    {"array", &brelword::Array,
     TrNoop("<a> <maxn : int>[…<max1 : int>] <dn : int> array name → empty: <dn>次元で、各次元の要素数が<max[1-n]>(添え字の範囲は0～要素数-1)の配列変数を宣言し、<a>の値で初期化。")},
    {"subst", &brelword::Subst,
     TrNoop("<a> subst name/<a> <nn : int>[…<n1 : int>] subst name →empty: 変数又は配列変数に<a>の値を代入、型が異なる場合、添え字が整数でない場合はエラー。")},
    {"label", &brelword::Label,
     TrNoop("label labelname: 現在の位置にラベルを定義します。なおラベルは常にグローバルな存在です。")},
    {"goto", &brelword::Goto,
     TrNoop("goto labelname: 指定ラベルの位置に制御を移します。使用は推奨しません。ブロック(ifブロックを含む）から脱出する場合は、pdropで制御スタックを調整する必要があります。なおブロック内に正常にジャンプするためのプログラムポインタスタック捏造方法はありません。")},
    {"ifgoto", &brelword::IfGoto,
     TrNoop("<f : int> ifgoto labelname →empty: スタックトップが真なら指定ラベルの位置に制御を移します。使用は推奨しません。gotoの項参照")},
    {"pdrop", &brelword::PDrop,
     TrNoop("pdrop: プログラムポインタスタックを１階層分捨てます。gotoでブロック外に飛ぶ場合などに使用します。使用は推奨しません。")},
    {"if", &brelword::If,
     TrNoop("<f : int> if (else endif): 条件分岐をします。スタックトップが真ならifの後を、偽ならelse 以降を実行します。")},
    {"else", &brelword::Else,
     TrNoop("<f : int> (if) else (endif): 条件分岐をします。スタックトップが真ならifの後を、偽ならelse 以降を実行します。")},
    {"endif", &brelword::Endif,
     TrNoop("<f : int> (if else ) endif: 条件分岐をします。スタックトップが真ならifの後を、偽ならelse 以降を実行します。")},
    {"terminate", &brelword::Terminate,
     TrNoop("terminate: Brelスクリプトの実行を中断します。開発環境的にはBrelContinue()で続行しますが、続行の方法が用意されているかどうかはアプリ依存です。")},
    {"ifterminate", &brelword::IfTerminate,
     TrNoop("<f : int> ifterminate→empty: Brelスクリプトの実行を条件中断します。開発環境的にはBrelContinue()で続行しますが、続行の方法が用意されているかどうかはアプリ依存です。")},
    {":", &brelword::DefineWordStart,
     TrNoop(": name ～ (;) : ワードを定義します。labelと異なり、かならず実行される必要があります。")},
    {";", &brelword::DefineWordEnd,
     TrNoop("(: name) ～ ; : ワードの定義を終了します。")},
    {"ret", &brelword::Ret,
     TrNoop("ret : ワードから脱出します。ブロックの内側からでも脱出できます。")},
    {"begin", &brelword::Begin,
     TrNoop("begin ～ (again|until): ループ文です。ブロック内を繰り返します。")},
    {"again", &brelword::Again,
     TrNoop("(begin) ～ again: 無限ループ文です。ブロック内を繰り返します。")},
    {"until", &brelword::Until,
     TrNoop("(begin) ～  <f : int> until →empty: 後ろ判定条件ループ文です。untilの時点でスタックトップが真になるまで繰り返します。")},
    {"while", &brelword::While,
     TrNoop("<f : int> while ～ (whend): 前判定条件ループ文です。whileの時点でスタックトップが真である間は繰り返します。")},
    {"whend", &brelword::Whend,
     TrNoop("(while) ～ whend: 前判定条件ループ文です。ブロック内を繰り返します。")},
    {"for", &brelword::For,
     TrNoop("<s : int> <e : int> for <varname> ～(step～next): 自動条件ループ文です。指定された変数を制御変数とし、ブロック内を繰り返します。")},
    {"next", &brelword::Next,
     TrNoop("(for～step)～next): 自動条件ループ文です。指定された変数を制御変数とし、ブロック内を繰り返します。")},
    {"step", &brelword::Step,
     TrNoop("(for)～<n : int> step～(next): for ループの制御変数を設定します。")},
    {"break", &brelword::Break,
     TrNoop("break: if、ループブロックから強制的に脱出します。")},
    {"ifbreak", &brelword::IfBreak,
     TrNoop("<f : int> ifbreak→empty: 条件でif、ループブロックから強制的に脱出します。")},
    {"on", &brelword::On,
     TrNoop("<n : int> on <wordslist> (endon): 整数nの値に応じた<wordslist>内のワードを呼び出します。n=0のときon直後に記述されているワードが対応します。")},
    {"endon", &brelword::EndOn,
     TrNoop("(on) <wordslist> endon: 整数nの値に応じた<wordslist>内のワードを呼び出します。n=0のときon直後に記述されているワードが対応します。")},
    {"nop", &brelword::Nop,
     TrNoop("nop:　なにもしません。ステップ数が問題になるケースやon～endon のダミーなどで利用します。")},
    {"int", &brelword::ToInt,
     TrNoop("<v> int→<v : int>: スタックトップを切り捨てで整数型に変換します。")},
    {"round", &brelword::ToRound,
     TrNoop("<v> round→<v : int>: スタックトップを丸めで整数型に変換します。")},
    {"real", &brelword::ToReal,
     TrNoop("<v> real→<v : real>: スタックトップを実数型に変換します。")},
    {"str", &brelword::ToStr,
     TrNoop("<v> str→<v : str>: スタックトップを文字列型に変換します。")},
    {"asciistr", &brelword::AsciiStr,
     TrNoop("<v> asciistr→<c : str>: スタックトップをアスキーコードと見なし、文字に変換します。")},
    {"isstr", &brelword::IsStr,
     TrNoop("<?> isstr→<?> <f : int>: スタックトップの型を調べ、文字列型なら真値をスタックに積みます。")},
    {"isint", &brelword::IsInt,
     TrNoop("<?> isint→<?> <f : int>: スタックトップの型を調べ、整数型なら真値をスタックに積みます。")},
    {"isreal", &brelword::IsReal,
     TrNoop("<?> isreal→<?> <f : int>: スタックトップの型を調べ、実数型なら真値をスタックに積みます。")},
    {"depth", &brelword::Depth,
     TrNoop("depth →<n : int>: スタックの深さを調べ、スタックに詰みます。depthそのものの返り値は数に含まれません。")},
    {"pdepth", &brelword::PDepth,
     TrNoop("pdepth →<n : int>: プログラムポインタスタックの深さを調べ、スタックに詰みます。pdepthそのものの返り値は数に含まれません。")},
    {"forget", &brelword::Forget,
     TrNoop("forget wordname:指定ワードを忘却します。バイナリ辞書内のワードは忘却できません。")},
    {"cleanstack", &brelword::CleanStack,
     TrNoop("cleanstack →<(absolute)empty>: スタックを初期化します。")},
    {"cleanpstack", &brelword::CleanPStack,
     TrNoop("cleanpstack →<empty>: プログラムポインタスタックを初期化する。使用は推奨しません。")},
    {"cleanup", &brelword::Cleanup,
     TrNoop("cleanup →<empty>: 環境をクリンナップする。全ての識別子を忘れ,スタックを初期化する。")},
    {"envname", &brelword::EnvName,
     TrNoop("envname →<envname : str> アプリケーションレベルで設定している環境名をスタックに積む。")},
    {"run", &brelword::Run,
     TrNoop("run : 環境上にあるプログラムテキストを実行する。")},
    {"cont", &brelword::Cont,
     TrNoop("cont : 環境上にあるプログラムテキストを継続する。(ダイレクトモード用ワード）")},
    {"newenv", &brelword::NewEnv,
     TrNoop("newenv →<envptr : int>: 新しい実行環境を作成する。環境は基本的に現環境のコピーとなる。実行時識別子、各スタック、プログラムテキストは空。実行後freeenvで解放する必要がある")},
    {"freeenv", &brelword::FreeEnv,
     TrNoop("<envptr>freeenv →<empty>: 確保した実行環境を解放する。")},
    {"execenv", &brelword::ExecEnv,
     TrNoop("<envptr : int> <programtext : str> execenv→<-1/0>: 作成した実行環境でプログラムを実行する。")},
    {"contenv", &brelword::ContEnv,
     TrNoop("<envptr>contenv →<-1/0>: 作成した実行環境でのプログラムが中断した場合、継続実行する。")},
    {"stepenv", &brelword::StepEnv,
     TrNoop("<envptr>stepenv →<-1/0>: 作成した実行環境でのプログラムをステップ実行する。")},
    {"man", &brelword::Man,
     TrNoop("man wordname→<manual : str>:指定ワードのオンラインマニュアルをスタックに積みます。バイナリ辞書以外のワードはワード内の最初のコメントを出力します。")},
};

}  // namespace

bool BrelRegistBinaryDictionary(BrelEnvH env) {
  try {
    for (const WordRow& w : kWords)
      env->dictionary.Append(std::make_shared<const BrelBinaryDictionaryCell>(
          BrelBinaryDictionaryCell{w.name, w.manual, BrelHostWord(w.handler)}));
  } catch (...) {
    BrelSetError(env, 12, "AddBinaryDictionaryCell");
    return false;
  }
  return true;
}

}  // namespace velmora
