#include "ui/qt/qt_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

#include "tests/support/utf8_text.h"
#include "text/encoding.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {
namespace {

// Runs `act` on the modal dialog of type D as soon as it is shown.
template <typename D>
void WhenShown(std::function<void(D*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(dialog);
  });
}

TEST(MessageBox, FlagsPickButtonsIconAndDefault) {
  using B = QMessageBox;
  struct Case {
    int flags;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton default_button;
  };
  const Case cases[] = {
      {0x0, B::Ok, B::NoIcon, B::Ok},
      {0x1 | 0x30, B::Ok | B::Cancel, B::Warning, B::Ok},
      {0x2 | 0x10 | 0x100, B::Abort | B::Retry | B::Ignore, B::Critical, B::Retry},
      {0x3 | 0x40 | 0x200, B::Yes | B::No | B::Cancel, B::Information, B::Cancel},
      {0x24, B::Yes | B::No, B::Question, B::Yes},
      {0x24 | 0x100 | 0x1000, B::Yes | B::No, B::Question, B::No},
      {0x5, B::Retry | B::Cancel, B::NoIcon, B::Retry},
      {0x4 | 0x300, B::Yes | B::No, B::NoIcon, B::No},  // past the last button: the last
      {0xF, B::Ok, B::NoIcon, B::Ok},                   // unknown set: OK
  };
  for (const Case& c : cases) {
    auto box = BuildMessageBox(U("内容"), c.flags, U("信息："));
    EXPECT_EQ(box->standardButtons(), c.buttons) << c.flags;
    EXPECT_EQ(box->icon(), c.icon) << c.flags;
    EXPECT_EQ(box->standardButton(box->defaultButton()), c.default_button) << c.flags;
    EXPECT_EQ(box->text(), QString::fromUtf8("内容"));
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8("信息："));
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(bool(box->windowFlags() & Qt::WindowStaysOnTopHint), bool(c.flags & 0x1000));
  }
}

TEST(MessageBox, ButtonsAnswerZeroToSix) {
  const std::pair<QMessageBox::StandardButton, int> answers[] = {
      {QMessageBox::Ok, 0},    {QMessageBox::Cancel, 1}, {QMessageBox::Abort, 2},
      {QMessageBox::Retry, 3}, {QMessageBox::Ignore, 4}, {QMessageBox::Yes, 5},
      {QMessageBox::No, 6},
  };
  const int flags_with[] = {0x1, 0x1, 0x2, 0x2, 0x2, 0x3, 0x3};
  for (size_t i = 0; i < std::size(answers); ++i) {
    auto box = BuildMessageBox(Text("x"), flags_with[i], Text());
    box->button(answers[i].first)->click();
    EXPECT_EQ(MessageBoxResult(*box), answers[i].second) << i;
  }
  // 打开文件夹 comes after the set's buttons and answers 7; OK still answers 0.
  for (const int set : {0x0, 0x1}) {
    auto box = BuildMessageBox(Text("x"), set | message_flags::kOpenFolder, Text());
    const QList<QAbstractButton*> buttons = box->buttons();
    ASSERT_EQ(buttons.size(), set == 0 ? 2 : 3) << set;
    QAbstractButton* open = box->findChild<QAbstractButton*>(QStringLiteral("openFolder"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->text(), QString::fromUtf8("打开文件夹"));
    open->click();
    EXPECT_EQ(MessageBoxResult(*box), message_result::kOpenFolder) << set;
    auto other = BuildMessageBox(Text("x"), set | message_flags::kOpenFolder, Text());
    other->button(QMessageBox::Ok)->click();
    EXPECT_EQ(MessageBoxResult(*other), message_result::kOk) << set;
  }
  // Closed without a button: Cancel where there is one, else No, else OK.
  EXPECT_EQ(MessageBoxResult(*BuildMessageBox(Text("x"), 0x3, Text())), 1);
  EXPECT_EQ(MessageBoxResult(*BuildMessageBox(Text("x"), 0x4, Text())), 6);
  EXPECT_EQ(MessageBoxResult(*BuildMessageBox(Text("x"), 0x0, Text())), 0);
}

TEST(MessageBox, ShownBoxMapsYesAndNo) {
  QtDialogs dialogs;
  for (auto [answer, result] : {std::pair{QMessageBox::Yes, 5}, {QMessageBox::No, 6}}) {
    // Clang 14 cannot capture a structured binding (C++20 allows it): capture a copy.
    WhenShown<QMessageBox>([button = answer](QMessageBox* box) {
      EXPECT_TRUE(box->isModal());
      box->button(button)->click();
    });
    EXPECT_EQ(dialogs.ShowMessage(U("是否关闭程序?"), 36, U("询问:")), result);
  }
}

TEST(InputBox, ModesFilterTypedPastedAndComposedText) {
  struct Case {
    int mode;
    const char* entered;
    const char* typed;  // the field after typing `entered` key by key
    const char* whole;  // after pasting it, or committing it from an input method
  };
  const Case cases[] = {
      {1, "a1-.b", "a1-.b", "a1-.b"}, {2, "a1-.b2", "1-2", ""}, {3, "a1-.b2", "1-.2", ""},
      {2, "-12", "-12", "-12"},       {3, "1.5", "1.5", "1.5"}, {4, "pw1", "pw1", "pw1"},
      {0, "a1", "a1", "a1"},          {9, "a1", "a1", "a1"},  // clamped to 1 and 4
  };
  const std::function<void(QLineEdit*, const QString&)> ways[] = {
      [](QLineEdit* field, const QString& text) {
        QApplication::clipboard()->setText(text);
        field->paste();
      },
      [](QLineEdit* field, const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(field, &event);
      },
  };
  for (const Case& c : cases) {
    const QString entered = QString::fromUtf8(c.entered);
    InputDialog dialog(Text(), Text(), Text(), c.mode);
    QTest::keyClicks(dialog.field(), entered);
    EXPECT_EQ(dialog.field()->text(), QString::fromUtf8(c.typed)) << c.mode;
    EXPECT_EQ(dialog.field()->echoMode() == QLineEdit::Password, c.mode >= 4) << c.mode;
    for (const auto& enter : ways) {
      dialog.field()->clear();
      enter(dialog.field(), entered);
      EXPECT_EQ(dialog.field()->text(), QString::fromUtf8(c.whole)) << c.mode << " " << c.entered;
    }
  }
  // Control keys always pass; an initial text keeps only what the mode accepts.
  InputDialog digits(Text(), Text(), Text("1a2"), 2);
  EXPECT_EQ(digits.field()->text(), QStringLiteral("12"));
  digits.field()->setCursorPosition(2);
  QTest::keyClick(digits.field(), Qt::Key_Backspace);
  EXPECT_EQ(digits.field()->text(), QStringLiteral("1"));
}

TEST(InputBox, LayoutTitleAndInitialSelection) {
  InputDialog plain(Text(), Text(), Text("|"), 1);
  EXPECT_EQ(plain.windowTitle(), QString::fromUtf8("请输入："));
  EXPECT_EQ(plain.prompt_label(), nullptr);
  EXPECT_EQ(plain.field()->selectedText(), QStringLiteral("|"));
  EXPECT_EQ(plain.ok_button()->text(), QString::fromUtf8("确认输入(&O)"));
  EXPECT_EQ(plain.cancel_button()->text(), QString::fromUtf8("取消(&C)"));
  EXPECT_TRUE(plain.ok_button()->isDefault());

  InputDialog asked(U("请输入导入的分隔符!"), U("标题"), U("甲乙"), 1);
  EXPECT_EQ(asked.windowTitle(), QString::fromUtf8("标题"));
  ASSERT_NE(asked.prompt_label(), nullptr);
  EXPECT_EQ(asked.prompt_label()->text(), QString::fromUtf8("请输入导入的分隔符!"));
  EXPECT_NE(asked.prompt_label()->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(asked.field()->selectedText(), QString::fromUtf8("甲乙"));
}

TEST(InputBox, OkStoresByKindAndCancelLeavesTheVariable) {
  QtDialogs dialogs;
  std::int32_t number = 7;
  WhenShown<InputDialog>([](InputDialog* d) {
    QTest::keyClicks(d->field(), QStringLiteral("x"));  // ignored in mode 2
    d->cancel_button()->click();
  });
  EXPECT_FALSE(InputBox(dialogs, Text(), Text(), Text("12"), &number, 2));
  EXPECT_EQ(number, 7);

  WhenShown<InputDialog>([](InputDialog* d) {
    QTest::keyClicks(d->field(), QStringLiteral("-4x2"));  // replaces the selected text
    d->ok_button()->click();
  });
  EXPECT_TRUE(InputBox(dialogs, Text(), Text(), Text("12"), &number, 2));
  EXPECT_EQ(number, -42);

  Text delimiter("old");
  WhenShown<InputDialog>([](InputDialog* d) {
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("请输入："));
    d->field()->insert(QString::fromUtf8("、"));  // replaces the selected "|"
    QTest::keyClick(d->field(), Qt::Key_Return);  // OK is the default button
  });
  EXPECT_TRUE(InputBox(dialogs, U("请输入导入的分隔符!"), Text(), Text("|"), &delimiter, 1));
  EXPECT_EQ(delimiter, U("、"));
}

TEST(FileDialog, BuiltFromTheUnitsProperties) {
  CommonDialog unit;
  unit.kind = 1;
  unit.filter = U("文本文档|*.txt|全部文件|*.txt;*.csv");
  unit.filter_index = 2;
  unit.title = U("保存结果");
  unit.default_extension = Text(".txt");
  auto dialog = BuildFileDialog(unit);
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog->nameFilters(), (QStringList{QString::fromUtf8("文本文档 (*.txt)"),
                                                QString::fromUtf8("全部文件 (*.txt *.csv)")}));
  EXPECT_EQ(dialog->selectedNameFilter(), QString::fromUtf8("全部文件 (*.txt *.csv)"));
  EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("保存结果"));
  EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));

  unit = CommonDialog{};
  unit.filter = U("文本文档|*.txt||");
  dialog = BuildFileDialog(unit);
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(dialog->nameFilters(), QStringList{QString::fromUtf8("文本文档 (*.txt)")});
}

TEST(FileDialog, ConfirmedChoiceIsKeptForTheNextCall) {
  QTemporaryDir directory;
  const QString path = directory.filePath(QString::fromUtf8("资料.txt"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();

  QtDialogs dialogs;
  CommonDialog unit;
  unit.filter = U("文本文档|*.txt");
  unit.initial_folder = FromQString(directory.path());
  WhenShown<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->directory().absolutePath(), QDir(directory.path()).absolutePath());
    d->selectFile(path);
    QMetaObject::invokeMethod(d, "accept");
  });
  ASSERT_TRUE(dialogs.ShowCommonDialog(unit));
  EXPECT_EQ(unit.file_name, FromQString(path));

  WhenShown<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->selectedFiles().value(0), path);
    d->reject();
  });
  EXPECT_FALSE(dialogs.ShowCommonDialog(unit));
  EXPECT_EQ(unit.file_name, FromQString(path));
}

TEST(OpenUrlOnDesktop, SaysWhenNoBrowserTookTheAddress) {
  // xdg-open as a desktop without a browser (exit 3) and with one (exit 0) answers, and none.
  const struct {
    const char* name;
    const char* xdg_open;  // nullptr: none on the PATH
    bool failed;
  } cases[] = {{"no browser", "#!/bin/sh\nexit 3\n", true},
               {"a browser", "#!/bin/sh\nexit 0\n", false},
               {"no xdg-open", nullptr, true}};
  const QByteArray path = qgetenv("PATH");
  for (const auto& c : cases) {
    QTemporaryDir bin;
    if (c.xdg_open != nullptr) {
      QFile script(bin.filePath(QStringLiteral("xdg-open")));
      ASSERT_TRUE(script.open(QIODevice::WriteOnly));
      script.write(c.xdg_open);
      script.close();
      script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    qputenv("PATH", bin.path().toLocal8Bit());
    bool failed = false;
    OpenUrlOnDesktop(Text("www.example.com"), [&] { failed = true; });
    // The answer comes from the event loop; a started xdg-open is waited for.
    static_cast<void>(QTest::qWaitFor([&] { return failed; }, 3000));
    qputenv("PATH", path);
    EXPECT_EQ(failed, c.failed) << c.name;
  }
}

}  // namespace
}  // namespace lanzhou
