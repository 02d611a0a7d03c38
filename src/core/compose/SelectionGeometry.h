#pragma once

#include <cstdint>

#include "core/codecs/Bitmap.h"
#include "core/logodir/LogoDirObject.h"

namespace quillet {

struct Size {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const Size&) const = default;
};

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const Point&) const = default;
};

// a × b div c with the product formed first and division truncating toward
// zero. The product is taken in 64 bits so that a tall picture with an extreme
// logo size cannot overflow; a quotient beyond 32 bits saturates.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

// --- The frame as the node stores it --------------------------------------

// Only `frameleft` tells whether the logo has a frame yet.
bool FrameIsUnset(const TLogoDirObject& logo);
// Discarding a frame sets all four fields to -1.
void ResetFrame(TLogoDirObject& logo);
// The node's frame as a space rectangle (left, top, left + width, top + height).
Rect FrameOf(const TLogoDirObject& logo);
void StoreFrame(TLogoDirObject& logo, const Rect& frame);
// The logo size with nonsensical values of a hand-edited file lifted to 1, so
// no ratio ever divides by zero.
Size LogoSizeOf(const TLogoDirObject& logo);

// --- The selection space --------------------------------------------------

// The smallest rectangle of (nearly) the logo's proportions holding the picture.
Size SelectionSpaceOf(Size picture, Size logo);
// Where the picture lies, centred, in the space.
Point PictureOffsetIn(Size space, Size picture);
// The default frame of a fit kind, which is also the rectangle that confines
// the frame while it is dragged.
Rect FitRectOf(FitKind fit, Size picture, Size space);
// Whether a rectangle in picture coordinates shares at least one pixel with
// the picture.
bool OverlapsPicture(const Rect& rect, Size picture);
// A space rectangle moved into picture coordinates.
Rect SpaceToPicture(const Rect& rect, Point pictureOffset);

// --- Rendering ------------------------------------------------------------

// Nearest integer, halves to the even neighbour.
std::int32_t NearestEven(double value);

// Clips `src` (picture coordinates) to the picture and places the picture's
// part in `dest` (the logo, on entry (0, 0, W, H)); the part ends up centred in
// the logo. With keep proportions the frame's scale is kept and the clipped
// parts are cut off the destination; without, the clipped part is fitted into
// the logo undistorted. `src` must overlap the picture and be non-empty.
void ClipToPicture(Rect& src, Rect& dest, Size picture, bool keepProportions);

// --- The view -------------------------------------------------------------

// How the space is shown in the source pane: the view's size and the
// rectangle of the view that the picture occupies.
struct ViewLayout {
  Size view;
  Rect picture;
  bool scaled = false;
};
ViewLayout LayoutView(Size space, Size picture, Size pane, bool fitIntoPane);

// The frame in view pixels for drawing: its left, top, width and height each
// scaled on their own axis, returned as (a, b, a + c, b + d).
Rect FrameToViewForDrawing(const Rect& frame, Size space, Size view);
// The frame in view pixels for hit testing: every edge scaled by the
// horizontal ratio when the view is fitted, unchanged otherwise.
Rect FrameToViewForHitTest(const Rect& frame, Size space, Size view, bool fitIntoPane);

}  // namespace quillet
