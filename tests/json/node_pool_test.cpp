#include "json/node_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace lanzhou {
namespace {

constexpr int kBlock = 40;

// A pool laid out like the module's: 1024 blocks a chunk, 128-byte bitmap.
class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pool_.Setup(kBlock, kBlock * 1024, true)); }
  void TearDown() override { pool_.ReleaseAll(); }
  JsonNodePool pool_;
};

TEST(JsonNodePoolSetup, BitmapCoversTheChunkInWholeWords) {
  struct Case {
    int block, chunk_bytes;
    bool use_chunk_bytes;
    bool ok;
    int bitmap_bytes;
  };
  const Case cases[] = {
      {20, 20480, true, true, 128},  // 1024 blocks
      {20, 20, true, true, 4},       // 1 block: one byte, raised to a word
      {20, 21, true, true, 4},       // 2 blocks
      {10, 330, true, true, 8},      // 33 blocks: 5 bytes -> 8
      {20, 0, false, true, 128},    {0, 100, true, false, 0}, {-4, 100, true, false, 0},
  };
  for (const Case& c : cases) {
    JsonNodePool pool;
    EXPECT_EQ(pool.Setup(c.block, c.chunk_bytes, c.use_chunk_bytes), c.ok) << c.block;
    EXPECT_EQ(pool.IsReady(), c.ok);
    if (c.ok) {
      EXPECT_EQ(pool.BitmapBytes(), c.bitmap_bytes) << c.block << " " << c.chunk_bytes;
    }
  }
}

TEST_F(PoolTest, FirstBlockIsReusedAfterItsFree) {
  char* first = static_cast<char*>(pool_.Allocate());
  EXPECT_EQ(pool_.ChunkCount(), 1u);
  EXPECT_EQ(pool_.CurrentChunk(), 1);
  EXPECT_EQ(pool_.Capacity(), 1024);
  char* second = static_cast<char*>(pool_.Allocate());
  EXPECT_EQ(second - first, kBlock);
  EXPECT_TRUE(pool_.Free(first));
  EXPECT_EQ(pool_.Allocate(), first);
  EXPECT_EQ(pool_.Live(), 2);
}

TEST_F(PoolTest, AllocationAfterAFullChunkAddsAChunk) {
  std::vector<void*> blocks;
  for (int i = 0; i < 1024; ++i) blocks.push_back(pool_.Allocate());
  EXPECT_EQ(pool_.ChunkCount(), 1u);
  for (int i = 1; i < 1024; ++i) {
    ASSERT_EQ(static_cast<char*>(blocks[i]) - static_cast<char*>(blocks[0]), i * kBlock);
  }
  void* next = pool_.Allocate();
  EXPECT_EQ(pool_.ChunkCount(), 2u);
  EXPECT_EQ(pool_.ChunkOf(next), 2);
  EXPECT_EQ(pool_.CurrentChunk(), 2);
  EXPECT_EQ(pool_.Capacity(), 2048);
}

TEST_F(PoolTest, FreeRefusesForeignMisalignedAndUnusedAddresses) {
  char* block = static_cast<char*>(pool_.Allocate());
  int outside = 0;
  EXPECT_FALSE(pool_.Free(nullptr));
  EXPECT_FALSE(pool_.Free(&outside));
  EXPECT_FALSE(pool_.Free(block + 7));
  EXPECT_FALSE(pool_.Free(block + kBlock));         // inside the chunk but never handed out
  EXPECT_FALSE(pool_.Free(block + kBlock * 1024));  // one past the chunk's last block
  EXPECT_EQ(pool_.Live(), 1);
  EXPECT_TRUE(pool_.Free(block));
  EXPECT_FALSE(pool_.Free(block));  // a second release changes nothing
  EXPECT_EQ(pool_.Live(), 0);
}

TEST_F(PoolTest, HintFindsTheFreedHoleBeforeLaterBlocks) {
  std::vector<void*> blocks;
  for (int i = 0; i < 100; ++i) blocks.push_back(pool_.Allocate());
  EXPECT_TRUE(pool_.Free(blocks[40]));
  EXPECT_TRUE(pool_.Free(blocks[10]));
  EXPECT_EQ(pool_.Allocate(), blocks[10]);  // the cached block
  // The hint is the word of block 10; the first clear bit from there is block 40.
  EXPECT_EQ(pool_.Allocate(), blocks[40]);
  EXPECT_EQ(pool_.Allocate(), static_cast<char*>(blocks[99]) + kBlock);
}

TEST_F(PoolTest, SearchWrapsToEveryEarlierChunk) {
  std::vector<void*> blocks;
  for (int i = 0; i < 3 * 1024; ++i) blocks.push_back(pool_.Allocate());
  ASSERT_EQ(pool_.ChunkCount(), 3u);
  // Holes in chunks 1 and 2, then the cache and hint are used up in chunk 3.
  EXPECT_TRUE(pool_.Free(blocks[5]));
  EXPECT_TRUE(pool_.Free(blocks[1024 + 7]));
  EXPECT_TRUE(pool_.Free(blocks[2 * 1024 + 3]));
  EXPECT_EQ(pool_.Allocate(), blocks[2 * 1024 + 3]);
  EXPECT_EQ(pool_.CurrentChunk(), 3);
  // Chunk 3 is full: the search goes past it, then back to chunks 1 and 2, and finds both
  // holes before a new chunk is added.
  EXPECT_EQ(pool_.Allocate(), blocks[5]);
  EXPECT_EQ(pool_.CurrentChunk(), 1);
  EXPECT_EQ(pool_.Allocate(), blocks[1024 + 7]);
  EXPECT_EQ(pool_.ChunkCount(), 3u);
  pool_.Allocate();
  EXPECT_EQ(pool_.ChunkCount(), 4u);
}

TEST_F(PoolTest, ChunkJustBeforeTheCurrentOneIsSearchedToo) {
  std::vector<void*> blocks;
  for (int i = 0; i < 3 * 1024; ++i) blocks.push_back(pool_.Allocate());
  // The only hole is in chunk 2; chunk 3 is current and full.
  EXPECT_TRUE(pool_.Free(blocks[1024 + 9]));
  EXPECT_TRUE(pool_.Free(blocks[2 * 1024 + 1]));
  EXPECT_EQ(pool_.Allocate(), blocks[2 * 1024 + 1]);
  EXPECT_EQ(pool_.Allocate(), blocks[1024 + 9]);
  EXPECT_EQ(pool_.ChunkCount(), 3u);
}

TEST_F(PoolTest, ShrinksFreeChunksAtAQuarterWithThreeChunks) {
  std::vector<void*> blocks;
  for (int i = 0; i < 3 * 1024; ++i) blocks.push_back(pool_.Allocate());
  // Empty chunk 2 entirely while chunks 1 and 3 stay well used: no shrink yet.
  for (int i = 1024; i < 2048; ++i) ASSERT_TRUE(pool_.Free(blocks[i]));
  EXPECT_EQ(pool_.ChunkCount(), 3u);
  // Bring live down to 768 = capacity / 4: the next free releases chunk 2.
  for (int i = 0; i < 1024 - 1; ++i) ASSERT_TRUE(pool_.Free(blocks[i]));
  EXPECT_EQ(pool_.Live(), 1025);
  for (int i = 2048; i < 2048 + 258; ++i) ASSERT_TRUE(pool_.Free(blocks[i]));
  EXPECT_EQ(pool_.Live(), 767);
  EXPECT_EQ(pool_.ChunkCount(), 2u);
  EXPECT_EQ(pool_.Capacity(), 2048);
  // The freed block was in the old chunk 3, now chunk 2, and is still the cached one.
  EXPECT_EQ(pool_.CurrentChunk(), 2);
  EXPECT_EQ(pool_.Allocate(), blocks[2048 + 257]);
  EXPECT_TRUE(pool_.Free(blocks[1023]));
  EXPECT_EQ(pool_.ChunkOf(blocks[1023]), 1);
}

TEST_F(PoolTest, ShrinkDropsTheCachedBlockOfAReleasedChunk) {
  std::vector<void*> blocks;
  for (int i = 0; i < 4 * 1024; ++i) blocks.push_back(pool_.Allocate());
  for (int i = 1024; i < 4 * 1024; ++i) ASSERT_TRUE(pool_.Free(blocks[i]));
  // Live fell to a quarter with the last free: chunks 2..4, now empty, all went back, and
  // with them the cached block.
  EXPECT_EQ(pool_.ChunkCount(), 1u);
  EXPECT_EQ(pool_.CurrentChunk(), 1);
  EXPECT_EQ(pool_.ChunkOf(blocks[4 * 1024 - 1]), 0);
  void* again = pool_.Allocate();
  EXPECT_EQ(pool_.ChunkOf(again), 2);
  EXPECT_EQ(pool_.Live(), 1025);
}

TEST_F(PoolTest, ReleaseAllStartsOver) {
  for (int i = 0; i < 2000; ++i) pool_.Allocate();
  EXPECT_TRUE(pool_.ReleaseAll());
  EXPECT_EQ(pool_.ChunkCount(), 0u);
  EXPECT_EQ(pool_.Capacity(), 0);
  EXPECT_EQ(pool_.Live(), 0);
  pool_.Allocate();
  EXPECT_EQ(pool_.ChunkCount(), 1u);
  EXPECT_EQ(pool_.CurrentChunk(), 1);
}

TEST_F(PoolTest, CopySharesChunksButNotTheLock) {
  void* block = pool_.Allocate();
  std::unique_ptr<JsonNodePool> copy = pool_.Copy();
  EXPECT_EQ(copy->ChunkOf(block), 1);
  EXPECT_EQ(copy->Live(), 1);
  EXPECT_TRUE(copy->IsReady());
}

// Handing blocks back in one batch must leave the pool exactly as freeing them one by one:
// the same blocks come out next, even across a shrink.
TEST(JsonNodePoolBatch, LeavesThePoolAsSingleFreesDo) {
  JsonNodePool single, batch;
  ASSERT_TRUE(single.Setup(kBlock, kBlock * 32, true));  // 32 blocks a chunk
  ASSERT_TRUE(batch.Setup(kBlock, kBlock * 32, true));
  std::vector<void*> a, b;
  for (int i = 0; i < 224; ++i) {
    a.push_back(single.Allocate());
    b.push_back(batch.Allocate());
  }
  // Four chunks emptied (a shrink), every other block of the rest, one block twice, and a
  // null and a foreign address, which free nothing.
  std::vector<int> order;
  for (int i = 0; i < 128; ++i) order.push_back(i);
  for (int i = 223; i >= 128; i -= 2) order.push_back(i);
  order.push_back(131);
  int outside = 0;
  std::vector<void*> blocks;
  std::size_t freed = 0;
  for (int i : order) {
    freed += single.Free(a[i]) ? 1 : 0;
    blocks.push_back(b[i]);
  }
  freed += single.Free(nullptr) + single.Free(&outside);
  blocks.push_back(nullptr);
  blocks.push_back(&outside);
  EXPECT_EQ(batch.Free(blocks), freed);
  EXPECT_EQ(freed, 176u);
  EXPECT_EQ(single.ChunkCount(), 3u);  // the four empty chunks were given back
  EXPECT_EQ(batch.Live(), single.Live());
  EXPECT_EQ(batch.Capacity(), single.Capacity());
  EXPECT_EQ(batch.ChunkCount(), single.ChunkCount());
  EXPECT_EQ(batch.CurrentChunk(), single.CurrentChunk());
  // The freed blocks of the chunks still held come back in the same order from both.
  auto place = [](const std::vector<void*>& list, void* block) {
    return std::find(list.begin(), list.end(), block) - list.begin();
  };
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(place(b, batch.Allocate()), place(a, single.Allocate())) << i;
  }
  single.ReleaseAll();
  batch.ReleaseAll();
}

}  // namespace
}  // namespace lanzhou
