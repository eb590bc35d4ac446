#include "ui/qt/qt_dialogs.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <limits>
#include <vector>

#include "text/encoding.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {
namespace {

QString Utf8(const char* text) { return QString::fromUtf8(text); }

struct ButtonInfo {
  QMessageBox::StandardButton button;
  int result;
  const char* caption;
};

constexpr ButtonInfo kButtons[] = {
    {QMessageBox::Ok, message_result::kOk, "确定"},
    {QMessageBox::Cancel, message_result::kCancel, "取消"},
    {QMessageBox::Abort, message_result::kAbort, "中止(&A)"},
    {QMessageBox::Retry, message_result::kRetry, "重试(&R)"},
    {QMessageBox::Ignore, message_result::kIgnore, "忽略(&I)"},
    {QMessageBox::Yes, message_result::kYes, "是(&Y)"},
    {QMessageBox::No, message_result::kNo, "否(&N)"},
};

const ButtonInfo* InfoOf(QMessageBox::StandardButton button) {
  for (const ButtonInfo& info : kButtons) {
    if (info.button == button) return &info;
  }
  return nullptr;
}

std::vector<QMessageBox::StandardButton> ButtonSet(int flags) {
  switch (flags & 0xF) {
    case message_flags::kOkCancel:
      return {QMessageBox::Ok, QMessageBox::Cancel};
    case message_flags::kAbortRetryIgnore:
      return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case message_flags::kYesNoCancel:
      return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case message_flags::kYesNo:
      return {QMessageBox::Yes, QMessageBox::No};
    case message_flags::kRetryCancel:
      return {QMessageBox::Retry, QMessageBox::Cancel};
    default:
      return {QMessageBox::Ok};
  }
}

QMessageBox::Icon IconOf(int flags) {
  switch (flags & 0xF0) {
    case message_flags::kIconError:
      return QMessageBox::Critical;
    case message_flags::kIconQuestion:
      return QMessageBox::Question;
    case message_flags::kIconWarning:
      return QMessageBox::Warning;
    case message_flags::kIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// Takes a text only when every printable character in it is one a mode allows (control
// characters always pass). The field checks every change with it, typed, pasted or from an
// input method alike, and keeps its text when a change is refused.
class CharacterValidator : public QValidator {
 public:
  CharacterValidator(QString allowed, QObject* parent) : QValidator(parent), allowed_(allowed) {}

  State validate(QString& input, int& /*pos*/) const override {
    return std::any_of(input.begin(), input.end(), [this](QChar c) { return Refuses(c); })
               ? Invalid
               : Acceptable;
  }
  // Removes what the mode refuses.
  void fixup(QString& input) const override {
    input.removeIf([this](QChar c) { return Refuses(c); });
  }

 private:
  bool Refuses(QChar c) const { return c.isPrint() && !allowed_.contains(c); }

  QString allowed_;
};

}  // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(const Text& text, int flags, const Text& caption) {
  auto box = std::make_unique<QMessageBox>();
  box->setWindowTitle(ToQString(caption));
  box->setText(ToQString(text));
  box->setTextFormat(Qt::PlainText);
  box->setIcon(IconOf(flags));
  box->setWindowModality(Qt::ApplicationModal);
  // Qt has no system-wide modality; a system-modal box at least stays above other windows.
  if (flags & message_flags::kSystemModal) {
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
  const std::vector<QMessageBox::StandardButton> buttons = ButtonSet(flags);
  for (QMessageBox::StandardButton button : buttons) {
    QPushButton* added = box->addButton(button);
    added->setText(Utf8(InfoOf(button)->caption));
  }
  if (flags & message_flags::kOpenFolder) {
    box->addButton(Utf8("打开文件夹"), QMessageBox::ActionRole)
        ->setObjectName(QStringLiteral("openFolder"));
  }
  const size_t default_index = std::min<size_t>((flags >> 8) & 0xF, buttons.size() - 1);
  box->setDefaultButton(buttons[default_index]);
  for (QMessageBox::StandardButton escape :
       {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok}) {
    if (std::find(buttons.begin(), buttons.end(), escape) != buttons.end()) {
      box->setEscapeButton(escape);
      break;
    }
  }
  return box;
}

int MessageBoxResult(const QMessageBox& box) {
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == nullptr) clicked = box.escapeButton();
  if (clicked != nullptr && clicked->objectName() == QStringLiteral("openFolder")) {
    return message_result::kOpenFolder;
  }
  if (clicked != nullptr) {
    if (const ButtonInfo* info = InfoOf(box.standardButton(clicked))) return info->result;
  }
  return message_result::kCancel;
}

InputDialog::InputDialog(const Text& prompt, const Text& caption, const Text& initial_text,
                         int mode, QWidget* parent)
    : QDialog(parent) {
  mode = std::clamp(mode, 1, 4);
  setWindowTitle(caption.empty() ? Utf8("请输入：") : ToQString(caption));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  if (!prompt.empty()) {
    prompt_ = new QLabel(ToQString(prompt), this);
    prompt_->setFrameStyle(QFrame::Box | QFrame::Plain);
    prompt_->setWordWrap(true);
    prompt_->setMargin(6);
    layout->addWidget(prompt_);
  }
  field_ = new QLineEdit(this);
  field_->setMaxLength(std::numeric_limits<int>::max());
  QString text = ToQString(initial_text);
  if (mode == 2 || mode == 3) {
    auto* validator = new CharacterValidator(
        mode == 2 ? QStringLiteral("-0123456789") : QStringLiteral("-.0123456789"), this);
    // The field refuses changes only from a text the mode accepts, so it starts with one.
    validator->fixup(text);
    field_->setValidator(validator);
  }
  field_->setText(text);
  field_->selectAll();
  if (mode == 4) field_->setEchoMode(QLineEdit::Password);
  layout->addWidget(field_);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  ok_ = new QPushButton(Utf8("确认输入(&O)"), this);
  cancel_ = new QPushButton(Utf8("取消(&C)"), this);
  ok_->setDefault(true);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  setMinimumWidth(320);
  field_->setFocus();
}

Text InputDialog::EnteredText() const { return FromQString(field_->text()); }

std::unique_ptr<QFileDialog> BuildFileDialog(const CommonDialog& unit) {
  auto dialog = std::make_unique<QFileDialog>();
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  const bool save = unit.kind == 1;
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);

  QStringList filters;
  const QStringList parts = ToQString(unit.filter).split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;  // the closing "||"
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.simplified());
  }
  if (!filters.isEmpty()) {
    dialog->setNameFilters(filters);
    if (unit.filter_index >= 1 && unit.filter_index <= filters.size()) {
      dialog->selectNameFilter(filters[unit.filter_index - 1]);
    }
  }
  dialog->setDirectory(unit.initial_folder.empty() ? QDir::homePath()
                                                   : ToQString(unit.initial_folder));
  dialog->setWindowTitle(unit.title.empty() ? Utf8(save ? "另存为" : "打开")
                                            : ToQString(unit.title));
  if (!unit.file_name.empty()) dialog->selectFile(ToQString(unit.file_name));
  QString suffix = ToQString(unit.default_extension);
  while (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
  if (!suffix.isEmpty()) dialog->setDefaultSuffix(suffix);
  return dialog;
}

void OpenUrlOnDesktop(const Text& address, std::function<void()> failed) {
  const QUrl url = QUrl::fromUserInput(ToQString(address));
  if (!failed) failed = [] {};
  if (!url.isValid()) {
    failed();
    return;
  }
  // Qt's opener only tells whether it could start xdg-open, not whether a browser came up.
  auto* process = new QProcess;
  QObject::connect(process, &QProcess::finished, process,
                   [process, failed](int code, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || code != 0) failed();
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, failed, url](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     if (!QDesktopServices::openUrl(url)) failed();
                     process->deleteLater();
                   });
  process->start(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

int QtDialogs::ShowMessage(const Text& text, int flags, const Text& caption) {
  std::unique_ptr<QMessageBox> box = BuildMessageBox(text, flags, caption);
  box->exec();
  return MessageBoxResult(*box);
}

std::optional<Text> QtDialogs::AskText(const Text& prompt, const Text& caption,
                                       const Text& initial_text, int mode) {
  InputDialog dialog(prompt, caption, initial_text, mode);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.EnteredText();
}

bool QtDialogs::ShowCommonDialog(CommonDialog& unit) {
  if (unit.kind != 0 && unit.kind != 1) return false;
  std::unique_ptr<QFileDialog> dialog = BuildFileDialog(unit);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
  unit.file_name = FromQString(dialog->selectedFiles().first());
  return true;
}

void QtDialogs::OpenUrl(const Text& address) {
  OpenUrlOnDesktop(address, [address] {
    QtDialogs().ShowMessage(FromUtf8("无法打开网址（没有找到可以打开它的浏览器）：") + address,
                            message_flags::kIconWarning, FromUtf8("信息："));
  });
}

}  // namespace lanzhou
