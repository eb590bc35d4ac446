#include "app/control_anchor.h"

namespace lanzhou {
namespace {

// Two controls that share a growth round alike, so the edge where one ends and the other
// begins moves by the same amount for both.
void Share(const AnchorShare& share, std::int32_t d, std::int32_t& near, std::int32_t& far) {
  near += d * share.nearPercent / 100;
  far += d * share.farPercent / 100;
}

}  // namespace

void ControlAnchor::Init(std::optional<WindowHandle> parent) {
  if (parent) SetParentWindow(*parent);
  ClearControls();
}

void ControlAnchor::SetParentWindow(WindowHandle parent) {
  parent_ = parent;
  reference_client_ = geometry_->ClientRect(parent);
}

void ControlAnchor::AddControl(WindowHandle control, const AnchorOptions& options) {
  AnchoredControl record{control, options, ControlRect(control)};
  if (const int position = FindControl(control); position > 0) {
    controls_[static_cast<size_t>(position - 1)] = record;
  } else {
    controls_.push_back(record);
  }
}

void ControlAnchor::AnchorControl(WindowHandle control, std::optional<std::int32_t> anchor_left,
                                  std::optional<std::int32_t> anchor_top,
                                  std::optional<std::int32_t> anchor_right,
                                  std::optional<std::int32_t> anchor_bottom,
                                  std::optional<std::int32_t> min_width,
                                  std::optional<std::int32_t> min_height) {
  AnchorOptions options;
  options.anchorLeft = anchor_left.value_or(1);
  options.anchorTop = anchor_top.value_or(1);
  options.anchorRight = anchor_right.value_or(1);
  options.anchorBottom = anchor_bottom.value_or(1);
  options.minWidth = min_width.value_or(0);
  options.minHeight = min_height.value_or(0);
  AddControl(control, options);
}

void ControlAnchor::ClearControls() { controls_.clear(); }

bool ControlAnchor::RemoveControl(WindowHandle control) {
  const int position = FindControl(control);
  if (position == 0) return false;
  controls_.erase(controls_.begin() + (position - 1));
  return true;
}

bool ControlAnchor::Reflow() {
  if (parent_ == 0) return false;
  const Rect client = geometry_->ClientRect(parent_);
  const std::int32_t dw = RectWidth(client) - RectWidth(reference_client_);
  const std::int32_t dh = RectHeight(client) - RectHeight(reference_client_);
  for (const AnchoredControl& control : controls_) {
    Rect r = control.reference;
    const AnchorOptions& o = control.options;
    const std::int32_t w = RectWidth(r);
    const std::int32_t h = RectHeight(r);
    if (o.shareX != AnchorShare{}) {
      Share(o.shareX, dw, r.left, r.right);
    } else if (o.anchorLeft != 0 || o.anchorRight != 0) {
      if (o.anchorRight != 0) r.right += dw;
      if (o.anchorLeft == 0) r.left = r.right - w;
    }
    if (o.shareY != AnchorShare{}) {
      Share(o.shareY, dh, r.top, r.bottom);
    } else if (o.anchorTop != 0 || o.anchorBottom != 0) {
      if (o.anchorBottom != 0) r.bottom += dh;
      if (o.anchorTop == 0) r.top = r.bottom - h;
    }
    if (RectWidth(r) < o.minWidth) r.right = r.left + o.minWidth;
    if (RectHeight(r) < o.minHeight) r.bottom = r.top + o.minHeight;
    geometry_->MoveWindow(control.window, r.left, r.top, RectWidth(r), RectHeight(r), true);
  }
  return true;
}

Rect ControlAnchor::ControlRect(WindowHandle control) const {
  const Rect screen = geometry_->WindowRect(control);
  const Point origin = geometry_->ScreenToClient(parent_, Point{0, 0});
  return AdjustRect(ShiftRect(screen, origin.x, origin.y));
}

Rect ControlAnchor::ShiftRect(Rect rect, std::int32_t dx, std::int32_t dy) const {
  rect.left += dx;
  rect.right += dx;
  rect.top += dy;
  rect.bottom += dy;
  return rect;
}

int ControlAnchor::FindControl(WindowHandle control) const {
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i].window == control) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace lanzhou
