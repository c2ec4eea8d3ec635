// Numeric helpers shared by every module: the random generator and
// round-half-even conversions.
#pragma once

#include <cstdint>

namespace velmora {

// The random generator: a 32-bit linear congruential state.  Every draw
// first advances state := state * 0x08088405 + 1 (mod 2^32).  Pictures depend
// on the exact sequence of draws, so each render context holds its own.
class RandomGenerator {
 public:
  void Seed(uint32_t seed) { state_ = seed; }
  uint32_t State() const { return state_; }
  // Integer draw: high 32 bits of the 64-bit product of n and the new state,
  // so 0 <= result < n (0 when n is 0).
  uint32_t Random(uint32_t n) {
    Advance();
    return static_cast<uint32_t>((static_cast<uint64_t>(n) * state_) >> 32);
  }
  // Real draw: the new state times 2^-32, in [0, 1).
  long double RandomReal() {
    Advance();
    return static_cast<long double>(state_) * 0x1p-32L;
  }

 private:
  void Advance() { state_ = state_ * 0x08088405u + 1u; }
  uint32_t state_ = 0;
};

// Round to the nearest integer, ties to the even neighbour.
long double RoundEven(long double v);
// Round half-even to a 64-bit integer; values beyond the int64 range (and NaN)
// saturate (NaN gives 0) so that no conversion is undefined.
int64_t RoundToInt64(long double v);
// Round half-even and keep the low 32 bits of the exact integer (two's
// complement wrap, also beyond the int64 range); NaN gives 0.
int32_t RoundToInt32(long double v);
// Truncate toward zero, saturating like RoundToInt64.
int64_t TruncToInt64(long double v);

// Wrapping 32-bit signed arithmetic without undefined behaviour.
inline int32_t WrapAdd32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t WrapMul32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

}  // namespace velmora
