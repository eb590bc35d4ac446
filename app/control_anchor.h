// Control anchoring: registered child controls follow the size of their parent window.
//
// The layout is always computed from the state at registration: the parent's client size
// when the parent was set and each control's rectangle when it was added. `Reflow` applies
// the difference between the parent's current and remembered client size to the remembered
// rectangles, so resizing never drifts and the initial size restores the initial layout.
//
// Per axis, for a change d of the parent's size:
//   near edge only (left/top)   nothing changes
//   far edge only (right/bottom) the control moves by d
//   both                        the far edge moves by d: the control grows by d
//   neither                     nothing changes
// A share, where set, replaces an axis's anchors: the near edge moves by near% of d and the
// far edge by far% of d, so two boxes one above the other share a growth as 0-50 and 50-100.
// Then a minimum size is enforced by moving the far edge; left and top never move for it.
//
// Example: a grid at (8, 70, 600, 450) anchored on all four edges with minimum 500 x 172,
// after the parent grew by 100 x 50, is at (8, 70, 700, 500).
#ifndef LANZHOU_APP_CONTROL_ANCHOR_H_
#define LANZHOU_APP_CONTROL_ANCHOR_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "app/window_geometry.h"

namespace lanzhou {

// The percent of an axis's growth by which a control's near and far edges move; 0 and 0
// (the default) leaves the axis to the anchors.
struct AnchorShare {
  std::int32_t nearPercent = 0;
  std::int32_t farPercent = 0;
  friend bool operator==(const AnchorShare&, const AnchorShare&) = default;
};

// Any nonzero anchor counts as set; a minimum of zero or below never applies.
struct AnchorOptions {
  std::int32_t anchorLeft = 1;
  std::int32_t anchorTop = 1;
  std::int32_t anchorRight = 1;
  std::int32_t anchorBottom = 1;
  std::int32_t minWidth = 0;
  std::int32_t minHeight = 0;
  AnchorShare shareX = {};
  AnchorShare shareY = {};
  friend bool operator==(const AnchorOptions&, const AnchorOptions&) = default;
};

struct AnchoredControl {
  WindowHandle window = 0;
  AnchorOptions options;
  Rect reference;  // in the parent's client coordinates, measured when added
};

class ControlAnchor {
 public:
  // `geometry` reaches the window system and must outlive the anchor.
  explicit ControlAnchor(WindowGeometry* geometry) : geometry_(geometry) {}
  virtual ~ControlAnchor() = default;
  // Copies every record with its options and rectangle.
  ControlAnchor(const ControlAnchor&) = default;
  ControlAnchor& operator=(const ControlAnchor&) = default;

  // With a handle, `SetParentWindow(parent)`; in every case `ClearControls()`.
  virtual void Init(std::optional<WindowHandle> parent = std::nullopt);
  // Stores the parent and remembers its client rectangle; the records stay.
  virtual void SetParentWindow(WindowHandle parent);
  virtual WindowHandle GetParentWindow() const { return parent_; }
  // Registers `control` measured now (`ControlRect`) with a copy of `options`. A control
  // added again keeps its place in the list with the new options and rectangle.
  virtual void AddControl(WindowHandle control, const AnchorOptions& options);
  // `AddControl` with each omitted value defaulted (anchors 1, minimums 0); a value given,
  // 0 included, is used as it is.
  virtual void AnchorControl(WindowHandle control, std::optional<std::int32_t> anchor_left = {},
                             std::optional<std::int32_t> anchor_top = {},
                             std::optional<std::int32_t> anchor_right = {},
                             std::optional<std::int32_t> anchor_bottom = {},
                             std::optional<std::int32_t> min_width = {},
                             std::optional<std::int32_t> min_height = {});
  // Empties the list; the parent and its reference rectangle stay.
  virtual void ClearControls();
  // False when `control` is not registered; the others keep their order.
  virtual bool RemoveControl(WindowHandle control);
  // Moves every control for the parent's current size, one move each, in list order.
  // False, moving nothing, without a parent.
  virtual bool Reflow();
  // `control`'s rectangle in the parent's client coordinates, through `AdjustRect`.
  virtual Rect ControlRect(WindowHandle control) const;
  virtual Rect AdjustRect(Rect rect) const { return rect; }
  virtual Rect ShiftRect(Rect rect, std::int32_t dx, std::int32_t dy) const;
  virtual std::int32_t RectWidth(const Rect& rect) const { return rect.right - rect.left; }
  virtual std::int32_t RectHeight(const Rect& rect) const { return rect.bottom - rect.top; }
  // The 1-based position of `control`'s record, 0 when there is none.
  virtual int FindControl(WindowHandle control) const;

  const std::vector<AnchoredControl>& controls() const { return controls_; }
  const Rect& reference_client_rect() const { return reference_client_; }

 private:
  WindowGeometry* geometry_;
  WindowHandle parent_ = 0;
  Rect reference_client_;
  std::vector<AnchoredControl> controls_;
};

}  // namespace lanzhou

#endif  // LANZHOU_APP_CONTROL_ANCHOR_H_
