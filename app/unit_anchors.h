// How the units follow the window's size: one row per unit that moves or grows with it
// (app/control_anchor.h), page by page. A unit without a row keeps its place at the top left.
//
// The rule of the rows: text boxes and grids grow with the window, buttons and labels keep
// their distance to the nearest edges, a unit that describes another moves with it, the
// banner spans the width and the footer links stay at the bottom. Where two boxes share a
// page's height or width, each takes half of what the window gains.
#ifndef LANZHOU_APP_UNIT_ANCHORS_H_
#define LANZHOU_APP_UNIT_ANCHORS_H_

#include <span>

#include "app/control_anchor.h"
#include "ui/units.h"

namespace lanzhou {

struct UnitAnchor {
  Unit unit;
  AnchorOptions options;
};

// In the order the window registers them: the tab control, the reorder grid and its row-count
// label first, as the window has always anchored them.
std::span<const UnitAnchor> UnitAnchors();

}  // namespace lanzhou

#endif  // LANZHOU_APP_UNIT_ANCHORS_H_
