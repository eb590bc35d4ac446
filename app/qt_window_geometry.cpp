#include "app/qt_window_geometry.h"

#include <algorithm>

namespace lanzhou {

WindowHandle QtWindowGeometry::HandleOf(QWidget* widget) {
  if (widget == nullptr) return 0;
  const auto handle = reinterpret_cast<WindowHandle>(widget);
  widgets_[handle] = widget;
  return handle;
}

QWidget* QtWindowGeometry::WidgetOf(WindowHandle handle) const {
  auto it = widgets_.find(handle);
  return it == widgets_.end() ? nullptr : it->second.data();
}

Rect QtWindowGeometry::ClientRect(WindowHandle window) const {
  const QWidget* widget = WidgetOf(window);
  if (widget == nullptr) return {};
  return Rect{0, 0, widget->width(), widget->height()};
}

Rect QtWindowGeometry::WindowRect(WindowHandle window) const {
  const QWidget* widget = WidgetOf(window);
  if (widget == nullptr) return {};
  const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
  return Rect{origin.x(), origin.y(), origin.x() + widget->width(), origin.y() + widget->height()};
}

Point QtWindowGeometry::ScreenToClient(WindowHandle window, Point point) const {
  const QWidget* widget = WidgetOf(window);
  if (widget == nullptr) return point;
  const QPoint client = widget->mapFromGlobal(QPoint(point.x, point.y));
  return Point{client.x(), client.y()};
}

void QtWindowGeometry::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                                  std::int32_t width, std::int32_t height, bool repaint) {
  QWidget* widget = WidgetOf(window);
  if (widget == nullptr) return;
  widget->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
  if (repaint) widget->update();
}

QtWindowGeometry& ProgramGeometry() {
  static QtWindowGeometry geometry;
  return geometry;
}

}  // namespace lanzhou
