#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "core/compose/FrameInteraction.h"

namespace quillet {
namespace {

TEST(HitTestFrame, FindsBandsCornersAndInside) {
  const Rect frame{100, 100, 300, 200};
  struct Case {
    const char* where;
    Point point;
    FrameHit hit;
    FrameCursorKind cursor;
  } cases[] = {
      {"1 inside the left edge", {101, 150}, FrameHit::Left, FrameCursorKind::SizeWe},
      {"on the left edge", {100, 150}, FrameHit::Left, FrameCursorKind::SizeWe},
      {"2 outside the left edge", {98, 150}, FrameHit::Left, FrameCursorKind::SizeWe},
      {"3 inside the left edge", {103, 150}, FrameHit::Inside, FrameCursorKind::HandFlat},
      {"3 outside the left edge", {97, 150}, FrameHit::None, FrameCursorKind::Arrow},
      {"5 right of the top-left corner", {105, 100}, FrameHit::TopLeft, FrameCursorKind::SizeNwse},
      {"9 right of the top-left corner", {109, 100}, FrameHit::Top, FrameCursorKind::SizeNs},
      {"5 left of the top-right corner", {295, 100}, FrameHit::TopRight, FrameCursorKind::SizeNesw},
      {"9 left of the top-right corner", {291, 100}, FrameHit::Top, FrameCursorKind::SizeNs},
      {"near the bottom-left corner", {101, 195}, FrameHit::BottomLeft, FrameCursorKind::SizeNesw},
      {"near the bottom-right corner",
       {299, 199},
       FrameHit::BottomRight,
       FrameCursorKind::SizeNwse},
      {"on the right edge", {301, 150}, FrameHit::Right, FrameCursorKind::SizeWe},
      {"2 beyond the right edge", {302, 150}, FrameHit::None, FrameCursorKind::Arrow},
      {"on the bottom edge", {200, 201}, FrameHit::Bottom, FrameCursorKind::SizeNs},
      {"2 below the bottom edge", {200, 202}, FrameHit::None, FrameCursorKind::Arrow},
      {"the middle", {200, 150}, FrameHit::Inside, FrameCursorKind::HandFlat},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HitTestFrame(c.point.x, c.point.y, frame), c.hit) << c.where;
    EXPECT_EQ(FrameCursor(c.point.x, c.point.y, frame), c.cursor) << c.where;
  }
}

// Space and view 200 × 200, fit kind Bigger (the whole space), keep on.
DragBounds SquareBounds(bool keep = true) {
  return DragBounds{Rect{0, 0, 200, 200}, keep, Size{200, 200}, Size{200, 200}};
}

TEST(DragStep, FollowsTheRuleOfWhatWasGrabbed) {
  struct Case {
    const char* name;
    FrameHit kind;
    Rect start;
    Point from, to;
    DragBounds bounds;
    Rect result;
  } cases[] = {
      {"move stops at the space's border",
       FrameHit::Inside,
       {50, 50, 150, 150},
       {100, 100},
       {300, 100},
       SquareBounds(),
       {100, 50, 200, 150}},
      {"move stops at the top-left",
       FrameHit::Inside,
       {50, 50, 150, 150},
       {100, 100},
       {-500, -500},
       SquareBounds(),
       {0, 0, 100, 100}},
      {"a frame as large as its fit rectangle cannot move",
       FrameHit::Inside,
       {0, 0, 200, 200},
       {100, 100},
       {130, 130},
       SquareBounds(),
       {0, 0, 200, 200}},
      {"a cropping fit rectangle confines the move",
       FrameHit::Inside,
       {50, 50, 150, 150},
       {100, 100},
       {140, 90},
       DragBounds{{50, 50, 150, 150}, true, {200, 200}, {200, 200}},
       {50, 50, 150, 150}},
      {"right edge stops at 16 pixels",
       FrameHit::Right,
       {50, 50, 150, 150},
       {150, 100},
       {0, 100},
       SquareBounds(false),
       {50, 50, 66, 150}},
      {"right edge with proportions stops at 16 × 16",
       FrameHit::Right,
       {50, 50, 150, 150},
       {150, 100},
       {0, 100},
       SquareBounds(),
       {50, 50, 66, 66}},
      {"bottom edge alone",
       FrameHit::Bottom,
       {50, 50, 150, 150},
       {100, 150},
       {100, 170},
       SquareBounds(false),
       {50, 50, 150, 170}},
      {"bottom edge stops at the space",
       FrameHit::Bottom,
       {50, 50, 150, 150},
       {100, 150},
       {100, 900},
       SquareBounds(false),
       {50, 50, 150, 200}},
      {"left edge with proportions",
       FrameHit::Left,
       {50, 50, 150, 150},
       {50, 100},
       {-100, 100},
       SquareBounds(),
       {0, 0, 150, 150}},
      {"left edge: the top edge's clamp wins",
       FrameHit::Left,
       {50, 20, 150, 120},
       {50, 70},
       {-100, 70},
       SquareBounds(),
       {30, 0, 150, 120}},
      {"top edge with proportions",
       FrameHit::Top,
       {50, 50, 150, 150},
       {100, 50},
       {100, 30},
       SquareBounds(),
       {30, 30, 150, 150}},
      {"bottom-right corner clamps to the space",
       FrameHit::BottomRight,
       {50, 50, 100, 100},
       {100, 100},
       {900, 400},
       SquareBounds(),
       {50, 50, 200, 200}},
      {"bottom-right corner: the larger motion wins",
       FrameHit::BottomRight,
       {50, 50, 100, 100},
       {100, 100},
       {110, 130},
       SquareBounds(),
       {50, 50, 130, 130}},
      {"top-left corner without proportions",
       FrameHit::TopLeft,
       {50, 50, 150, 150},
       {50, 50},
       {40, 20},
       SquareBounds(false),
       {40, 20, 150, 150}},
      {"top-left corner shrinks to 16",
       FrameHit::TopLeft,
       {50, 50, 150, 150},
       {50, 50},
       {400, 400},
       SquareBounds(),
       {134, 134, 150, 150}},
      {"bottom-left corner",
       FrameHit::BottomLeft,
       {50, 50, 150, 150},
       {50, 150},
       {30, 160},
       SquareBounds(),
       {30, 50, 150, 170}},
      {"nothing grabbed",
       FrameHit::None,
       {50, 50, 150, 150},
       {10, 10},
       {90, 90},
       SquareBounds(),
       {50, 50, 150, 150}},
      {"a view without pixels",
       FrameHit::Inside,
       {50, 50, 150, 150},
       {100, 100},
       {120, 120},
       DragBounds{{0, 0, 200, 200}, true, {200, 200}, {0, 0}},
       {50, 50, 150, 150}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DragStep(c.kind, c.start, c.from, c.to, c.bounds), c.result) << c.name;
}

TEST(DragStep, ViewPixelsAreScaledToSpacePixels) {
  // The view at half the space's scale: 10 view pixels move the frame by 20.
  DragBounds half{Rect{0, 0, 400, 400}, true, Size{400, 400}, Size{200, 200}};
  EXPECT_EQ(DragStep(FrameHit::Inside, {100, 100, 200, 200}, {75, 75}, {85, 75}, half),
            (Rect{120, 100, 220, 200}));
  EXPECT_EQ(DragStep(FrameHit::Right, {100, 100, 200, 200}, {100, 75}, {110, 75}, half),
            (Rect{100, 100, 220, 220}));
}

TEST(DragStep, TopRightCornerWithProportionsNeverJumpsLarger) {
  // A space twice as wide as high and a frame of the same proportions.
  DragBounds wide{Rect{0, 0, 200, 100}, true, Size{200, 100}, Size{200, 100}};
  const Rect start{0, 0, 200, 100};
  std::int32_t lastWidth = start.Width();
  for (int step = 0; step <= 120; ++step) {
    Point to{200 - 10 * step, 10 * step};
    Rect frame = DragStep(FrameHit::TopRight, start, {200, 0}, to, wide);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.bottom, 100);
    EXPECT_LE(frame.Width(), lastWidth) << "step " << step;
    lastWidth = frame.Width();
  }
  EXPECT_EQ(DragStep(FrameHit::TopRight, start, {200, 0}, {-1000, 1000}, wide),
            (Rect{0, 84, 32, 100}));
}

// The colours along a row or column of the canvas: 'B' black, 'W' white.
std::string Row(const Bitmap& canvas, int y, int from, int to) {
  std::string colours;
  for (int x = from; x < to; ++x)
    colours += canvas.Pixel(x, y) == kBlack ? 'B' : 'W';
  return colours;
}

std::string Column(const Bitmap& canvas, int x, int from, int to) {
  std::string colours;
  for (int y = from; y < to; ++y)
    colours += canvas.Pixel(x, y) == kBlack ? 'B' : 'W';
  return colours;
}

// --- arrow keys -------------------------------------------------------------

TEST(NudgeFrame, MovesByKeysUpToTheFitRectanglesBorder) {
  // A 400 × 200 space whose fit rectangle (Smaller) is its middle square.
  const DragBounds bounds{Rect{100, 0, 300, 200}, true, Size{400, 200}, Size{100, 50}};
  const Rect frame{150, 50, 250, 150};
  struct Case {
    const char* what;
    std::int32_t dx, dy;
    Rect moved;
  } cases[] = {
      {"one to the right", 1, 0, {151, 50, 251, 150}},
      {"ten up", 0, -10, {150, 40, 250, 140}},
      {"onto the left border", -50, 0, {100, 50, 200, 150}},
      {"past the left border stops on it", -51, 0, {100, 50, 200, 150}},
      {"past the bottom border stops on it", 0, 60, {150, 100, 250, 200}},
      {"both at once", -10, 10, {140, 60, 240, 160}},
      {"nothing", 0, 0, frame},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NudgeFrame(FrameNudge::Move, frame, c.dx, c.dy, bounds), c.moved) << c.what;

  // On the border a step outwards does nothing; the view's scale does not matter.
  const Rect onBorder{200, 100, 300, 200};
  EXPECT_EQ(NudgeFrame(FrameNudge::Move, onBorder, 1, 0, bounds), onBorder);
  EXPECT_EQ(NudgeFrame(FrameNudge::Move, onBorder, 0, 1, bounds), onBorder);
  EXPECT_EQ(NudgeFrame(FrameNudge::Move, onBorder, -1, -1, bounds), (Rect{199, 99, 299, 199}));
  // A frame as large as its fit rectangle cannot move at all.
  const Rect whole = bounds.fitRect;
  for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -10}})
    EXPECT_EQ(NudgeFrame(FrameNudge::Move, whole, dx, dy, bounds), whole);
}

TEST(NudgeFrame, IsTheDragOfTheInsideOrTheCornerBySpacePixels) {
  // Without keep proportions a key is a drag of that many space pixels.
  const DragBounds fitted{Rect{0, 20, 300, 180}, false, Size{300, 200}, Size{300, 200}};
  const Rect frames[] = {{0, 20, 300, 180},
                         {10, 30, 60, 90},
                         {284, 164, 300, 180},
                         {0, 20, 16, 36},
                         {100, 50, 220, 170}};
  for (const Rect& frame : frames)
    for (std::int32_t dx : {-40, -10, -1, 0, 1, 10, 40})
      for (std::int32_t dy : {-40, -10, -1, 0, 1, 10, 40}) {
        EXPECT_EQ(NudgeFrame(FrameNudge::Move, frame, dx, dy, fitted),
                  DragStep(FrameHit::Inside, frame, {0, 0}, {dx, dy}, fitted))
            << frame.left << "," << frame.top << " by " << dx << "," << dy;
        EXPECT_EQ(NudgeFrame(FrameNudge::Resize, frame, dx, dy, fitted),
                  DragStep(FrameHit::BottomRight, frame, {0, 0}, {dx, dy}, fitted))
            << frame.left << "," << frame.top << " by " << dx << "," << dy;
      }
}

TEST(NudgeFrame, ResizesWithinTheBorderAndNeverBelowSixteen) {
  const DragBounds free{Rect{0, 0, 200, 200}, false, Size{200, 200}, Size{200, 200}};
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, Rect{100, 100, 200, 150}, 1, 0, free),
            (Rect{100, 100, 200, 150}));
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, Rect{100, 100, 200, 150}, 0, 10, free),
            (Rect{100, 100, 200, 160}));
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, Rect{100, 100, 116, 150}, -1, 0, free),
            (Rect{100, 100, 116, 150}));
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, Rect{100, 100, 120, 150}, -10, 0, free),
            (Rect{100, 100, 116, 150}));
}

TEST(NudgeFrame, ResizingWithProportionsDoesNotDriftStepByStep) {
  // A space twice as wide as high; the frame fills it.
  const DragBounds wide{Rect{0, 0, 400, 200}, true, Size{400, 200}, Size{200, 100}};
  Rect frame = wide.fitRect;
  // Growing beyond the border does nothing.
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, frame, 1, 0, wide), frame);
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, frame, 0, 1, wide), frame);
  // Ten steps of one pixel are one step of ten.
  for (int i = 0; i < 10; ++i)
    frame = NudgeFrame(FrameNudge::Resize, frame, -1, 0, wide);
  EXPECT_EQ(frame, (Rect{0, 0, 390, 195}));
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, wide.fitRect, -10, 0, wide), frame);
  for (int i = 0; i < 5; ++i)
    frame = NudgeFrame(FrameNudge::Resize, frame, 0, -1, wide);
  EXPECT_EQ(frame, (Rect{0, 0, 380, 190}));
  // Back to the border and no further, in the space's proportions all along.
  for (int i = 0; i < 30; ++i) {
    frame = NudgeFrame(FrameNudge::Resize, frame, 1, 0, wide);
    EXPECT_EQ(frame.Height(), frame.Width() / 2) << i;
  }
  EXPECT_EQ(frame, wide.fitRect);
  // Down to the smallest frame of these proportions, 32 × 16, and no further.
  for (int i = 0; i < 400; ++i)
    frame = NudgeFrame(FrameNudge::Resize, frame, -1, 0, wide);
  EXPECT_EQ(frame, (Rect{0, 0, 32, 16}));
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, frame, 0, -1, wide), frame);
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, frame, -10, 0, wide), frame);
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, frame, 0, 1, wide), (Rect{0, 0, 34, 17}));
}

TEST(NudgeFrame, ResizingWithProportionsStopsAtTheCoupledBorder) {
  // A tall space; the frame's bottom lies on the fit rectangle's border, so
  // widening, which would lower the bottom, does nothing.
  const DragBounds tall{Rect{0, 0, 100, 300}, true, Size{100, 300}, Size{100, 300}};
  const Rect low{50, 150, 100, 300};
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, low, 1, 0, tall), low);
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, Rect{0, 0, 50, 150}, 0, 30, tall),
            (Rect{0, 0, 60, 180}));
  // Only 5 pixels of room to the right: a step of 30 down grows by what fits.
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, Rect{45, 0, 95, 150}, 0, 30, tall),
            (Rect{45, 0, 100, 165}));
  // A wide space whose 16-pixel height needs 64 pixels of width: a frame
  // narrower than that (a hand-edited one) is never made wider by shrinking.
  const DragBounds wider{Rect{0, 0, 400, 100}, true, Size{400, 100}, Size{400, 100}};
  const Rect odd{0, 0, 40, 20};
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, odd, -1, 0, wider), odd);
  EXPECT_EQ(NudgeFrame(FrameNudge::Resize, odd, 0, -1, wider), odd);
}

TEST(MarchingAnts, DashesRunFromTheTopLeftCornerAndContinueRoundTheCorners) {
  Bitmap canvas(16, 12, MakeColor(1, 2, 3));
  DrawAntsFrame(canvas, Rect{2, 2, 12, 10}, 1, kBlack);  // 10 × 8
  EXPECT_EQ(Row(canvas, 2, 2, 12), "BWWWWBBBBW");
  EXPECT_EQ(Column(canvas, 11, 2, 10), "WWWBBBBW");
  EXPECT_EQ(Column(canvas, 2, 2, 10), "BWWWWBBB");
  EXPECT_EQ(Row(canvas, 9, 2, 12), "BWWWWBBBBW");
  // Only the frame's own pixels change.
  EXPECT_EQ(canvas.Pixel(1, 2), MakeColor(1, 2, 3));
  EXPECT_EQ(canvas.Pixel(5, 5), MakeColor(1, 2, 3));
  EXPECT_EQ(canvas.Pixel(12, 9), MakeColor(1, 2, 3));
}

TEST(MarchingAnts, EachAdvanceMovesThePatternOnePixel) {
  // The last pixel is the top-right corner, which the right column paints
  // last: when a dash ends exactly there, the column's next dash takes it.
  const char* expectedTopRow[] = {
      "BWWWWBBBBW",  // start: phase 1, black
      "BBWWWWBBBW", "BBBWWWWBBB", "BBBBWWWWBB",
      "WBBBBWWWWB",  // fourth advance: 1 pixel of the other colour
      "WWBBBBWWWB",
  };
  std::int32_t phase = 1;
  Color color = kBlack;
  for (int advances = 0; advances <= 5; ++advances) {
    Bitmap canvas(12, 12);
    DrawAntsFrame(canvas, Rect{0, 0, 10, 10}, phase, color);
    EXPECT_EQ(Row(canvas, 0, 0, 10), expectedTopRow[advances]) << advances << " advances";
    AdvanceAnts(phase, color);
  }
  EXPECT_EQ(phase, 3);
  EXPECT_EQ(color, kWhite);
}

TEST(MarchingAnts, AFrameReachingOffTheCanvasIsClipped) {
  Bitmap canvas(10, 10);
  DrawAntsFrame(canvas, Rect{-5, -5, 5, 20}, 1, kBlack);
  EXPECT_EQ(Column(canvas, 4, 0, 10), "BBWWWWBBBB");
  DrawAntsFrame(canvas, Rect{3, 3, 3, 9}, 1, kBlack);  // no width: nothing drawn
  EXPECT_EQ(canvas.Pixel(3, 5), kWhite);
}

}  // namespace
}  // namespace quillet
