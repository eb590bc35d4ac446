// The reorder page in the real window: its buttons clicked, files dropped on its grid, the
// dialogs scripted, real files in a temporary directory.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/long_work_runner.h"
#include "pages/reorder.h"
#include "tests/gui/window_fixture.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

class ReorderPageWindow : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ImportDelimiter() = Text();
    window_->show();
  }
  void TearDown() override { ImportDelimiter() = Text(); }

  std::string Path(const std::string& name) { return DirectoryPath() + "/" + name; }
  std::string Write(const std::string& name, std::string_view bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }
  std::string Read(const std::string& name) {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  void Click(Unit button) {
    QTest::mouseClick(window_->UnitWidget(button), Qt::LeftButton);
    QApplication::processEvents();
  }
  // Files dropped from the desktop land on the grid's viewport.
  void Drop(const std::vector<std::string>& paths) {
    EXPECT_TRUE(DropFiles(View()->viewport(), paths).first);
    QApplication::processEvents();
  }

  // Presses `button` and, once its work shows 取消, cancels it by that button or by Esc.
  // The work starts only then, so it is under way however fast it would be. Returns how
  // often a 5 ms timer fired meanwhile.
  int PressAndCancel(Unit button, bool by_escape) {
    LongWorkRunner& runner = window_->long_work();
    runner.set_show_after_ms(0);
    std::atomic<bool> cancelled{false};
    runner.set_thread_starter([&cancelled](std::function<void()> body) {
      return std::thread([&cancelled, body = std::move(body)] {
        while (!cancelled) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        body();
      });
    });
    bool clicked = false;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      ++ticks;
      if (clicked || !runner.cancel_button()->isVisible()) return;
      clicked = true;
      if (by_escape) {
        QTest::keyClick(window_.get(), Qt::Key_Escape);
      } else {
        QTest::mouseClick(runner.cancel_button(), Qt::LeftButton);
      }
      cancelled = true;
    });
    timer.start(5);
    Click(button);
    runner.set_thread_starter({});
    EXPECT_TRUE(clicked) << "the work was over before it could be cancelled";
    EXPECT_FALSE(runner.busy());
    EXPECT_FALSE(runner.cancel_button()->isVisible());
    EXPECT_TRUE(window_->UnitWidget(button)->isEnabled());
    return ticks;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(DirectoryPath())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::string ManyLines() {
    std::string lines;
    for (int i = 0; i < 10'000; ++i) lines += "r" + std::to_string(i) + "|x\n";
    return lines;
  }

  QTreeView* View() { return Widget<QTreeView>(Unit::超级列表框1); }
  QLineEdit* Order() { return Widget<QLineEdit>(Unit::编辑框_列); }
  QString RowCountLabel() { return Widget<QLabel>(Unit::标签_行数)->text(); }
  // What the view shows: header captions, then each row's cells joined by "/".
  QStringList Shown() {
    QAbstractItemModel* model = View()->model();
    QStringList shown;
    QStringList header;
    for (int c = 0; c < model->columnCount(); ++c) {
      header << model->headerData(c, Qt::Horizontal).toString();
    }
    shown << header.join("/");
    for (int r = 0; r < model->rowCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < model->columnCount(); ++c) cells << model->index(r, c).data().toString();
      shown << cells.join("/");
    }
    return shown;
  }
};

TEST_F(ReorderPageWindow, ImportButtonFillsTheGridSizesItsColumnsAndRewritesTheOrder) {
  dialogs_.QueueText(Text("|"));
  dialogs_.QueueFile(
      Text(Write("in.txt", FromUtf8("短|一个相当长的字段内容|c\r\nd|e\r\n").bytes())));
  Order()->clear();
  QTest::keyClicks(Order(), "2,1");
  Click(Unit::按钮_导入);

  EXPECT_EQ(Shown(), (QStringList{"1/2/3", Q("短/一个相当长的字段内容/c"), "d/e/"}));
  EXPECT_EQ(RowCountLabel(), Q("当前列表共: 2 行"));
  EXPECT_EQ(Order()->text(), "1,2,3");
  QHeaderView* header = View()->header();
  EXPECT_GT(header->sectionSize(1), header->sectionSize(0));
  EXPECT_GT(header->sectionSize(1), 50);
}

TEST_F(ReorderPageWindow, DroppedFilesAreImportedInOrderAndTheOrderIsKept) {
  const std::string one = Write("one.txt", "a,b\n");
  const std::string two = Write("two.txt", "c,d,e\n");
  Order()->setText("3");
  dialogs_.QueueText(Text(","));
  Drop({one, two});

  EXPECT_EQ(dialogs_.questions.size(), 1u);
  EXPECT_EQ(Shown(), (QStringList{"1/2/3", "a/b/", "c/d/e"}));
  EXPECT_EQ(RowCountLabel(), Q("当前列表共: 2 行"));
  EXPECT_EQ(Order()->text(), "3");

  Drop({Path("missing.txt")});  // the prompt cancelled: "," stays
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(ToUtf8(dialogs_.messages[0].text), "无法打开文件：" + Path("missing.txt"));
  EXPECT_EQ(dialogs_.messages[0].flags, 16);
}

// An image dropped or imported adds no row: it is refused as the text boxes refuse it.
TEST_F(ReorderPageWindow, JunkDroppedOrImportedAddsNoRow) {
  const std::string png = Write("a.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  dialogs_.QueueText(Text("|"));
  Drop({Write("in.txt", "a|b\n")});
  dialogs_.QueueText(Text("|"));
  Drop({png});
  dialogs_.QueueText(Text("|"));
  dialogs_.QueueFile(Text(png));
  Click(Unit::按钮_导入);
  EXPECT_EQ(Shown(), (QStringList{"1/2", "a/b"}));
  EXPECT_EQ(RowCountLabel(), Q("当前列表共: 1 行"));
  const ScriptedDialogs::Message refused{FromUtf8("不是文本文件：" + png),
                                         message_flags::kIconError, FromUtf8("信息：")};
  EXPECT_EQ(dialogs_.messages, (std::vector<ScriptedDialogs::Message>{refused, refused}));
}

TEST_F(ReorderPageWindow, ExportWritesTheTypedOrderAndClearEmptiesTheGrid) {
  dialogs_.QueueText(Text("|"));
  Drop({Write("in.txt", "a|b|c\r\nd|e|f\r\n")});
  Order()->setText(Q("3，1"));  // a full-width comma, as a Chinese input method types it
  dialogs_.QueueText(Text("|"));
  Click(Unit::按钮_导出);

  EXPECT_EQ(Read("处理后_2015年3月4日12时30分45秒.txt"), "c|a\r\nf|d\r\n");
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(ToUtf8(dialogs_.messages[0].text),
            "导出数据成功！！！\n已保存 2 行\n" + Path("处理后_2015年3月4日12时30分45秒.txt"));

  Click(Unit::按钮_清空);
  EXPECT_EQ(Shown(), QStringList{""});
  EXPECT_EQ(View()->header()->count(), 0);
  EXPECT_EQ(RowCountLabel(), "");
  EXPECT_EQ(Order()->text(), Q("3，1"));
  Click(Unit::按钮_导出);  // an empty grid: nothing is asked
  EXPECT_EQ(dialogs_.questions.size(), 2u);
}

TEST_F(ReorderPageWindow, RowCountHasRoomForNineDigits) {
  auto* label = Widget<QLabel>(Unit::标签_行数);
  EXPECT_LE(label->fontMetrics().horizontalAdvance(Q("当前列表共: 123456789 行")),
            label->contentsRect().width());
}

// The window goes on with its events while a file loads, and the user's cancel leaves the
// grid, its count and the order as they were, and no file anywhere.
TEST_F(ReorderPageWindow, CancelledImportLeavesTheGridAsItWas) {
  const std::string path = Write("long.txt", ManyLines());
  dialogs_.QueueText(Text("|"));
  Drop({Write("in.txt", "a|b\n")});
  for (const bool by_escape : {false, true}) {
    SCOPED_TRACE(by_escape);
    dialogs_.QueueText(Text("|"));
    dialogs_.QueueFile(Text(path));
    EXPECT_GT(PressAndCancel(Unit::按钮_导入, by_escape), 0);
    EXPECT_EQ(Shown(), (QStringList{"1/2", "a/b"}));
    EXPECT_EQ(RowCountLabel(), Q("当前列表共: 1 行"));
    EXPECT_EQ(Order()->text(), "1,2,3,4,5,6,7,8");
    EXPECT_EQ(Names(), (std::vector<std::string>{"in.txt", "long.txt"}));
    EXPECT_TRUE(dialogs_.messages.empty());
  }
}

TEST_F(ReorderPageWindow, CancelledExportLeavesNoFileAndSaysSo) {
  LoadDelimitedBytes(ManyLines(), Text("|"), window_->units().Grid(Unit::超级列表框1));
  for (const bool by_escape : {false, true}) {
    dialogs_.messages.clear();
    dialogs_.QueueText(Text("|"));
    PressAndCancel(Unit::按钮_导出, by_escape);
    EXPECT_TRUE(Names().empty());
    EXPECT_EQ(dialogs_.messages,
              (std::vector<ScriptedDialogs::Message>{
                  {FromUtf8("已取消"), message_flags::kIconInformation, FromUtf8("信息：")}}));
  }
}

TEST_F(ReorderPageWindow, AnOrderThatNamesNoColumnIsRefusedBeforeAnythingIsAsked) {
  dialogs_.QueueText(Text("|"));
  Drop({Write("in.txt", "a|b|c\r\n")});
  const std::pair<const char*, const char*> cases[] = {
      {"abc", "请输入要排序的列号，如 3,1"},    {"", "请输入要排序的列号，如 3,1"},
      {"0,-2", "请输入要排序的列号，如 3,1"},   {"5", "请输入1到3之间的列号"},
      {"9，0,4", "请输入要排序的列号，如 3,1"}, {"3,a", "请输入要排序的列号，如 3,1"},
      {"1.5", "请输入要排序的列号，如 3,1"},    {" 、 ", "请输入要排序的列号，如 3,1"},
      {"9、4", "请输入1到3之间的列号"},
  };
  for (const auto& [order, said] : cases) {
    dialogs_.messages.clear();
    Order()->setText(Q(order));
    Click(Unit::按钮_导出);
    ASSERT_EQ(dialogs_.messages.size(), 1u) << order;
    EXPECT_EQ(dialogs_.messages[0].text, FromUtf8(said)) << order;
    EXPECT_EQ(dialogs_.messages[0].flags, message_flags::kIconWarning);
  }
  EXPECT_EQ(dialogs_.questions.size(), 1u);  // only the import's
  EXPECT_EQ(Read("处理后_2015年3月4日12时30分45秒.txt"), "");

  // The enumeration comma an input method types separates as "," does.
  Order()->setText(Q("3、1"));
  dialogs_.QueueText(Text("|"));
  Click(Unit::按钮_导出);
  EXPECT_EQ(Read("处理后_2015年3月4日12时30分45秒.txt"), "c|a\r\n");
}

}  // namespace
}  // namespace lanzhou
