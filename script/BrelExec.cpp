#include "script/BrelExec.h"

#include <algorithm>
#include <climits>
#include <new>

#include "base/NumberText.h"
#include "base/Translate.h"
#include "script/BrelReader.h"
#include "script/BrelWords.h"

namespace velmora {

namespace {

// Nesting of token executions across an environment tree: a word that
// starts another execution (run, cont, execenv, contenv, stepenv, on)
// re-enters BrelExecToken, so counting here bounds the host recursion.
struct NestingGuard {
  explicit NestingGuard(BrelInterpreter& i) : shared(i) { ++shared.nesting; }
  ~NestingGuard() { --shared.nesting; }
  BrelInterpreter& shared;
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

// Marks an environment as executing, so that freeenv refuses to free it.
struct ActiveGuard {
  explicit ActiveGuard(BrelEnvH e) : env(e) { ++env->active; }
  ~ActiveGuard() { --env->active; }
  ActiveGuard(const ActiveGuard&) = delete;
  ActiveGuard& operator=(const ActiveGuard&) = delete;
  BrelEnvH env;
};

// The context an allocation failure inside a word reports.
std::string_view AllocContext(std::string_view word) {
  if (word == "begin") return "BrelBegin";
  if (word == "while") return "BrelWhile";
  if (word == ":") return "BrelDefineWordStart";
  if (word == "var" || word == "const") return "DefConstVariable";
  if (word == "newenv") return Tr("newenv:新たな実行環境が確保できませんでした。");
  return word;
}

// Index of the entry of that name in a table, or -1.
ptrdiff_t IndexIn(const BrelNameTable& table, std::string_view name) {
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i]->name == name) return static_cast<ptrdiff_t>(i);
  return -1;
}

bool TextFits(BrelEnvH env, size_t size) {
  if (size <= static_cast<size_t>(INT32_MAX)) return true;
  BrelSetError(env, 12, "BrelRun");
  return false;
}

void RefreshViews(BrelEnvH env) {
  if (env->traceView) env->traceView->SetText(BrelTraceText(env));
  if (env->stackView) {
    env->stackView->Clear();
    for (const BrelValue& v : env->values) env->stackView->Insert(0, BrelStackLine(v));
  }
  if (env->controlView) {
    env->controlView->Clear();
    for (const std::string& line : [&] {
           std::vector<std::string> l = BrelControlLines(env);
           std::reverse(l.begin(), l.end());
           return l;
         }())
      env->controlView->Insert(0, line);
  }
}

}  // namespace

bool BrelRun(BrelEnvH env) {
  try {
    BrelResetEnv(env);
    env->running = env->userDictionary;
    env->pointer = 0;
    if (!TextFits(env, env->userDictionary.size() + env->program.size())) return false;
    if (!PreLabelRegist(env) || !BrelExecute(env)) {
      env->errorMessage += " in UserDictionary.";
      return false;
    }
    if (!BrelChargeMemory(env, env->userDictionary.size() + env->program.size(), "BrelRun"))
      return false;
    env->running = env->userDictionary + env->program;
    env->pointer = static_cast<int32_t>(env->userDictionary.size());
  } catch (const std::bad_alloc&) {
    BrelSetError(env, 12, "BrelRun");
    return false;
  }
  if (!PreLabelRegist(env)) return false;
  return BrelExecute(env);
}

bool BrelExecute(BrelEnvH env) {
  ActiveGuard active(env);
  const size_t length = env->running.size();
  BrelSetError(env, 0);
  env->stopped = false;
  bool ok = true;
  while (static_cast<size_t>(std::max(env->pointer, 0)) < length) {
    ok = BrelStep(env);
    if (!ok) break;
    if (env->stopped) return true;
  }
  env->stopped = true;
  return ok;
}

bool BrelStep(BrelEnvH env) {
  ActiveGuard active(env);
  BrelStepBudget& budget = *env->budget;
  if (budget.interrupt && *budget.interrupt) {
    env->errorCode = 0;
    env->errorMessage.clear();
    return false;
  }
  if (budget.limit > 0 && ++budget.used > budget.limit) {
    BrelSetError(env, 17, Tr("実行ステップ数の上限に達しました。"));
    return false;
  }
  if (env->running.empty()) return false;
  std::string_view token;
  try {
    token = BrelNextToken(env);
  } catch (const std::bad_alloc&) {
    BrelSetError(env, 12, "BrelStep");
    return false;
  }
  while (!token.empty() && BrelIsDelimiter(static_cast<unsigned char>(token.front())))
    token.remove_prefix(1);
  while (!token.empty() && BrelIsDelimiter(static_cast<unsigned char>(token.back())))
    token.remove_suffix(1);
  const bool ok = token.empty() || BrelExecToken(env, token);
  if (env->traceView || env->stackView || env->controlView) {
    // Views and the pump belong to the host; whatever they throw stays here
    // and does not affect execution.
    try {
      RefreshViews(env);
      if (env->eventPump) env->eventPump();
    } catch (...) {
    }
  }
  return ok;
}

bool BrelExecToken(BrelEnvH env, std::string_view token) {
  NestingGuard nesting(*env->interpreter);
  if (nesting.shared.nesting > kBrelMaxNesting) {
    BrelSetError(env, 17, Tr("実行の入れ子が深すぎます。"));
    return false;
  }
  // Binary dictionary first: built-in and host words cannot be hidden.
  if (BrelCellPtr cell = env->dictionary.Find(token, true)) {
    try {
      return cell->handler(env);
    } catch (const std::bad_alloc&) {
      BrelSetError(env, 12, AllocContext(cell->name));
      return false;
    } catch (const std::length_error&) {
      BrelSetError(env, 12, AllocContext(cell->name));
      return false;
    } catch (...) {
      BrelSetError(env, 17, cell->name);
      return false;
    }
  }
  try {
    // User dictionary: the current table when it is local, then the global
    // one; the first table holding the name decides.
    BrelNameTable* table = nullptr;
    ptrdiff_t at = -1;
    if (env->tables.size() > 1) {
      table = &env->tables.back();
      at = IndexIn(*table, token);
    }
    if (at < 0 && !env->tables.empty()) {
      table = &env->tables.front();
      at = IndexIn(*table, token);
    }
    if (at >= 0) {
      BrelEntryPtr entry = (*table)[static_cast<size_t>(at)];
      if (entry->dimensions > 0) return PushArray(env, *entry);
      if (at > 0) std::rotate(table->begin(), table->begin() + at, table->begin() + at + 1);
      if (entry->value.type == kBrelWord) return ExecWord(env, *entry);
      return BrelPushValue(env, entry->value);
    }
    BrelValue literal;
    if (!BrelParseLiteral(token, literal)) {
      BrelSetError(env, 1, TrFormatIn("word or value not recognised", "%s", {token}));
      return false;
    }
    return BrelPushValue(env, std::move(literal));
  } catch (const std::bad_alloc&) {
    BrelSetError(env, 12, "BrelPushValue");
    return false;
  }
}

bool ExecWord(BrelEnvH env, const BrelVariable& entry) {
  if (!BrelRoomForFrame(env, entry.name)) return false;
  try {
    BrelFrame frame;
    frame.kind = kFrameWord;
    frame.position = env->pointer;
    // Room for both pushes first, so that neither can fail after the other;
    // grown geometrically, since a slot at a time would copy the whole
    // stack on every call of a deep recursion.
    if (env->frames.size() == env->frames.capacity()) env->frames.reserve(2 * env->frames.size() + 8);
    if (env->tables.size() == env->tables.capacity()) env->tables.reserve(2 * env->tables.size() + 8);
    env->frames.push_back(std::move(frame));
    env->tables.emplace_back();
  } catch (const std::bad_alloc&) {
    BrelSetError(env, 12, "ExecWord");
    return false;
  }
  env->pointer = entry.value.num;
  return true;
}

bool BrelContinue(BrelEnvH env) {
  try {
    if (!TextFits(env, env->userDictionary.size() + env->program.size())) return false;
    env->pointer = env->resume;
    env->running = env->userDictionary + env->program;
  } catch (const std::bad_alloc&) {
    BrelSetError(env, 12, "BrelContinue");
    return false;
  }
  return BrelExecute(env);
}

bool BrelRunLine(BrelEnvH env, std::string_view line) {
  int32_t start;
  try {
    if (!env->program.empty()) env->program += '\n';
    if (!TextFits(env, env->userDictionary.size() + env->program.size() + line.size()))
      return false;
    env->program.append(line);
    env->running = env->userDictionary + env->program;
    start = static_cast<int32_t>(env->running.size() - line.size());
  } catch (const std::bad_alloc&) {
    BrelSetError(env, 12, "BrelRunLine");
    return false;
  }
  env->pointer = start;
  if (env->tables.empty()) env->tables.emplace_back();
  if (!PreLabelRegist(env, start)) return false;
  return BrelExecute(env);
}

// --- Views ------------------------------------------------------------------

std::string BrelStackLine(const BrelValue& v) {
  switch (v.type) {
    case kBrelStr:
      return "str  :\"" + v.text + "\"";
    case kBrelInt:
      return "int  :" + std::to_string(v.num);
    case kBrelReal:
      return "real :" + FormatReal(v.real);
    case kBrelLabel:
      return "label:" + std::to_string(v.num);
    default:
      return "word :" + std::to_string(v.num);
  }
}

std::vector<std::string> BrelStackLines(BrelEnvH env) {
  return BrelStackLines(env, env->values.size());
}

std::vector<std::string> BrelStackLines(BrelEnvH env, size_t limit) {
  std::vector<std::string> lines;
  lines.reserve(std::min(limit, env->values.size()));
  for (auto it = env->values.rbegin(); it != env->values.rend() && lines.size() < limit; ++it)
    lines.push_back(BrelStackLine(*it));
  return lines;
}

std::vector<std::string> BrelControlLines(BrelEnvH env) {
  std::vector<std::string> lines;
  lines.reserve(env->frames.size());
  for (auto it = env->frames.rbegin(); it != env->frames.rend(); ++it) {
    const char* label;
    switch (it->kind) {
      case kFrameIf: label = "if   :"; break;
      case kFrameBegin: label = "begin:"; break;
      case kFrameWhile: label = "while:"; break;
      case kFrameFor: label = "for  :"; break;
      case kFrameWord: label = "word :"; break;
      default: label = "other:"; break;
    }
    lines.push_back(label + std::to_string(it->position));
  }
  return lines;
}

std::string BrelTraceText(BrelEnvH env) {
  std::string t = env->running;
  const size_t p = static_cast<size_t>(std::max(env->pointer, 0));
  if (p < t.size())
    t[p] = '#';
  else
    t += '#';
  return t;
}

}  // namespace velmora
