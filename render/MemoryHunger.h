// The block pool.  Released blocks are kept in free lists by exact size
// (1..255 bytes) or in one first-fit list (larger blocks) and are handed out
// again instead of going back to the heap, so a steady sequence of renders at
// one size stops touching the heap after the first.  Each render context owns
// one pool; nothing in it is shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora {

// The payload size stored in a block's header (the size first requested).
size_t HungerBlockSize(const void* p);

// The pool's counters: bytes obtained from the heap, bytes given back to the
// pool, bytes served again from the pool.
struct HungerCounters {
  uint64_t heapBytes = 0;
  uint64_t freedBytes = 0;
  uint64_t reusedBytes = 0;
};

// Frees everything it holds when destroyed.
class HungerPool {
 public:
  HungerPool();
  ~HungerPool();
  HungerPool(const HungerPool&) = delete;
  HungerPool& operator=(const HungerPool&) = delete;

  // A payload of at least n bytes, or nullptr when n is 0 or the heap refuses.
  void* Get(size_t n);
  // Gives a block back to the pool; nullptr is ignored.
  void Free(void* p);
  const HungerCounters& Counters() const;
  // Test hook: while set, requests to the heap fail (the pool can still
  // serve blocks it already holds).
  void SimulateHeapFailure(bool fail);

 private:
  struct State;
  State* state_;
};

}  // namespace velmora
