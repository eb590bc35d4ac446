#include "json/node_pool.h"

#include <bit>
#include <cstdlib>
#include <functional>
#include <new>

namespace lanzhou {

namespace {

void* ZeroedBlock(std::size_t bytes) {
  void* block = std::calloc(1, bytes == 0 ? 1 : bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

JsonNodePool::JsonNodePool() : lock_(std::make_unique<std::mutex>()) {}

JsonNodePool::JsonNodePool(const JsonNodePool& other)
    : chunks_(other.chunks_),
      bitmap_bytes_(other.bitmap_bytes_),
      bitmaps_(other.bitmaps_),
      hint_(other.hint_),
      current_chunk_(other.current_chunk_),
      block_size_(other.block_size_),
      cached_block_(other.cached_block_),
      cached_word_(other.cached_word_),
      cached_bit_(other.cached_bit_),
      capacity_(other.capacity_),
      live_(other.live_),
      lock_(std::make_unique<std::mutex>()),
      ready_(other.ready_),
      chunk_live_(other.chunk_live_),
      cached_chunk_(other.cached_chunk_),
      empty_chunks_(other.empty_chunks_) {}

JsonNodePool::~JsonNodePool() = default;

std::unique_ptr<JsonNodePool> JsonNodePool::Copy() const {
  std::lock_guard<std::mutex> guard(*lock_);
  return std::unique_ptr<JsonNodePool>(new JsonNodePool(*this));
}

bool JsonNodePool::Setup(int block_size, int chunk_bytes, bool use_chunk_bytes) {
  if (block_size <= 0) return false;
  block_size_ = block_size;
  if (!use_chunk_bytes) {
    bitmap_bytes_ = 128;
  } else {
    long long blocks = (static_cast<long long>(chunk_bytes) + block_size - 1) / block_size;
    if (blocks < 1) blocks = 1;
    long long bytes = (blocks + 7) / 8;
    if (bytes % 4 != 0) bytes += 4 - bytes % 4;
    bitmap_bytes_ = static_cast<int>(bytes);
  }
  ready_ = 1;
  return true;
}

int JsonNodePool::ScanBitmap(int chunk, int from) const {
  // A chunk whose every block is live has no free bit: its live count says so without a
  // walk over the bitmap, which keeps adding the n-th chunk from costing n bitmap walks.
  if (chunk_live_[chunk - 1] == bitmap_bytes_ * 8) return -1;
  const std::uint32_t* bitmap = bitmaps_[chunk - 1];
  for (int w = from; w < WordsPerBitmap(); ++w) {
    if (bitmap[w] != 0xFFFFFFFFu) return w;
  }
  return -1;
}

void JsonNodePool::AddChunk() {
  const std::size_t blocks = static_cast<std::size_t>(bitmap_bytes_) * 8;
  chunks_.push_back(static_cast<char*>(ZeroedBlock(blocks * block_size_)));
  bitmaps_.push_back(static_cast<std::uint32_t*>(ZeroedBlock(bitmap_bytes_)));
  chunk_live_.push_back(0);
  ++empty_chunks_;
  capacity_ += static_cast<std::int64_t>(blocks);
}

void* JsonNodePool::Allocate() {
  std::lock_guard<std::mutex> guard(*lock_);
  if (bitmap_bytes_ == 0) Setup(block_size_ > 0 ? block_size_ : 1, 0, false);
  char* block = nullptr;
  int chunk = 0;
  if (cached_block_ != nullptr) {
    *cached_word_ |= 1u << cached_bit_;
    block = cached_block_;
    chunk = cached_chunk_;
    cached_block_ = nullptr;
    cached_word_ = nullptr;
  } else {
    int word = -1;
    const int chunk_count = static_cast<int>(chunks_.size());
    if (current_chunk_ == 0) {
      current_chunk_ = 1;
    } else if (hint_ != nullptr && current_chunk_ <= chunk_count) {
      word = ScanBitmap(current_chunk_, static_cast<int>(hint_ - bitmaps_[current_chunk_ - 1]));
      if (word >= 0) chunk = current_chunk_;
    }
    if (chunk == 0) {
      const int start = current_chunk_;
      for (; current_chunk_ <= chunk_count; ++current_chunk_) {
        word = ScanBitmap(current_chunk_, 0);
        if (word >= 0) {
          chunk = current_chunk_;
          break;
        }
      }
      // Every chunk before the one the search started at; none of them was looked at yet.
      for (int c = 1; chunk == 0 && c < start && c <= chunk_count; ++c) {
        word = ScanBitmap(c, 0);
        if (word >= 0) {
          chunk = c;
          current_chunk_ = c;
        }
      }
    }
    if (chunk == 0) {
      AddChunk();
      chunk = current_chunk_ = static_cast<int>(chunks_.size());
      word = 0;
    }
    std::uint32_t* bitmap = bitmaps_[chunk - 1];
    const int bit = std::countr_one(bitmap[word]);
    bitmap[word] |= 1u << bit;
    block = chunks_[chunk - 1] + static_cast<std::size_t>(word * 32 + bit) * block_size_;
    hint_ = bitmap + word;
  }
  if (chunk_live_[chunk - 1]++ == 0) --empty_chunks_;
  ++live_;
  return block;
}

int JsonNodePool::ChunkOf(const void* block) const {
  const char* p = static_cast<const char*>(block);
  const std::size_t span = static_cast<std::size_t>(bitmap_bytes_) * 8 * block_size_;
  auto inside = [&](int c) {
    const char* base = chunks_[c - 1];
    return std::less_equal<const char*>()(base, p) && std::less<const char*>()(p, base + span);
  };
  // Frees cluster, so the current chunk is the usual answer; chunks never overlap.
  if (current_chunk_ >= 1 && current_chunk_ <= static_cast<int>(chunks_.size()) &&
      inside(current_chunk_)) {
    return current_chunk_;
  }
  for (int c = 1; c <= static_cast<int>(chunks_.size()); ++c) {
    if (inside(c)) return c;
  }
  return 0;
}

bool JsonNodePool::Free(void* block) {
  if (block == nullptr) return false;
  std::lock_guard<std::mutex> guard(*lock_);
  return FreeLocked(block);
}

std::size_t JsonNodePool::Free(std::span<void* const> blocks) {
  std::lock_guard<std::mutex> guard(*lock_);
  std::size_t freed = 0;
  for (void* block : blocks) freed += block != nullptr && FreeLocked(block) ? 1 : 0;
  return freed;
}

bool JsonNodePool::FreeLocked(void* block) {
  const int chunk = ChunkOf(block);
  if (chunk == 0) return false;
  const std::size_t offset = static_cast<char*>(block) - chunks_[chunk - 1];
  // Offsets within a chunk of the usual sizes fit 32 bits, whose division costs about half.
  std::size_t index = 0, misalignment = 0;
  if (offset <= 0xFFFFFFFFu) {
    const auto offset32 = static_cast<std::uint32_t>(offset);
    const auto size32 = static_cast<std::uint32_t>(block_size_);
    index = offset32 / size32;
    misalignment = offset32 % size32;
  } else {
    index = offset / static_cast<std::size_t>(block_size_);
    misalignment = offset % static_cast<std::size_t>(block_size_);
  }
  if (misalignment != 0) return false;
  std::uint32_t* word = bitmaps_[chunk - 1] + index / 32;
  const int bit = static_cast<int>(index % 32);
  if ((*word & (1u << bit)) == 0) return false;  // not in use: a second release
  *word &= ~(1u << bit);
  current_chunk_ = chunk;
  hint_ = word;
  cached_block_ = static_cast<char*>(block);
  cached_word_ = word;
  cached_bit_ = bit;
  cached_chunk_ = chunk;
  --live_;
  if (--chunk_live_[chunk - 1] == 0) ++empty_chunks_;
  ShrinkIfSparse();
  return true;
}

void JsonNodePool::ReleaseChunk(int chunk) {
  std::free(chunks_[chunk - 1]);
  std::free(bitmaps_[chunk - 1]);
  chunks_.erase(chunks_.begin() + (chunk - 1));
  bitmaps_.erase(bitmaps_.begin() + (chunk - 1));
  chunk_live_.erase(chunk_live_.begin() + (chunk - 1));
  --empty_chunks_;
  capacity_ -= static_cast<std::int64_t>(bitmap_bytes_) * 8;
  if (chunk <= current_chunk_) {
    if (chunk == current_chunk_) {
      current_chunk_ = 1;
      hint_ = nullptr;
    } else {
      --current_chunk_;
    }
  }
  if (cached_block_ != nullptr) {
    if (cached_chunk_ == chunk) {
      cached_block_ = nullptr;
      cached_word_ = nullptr;
    } else if (cached_chunk_ > chunk) {
      --cached_chunk_;
    }
  }
}

void JsonNodePool::ShrinkIfSparse() {
  if (live_ == 0 || capacity_ < 4 * live_ || chunks_.size() < 3) return;
  // A chunk's bitmap is all zero exactly when none of its blocks is live; the count of such
  // chunks spares the walk when there is nothing to give back.
  for (int c = 1; empty_chunks_ > 0 && c <= static_cast<int>(chunks_.size());) {
    if (chunk_live_[c - 1] == 0) {
      ReleaseChunk(c);
    } else {
      ++c;
    }
  }
}

bool JsonNodePool::ReleaseAll() {
  std::lock_guard<std::mutex> guard(*lock_);
  for (char* chunk : chunks_) std::free(chunk);
  for (std::uint32_t* bitmap : bitmaps_) std::free(bitmap);
  chunks_.clear();
  bitmaps_.clear();
  chunk_live_.clear();
  empty_chunks_ = 0;
  hint_ = nullptr;
  current_chunk_ = 0;
  cached_block_ = nullptr;
  cached_word_ = nullptr;
  capacity_ = 0;
  live_ = 0;
  return true;
}

}  // namespace lanzhou
