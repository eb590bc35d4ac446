#include "json/error_log.h"

namespace lanzhou {

namespace {
constexpr int kSlots = 32;
}

ErrorLog::ErrorLog() : texts_(kSlots), position_(kSlots), capacity_(kSlots) {}

void ErrorLog::Resize(int n) {
  if (n < 0) n = 0;
  texts_.resize(static_cast<std::size_t>(n));
  position_ = capacity_ = n;
}

int ErrorLog::Push(const Text& text) {
  if (capacity_ == 0) return 0;
  if (--position_ <= 0) position_ = capacity_;
  texts_[position_ - 1] = text;
  return position_ + 1;
}

Text ErrorLog::Pop() {
  if (capacity_ == 0 || position_ < 1 || position_ > capacity_) return Text();
  Text top = std::move(texts_[position_ - 1]);
  texts_[position_ - 1] = Text();
  if (++position_ > capacity_) position_ = 1;
  return top;
}

bool ErrorLog::HasEntry() const {
  return position_ >= 1 && position_ <= capacity_ && !texts_[position_ - 1].empty();
}

}  // namespace lanzhou
