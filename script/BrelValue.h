// Brel values and program pointer frames: the small records that the value
// stack, the name tables and the program pointer stack hold.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

// The five value types of the language; the numbers are part of the format
// (they are what a host sees in BrelValue::type).
enum BrelType : uint8_t {
  kBrelStr = 0,
  kBrelInt = 1,
  kBrelReal = 2,
  kBrelLabel = 3,
  kBrelWord = 4,
};

// A tagged value.  Only the field that belongs to the type carries meaning:
// text for str, num for int (and the text position of a label or word),
// real for real.  A fresh value is an empty str.
struct BrelValue {
  uint8_t type = kBrelStr;
  std::string text;
  int32_t num = 0;
  long double real = 0;

  static BrelValue Str(std::string s) {
    BrelValue v;
    v.text = std::move(s);
    return v;
  }
  static BrelValue Int(int32_t n) {
    BrelValue v;
    v.type = kBrelInt;
    v.num = n;
    return v;
  }
  static BrelValue Real(long double r) {
    BrelValue v;
    v.type = kBrelReal;
    v.real = r;
    return v;
  }
  static BrelValue Position(uint8_t type, int32_t pos) {
    BrelValue v;
    v.type = type;
    v.num = pos;
    return v;
  }
};

// Kinds of program pointer frames.
enum BrelFrameKind : uint8_t {
  kFrameIf = 0,
  kFrameBegin = 1,
  kFrameWhile = 2,
  kFrameFor = 3,
  kFrameWord = 4,
};

struct BrelVariable;

// One entry of the program pointer stack.  position is the read position just
// after the opening token (after the control variable's name for a for
// frame; the return position for a word call).  A for frame shares ownership
// of its control variable, so forgetting the variable while the loop runs
// leaves the loop counting on a detached entry instead of freed memory.
struct BrelFrame {
  uint8_t kind = kFrameIf;
  int32_t position = 0;
  std::shared_ptr<BrelVariable> variable;
  int32_t start = 0;
  int32_t end = 0;
  int32_t step = 1;
};

}  // namespace velmora
