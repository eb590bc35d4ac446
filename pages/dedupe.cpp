#include "pages/dedupe.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

namespace lanzhou {

namespace {

// The pieces already met, as views into the text: open addressing with the hash kept beside
// each view, so a lookup touches one array instead of a chain of nodes.
class SeenPieces {
 public:
  explicit SeenPieces(std::size_t expected) {
    std::size_t capacity = 16;
    while (capacity < 2 * expected) capacity *= 2;
    slots_.resize(capacity);
  }

  // True when `piece` was not met before; it is then remembered.
  bool Insert(std::string_view piece) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    const std::size_t hash = std::hash<std::string_view>{}(piece);
    for (std::size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      Slot& slot = slots_[i];
      if (!slot.used) {
        slot = {hash, piece, true};
        ++count_;
        return true;
      }
      if (slot.hash == hash && slot.piece == piece) return false;
    }
  }

  std::size_t size() const { return count_; }

 private:
  struct Slot {
    std::size_t hash = 0;
    std::string_view piece;
    bool used = false;
  };

  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (!slot.used) continue;
      std::size_t i = slot.hash & (slots_.size() - 1);
      while (slots_[i].used) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

}  // namespace

Text DistinctLines(const Text& text, const Text& separator) {
  if (separator.empty()) return text;  // the whole text is its only piece
  const std::string_view s = text.view();
  const std::string_view d = separator.view();
  // Sized for the pieces there can be, up to a bound: a text of nothing but line ends has many
  // pieces and one distinct value, and the table grows when it needs to.
  const auto pieces = static_cast<std::size_t>(std::count(s.begin(), s.end(), d[0])) + 1;
  SeenPieces seen(std::min<std::size_t>(pieces, std::size_t{1} << 18));
  Text result;
  result.mutable_bytes().reserve(s.size());
  auto take = [&](std::string_view piece) {
    if (!seen.Insert(piece)) return;
    if (seen.size() > 1) result += d;  // not the first distinct piece
    result += piece;
  };
  // Pieces as `SplitText` finds them: the separator only at character boundaries, no piece
  // after a separator at the very end.
  std::size_t start = 0;
  std::size_t p = 0;
  while (s.size() - p >= d.size()) {
    if (s[p] == d[0] && s.compare(p, d.size(), d) == 0) {
      take(s.substr(start, p - start));
      p += d.size();
      start = p;
    } else {
      p += (static_cast<unsigned char>(s[p]) >= 0x80 && p + 1 < s.size()) ? 2 : 1;
    }
  }
  if (start < s.size()) take(s.substr(start));
  return result;
}

int FindTextInArray(const TextArray& array, const Text& text) {
  for (std::size_t i = 0; i < array.size(); ++i) {
    if (array[i] == text) return static_cast<int>(i) + 1;
  }
  return -1;
}

void OnDedupeClicked(Units& units) {
  units.SetEditText(Unit::编辑框3, DistinctLines(units.EditText(Unit::编辑框2)));
}

}  // namespace lanzhou
