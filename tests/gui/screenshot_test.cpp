// Renders the window as a user first sees it. With LANZHOU_SCREENSHOT=<file.png> the picture
// is also saved (docs/screenshot.png is made this way).
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/gui/window_fixture.h"

namespace lanzhou {
namespace {

using Screenshot = WindowTest;

TEST_F(Screenshot, RendersEveryUnitOfTheFirstPage) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  GridData& grid = window_->units().Grid(Unit::超级列表框1);
  const char* rows[][3] = {{"1", "张三", "zhangsan@example.com"},
                           {"2", "李四", "lisi@example.com"},
                           {"3", "王五", "wangwu@example.com"}};
  window_->RunHandler([&] {
    for (const char* caption : {"列1", "列2", "列3"}) grid.InsertColumn(-1, FromUtf8(caption));
    for (const auto& row : rows) {
      const int r = grid.InsertItem(-1, FromUtf8(row[0]));
      grid.SetCellText(r, 1, FromUtf8(row[1]));
      grid.SetCellText(r, 2, FromUtf8(row[2]));
    }
  });
  window_->units().AutoFitColumns(Unit::超级列表框1);
  window_->units().SetCaption(Unit::标签_行数, FromUtf8("共3行"));
  QTest::qWait(50);
  const QImage image = window_->grab().toImage();
  EXPECT_EQ(image.size(), window_->size() * image.devicePixelRatio());
  // The banner is painted: its corner is not the window's background.
  EXPECT_NE(image.pixel(300, 20), image.pixel(300, 560));
  if (const QByteArray path = qgetenv("LANZHOU_SCREENSHOT"); !path.isEmpty()) {
    EXPECT_TRUE(image.save(QString::fromLocal8Bit(path)));
  }
}

}  // namespace
}  // namespace lanzhou
