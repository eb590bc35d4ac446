// Text, Bytes and TextArray: the value types every operation of the program works on.
//
// A `Text` is a byte string in GB18030 (a superset of GBK: every GBK character keeps its
// bytes, a character outside GBK is a four-byte sequence). Lengths, positions and widths
// count bytes, so one Chinese character counts 2. A `Text` never holds a zero byte; code
// that builds one from foreign bytes cuts at the first zero (see `TextFromBytes`).
//
// `Bytes` is a distinct type for counted byte sequences that may hold zero bytes: what is
// written to and read from files.
//
// Source code is UTF-8: a Chinese literal must go through `FromUtf8` (text/encoding.h)
// before it becomes a `Text`. Only ASCII literals may be turned into a `Text` directly.
#ifndef LANZHOU_TEXT_TEXT_H_
#define LANZHOU_TEXT_TEXT_H_

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lanzhou {

class Text {
 public:
  Text() = default;
  // ASCII literals only; see the file comment.
  Text(const char* ascii) : bytes_(ascii ? ascii : "") {}
  explicit Text(std::string bytes) : bytes_(std::move(bytes)) {}
  explicit Text(std::string_view bytes) : bytes_(bytes) {}

  const std::string& bytes() const { return bytes_; }
  std::string& mutable_bytes() { return bytes_; }
  std::string_view view() const { return bytes_; }
  const char* c_str() const { return bytes_.c_str(); }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  unsigned char at(std::size_t i) const { return static_cast<unsigned char>(bytes_[i]); }

  Text& operator+=(const Text& other) {
    bytes_ += other.bytes_;
    return *this;
  }
  Text& operator+=(std::string_view other) {
    bytes_ += other;
    return *this;
  }
  friend Text operator+(Text a, const Text& b) {
    a += b;
    return a;
  }
  friend bool operator==(const Text&, const Text&) = default;
  // Unsigned byte order, as `CompareText`.
  friend std::strong_ordering operator<=>(const Text& a, const Text& b) {
    return a.bytes_.compare(b.bytes_) <=> 0;
  }

 private:
  std::string bytes_;
};

class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string data) : data_(std::move(data)) {}
  explicit Bytes(std::string_view data) : data_(data) {}

  const std::string& data() const { return data_; }
  std::string& mutable_data() { return data_; }
  std::string_view view() const { return data_; }
  std::size_t size() const { return data_.size(); }
  bool empty() const { return data_.empty(); }
  friend bool operator==(const Bytes&, const Bytes&) = default;

 private:
  std::string data_;
};

// Members are 1-based in the program's own wording; here they are a plain vector, 0-based.
using TextArray = std::vector<Text>;

// The OLE Automation date: days since midnight of 30 December 1899, the fraction being the
// time of day. A strong type so that a date is never mistaken for a plain number.
class DateTime {
 public:
  constexpr DateTime() = default;
  constexpr explicit DateTime(double days) : days_(days) {}
  constexpr double days() const { return days_; }
  friend constexpr bool operator==(DateTime, DateTime) = default;
  friend constexpr auto operator<=>(DateTime, DateTime) = default;

 private:
  double days_ = 0;
};

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_TEXT_H_
