// The heap behind the node store's texts and vectors: small blocks by size class.
//
// A document is made of millions of tiny blocks (keys, texts, buckets, member vectors) that
// are released together. Blocks of up to 1 KiB come from 64 KiB slabs, each slab serving one
// size class (multiples of 16 bytes) and naming it in its header; a released block's address
// goes onto a stack of its class. Neither step reads or writes the block itself, so releasing
// a large document does not walk its memory a second time. Larger blocks get a slab-sized
// region of their own. Free stacks belong to the thread that releases the blocks; slabs are
// kept for the rest of the run and reused.
//
// Sanitizer builds use the C heap for every block, so that each one is checked on its own.
#ifndef LANZHOU_JSON_STORE_HEAP_H_
#define LANZHOU_JSON_STORE_HEAP_H_

#include <cstddef>
#include <cstdint>

namespace lanzhou {

// A block of `bytes` (at least 1), zero-filled when `zeroed`; never null.
void* StoreAllocate(std::size_t bytes, bool zeroed);
// Gives back a block from StoreAllocate; null does nothing.
void StoreRelease(void* block);
// Blocks handed out and not yet given back, counted per thread.
std::int64_t StoreLiveBlocks();

}  // namespace lanzhou

#endif  // LANZHOU_JSON_STORE_HEAP_H_
