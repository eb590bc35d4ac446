// The modal dialogs and the address opener, behind one interface: the window gives handlers
// the Qt dialogs; tests give them `ScriptedDialogs` (tests/support/scripted_dialogs.h).
#ifndef LANZHOU_UI_DIALOGS_H_
#define LANZHOU_UI_DIALOGS_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

#include "text/text.h"
#include "text/text_primitives.h"

namespace lanzhou {

// Message-box flags as the program uses them (button set | icon | default button | modality).
namespace message_flags {
inline constexpr int kOk = 0x0;
inline constexpr int kOkCancel = 0x1;
inline constexpr int kAbortRetryIgnore = 0x2;
inline constexpr int kYesNoCancel = 0x3;
inline constexpr int kYesNo = 0x4;
inline constexpr int kRetryCancel = 0x5;
inline constexpr int kIconError = 0x10;
inline constexpr int kIconQuestion = 0x20;
inline constexpr int kIconWarning = 0x30;
inline constexpr int kIconInformation = 0x40;
inline constexpr int kDefaultButton2 = 0x100;
inline constexpr int kDefaultButton3 = 0x200;
inline constexpr int kSystemModal = 0x1000;
inline constexpr int kTaskModal = 0x2000;
// Our own: a button 打开文件夹 after the set's buttons (result message_result::kOpenFolder).
inline constexpr int kOpenFolder = 0x100000;
}  // namespace message_flags

// Message-box results.
namespace message_result {
inline constexpr int kOk = 0;
inline constexpr int kCancel = 1;
inline constexpr int kAbort = 2;
inline constexpr int kRetry = 3;
inline constexpr int kIgnore = 4;
inline constexpr int kYes = 5;
inline constexpr int kNo = 6;
inline constexpr int kOpenFolder = 7;
}  // namespace message_result

// The common file dialog unit's properties. Kind 0 opens, 1 saves.
struct CommonDialog {
  int kind = 0;
  Text filter;  // "文本文档|*.txt" pairs, GB18030
  int filter_index = 0;
  Text initial_folder;  // empty: the user's home folder
  Text title;
  Text file_name;  // the chosen path after a confirmed call; the initial name of the next
  Text default_extension;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // `caption` is already resolved (empty only when the caller wants no title). Returns
  // message_result::*.
  virtual int ShowMessage(const Text& text, int flags, const Text& caption) = 0;
  // The typed text on OK, nullopt on Cancel. `mode` is already clamped to 1..4; `caption`
  // already resolved to "请输入：" when none was given.
  virtual std::optional<Text> AskText(const Text& prompt, const Text& caption,
                                      const Text& initial_text, int mode) = 0;
  // Shows the open (kind 0) or save (kind 1) dialog; on OK stores the full path in
  // `dialog.file_name` and returns true.
  virtual bool ShowCommonDialog(CommonDialog& dialog) = 0;
  // Opens a web address with the desktop's browser, or, given an absolute path, that folder in
  // the file manager; when none can, the user is told so.
  virtual void OpenUrl(const Text& address) = 0;
};

// `ShowMessage` as the pages call it: any value shown as `ToText` shows it (Bytes show
// nothing), caption "信息：" when none is given. The flags reach `Dialogs` unchanged: every
// box is modal to the program, so no modality bit is added.
//   ShowMessage(dialogs, FromUtf8("是否关闭程序?"), 0x24) == 5 when the user answers Yes.
int ShowMessage(Dialogs& dialogs, const Value& value, int flags = 0,
                std::optional<Text> caption = std::nullopt);

// Runs an event handler; when it runs out of memory the user is told ("内存不足", flags 16)
// and the program goes on, instead of ending with everything the window holds. What the
// handler changed before the failure stays as it was left; its files are written through
// the file service, which never leaves half a file.
void RunReportingOutOfMemory(Dialogs& dialogs, const std::function<void()>& handler);

// Asks in `dialog` (made an open dialog) for one text file to read: it starts in the folder
// of the file picked last, else the home folder (an installed program's own directory holds
// none of the user's files, and looking must create no folder). True, with the path in
// `dialog.file_name`, when the user picked one.
bool AskFileToOpen(Dialogs& dialogs, CommonDialog& dialog);

// The variable an input box writes into, and its kind.
using InputVariable = std::variant<Text*, std::int32_t*, std::int64_t*, float*, double*>;

// Modes 1..4 (clamped; 2 digits and "-", 3 also ".", 4 masked). On OK the typed text is
// stored into the variable by its kind (atoi, atoll, atof) and the result is true; on Cancel
// the variable keeps its value.
bool InputBox(Dialogs& dialogs, const Text& prompt, const Text& caption, const Text& initial_text,
              InputVariable variable, int mode = 1);

}  // namespace lanzhou

#endif  // LANZHOU_UI_DIALOGS_H_
