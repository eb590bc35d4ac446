// Hashing and comparing the pieces of a text for the distinct-pieces run, a step at a time
// for long ones, so that a large mapped text hands each step's pages back once it is read.
//   HashOf(piece) == HashOf(same bytes elsewhere)    Equal(text, a, b, n, nullptr)
#ifndef LANZHOU_RUN_PIECE_STEPS_H_
#define LANZHOU_RUN_PIECE_STEPS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>

namespace lanzhou::pieces {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Long pieces are read a step at a time, and a large mapped text hands each step's pages back
// once it is read (`Releaser`): a single line the size of the input then never brings all of
// its pages in at once.
constexpr std::size_t kStep = 4 * kMiB;
// Hands back the pages of a part of the text, or does nothing (a text in memory, or a small
// mapped one). Called on any thread.
using Releaser = std::function<void(std::string_view part)>;
inline void Released(const Releaser* release, std::string_view part) {
  if (release != nullptr && *release) (*release)(part);
}

// A piece longer than a step is hashed a step at a time and the steps' hashes combined: the
// same bytes always give the same hash, whichever way they are read.
[[gnu::noinline]] inline std::uint64_t HashInSteps(std::string_view piece,
                                                   const Releaser* release) {
  std::uint64_t hash = piece.size();
  for (std::size_t at = 0; at < piece.size(); at += kStep) {
    const std::string_view step = piece.substr(at, kStep);
    hash = (hash ^ std::hash<std::string_view>{}(step)) * 0x9E3779B97F4A7C15u;
    Released(release, step);
  }
  return hash ^ (hash >> 29);
}
inline std::uint64_t HashOf(std::string_view piece, const Releaser* release = nullptr) {
  return piece.size() <= kStep ? std::hash<std::string_view>{}(piece) : HashInSteps(piece, release);
}

// Whether the `length` bytes at `a` and at `b` of `text` are equal, compared a step at a time.
[[gnu::noinline]] inline bool EqualInSteps(std::string_view text, std::size_t a, std::size_t b,
                                           std::size_t length, const Releaser* release) {
  for (std::size_t at = 0; at < length; at += kStep) {
    const std::size_t n = std::min(kStep, length - at);
    if (std::memcmp(text.data() + a + at, text.data() + b + at, n) != 0) return false;
    Released(release, text.substr(a + at, n));
    Released(release, text.substr(b + at, n));
  }
  return true;
}
inline bool Equal(std::string_view text, std::size_t a, std::size_t b, std::size_t length,
                  const Releaser* release) {
  return length <= kStep ? std::memcmp(text.data() + a, text.data() + b, length) == 0
                         : EqualInSteps(text, a, b, length, release);
}

}  // namespace lanzhou::pieces

#endif  // LANZHOU_RUN_PIECE_STEPS_H_
