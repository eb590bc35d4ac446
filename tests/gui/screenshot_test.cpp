// Renders the window as a user first sees it. With LANZHOU_SCREENSHOT=<file.png> the picture
// is also saved (docs/screenshot.png is made this way).
#include <QAbstractScrollArea>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/gui/window_fixture.h"

namespace lanzhou {
namespace {

using Screenshot = WindowTest;

TEST_F(Screenshot, RendersTheFirstPageAfterARealImport) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  // A GBK file dropped on the grid, imported with the delimiter the prompt is answered with.
  const std::string path = DirectoryPath() + "/accounts.txt";
  {
    std::ofstream out(path, std::ios::binary);
    for (const char* line :
         {"张三|zhangsan@example.com|13800000001|北京", "李四|lisi@example.com|13800000002|上海",
          "王五|wangwu@example.com|13800000003|广州"}) {
      out << FromUtf8(line).bytes() << "\r\n";
    }
  }
  dialogs_.QueueText(Text("|"));
  QWidget* grid = window_->UnitWidget(Unit::超级列表框1);
  auto* view = qobject_cast<QAbstractScrollArea*>(grid);
  ASSERT_TRUE(DropFiles(view ? view->viewport() : grid, {path}).first);
  ASSERT_EQ(window_->units().Grid(Unit::超级列表框1).ItemCount(), 3);
  QTest::qWait(50);
  const QImage image = window_->grab().toImage();
  EXPECT_EQ(image.size(), window_->size() * image.devicePixelRatio());
  // The banner is painted: its corner is not the window's background.
  EXPECT_NE(image.pixel(300, 20), image.pixel(300, 560));
  if (const QByteArray out = qgetenv("LANZHOU_SCREENSHOT"); !out.isEmpty()) {
    EXPECT_TRUE(image.save(QString::fromLocal8Bit(out)));
  }
}

}  // namespace
}  // namespace lanzhou
