// The report list: a `QTreeView` over a `GridModel`, with the list view's look (a visible
// header, single selection, no sorting, optional whole-row selection and grid lines) and
// the column widths kept in the `GridData`.
#ifndef LANZHOU_UI_QT_GRID_VIEW_H_
#define LANZHOU_UI_QT_GRID_VIEW_H_

#include <QTreeView>
#include <functional>

#include "ui/grid_data.h"
#include "ui/qt/grid_model.h"

namespace lanzhou {

class GridView : public QTreeView {
  Q_OBJECT

 public:
  struct Style {
    bool whole_row_selection = false;
    bool grid_lines = false;
  };

  // Shows `grid`, which must outlive the view.
  GridView(GridData* grid, Style style, QWidget* parent = nullptr);

  GridModel& grid_model() { return *model_; }
  const Style& style_options() const { return style_; }

  // Sets every column's width to fit its header and all its cells: the same widths as
  // measuring every cell, but only the texts that can be the widest are measured exactly
  // (see WidthEstimator in the source). Writes the widths into the grid.
  // `elsewhere(find)`, when given, runs the measuring, which reads only the grid, where it
  // likes (on another thread while the window goes on) and returns when it is done.
  void AutoFitColumns(const std::function<void(const std::function<void()>&)>& elsewhere = {});
  // The width `AutoFitColumns` gives `column`.
  int FittingColumnWidth(int column);
  int EmptyCellWidth() const;

  // Paste (Ctrl+V) hands the clipboard's text to `paste`; without one the view ignores it.
  void SetPasteHandler(std::function<void(const Text&)> paste) { paste_ = std::move(paste); }

 protected:
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

 private:
  void ApplyColumnWidths();
  // The fitting width of `column` when its widest cell is in `widest_row` (-1: no rows).
  int CellWidth(int column, int widest_row) const;
  // Column fitting relies on the font not kerning; list views never kerned anyway.
  void NoKerning();

  GridData* grid_;
  GridModel* model_;
  Style style_;
  bool applying_widths_ = false;
  std::function<void(const Text&)> paste_;
};

}  // namespace lanzhou

#endif  // LANZHOU_UI_QT_GRID_VIEW_H_
