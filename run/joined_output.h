// The output of the distinct-pieces run: pieces joined by the separator, none before the
// first, written a megabyte at a time (a piece that long goes out as it stands).
//   JoinedOutput out("\r\n", write);  out.Emit("\r\na");  out.Emit("\r\nb");  out.Flush();
//   writes "a\r\nb"
#ifndef LANZHOU_RUN_JOINED_OUTPUT_H_
#define LANZHOU_RUN_JOINED_OUTPUT_H_

#include <functional>
#include <string>
#include <string_view>

#include "run/piece_steps.h"

namespace lanzhou::pieces {

class JoinedOutput {
 public:
  JoinedOutput(std::string_view separator, const std::function<bool(std::string_view)>& write)
      : sep_(separator), write_(write) {}

  // Bytes of joined pieces, each preceded by the separator.
  bool Emit(std::string_view joined) {
    if (joined.empty()) return true;
    if (!any_written_) {
      joined.remove_prefix(sep_.size());
      any_written_ = true;
    }
    if (output_.size() + joined.size() > kMiB && !Flush()) return false;
    if (joined.size() >= kMiB) return write_(joined);
    output_ += joined;
    return true;
  }
  bool Flush() {
    if (output_.empty()) return true;
    const bool ok = write_(output_);
    output_.clear();
    return ok;
  }

 private:
  const std::string_view sep_;
  const std::function<bool(std::string_view)>& write_;
  bool any_written_ = false;
  std::string output_;
};

}  // namespace lanzhou::pieces

#endif  // LANZHOU_RUN_JOINED_OUTPUT_H_
