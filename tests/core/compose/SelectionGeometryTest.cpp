#include <gtest/gtest.h>

#include "core/compose/SelectionGeometry.h"

namespace quillet {
namespace {

TEST(SelectionSpace, IsTheSmallestRectangleOfTheLogosProportionsHoldingThePicture) {
  struct Case {
    Size picture, logo, space;
    Point offset;
  } cases[] = {
      {{200, 100}, {128, 128}, {200, 200}, {0, 50}},
      {{100, 200}, {128, 128}, {200, 200}, {50, 0}},
      {{101, 50}, {16, 16}, {101, 101}, {0, 25}},
      {{320, 240}, {160, 120}, {320, 240}, {0, 0}},
      {{200, 100}, {128, 160}, {200, 250}, {0, 75}},
      {{100, 100}, {400, 16}, {2500, 100}, {1200, 0}},
  };
  for (const auto& c : cases) {
    Size space = SelectionSpaceOf(c.picture, c.logo);
    EXPECT_EQ(space, c.space) << c.picture.width << "x" << c.picture.height;
    EXPECT_EQ(PictureOffsetIn(space, c.picture), c.offset) << c.picture.width;
  }
}

TEST(SelectionSpace, TallPicturesWithExtremeLogosDoNotOverflow) {
  // 16 × 100 000 000 with a 400 × 16 logo: the product needs more than 32 bits.
  Size space = SelectionSpaceOf({16, 100'000'000}, {400, 16});
  EXPECT_EQ(space.width, 2'147'483'647);  // saturated, not wrapped to a negative width
  EXPECT_EQ(space.height, 100'000'000);
}

TEST(InitialFrame, EachFitKindGivesItsShapeCentredInTheSpace) {
  struct Case {
    Size picture;
    FitKind fit;
    Rect frame;
  } cases[] = {
      {{200, 100}, FitKind::Bigger, {0, 0, 200, 200}},
      {{200, 100}, FitKind::Smaller, {50, 50, 150, 150}},
      {{200, 100}, FitKind::Height, {50, 50, 150, 150}},
      {{200, 100}, FitKind::Width, {0, 0, 200, 200}},
      {{100, 200}, FitKind::Width, {50, 50, 150, 150}},
      {{100, 200}, FitKind::Smaller, {50, 50, 150, 150}},
      {{100, 200}, FitKind::Height, {0, 0, 200, 200}},
      {{100, 200}, FitKind::Bigger, {0, 0, 200, 200}},
      {{128, 128}, FitKind::Width, {0, 0, 128, 128}},
      {{128, 128}, FitKind::Height, {0, 0, 128, 128}},
      {{128, 128}, FitKind::Smaller, {0, 0, 128, 128}},
      {{128, 128}, FitKind::Bigger, {0, 0, 128, 128}},
      // An unknown stored value behaves as Bigger.
      {{200, 100}, static_cast<FitKind>(7), {0, 0, 200, 200}},
  };
  for (const auto& c : cases) {
    Size space = SelectionSpaceOf(c.picture, {128, 128});
    EXPECT_EQ(FitRectOf(c.fit, c.picture, space), c.frame)
        << c.picture.width << "x" << c.picture.height << " fit " << static_cast<int>(c.fit);
  }
}

TEST(InitialFrame, SmallerIsACropOfThePicture) {
  Size picture{200, 100};
  Size space = SelectionSpaceOf(picture, {128, 128});
  Rect frame = FitRectOf(FitKind::Smaller, picture, space);
  EXPECT_EQ(SpaceToPicture(frame, PictureOffsetIn(space, picture)), (Rect{50, 0, 150, 100}));
}

TEST(InitialFrame, NodeFramesAreUnsetByTheirLeftEdgeAlone) {
  TLogoDirObject logo;
  EXPECT_TRUE(FrameIsUnset(logo));
  StoreFrame(logo, Rect{10, 20, 110, 70});
  EXPECT_EQ(logo.framewidth, 100);
  EXPECT_EQ(logo.frameheight, 50);
  EXPECT_EQ(FrameOf(logo), (Rect{10, 20, 110, 70}));
  logo.frameleft = -1;
  EXPECT_TRUE(FrameIsUnset(logo));
  ResetFrame(logo);
  EXPECT_EQ(FrameOf(logo), (Rect{-1, -1, -2, -2}));
}

TEST(InitialFrame, HandEditedExtremeFramesStayWithin32Bits) {
  TLogoDirObject logo;
  logo.frameleft = logo.frametop = logo.framewidth = logo.frameheight = 2'000'000'000;
  Rect frame = FrameOf(logo);
  EXPECT_GE(frame.Width(), 0);
  EXPECT_FALSE(OverlapsPicture(SpaceToPicture(frame, {10, 10}), {100, 100}));
  logo.frameleft = logo.frametop = -2'000'000'000;
  frame = FrameOf(logo);
  EXPECT_EQ(frame.right, 0);
  EXPECT_FALSE(OverlapsPicture(SpaceToPicture(frame, {10, 10}), {100, 100}));
  logo.framewidth = logo.frameheight = 2'147'483'647;  // reaches over the picture
  EXPECT_TRUE(OverlapsPicture(SpaceToPicture(FrameOf(logo), {10, 10}), {100, 100}));
}

TEST(OverlapsPicture, NeedsAtLeastOneSharedPixel) {
  Size picture{100, 200};
  struct Case {
    Rect rect;
    bool overlaps;
  } cases[] = {
      {{-50, 0, 0, 50}, false},     // right edge on the picture's left edge
      {{-50, 0, 1, 50}, true},      // one column shared
      {{100, 0, 150, 50}, false},   // left edge on the picture's right edge
      {{99, 199, 150, 250}, true},  // the bottom-right pixel
      {{0, -10, 100, 0}, false},    // above
      {{0, 200, 100, 210}, false},  // below
      {{10, 10, 10, 50}, false},    // no width
      {{10, 50, 20, 40}, false},    // negative height
      {{-10, -10, 500, 500}, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(OverlapsPicture(c.rect, picture), c.overlaps)
        << c.rect.left << "," << c.rect.top << "," << c.rect.right << "," << c.rect.bottom;
}

TEST(NearestEven, RoundsHalvesToTheEvenNeighbour) {
  struct Case {
    double value;
    int nearest;
  } cases[] = {{0.5, 0},  {1.5, 2},   {2.5, 2},    {3.5, 4},
               {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {42.666, 43}};
  for (const auto& c : cases)
    EXPECT_EQ(NearestEven(c.value), c.nearest) << c.value;
}

TEST(ClipToPicture, PlacesThePicturesPartCentredInTheLogo) {
  struct Case {
    const char* name;
    Size picture;
    Rect src;
    bool keep;
    Rect clippedSrc;
    Rect dest;
  } cases[] = {
      {"letter-box, keep",
       {200, 100},
       {0, -50, 200, 150},
       true,
       {0, 0, 200, 100},
       {0, 32, 128, 96}},
      {"corner of the space, keep",
       {200, 100},
       {0, -50, 100, 50},
       true,
       {0, 0, 100, 50},
       {0, 32, 128, 96}},
      {"inside, keep", {200, 200}, {10, 10, 110, 110}, true, {10, 10, 110, 110}, {0, 0, 128, 128}},
      {"wide part, free",
       {200, 100},
       {25, 25, 175, 75},
       false,
       {25, 25, 175, 75},
       {0, 42, 128, 85}},
      {"beyond the left, free",
       {200, 100},
       {-50, 0, 150, 100},
       false,
       {0, 0, 150, 100},
       {0, 21, 128, 106}},
      {"tall part, free", {200, 200}, {0, 0, 50, 200}, false, {0, 0, 50, 200}, {48, 0, 80, 128}},
      // 5 × 0.5 = 2.5 is rounded to 2, so 126 columns remain, centred at 1.
      {"half to even, keep",
       {256, 256},
       {-5, 0, 251, 256},
       true,
       {0, 0, 251, 256},
       {1, 0, 127, 128}},
      {"beyond right and bottom, keep",
       {100, 100},
       {50, 50, 150, 150},
       true,
       {50, 50, 100, 100},
       {32, 32, 96, 96}},
  };
  for (const auto& c : cases) {
    Rect src = c.src;
    Rect dest{0, 0, 128, 128};
    ClipToPicture(src, dest, c.picture, c.keep);
    EXPECT_EQ(src, c.clippedSrc) << c.name;
    EXPECT_EQ(dest, c.dest) << c.name;
  }
}

TEST(ClipToPicture, CentresInANonSquareLogo) {
  Rect src{0, -50, 200, 150};
  Rect dest{0, 0, 101, 80};
  ClipToPicture(src, dest, {200, 100}, true);
  // fx = 0.505, fy = 0.4: 20 rows cut at the top and the bottom, then centred.
  EXPECT_EQ(dest, (Rect{0, 20, 101, 60}));
}

TEST(ViewLayout, FitsTheSpaceIntoThePaneOnlyWhenAsked) {
  struct Case {
    const char* name;
    Size space, picture, pane;
    bool fit;
    Size view;
    Rect picturePlace;
    bool scaled;
  } cases[] = {
      {"fit, both too large",
       {1000, 1000},
       {1000, 500},
       {500, 300},
       true,
       {300, 300},
       {0, 75, 300, 225},
       true},
      {"no fit",
       {1000, 1000},
       {1000, 500},
       {500, 300},
       false,
       {1000, 1000},
       {0, 250, 1000, 750},
       false},
      {"fit, only the height too large",
       {400, 1000},
       {400, 1000},
       {500, 300},
       true,
       {120, 300},
       {0, 0, 120, 300},
       true},
      {"fit, only the width too large",
       {1000, 500},
       {1000, 300},
       {500, 400},
       true,
       {500, 250},
       {0, 50, 500, 200},
       true},
      {"fit, space smaller than the pane",
       {200, 200},
       {200, 100},
       {500, 300},
       true,
       {200, 200},
       {0, 50, 200, 150},
       false},
  };
  for (const auto& c : cases) {
    ViewLayout layout = LayoutView(c.space, c.picture, c.pane, c.fit);
    EXPECT_EQ(layout.view, c.view) << c.name;
    EXPECT_EQ(layout.picture, c.picturePlace) << c.name;
    EXPECT_EQ(layout.scaled, c.scaled) << c.name;
  }
}

TEST(ViewLayout, AnEmptyPaneStillGivesAView) {
  ViewLayout layout = LayoutView({1000, 1000}, {1000, 1000}, {0, 0}, true);
  EXPECT_GE(layout.view.width, 1);
  EXPECT_GE(layout.view.height, 1);
}

TEST(ViewMaps, DrawingScalesEachAxisAndHitTestingUsesTheHorizontalRatio) {
  Rect frame{100, 200, 600, 700};
  Size space{1000, 1000};
  EXPECT_EQ(FrameToViewForDrawing(frame, space, {300, 300}), (Rect{30, 60, 180, 210}));
  EXPECT_EQ(FrameToViewForHitTest(frame, space, {300, 300}, true), (Rect{30, 60, 180, 210}));
  EXPECT_EQ(FrameToViewForHitTest(frame, space, {1000, 1000}, false), frame);

  // A view whose vertical ratio lost a pixel to rounding.
  Rect whole{0, 0, 1000, 500};
  EXPECT_EQ(FrameToViewForDrawing(whole, {1000, 500}, {300, 149}), (Rect{0, 0, 300, 149}));
  EXPECT_EQ(FrameToViewForHitTest(whole, {1000, 500}, {300, 149}, true), (Rect{0, 0, 300, 150}));
  // Drawing maps width and height, hit testing the right and bottom edges.
  EXPECT_EQ(FrameToViewForDrawing({1, 1, 3, 3}, {3, 3}, {2, 2}), (Rect{0, 0, 1, 1}));
  EXPECT_EQ(FrameToViewForHitTest({1, 1, 3, 3}, {3, 3}, {2, 2}, true), (Rect{0, 0, 2, 2}));
}

}  // namespace
}  // namespace quillet
