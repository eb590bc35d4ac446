// Reading input files whole, for the operations that take a file as their input (the
// command-line companion): a file or standard input into memory, or a regular file mapped.
#ifndef LANZHOU_IO_INPUT_FILE_H_
#define LANZHOU_IO_INPUT_FILE_H_

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "text/encoding.h"
#include "text/text.h"

namespace lanzhou {

// What of an input is read, and how much of it may be held in memory.
struct ReadLimits {
  // Reading stops just after the first zero byte, for the operations that ignore everything
  // after it: an endless input (/dev/zero) then ends. Not in an input that starts with a
  // UTF-16 byte-order mark, whose text is full of zero bytes.
  bool stop_at_zero = false;
  // An input read into memory (not a mapped file) of more bytes fails with EFBIG.
  std::size_t max_bytes = static_cast<std::size_t>(-1);
  // A mapped file is read in at once (fastest when all of it will be used); without, its
  // pages come as they are first touched.
  bool populate = true;
};

// The whole of `native_path` ("-": standard input, left open) into `bytes`. False on
// failure, with `error` set to the errno of the step that failed: ENOMEM when the memory ran
// out, EFBIG beyond `limits.max_bytes`, EBADF for standard input when it was closed at the
// start (`StandardInputClosed`, io/process_start.h).
bool ReadInput(const std::string& native_path, std::string& bytes, int& error,
               const ReadLimits& limits = {});

// The bytes of one input for an operation that only looks at them: a regular file is mapped
// into memory instead of copied, anything else (standard input, a pipe, a device) is read.
// Should a mapped file shrink while it is being read, the program writes `changed_message`
// to standard error, takes back the output under way (`AbandonOutputInSignalHandler`) and
// ends with status 2, rather than crashing; `Unchanged` tells a file that changed in any
// other way (it grew, or was rewritten) before its result is committed.
class MappedInput {
 public:
  MappedInput() = default;
  MappedInput(const MappedInput&) = delete;
  MappedInput& operator=(const MappedInput&) = delete;
  ~MappedInput() { Close(); }

  // As `ReadInput`; at most 16 inputs are mapped at once, further ones are read. Anything
  // but a regular file (standard input, a pipe, a device) is first copied into an unnamed
  // file in the temporary directory (io/temp_file.h) and that is mapped: its memory does
  // not grow with its size. Should that copy fail, `spool_failed` says so and `error` is the
  // errno of the temporary file (ENOSPC: the disk is full); nothing is left behind.
  bool Open(const std::string& native_path, std::string_view changed_message, int& error,
            const ReadLimits& limits = {});
  // What `PastedView(bytes, …)` gives, for bytes too many to copy in memory: `text` is
  // `bytes` itself (cut at the first zero byte) when nothing needs changing; otherwise the
  // changed text is written a piece at a time into an unnamed file in the temporary
  // directory, which this then maps without reading it in. With `LineEnds::kAsTheyAre` LF
  // stays LF: `text` is then what `DecodeInputView(TextBeforeZero(bytes), …)` gives. `bytes`
  // may belong to another input, which may be closed afterwards. False when the temporary
  // file fails (`spool_failed`, `error` its errno).
  enum class LineEnds { kCrLf, kAsTheyAre };
  bool OpenPasted(std::string_view bytes, InputEncoding how, DetectedEncoding* detected,
                  std::string_view& text, int& error,
                  const std::function<void(std::size_t)>& scanned = nullptr,
                  LineEnds line_ends = LineEnds::kCrLf);
  std::string_view view() const { return map_ ? std::string_view(map_, map_size_) : owned_; }
  // True when the bytes are a mapping of the file (whose pages `ReleasePages` may drop).
  bool mapped() const { return map_ != nullptr; }
  // False when a mapped file differs from when it was mapped in size, inode, modification
  // time or status-change time (nanoseconds): a rewrite that keeps the size and puts the
  // modification time back still moves the status-change time.
  bool Unchanged() const;
  // After a failed `Open`: whether the copy of a non-regular input into a temporary file failed.
  bool spool_failed() const { return spool_failed_; }
  void Close();

 private:
  // Maps `size` bytes of `fd`, which the mapping then owns; false, with errno set, on failure.
  bool Map(int fd, std::size_t size, std::string_view changed_message, const ReadLimits& limits);

  const char* map_ = nullptr;
  std::size_t map_size_ = 0;
  int fd_ = -1;                 // the mapped file, kept open to see whether it changed
  struct stat mapped_stat_ {};  // the file as it was when it was mapped
  std::string owned_;
  bool spool_failed_ = false;
};

// Hands the whole pages inside `bytes`, a part of a read-only file mapping, back to the system;
// reading them again reads the file. Keeps a long scan of a large file from holding it all.
void ReleasePages(std::string_view bytes);

// What a page's multi-line edit box holds after `bytes` were pasted into it: the bytes up to
// the first zero byte, decoded to GB18030 as `DecodeInput` does, with every LF not preceded
// by CR made CR LF. Without copying bytes that need no change (a mapped file): GBK/GB18030
// with no LF alone comes back as `bytes` itself, cut at the first zero byte; any other text is
// put into `storage` and a view of it returned. While it looks through `bytes` in place,
// `scanned(end)` hears every 64 MB that the bytes before `end` are done with, so that a
// caller may hand a mapping's pages back.
//   PastedView("a\nb\r\nc\0d", storage, InputEncoding::kAuto, nullptr)  -> "a\r\nb\r\nc"
//   PastedView("a\r\nb\0c", storage, InputEncoding::kAuto, nullptr)  -> "a\r\nb" (in place)
std::string_view PastedView(std::string_view bytes, std::string& storage, InputEncoding how,
                            DetectedEncoding* detected,
                            const std::function<void(std::size_t)>& scanned = nullptr);

}  // namespace lanzhou

#endif  // LANZHOU_IO_INPUT_FILE_H_
