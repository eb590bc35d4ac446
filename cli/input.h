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
