#include "core/acquire/GrabRectangle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quillet {
namespace {

// One user action on the overlay.
struct Action {
  enum Kind { Press, Move, Release, Escape } kind;
  std::int32_t x = 0;
  std::int32_t y = 0;
};

Action Press(std::int32_t x, std::int32_t y) {
  return {Action::Press, x, y};
}
Action Move(std::int32_t x, std::int32_t y) {
  return {Action::Move, x, y};
}
Action Release() {
  return {Action::Release};
}
Action Escape() {
  return {Action::Escape};
}

GrabChange Apply(GrabSelection& selection, const Action& action) {
  switch (action.kind) {
    case Action::Press:
      return selection.Press(action.x, action.y);
    case Action::Move:
      return selection.Move(action.x, action.y);
    case Action::Release:
      return selection.Release();
    case Action::Escape:
      return selection.Escape();
  }
  return {};
}

struct DragCase {
  const char* name;
  std::vector<Action> actions;
  GrabRect rect;  // after the overlay closed
  GrabResult result;
  GrabVerdict verdict;
};

std::vector<DragCase> DragCases() {
  return {
      {"left to right grabs the columns 50 to 100",
       {Press(50, 50), Move(70, 60), Move(100, 100), Release()},
       {50, 50, 101, 101},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"right to left grabs the columns 51 to 99",
       {Press(100, 100), Move(50, 50), Release()},
       {51, 51, 100, 100},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"a click without a move is one pixel, too narrow",
       {Press(30, 40), Release()},
       {30, 40, 31, 41},
       GrabResult::Ok,
       GrabVerdict::TooNarrow},
      {"exactly 16 pixels each way is accepted",
       {Press(10, 10), Move(25, 25), Release()},
       {10, 10, 26, 26},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"15 pixels wide is refused",
       {Press(10, 10), Move(24, 40), Release()},
       {10, 10, 25, 41},
       GrabResult::Ok,
       GrabVerdict::TooNarrow},
      {"15 pixels high is refused by the height",
       {Press(10, 10), Move(40, 24), Release()},
       {10, 10, 41, 25},
       GrabResult::Ok,
       GrabVerdict::TooLow},
      {"both too small: the width is told",
       {Press(10, 10), Move(12, 12), Release()},
       {10, 10, 13, 13},
       GrabResult::Ok,
       GrabVerdict::TooNarrow},
      {"back from 25 to 10: the columns 11 to 24, refused",
       {Press(25, 25), Move(10, 10), Release()},
       {11, 11, 25, 25},
       GrabResult::Ok,
       GrabVerdict::TooNarrow},
      {"back from 27 to 10: the columns 11 to 26, accepted",
       {Press(27, 27), Move(10, 10), Release()},
       {11, 11, 27, 27},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"only the last move counts, not the release position",
       {Press(0, 0), Move(300, 300), Move(20, 30), Release()},
       {0, 0, 21, 31},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"moves before the press do nothing",
       {Move(5, 5), Move(400, 400), Press(100, 100), Move(131, 131), Release()},
       {100, 100, 132, 132},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"a release without a press chooses nothing",
       {Move(5, 5), Release()},
       {-1, -1, -1, -1},
       GrabResult::Ok,
       GrabVerdict::NothingChosen},
      {"Escape while dragging chooses nothing",
       {Press(10, 10), Move(100, 100), Escape()},
       {-1, -1, -1, -1},
       GrabResult::Cancel,
       GrabVerdict::NothingChosen},
      {"Escape before any press",
       {Escape()},
       {-1, -1, -1, -1},
       GrabResult::Cancel,
       GrabVerdict::NothingChosen},
      {"a second button pressed during a drag starts over",
       {Press(10, 10), Move(100, 100), Press(200, 200), Move(250, 220), Release()},
       {200, 200, 251, 221},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"a drag off the capture stops at its last column and row",
       {Press(600, 400), Move(900, 700), Release()},
       {600, 400, 640, 480},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"a drag off the capture's top left corner stops at its first column and row",
       {Press(40, 30), Move(-25, -1000), Release()},
       {1, 1, 40, 30},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"a press off the capture is taken at its edge",
       {Press(-5, 700), Move(20, 300), Release()},
       {0, 301, 21, 479},
       GrabResult::Ok,
       GrabVerdict::Accepted},
      {"nothing happens once the overlay has closed",
       {Press(10, 10), Move(40, 40), Release(), Press(0, 0), Move(300, 300), Escape()},
       {10, 10, 41, 41},
       GrabResult::Ok,
       GrabVerdict::Accepted},
  };
}

TEST(GrabSelection, DragsGiveTheirRectangleAndVerdict) {
  for (const DragCase& c : DragCases()) {
    SCOPED_TRACE(c.name);
    GrabSelection selection;
    selection.Show(640, 480);
    for (const Action& action : c.actions)
      Apply(selection, action);
    EXPECT_EQ(selection.Rectangle(), c.rect);
    ASSERT_TRUE(selection.Result().has_value());
    EXPECT_EQ(*selection.Result(), c.result);
    EXPECT_EQ(CheckGrabRectangle(selection.Rectangle()), c.verdict);
    EXPECT_FALSE(selection.Dragging());
    EXPECT_FALSE(selection.DrawnOutline().has_value());
  }
}

TEST(GrabSelection, ShowStartsAfresh) {
  GrabSelection selection;
  selection.Show(100, 100);
  EXPECT_EQ(selection.Rectangle(), GrabRect{});
  EXPECT_FALSE(selection.Result().has_value());
  selection.Press(10, 10);
  selection.Move(50, 50);
  selection.Release();
  selection.Show(100, 100);
  EXPECT_EQ(selection.Rectangle(), GrabRect{});
  EXPECT_FALSE(selection.Dragging());
  EXPECT_FALSE(selection.Result().has_value());
  EXPECT_FALSE(selection.DrawnOutline().has_value());
}

TEST(GrabSelection, ThePressDrawsAndEachMoveErasesBeforeDrawing) {
  GrabSelection selection;
  selection.Show(200, 200);
  GrabChange press = selection.Press(100, 100);
  EXPECT_FALSE(press.erase);
  ASSERT_TRUE(press.draw);
  EXPECT_EQ(*press.draw, (Rect{100, 100, 101, 101}));
  EXPECT_FALSE(press.close);

  GrabChange move = selection.Move(50, 60);
  ASSERT_TRUE(move.erase);
  EXPECT_EQ(*move.erase, (Rect{100, 100, 101, 101}));
  ASSERT_TRUE(move.draw);
  EXPECT_EQ(*move.draw, (Rect{51, 61, 100, 100}));
  EXPECT_EQ(selection.Covered(), (Rect{51, 61, 100, 100}));

  GrabChange release = selection.Release();
  ASSERT_TRUE(release.erase);
  EXPECT_EQ(*release.erase, (Rect{51, 61, 100, 100}));
  EXPECT_FALSE(release.draw);
  EXPECT_TRUE(release.close);
}

TEST(GrabSelection, AnEmptyCaptureTakesNoPress) {
  GrabSelection selection;
  selection.Show(0, 0);
  GrabChange press = selection.Press(0, 0);
  EXPECT_FALSE(press.draw);
  selection.Release();
  EXPECT_EQ(CheckGrabRectangle(selection.Rectangle()), GrabVerdict::NothingChosen);
}

// Whatever the user does, inverting the outlines as the overlay is told to
// leaves the picture as it was when the overlay closes.
TEST(GrabSelection, TheOutlinesCancelOutOnThePicture) {
  constexpr int kSide = 40;
  Bitmap original(kSide, kSide);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      original.SetPixel(
          x, y, MakeColor(static_cast<std::uint8_t>(x * 6), 77, static_cast<std::uint8_t>(y * 6)));
  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> position(-10, kSide + 10);
  for (int run = 0; run < 300; ++run) {
    Bitmap picture = original;
    auto invert = [&](const std::optional<Rect>& outline) {
      if (!outline) return;
      ForEachOutlinePixel(*outline, [&](std::int32_t x, std::int32_t y) {
        ASSERT_TRUE(x >= 0 && x < kSide && y >= 0 && y < kSide) << x << "," << y;
        picture.SetPixel(x, y, picture.Pixel(x, y) ^ 0xFFFFFF);
      });
    };
    GrabSelection selection;
    selection.Show(kSide, kSide);
    for (int step = 0; step < 30 && !selection.Result(); ++step) {
      const int k = kind(random);
      Action action = k < 2   ? Press(position(random), position(random))
                      : k < 8 ? Move(position(random), position(random))
                      : k < 9 ? Release()
                              : Escape();
      GrabChange change = Apply(selection, action);
      invert(change.erase);
      invert(change.draw);
    }
    GrabChange last = selection.Release();
    invert(last.erase);
    EXPECT_EQ(picture, original) << "run " << run;
  }
}

struct OutlineCase {
  const char* name;
  Rect covered;
  std::set<std::pair<int, int>> pixels;
};

TEST(GrabOutline, DotsEveryOtherBorderPixelOnce) {
  const std::vector<OutlineCase> cases = {
      {"one pixel at an even place", {4, 6, 5, 7}, {{4, 6}}},
      {"one pixel at an odd place: no dot", {4, 5, 5, 6}, {}},
      {"an empty width is drawn one pixel wide", {2, 2, 2, 5}, {{2, 2}, {2, 4}}},
      {"a row", {0, 0, 5, 1}, {{0, 0}, {2, 0}, {4, 0}}},
      {"a 4 × 3 box", {10, 20, 14, 23}, {{10, 20}, {12, 20}, {13, 21}, {10, 22}, {12, 22}}},
  };
  for (const OutlineCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::multiset<std::pair<int, int>> seen;
    ForEachOutlinePixel(c.covered, [&](std::int32_t x, std::int32_t y) { seen.insert({x, y}); });
    const std::set<std::pair<int, int>> distinct(seen.begin(), seen.end());
    EXPECT_EQ(distinct, c.pixels);
    EXPECT_EQ(seen.size(), c.pixels.size()) << "a pixel visited twice would be inverted back";
  }
}

TEST(GrabOutline, ABigBoxVisitsOnlyItsBorderAndEachPixelOnce) {
  const Rect covered{3, 7, 103, 57};
  std::set<std::pair<int, int>> seen;
  std::size_t visits = 0;
  ForEachOutlinePixel(covered, [&](std::int32_t x, std::int32_t y) {
    ++visits;
    seen.insert({x, y});
    const bool border = x == 3 || x == 102 || y == 7 || y == 56;
    EXPECT_TRUE(border) << x << "," << y;
    EXPECT_EQ((x + y) % 2, 0);
  });
  EXPECT_EQ(visits, seen.size());
  // Half of the 2 × 100 + 2 × 48 border pixels.
  EXPECT_EQ(visits, 148u);
}

TEST(GrabCheck, TextsOfTheVerdicts) {
  EXPECT_EQ(GrabVerdictText(GrabVerdict::TooNarrow), "Picture width must be 16 pixels or more");
  EXPECT_EQ(GrabVerdictText(GrabVerdict::TooLow), "Picture height must be 16 pixels or more");
  EXPECT_EQ(GrabVerdictText(GrabVerdict::Accepted), "");
  EXPECT_EQ(GrabVerdictText(GrabVerdict::NothingChosen), "");
}

TEST(GrabCheck, SidesAreMeasuredEitherWayWithoutOverflow) {
  struct Case {
    GrabRect rect;
    GrabVerdict verdict;
  };
  const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const std::vector<Case> cases = {
      {{0, 0, 16, 16}, GrabVerdict::Accepted},
      {{16, 16, 0, 0}, GrabVerdict::Accepted},
      {{16, 0, 1, 16}, GrabVerdict::TooNarrow},
      {{0, 16, 16, 1}, GrabVerdict::TooLow},
      {{kMin, kMin, kMax, kMax}, GrabVerdict::Accepted},
      {{-1, 0, 100, 100}, GrabVerdict::NothingChosen},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckGrabRectangle(c.rect), c.verdict);
}

TEST(GrabPointer, CapturePixelsOfPointerPositions) {
  struct Case {
    double logical;
    double scale;
    std::int32_t size;
    std::int32_t pixel;
  };
  const std::vector<Case> cases = {
      {10.0, 1.0, 100, 10},  {10.99, 1.0, 100, 10},       {10.0, 2.0, 200, 20},
      {10.5, 2.0, 200, 21},  {10.4, 1.5, 200, 15},        {99.9, 1.0, 100, 99},
      {100.0, 1.0, 100, 99}, {-0.5, 1.0, 100, 0},         {-30.0, 2.0, 100, 0},
      {1e300, 2.0, 100, 99}, {std::nan(""), 1.0, 100, 0}, {5.0, 1.0, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CapturePixelOf(c.logical, c.scale, c.size), c.pixel)
        << c.logical << " × " << c.scale << " in " << c.size;
}

TEST(GrabMagnifier, SitsBesideThePointerAndStaysOnTheScreen) {
  struct Case {
    const char* name;
    std::int32_t x, y;
    Rect box;
  };
  // A 100 × 60 box, 20 away from the pointer, on a 800 × 600 screen.
  const std::vector<Case> cases = {
      {"below right", 100, 100, {120, 120, 220, 180}},
      {"flipped left at the right edge", 750, 100, {630, 120, 730, 180}},
      {"flipped up at the bottom edge", 100, 590, {120, 510, 220, 570}},
      {"flipped both in the corner", 799, 599, {679, 519, 779, 579}},
      {"at the origin", 0, 0, {20, 20, 120, 80}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(MagnifierBox(c.x, c.y, 100, 60, 800, 600, 20), c.box);
  }
  // A screen smaller than the box: the box starts at its origin.
  EXPECT_EQ(MagnifierBox(10, 10, 100, 60, 50, 40, 20), (Rect{0, 0, 100, 60}));
}

TEST(GrabMagnifier, CaptionTellsThePixelAndTheSizeWhileDragging) {
  GrabSelection selection;
  selection.Show(640, 480);
  EXPECT_EQ(MagnifierCaption(selection, 100, 7), "100, 7");
  selection.Press(100, 100);
  selection.Move(50, 60);
  EXPECT_EQ(MagnifierCaption(selection, 50, 60), "50, 60\n49 \xC3\x97 39 pixels");
  selection.Move(115, 115);
  EXPECT_EQ(MagnifierCaption(selection, 115, 115), "115, 115\n16 \xC3\x97 16 pixels");
}

}  // namespace
}  // namespace quillet
