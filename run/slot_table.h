// The hash table of the distinct-pieces run: 8-byte slots that hold a reference to a piece and
// the low bits of its hash, so the table grows without reading the pieces again.
//   table.Insert(hash, ref, same) == false when same(other_ref) finds the piece there
#ifndef LANZHOU_RUN_SLOT_TABLE_H_
#define LANZHOU_RUN_SLOT_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lanzhou::pieces {

// A table slot and a cut piece both pack a 40-bit offset with 24 more bits: the low 24 bits
// of the piece's hash in a slot (the partitions take the high bits), its length in a piece.
constexpr int kLowBits = 24;
constexpr std::uint64_t kLowMask = (std::uint64_t{1} << kLowBits) - 1;
constexpr std::uint64_t kLongPiece = kLowMask;  // the length of a piece this long or longer

// Open addressing over 8-byte slots of (reference + 1) << 24 | the hash's low 24 bits; 0 is
// empty. The home slot comes from those 24 bits alone, so the table grows without the pieces
// being read again. Linear probing, at most three quarters full.
class SlotTable {
 public:
  // Inserts `ref` for a piece of `hash` unless `same(other_ref)` finds the piece there; true
  // when inserted.
  template <typename Same>
  bool Insert(std::uint64_t hash, std::uint64_t ref, Same&& same) {
    if (4 * (count_ + 1) > 3 * slots_.size()) Grow();
    const std::uint64_t low = hash & kLowMask;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = Home(low);; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) {
        slots_[i] = ((ref + 1) << kLowBits) | low;
        ++count_;
        return true;
      }
      if ((slot & kLowMask) == low && same((slot >> kLowBits) - 1)) return false;
    }
  }
  void Prefetch(std::uint64_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[Home(hash & kLowMask)]);
  }
  template <typename Each>
  void ForEachRef(Each&& each) const {
    for (std::uint64_t slot : slots_) {
      if (slot != 0) each((slot >> kLowBits) - 1);
    }
  }
  std::size_t bytes() const { return slots_.size() * sizeof(std::uint64_t); }
  void Clear() {
    std::vector<std::uint64_t>().swap(slots_);
    count_ = 0;
  }

 private:
  std::size_t Home(std::uint64_t low) const { return (low * slots_.size()) >> kLowBits; }
  void Grow() {
    std::vector<std::uint64_t> old(slots_.empty() ? 64 : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint64_t slot : old) {
      if (slot == 0) continue;
      std::size_t i = Home(slot & kLowMask);
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::vector<std::uint64_t> slots_;
  std::size_t count_ = 0;
};

}  // namespace lanzhou::pieces

#endif  // LANZHOU_RUN_SLOT_TABLE_H_
