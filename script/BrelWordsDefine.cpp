// Definitions: variables, constants, arrays, assignment, labels, forget,
// cleanup and the manual lookup.
#include <cstdint>
#include <string>

#include "base/Translate.h"
#include "script/BrelReader.h"
#include "script/BrelWords.h"

namespace velmora {

namespace {

ptrdiff_t IndexOf(const BrelNameTable& table, std::string_view name) {
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i]->name == name) return static_cast<ptrdiff_t>(i);
  return -1;
}

std::string OutOfRange(const BrelVariable& entry, size_t dim) {
  return TrFormat("配列 %s の第 %s 添え字が範囲をオーバーしている。", {entry.name, std::to_string(dim)});
}

// Pops the n subscripts of an array (subscript 1 on top) and turns them
// into an element offset.  The caller has checked the depth.
bool PopOffset(BrelEnvH env, const BrelVariable& entry, bool forSubst, size_t& offset) {
  offset = 0;
  size_t stride = 1;
  for (size_t i = 1; i <= entry.sizes.size(); ++i) {
    int32_t idx;
    if (!BrelPopInt(env, idx)) {
      if (forSubst)
        BrelSetError(env, 2, TrFormat("第 %s 添え字が整数ではありません", {std::to_string(i)}));
      else
        BrelSetError(env, 2, Tr("添え字の型が整数ではない。"));
      return false;
    }
    const int32_t size = entry.sizes[i - 1];
    if (idx < 0 || idx >= size) {
      BrelSetError(env, 15, OutOfRange(entry, i));
      return false;
    }
    offset += static_cast<size_t>(idx) * stride;
    stride *= static_cast<size_t>(size);
  }
  return true;
}

bool DefConstVariable(BrelEnvH env, uint8_t constant) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "const/var");
    return false;
  }
  BrelValue a = BrelPopValue(env);
  std::string name(BrelNextToken(env));
  if (env->tables.empty()) env->tables.emplace_back();
  if (IndexOf(env->tables.back(), name) >= 0) {
    BrelSetError(env, 14, TrFormat("%s は同スコープ内ですでに登録されています。", {name}));
    return false;
  }
  if (!BrelIsValidName(name)) {
    BrelSetError(env, 1, TrFormat("%s は定数／変数名として適切ではありません。", {name}));
    return false;
  }
  auto entry = std::make_shared<BrelVariable>();
  entry->name = std::move(name);
  entry->constant = constant;
  entry->value = std::move(a);
  if (!RegistNameTable(env, std::move(entry))) {
    BrelSetError(env, 12, "DefConstVariable");
    return false;
  }
  return true;
}

}  // namespace

bool PushArray(BrelEnvH env, const BrelVariable& entry) {
  if (env->values.size() < entry.sizes.size()) {
    BrelSetError(env, 6, "PushArray");
    return false;
  }
  size_t offset;
  if (!PopOffset(env, entry, false, offset)) return false;
  switch (entry.elementType) {
    case kBrelStr:
      return BrelPushStr(env, entry.strElements[offset]);
    case kBrelReal:
      return BrelPushReal(env, entry.realElements[offset]);
    default:
      return BrelPushValue(env, BrelValue::Position(entry.elementType, entry.intElements[offset]));
  }
}

namespace brelword {

bool Var(BrelEnvH env) { return DefConstVariable(env, 0); }
bool Const(BrelEnvH env) { return DefConstVariable(env, 1); }

bool Array(BrelEnvH env) {
  if (env->values.size() < 2) {
    BrelSetError(env, 6, "array");
    return false;
  }
  int32_t n;
  if (!BrelPopInt(env, n)) {
    BrelSetError(env, 2, Tr("次元数が整数ではありません"));
    return false;
  }
  if (n < 1) {
    BrelSetError(env, 15, Tr("次元数は１以上である必要があります"));
    return false;
  }
  std::string name(BrelNextToken(env));
  std::vector<int32_t> sizes;
  for (int32_t i = 1; i <= n; ++i) {
    if (env->values.empty()) {
      BrelSetError(env, 6, "array");
      return false;
    }
    int32_t size;
    if (!BrelPopInt(env, size)) {
      BrelSetError(env, 2, TrFormat("第 %s 添え字が整数ではありません", {std::to_string(i)}));
      return false;
    }
    sizes.push_back(size);
  }
  if (env->values.empty()) {
    BrelSetError(env, 6, "array");
    return false;
  }
  BrelValue a = BrelPopValue(env);
  // Element count: the product of the sizes, none when a size is not
  // positive (no subscript can reach an element then).
  int64_t count = 1;
  for (int32_t s : sizes) {
    if (s <= 0) {
      count = 0;
      break;
    }
  }
  if (count > 0) {
    for (int32_t s : sizes) {
      if (count > env->limits.maxArrayElements / s) {
        BrelSetError(env, 12, "array");
        return false;
      }
      count *= s;
    }
  }
  // Every element is a copy of the initial value.
  const size_t cellBytes = a.type == kBrelStr    ? sizeof(std::string) + a.text.size()
                           : a.type == kBrelReal ? sizeof(long double)
                                                 : sizeof(int32_t);
  const size_t total = static_cast<size_t>(count);
  if (total > 0 && cellBytes > SIZE_MAX / total) {
    BrelSetError(env, 12, "array");
    return false;
  }
  if (!BrelChargeMemory(env, total * cellBytes, "array")) return false;
  auto entry = std::make_shared<BrelVariable>();
  entry->name = std::move(name);
  entry->dimensions = n;
  entry->elementType = a.type;
  entry->sizes = std::move(sizes);
  const size_t cnt = static_cast<size_t>(count);
  switch (a.type) {
    case kBrelStr:
      entry->strElements.assign(cnt, a.text);
      break;
    case kBrelReal:
      entry->realElements.assign(cnt, a.real);
      break;
    default:
      entry->intElements.assign(cnt, a.num);
      break;
  }
  if (!RegistNameTable(env, std::move(entry))) {
    BrelSetError(env, 12, "array");
    return false;
  }
  return true;
}

bool Subst(BrelEnvH env) {
  if (env->values.empty()) {
    BrelSetError(env, 6, "subst");
    return false;
  }
  std::string name(BrelNextToken(env));
  if (!BrelIsValidName(name)) {
    BrelSetError(env, 1, TrFormat("%s は変数名として適切ではありません。", {name}));
    return false;
  }
  BrelEntryPtr entry = BrelFindName(env, name);
  if (!entry) {
    BrelSetError(env, 13, TrFormat("%s は変数として定義されていません。", {name}));
    return false;
  }
  if (entry->dimensions == 0) {
    BrelValue v = BrelPopValue(env);
    if (v.type != entry->value.type) {
      BrelSetError(env, 2, "subst");
      return false;
    }
    // Labels and words are fixed positions in the text: like constants,
    // they cannot be assigned.  A variable holding a label value can.
    if (entry->constant || entry->isLabel || entry->value.type == kBrelWord) {
      BrelSetError(env, 2, Tr("定数に代入できません。"));
      return false;
    }
    entry->value = std::move(v);
    return true;
  }
  if (env->values.size() < entry->sizes.size() + 1) {
    BrelSetError(env, 6, Tr("配列へのsubstで値スタックがアンダーフローしました。"));
    return false;
  }
  size_t offset;
  if (!PopOffset(env, *entry, true, offset)) return false;
  BrelValue v = BrelPopValue(env);
  if (v.type != entry->elementType) {
    BrelSetError(env, 2, Tr("配列へのsubst"));
    return false;
  }
  switch (v.type) {
    case kBrelStr:
      entry->strElements[offset] = std::move(v.text);
      break;
    case kBrelReal:
      entry->realElements[offset] = v.real;
      break;
    default:
      entry->intElements[offset] = v.num;
      break;
  }
  return true;
}

bool Label(BrelEnvH env) {
  BrelNextToken(env);
  return true;
}

bool Forget(BrelEnvH env) {
  std::string name(BrelNextToken(env));
  if (env->dictionary.Find(name, false)) {
    BrelSetError(env, 5, name);
    return false;
  }
  if (env->tables.empty()) {
    BrelSetError(env, 17, Tr("なぜかグローバルネームテーブルがありません。"));
    return false;
  }
  auto tryErase = [&](BrelNameTable& table) {
    const ptrdiff_t i = IndexOf(table, name);
    if (i < 0) return false;
    table.erase(table.begin() + i);
    return true;
  };
  if (env->tables.size() > 1 && tryErase(env->tables.back())) return true;
  if (tryErase(env->tables.front())) return true;
  BrelSetError(env, 13, name);
  return false;
}

bool Cleanup(BrelEnvH env) {
  BrelResetEnv(env);
  return true;
}

bool Man(BrelEnvH env) {
  std::string name(BrelNextToken(env));
  if (BrelCellPtr cell = env->dictionary.Find(name, false))
    return BrelPushStr(env, "(BinDic)/" + Tr(cell->manual));
  BrelEntryPtr entry = BrelFindName(env, name);
  if (!entry || entry->dimensions > 0 || entry->value.type != kBrelWord)
    return BrelPushStr(env, "NotExist");
  // The first comment of the body: the bytes after the first "(" that comes
  // before the body's ";", up to ")", ";" or the end of the text.
  const std::string& text = env->running;
  std::string comment;
  size_t p = static_cast<size_t>(std::max(entry->value.num, 0));
  if (p < text.size()) {
    const size_t open = text.find_first_of("(;", p);
    if (open != std::string::npos && text[open] == '(') {
      const size_t close = text.find_first_of(");", open + 1);
      comment = text.substr(open + 1,
                            (close == std::string::npos ? text.size() : close) - open - 1);
    }
  }
  return BrelPushStr(env, "(UsrDic)/" + comment);
}

}  // namespace brelword
}  // namespace velmora
