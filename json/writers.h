// The three writers of the JSON module (JsonHandle::ToJson, ToXml, ToQueryText) and their
// escaping rules, which append to a growing buffer so that output takes linear time.
#ifndef LANZHOU_JSON_WRITERS_H_
#define LANZHOU_JSON_WRITERS_H_

#include <string>
#include <string_view>

#include "json/node_store.h"

namespace lanzhou {

// JSON text escaping: BS, LF, CR, TAB, FF as \b \n \r \t \f; "\" "/" and the double quote
// behind a backslash; a byte >= 0x80 and the byte after it unchanged; every other byte as is
// (no \u escapes). AppendJsonEscaped(out, "a/\"b\"\n") appends a\/\"b\"\n.
void AppendJsonEscaped(std::string& out, std::string_view text);
// XML text escaping: < > & ' and the double quote as entities; a byte >= 0x80 and the byte
// after it unchanged.
void AppendXmlEscaped(std::string& out, std::string_view text);

// The JSON text of a node (with its "key": prefix when it is a member); null gives "null".
void AppendJsonNode(std::string& out, const JsonNode* node);

}  // namespace lanzhou

#endif  // LANZHOU_JSON_WRITERS_H_
