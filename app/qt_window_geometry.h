// `WindowGeometry` over Qt widgets. A handle is the widget's address, looked up in a table
// of guarded pointers, so a handle whose widget is gone is ignored instead of followed.
#ifndef LANZHOU_APP_QT_WINDOW_GEOMETRY_H_
#define LANZHOU_APP_QT_WINDOW_GEOMETRY_H_

#include <QPointer>
#include <QWidget>
#include <unordered_map>

#include "app/window_geometry.h"

namespace lanzhou {

class QtWindowGeometry : public WindowGeometry {
 public:
  // The handle of `widget` (0 for null), valid while the widget lives.
  WindowHandle HandleOf(QWidget* widget);
  // The widget of `handle`, or null when it is unknown or gone.
  QWidget* WidgetOf(WindowHandle handle) const;

  Rect ClientRect(WindowHandle window) const override;
  Rect WindowRect(WindowHandle window) const override;
  Point ScreenToClient(WindowHandle window, Point point) const override;
  void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, bool repaint) override;

 private:
  std::unordered_map<WindowHandle, QPointer<QWidget>> widgets_;
};

// The program's one instance.
QtWindowGeometry& ProgramGeometry();

}  // namespace lanzhou

#endif  // LANZHOU_APP_QT_WINDOW_GEOMETRY_H_
