#include "pages/dedupe.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string_view>
#include <vector>

#include "services/gbk_chars.h"

namespace lanzhou {

namespace {

// The pieces already met, each kept as its place in the text: open addressing over slots of
// a 32-bit hash, start and length (12 bytes while the text is below 4 GiB), so a lookup
// touches one array and the table costs a fraction of the text. The slot count need not be
// a power of two: a hash maps to its home slot by multiplying, so the table can be sized to
// the pieces expected and is filled at most to three quarters.
template <typename Offset>
class SeenPieces {
 public:
  SeenPieces(std::string_view text, std::size_t expected) : text_(text) {
    slots_.resize(expected + expected / 3 + 16);
  }

  // True when `piece` (a view into the text) was not met before; it is then remembered.
  bool Insert(std::string_view piece) {
    if (4 * (count_ + 1) > 3 * slots_.size()) Grow();
    const std::uint64_t full = std::hash<std::string_view>{}(piece);
    const auto hash = static_cast<std::uint32_t>(full ^ (full >> 32));
    for (std::size_t i = Home(hash);; i = Next(i)) {
      Slot& slot = slots_[i];
      if (slot.length == kEmpty) {
        slot = {hash, static_cast<Offset>(piece.data() - text_.data()),
                static_cast<Offset>(piece.size())};
        ++count_;
        return true;
      }
      if (slot.hash == hash && text_.substr(slot.start, slot.length) == piece) return false;
    }
  }

  std::size_t size() const { return count_; }

 private:
  // No piece is this long: the text is shorter than the largest Offset.
  static constexpr Offset kEmpty = std::numeric_limits<Offset>::max();

  struct Slot {
    std::uint32_t hash = 0;
    Offset start = 0;
    Offset length = kEmpty;
  };

  std::size_t Home(std::uint32_t hash) const {
    return static_cast<std::size_t>((std::uint64_t{hash} * slots_.size()) >> 32);
  }
  std::size_t Next(std::size_t i) const { return i + 1 == slots_.size() ? 0 : i + 1; }

  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.length == kEmpty) continue;
      std::size_t i = Home(slot.hash);
      while (slots_[i].length != kEmpty) i = Next(i);
      slots_[i] = slot;
    }
  }

  std::string_view text_;
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

template <typename Offset>
Text DistinctPieces(std::string_view s, std::string_view d) {
  // Sized once for the pieces there can be, up to a bound: a text of nothing but line ends has
  // many pieces and one distinct value, and the table grows when it needs to.
  const auto pieces = static_cast<std::size_t>(std::count(s.begin(), s.end(), d[0])) + 1;
  SeenPieces<Offset> seen(s, std::min(pieces, s.size() / 16 + 16));
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
      p = NextCharStart(s, p);
    }
  }
  if (start < s.size()) take(s.substr(start));
  return result;
}

}  // namespace

Text DistinctLines(const Text& text, const Text& separator) {
  if (separator.empty()) return text;  // the whole text is its only piece
  if (text.size() < std::numeric_limits<std::uint32_t>::max()) {
    return DistinctPieces<std::uint32_t>(text.view(), separator.view());
  }
  return DistinctPieces<std::uint64_t>(text.view(), separator.view());
}

void OnDedupeClicked(Units& units) {
  units.SetEditText(Unit::编辑框3, DistinctLines(units.EditText(Unit::编辑框2)));
}

}  // namespace lanzhou
