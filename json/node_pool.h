// JsonNodePool: the block pool every JSON node record comes from.
//
// Blocks of one fixed size are handed out from chunks of 8 x `bitmap_bytes` blocks, one bit
// per block (set = in use). Allocate looks, in this order, at the block freed last, the
// bitmap word where a free block was found last, the current chunk and those after it, the
// chunks before it, and finally adds a chunk. Free clears the bit, makes the block the one
// handed out next and, once the pool holds at least three chunks and four times as many
// blocks as are live, gives entirely free chunks back to the heap.
//
//   JsonNodePool pool;
//   pool.Setup(40, 40 * 1024, true);   // 1024 blocks of 40 bytes per chunk, 128-byte bitmap
//   void* a = pool.Allocate();          // chunk 1, block 0
//   pool.Free(a);                       // true; the next Allocate returns `a` again
//   pool.ReleaseAll();                  // chunks go back to the heap
//
// Allocate and Free are safe to call from several threads (one lock per pool). Blocks are
// zero-filled only when their chunk is new; callers set every field they use.
#ifndef LANZHOU_JSON_NODE_POOL_H_
#define LANZHOU_JSON_NODE_POOL_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace lanzhou {

class JsonNodePool {
 public:
  JsonNodePool();
  // Releases the lock and the two lists, not the chunks: a copy may still be using them.
  // Call ReleaseAll first when this pool owns its chunks alone.
  ~JsonNodePool();

  // A field-by-field copy that shares the chunks but has its own lists and its own lock.
  std::unique_ptr<JsonNodePool> Copy() const;

  // False when block_size <= 0. With use_chunk_bytes false the bitmap is 128 bytes (1024
  // blocks a chunk); otherwise it covers ceil(chunk_bytes / block_size) blocks, rounded up
  // to whole 32-bit words.
  bool Setup(int block_size, int chunk_bytes, bool use_chunk_bytes);
  // A block of `block_size` bytes; never null (running out of memory ends the program).
  void* Allocate();
  // False for null, an address outside every chunk, one not on a block boundary, and a
  // block that is not in use (so a second release of the same block changes nothing).
  bool Free(void* block);
  // Free on each block in turn under one lock: the pool ends as those single calls leave it.
  // Returns how many of them were given back.
  std::size_t Free(std::span<void* const> blocks);
  // Gives every chunk and bitmap back to the heap; the pool starts again from nothing.
  bool ReleaseAll();
  bool IsReady() const { return ready_ != 0; }

  // Read-only views for diagnostics and tests.
  std::size_t ChunkCount() const { return chunks_.size(); }
  std::int64_t Capacity() const { return capacity_; }
  std::int64_t Live() const { return live_; }
  int CurrentChunk() const { return current_chunk_; }
  int BitmapBytes() const { return bitmap_bytes_; }
  int BlockSize() const { return block_size_; }
  // The 1-based chunk holding `block`, or 0.
  int ChunkOf(const void* block) const;

 private:
  JsonNodePool(const JsonNodePool& other);
  JsonNodePool& operator=(const JsonNodePool&) = delete;

  int WordsPerBitmap() const { return bitmap_bytes_ / 4; }
  // The first word of chunk `chunk` (1-based) from word `from` on that is not all ones, or -1.
  int ScanBitmap(int chunk, int from) const;
  void AddChunk();
  void ReleaseChunk(int chunk);
  void ShrinkIfSparse();
  bool FreeLocked(void* block);

  // Fields in the pool's own order; the lists are 0-based here, chunk numbers 1-based.
  std::vector<char*> chunks_;
  int bitmap_bytes_ = 0;
  std::vector<std::uint32_t*> bitmaps_;
  std::uint32_t* hint_ = nullptr;  // a word of the current chunk's bitmap
  int current_chunk_ = 0;
  int block_size_ = 0;
  char* cached_block_ = nullptr;
  std::uint32_t* cached_word_ = nullptr;
  int cached_bit_ = 0;
  std::int64_t capacity_ = 0;
  std::int64_t live_ = 0;
  std::unique_ptr<std::mutex> lock_;
  int ready_ = 0;

  // Live blocks per chunk (parallel to the lists), the chunk of the cached block, and how
  // many chunks have no live block: these keep Free and its shrink check cheap.
  std::vector<int> chunk_live_;
  int cached_chunk_ = 0;
  int empty_chunks_ = 0;
};

}  // namespace lanzhou

#endif  // LANZHOU_JSON_NODE_POOL_H_
