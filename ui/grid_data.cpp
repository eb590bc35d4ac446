#include "ui/grid_data.h"

#include <algorithm>
#include <utility>

namespace lanzhou {

std::string_view GridData::CellView(int row, int column) const {
  if (row < 0 || row >= ItemCount() || column < 0 || column >= ColumnCount()) return {};
  const auto& cells = rows_[static_cast<size_t>(row)];
  if (static_cast<size_t>(column) >= cells.size()) return {};
  return cells[static_cast<size_t>(column)].view();
}

Text GridData::GetCellText(int row, int column) const { return Text(CellView(row, column)); }

void GridData::SetCellText(int row, int column, const Text& text) {
  if (row < 0 || row >= ItemCount() || column < 0 || column >= ColumnCount()) return;
  auto& cells = rows_[static_cast<size_t>(row)];
  if (static_cast<size_t>(column) >= cells.size()) cells.resize(static_cast<size_t>(column) + 1);
  cells[static_cast<size_t>(column)] = text;
  if (observer_) observer_->CellChanged(row, column);
}

int GridData::InsertItem(int position, const Text& caption) {
  if (position < 0 || position > ItemCount()) position = ItemCount();
  std::vector<Text> cells;
  cells.push_back(caption);
  rows_.insert(rows_.begin() + position, std::move(cells));
  if (observer_) observer_->RowsInserted(position, 1);
  return position;
}

int GridData::AppendRow(std::vector<Text> cells) {
  const int position = ItemCount();
  rows_.push_back(std::move(cells));
  if (observer_) observer_->RowsInserted(position, 1);
  return position;
}

void GridData::TakeRowsFrom(GridData& other) {
  if (other.ColumnCount() > ColumnCount()) {
    columns_.insert(columns_.end(), other.columns_.begin() + ColumnCount(), other.columns_.end());
    if (observer_) observer_->ColumnsChanged();
  }
  const int first = ItemCount();
  const int count = other.ItemCount();
  if (rows_.empty()) {
    rows_ = std::move(other.rows_);
  } else {
    rows_.insert(rows_.end(), std::make_move_iterator(other.rows_.begin()),
                 std::make_move_iterator(other.rows_.end()));
  }
  other = GridData();
  if (count > 0 && observer_) observer_->RowsInserted(first, count);
}

void GridData::DeleteAllItems() {
  rows_.clear();
  rows_.shrink_to_fit();
  if (observer_) observer_->RowsReset();
}

int GridData::InsertColumn(int position, const Text& caption, int width) {
  if (position < 0 || position > ColumnCount()) position = ColumnCount();
  columns_.insert(columns_.begin() + position, GridColumn{caption, std::max(width, 0)});
  if (observer_) observer_->ColumnsChanged();
  return position;
}

void GridData::DeleteColumn(int column) {
  if (column < 0 || column >= ColumnCount()) return;
  columns_.erase(columns_.begin() + column);
  for (auto& cells : rows_) {
    if (static_cast<size_t>(column) < cells.size()) cells.erase(cells.begin() + column);
  }
  if (observer_) observer_->ColumnsChanged();
}

void GridData::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= ColumnCount()) return;
  columns_[static_cast<size_t>(column)].width = std::max(width, 0);
  if (observer_) observer_->ColumnsChanged();
}

}  // namespace lanzhou
