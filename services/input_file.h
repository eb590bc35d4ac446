// Reading input files whole, for the operations that take a file as their input (the
// command-line companion): a file or standard input into memory, or a regular file mapped.
#ifndef LANZHOU_SERVICES_INPUT_FILE_H_
#define LANZHOU_SERVICES_INPUT_FILE_H_

#include <string>
#include <string_view>

#include "services/encoding.h"
#include "services/text.h"

namespace lanzhou {

// The whole of `native_path` ("-": standard input, left open) into `bytes`. False on
// failure, with `error` set to the errno of the step that failed.
bool ReadInput(const std::string& native_path, std::string& bytes, int& error);

// The bytes of one input for an operation that only looks at them: a regular file is mapped
// into memory instead of copied, anything else (standard input, a pipe) is read. Should a
// mapped file shrink while it is being read, the program writes `changed_message` to
// standard error, takes back the output under way (`AbandonOutputInSignalHandler`) and ends
// with status 2, rather than crashing.
class MappedInput {
 public:
  MappedInput() = default;
  MappedInput(const MappedInput&) = delete;
  MappedInput& operator=(const MappedInput&) = delete;
  ~MappedInput() { Close(); }

  // As `ReadInput`.
  bool Open(const std::string& native_path, std::string_view changed_message, int& error);
  std::string_view view() const { return map_ ? std::string_view(map_, map_size_) : owned_; }
  void Close();

 private:
  const char* map_ = nullptr;
  std::size_t map_size_ = 0;
  std::string owned_;
};

// What a page's multi-line edit box holds after `bytes` were pasted into it: the bytes up to
// the first zero byte, decoded to GB18030 as `DecodeInput` does, with every LF not preceded
// by CR made CR LF. `bytes` is consumed (its memory is reused or released).
//   PastedText("a\nb\r\nc\0d", InputEncoding::kAuto, nullptr)  -> "a\r\nb\r\nc"
Text PastedText(std::string bytes, InputEncoding how, DetectedEncoding* detected);

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_INPUT_FILE_H_
