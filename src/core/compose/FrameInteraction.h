#pragma once

#include <cstdint>

#include "core/codecs/Bitmap.h"
#include "core/compose/SelectionGeometry.h"

namespace quillet {

inline constexpr Color kBlack = 0x000000;
inline constexpr Color kViewOutlineBlue = MakeColor(0, 0, 255);
inline constexpr std::int32_t kMinimumFrameSide = 16;

// What a mouse press on the source picture grabs.
enum class FrameHit : std::uint8_t {
  None = 0,
  Inside = 1,
  TopLeft = 2,
  TopRight = 3,
  BottomLeft = 4,
  BottomRight = 5,
  Left = 6,
  Top = 7,
  Right = 8,
  Bottom = 9,
};

// The cursor shown over the picture; the window maps each to its toolkit's.
enum class FrameCursorKind : std::uint8_t {
  Arrow,     // default
  HandFlat,  // the program's open hand, for moving
  SizeNwse,  // diagonal, north-west to south-east
  SizeNesw,  // diagonal, north-east to south-west
  SizeWe,    // horizontal
  SizeNs,    // vertical
};

// `rect` is the frame in hit-test view coordinates.
FrameHit HitTestFrame(std::int32_t x, std::int32_t y, const Rect& rect);
FrameCursorKind CursorForHit(FrameHit hit);
FrameCursorKind FrameCursor(std::int32_t x, std::int32_t y, const Rect& rect);

// Everything a drag step needs besides the press and the current point.
struct DragBounds {
  Rect fitRect;  // confines the frame (space coordinates)
  bool keepProportions = true;
  Size space;
  Size view;
};

// The frame (space rectangle) after dragging from `start` to `current` (view
// pixels), computed afresh from the frame at the press: moving for Inside,
// resizing for edges and corners, never below 16 space pixels a side and never
// out of the fit rectangle. None, or a view without pixels, leaves the frame.
Rect DragStep(FrameHit kind, const Rect& startFrame, Point start, Point current,
              const DragBounds& bounds);

// What an arrow key does to the frame while the source pane has the keyboard:
// Move shifts it; Resize moves its right and bottom edges, so that its
// top-left corner stays.
enum class FrameNudge : std::uint8_t { Move, Resize };

// The frame (space rectangle) after a key moved or resized it by (dx, dy)
// space pixels, confined as a drag confines it: never out of the fit
// rectangle, never below 16 space pixels a side. A move and a resize without
// keep proportions are exactly the drag of the frame's inside and of its
// bottom-right corner by that many space pixels. With keep proportions the
// other side follows from the new size rather than from the step, so that
// many one-pixel steps keep the space's proportions as one long step does. A
// step that the confinement does not allow, or that would turn a shrinking
// into a growing, leaves the frame as it is. `bounds.view` is not used.
Rect NudgeFrame(FrameNudge nudge, const Rect& frame, std::int32_t dx, std::int32_t dy,
                const DragBounds& bounds);

// The marching ants: `phase` (1..4) is the length of the first dash and
// `color` (black or white) its colour. One step moves the dashes one pixel
// away from the top-left corner.
void AdvanceAnts(std::int32_t& phase, Color& color);

// Draws the frame (a, b, a + c, b + d in view pixels) as one-pixel dashes of 4
// along the two paths that start at its top-left corner. Pixels outside the
// canvas are skipped.
void DrawAntsFrame(Bitmap& canvas, const Rect& frame, std::int32_t phase, Color color);
// The one-pixel outline just inside `rect`.
void DrawOutline(Bitmap& canvas, const Rect& rect, Color color);
// Copies `source` into `canvas` with its top-left corner at (x, y), clipped.
void DrawBitmap(Bitmap& canvas, const Bitmap& source, std::int32_t x, std::int32_t y);
// Copies the `rect` part of `source` into `canvas` at the same coordinates.
void CopyRectAt(Bitmap& canvas, const Bitmap& source, const Rect& rect);

}  // namespace quillet
