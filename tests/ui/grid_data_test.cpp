#include "ui/grid_data.h"

#include <gtest/gtest.h>

namespace lanzhou {
namespace {

TEST(GridData, ReadsOutsideTheGridGiveEmptyText) {
  GridData grid;
  grid.InsertColumn(-1, Text("id"), 40);
  grid.InsertColumn(-1, Text("name"), 240);
  grid.InsertItem(-1, Text("1"));
  EXPECT_EQ(grid.GetCellText(0, 0), Text("1"));
  EXPECT_EQ(grid.GetCellText(0, 1), Text());
  EXPECT_EQ(grid.GetCellText(0, 2), Text());
  EXPECT_EQ(grid.GetCellText(1, 0), Text());
  EXPECT_EQ(grid.GetCellText(-1, 0), Text());
}

TEST(GridData, LongCellTextIsNeverCut) {
  GridData grid;
  grid.InsertColumn();
  grid.InsertItem();
  const Text long_text(std::string(5000, 'x'));
  grid.SetCellText(0, 0, long_text);
  EXPECT_EQ(grid.GetCellText(0, 0), long_text);
}

TEST(GridData, DeleteAllItemsKeepsColumns) {
  GridData grid;
  grid.InsertColumn();
  grid.InsertColumn();
  for (int i = 0; i < 3; ++i) grid.InsertItem();
  grid.DeleteAllItems();
  EXPECT_EQ(grid.ItemCount(), 0);
  EXPECT_EQ(grid.ColumnCount(), 2);
}

TEST(GridData, DeletingColumnMovesLaterCellsLeft) {
  GridData grid;
  for (int i = 0; i < 3; ++i) grid.InsertColumn();
  grid.InsertItem(-1, Text("a"));
  grid.SetCellText(0, 1, Text("b"));
  grid.SetCellText(0, 2, Text("c"));
  grid.DeleteColumn(0);
  EXPECT_EQ(grid.GetCellText(0, 0), Text("b"));
  EXPECT_EQ(grid.GetCellText(0, 1), Text("c"));
  grid.DeleteColumn(0);
  grid.DeleteColumn(0);
  EXPECT_EQ(grid.ColumnCount(), 0);
  EXPECT_EQ(grid.GetCellText(0, 0), Text());
}

TEST(GridData, NegativeWidthCountsAsZero) {
  GridData grid;
  EXPECT_EQ(grid.InsertColumn(-1, Text("1"), -5), 0);
  EXPECT_EQ(grid.columns()[0].width, 0);
  EXPECT_EQ(grid.InsertColumn(), 1);
  EXPECT_EQ(grid.columns()[1].width, 50);
}

}  // namespace
}  // namespace lanzhou
