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
// The numbers of the writers: `value` as "%.*g" formats it in the C locale, the same bytes as
// AppendGeneral (text/text_primitives.h) for every value and precision. AppendRealGeneral(out,
// 1.0 / 3, 13) adds 0.3333333333333, -0.0 gives -0, 1e20 gives 1e+20, 1e-5 gives 1e-05.
// A value that one exact power of ten scales to `precision` digits is rounded by that one
// multiplication; one too close to halfway between two roundings, out of that range or not
// finite, and a precision above 15, take AppendGeneral's exact path.
void AppendRealGeneral(std::string& out, double value, int precision);

}  // namespace lanzhou

#endif  // LANZHOU_JSON_WRITERS_H_
