#include "ui/qt/grid_model.h"

#include <QMetaObject>

#include "text/gbk_chars.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {
namespace {

std::vector<Text> Captions(const GridData& grid) {
  std::vector<Text> captions;
  captions.reserve(grid.columns().size());
  for (const GridColumn& column : grid.columns()) captions.push_back(column.caption);
  return captions;
}

}  // namespace

std::string_view ShownCell(std::string_view cell) {
  if (cell.size() <= kShownCellChars) return cell;  // no more characters than bytes
  std::size_t end = 0;
  for (std::size_t n = 0; n < kShownCellChars && end < cell.size(); ++n) {
    end = IsFourByteAt(cell, end) ? end + 4 : NextCharStart(cell, end);
  }
  return cell.substr(0, end);
}

GridModel::GridModel(GridData* grid, QObject* parent)
    : QAbstractTableModel(parent),
      grid_(grid),
      shown_rows_(grid->ItemCount()),
      shown_captions_(Captions(*grid)) {
  grid_->SetObserver(this);
}

GridModel::~GridModel() { grid_->SetObserver(nullptr); }

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_rows_;
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(shown_captions_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const std::string_view cell = grid_->CellView(index.row(), index.column());
  const std::string_view shown = ShownCell(cell);
  QString text = ToQString(Text(shown));
  if (shown.size() < cell.size()) text += QChar(0x2026);  // …
  return text;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(shown_captions_.size())) {
    return {};
  }
  if (role == Qt::DisplayRole) return ToQString(shown_captions_[static_cast<size_t>(section)]);
  if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

void GridModel::Flush() {
  flush_scheduled_ = false;
  if (dirty_first_ >= 0 && !shown_captions_.empty()) {
    const int last = std::min(dirty_last_, shown_rows_ - 1);
    if (dirty_first_ <= last) {
      emit dataChanged(index(dirty_first_, 0),
                       index(last, static_cast<int>(shown_captions_.size()) - 1));
    }
  }
  dirty_first_ = dirty_last_ = -1;
  const int rows = grid_->ItemCount();
  if (rows > shown_rows_) {
    beginInsertRows(QModelIndex(), shown_rows_, rows - 1);
    shown_rows_ = rows;
    endInsertRows();
  }
}

void GridModel::ScheduleFlush() {
  if (flush_scheduled_) return;
  flush_scheduled_ = true;
  QMetaObject::invokeMethod(this, &GridModel::Flush, Qt::QueuedConnection);
}

void GridModel::Reset() {
  beginResetModel();
  shown_rows_ = grid_->ItemCount();
  shown_captions_ = Captions(*grid_);
  dirty_first_ = dirty_last_ = -1;
  endResetModel();
}

void GridModel::RowsInserted(int first, int count) {
  // Appends wait for the next flush; the views read rows they know of, which stay in place.
  if (first >= shown_rows_) {
    ScheduleFlush();
    return;
  }
  Reset();
}

void GridModel::RowsReset() { Reset(); }

void GridModel::ColumnsChanged() {
  if (Captions(*grid_) != shown_captions_) Reset();
  emit ColumnWidthsChanged();
}

void GridModel::CellChanged(int row, int column) {
  if (row >= shown_rows_) return;  // announced with its row
  if (dirty_first_ < 0 || row < dirty_first_) dirty_first_ = row;
  if (row > dirty_last_) dirty_last_ = row;
  ScheduleFlush();
}

}  // namespace lanzhou
