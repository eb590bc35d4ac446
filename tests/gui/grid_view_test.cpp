#include "ui/qt/grid_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <functional>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/utf8_text.h"
#include "text/encoding.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {
namespace {

class GridViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid_.InsertColumn(-1, Text("id"), 40);
    grid_.InsertColumn(-1, U("邮箱账号"), 240);
    view_ = std::make_unique<GridView>(&grid_, GridView::Style{});
  }
  QAbstractItemModel& model() { return *view_->model(); }

  GridData grid_;
  std::unique_ptr<GridView> view_;
};

TEST_F(GridViewTest, ALargeCellShowsItsBeginningAndKeepsAllItsData) {
  const std::string zhong = U("中").bytes();
  const std::string emoji = "\x94\x39\xFC\x36";  // a four-byte sequence
  std::string many_zhong;
  for (int i = 0; i < 5000; ++i) many_zhong += zhong;
  const struct {
    const char* name;
    std::string cell;
    std::string shown;  // without the mark of a cut
  } cases[] = {
      {"short", "abc", "abc"},
      {"exactly the limit", std::string(4096, 'a'), std::string(4096, 'a')},
      {"one more", std::string(4097, 'a'), std::string(4096, 'a')},
      {"two-byte characters", many_zhong, many_zhong.substr(0, 8192)},
      {"four-byte character at the end", std::string(4095, 'a') + emoji + "bc",
       std::string(4095, 'a') + emoji},
      {"lone lead byte", std::string(4095, 'a') + "\xD6", std::string(4095, 'a') + "\xD6"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShownCell(c.cell), c.shown) << c.name;
    const int row = grid_.InsertItem(-1, Text("1"));
    grid_.SetCellText(row, 1, Text(c.cell));
    QApplication::processEvents();
    QString shown = ToQString(Text(c.shown));
    if (c.shown.size() < c.cell.size()) shown += QChar(0x2026);
    EXPECT_EQ(model().index(row, 1).data().toString(), shown) << c.name;
    EXPECT_EQ(grid_.CellView(row, 1), c.cell) << c.name;
  }
}

TEST_F(GridViewTest, AppendedRowsReachTheViewInOneBatchPerTurn) {
  QSignalSpy inserted(&model(), &QAbstractItemModel::rowsInserted);
  for (int i = 0; i < 1000; ++i) {
    const int row = grid_.InsertItem(-1, Text(std::to_string(i)));
    grid_.SetCellText(row, 1, U("甲") + Text(std::to_string(i)));
  }
  EXPECT_EQ(model().rowCount(), 0);  // not yet announced
  QApplication::processEvents();
  EXPECT_EQ(model().rowCount(), 1000);
  EXPECT_EQ(inserted.count(), 1);
  EXPECT_EQ(model().index(999, 1).data().toString(), QString::fromUtf8("甲999"));
  EXPECT_EQ(model().index(5, 0).data().toString(), QStringLiteral("5"));
}

TEST_F(GridViewTest, OtherChangesShowAtOnceOrAtTheNextFlush) {
  for (int i = 0; i < 3; ++i) grid_.InsertItem(-1, Text(std::to_string(i)));
  view_->grid_model().Flush();
  QSignalSpy changed(&model(), &QAbstractItemModel::dataChanged);
  grid_.SetCellText(0, 1, Text("a"));
  grid_.SetCellText(2, 1, Text("c"));
  view_->grid_model().Flush();
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(model().index(2, 1).data().toString(), QStringLiteral("c"));

  grid_.InsertItem(1, Text("mid"));  // not an append: shown at once
  EXPECT_EQ(model().rowCount(), 4);
  EXPECT_EQ(model().index(1, 0).data().toString(), QStringLiteral("mid"));

  grid_.InsertColumn(0, Text("first"), 30);
  EXPECT_EQ(model().columnCount(), 3);
  EXPECT_EQ(model().headerData(0, Qt::Horizontal).toString(), QStringLiteral("first"));
  EXPECT_EQ(view_->header()->sectionSize(0), 30);
  grid_.DeleteColumn(0);  // columns and rows are independent: the rows' first cells go
  EXPECT_EQ(model().columnCount(), 2);
  EXPECT_EQ(model().index(0, 0).data().toString(), QStringLiteral("a"));

  grid_.SetColumnWidth(1, 99);
  EXPECT_EQ(view_->header()->sectionSize(1), 99);
  view_->header()->resizeSection(0, 55);  // a user's drag reaches the grid
  EXPECT_EQ(grid_.columns()[0].width, 55);

  grid_.DeleteAllItems();
  EXPECT_EQ(model().rowCount(), 0);
  EXPECT_EQ(model().columnCount(), 2);
}

TEST_F(GridViewTest, AutoFitGivesTheWidthsOfMeasuringEveryCell) {
  std::mt19937 random(7);
  const char* pieces[] = {"i", "W", "中", "m", "f", "l", "@", "文", ".", "AV", "😀", "\t"};
  std::vector<Text> texts;
  for (int row = 0; row < 400; ++row) {
    Text text;
    const int length = static_cast<int>(random() % 30);
    for (int k = 0; k < length; ++k) text += U(pieces[random() % std::size(pieces)]);
    texts.push_back(text);
    grid_.InsertItem(-1, Text(std::to_string(row)));
    grid_.SetCellText(row, 1, text);
  }
  grid_.InsertItem(-1, texts[3]);  // repeated texts count once
  // Measured here, and on another thread as the window does for a long grid.
  for (const bool elsewhere : {false, true}) {
    grid_.SetColumnWidth(0, 1);
    grid_.SetColumnWidth(1, 1);
    if (elsewhere) {
      view_->AutoFitColumns([](const std::function<void()>& find) { std::thread(find).join(); });
    } else {
      view_->AutoFitColumns();
    }
    for (int column = 0; column < 2; ++column) {
      int expected = 0;  // the header caption does not count
      QStyleOptionViewItem option;
      option.initFrom(view_.get());
      option.font = view_->font();
      for (int row = 0; row < grid_.ItemCount(); ++row) {
        expected = std::max(
            expected, view_->itemDelegate()->sizeHint(option, model().index(row, column)).width());
      }
      EXPECT_EQ(grid_.columns()[static_cast<size_t>(column)].width, expected) << column;
      EXPECT_EQ(view_->header()->sectionSize(column), expected) << column;
    }
  }
}

TEST_F(GridViewTest, AutoFitOfAnEmptyGridIgnoresTheHeaders) {
  view_->AutoFitColumns();
  EXPECT_LT(grid_.columns()[1].width, view_->header()->sectionSizeHint(1));
  EXPECT_EQ(grid_.columns()[0].width, grid_.columns()[1].width);
}

}  // namespace
}  // namespace lanzhou
