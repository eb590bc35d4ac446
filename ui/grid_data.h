// The data of a report-style grid: rows and columns numbered from 0, one text per cell,
// column 0 being the row's caption. Plain C++; the Qt view in ui/qt/ shows it.
//
// Every operation fails silently: an index out of range leaves the grid unchanged and reads
// give "" or -1. Rows and columns are independent: inserting a column does not touch rows.
#ifndef LANZHOU_UI_GRID_DATA_H_
#define LANZHOU_UI_GRID_DATA_H_

#include <string_view>
#include <vector>

#include "text/text.h"

namespace lanzhou {

struct GridColumn {
  Text caption;
  int width = 50;
};

// Told about every change, so a view can follow. Calls come on the thread that changed the
// grid, after the change.
class GridObserver {
 public:
  virtual ~GridObserver() = default;
  virtual void RowsInserted(int first, int count) = 0;
  virtual void RowsReset() = 0;       // every row removed
  virtual void ColumnsChanged() = 0;  // inserted, deleted or resized
  virtual void CellChanged(int row, int column) = 0;
};

class GridData {
 public:
  int ItemCount() const { return static_cast<int>(rows_.size()); }
  // The number of header items.
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  // The whole text; "" for a missing row or column or an unset cell.
  Text GetCellText(int row, int column = 0) const;
  // The same without a copy; valid until the grid next changes.
  std::string_view CellView(int row, int column = 0) const;
  void SetCellText(int row, int column, const Text& text = Text());
  // Inserts a row (position omitted or negative: at the end) whose caption is `caption`;
  // returns its index.
  int InsertItem(int position = -1, const Text& caption = Text());
  // Appends a whole row at once (cells beyond the columns are kept for when columns come).
  int AppendRow(std::vector<Text> cells);
  void DeleteAllItems();
  // Appends the rows of `other` after these, and the columns `other` has beyond these (with
  // their captions and widths); moves, copies no cell, and leaves `other` empty. So rows can
  // be loaded into a grid of their own, away from the one shown, and joined in one step.
  void TakeRowsFrom(GridData& other);
  // Inserts a column (position omitted or negative: at the end), width < 0 counts as 0;
  // returns its index.
  int InsertColumn(int position = -1, const Text& caption = Text(), int width = 50);
  // Removes a column; the columns after it and their cells move one place left.
  void DeleteColumn(int column);
  void SetColumnWidth(int column, int width);
  const std::vector<GridColumn>& columns() const { return columns_; }

  void SetObserver(GridObserver* observer) { observer_ = observer; }

 private:
  std::vector<GridColumn> columns_;
  // Each row holds its cells from column 0; a short row reads "" beyond its end.
  std::vector<std::vector<Text>> rows_;
  GridObserver* observer_ = nullptr;
};

}  // namespace lanzhou

#endif  // LANZHOU_UI_GRID_DATA_H_
