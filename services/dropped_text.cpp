#include "services/dropped_text.h"

#include <optional>

#include "services/encoding.h"
#include "services/files.h"

namespace lanzhou {

Text ReadDroppedText(const std::vector<Text>& paths, Dialogs& dialogs) {
  Text text;
  for (const Text& path : paths) {
    const std::optional<Bytes> bytes = ReadReadableFile(path);
    if (!bytes) {
      ShowMessage(dialogs, FromUtf8("无法打开文件：") + path, message_flags::kIconError);
      continue;
    }
    if (!text.empty() && !text.view().ends_with('\n') && !text.view().ends_with('\r')) {
      text += std::string_view("\r\n");
    }
    text += Text(DecodeInput(bytes->view()));
  }
  return text;
}

}  // namespace lanzhou
