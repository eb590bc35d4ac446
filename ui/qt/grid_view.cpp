#include "ui/qt/grid_view.h"

#include <QClipboard>
#include <QEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "text/gbk_chars.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {
namespace {

// Text widths for column fitting. A "simple" text (printable ASCII and two-byte characters)
// is estimated as the sum of its characters' advances, each character measured once. With
// kerning off (the grid's font never kerns) shaping can only narrow such a text (a ligature),
// never widen it, so the estimate is an upper bound of the exact width, equal to it unless
// a ligature formed. Other texts (four-byte sequences, control characters) may shape in any
// way and are always measured exactly.
class WidthEstimator {
 public:
  explicit WidthEstimator(const QFont& font) : metrics_(font) {
    for (int c = 0x20; c < 0x7F; ++c) ascii_[c] = metrics_.horizontalAdvance(QChar(c));
  }

  // The estimate, or nullopt for a text that is not simple.
  std::optional<double> Estimate(std::string_view text) {
    double width = 0;
    for (size_t i = 0; i < text.size();) {
      const auto b = static_cast<unsigned char>(text[i]);
      if (!IsLeadByte(b)) {
        if (b < 0x20 || b == 0x7F) return std::nullopt;
        width += ascii_[b];
        ++i;
        continue;
      }
      if (i + 1 >= text.size()) return std::nullopt;
      const auto trail = static_cast<unsigned char>(text[i + 1]);
      if (!IsGbkTrailByte(trail)) return std::nullopt;  // four-byte
      const uint32_t key = uint32_t{b} << 8 | trail;
      auto [it, added] = wide_.try_emplace(key, 0.0);
      if (added) it->second = metrics_.horizontalAdvance(ToQString(Text(text.substr(i, 2))));
      width += it->second;
      i += 2;
    }
    return width;
  }

  double Exact(std::string_view text) { return metrics_.horizontalAdvance(ToQString(Text(text))); }

 private:
  QFontMetricsF metrics_;
  std::array<double, 128> ascii_{};
  std::unordered_map<uint32_t, double> wide_;
};

// The same font with a state of its own: a font shares the font engines it has loaded with
// its copies, and those must not be shared between threads.
QFont FontOfItsOwn(const QFont& font) {
  QFont own(font.families(), -1, font.weight(), font.italic());
  if (font.pixelSize() > 0) {
    own.setPixelSize(font.pixelSize());
  } else {
    own.setPointSizeF(font.pointSizeF());
  }
  own.setKerning(font.kerning());
  own.setStyleStrategy(font.styleStrategy());
  own.setHintingPreference(font.hintingPreference());
  return own;
}

// The row of `column` whose cell is the widest in `font`, -1 when the grid has no rows. Reads
// only the grid and the font, so it may run on any thread with a font of its own.
int WidestRow(const GridData& grid, int column, const QFont& font) {
  const int rows = grid.ItemCount();
  if (rows == 0) return -1;
  WidthEstimator estimator(font);
  double best = -1;
  int best_row = 0;
  auto measure = [&](int row) {
    const double exact = estimator.Exact(ShownCell(grid.CellView(row, column)));
    if (exact > best) {
      best = exact;
      best_row = row;
    }
  };
  std::vector<std::pair<double, int>> simple;  // (estimate, row)
  simple.reserve(static_cast<size_t>(rows));
  std::unordered_set<std::string_view> complex;
  for (int row = 0; row < rows; ++row) {
    const std::string_view text = ShownCell(grid.CellView(row, column));
    if (std::optional<double> estimate = estimator.Estimate(text)) {
      simple.emplace_back(*estimate, row);
    } else if (complex.insert(text).second) {
      measure(row);
    }
  }
  // Widest estimate first; a text whose estimate does not pass the best exact width cannot
  // be wider than it.
  std::make_heap(simple.begin(), simple.end());
  while (!simple.empty() && simple.front().first > best) {
    std::pop_heap(simple.begin(), simple.end());
    measure(simple.back().second);
    simple.pop_back();
  }
  return best_row;
}

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
  NoKerning();
  header()->setMinimumSectionSize(0);
  connect(model_, &GridModel::ColumnWidthsChanged, this, &GridView::ApplyColumnWidths);
  connect(model_, &QAbstractItemModel::modelReset, this, &GridView::ApplyColumnWidths);
  connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
    if (!applying_widths_) grid_->SetColumnWidth(column, width);
  });
  ApplyColumnWidths();
}

void GridView::NoKerning() {
  if (!font().kerning()) return;
  QFont unkerned = font();
  unkerned.setKerning(false);
  setFont(unkerned);
}

void GridView::keyPressEvent(QKeyEvent* event) {
  if (paste_ && event->matches(QKeySequence::Paste)) {
    event->accept();
    paste_(FromQString(QGuiApplication::clipboard()->text()));
    return;
  }
  QTreeView::keyPressEvent(event);
}

void GridView::changeEvent(QEvent* event) {
  QTreeView::changeEvent(event);
  if (event->type() == QEvent::FontChange) NoKerning();
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
  return CellWidth(column, WidestRow(*grid_, column, font()));
}

int GridView::CellWidth(int column, int widest_row) const {
  // Like the list view's own fitting, only the cells count: the header caption may be cut.
  if (widest_row < 0) return EmptyCellWidth();
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QSize hint = itemDelegate()->sizeHint(option, model_->index(widest_row, column));
  int cell_width = hint.width();
  if (column == 0) cell_width += indentation() * (rootIsDecorated() ? 1 : 0);
  return cell_width;
}

int GridView::EmptyCellWidth() const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.features |= QStyleOptionViewItem::HasDisplay;
  option.text.clear();
  return style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width();
}

void GridView::AutoFitColumns(const std::function<void(const std::function<void()>&)>& elsewhere) {
  model_->Flush();
  const QFont font_copy = FontOfItsOwn(font());
  std::vector<int> widest(static_cast<size_t>(grid_->ColumnCount()));
  const auto find = [&] {
    for (size_t c = 0; c < widest.size(); ++c) {
      widest[c] = WidestRow(*grid_, static_cast<int>(c), font_copy);
    }
  };
  if (elsewhere) {
    elsewhere(find);
  } else {
    find();
  }
  for (size_t c = 0; c < widest.size(); ++c) {
    grid_->SetColumnWidth(static_cast<int>(c), CellWidth(static_cast<int>(c), widest[c]));
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
