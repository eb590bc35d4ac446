// The one place where text changes encoding: GB18030 (`Text`) <-> UTF-8 (file names, Qt,
// source-code literals), on glibc's iconv.
#ifndef LANZHOU_SERVICES_ENCODING_H_
#define LANZHOU_SERVICES_ENCODING_H_

#include <string>
#include <string_view>

#include "services/text.h"

namespace lanzhou {

// UTF-8 -> GB18030. Every Unicode character has a GB18030 form, so nothing is lost; an
// invalid UTF-8 byte is kept as it is. FromUtf8("中") == Text("\xD6\xD0"),
// FromUtf8("😀") == Text("\x94\x39\xFC\x36"). Limit: 24 private-use code points
// (U+E78D..U+E796 and 14 between U+E816 and U+E864) share their bytes with the standard characters
// that replaced them, so they come back as those.
Text FromUtf8(std::string_view utf8);
// GB18030 -> UTF-8. A byte sequence that is not GB18030 becomes U+FFFD.
std::string ToUtf8(const Text& text);
std::string ToUtf8(std::string_view gb18030);

// True when `bytes` is well-formed UTF-8 (shortest forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);
// Where the first sequence that is not well-formed UTF-8 starts; bytes.size() when there is
// none.   ValidUtf8Length("a\xE4\xB8") == 1; ValidUtf8Length("a\xE4\xB8\xAD") == 4
std::size_t ValidUtf8Length(std::string_view bytes);

enum class InputEncoding { kAuto, kGbk, kUtf8 };
enum class DetectedEncoding { kGbk, kUtf8 };

// Decodes the bytes of an input file into GB18030. With kAuto: a UTF-8 byte-order mark, or
// valid UTF-8 holding at least one multi-byte sequence, means UTF-8 (the mark is dropped and
// the rest converted); anything else is taken as GBK/GB18030 unchanged. Zero bytes are kept:
// callers that read lines stop at them as the line readers define.
std::string DecodeInput(std::string_view bytes, InputEncoding how = InputEncoding::kAuto,
                        DetectedEncoding* detected = nullptr);

// As `DecodeInput`, without copying what needs no change: GBK/GB18030 comes back as `bytes`
// itself (cut to nothing but a view), converted UTF-8 is put into `storage` and a view of
// it returned. The view lives as long as `bytes` or `storage`, whichever it points into.
//
//   std::string storage;
//   DecodeInputView("a\xD6\xD0", storage)  -> "a\xD6\xD0" (a view of the argument)
//   DecodeInputView("\xE4\xB8\xAD", storage)  -> "\xD6\xD0" (a view of storage)
std::string_view DecodeInputView(std::string_view bytes, std::string& storage,
                                 InputEncoding how = InputEncoding::kAuto,
                                 DetectedEncoding* detected = nullptr);

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_ENCODING_H_
