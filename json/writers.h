// The three writers of the JSON module (JsonHandle::ToJson, ToXml, ToQueryText), handlers
// over one walk of a node's subtree, and their escaping rules. They append to one growing
// buffer, so output takes linear time.
#ifndef LANZHOU_JSON_WRITERS_H_
#define LANZHOU_JSON_WRITERS_H_

#include <string>
#include <string_view>

namespace lanzhou {

// JSON text escaping: BS, LF, CR, TAB, FF as \b \n \r \t \f; "\" "/" and the double quote
// behind a backslash; a two-byte GBK character (text/gbk_chars.h) unchanged; every other
// byte as is (no \u escapes). AppendJsonEscaped(out, "a/\"b\"\n") appends a\/\"b\"\n.
void AppendJsonEscaped(std::string& out, std::string_view text);
// XML text escaping: < > & ' and the double quote as entities; a two-byte GBK character
// unchanged. AppendXmlEscaped(out, "a<'b'") appends a&lt;&apos;b&apos;.
void AppendXmlEscaped(std::string& out, std::string_view text);

}  // namespace lanzhou

#endif  // LANZHOU_JSON_WRITERS_H_
