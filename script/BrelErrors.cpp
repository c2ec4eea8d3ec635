// The error table and the error state of an environment.
#include "base/Translate.h"
#include "script/BrelEnv.h"

namespace velmora {

namespace {

const char* const kErrorTexts[] = {
    "",
    TrNoop("文法的な誤りです。"),
    TrNoop("型が誤っています。"),
    TrNoop("数学的なエラーです。"),
    TrNoop("型変換などでのエラーです。"),
    TrNoop("このワードは忘却できません。"),
    TrNoop("値スタックがアンダーフローしました。"),
    TrNoop("値スタックがオーバーフローしました。"),
    TrNoop("プログラムポインタスタックがアンダーフローしました。"),
    TrNoop("プログラムポインタスタックがオーバーフローしました。"),
    TrNoop("継続実行できません。"),
    TrNoop("実行開始できません。"),
    TrNoop("メモリーが枯渇しました。"),
    TrNoop("未定義の名称です。"),
    TrNoop("重複定義です。"),
    TrNoop("値が範囲外か、間違っています。"),
    TrNoop("未定義のエラーです。"),
    TrNoop("そのほかのエラーです。"),
};
constexpr int kErrorCount = sizeof kErrorTexts / sizeof kErrorTexts[0];

}  // namespace

const char* BrelErrorText(int code) {
  if (code >= 0 && code < kErrorCount) return Tr(kErrorTexts[code]);
  return Tr("未定義のエラーです。");
}

void BrelSetError(BrelEnvH env, int code, std::string_view context) {
  // The code field is 8 bits wide; the message follows the stored code.
  const uint8_t stored = static_cast<uint8_t>(code);
  env->errorCode = stored;
  if (stored == 0) {
    env->errorMessage.clear();
    return;
  }
  std::string msg = BrelErrorText(stored);
  if (!context.empty()) {
    msg += TrIn("between an error text and its context", ":");
    msg.append(context);
  }
  env->errorMessage = std::move(msg);
}

void BrelSetErrorText(BrelEnvH env, int code, std::string message) {
  env->errorCode = static_cast<uint8_t>(code);
  env->errorMessage = std::move(message);
}

}  // namespace velmora
