// The one place where text changes encoding: GB18030 (`Text`) <-> UTF-8 (file names, Qt,
// source-code literals) by a converter of its own with glibc's tables, and UTF-16 and Big5
// input into GB18030. Out of memory, a conversion throws std::bad_alloc, also where the first
// one cannot build the converter's tables or a thread's first Big5 one cannot open its iconv
// descriptor.
#ifndef LANZHOU_TEXT_ENCODING_H_
#define LANZHOU_TEXT_ENCODING_H_

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace lanzhou {

// UTF-8 -> GB18030. Every Unicode scalar value has a GB18030 form, so nothing is lost; an
// invalid UTF-8 byte is kept as it is. FromUtf8("中") == Text("\xD6\xD0"),
// FromUtf8("😀") == Text("\x94\x39\xFC\x36"), FromUtf8("\uE78D") == Text("\xA6\xD9").
// Limit: those 24 private-use code points (U+E78D..U+E796 and 14 between U+E816 and U+E864)
// take the two-byte codes that GB18030 gave them before its standard characters replaced them,
// so ToUtf8 gives back the standard characters (A6 D9 is U+FE10).
Text FromUtf8(std::string_view utf8);
// GB18030 -> UTF-8. A byte sequence that is not GB18030 becomes U+FFFD, one for each byte
// it starts with; `*replaced` (when given) grows by their number. ToUtf8("\xFF\x81") is two
// U+FFFD (6 bytes), with *replaced += 2.
std::string ToUtf8(const Text& text);
std::string ToUtf8(std::string_view gb18030, std::size_t* replaced = nullptr);

// The end of the run of bytes below 0x80 that starts at `bytes[from]`, eight bytes at a time:
// such bytes read the same as GBK, GB18030 and UTF-8. AsciiRunEnd("ab\xD6\xD0c", 0) == 2
std::size_t AsciiRunEnd(std::string_view bytes, std::size_t from = 0);
// True when every byte is below 0x80.
inline bool IsAscii(std::string_view bytes) { return AsciiRunEnd(bytes) == bytes.size(); }

// True when `bytes` is well-formed UTF-8 (shortest forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);
// Where the first sequence that is not well-formed UTF-8 starts; bytes.size() when there is
// none.   ValidUtf8Length("a\xE4\xB8") == 1; ValidUtf8Length("a\xE4\xB8\xAD") == 4
std::size_t ValidUtf8Length(std::string_view bytes);
// The same a step at a time (`ScanInSteps`, text/lines.h): `scanned(end)` hears every 64 MB
// that the bytes before `end` are done with, so that a caller may hand a mapping's pages back.
std::size_t ValidUtf8Length(std::string_view bytes,
                            const std::function<void(std::size_t)>& scanned);

// UTF-16 and Big5 input is converted into GB18030 as UTF-8 is; a UTF-16 file reports
// DetectedEncoding::kUtf8 (a Unicode file, whose results "in the input's encoding" are UTF-8),
// a Big5 file kGbk (results in GB18030, which holds every Big5 character).
enum class InputEncoding { kAuto, kGbk, kUtf8, kUtf16Le, kUtf16Be, kBig5 };
enum class DetectedEncoding { kGbk, kUtf8 };

// How an input file's bytes are read with InputEncoding::kAuto: a UTF-16 byte-order mark
// (FF FE, FE FF: neither starts GBK text) means UTF-16; a UTF-8 byte-order mark means
// UTF-8; bytes that are not valid UTF-8, and ASCII alone, are GBK/GB18030; bytes valid in both
// are whichever reading is the more plausible text (text/encoding_detect.h), so that a
// short GBK list such as 谢谢 (which UTF-8 would read as лл) stays GBK.
// Beyond the first few characters the decision only needs the rest to be valid UTF-8, which
// is checked a step at a time with `scanned` as for `ValidUtf8Length`.
DetectedEncoding DetectInputEncoding(std::string_view bytes,
                                     const std::function<void(std::size_t)>& scanned = nullptr);

// The kAuto decision as far as the start of `bytes` decides it: true when they are UTF-8
// should the rest be valid UTF-8 too, which `unchecked` then says is still to be seen (it is
// false for a UTF-8 byte-order mark, which decides alone). For callers that convert a large
// input a piece at a time: the conversion is then the check, and bytes that turn out not to be
// UTF-8 are read as GBK, as `DetectInputEncoding` would have said.
bool StartReadsAsUtf8(std::string_view bytes, bool& unchecked);

// Where bytes that have to be UTF-8 stop being UTF-8. They have to be when read as
// InputEncoding::kUtf8, or as kAuto when a UTF-8 byte-order mark announces UTF-8. The offset
// of the first ill-formed byte sequence, looked for before the first zero byte (what follows
// it is never read as text); nullopt when the bytes need not be UTF-8 or all is well-formed.
// `DecodeInputText` reports the same offset as `invalid_utf8_at` for bytes without a zero byte.
//   InvalidRequiredUtf8("\xEF\xBB\xBF" "A\xE4\xB8", InputEncoding::kAuto) == 4
//   InvalidRequiredUtf8("A\xE4", InputEncoding::kUtf8) == 1
//   InvalidRequiredUtf8("A\xE4", InputEncoding::kAuto) == nullopt
//   InvalidRequiredUtf8("A\0\xE4", InputEncoding::kUtf8) == nullopt
// The bytes are looked through a step at a time, with `scanned` as for `ValidUtf8Length`.
std::optional<std::size_t> InvalidRequiredUtf8(
    std::string_view bytes, InputEncoding how,
    const std::function<void(std::size_t)>& scanned = nullptr);

// The encoding `bytes` are read in: `how`, or with kAuto the UTF-16 their byte-order mark
// names (kAuto stays when there is none).
InputEncoding EncodingByMark(std::string_view bytes, InputEncoding how);

// The part of an input's bytes that is its text: up to the first zero byte (`TextBeforeZero`,
// text/lines.h), or for UTF-16 (named, or by its mark) up to the first zero code unit.
//   InputTextBeforeZero("a\0b", InputEncoding::kAuto) == "a"
//   InputTextBeforeZero("\xFF\xFE" "a\0\0\0b\0", InputEncoding::kAuto) == "\xFF\xFE" "a\0"
std::string_view InputTextBeforeZero(std::string_view bytes, InputEncoding how,
                                     const std::function<void(std::size_t)>& scanned = nullptr);

// An input file's text, decoded into GB18030 by `DecodeInputText`.
struct DecodedInput {
  // A view of the bytes given (GBK/GB18030 needs no change) or of the caller's storage.
  std::string_view text;
  DetectedEncoding encoding = DetectedEncoding::kGbk;
  // Set when the bytes had to be UTF-8 (InputEncoding::kUtf8 given, or a UTF-8 byte-order
  // mark) and are not: the offset, in the bytes given, of the first byte that is not, as
  // `InvalidRequiredUtf8` finds it but looking past zero bytes too; `text` is then empty, and
  // a caller reports the offset instead of reading on.
  std::optional<std::size_t> invalid_utf8_at;
  // UTF-16 or Big5: the bytes that were not valid in it and became U+FFFD (a lone surrogate
  // counts its two bytes, an odd last byte one).
  std::size_t replaced = 0;
};

// Decodes the bytes of an input file into GB18030: as `how` says, or, with kAuto, as
// `DetectInputEncoding` decides. UTF-8 loses its byte-order mark and is converted into
// `storage`, as are UTF-16 (without its mark) and Big5; GBK/GB18030 comes back unchanged as a view
// of `bytes`, without a copy. Zero bytes are kept: callers that read lines stop at them as the line
// readers define.
//
//   std::string storage;
//   DecodeInputText("a\xD6\xD0", storage).text             -> "a\xD6\xD0" (a view of the argument)
//   DecodeInputText("\xE4\xB8\xAD", storage).text         -> "\xD6\xD0" (a view of storage)
//   DecodeInputText("\xD0\xBB\xD0\xBB", storage).text     -> unchanged: 谢谢 as GBK
//   DecodeInputText("ab\xFF", storage, InputEncoding::kUtf8).invalid_utf8_at == 2
//   DecodeInputText("\xEF\xBB\xBF" "\xD6\xD0", storage).invalid_utf8_at == 3
DecodedInput DecodeInputText(std::string_view bytes, std::string& storage,
                             InputEncoding how = InputEncoding::kAuto);

// `DecodeInputText` for callers that cannot report a decoding error: bytes that had to be
// UTF-8 and are not are converted as far as they go, an invalid byte kept as it is.
std::string DecodeInput(std::string_view bytes, InputEncoding how = InputEncoding::kAuto,
                        DetectedEncoding* detected = nullptr);
std::string_view DecodeInputView(std::string_view bytes, std::string& storage,
                                 InputEncoding how = InputEncoding::kAuto,
                                 DetectedEncoding* detected = nullptr);

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_ENCODING_H_
