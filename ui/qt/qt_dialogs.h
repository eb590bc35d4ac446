// The real dialogs of the desktop program: message box, input box, file dialog and the
// address opener, as `Dialogs` (ui/dialogs.h) promises them.
#ifndef LANZHOU_UI_QT_QT_DIALOGS_H_
#define LANZHOU_UI_QT_QT_DIALOGS_H_

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>

#include "ui/dialogs.h"

class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lanzhou {

// The message box for `flags` (message_flags::*), not yet shown: the button set (low four
// bits; an unknown set shows OK), the icon, the default button (0x100 second, 0x200 third),
// with message_flags::kOpenFolder a button 打开文件夹 after them,
// application-modal in every case (Qt has no system-wide modality; a system-modal box, flag
// 0x1000, also stays on top).
std::unique_ptr<QMessageBox> BuildMessageBox(const Text& text, int flags, const Text& caption);
// The result (message_result::*, 0..6) of a box after it closed. A box closed without a
// button (Escape, the close button) answers Cancel when it has one, else No, else OK.
int MessageBoxResult(const QMessageBox& box);

// The input box: an optional framed prompt above a one-line field, "确认输入(&O)" (default)
// and "取消(&C)". Mode 1 takes any text, 2 only "-" and digits, 3 also ".", 4 masks it.
// In modes 2 and 3 the field never holds another printable character: a change that would
// bring one in, typed, pasted or from an input method, is refused whole (typing "a1" gives
// "1", pasting "a1" nothing), and the initial text is kept without them ("1a2" gives "12").
class InputDialog : public QDialog {
  Q_OBJECT

 public:
  // `mode` is clamped to 1..4; an empty caption gives the title "请输入：".
  InputDialog(const Text& prompt, const Text& caption, const Text& initial_text, int mode,
              QWidget* parent = nullptr);

  QLabel* prompt_label() const { return prompt_; }  // null for an empty prompt
  QLineEdit* field() const { return field_; }
  QPushButton* ok_button() const { return ok_; }
  QPushButton* cancel_button() const { return cancel_; }
  Text EnteredText() const;

 private:
  QLabel* prompt_ = nullptr;
  QLineEdit* field_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// The file dialog configured from a common-dialog unit, not yet shown: kind 0 opens an
// existing file, 1 saves; the filter "文本文档|*.txt|全部|*.*" becomes Qt's name filters,
// `filter_index` (1-based) picks one, then the folder, title, file name and extension.
std::unique_ptr<QFileDialog> BuildFileDialog(const CommonDialog& dialog);

// Opens `address` with the desktop's browser through `xdg-open`, whose exit status says
// whether one took it, else through Qt's own opener; a bare host name ("www.example.com") is
// opened as a web address. `failed` is called, from the event loop, when neither could.
void OpenUrlOnDesktop(const Text& address, std::function<void()> failed = {});

class QtDialogs : public Dialogs {
 public:
  int ShowMessage(const Text& text, int flags, const Text& caption) override;
  std::optional<Text> AskText(const Text& prompt, const Text& caption, const Text& initial_text,
                              int mode) override;
  bool ShowCommonDialog(CommonDialog& dialog) override;
  void OpenUrl(const Text& address) override;
};

}  // namespace lanzhou

#endif  // LANZHOU_UI_QT_QT_DIALOGS_H_
