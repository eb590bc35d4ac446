// The four window-system calls that control anchoring needs, behind an interface: the Qt
// realisation works on the window's widgets (app/qt_window_geometry.h), a test's on rectangles
// in memory.
#ifndef LANZHOU_APP_WINDOW_GEOMETRY_H_
#define LANZHOU_APP_WINDOW_GEOMETRY_H_

#include <cstdint>

namespace lanzhou {

// A window handle: an opaque nonzero number; 0 means none.
using WindowHandle = std::uintptr_t;

// left, top, right, bottom; width = right - left, height = bottom - top.
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

class WindowGeometry {
 public:
  virtual ~WindowGeometry() = default;
  // The client rectangle, origin (0, 0).
  virtual Rect ClientRect(WindowHandle window) const = 0;
  // The window's rectangle in screen coordinates.
  virtual Rect WindowRect(WindowHandle window) const = 0;
  // `point` (screen coordinates) in the window's client coordinates.
  virtual Point ScreenToClient(WindowHandle window, Point point) const = 0;
  // Places a child window in its parent's client coordinates. Unknown handles are ignored.
  virtual void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                          std::int32_t height, bool repaint) = 0;
};

}  // namespace lanzhou

#endif  // LANZHOU_APP_WINDOW_GEOMETRY_H_
