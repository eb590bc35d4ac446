#include "text/script_fold.h"

#include <opencc/Exception.hpp>
#include <opencc/SimpleConverter.hpp>

#include "text/encoding.h"
#include "text/lines.h"
#include "text/quoted_name.h"

namespace lanzhou {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // what ToUtf8 makes of a bad byte

// `gb18030` in UTF-8 when it converts without loss: ToUtf8 gives U+FFFD for bytes that are
// not GB18030, which would then be lost; a genuine U+FFFD converts back to its own code.
bool ToUtf8Exactly(std::string_view gb18030, std::string& utf8) {
  utf8 = ToUtf8(gb18030);
  return utf8.find(kReplacement) == std::string::npos || FromUtf8(utf8).view() == gb18030;
}

}  // namespace

ScriptFold::ScriptFold() = default;
ScriptFold::~ScriptFold() = default;
ScriptFold::ScriptFold(ScriptFold&&) noexcept = default;
ScriptFold& ScriptFold::operator=(ScriptFold&&) noexcept = default;

bool ScriptFold::Open(std::string_view name, std::string& error) {
  std::string file(name);
  if (file.find('/') == std::string::npos && !file.ends_with(".json")) file += ".json";
  try {
    converter_ = std::make_unique<opencc::SimpleConverter>(file);
    return true;
  } catch (const opencc::Exception& e) {
    error = "cannot load the OpenCC configuration " + QuotedName(name) + ": " +
            WithVisibleControls(e.what());
  } catch (const std::exception& e) {
    error = "cannot load the OpenCC configuration " + QuotedName(name) + ": " +
            WithVisibleControls(e.what());
  }
  converter_.reset();
  return false;
}

void ScriptFold::Append(std::string_view gb18030, std::string& out) const {
  std::string utf8;
  if (ToUtf8Exactly(gb18030, utf8)) {
    out += FromUtf8(converter_->Convert(utf8)).view();
    return;
  }
  // Line by line, keeping the lines that are not GB18030 as they are.
  std::string_view rest = gb18030, line;
  while (!rest.empty()) {
    const std::size_t before = rest.size();
    NextLine(rest, line);
    const std::string_view with_end = gb18030.substr(gb18030.size() - before, before - rest.size());
    if (ToUtf8Exactly(with_end, utf8)) {
      out += FromUtf8(converter_->Convert(utf8)).view();
    } else {
      out += with_end;
    }
  }
}

bool ScriptFold::ConvertsWhole(std::string_view gb18030) const {
  std::string utf8;
  return ToUtf8Exactly(gb18030, utf8);
}

std::string ScriptFold::Convert(std::string_view gb18030) const {
  std::string out;
  Append(gb18030, out);
  return out;
}

}  // namespace lanzhou
