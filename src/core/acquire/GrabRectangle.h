#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/codecs/Bitmap.h"

namespace quillet {

// The rectangle chosen on the screen grab's overlay, in the capture's own
// pixels; Right and Bottom are exclusive. (-1, -1, -1, -1) means nothing was
// chosen. While dragging the corners may be in any order; they are put in
// order when the button is released.
struct GrabRect {
  std::int32_t Left = -1;
  std::int32_t Top = -1;
  std::int32_t Right = -1;
  std::int32_t Bottom = -1;

  bool Chosen() const { return Left != -1; }
  bool operator==(const GrabRect&) const = default;
};

// How the overlay's modal display ended.
enum class GrabResult { Ok, Cancel };

// The outline changes one overlay event asks for. The outline is drawn by
// inverting pixels, so `erase` is drawn exactly as it was first drawn, and
// before `draw`.
struct GrabChange {
  std::optional<Rect> erase;
  std::optional<Rect> draw;
  bool close = false;
};

// The overlay's rectangle as the mouse and keys change it. Positions are
// capture pixels; positions off the capture (a drag that leaves the overlay
// onto another monitor) are taken at the nearest edge, so that the rectangle
// never reaches beyond the picture it is cut from.
class GrabSelection {
 public:
  // The overlay is shown over a capture of `width` × `height` pixels: the
  // rectangle becomes (-1, -1, -1, -1), nothing is dragged or drawn.
  void Show(std::int32_t width, std::int32_t height);

  // Any mouse button pressed at (x, y): the rectangle becomes
  // (x, y, x + 1, y + 1) and dragging starts. A second button pressed during
  // a drag starts over, its old outline erased first.
  GrabChange Press(std::int32_t x, std::int32_t y);
  // A move to (x, y): while dragging, Right and Bottom become x + 1 and
  // y + 1; otherwise nothing.
  GrabChange Move(std::int32_t x, std::int32_t y);
  // A button released, with or without a press seen: the outline is erased,
  // the corners put in order, and the overlay closes with OK. The release's
  // own position is not used.
  GrabChange Release();
  // Escape: nothing chosen, the overlay closes with Cancel.
  GrabChange Escape();

  const GrabRect& Rectangle() const { return rect_; }
  bool Dragging() const { return dragging_; }
  // Set once the overlay has closed.
  std::optional<GrabResult> Result() const { return result_; }
  // The outline now drawn on the overlay, if any.
  std::optional<Rect> DrawnOutline() const { return drawn_; }
  // The columns and rows the rectangle covers as the corners are now, the
  // order of the corners aside; empty while nothing is chosen.
  Rect Covered() const;

 private:
  std::int32_t ClampX(std::int32_t x) const;
  std::int32_t ClampY(std::int32_t y) const;
  std::optional<Rect> Erase();
  std::optional<Rect> Draw();

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  GrabRect rect_;
  bool dragging_ = false;
  std::optional<Rect> drawn_;
  std::optional<GrabResult> result_;
};

// The pixels the dotted outline of `covered` inverts, each once: the
// rectangle's border, every other pixel. An outline of a rectangle that is
// empty one way is drawn one pixel wide that way, so that the user still
// sees where the drag stands.
void ForEachOutlinePixel(const Rect& covered,
                         const std::function<void(std::int32_t x, std::int32_t y)>& visit);

// What the command does with the rectangle the overlay closed with.
enum class GrabVerdict { NothingChosen, TooNarrow, TooLow, Accepted };

// The 16-pixel rule: the width is checked before the height.
GrabVerdict CheckGrabRectangle(const GrabRect& rect);
// The warning of a refused rectangle; empty for the other verdicts.
std::string_view GrabVerdictText(GrabVerdict verdict);

inline constexpr std::int32_t kMinimumGrabSide = 16;
inline constexpr std::string_view kGrabWidthText = "Picture width must be 16 pixels or more";
inline constexpr std::string_view kGrabHeightText = "Picture height must be 16 pixels or more";

// The capture pixel under a pointer at `logical` (overlay coordinates, which
// may be fractional) on a screen with `scale` capture pixels per logical
// pixel, kept inside 0 .. size - 1.
std::int32_t CapturePixelOf(double logical, double scale, std::int32_t size);

// Where the magnifier of `boxWidth` × `boxHeight` goes beside the pointer at
// (x, y) on a screen of `width` × `height`: below and to the right at `gap`,
// flipped to the left or above where it would leave the screen, and kept
// on the screen.
Rect MagnifierBox(std::int32_t x, std::int32_t y, std::int32_t boxWidth, std::int32_t boxHeight,
                  std::int32_t width, std::int32_t height, std::int32_t gap);

// The magnifier's caption: the pointer's capture pixel, and while dragging
// a second line with the size in pixels of the picture a release would give.
std::string MagnifierCaption(const GrabSelection& selection, std::int32_t x, std::int32_t y);

}  // namespace quillet
