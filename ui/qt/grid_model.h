// The Qt model over a `GridData`: what the grid views of the window show.
//
// Changes reach the views in batches: rows appended to the grid are announced once per turn
// of the event loop (or at `Flush`), so a million single-row inserts cost one insert signal
// and one layout, not a million. Any other change (rows removed, a row inserted in the
// middle, columns added or removed) resets the model at once.
#ifndef LANZHOU_UI_QT_GRID_MODEL_H_
#define LANZHOU_UI_QT_GRID_MODEL_H_

#include <QAbstractTableModel>
#include <cstddef>
#include <string_view>
#include <vector>

#include "ui/grid_data.h"

namespace lanzhou {

// A cell shows at most this many characters: a cell of megabytes would take seconds to lay
// out each time it is drawn or measured, and draw as glyphs over glyphs. The grid's data keeps
// the whole text.
inline constexpr std::size_t kShownCellChars = 4096;

// The part of `cell` (GB18030) the grid shows and measures: its first kShownCellChars
// characters, a four-byte sequence counted whole and never cut.
//   ShownCell("abc") == "abc"; ShownCell(8192 x "中") == 4096 x "中"
std::string_view ShownCell(std::string_view cell);

class GridModel : public QAbstractTableModel, private GridObserver {
  Q_OBJECT

 public:
  // Observes `grid` until destroyed; `grid` must outlive the model.
  explicit GridModel(GridData* grid, QObject* parent = nullptr);
  ~GridModel() override;

  GridData& grid() { return *grid_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Announces to the views every change made to the grid since the last announcement.
  void Flush();

 signals:
  // The grid's column widths changed (or its columns did); views apply them.
  void ColumnWidthsChanged();

 private:
  void RowsInserted(int first, int count) override;
  void RowsReset() override;
  void ColumnsChanged() override;
  void CellChanged(int row, int column) override;

  void ScheduleFlush();
  void Reset();

  GridData* grid_;
  int shown_rows_ = 0;                // rows the views know of
  std::vector<Text> shown_captions_;  // columns the views know of
  int dirty_first_ = -1;              // changed cells of known rows, as a row range
  int dirty_last_ = -1;
  bool flush_scheduled_ = false;
};

}  // namespace lanzhou

#endif  // LANZHOU_UI_QT_GRID_MODEL_H_
