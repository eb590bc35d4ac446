#include "ui/dropped_text.h"

#include <optional>
#include <string>

#include "io/files.h"
#include "text/encoding.h"
#include "text/lines.h"

namespace lanzhou {

bool LooksLikeText(std::string_view bytes) {
  const std::string_view probe = bytes.substr(0, kTextProbeBytes);
  // UTF-16 (by its byte-order mark) is judged by its code units, whose high bytes are zero.
  const InputEncoding marked = EncodingByMark(probe, InputEncoding::kAuto);
  const bool utf16 = marked != InputEncoding::kAuto;
  const std::size_t step = utf16 ? 2 : 1;
  const std::size_t low = marked == InputEncoding::kUtf16Be ? 1 : 0;
  std::size_t control = 0;
  for (std::size_t i = utf16 ? 2 : 0; i + step <= probe.size(); i += step) {
    const auto byte = static_cast<unsigned char>(probe[i + low]);
    const bool high = utf16 && probe[i + 1 - low] != 0;
    if (byte == 0 && !high) return false;
    const bool layout = (byte >= '\t' && byte <= '\r') || byte == 0x1B;
    if (!high && ((byte < 0x20 && !layout) || byte == 0x7F)) ++control;
  }
  return control * 2 * step <= probe.size();
}

std::optional<Bytes> ReadTextFile(const Text& path, Text* problem) {
  std::optional<Bytes> bytes = ReadReadableFile(path, problem);
  if (bytes && !LooksLikeText(bytes->view())) {
    if (problem != nullptr) *problem = FromUtf8("不是文本文件：") + path;
    return std::nullopt;
  }
  return bytes;
}

Text ReadDroppedText(const std::vector<Text>& paths, Dialogs& dialogs) {
  Text text;
  for (const Text& path : paths) {
    Text problem;
    const std::optional<Bytes> bytes = ReadTextFile(path, &problem);
    if (!bytes) {
      ShowMessage(dialogs, problem, message_flags::kIconError);
      continue;
    }
    if (!text.empty() && !text.view().ends_with('\n') && !text.view().ends_with('\r')) {
      text += std::string_view("\r\n");
    }
    // A zero byte is never part of a character, so the text is cut there before it is
    // decoded: what follows cannot sway the encoding's detection. A 0x1A ends it only where
    // it starts a character of the decoded text.
    const std::string decoded =
        DecodeInput(InputTextBeforeZero(bytes->view(), InputEncoding::kAuto));
    text += Text(std::string(TextBeforeEndMark(decoded)));
  }
  return text;
}

TextArray DroppedPaths(const Text& event_text) {
  std::string_view rest = event_text.view();
  if (!rest.ends_with("\r\n")) return rest.empty() ? TextArray{} : TextArray{event_text};
  TextArray paths;
  for (std::size_t end; (end = rest.find("\r\n")) != std::string_view::npos;) {
    if (end > 0) paths.emplace_back(rest.substr(0, end));
    rest.remove_prefix(end + 2);
  }
  return paths;
}

}  // namespace lanzhou
