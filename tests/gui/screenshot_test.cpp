// Renders the window as a user sees it, each page filled as a user would fill it, at the
// template's size, the smallest, 1280 x 900 and 1920 x 1080, and Qt's file dialog under a
// Chinese locale. The pictures go to $LANZHOU_SCREENSHOTS, else to
// lanzhou-screenshots/ in the temporary folder; the output names each file.
// docs/screenshots/ is made with LANZHOU_SCREENSHOTS=docs/screenshots LANG=zh_CN.UTF-8.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/gui/window_fixture.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/qt/qt_translations.h"

namespace lanzhou {
namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Saves `image` as `name` in the screenshot folder and names the file in the test's output.
void SaveScreenshot(const QImage& image, const QString& name) {
  const QString folder = qEnvironmentVariable(
      "LANZHOU_SCREENSHOTS", QDir::temp().filePath(QStringLiteral("lanzhou-screenshots")));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString path = QDir(folder).absoluteFilePath(name);
  ASSERT_TRUE(image.save(path));
  std::printf("screenshot: %s\n", qPrintable(path));
  testing::Test::RecordProperty(name.toStdString(), path.toStdString());
}

class Screenshot : public WindowTest {
 protected:
  std::string Input(const char* name, std::initializer_list<const char*> lines) {
    const std::string path = DirectoryPath() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    for (const char* line : lines) out << FromUtf8(line).bytes() << "\r\n";
    return path;
  }
  QWidget* Viewport(Unit grid) {
    return qobject_cast<QAbstractScrollArea*>(window_->UnitWidget(grid))->viewport();
  }
  void Paste(Unit box, const char* utf8) { window_->units().SetEditText(box, FromUtf8(utf8)); }
  void Type(Unit field, const char* utf8) { Widget<QLineEdit>(field)->setText(Q(utf8)); }
  void Press(Unit button) { QTest::mouseClick(window_->UnitWidget(button), Qt::LeftButton); }
};

TEST_F(Screenshot, EveryPageAsAUserFillsIt) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  const std::function<void()> fill[] = {
      [&] {  // a GBK file dropped on the grid, imported with the delimiter asked for
        dialogs_.QueueText(Text("|"));
        DropFiles(Viewport(Unit::超级列表框1),
                  {Input("accounts.txt", {"张三|zhangsan@example.com|13800000001|北京",
                                          "李四|lisi@example.com|13800000002|上海",
                                          "王五|wangwu@example.com|13800000003|广州"})});
        EXPECT_EQ(window_->units().Grid(Unit::超级列表框1).ItemCount(), 3);
      },
      [&] {  // two lists dropped and merged
        DropFiles(Viewport(Unit::超级列表框A),
                  {Input("a.txt", {"zhangsan@example.com", "lisi@example.com"})});
        DropFiles(Viewport(Unit::超级列表框b), {Input("b.txt", {"张三", "李四"})});
        Press(Unit::按钮_处理);
      },
      [&] {
        Paste(Unit::编辑框2, "北京\r\n上海\r\n北京\r\n广州\r\n上海\r\n深圳");
        Press(Unit::按钮1);
      },
      [&] {
        Paste(Unit::被折行_编辑框,
              "岚舟资料处理专家把很长的一段文字按每行的字节数自动分行，不拆开汉字，"
              "也不让“开括号”留在行尾。Words stay whole.");
        Type(Unit::字数_编辑框, "30");
        Press(Unit::按钮2);
      },
      [&] {
        Paste(Unit::编辑框4, "ABC|QWE|ASD|RTY\r\n张三----男----北京\r\n李四|女|上海");
        Type(Unit::列1, "3|1");
        Press(Unit::按钮3);
      },
      [&] {
        Paste(Unit::清洗_编辑框,
              "　張三　　１３８００１３８０００ \r\n\r\n（Ｔｅｌ）電話\r\nZHANG@Example.COM");
        for (Unit box : {Unit::选择框_全角, Unit::选择框_首尾, Unit::选择框_空白, Unit::选择框_小写,
                         Unit::选择框_空行}) {
          Widget<QCheckBox>(box)->setChecked(true);
        }
        Widget<QRadioButton>(Unit::单选框_繁转简)->setChecked(true);
        Press(Unit::按钮_清洗);
      },
      [&] {  // phone numbers, addresses and QQ numbers pulled out of a chat
        Paste(Unit::编辑框_提取资料,
              "张三：我的手机 ＋８６ １３８-００１３-８０００，邮箱 zhangsan@example.com\r\n"
              "李四：QQ 88886666，订单号2013800138000123 明天发货\r\n"
              "王五：电话13912345678，网址 https://www.example.com/shop 。");
        for (Unit box : {Unit::选择框_手机号, Unit::选择框_邮箱, Unit::选择框_QQ号,
                         Unit::选择框_网址, Unit::选择框_结果去重}) {
          qobject_cast<QAbstractButton*>(window_->UnitWidget(box))->setChecked(true);
        }
        Paste(Unit::编辑框_关键词, "订单\r\n发货");
        Press(Unit::按钮_提取);
      },
  };
  // The template's size, then the smallest, 1280 x 900 and a window maximised on 1920 x 1080.
  const QSize initial = window_->size();
  const QSize sizes[] = {initial, window_->minimumSize(), QSize(1280, 900), QSize(1920, 1080)};
  for (int page = 0; page < static_cast<int>(std::size(fill)); ++page) {
    window_->tabs()->setCurrentIndex(page);
    fill[page]();
    for (const QSize& size : sizes) {
      ResizeClient(size.width(), size.height());
      QTest::qWait(50);
      const QImage image = window_->grab().toImage();
      EXPECT_EQ(image.size(), size * image.devicePixelRatio());
      // The banner is painted across the width: its middle and its sides are not the
      // window's background.
      const QRgb background = image.pixel(size.width() / 2, size.height() - 4);
      for (int x : {2, size.width() / 2, size.width() - 3}) {
        EXPECT_NE(image.pixel(x, 20), background) << x << " of " << size.width();
      }
      SaveScreenshot(
          image,
          size == initial
              ? QStringLiteral("page-%1.png").arg(page)
              : QStringLiteral("page-%1-%2x%3.png").arg(page).arg(size.width()).arg(size.height()));
    }
    ResizeClient(initial.width(), initial.height());
  }
}

// Run by its own CTest entry under LANG=zh_CN.UTF-8; skipped under other locales.
TEST(ChineseLocale, TheFileDialogSpeaksChinese) {
  if (QLocale::system().language() != QLocale::Chinese) GTEST_SKIP() << "not a Chinese locale";
  ASSERT_EQ(InstallQtTranslations(), QStringLiteral("zh_CN"));
  QTemporaryDir folder;
  ASSERT_TRUE(QFile(folder.filePath(Q("名单.txt"))).open(QIODevice::WriteOnly));
  CommonDialog unit;
  unit.filter = FromUtf8("文本文档|*.txt");
  unit.initial_folder = FromQString(folder.path());
  std::unique_ptr<QFileDialog> dialog = BuildFileDialog(unit);
  dialog->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  QTest::qWait(50);

  QStringList texts;
  for (const QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
  for (const QPushButton* button : dialog->findChildren<QPushButton*>()) texts << button->text();
  for (const char* expected : {"查找范围：", "文件名称(&N)：", "文件类型：", "打开(&O)", "取消"}) {
    EXPECT_TRUE(texts.contains(Q(expected))) << expected << " in " << qPrintable(texts.join('|'));
  }
  SaveScreenshot(dialog->grab().toImage(), QStringLiteral("file-dialog-zh_CN.png"));
  dialog->reject();
}

}  // namespace
}  // namespace lanzhou
