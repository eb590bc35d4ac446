#include "ui/dropped_text.h"

#include <optional>

#include "text/encoding.h"
#include "io/files.h"

namespace lanzhou {

Text ReadDroppedText(const std::vector<Text>& paths, Dialogs& dialogs) {
  Text text;
  for (const Text& path : paths) {
    Text problem;
    const std::optional<Bytes> bytes = ReadReadableFile(path, &problem);
    if (!bytes) {
      ShowMessage(dialogs, problem, message_flags::kIconError);
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
