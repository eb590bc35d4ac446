// Reading lanzhou-cli's inputs: whole files or standard input, and the text a page's edit box
// would hold for them.
#ifndef LANZHOU_CLI_INPUT_H_
#define LANZHOU_CLI_INPUT_H_

#include <string>
#include <string_view>

#include "services/encoding.h"
#include "services/text.h"

namespace lanzhou::cli {

// The whole of `path` ("-": standard input) into `bytes`. On failure returns false and sets
// `error` to a one-line message naming the file ("cannot read 'a.txt': No such file or
// directory").
bool ReadInput(const std::string& path, std::string& bytes, std::string& error);

// The bytes of one input for an operation that only looks at them (the reorder and merge
// loaders): a regular file is mapped into memory instead of copied, anything else (standard
// input, a pipe) is read. Should a mapped file shrink while it is being read, the program
// ends with status 2 and a message naming it, rather than crashing; nothing has been written
// at that point.
class InputBytes {
 public:
  InputBytes() = default;
  InputBytes(const InputBytes&) = delete;
  InputBytes& operator=(const InputBytes&) = delete;
  ~InputBytes() { Close(); }

  // As `ReadInput`.
  bool Open(const std::string& path, std::string& error);
  std::string_view view() const { return map_ ? std::string_view(map_, map_size_) : owned_; }
  // Replaces the bytes by `bytes` (for instance their decoded form).
  void Replace(std::string bytes);
  void Close();

 private:
  const char* map_ = nullptr;
  std::size_t map_size_ = 0;
  std::string owned_;
};

// The name to show for `path` in messages: "standard input" for "-".
std::string DisplayName(const std::string& path);

// What the edit box of a text page holds after pasting `bytes`: the bytes up to the first
// zero byte, decoded to GB18030 as `DecodeInput` does, with every LF not preceded by CR made
// CR LF. `bytes` is consumed (its memory is reused or released).
//   EditBoxText("a\nb\r\nc\0d")  -> "a\r\nb\r\nc"
Text EditBoxText(std::string bytes, InputEncoding how, DetectedEncoding* detected);

// True when `DecodeInput` with `InputEncoding::kAuto` reads `bytes` as UTF-8: they start with a
// UTF-8 byte-order mark, or are valid UTF-8 holding at least one multi-byte sequence.
bool ReadsAsUtf8(std::string_view bytes);

// Every LF not preceded by CR becomes CR LF; a text without lone LF is returned unchanged,
// without a copy.
std::string LoneLfToCrLf(std::string text);

}  // namespace lanzhou::cli

#endif  // LANZHOU_CLI_INPUT_H_
