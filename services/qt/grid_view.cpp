#include "services/qt/grid_view.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "services/qt/qt_text.h"

namespace lanzhou {
namespace {

// Estimates text widths as the sum of per-character advances, each character measured once.
// Shaping (kerning, ligatures) makes the true width differ by a few pixels at most, so only
// texts whose estimate comes near the widest estimate need an exact measurement.
class WidthEstimator {
 public:
  explicit WidthEstimator(const QFont& font) : metrics_(font) {
    for (int c = 0; c < 128; ++c) ascii_[c] = metrics_.horizontalAdvance(QChar(c));
  }

  double Estimate(std::string_view text) {
    double width = 0;
    for (size_t i = 0; i < text.size();) {
      const auto b = static_cast<unsigned char>(text[i]);
      if (b < 0x80) {
        width += ascii_[b];
        ++i;
        continue;
      }
      // A GB18030 character: two bytes, or four when the second is a digit.
      size_t length = 2;
      if (i + 1 < text.size()) {
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (second >= '0' && second <= '9') length = 4;
      }
      length = std::min(length, text.size() - i);
      uint32_t key = 0;
      for (size_t k = 0; k < length; ++k) key = key << 8 | static_cast<unsigned char>(text[i + k]);
      auto [it, added] = wide_.try_emplace(key, 0.0);
      if (added) it->second = metrics_.horizontalAdvance(ToQString(Text(text.substr(i, length))));
      width += it->second;
      i += length;
    }
    return width;
  }

  double Exact(std::string_view text) { return metrics_.horizontalAdvance(ToQString(Text(text))); }

 private:
  QFontMetricsF metrics_;
  std::array<double, 128> ascii_{};
  std::unordered_map<uint32_t, double> wide_;
};

}  // namespace

GridView::GridView(GridData* grid, Style style, QWidget* parent)
    : QTreeView(parent), grid_(grid), model_(new GridModel(grid, this)), style_(style) {
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(style.whole_row_selection ? QAbstractItemView::SelectRows
                                                 : QAbstractItemView::SelectItems);
  setAllColumnsShowFocus(style.whole_row_selection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideRight);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->setMinimumSectionSize(0);
  connect(model_, &GridModel::ColumnWidthsChanged, this, &GridView::ApplyColumnWidths);
  connect(model_, &QAbstractItemModel::modelReset, this, &GridView::ApplyColumnWidths);
  connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
    if (!applying_widths_) grid_->SetColumnWidth(column, width);
  });
  ApplyColumnWidths();
}

void GridView::ApplyColumnWidths() {
  applying_widths_ = true;
  const auto& columns = grid_->columns();
  for (int i = 0; i < static_cast<int>(columns.size()) && i < header()->count(); ++i) {
    const int width = columns[static_cast<size_t>(i)].width;
    if (header()->sectionSize(i) != width) header()->resizeSection(i, width);
  }
  applying_widths_ = false;
}

int GridView::FittingColumnWidth(int column) {
  model_->Flush();
  if (column < 0 || column >= grid_->ColumnCount()) return 0;
  int width = header()->sectionSizeHint(column);
  const int rows = grid_->ItemCount();
  if (rows == 0) return width;

  WidthEstimator estimator(font());
  std::vector<std::pair<double, int>> estimates;  // (estimate, row) of distinct texts
  estimates.reserve(static_cast<size_t>(std::min(rows, 1 << 16)));
  std::unordered_set<std::string_view> seen;
  double widest = 0;
  for (int row = 0; row < rows; ++row) {
    const std::string_view text = grid_->CellView(row, column);
    if (!seen.insert(text).second) continue;
    const double estimate = estimator.Estimate(text);
    widest = std::max(widest, estimate);
    estimates.emplace_back(estimate, row);
  }
  // Shaping moves a width by a few pixels; measure every text that could still be widest.
  const double threshold = widest - std::max(8.0, widest * 0.05);
  double best = -1;
  int best_row = 0;
  for (const auto& [estimate, row] : estimates) {
    if (estimate < threshold) continue;
    const double exact = estimator.Exact(grid_->CellView(row, column));
    if (exact > best) {
      best = exact;
      best_row = row;
    }
  }
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QSize hint = itemDelegate()->sizeHint(option, model_->index(best_row, column));
  int cell_width = hint.width();
  if (column == 0) cell_width += indentation() * (rootIsDecorated() ? 1 : 0);
  return std::max(width, cell_width);
}

void GridView::AutoFitColumns() {
  for (int column = 0; column < grid_->ColumnCount(); ++column) {
    grid_->SetColumnWidth(column, FittingColumnWidth(column));
  }
}

void GridView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const {
  QTreeView::drawRow(painter, option, index);
  if (!style_.grid_lines) return;
  painter->save();
  painter->setPen(palette().color(QPalette::Mid));
  const QRect r = option.rect;
  painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
  for (int i = 0; i < header()->count(); ++i) {
    const int x = header()->sectionViewportPosition(i) + header()->sectionSize(i) - 1;
    painter->drawLine(x, r.top(), x, r.bottom());
  }
  painter->restore();
}

}  // namespace lanzhou
