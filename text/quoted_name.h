// How a file name is shown in a message: quoted so that a reader sees where it starts and
// ends, and with every byte that a terminal would act on (an escape sequence in a name)
// written as an escape instead, the way the shell's $'...' reads it back.
#ifndef LANZHOU_TEXT_QUOTED_NAME_H_
#define LANZHOU_TEXT_QUOTED_NAME_H_

#include <string>
#include <string_view>

namespace lanzhou {

// `name` (bytes as the file system has them) in single quotes; a name holding a single quote
// and nothing else to escape goes in double quotes; a single quote among escapes is '\''.
// Control bytes (below 0x20, 0x7F), C1 controls and bytes that are not well-formed UTF-8
// (a GBK name) are written as $'\n', $'\t' … or three octal digits, so the result pasted
// into a shell names the same file.
//   QuotedName("a b")       == "'a b'"
//   QuotedName("it's")      == "\"it's\""
//   QuotedName("a\nb")      == "'a'$'\\n''b'"
//   QuotedName("x\x1b[31m") == "'x'$'\\033''[31m'"
//   QuotedName("中文")       == "'中文'"
std::string QuotedName(std::string_view name);

// `text` as it is but for the bytes `QuotedName` escapes, written as the same escapes without
// quotes: for a message of a library that repeats part of what the user gave (a pattern's
// error), so that no byte of it reaches the terminal as a control.
//   WithVisibleControls("missing ): \x1b[2J(") == "missing ): \\033[2J("
std::string WithVisibleControls(std::string_view text);

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_QUOTED_NAME_H_
