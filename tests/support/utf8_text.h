// Chinese literals in tests: the sources are UTF-8, the program's texts GB18030.
#ifndef LANZHOU_TESTS_SUPPORT_UTF8_TEXT_H_
#define LANZHOU_TESTS_SUPPORT_UTF8_TEXT_H_

#include <string_view>

#include "text/encoding.h"
#include "text/text.h"

namespace lanzhou {

// U("处理完毕") == FromUtf8("处理完毕"): the GB18030 `Text` of a UTF-8 literal.
inline Text U(std::string_view utf8) { return FromUtf8(utf8); }

}  // namespace lanzhou

#endif  // LANZHOU_TESTS_SUPPORT_UTF8_TEXT_H_
