#include "json/store_heap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace lanzhou {
namespace {

TEST(StoreHeap, BlocksOfEverySizeAreZeroedAndCounted) {
  const std::int64_t live = StoreLiveBlocks();
  std::vector<std::pair<char*, std::size_t>> blocks;
  for (std::size_t bytes : {0u, 1u, 15u, 16u, 17u, 1000u, 1024u, 1025u, 70000u, 300000u}) {
    char* dirty = static_cast<char*>(StoreAllocate(bytes, false));
    std::memset(dirty, 0xAB, bytes ? bytes : 1);
    StoreRelease(dirty);
    char* block = static_cast<char*>(StoreAllocate(bytes, true));
    for (std::size_t i = 0; i < bytes; ++i) ASSERT_EQ(block[i], 0) << bytes << " @" << i;
    std::memset(block, 0x5A, bytes ? bytes : 1);  // the whole block is writable
    blocks.emplace_back(block, bytes);
  }
  EXPECT_EQ(StoreLiveBlocks(), live + 10);
  for (auto& [block, bytes] : blocks) {
    for (std::size_t i = 0; i < bytes; ++i) ASSERT_EQ(block[i], 0x5A);  // no overlaps
    StoreRelease(block);
  }
  StoreRelease(nullptr);
  EXPECT_EQ(StoreLiveBlocks(), live);
}

TEST(StoreHeap, ManySmallBlocksStayApart) {
  std::vector<int*> blocks;
  for (int i = 0; i < 20000; ++i) {
    int* block = static_cast<int*>(StoreAllocate(sizeof(int) * (1 + i % 7), false));
    *block = i;
    blocks.push_back(block);
  }
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(*blocks[i], i);
  for (int* block : blocks) StoreRelease(block);
}

}  // namespace
}  // namespace lanzhou
