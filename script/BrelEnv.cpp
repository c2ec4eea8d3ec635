// Environments: creation, reset and release, the value stack, the name
// tables, the binary dictionary and the registry of environments made by
// `newenv`.
#include "script/BrelEnv.h"

#include <algorithm>
#include <map>
#include <new>

#include "base/Translate.h"
#include "script/BrelWords.h"

namespace velmora {

// --- Binary dictionary ------------------------------------------------------

void BrelDictionary::Append(BrelCellPtr cell) {
  const std::string& n = cell->name;
  if (!n.empty()) {
    const size_t len = n.size() < 63 ? n.size() : 63;
    shape_[static_cast<unsigned char>(n[0])] |= uint64_t{1} << len;
  }
  cells_.push_back(std::move(cell));
}

BrelCellPtr BrelDictionary::Find(std::string_view name, bool moveToFront) {
  if (!MayHold(name)) return nullptr;
  for (size_t i = 0; i < cells_.size(); ++i) {
    if (cells_[i]->name == name) {
      if (moveToFront && i > 0) {
        std::rotate(cells_.begin(), cells_.begin() + static_cast<std::ptrdiff_t>(i),
                    cells_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return cells_[0];
      }
      return cells_[i];
    }
  }
  return nullptr;
}

// --- Registry of environments made by newenv --------------------------------

BrelEnvH BrelEnvFromHandle(BrelEnvH env, int32_t handle) {
  auto& reg = env->interpreter->registry;
  auto it = reg.find(handle);
  return it == reg.end() ? nullptr : it->second;
}

BrelEnvH BrelNewChildEnv(BrelEnvH maker) {
  BrelInterpreter& shared = *maker->interpreter;
  auto& reg = shared.registry;
  if (static_cast<int64_t>(reg.size()) >= maker->limits.maxEnvironments) return nullptr;
  if (shared.nextHandle == INT32_MAX) return nullptr;  // handles are never reused
  const size_t size = sizeof(BrelEnv) + maker->dictionary.Size() * sizeof(BrelCellPtr);
  if (!BrelChargeMemory(maker, size, "newenv")) return nullptr;
  BrelEnvH child = BrelCreateEnv(maker->name, maker->console);
  if (!child) return nullptr;
  try {
    for (const BrelCellPtr& cell : maker->dictionary.Cells()) child->dictionary.Append(cell);
    child->limits = maker->limits;
    child->budget = maker->budget;
    child->memory = maker->memory;
    child->hostData = maker->hostData;
    child->interpreter = maker->interpreter;
    child->handle = ++shared.nextHandle;
    maker->children.push_back(child->handle);
    reg.emplace(child->handle, child);
  } catch (...) {
    if (child->handle) {
      reg.erase(child->handle);
      auto& ch = maker->children;
      ch.erase(std::remove(ch.begin(), ch.end(), child->handle), ch.end());
      child->handle = 0;
    }
    BrelFreeEnv(child);
    return nullptr;
  }
  child->parent = maker;
  return child;
}

namespace {

// The environment and every live environment made from it, parents first.
// Iterative: chains of environments may be long.
std::vector<BrelEnvH> Subtree(BrelEnvH env) {
  std::vector<BrelEnvH> out{env};
  for (size_t i = 0; i < out.size(); ++i)
    for (int32_t h : out[i]->children)
      if (BrelEnvH c = BrelEnvFromHandle(env, h)) out.push_back(c);
  return out;
}

}  // namespace

bool BrelEnvTreeBusy(BrelEnvH env) {
  for (BrelEnvH e : Subtree(env))
    if (e->active > 0) return true;
  return false;
}

// --- Creating, freeing, resetting -------------------------------------------

BrelEnvH BrelCreateEnv(std::string_view name, BrelConsole* console) {
  BrelEnvH env = new (std::nothrow) BrelEnv;
  if (!env) return nullptr;
  try {
    env->name.assign(name);
    env->console = console;
    env->budget = std::make_shared<BrelStepBudget>();
    env->interpreter = std::make_shared<BrelInterpreter>();
    env->memory = std::make_shared<BrelMemoryBudget>();
    if (!BrelRegistBinaryDictionary(env)) {
      delete env;
      return nullptr;
    }
    env->tables.emplace_back();
  } catch (...) {
    delete env;
    return nullptr;
  }
  return env;
}

void BrelFreeEnv(BrelEnvH env) {
  if (!env) return;
  std::vector<BrelEnvH> all = Subtree(env);
  auto& reg = env->interpreter->registry;
  if (env->parent) {
    auto& ch = env->parent->children;
    ch.erase(std::remove(ch.begin(), ch.end(), env->handle), ch.end());
  }
  for (BrelEnvH e : all)
    if (e->handle) reg.erase(e->handle);
  for (BrelEnvH e : all) delete e;
}

void BrelResetEnv(BrelEnvH env) {
  env->values.clear();
  env->frames.clear();
  env->tables.clear();
  env->tables.emplace_back();
  env->running.clear();
}

// --- Dictionary and names ---------------------------------------------------

bool AddBinaryDictionaryCell(BrelEnvH env, BrelDictionary& dictionary, std::string name,
                             BrelHostWord handler, std::string manual) {
  try {
    dictionary.Append(std::make_shared<const BrelBinaryDictionaryCell>(
        BrelBinaryDictionaryCell{std::move(name), std::move(manual), std::move(handler)}));
  } catch (...) {
    BrelSetError(env, 12, "AddBinaryDictionaryCell");
    return false;
  }
  return true;
}

bool BrelAddHostWord(BrelEnvH env, std::string name, BrelHostWord handler, std::string manual) {
  return AddBinaryDictionaryCell(env, env->dictionary, std::move(name), std::move(handler),
                                 std::move(manual));
}

bool RegistNameTable(BrelEnvH env, BrelEntryPtr entry) {
  if (!BrelChargeMemory(env, sizeof(BrelVariable) + sizeof(BrelEntryPtr) + entry->name.size() +
                                 entry->value.text.size(),
                        "RegistNameTable"))
    return false;
  try {
    if (env->tables.empty()) env->tables.emplace_back();
    env->tables.back().push_back(std::move(entry));
  } catch (...) {
    BrelSetError(env, 12, "RegistNameTable");
    return false;
  }
  return true;
}

namespace {

BrelEntryPtr FindIn(BrelNameTable& table, std::string_view name) {
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i]->name == name) {
      if (i > 0)
        std::rotate(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(i),
                    table.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return table[0];
    }
  }
  return nullptr;
}

}  // namespace

BrelEntryPtr BrelFindName(BrelEnvH env, std::string_view name) {
  if (env->tables.empty()) return nullptr;
  if (BrelEntryPtr e = FindIn(env->tables.front(), name)) return e;
  if (env->tables.size() > 1) return FindIn(env->tables.back(), name);
  return nullptr;
}

bool BrelIsValidName(std::string_view name) {
  if (name.empty()) return false;
  static constexpr std::string_view kBad = "0123456789+-*/.";
  return kBad.find(name[0]) == std::string_view::npos;
}

// --- Values -----------------------------------------------------------------

bool BrelPushValue(BrelEnvH env, BrelValue value) {
  if (env->values.size() >= env->limits.maxValues) {
    BrelSetError(env, 7, "BrelPushValue");
    return false;
  }
  if (!BrelChargeMemory(env, sizeof(BrelValue) + value.text.size(), "BrelPushValue")) return false;
  try {
    env->values.push_back(std::move(value));
  } catch (...) {
    BrelSetError(env, 12, "BrelPushValue");
    return false;
  }
  return true;
}

bool BrelPushInt(BrelEnvH env, int32_t n) { return BrelPushValue(env, BrelValue::Int(n)); }

bool BrelPushStr(BrelEnvH env, std::string text) {
  return BrelPushValue(env, BrelValue::Str(std::move(text)));
}

bool BrelPushReal(BrelEnvH env, long double r) { return BrelPushValue(env, BrelValue::Real(r)); }

BrelValue BrelPopValue(BrelEnvH env) {
  BrelValue v = std::move(env->values.back());
  env->values.pop_back();
  return v;
}

bool BrelPopInt(BrelEnvH env, int32_t& n) {
  if (env->values.empty()) {
    BrelSetError(env, 6);
    return false;
  }
  BrelValue& top = env->values.back();
  if (top.type == kBrelStr || top.type == kBrelReal) {
    env->values.pop_back();
    BrelSetError(env, 2);
    return false;
  }
  n = top.num;
  env->values.pop_back();
  return true;
}

bool BrelPopStr(BrelEnvH env, std::string& text) {
  if (env->values.empty()) {
    BrelSetError(env, 6);
    return false;
  }
  BrelValue& top = env->values.back();
  if (top.type != kBrelStr) {
    env->values.pop_back();
    BrelSetError(env, 2);
    return false;
  }
  text = std::move(top.text);
  env->values.pop_back();
  return true;
}

bool BrelTruth(BrelEnvH env, const BrelValue& v, bool& truth) {
  switch (v.type) {
    case kBrelStr:
      truth = !v.text.empty();
      return true;
    case kBrelReal:
      BrelSetError(env, 2, Tr("真偽値は整数または文字列です。"));
      return false;
    default:
      truth = v.num != 0;
      return true;
  }
}

void BrelSetStepLimit(BrelEnvH env, int64_t steps) {
  env->budget->limit = steps;
  env->budget->used = 0;
}

// --- Memory budget ------------------------------------------------------------

namespace {

// Heap bytes of a text beyond its record (short texts live inside it).
size_t HeapBytes(const std::string& s) {
  return s.capacity() > std::string().capacity() ? s.capacity() + 1 : 0;
}

size_t EntryBytes(const BrelVariable& e) {
  size_t n = sizeof(BrelVariable) + sizeof(BrelEntryPtr) + HeapBytes(e.name) +
             HeapBytes(e.value.text) + e.sizes.capacity() * sizeof(int32_t) +
             e.intElements.capacity() * sizeof(int32_t) +
             e.realElements.capacity() * sizeof(long double) +
             e.strElements.capacity() * sizeof(std::string);
  for (const std::string& s : e.strElements) n += HeapBytes(s);
  return n;
}

size_t EnvBytes(const BrelEnv& env) {
  size_t n = sizeof(BrelEnv) + env.dictionary.Size() * sizeof(BrelCellPtr) +
             HeapBytes(env.running) + HeapBytes(env.program) + HeapBytes(env.userDictionary) +
             HeapBytes(env.tokenBuffer) + HeapBytes(env.errorMessage) +
             env.values.capacity() * sizeof(BrelValue) + env.frames.capacity() * sizeof(BrelFrame) +
             env.tables.capacity() * sizeof(BrelNameTable);
  for (const BrelValue& v : env.values) n += HeapBytes(v.text);
  for (const BrelNameTable& t : env.tables)
    for (const BrelEntryPtr& e : t) n += EntryBytes(*e);
  return n;
}

}  // namespace

void BrelSetMemoryLimit(BrelEnvH env, size_t bytes) {
  env->memory->limit = bytes;
  env->memory->charged = BrelMemoryInUse(env);
}

size_t BrelMemoryInUse(BrelEnvH env) {
  BrelEnvH root = env;
  while (root->parent && root->parent->memory == env->memory) root = root->parent;
  size_t n = 0;
  for (BrelEnvH e : Subtree(root))
    if (e->memory == env->memory) n += EnvBytes(*e);
  return n;
}

bool BrelChargeMemory(BrelEnvH env, size_t bytes, std::string_view context) {
  BrelMemoryBudget& m = *env->memory;
  if (m.limit == 0) return true;
  if (bytes <= m.limit && m.charged <= m.limit - bytes) {
    m.charged += bytes;
    return true;
  }
  // The charges ran out: count what is really held (texts and values freed
  // since were never refunded).
  const size_t held = BrelMemoryInUse(env);
  if (bytes > m.limit || held > m.limit - bytes) {
    m.charged = held;
    BrelSetError(env, 12, context);
    return false;
  }
  m.charged = held + bytes;
  return true;
}

bool BrelRoomForFrame(BrelEnvH env, std::string_view context) {
  if (env->frames.size() >= env->limits.maxFrames) {
    BrelSetError(env, 9, std::string(context) + ":" +
                             TrFormat("ワードの呼び出しとブロックの入れ子は %s 段までです。",
                                      {std::to_string(env->limits.maxFrames)}));
    return false;
  }
  return BrelChargeMemory(env, sizeof(BrelFrame) + sizeof(BrelNameTable), context);
}

}  // namespace velmora
