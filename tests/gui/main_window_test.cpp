#include "app/main_window.h"

#include "app/banner.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/unit_table.h"
#include "tests/gui/window_fixture.h"
#include "tests/support/utf8_text.h"
#include "ui/qt/drop_object.h"
#include "ui/qt/grid_view.h"

namespace lanzhou {
namespace {

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, StartsWithTheTemplatesTextsAndFirstPage) {
  Units& units = window_->units();
  EXPECT_EQ(window_->windowTitle(), QString::fromUtf8("岚舟资料处理专家（免费共享版 严禁出售）"));
  EXPECT_EQ(units.EditText(Unit::编辑框_列), Text("1,2,3,4,5,6,7,8"));
  EXPECT_EQ(units.EditText(Unit::字数_编辑框), Text("3"));
  EXPECT_EQ(units.EditText(Unit::列1), Text("1"));
  for (Unit edit : {Unit::编辑框1, Unit::编辑框2, Unit::编辑框3, Unit::被折行_编辑框,
                    Unit::替换后_编辑框, Unit::编辑框4}) {
    EXPECT_EQ(units.EditText(edit), Text()) << static_cast<int>(edit);
  }
  EXPECT_FALSE(units.IsTicked(Unit::选择框1));
  EXPECT_FALSE(units.IsTicked(Unit::选择框2));
  EXPECT_EQ(units.Caption(Unit::标签_行数), Text());
  EXPECT_EQ(units.Caption(Unit::标签1),
            U("此工具仅限用于：A资料与B资料合并使用 | 使用方法：分别导入资料A与B点击处理就可以了"));
  EXPECT_EQ(Widget<QLineEdit>(Unit::列1)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
  EXPECT_EQ(Widget<QLineEdit>(Unit::编辑框_列)->alignment() & Qt::AlignHCenter, 0);

  auto* tabs = Widget<QTabWidget>(Unit::选择夹1);
  const char* captions[] = {"排序操作", "数据合并操作", "数据去重处理", "折行处理",
                            "文本分割", "数据清洗",     "信息提取"};
  ASSERT_EQ(tabs->count(), static_cast<int>(std::size(captions)));
  for (int i = 0; i < tabs->count(); ++i) {
    EXPECT_EQ(tabs->tabText(i), QString::fromUtf8(captions[i]));
  }
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_FALSE(Widget<QWidget>(Unit::超级列表框1)->isHidden());
  EXPECT_TRUE(Widget<QWidget>(Unit::超级列表框A)->isHidden());
  EXPECT_TRUE(Widget<QWidget>(Unit::编辑框4)->isHidden());
  EXPECT_EQ(window_->UnitWidget(Unit::拖放对象1), nullptr);
}

TEST_F(MainWindowTest, GridsHaveTheTemplatesColumnsAndLook) {
  struct Case {
    Unit grid;
    std::vector<std::pair<const char*, int>> columns;
    bool whole_row;
  };
  const Case cases[] = {
      {Unit::超级列表框1, {}, true},
      {Unit::超级列表框A, {{"id", 40}, {"邮箱账号", 240}}, false},
      {Unit::超级列表框b, {{"id", 40}, {"姓名", 240}}, false},
  };
  for (const Case& c : cases) {
    GridData& grid = window_->units().Grid(c.grid);
    auto* view = Widget<GridView>(c.grid);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(grid.ColumnCount(), static_cast<int>(c.columns.size()));
    ASSERT_EQ(view->header()->count(), grid.ColumnCount());
    for (size_t i = 0; i < c.columns.size(); ++i) {
      EXPECT_EQ(grid.columns()[i].caption, U(c.columns[i].first));
      EXPECT_EQ(view->header()->sectionSize(static_cast<int>(i)), c.columns[i].second);
    }
    EXPECT_FALSE(view->header()->isHidden());
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(view->selectionBehavior() == QAbstractItemView::SelectRows, c.whole_row);
    EXPECT_EQ(view->style_options().grid_lines, c.whole_row);
    EXPECT_FALSE(view->isSortingEnabled());
  }
  // A column that does not exist reads empty.
  EXPECT_EQ(window_->units().Grid(Unit::超级列表框A).GetCellText(0, 2), Text());
}

TEST_F(MainWindowTest, UnitsSitWhereTheTemplatePutsThem) {
  // Page units are placed from the tab control's corner (-1, 72), in window coordinates.
  const std::pair<Unit, QRect> cases[] = {
      {Unit::图片框1, QRect(-1, 0, 608, 72)},
      {Unit::透明标签1, QRect(1, 8, 608, 64)},  // in the picture box
      {Unit::选择夹1, QRect(-1, 72, 608, 464)},
      {Unit::超级链接框2, QRect(255, 543, 174, 16)},
      {Unit::超级链接框3, QRect(421, 542, 184, 20)},
      {Unit::按钮_导入, QRect(15, 113, 80, 25)},
      {Unit::标签_行数, QRect(447, 114, 146, 24)},  // widened for nine digits
      {Unit::超级列表框1, QRect(7, 142, 592, 380)},
      {Unit::超级列表框A, QRect(5, 170, 291, 244)},
      {Unit::超级列表框b, QRect(310, 170, 285, 244)},
      {Unit::编辑框2, QRect(8, 123, 584, 208)},
      {Unit::字数_编辑框, QRect(118, 490, 56, 28)},
      {Unit::按钮3, QRect(424, 479, 104, 32)},
      {Unit::选择框_忽略繁简, QRect(344, 499, 60, 32)},
      {Unit::按钮_清洗, QRect(484, 484, 111, 32)},
  };
  for (const auto& [unit, bounds] : cases) {
    EXPECT_EQ(Bounds(unit), bounds) << DefinitionOf(unit).name;
  }
  EXPECT_EQ(window_->size(), QSize(606, 566));
  // Every unit fits in the client area, bar the template's one-pixel overhang at the sides.
  for (const UnitDefinition& definition : UnitDefinitions()) {
    QWidget* widget = window_->UnitWidget(definition.unit);
    if (widget == nullptr || widget->parentWidget() != window_.get()) continue;
    EXPECT_LE(widget->geometry().bottom(), 566) << definition.name;
    EXPECT_LE(widget->geometry().right(), 607) << definition.name;
  }
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(MainWindowTest, PageUnitsShowOnlyWithTheirPage) {
  auto* tabs = Widget<QTabWidget>(Unit::选择夹1);
  for (int page = 0; page < tabs->count(); ++page) {
    tabs->setCurrentIndex(page);
    for (const UnitDefinition& definition : UnitDefinitions()) {
      QWidget* widget = window_->UnitWidget(definition.unit);
      if (widget == nullptr || definition.page == kNoPage) continue;
      EXPECT_EQ(widget->isHidden(), definition.page != page) << definition.name << " " << page;
      // Children of the window itself, so anchoring moves them in its client coordinates.
      EXPECT_EQ(widget->parentWidget(), window_.get());
    }
    // What a page shows does not overlap, bar the template's few pixels between neighbours: a
    // unit given the wrong page lies over another's.
    for (const UnitDefinition& a : UnitDefinitions()) {
      for (const UnitDefinition& b : UnitDefinitions()) {
        if (a.page != page || b.page != page || b.unit <= a.unit) continue;
        QWidget* wa = window_->UnitWidget(a.unit);
        QWidget* wb = window_->UnitWidget(b.unit);
        if (wa == nullptr || wb == nullptr) continue;
        const QRect both = wa->geometry() & wb->geometry();
        EXPECT_FALSE(both.width() > 12 && both.height() > 12) << a.name << " and " << b.name;
      }
    }
  }
}

TEST_F(MainWindowTest, GrowingStretchesTheAnchoredControlsAndReturningRestoresThem) {
  std::map<Unit, QRect> before;
  for (const UnitDefinition& definition : UnitDefinitions()) {
    if (QWidget* widget = window_->UnitWidget(definition.unit)) {
      before[definition.unit] = widget->geometry();
    }
  }
  ResizeClient(706, 616);
  // The tab control, the reorder grid and its row-count label as the window always had them.
  EXPECT_EQ(Bounds(Unit::选择夹1), before[Unit::选择夹1].adjusted(0, 0, 100, 50));
  EXPECT_EQ(Bounds(Unit::超级列表框1), before[Unit::超级列表框1].adjusted(0, 0, 100, 50));
  EXPECT_EQ(Bounds(Unit::标签_行数), before[Unit::标签_行数].adjusted(0, 0, 100, 0));
  // Through other sizes and back: every bound as it was, no drift.
  for (QSize size : {QSize(900, 700), QSize(300, 200), QSize(640, 580), QSize(606, 566)}) {
    ResizeClient(size.width(), size.height());
  }
  for (const auto& [unit, bounds] : before) {
    EXPECT_EQ(Bounds(unit), bounds) << DefinitionOf(unit).name;
  }
}

TEST_F(MainWindowTest, EveryPageUsesTheSpaceAtEverySize) {
  window_->show();
  std::map<Unit, QRect> template_bounds;
  for (const UnitDefinition& definition : UnitDefinitions()) {
    QWidget* widget = window_->UnitWidget(definition.unit);
    if (widget != nullptr && widget->parentWidget() == window_.get()) {
      template_bounds[definition.unit] = widget->geometry();
    }
  }
  const QSize initial = window_->size();
  for (QSize size : {QSize(606, 562), QSize(1280, 900), QSize(1920, 1080)}) {
    ResizeClient(size.width(), size.height());
    QApplication::processEvents();
    const int dw = size.width() - initial.width();
    const int dh = size.height() - initial.height();
    const QRect client(-1, 0, size.width() + 2, size.height());  // the template's overhang
    const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
    for (const auto& [unit, was] : template_bounds) {
      const QRect now = Bounds(unit);
      const UnitDefinition& definition = DefinitionOf(unit);
      EXPECT_TRUE(client.contains(now)) << definition.name << " at " << at;
      // Units that sit apart in the template sit apart at every size.
      for (const auto& [other, other_was] : template_bounds) {
        const int other_page = DefinitionOf(other).page;
        if (other <= unit || (definition.page != kNoPage && other_page != kNoPage &&
                              other_page != definition.page)) {
          continue;
        }
        if (unit == Unit::选择夹1 || other == Unit::选择夹1) continue;  // the pages lie on it
        EXPECT_FALSE(now.intersects(Bounds(other)) && !was.intersects(other_was))
            << definition.name << " and " << DefinitionOf(other).name << " at " << at;
      }
      switch (definition.kind) {
        case UnitKind::kMultiLineEdit:
        case UnitKind::kReportList:  // text boxes and grids take the room
          EXPECT_TRUE(now.width() - was.width() == dw || now.height() - was.height() == dh)
              << definition.name << " at " << at;
          EXPECT_TRUE(now.width() >= was.width() + std::min(dw, 0) &&
                      now.height() >= was.height() + std::min(dh, 0))
              << definition.name << " at " << at;
          break;
        case UnitKind::kButton:
        case UnitKind::kCheckBox:
        case UnitKind::kLineEdit:
          EXPECT_EQ(now.size(), was.size()) << definition.name << " at " << at;
          break;
        default:
          break;
      }
    }
    // An input box and its result box, and lists A and B, each take half of what the window
    // gained; boxes one above the other line up.
    const struct {
      Unit first, second;
      bool side_by_side;
    } shares[] = {
        {Unit::编辑框2, Unit::编辑框3, false},
        {Unit::被折行_编辑框, Unit::替换后_编辑框, false},
        {Unit::清洗_编辑框, Unit::清洗后_编辑框, false},
        {Unit::编辑框_提取资料, Unit::编辑框_提取结果, false},
        {Unit::超级列表框A, Unit::超级列表框b, true},
    };
    for (const auto& share : shares) {
      const QRect a = Bounds(share.first);
      const QRect b = Bounds(share.second);
      const QRect a_was = template_bounds[share.first];
      const QRect b_was = template_bounds[share.second];
      const int d = share.side_by_side ? dw : dh;
      const int a_grew =
          share.side_by_side ? a.width() - a_was.width() : a.height() - a_was.height();
      const int b_grew =
          share.side_by_side ? b.width() - b_was.width() : b.height() - b_was.height();
      const std::string names = std::string(DefinitionOf(share.first).name) + " and " +
                                DefinitionOf(share.second).name + " at " + at;
      EXPECT_EQ(a_grew + b_grew, d) << names;
      EXPECT_LE(std::abs(a_grew - b_grew), 1) << names;
      if (!share.side_by_side) {
        EXPECT_EQ(a.left(), b.left()) << names;
        EXPECT_EQ(a.right(), b.right()) << names;
      }
    }
    // Nothing of a page lies on the tab bar.
    const QTabBar* bar = Widget<QTabWidget>(Unit::选择夹1)->tabBar();
    const QRect bar_bounds(-1, bar->mapTo(window_.get(), QPoint(0, 0)).y(), size.width() + 2,
                           bar->height());
    for (const auto& [unit, was] : template_bounds) {
      if (DefinitionOf(unit).page == kNoPage) continue;
      EXPECT_FALSE(Bounds(unit).intersects(bar_bounds))
          << DefinitionOf(unit).name << " at " << at << ", tab bar " << bar_bounds.bottom();
    }
    // The banner spans the width, all of it pressable; the links stay at the bottom.
    EXPECT_EQ(Bounds(Unit::图片框1).width(), size.width() + 2) << at;
    EXPECT_EQ(Bounds(Unit::透明标签1).right(), Bounds(Unit::图片框1).width()) << at;
    for (Unit link : {Unit::超级链接框2, Unit::超级链接框3}) {
      EXPECT_EQ(Bounds(link).bottom() - size.height(),
                template_bounds[link].bottom() - initial.height())
          << at;
    }
  }
}

TEST_F(MainWindowTest, ShrinkingStopsWhereEveryUnitStillFits) {
  // The links end at 562; the template's own width is needed by the page units and links.
  EXPECT_EQ(window_->minimumSize(), QSize(606, 562));
  for (QSize asked : {QSize(400, 300), QSize(200, 150), QSize(606, 500), QSize(700, 562)}) {
    ResizeClient(asked.width(), asked.height());
    const QSize client = window_->size();
    EXPECT_EQ(client, asked.expandedTo(QSize(606, 562)));
    // The banner and the tab control reach a pixel past both sides, as in the template.
    const QRect visible(-1, 0, client.width() + 2, client.height());
    for (const UnitDefinition& definition : UnitDefinitions()) {
      QWidget* widget = window_->UnitWidget(definition.unit);
      if (widget == nullptr || widget->parentWidget() != window_.get()) continue;
      EXPECT_TRUE(visible.contains(widget->geometry()))
          << definition.name << " at " << client.width() << "x" << client.height();
    }
    EXPECT_GE(Bounds(Unit::选择夹1).height(), 172);
    EXPECT_EQ(Bounds(Unit::超级列表框1).topLeft(), QPoint(7, 142));
  }
}

TEST_F(MainWindowTest, EveryBoxScrollsOnlyWhenItsTextIsLonger) {
  std::string many;
  for (int i = 0; i < 150000; ++i) many += std::to_string(i) + "\r\n";
  struct Case {
    Unit box;
    int page;
    int lines;
    bool scroll_bar;
  } cases[] = {
      {Unit::编辑框3, 2, 150000, true},         {Unit::编辑框3, 2, 3, false},
      {Unit::替换后_编辑框, 3, 150000, true},   {Unit::替换后_编辑框, 3, 3, false},
      {Unit::编辑框2, 2, 150000, true},         {Unit::被折行_编辑框, 3, 150000, true},
      {Unit::编辑框4, 4, 150000, true},         {Unit::编辑框4, 4, 3, false},
      {Unit::清洗后_编辑框, 5, 150000, true},   {Unit::清洗_编辑框, 5, 150000, true},
      {Unit::编辑框_提取资料, 6, 150000, true}, {Unit::编辑框_提取结果, 6, 150000, true},
      {Unit::编辑框_关键词, 6, 150000, true},   {Unit::编辑框_关键词, 6, 3, false},
  };
  window_->show();
  for (const Case& c : cases) {
    window_->tabs()->setCurrentIndex(c.page);
    window_->units().SetEditText(c.box, Text(c.lines == 3 ? "1\r\n2\r\n3" : many));
    QApplication::processEvents();
    EXPECT_EQ(Widget<QPlainTextEdit>(c.box)->verticalScrollBar()->isVisible(), c.scroll_bar)
        << DefinitionOf(c.box).name << " " << c.lines;
  }
}

TEST_F(MainWindowTest, CloseAnsweredNoKeepsEverythingAndYesCloses) {
  window_->show();
  Units& units = window_->units();
  units.SetEditText(Unit::编辑框2, U("甲\r\n乙"));
  GridData& grid = units.Grid(Unit::超级列表框A);
  grid.InsertItem(-1, Text("1"));
  grid.SetCellText(0, 1, Text("a@b.c"));

  dialogs_.QueueMessageAnswer(message_result::kNo);
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(units.EditText(Unit::编辑框2), U("甲\r\n乙"));
  EXPECT_EQ(grid.GetCellText(0, 1), Text("a@b.c"));
  EXPECT_EQ(units.EditText(Unit::编辑框_列), Text("1,2,3,4,5,6,7,8"));

  dialogs_.QueueMessageAnswer(message_result::kCancel);
  EXPECT_FALSE(window_->close());

  dialogs_.QueueMessageAnswer(message_result::kYes);
  EXPECT_TRUE(window_->close());
  EXPECT_FALSE(window_->isVisible());

  const ScriptedDialogs::Message question{U("是否关闭程序?"), 36, U("询问:")};
  EXPECT_EQ(dialogs_.messages,
            (std::vector<ScriptedDialogs::Message>{question, question, question}));
}

class DropTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    for (Unit drop : {Unit::拖放对象1, Unit::拖放对象A, Unit::拖放对象b}) {
      window_->DropObjectOf(drop)->SetFilesDroppedHandler(
          [this, drop](const Text& paths) { received_.emplace_back(drop, paths); });
    }
  }
  QWidget* Viewport(Unit grid) { return Widget<QTreeView>(grid)->viewport(); }

  std::vector<std::pair<Unit, Text>> received_;
};

TEST_F(DropTest, FilesDroppedOnAGridReachOnlyItsDropObject) {
  const std::string a = DirectoryPath() + "/名单A.txt";
  const std::string b = DirectoryPath() + "/b.txt";
  auto [accepted, action] = DropFiles(Viewport(Unit::超级列表框A), {a});
  EXPECT_TRUE(accepted);
  EXPECT_EQ(action, Qt::CopyAction);
  DropFiles(Viewport(Unit::超级列表框A), {a, b});
  DropFiles(Viewport(Unit::超级列表框b), {b});
  DropFiles(Viewport(Unit::超级列表框1), {a});
  const std::vector<std::pair<Unit, Text>> expected = {
      {Unit::拖放对象A, FromUtf8(a)},
      {Unit::拖放对象A, FromUtf8(a + "\r\n" + b + "\r\n")},
      {Unit::拖放对象b, FromUtf8(b)},
      {Unit::拖放对象1, FromUtf8(a)},
  };
  EXPECT_EQ(received_, expected);
}

TEST_F(DropTest, DragsCarryingAnythingButLocalFilesAreRefused) {
  QMimeData text;
  text.setText(QStringLiteral("/tmp/a.txt"));
  QMimeData web;
  web.setUrls({QUrl(QStringLiteral("http://www.example.com/a.txt"))});
  QMimeData mixed;
  mixed.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")),
                 QUrl(QStringLiteral("http://www.example.com/b.txt"))});
  for (QMimeData* data : {&text, &web, &mixed}) {
    EXPECT_FALSE(DropMime(Viewport(Unit::超级列表框A), data).first);
  }
  EXPECT_TRUE(received_.empty());
}

TEST_F(DropTest, ADropObjectServesOneWindowOnly) {
  EXPECT_FALSE(
      window_->RegisterDropWindow(Unit::拖放对象A, window_->UnitHandle(Unit::超级列表框b)));
  DropFiles(Viewport(Unit::超级列表框b), {"/tmp/x.txt"});
  DropFiles(Viewport(Unit::超级列表框A), {"/tmp/y.txt"});
  const std::vector<std::pair<Unit, Text>> expected = {{Unit::拖放对象b, Text("/tmp/x.txt")},
                                                       {Unit::拖放对象A, Text("/tmp/y.txt")}};
  EXPECT_EQ(received_, expected);
}

TEST_F(MainWindowTest, BannerPressOpensTheSecondSiteBelowItsTopStripOnly) {
  QWidget* banner = window_->UnitWidget(Unit::图片框1);
  auto press = [&](QPoint at) {
    QWidget* target = banner->childAt(at);
    if (target == nullptr) target = banner;
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(banner, at));
  };
  press(QPoint(100, 4));
  EXPECT_TRUE(dialogs_.opened_urls.empty());
  press(QPoint(100, 30));
  QTest::mousePress(window_->UnitWidget(Unit::透明标签1), Qt::RightButton);
  EXPECT_EQ(dialogs_.opened_urls, std::vector<Text>{Text("http://www.example.net")});
}

TEST_F(MainWindowTest, HyperlinksOpenTheirTargets) {
  for (Unit link : {Unit::超级链接框2, Unit::超级链接框3}) {
    auto* label = Widget<QLabel>(link);
    const QString text = label->text();
    const qsizetype start = text.indexOf(QLatin1String("href=\"")) + 6;
    emit label->linkActivated(text.mid(start, text.indexOf(QLatin1Char('"'), start) - start));
  }
  EXPECT_EQ(
      dialogs_.opened_urls,
      (std::vector<Text>{Text("www.example.com"), Text("http://www.example.net/Goods/sj/sid/8")}));
  EXPECT_TRUE(
      Widget<QLabel>(Unit::超级链接框2)->text().contains(QString::fromUtf8("岚舟寄售平台")));
  EXPECT_TRUE(
      Widget<QLabel>(Unit::超级链接框3)->text().contains(QString::fromUtf8("栖叶资源下载网站")));
}

TEST_F(MainWindowTest, EditBoxesHandOutCrLfAndKeepEveryCharacter) {
  Units& units = window_->units();
  // "😀" is outside GBK: a four-byte GB18030 sequence that must survive the widget.
  const Text text = U("第一行\r\n😀 second\r\n\r\nlast");
  units.SetEditText(Unit::编辑框4, text);
  EXPECT_EQ(Widget<QPlainTextEdit>(Unit::编辑框4)->toPlainText(),
            QString::fromUtf8("第一行\n😀 second\n\nlast"));
  EXPECT_EQ(units.EditText(Unit::编辑框4), text);
  Widget<QPlainTextEdit>(Unit::编辑框3)->setPlainText(QStringLiteral("x\ny\n"));
  EXPECT_EQ(units.EditText(Unit::编辑框3), Text("x\r\ny\r\n"));
  units.SetEditText(Unit::编辑框1, U("单行 😀"));
  EXPECT_EQ(Widget<QLineEdit>(Unit::编辑框1)->text(), QString::fromUtf8("单行 😀"));
  const Text long_line(std::string(100000, 'x'));
  units.SetEditText(Unit::编辑框1, long_line);
  EXPECT_EQ(units.EditText(Unit::编辑框1), long_line);
  units.SetCaption(Unit::标签2, U("处理OK！"));
  EXPECT_EQ(Widget<QLabel>(Unit::标签2)->text(), QString::fromUtf8("处理OK！"));
  Widget<QCheckBox>(Unit::选择框2)->setChecked(true);
  EXPECT_TRUE(units.IsTicked(Unit::选择框2));
}

TEST_F(MainWindowTest, OneWindowAtATimeIsLockedAgainstRedrawing) {
  Units& units = window_->units();
  EXPECT_TRUE(units.LockRedraw(Unit::超级列表框1));
  EXPECT_FALSE(window_->UnitWidget(Unit::超级列表框1)->updatesEnabled());
  EXPECT_FALSE(units.LockRedraw(Unit::超级列表框A));
  units.UnlockRedraw(Unit::超级列表框A);  // lifts the lock, whoever holds it
  EXPECT_TRUE(window_->UnitWidget(Unit::超级列表框1)->updatesEnabled());
  EXPECT_TRUE(units.LockRedraw(Unit::超级列表框A));
  units.UnlockRedraw(Unit::超级列表框A);
}

TEST_F(MainWindowTest, GridChangesReachTheViewWhenAHandlerReturns) {
  GridData& grid = window_->units().Grid(Unit::超级列表框1);
  auto* view = Widget<GridView>(Unit::超级列表框1);
  window_->RunHandler([&] {
    grid.InsertColumn(-1, U("列"), 60);
    for (int i = 0; i < 3; ++i) grid.InsertItem(-1, Text(std::to_string(i)));
  });
  ASSERT_EQ(view->model()->rowCount(), 3);
  EXPECT_EQ(view->model()->index(2, 0).data().toString(), QStringLiteral("2"));
  EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("列"));
}

TEST_F(MainWindowTest, ButtonsRunTheirHandlers) {
  // The clear button empties the reorder grid, whatever its page handler does beyond that.
  GridData& grid = window_->units().Grid(Unit::超级列表框1);
  grid.InsertColumn(-1, Text("a"));
  grid.InsertItem(-1, Text("x"));
  QTest::mouseClick(window_->UnitWidget(Unit::按钮_清空), Qt::LeftButton);
  EXPECT_EQ(grid.ItemCount(), 0);
}

TEST_F(MainWindowTest, KeysDoWhatUsersExpect) {
  window_->show();
  auto* tabs = Widget<QTabWidget>(Unit::选择夹1);
  // Enter in a page's number box starts the page's work.
  const struct {
    int page;
    Unit box, button;
  } enters[] = {{0, Unit::编辑框_列, Unit::按钮_导出},
                {3, Unit::字数_编辑框, Unit::按钮2},
                {4, Unit::列1, Unit::按钮3}};
  for (const auto& e : enters) {
    tabs->setCurrentIndex(e.page);
    QSignalSpy clicked(Widget<QAbstractButton>(e.button), &QAbstractButton::clicked);
    QTest::keyClick(window_->UnitWidget(e.box), Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1) << DefinitionOf(e.box).name;
  }
  // Tab leaves a result box; an input box takes it as text. The messages of the work above
  // may have taken the focus from the window.
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  const struct {
    int page;
    Unit box;
    bool leaves;
  } tabs_in[] = {{2, Unit::编辑框3, true},
                 {3, Unit::替换后_编辑框, true},
                 {5, Unit::清洗后_编辑框, true},
                 {6, Unit::编辑框_提取结果, true},
                 {2, Unit::编辑框2, false}};
  for (const auto& t : tabs_in) {
    tabs->setCurrentIndex(t.page);
    auto* box = Widget<QPlainTextEdit>(t.box);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(box->toPlainText(), t.leaves ? QString() : QStringLiteral("\t"))
        << DefinitionOf(t.box).name;
    EXPECT_EQ(box->hasFocus(), !t.leaves) << DefinitionOf(t.box).name;
  }
  // Ctrl+Y redoes what Ctrl+Z undid, in text boxes and in single-line boxes.
  tabs->setCurrentIndex(6);
  for (Unit unit : {Unit::编辑框_提取资料, Unit::编辑框_自定义}) {
    QWidget* box = window_->UnitWidget(unit);
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("ab"));
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(window_->units().EditText(unit), Text("ab")) << DefinitionOf(unit).name;
  }
}

// An installed program, run by root or by a user, and a build tree that cannot be written send
// every saving page's result to the user's folder, made on first use, and the message names
// that folder. Looking for a file to import makes no folder.
struct RunFrom {
  const char* name;
  bool installed;  // usr/bin beside usr/share/applications/<the menu entry>, else build/
  bool as_root;    // root may write anywhere; a user may not write a read-only directory
};

class SaveFolderTest : public WindowTest, public testing::WithParamInterface<RunFrom> {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    run_ = DirectoryPath() + (GetParam().installed ? "/usr/bin" : "/build");
    user_ = DirectoryPath() + "/home/文档/岚舟资料处理专家";
    std::filesystem::create_directories(run_);
    if (GetParam().installed) {
      const std::string share = DirectoryPath() + "/usr/share/applications";
      std::filesystem::create_directories(share);
      std::ofstream(share + "/" + kDesktopEntryId + ".desktop") << "[Desktop Entry]\n";
    }
    if (!GetParam().as_root) {
      std::filesystem::permissions(
          run_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    folders_ = std::make_unique<RunOrUserFolder>(FromUtf8(run_), FromUtf8(user_),
                                                 GetParam().as_root ? AsRoot : AsForAUser);
    MainWindow::Options options{&dialogs_, &clock_, FromUtf8(run_), folders_.get()};
    window_ = std::make_unique<MainWindow>(options);
    window_->show();
  }
  // The directory check as root and as a user other than root meet it (the tests may run as
  // either).
  static bool AsRoot(const Text& directory) {
    return std::filesystem::is_directory(ToUtf8(directory));
  }
  static bool AsForAUser(const Text& directory) {
    struct stat st;
    return ::stat(ToUtf8(directory).c_str(), &st) == 0 && (st.st_mode & S_IWUSR) != 0;
  }
  std::string Input(const char* name, const char* utf8) {
    const std::string path = DirectoryPath() + "/" + name;
    std::ofstream(path, std::ios::binary) << FromUtf8(utf8).bytes();
    return path;
  }
  void Press(int page, Unit button) {
    window_->tabs()->setCurrentIndex(page);
    QTest::mouseClick(window_->UnitWidget(button), Qt::LeftButton);
  }
  std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string run_, user_;
  std::unique_ptr<RunOrUserFolder> folders_;
};

INSTANTIATE_TEST_SUITE_P(RunFrom, SaveFolderTest,
                         testing::Values(RunFrom{"InstalledRunByRoot", true, true},
                                         RunFrom{"InstalledRunByAUser", true, false},
                                         RunFrom{"ReadOnlyBuildTree", false, false}),
                         [](const testing::TestParamInfo<RunFrom>& info) {
                           return std::string(info.param.name);
                         });

TEST_P(SaveFolderTest, EverySaveLandsInTheUserFolderAndSaysSo) {
  Units& units = window_->units();
  dialogs_.QueueText(Text("|"));
  Press(0, Unit::按钮_导入);  // the file dialog is cancelled
  ASSERT_EQ(dialogs_.file_dialogs.size(), 1u);
  EXPECT_EQ(dialogs_.file_dialogs[0].initial_folder, Text());  // the home folder
  EXPECT_FALSE(std::filesystem::exists(user_));

  units.SetEditText(Unit::编辑框4, U("甲|乙"));
  units.SetEditText(Unit::列1, Text("2"));
  Press(4, Unit::按钮3);
  units.SetEditText(Unit::被折行_编辑框, U("折行"));
  Press(3, Unit::按钮2);
  dialogs_.QueueText(Text("|"));
  window_->tabs()->setCurrentIndex(0);
  DropFiles(Widget<QTreeView>(Unit::超级列表框1)->viewport(), {Input("r.txt", "x|y")});
  dialogs_.QueueText(Text("|"));
  Press(0, Unit::按钮_导出);
  window_->tabs()->setCurrentIndex(1);
  DropFiles(Widget<QTreeView>(Unit::超级列表框A)->viewport(), {Input("a.txt", "a")});
  DropFiles(Widget<QTreeView>(Unit::超级列表框b)->viewport(), {Input("b.txt", "b")});
  Press(1, Unit::按钮_处理);

  EXPECT_TRUE(Names(run_).empty());
  const std::vector<std::string> saved = {"分割后_2015年3月4日12时30分45秒.txt", "合并数据.txt",
                                          "处理后_2015年3月4日12时30分45秒.txt",
                                          "折行后_2015年3月4日12时30分45秒.txt"};
  EXPECT_EQ(Names(user_), saved);  // sorted by their bytes
  std::vector<ScriptedDialogs::Message> said;
  for (const auto& [counts, name] : {std::pair{"已保存 1 行\n", saved[0]},
                                     {"已保存 2 行\n", saved[3]},
                                     {"已保存 1 行\n", saved[2]},
                                     {"已合并 1 行\n", saved[1]}}) {
    said.push_back({U("处理完毕，已保存在 " + user_ + "\n" + counts + user_ + "/" + name),
                    message_flags::kOpenFolder, U("信息：")});
  }
  EXPECT_EQ(dialogs_.messages, said);
  EXPECT_EQ(units.Caption(Unit::标签2), U("处理OK！"));
}

}  // namespace
}  // namespace lanzhou

namespace lanzhou {
namespace {

TEST(Banner, FourteenFramesOf590By70RepeatWithoutEnd) {
  std::vector<QImage> frames;
  for (int i = 0; i < Banner::kFrameCount; ++i) {
    frames.push_back(Banner::Frame(i));
    EXPECT_EQ(frames.back().size(), QSize(590, 70));
    if (i > 0) {
      EXPECT_NE(frames[i], frames[i - 1]) << i;  // every frame moves
    }
  }
  EXPECT_EQ(Banner::kFrameCount, 14);
  EXPECT_EQ(Banner::kFrameMilliseconds, 200);
  EXPECT_EQ(Banner::Frame(Banner::kFrameCount), frames[0]);
  Banner banner;
  for (int i = 0; i < Banner::kFrameCount; ++i) banner.Advance();
  EXPECT_EQ(banner.current_frame(), 0);
}

}  // namespace
}  // namespace lanzhou
