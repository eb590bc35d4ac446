#include "json/store_heap.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace lanzhou {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPlainHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPlainHeap = true;
#else
constexpr bool kPlainHeap = false;
#endif
#else
constexpr bool kPlainHeap = false;
#endif

constexpr std::size_t kGrain = 16;
constexpr std::size_t kLargest = 1024;
constexpr std::size_t kClasses = kLargest / kGrain;
constexpr std::size_t kSlabBytes = 64 * 1024;
constexpr std::size_t kHeaderBytes = 64;
constexpr std::uint32_t kLargeClass = 0xFFFFFFFFu;

struct SlabHeader {
  std::uint32_t size_class;
};

struct ClassState {
  std::vector<void*> free;
  char* bump = nullptr;
  char* bump_end = nullptr;
};

struct ThreadCache {
  ClassState classes[kClasses];
  std::int64_t live = 0;
};

thread_local ThreadCache cache;

std::mutex slab_lock;
// Every slab stays listed, so its memory is still reachable (and not a leak) at exit.
std::vector<char*>* slabs = nullptr;

char* NewRegion(std::size_t bytes, std::uint32_t size_class) {
  char* region = static_cast<char*>(std::aligned_alloc(kSlabBytes, bytes));
  if (region == nullptr) throw std::bad_alloc();
  reinterpret_cast<SlabHeader*>(region)->size_class = size_class;
  if (size_class != kLargeClass) {
    std::lock_guard<std::mutex> guard(slab_lock);
    if (slabs == nullptr) slabs = new std::vector<char*>();
    slabs->push_back(region);
  }
  return region;
}

}  // namespace

void* StoreAllocate(std::size_t bytes, bool zeroed) {
  if (bytes == 0) bytes = 1;
  ++cache.live;
  if (kPlainHeap) {
    void* block = zeroed ? std::calloc(1, bytes) : std::malloc(bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
  if (bytes > kLargest) {
    const std::size_t total = (bytes + kHeaderBytes + kSlabBytes - 1) / kSlabBytes * kSlabBytes;
    char* block = NewRegion(total, kLargeClass) + kHeaderBytes;
    if (zeroed) std::memset(block, 0, bytes);
    return block;
  }
  const std::size_t c = (bytes - 1) / kGrain;
  const std::size_t size = (c + 1) * kGrain;
  ClassState& state = cache.classes[c];
  void* block;
  if (!state.free.empty()) {
    block = state.free.back();
    state.free.pop_back();
  } else {
    if (state.bump_end - state.bump < static_cast<std::ptrdiff_t>(size)) {
      state.bump = NewRegion(kSlabBytes, static_cast<std::uint32_t>(c)) + kHeaderBytes;
      state.bump_end = state.bump - kHeaderBytes + kSlabBytes;
    }
    block = state.bump;
    state.bump += size;
  }
  // The bytes asked for, not the class size: with a size known to be a multiple of 16 the
  // compiler zeroes by a string instruction whose start-up cost dwarfs these small blocks.
  if (zeroed) std::memset(block, 0, bytes);
  return block;
}

void StoreRelease(void* block) {
  if (block == nullptr) return;
  --cache.live;
  if (kPlainHeap) {
    std::free(block);
    return;
  }
  char* region = reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(block) &
                                         ~static_cast<std::uintptr_t>(kSlabBytes - 1));
  const std::uint32_t size_class = reinterpret_cast<SlabHeader*>(region)->size_class;
  if (size_class == kLargeClass) {
    std::free(region);
    return;
  }
  cache.classes[size_class].free.push_back(block);
}

std::int64_t StoreLiveBlocks() { return cache.live; }

}  // namespace lanzhou
