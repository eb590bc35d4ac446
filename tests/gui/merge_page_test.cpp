// The merge page in the real window: files dropped on the grids, the real button, dialogs
// scripted, the output read back from a temporary run directory.
#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/main_window.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/temp_directory.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

using namespace std::string_literals;

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

class MergePageGui : public testing::Test {
 protected:
  MergePageGui() {
    window_ = std::make_unique<MainWindow>(MainWindow::Options{&dialogs_, &clock_, dir_.text()});
    window_->show();
    window_->tabs()->setCurrentIndex(1);
  }

  std::string WriteInput(const std::string& name, const std::string& bytes) {
    const auto path = dir_.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  // Drags the files over the grid's viewport and drops them there, as the desktop does.
  void Drop(Unit grid, const std::vector<std::string>& paths) {
    auto* view = static_cast<QTreeView*>(window_->UnitWidget(grid));
    QMimeData mime;
    QList<QUrl> urls;
    for (const std::string& path : paths)
      urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    mime.setUrls(urls);
    const QPoint point = view->viewport()->rect().center();
    QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
  }

  // What the grid's view shows: id and line of every row.
  std::vector<std::pair<QString, QString>> Shown(Unit grid) {
    QApplication::processEvents();
    QAbstractItemModel* model = static_cast<QTreeView*>(window_->UnitWidget(grid))->model();
    std::vector<std::pair<QString, QString>> rows;
    for (int r = 0; r < model->rowCount(); ++r) {
      rows.emplace_back(model->index(r, 0).data().toString(), model->index(r, 1).data().toString());
    }
    return rows;
  }

  void Press() {
    QTest::mouseClick(static_cast<QPushButton*>(window_->UnitWidget(Unit::按钮_处理)),
                      Qt::LeftButton);
  }
  QString Status() { return static_cast<QLabel*>(window_->UnitWidget(Unit::标签2))->text(); }

  // What a merge of `rows` lines says once they are in 合并数据.txt.
  ScriptedDialogs::Message Merged(int rows) const {
    return {FromUtf8("处理OK！\n已合并 " + std::to_string(rows) + " 行\n") + dir_.text() +
                FromUtf8("/合并数据.txt"),
            message_flags::kOpenFolder, FromUtf8("信息：")};
  }

  std::optional<std::string> Output() const {
    std::ifstream in(dir_.path() / "合并数据.txt", std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TempDirectory dir_;
  ScriptedDialogs dialogs_;
  FixedClock clock_{DateTime(42067.521354166667)};
  std::unique_ptr<MainWindow> window_;
};

using ShownRows = std::vector<std::pair<QString, QString>>;

TEST_F(MergePageGui, DroppedListsMergeThroughTheButton) {
  // A is UTF-8 with LF ends, B is GBK with CR LF ends and a line holding "|".
  Drop(Unit::超级列表框A, {WriteInput("a.txt", "张三@a.cn\nli@b.cn\n")});
  Drop(Unit::超级列表框b, {WriteInput("b.txt", FromUtf8("王五\r\nx|y\r\n").bytes())});
  EXPECT_EQ(Shown(Unit::超级列表框A), (ShownRows{{"1", Q("张三@a.cn")}, {"2", "li@b.cn"}}));
  EXPECT_EQ(Shown(Unit::超级列表框b), (ShownRows{{"1", Q("王五")}, {"2", "x|y"}}));
  Press();
  Press();
  const std::string lines = FromUtf8("张三@a.cn||王五|\r\nli@b.cn||x|y|\r\n").bytes();
  EXPECT_EQ(Output(), lines + lines);
  EXPECT_EQ(Status(), Q("处理OK！"));
  EXPECT_EQ(dialogs_.messages, std::vector(2, Merged(2)));
}

TEST_F(MergePageGui, DropOfSeveralFilesAsksOnceAndContinuesTheNumbers) {
  Drop(Unit::超级列表框A, {WriteInput("a.txt", "x1\r\nx2\r\n")});
  dialogs_.QueueMessageAnswer(message_result::kNo);
  Drop(Unit::超级列表框A, {WriteInput("c.txt", "c1\r\n"), WriteInput("d.txt", "d1\r\n"s)});
  EXPECT_EQ(Shown(Unit::超级列表框A),
            (ShownRows{{"1", "x1"}, {"2", "x2"}, {"3", "c1"}, {"4", "d1"}}));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, FromUtf8("是否删除已有的数据？"));
  EXPECT_EQ(dialogs_.messages[0].flags, 36);
}

TEST_F(MergePageGui, ListsFillThroughTheImportButtonsAndByPaste) {
  const std::string a = WriteInput("a.txt", "x1\r\nx2\r\n");
  dialogs_.QueueFile(FromUtf8(a.c_str()));
  QTest::mouseClick(static_cast<QPushButton*>(window_->UnitWidget(Unit::按钮_导入A)),
                    Qt::LeftButton);
  ASSERT_EQ(dialogs_.file_dialogs.size(), 1u);
  EXPECT_EQ(dialogs_.file_dialogs[0].kind, 0);
  EXPECT_EQ(dialogs_.file_dialogs[0].filter, FromUtf8("文本文件|*.txt|所有文件|*"));
  EXPECT_EQ(Shown(Unit::超级列表框A), (ShownRows{{"1", "x1"}, {"2", "x2"}}));
  // The second pick starts where the first was found, and B is filled, not A.
  dialogs_.QueueFile(FromUtf8(WriteInput("b.txt", "y1").c_str()));
  QTest::mouseClick(static_cast<QPushButton*>(window_->UnitWidget(Unit::按钮_导入b)),
                    Qt::LeftButton);
  ASSERT_EQ(dialogs_.file_dialogs.size(), 2u);
  EXPECT_EQ(dialogs_.file_dialogs[1].initial_folder, dir_.text());
  EXPECT_EQ(Shown(Unit::超级列表框b), (ShownRows{{"1", "y1"}}));
  // Ctrl+V on list B asks first, as a drop does, and keeps the rows on No.
  QApplication::clipboard()->setText(Q("粘贴1\n\n粘贴|2"));
  dialogs_.QueueMessageAnswer(message_result::kNo);
  QTest::keyClick(window_->UnitWidget(Unit::超级列表框b), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Shown(Unit::超级列表框b),
            (ShownRows{{"1", "y1"}, {"2", Q("粘贴1")}, {"3", ""}, {"4", Q("粘贴|2")}}));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, FromUtf8("是否删除已有的数据？"));
  // A cancelled pick changes nothing.
  dialogs_.QueueFile(std::nullopt);
  QTest::mouseClick(static_cast<QPushButton*>(window_->UnitWidget(Unit::按钮_导入A)),
                    Qt::LeftButton);
  EXPECT_EQ(Shown(Unit::超级列表框A), (ShownRows{{"1", "x1"}, {"2", "x2"}}));
  EXPECT_EQ(dialogs_.messages.size(), 1u);
}

// An image or a program dropped on a filled grid is refused as the text boxes refuse it,
// before the question: the list stays, and a drop that brings text too asks only for it.
TEST_F(MergePageGui, JunkDroppedOnAGridIsRefusedBeforeAnythingIsAsked) {
  const std::string png = WriteInput("a.png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s);
  const std::string elf = WriteInput("ls",
                                     "\x7f"
                                     "ELF\x02\x01\x01\0\0\0\0\0"s);
  for (const Unit grid : {Unit::超级列表框A, Unit::超级列表框b}) {
    dialogs_.messages.clear();
    Drop(grid, {WriteInput("list.txt", "x1\r\nx2\r\n")});
    Drop(grid, {png, elf});
    EXPECT_EQ(Shown(grid), (ShownRows{{"1", "x1"}, {"2", "x2"}}));
    const std::vector<ScriptedDialogs::Message> refused = {
        {FromUtf8("不是文本文件：" + png), message_flags::kIconError, FromUtf8("信息：")},
        {FromUtf8("不是文本文件：" + elf), message_flags::kIconError, FromUtf8("信息：")}};
    EXPECT_EQ(dialogs_.messages, refused);

    dialogs_.messages.clear();
    dialogs_.QueueMessageAnswer(message_result::kOk);  // the image refused
    dialogs_.QueueMessageAnswer(message_result::kYes);
    Drop(grid, {png, WriteInput("new.txt", "n1\r\n")});
    EXPECT_EQ(Shown(grid), (ShownRows{{"1", "n1"}}));
    const std::vector<ScriptedDialogs::Message> asked = {
        refused[0], {FromUtf8("是否删除已有的数据？"), 36, FromUtf8("信息：")}};
    EXPECT_EQ(dialogs_.messages, asked);
  }
}

TEST_F(MergePageGui, MismatchAnsweredNoLeavesNoTrace) {
  Drop(Unit::超级列表框A, {WriteInput("a.txt", "x1\r\nx2\r\n")});
  Drop(Unit::超级列表框b, {WriteInput("b.txt", "y1\r\n")});
  const QString before = Status();
  dialogs_.QueueMessageAnswer(message_result::kNo);
  Press();
  EXPECT_EQ(Output(), std::nullopt);
  EXPECT_EQ(Status(), before);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            FromUtf8("检测到您导入的A数据数量与B数据资料数量不一致，是否继续合并？"));
}

// An empty datum would append lines with nothing joined: it is refused instead.
TEST_F(MergePageGui, TickedBoxJoinsWithTheTypedDatum) {
  Drop(Unit::超级列表框A, {WriteInput("a.txt", "x1\r\nx2")});
  static_cast<QCheckBox*>(window_->UnitWidget(Unit::选择框1))->setChecked(true);
  static_cast<QLineEdit*>(window_->UnitWidget(Unit::编辑框1))->setText(Q("共用|数据"));
  Press();
  EXPECT_EQ(Output(), FromUtf8("x1||共用|数据\r\nx2||共用|数据\r\n").bytes());
  EXPECT_EQ(Status(), Q("处理OK！"));
  EXPECT_EQ(dialogs_.messages, std::vector{Merged(2)});

  std::filesystem::remove(dir_.path() / "合并数据.txt");
  dialogs_.messages.clear();
  static_cast<QLineEdit*>(window_->UnitWidget(Unit::编辑框1))->setText(QString());
  Press();
  EXPECT_EQ(Output(), std::nullopt);
  EXPECT_EQ(
      dialogs_.messages,
      (std::vector<ScriptedDialogs::Message>{{FromUtf8("共用数据为空，请先填写共用数据"),
                                              message_flags::kIconWarning, FromUtf8("信息：")}}));
}

TEST_F(MergePageGui, EmptyListAOrUnwritableFileIsNeverReportedDone) {
  Press();
  EXPECT_EQ(Status(), Q("请先导入资料！"));
  std::filesystem::create_directory(dir_.path() / "合并数据.txt");
  Drop(Unit::超级列表框A, {WriteInput("a.txt", "x1\r\n")});
  Drop(Unit::超级列表框b, {WriteInput("b.txt", "y1\r\n")});
  Press();
  EXPECT_EQ(Status(), Q("请先导入资料！"));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text,
            FromUtf8("保存失败：") + dir_.text() + FromUtf8("/合并数据.txt（同名的文件夹已存在）"));
  EXPECT_EQ(dialogs_.messages[0].flags, 16);
}

}  // namespace
}  // namespace lanzhou
