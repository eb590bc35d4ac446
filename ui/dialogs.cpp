#include "ui/dialogs.h"

#include <algorithm>
#include <new>

#include "text/encoding.h"

namespace lanzhou {

int ShowMessage(Dialogs& dialogs, const Value& value, int flags, std::optional<Text> caption) {
  // Every kind but Bytes is shown as ToText writes it; Bytes show nothing.
  Text text = std::holds_alternative<Bytes>(value) ? Text() : ToText(value);
  static const Text kDefaultCaption = FromUtf8("信息：");
  return dialogs.ShowMessage(text, flags, caption ? *caption : kDefaultCaption);
}

void RunReportingOutOfMemory(Dialogs& dialogs, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::bad_alloc&) {
    ShowMessage(dialogs, FromUtf8("内存不足"), message_flags::kIconError);
  }
}

bool InputBox(Dialogs& dialogs, const Text& prompt, const Text& caption, const Text& initial_text,
              InputVariable variable, int mode) {
  static const Text kDefaultCaption = FromUtf8("请输入：");
  std::optional<Text> typed = dialogs.AskText(prompt, caption.empty() ? kDefaultCaption : caption,
                                              initial_text, std::clamp(mode, 1, 4));
  if (!typed) return false;
  std::string_view s = typed->view();
  std::visit(
      [&](auto* target) {
        using T = std::remove_pointer_t<decltype(target)>;
        if (target == nullptr) return;
        if constexpr (std::is_same_v<T, Text>) {
          *target = *typed;
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          *target = static_cast<std::int32_t>(ReadLeadingInteger(s));  // atoi
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          *target = ReadLeadingInteger(s);  // atoll
        } else {
          *target = static_cast<T>(ReadLeadingNumber(s));  // atof
        }
      },
      variable);
  return true;
}

bool AskFileToOpen(Dialogs& dialogs, CommonDialog& dialog) {
  dialog.kind = 0;
  const std::size_t slash = dialog.file_name.view().rfind('/');
  dialog.initial_folder =
      slash == std::string_view::npos ? Text() : Text(dialog.file_name.view().substr(0, slash));
  dialog.filter = FromUtf8("文本文件|*.txt|所有文件|*");
  return dialogs.ShowCommonDialog(dialog);
}

}  // namespace lanzhou
