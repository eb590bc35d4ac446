#include "app/control_anchor.h"

#include <gtest/gtest.h>

#include "tests/support/plain_geometry.h"

namespace lanzhou {
namespace {

constexpr WindowHandle kScreen = 0;
constexpr WindowHandle kParent = 1;
constexpr WindowHandle kControl = 2;
constexpr WindowHandle kOther = 3;

// A parent of 600 x 400 at (50, 30) on the screen with a control at (100, 50, 200 x 100).
class ControlAnchorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    geometry_.AddWindow(kParent, kScreen, Rect{50, 30, 650, 430});
    geometry_.AddWindow(kControl, kParent, Rect{100, 50, 300, 150});
    geometry_.AddWindow(kOther, kParent, Rect{10, 10, 60, 30});
  }
  Rect ResizeAndReflow(int width, int height) {
    geometry_.Resize(kParent, width, height);
    EXPECT_TRUE(anchor_.Reflow());
    return geometry_.Bounds(kControl);
  }

  PlainGeometry geometry_;
  ControlAnchor anchor_{&geometry_};
};

TEST_F(ControlAnchorTest, EachAxisFollowsItsAnchors) {
  struct Case {
    AnchorOptions options;
    Rect grown;  // after the parent grew by 100 x 50
  };
  const Case cases[] = {
      {{1, 1, 0, 0, 0, 0}, Rect{100, 50, 300, 150}},    // near edges only: stays
      {{0, 0, 1, 1, 0, 0}, Rect{200, 100, 400, 200}},   // far edges only: moves
      {{1, 1, 1, 1, 0, 0}, Rect{100, 50, 400, 200}},    // both: grows
      {{0, 0, 0, 0, 0, 0}, Rect{100, 50, 300, 150}},    // neither: stays
      {{1, 0, 1, 0, 0, 0}, Rect{100, 50, 400, 150}},    // horizontal only
      {{-7, 1, 2, 0, 0, 0}, Rect{100, 50, 400, 150}},   // any nonzero counts as set
      {{0, 1, 1, 1, -5, -5}, Rect{200, 50, 400, 200}},  // negative minimums never apply
      // A share replaces its axis's anchors: the upper and the lower half of a growth.
      {{0, 0, 0, 0, 0, 0, {}, {0, 50}}, Rect{100, 50, 300, 175}},
      {{1, 1, 1, 1, 0, 0, {50, 100}, {50, 100}}, Rect{150, 75, 400, 200}},
      {{1, 1, 1, 1, 0, 0, {30, 30}, {}}, Rect{130, 50, 330, 200}},
  };
  for (const Case& c : cases) {
    geometry_.AddWindow(kParent, kScreen, Rect{50, 30, 650, 430});
    geometry_.AddWindow(kControl, kParent, Rect{100, 50, 300, 150});
    anchor_.Init(kParent);
    anchor_.AddControl(kControl, c.options);
    EXPECT_EQ(ResizeAndReflow(700, 450), c.grown)
        << c.options.anchorLeft << c.options.anchorTop << c.options.anchorRight
        << c.options.anchorBottom;
  }
}

TEST_F(ControlAnchorTest, MinimumSizesMoveTheFarEdgeOnly) {
  anchor_.Init(kParent);
  anchor_.AnchorControl(kControl, 1, 1, 1, 1, 150, 80);
  EXPECT_EQ(ResizeAndReflow(500, 300), (Rect{100, 50, 250, 130}));
  // A minimum above the registered size applies at the registered size too.
  anchor_.AnchorControl(kControl, 0, 0, 0, 0, 250, 120);
  geometry_.MoveWindow(kControl, 100, 50, 200, 100, true);
  anchor_.AddControl(kControl, {0, 0, 0, 0, 250, 120});
  EXPECT_EQ(ResizeAndReflow(600, 400), (Rect{100, 50, 350, 170}));
}

TEST_F(ControlAnchorTest, ReturningToTheFirstSizeRestoresTheLayoutExactly) {
  anchor_.Init(kParent);
  anchor_.AnchorControl(kControl, 1, 1, 1, 1, 150, 80);
  anchor_.AnchorControl(kOther, 0, 1, 1, 0);
  for (auto [w, h] : {std::pair{900, 700}, {100, 50}, {601, 399}, {5000, 3}}) {
    ResizeAndReflow(w, h);
  }
  EXPECT_EQ(ResizeAndReflow(600, 400), (Rect{100, 50, 300, 150}));
  EXPECT_EQ(geometry_.Bounds(kOther), (Rect{10, 10, 60, 30}));
}

TEST_F(ControlAnchorTest, ReflowWithoutAParentMovesNothing) {
  anchor_.AddControl(kControl, {});
  EXPECT_FALSE(anchor_.Reflow());
  EXPECT_EQ(geometry_.move_calls(), 0);
  EXPECT_EQ(anchor_.GetParentWindow(), 0u);
}

TEST_F(ControlAnchorTest, OmittedValuesTakeDefaultsButAGivenZeroIsKept) {
  anchor_.Init(kParent);
  anchor_.AnchorControl(kControl);
  EXPECT_EQ(anchor_.controls()[0].options, (AnchorOptions{1, 1, 1, 1, 0, 0}));
  anchor_.AnchorControl(kControl, 0, std::nullopt, 0);
  EXPECT_EQ(anchor_.controls()[0].options, (AnchorOptions{0, 1, 0, 1, 0, 0}));
  anchor_.AnchorControl(kControl, 1, 0, 1, 0, 100, 20);
  EXPECT_EQ(anchor_.controls()[0].options, (AnchorOptions{1, 0, 1, 0, 100, 20}));
}

TEST_F(ControlAnchorTest, AddingAgainReplacesTheRecordInPlace) {
  anchor_.Init(kParent);
  anchor_.AnchorControl(kControl, 1, 1, 0, 0);
  anchor_.AnchorControl(kOther);
  geometry_.MoveWindow(kControl, 120, 60, 10, 10, true);
  anchor_.AnchorControl(kControl, 0, 0, 1, 1);
  ASSERT_EQ(anchor_.controls().size(), 2u);
  EXPECT_EQ(anchor_.FindControl(kControl), 1);
  EXPECT_EQ(anchor_.FindControl(kOther), 2);
  EXPECT_EQ(anchor_.controls()[0].reference, (Rect{120, 60, 130, 70}));
  EXPECT_EQ(anchor_.controls()[0].options, (AnchorOptions{0, 0, 1, 1, 0, 0}));
}

TEST_F(ControlAnchorTest, RemoveClearAndInitKeepWhatTheyShould) {
  anchor_.Init(kParent);
  anchor_.AnchorControl(kControl);
  anchor_.AnchorControl(kOther);
  EXPECT_FALSE(anchor_.RemoveControl(99));
  EXPECT_EQ(anchor_.controls().size(), 2u);
  EXPECT_TRUE(anchor_.RemoveControl(kControl));
  EXPECT_EQ(anchor_.FindControl(kOther), 1);
  EXPECT_EQ(anchor_.FindControl(kControl), 0);
  // Init without a handle empties the list and keeps the parent and its reference size.
  geometry_.Resize(kParent, 10, 10);
  anchor_.Init();
  EXPECT_TRUE(anchor_.controls().empty());
  EXPECT_EQ(anchor_.GetParentWindow(), kParent);
  EXPECT_EQ(anchor_.reference_client_rect(), (Rect{0, 0, 600, 400}));
}

TEST_F(ControlAnchorTest, ControlRectIsInTheParentsClientCoordinates) {
  constexpr WindowHandle kNested = 4;
  geometry_.AddWindow(kNested, kControl, Rect{5, 6, 25, 16});
  anchor_.Init(kParent);
  EXPECT_EQ(anchor_.ControlRect(kControl), (Rect{100, 50, 300, 150}));
  EXPECT_EQ(anchor_.ControlRect(kNested), (Rect{105, 56, 125, 66}));
  EXPECT_EQ(anchor_.ShiftRect(Rect{1, 2, 3, 4}, -1, 10), (Rect{0, 12, 2, 14}));
  EXPECT_EQ(anchor_.RectWidth(Rect{-5, 0, 5, 0}), 10);
  EXPECT_EQ(anchor_.RectHeight(Rect{0, 7, 0, 3}), -4);
}

TEST_F(ControlAnchorTest, CopiesAreDeep) {
  anchor_.Init(kParent);
  anchor_.AnchorControl(kControl, 1, 1, 1, 1);
  ControlAnchor copy = anchor_;
  anchor_.ClearControls();
  ASSERT_EQ(copy.controls().size(), 1u);
  geometry_.Resize(kParent, 700, 450);
  copy.Reflow();
  EXPECT_EQ(geometry_.Bounds(kControl), (Rect{100, 50, 400, 200}));
}

TEST_F(ControlAnchorTest, AControlThatIsGoneIsStillMovedSilently) {
  anchor_.Init(kParent);
  anchor_.AnchorControl(123456);
  EXPECT_TRUE(anchor_.Reflow());
  EXPECT_EQ(geometry_.move_calls(), 1);
  EXPECT_EQ(anchor_.FindControl(123456), 1);
}

}  // namespace
}  // namespace lanzhou
