// The error table and the error state of an environment.
#include "script/BrelEnv.h"

namespace velmora {

namespace {

const char* const kErrorTexts[] = {
    "",
    "文法的な誤りです。",
    "型が誤っています。",
    "数学的なエラーです。",
    "型変換などでのエラーです。",
    "このワードは忘却できません。",
    "値スタックがアンダーフローしました。",
    "値スタックがオーバーフローしました。",
    "プログラムポインタスタックがアンダーフローしました。",
    "プログラムポインタスタックがオーバーフローしました。",
    "継続実行できません。",
    "実行開始できません。",
    "メモリーが枯渇しました。",
    "未定義の名称です。",
    "重複定義です。",
    "値が範囲外か、間違っています。",
    "未定義のエラーです。",
    "そのほかのエラーです。",
};
constexpr int kErrorCount = sizeof kErrorTexts / sizeof kErrorTexts[0];

}  // namespace

const char* BrelErrorText(int code) {
  if (code >= 0 && code < kErrorCount) return kErrorTexts[code];
  return "未定義のエラーです。";
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
    msg += ':';
    msg.append(context);
  }
  env->errorMessage = std::move(msg);
}

void BrelSetErrorText(BrelEnvH env, int code, std::string message) {
  env->errorCode = static_cast<uint8_t>(code);
  env->errorMessage = std::move(message);
}

}  // namespace velmora
