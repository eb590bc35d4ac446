#include "app/window_geometry.h"

namespace lanzhou {

Rect PlainGeometry::Bounds(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? Rect{} : it->second.bounds;
}

void PlainGeometry::Resize(WindowHandle window, std::int32_t width, std::int32_t height) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  it->second.bounds.right = it->second.bounds.left + width;
  it->second.bounds.bottom = it->second.bounds.top + height;
}

Point PlainGeometry::Origin(WindowHandle window) const {
  Point origin;
  for (auto it = windows_.find(window); it != windows_.end();
       it = windows_.find(it->second.parent)) {
    origin.x += it->second.bounds.left;
    origin.y += it->second.bounds.top;
    if (it->second.parent == 0) break;
  }
  return origin;
}

Rect PlainGeometry::ClientRect(WindowHandle window) const {
  const Rect b = Bounds(window);
  return Rect{0, 0, b.right - b.left, b.bottom - b.top};
}

Rect PlainGeometry::WindowRect(WindowHandle window) const {
  const Rect b = Bounds(window);
  const Point origin = Origin(window);
  return Rect{origin.x, origin.y, origin.x + b.right - b.left, origin.y + b.bottom - b.top};
}

Point PlainGeometry::ScreenToClient(WindowHandle window, Point point) const {
  const Point origin = Origin(window);
  return Point{point.x - origin.x, point.y - origin.y};
}

void PlainGeometry::MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                               std::int32_t width, std::int32_t height, bool) {
  ++move_calls_;
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  it->second.bounds = Rect{x, y, x + width, y + height};
}

}  // namespace lanzhou
