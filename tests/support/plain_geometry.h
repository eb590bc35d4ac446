// Windows as plain rectangles in memory, so the anchoring rules are tested without a window:
// each window has a parent (0 for a top-level one), a position in its parent's client area (in
// screen coordinates for a top-level one) and a size; the client area is the whole window.
#ifndef LANZHOU_TESTS_SUPPORT_PLAIN_GEOMETRY_H_
#define LANZHOU_TESTS_SUPPORT_PLAIN_GEOMETRY_H_

#include <cstdint>
#include <map>

#include "app/window_geometry.h"

namespace lanzhou {

class PlainGeometry : public WindowGeometry {
 public:
  void AddWindow(WindowHandle window, WindowHandle parent, Rect bounds) {
    windows_[window] = {parent, bounds};
  }
  // The bounds as last set, in the parent's client coordinates.
  Rect Bounds(WindowHandle window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? Rect{} : it->second.bounds;
  }
  void Resize(WindowHandle window, std::int32_t width, std::int32_t height) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.bounds.right = it->second.bounds.left + width;
    it->second.bounds.bottom = it->second.bounds.top + height;
  }
  int move_calls() const { return move_calls_; }

  Rect ClientRect(WindowHandle window) const override {
    const Rect b = Bounds(window);
    return Rect{0, 0, b.right - b.left, b.bottom - b.top};
  }
  Rect WindowRect(WindowHandle window) const override {
    const Rect b = Bounds(window);
    const Point origin = Origin(window);
    return Rect{origin.x, origin.y, origin.x + b.right - b.left, origin.y + b.bottom - b.top};
  }
  Point ScreenToClient(WindowHandle window, Point point) const override {
    const Point origin = Origin(window);
    return Point{point.x - origin.x, point.y - origin.y};
  }
  void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, bool) override {
    ++move_calls_;
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.bounds = Rect{x, y, x + width, y + height};
  }

 private:
  struct Window {
    WindowHandle parent = 0;
    Rect bounds;
  };
  // The client origin in screen coordinates.
  Point Origin(WindowHandle window) const {
    Point origin;
    for (auto it = windows_.find(window); it != windows_.end();
         it = windows_.find(it->second.parent)) {
      origin.x += it->second.bounds.left;
      origin.y += it->second.bounds.top;
      if (it->second.parent == 0) break;
    }
    return origin;
  }
  std::map<WindowHandle, Window> windows_;
  int move_calls_ = 0;
};

}  // namespace lanzhou

#endif  // LANZHOU_TESTS_SUPPORT_PLAIN_GEOMETRY_H_
