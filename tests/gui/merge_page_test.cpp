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
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(MergePageGui, DropOfSeveralFilesAsksOnceAndContinuesTheNumbers) {
  Drop(Unit::超级列表框A, {WriteInput("a.txt", "x1\r\nx2\r\n")});
  dialogs_.QueueMessageAnswer(message_result::kNo);
  Drop(Unit::超级列表框A,
       {WriteInput("c.txt", "c1\r\n"), WriteInput("d.txt", "d1\0ignored\r\nd2"s)});
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

TEST_F(MergePageGui, TickedBoxJoinsWithTheTypedDatum) {
  struct Case {
    const char* datum;
    std::string output;
  };
  const Case cases[] = {{"共用|数据", FromUtf8("x1||共用|数据\r\nx2||共用|数据\r\n").bytes()},
                        {"", "x1||\r\nx2||\r\n"}};
  Drop(Unit::超级列表框A, {WriteInput("a.txt", "x1\r\nx2")});
  static_cast<QCheckBox*>(window_->UnitWidget(Unit::选择框1))->setChecked(true);
  for (const Case& c : cases) {
    std::filesystem::remove(dir_.path() / "合并数据.txt");
    static_cast<QLineEdit*>(window_->UnitWidget(Unit::编辑框1))->setText(Q(c.datum));
    Press();
    EXPECT_EQ(Output(), c.output) << c.datum;
    EXPECT_EQ(Status(), Q("处理OK！"));
  }
  EXPECT_TRUE(dialogs_.messages.empty());
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
            FromUtf8("保存失败：") + dir_.text() + FromUtf8("/合并数据.txt"));
  EXPECT_EQ(dialogs_.messages[0].flags, 16);
}

}  // namespace
}  // namespace lanzhou
