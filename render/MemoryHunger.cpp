#include "render/MemoryHunger.h"

#include <cstdlib>
#include <deque>
#include <limits>
#include <vector>

namespace velmora {

namespace {

// Every block starts with this header; the caller sees the bytes after it.
struct BlockHeader {
  int32_t size;      // payload size as first requested
  int32_t registry;  // index of the block's registry entry
};
static_assert(sizeof(BlockHeader) == 8);

constexpr size_t kLargeSlot = 256;
constexpr size_t kListStep = 1024;

struct PoolState {
  // Registry of blocks handed out; a released block's entry becomes null.
  // Empty entries are reused so the registry stays as large as the peak
  // number of live blocks.
  std::vector<BlockHeader*> registry;
  std::vector<int32_t> emptyEntries;
  // Free lists: slots 1..255 by exact size (first in, first out), slot 256
  // for every larger block (first fit, scanned from the start).
  std::deque<BlockHeader*> small[kLargeSlot];
  std::vector<BlockHeader*> large;
  HungerCounters counters;
  bool failHeap = false;

  ~PoolState() {
    for (BlockHeader* b : registry) std::free(b);
    for (auto& list : small)
      for (BlockHeader* b : list) std::free(b);
    for (BlockHeader* b : large) std::free(b);
  }

  void Register(BlockHeader* b) {
    if (!emptyEntries.empty()) {
      b->registry = emptyEntries.back();
      emptyEntries.pop_back();
      registry[static_cast<size_t>(b->registry)] = b;
      return;
    }
    if (registry.size() == registry.capacity()) registry.reserve(registry.capacity() + kListStep);
    b->registry = static_cast<int32_t>(registry.size());
    registry.push_back(b);
  }
};

BlockHeader* HeaderOf(const void* p) {
  return reinterpret_cast<BlockHeader*>(static_cast<char*>(const_cast<void*>(p)) -
                                        sizeof(BlockHeader));
}

}  // namespace

struct HungerPool::State : PoolState {};

HungerPool::HungerPool() : state_(new State) {}
HungerPool::~HungerPool() { delete state_; }

void* HungerPool::Get(size_t n) {
  if (n == 0 || n > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return nullptr;
  PoolState& pool = *state_;
  BlockHeader* block = nullptr;
  if (n < kLargeSlot) {
    auto& list = pool.small[n];
    if (!list.empty()) {
      block = list.front();
      list.pop_front();
      pool.counters.reusedBytes += n;
    }
  } else {
    for (auto it = pool.large.begin(); it != pool.large.end(); ++it) {
      if (static_cast<size_t>((*it)->size) >= n) {
        block = *it;
        pool.large.erase(it);
        pool.counters.reusedBytes += static_cast<uint64_t>(block->size);
        break;
      }
    }
  }
  if (!block) {
    if (pool.failHeap) return nullptr;
    block = static_cast<BlockHeader*>(std::malloc(n + sizeof(BlockHeader)));
    if (!block) return nullptr;
    block->size = static_cast<int32_t>(n);
    pool.counters.heapBytes += n;
  }
  pool.Register(block);
  return reinterpret_cast<char*>(block) + sizeof(BlockHeader);
}

void HungerPool::Free(void* p) {
  if (!p) return;
  PoolState& pool = *state_;
  BlockHeader* block = HeaderOf(p);
  pool.registry[static_cast<size_t>(block->registry)] = nullptr;
  pool.emptyEntries.push_back(block->registry);
  const size_t size = static_cast<size_t>(block->size);
  if (size < kLargeSlot)
    pool.small[size].push_back(block);
  else
    pool.large.push_back(block);
  pool.counters.freedBytes += size;
}

const HungerCounters& HungerPool::Counters() const { return state_->counters; }

void HungerPool::SimulateHeapFailure(bool fail) { state_->failHeap = fail; }

size_t HungerBlockSize(const void* p) { return static_cast<size_t>(HeaderOf(p)->size); }

}  // namespace velmora
