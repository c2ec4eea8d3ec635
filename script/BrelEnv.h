// Brel environments: the value stack, the program pointer stack, the name
// tables of the user dictionary, the binary dictionary of built-in and host
// words, the error state and the host objects, with the operations on them
// that every other part of the interpreter uses.
#pragma once

#include <array>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/BrelHost.h"
#include "script/BrelValue.h"

namespace velmora {

struct BrelEnv;
using BrelEnvH = BrelEnv*;

// A word handler: takes its arguments from the value stack, returns success.
// A handler must not throw; a failure is reported with BrelSetError and a
// false result.
using BrelHostWord = std::function<bool(BrelEnvH)>;

struct BrelBinaryDictionaryCell {
  std::string name;
  std::string manual;
  BrelHostWord handler;
};
using BrelCellPtr = std::shared_ptr<const BrelBinaryDictionaryCell>;

// The binary dictionary: an ordered list of cells, the first occurrence of a
// name wins and a cell found for execution moves to the front.  Cells are
// shared pointers because an environment made by `newenv` lists the cells of
// its maker as well.  shape_ is a quick filter on (first byte, length) so that
// tokens naming no cell (user names, literals) skip the scan.
class BrelDictionary {
 public:
  void Append(BrelCellPtr cell);
  // Finds the first cell of that name; with moveToFront it then stands first.
  BrelCellPtr Find(std::string_view name, bool moveToFront);
  const std::vector<BrelCellPtr>& Cells() const { return cells_; }
  size_t Size() const { return cells_.size(); }

 private:
  bool MayHold(std::string_view name) const {
    if (name.empty()) return false;
    const size_t len = name.size() < 63 ? name.size() : 63;
    return (shape_[static_cast<unsigned char>(name[0])] >> len) & 1u;
  }
  std::vector<BrelCellPtr> cells_;
  std::array<uint64_t, 256> shape_{};
};

// A name-table entry: a variable, constant, array, label or user word.
struct BrelVariable {
  std::string name;
  uint8_t constant = 0;
  // Set for the entries the label pre-pass makes; `subst` refuses them as it
  // refuses constants (a variable that merely holds a label value is not one).
  bool isLabel = false;
  int32_t dimensions = 0;
  BrelValue value;
  // Arrays only: the element type and one cell per element, kept in the
  // container that fits the type (texts, 32-bit ints for int/label/word,
  // reals).
  uint8_t elementType = kBrelStr;
  std::vector<std::string> strElements;
  std::vector<int32_t> intElements;
  std::vector<long double> realElements;
  std::vector<int32_t> sizes;
};
using BrelEntryPtr = std::shared_ptr<BrelVariable>;
using BrelNameTable = std::vector<BrelEntryPtr>;

// Resource bounds that keep a hostile program from exhausting the process.
// A bound that is hit is reported as an error like any other failure.
struct BrelLimits {
  size_t maxTextBytes = size_t{1} << 28;      // longest text `+` may build
  int64_t maxArrayElements = int64_t{1} << 26;  // elements of one array
  int maxEnvironments = 10000;                // live environments made by newenv
  size_t maxValues = size_t{1} << 22;         // depth of the value stack
  size_t maxFrames = 100000;                  // depth of the program pointer stack
};

// Bytes that an environment and every environment it makes may hold in
// texts, arrays, stacks and name tables (they share one budget).  Growth is
// charged as it happens and never refunded; when the charges reach the limit
// the holdings are counted exactly, so the limit applies to what is held.
// limit 0 means no limit.
struct BrelMemoryBudget {
  size_t limit = size_t{1} << 30;
  size_t charged = 0;
};

// Execution steps allowed to an environment and every environment it makes
// (they share one counter).  limit 0 means no limit.
// interrupt, when set, is a host's flag (a Ctrl-C handler's): while it is
// nonzero every step fails with error code 0 and no message, so the run
// stops and the host reports why.
struct BrelStepBudget {
  int64_t limit = 0;
  int64_t used = 0;
  const volatile std::sig_atomic_t* interrupt = nullptr;
};

// What an environment shares with every environment made from it (by newenv,
// and by those in turn): the registry of live environments by handle, the
// next handle, and the nesting of token executions.  Each environment that
// BrelCreateEnv makes starts a tree of its own, so separate hosts (or
// threads) never see each other's environments.
struct BrelInterpreter {
  std::map<int32_t, BrelEnv*> registry;
  int32_t nextHandle = 0;  // handles are never reused
  int nesting = 0;         // executions in progress, across the tree
};

struct BrelEnv {
  std::vector<BrelValue> values;
  std::vector<BrelFrame> frames;
  std::vector<BrelNameTable> tables;  // [0] is the global table
  BrelDictionary dictionary;
  int32_t pointer = 0;
  BrelConsole* console = nullptr;
  BrelTextView* traceView = nullptr;
  BrelLineView* stackView = nullptr;
  BrelLineView* controlView = nullptr;
  std::function<void()> eventPump;  // run after each step while a view is set
  uint8_t errorCode = 0;
  std::string errorMessage;
  std::string name;
  std::string userDictionary;
  std::string program;
  std::string running;
  bool stopped = true;
  int32_t resume = 0;

  // Host data a host word may reach through its environment; copied by newenv.
  void* hostData = nullptr;
  BrelLimits limits;
  std::shared_ptr<BrelStepBudget> budget;
  std::shared_ptr<BrelInterpreter> interpreter;
  std::shared_ptr<BrelMemoryBudget> memory;

  // Bookkeeping of the interpreter itself.
  std::string tokenBuffer;     // holds a token that is not a slice of the text
  int active = 0;              // executions of this environment in progress
  int32_t handle = 0;          // nonzero for environments made by newenv
  BrelEnv* parent = nullptr;   // the environment whose newenv made this one
  std::vector<int32_t> children;  // handles made by this environment's newenv
};

// --- Creating and freeing -------------------------------------------------

// A new environment with the built-in words registered, or nullptr.  The
// console may be null (then `.` and `cr` fail).
BrelEnvH BrelCreateEnv(std::string_view name, BrelConsole* console);
// Frees the environment and every environment its programs made with newenv.
// Must not be called while the environment is executing.
void BrelFreeEnv(BrelEnvH env);
// Empties both stacks, frees every name table and makes a fresh global one,
// clears the running text.
void BrelResetEnv(BrelEnvH env);

// --- Dictionary and names -------------------------------------------------

bool AddBinaryDictionaryCell(BrelEnvH env, BrelDictionary& dictionary, std::string name,
                             BrelHostWord handler, std::string manual);
// Shorthand for registering a host word in the environment's own dictionary.
bool BrelAddHostWord(BrelEnvH env, std::string name, BrelHostWord handler, std::string manual);
bool RegistNameTable(BrelEnvH env, BrelEntryPtr entry);
// Global table first, then the current table when a local one exists; moves
// the entry it finds to the front of its table.
BrelEntryPtr BrelFindName(BrelEnvH env, std::string_view name);
bool BrelIsValidName(std::string_view name);

// --- Values -----------------------------------------------------------------

bool BrelPushValue(BrelEnvH env, BrelValue value);
bool BrelPushInt(BrelEnvH env, int32_t n);
bool BrelPushStr(BrelEnvH env, std::string text);
bool BrelPushReal(BrelEnvH env, long double r);
// Removes and returns the top value; the caller checks the depth first.
BrelValue BrelPopValue(BrelEnvH env);
// Empty stack: error 6.  str or real on top: removed, error 2.
bool BrelPopInt(BrelEnvH env, int32_t& n);
// Empty stack: error 6.  Not a str: removed, error 2.
bool BrelPopStr(BrelEnvH env, std::string& text);
// Truth of a popped value: a non-empty str or a nonzero int/label/word.  A
// real is no truth value (error 2); returns false then.
bool BrelTruth(BrelEnvH env, const BrelValue& v, bool& truth);

// --- Errors -----------------------------------------------------------------

// Stores the code and the message: the code's text, then ":" and the context
// when the context is not empty.  Code 0 clears the message.
void BrelSetError(BrelEnvH env, int code, std::string_view context = {});
// Stores the code with a message given whole.
void BrelSetErrorText(BrelEnvH env, int code, std::string message);
// The fixed text of an error code.
const char* BrelErrorText(int code);

// --- Handles of environments made by newenv --------------------------------

// The live environment with that handle in ENV's tree, or nullptr.
BrelEnvH BrelEnvFromHandle(BrelEnvH env, int32_t handle);
// Makes a child environment registered under a fresh handle, or nullptr when
// memory or the environment bound is exhausted.
BrelEnvH BrelNewChildEnv(BrelEnvH maker);
// True when the environment or one made (transitively) by it is executing.
bool BrelEnvTreeBusy(BrelEnvH env);

// Sets the step budget shared by the environment and those it makes.
void BrelSetStepLimit(BrelEnvH env, int64_t steps);

// --- Memory budget -------------------------------------------------------------

// Sets the memory budget shared by the environment and those it makes.
void BrelSetMemoryLimit(BrelEnvH env, size_t bytes);
// Charges BYTES that are about to be allocated.  When the budget cannot hold
// them: error 12 with CONTEXT, false.
bool BrelChargeMemory(BrelEnvH env, size_t bytes, std::string_view context);
// Bytes held now by the environments sharing ENV's budget.
size_t BrelMemoryInUse(BrelEnvH env);
// Program pointer stack room for one more frame: error 9 naming the bound
// when the stack is full, error 12 when the memory budget is spent.
bool BrelRoomForFrame(BrelEnvH env, std::string_view context);

}  // namespace velmora
