#include "core/compose/SelectionGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillet {

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return 0;  // only a degenerate picture or view gets here; draw nothing
  std::int64_t quotient = static_cast<std::int64_t>(a) * b / c;
  quotient = std::clamp<std::int64_t>(quotient, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(quotient);
}

bool FrameIsUnset(const TLogoDirObject& logo) {
  return logo.frameleft == -1;
}

void ResetFrame(TLogoDirObject& logo) {
  logo.frameleft = logo.frametop = logo.framewidth = logo.frameheight = -1;
}

namespace {

// Far beyond any selection space a decodable picture gives, and small enough
// that the distance between two edges stays within 32 bits.
constexpr std::int64_t kFrameEdgeLimit = 1 << 29;

std::int32_t TamedEdge(std::int64_t edge) {
  return static_cast<std::int32_t>(std::clamp(edge, -kFrameEdgeLimit, kFrameEdgeLimit));
}

}  // namespace

Rect FrameOf(const TLogoDirObject& logo) {
  // A hand-edited directory file may hold any 32-bit values here.
  const std::int64_t left = logo.frameleft, top = logo.frametop;
  return Rect{TamedEdge(left), TamedEdge(top), TamedEdge(left + logo.framewidth),
              TamedEdge(top + logo.frameheight)};
}

void StoreFrame(TLogoDirObject& logo, const Rect& frame) {
  logo.frameleft = frame.left;
  logo.frametop = frame.top;
  logo.framewidth = frame.Width();
  logo.frameheight = frame.Height();
}

Size LogoSizeOf(const TLogoDirObject& logo) {
  return Size{std::max(logo.logowidth, 1), std::max(logo.logoheight, 1)};
}

Size SelectionSpaceOf(Size picture, Size logo) {
  return Size{std::max(picture.width, MulDiv(picture.height, logo.width, logo.height)),
              std::max(picture.height, MulDiv(picture.width, logo.height, logo.width))};
}

Point PictureOffsetIn(Size space, Size picture) {
  return Point{(space.width - picture.width) / 2, (space.height - picture.height) / 2};
}

namespace {

Size WidthSpanning(Size picture, Size space) {
  return Size{picture.width, MulDiv(space.height, picture.width, space.width)};
}

Size HeightSpanning(Size picture, Size space) {
  return Size{MulDiv(space.width, picture.height, space.height), picture.height};
}

Size InitialFrameSize(FitKind fit, Size picture, Size space) {
  switch (fit) {
    case FitKind::Width:
      return WidthSpanning(picture, space);
    case FitKind::Height:
      return HeightSpanning(picture, space);
    case FitKind::Smaller:
      return picture.width < space.width ? WidthSpanning(picture, space)
                                         : HeightSpanning(picture, space);
    case FitKind::Bigger:
      break;
  }
  return picture.height < space.height ? WidthSpanning(picture, space)
                                       : HeightSpanning(picture, space);
}

}  // namespace

Rect FitRectOf(FitKind fit, Size picture, Size space) {
  Size frame = InitialFrameSize(fit, picture, space);
  std::int32_t left = (space.width - frame.width) / 2;
  std::int32_t top = (space.height - frame.height) / 2;
  return Rect{left, top, left + frame.width, top + frame.height};
}

bool OverlapsPicture(const Rect& rect, Size picture) {
  // A rectangle without pixels shares none with the picture, wherever it lies.
  if (rect.right <= rect.left || rect.bottom <= rect.top) return false;
  return rect.right > 0 && rect.bottom > 0 && rect.left < picture.width &&
         rect.top < picture.height;
}

Rect SpaceToPicture(const Rect& rect, Point pictureOffset) {
  return Rect{rect.left - pictureOffset.x, rect.top - pictureOffset.y, rect.right - pictureOffset.x,
              rect.bottom - pictureOffset.y};
}

std::int32_t NearestEven(double value) {
  // The default floating-point rounding mode rounds halves to even.
  return static_cast<std::int32_t>(std::nearbyint(value));
}

namespace {

void ClipKeepingScale(Rect& src, Rect& dest, Size picture) {
  double fx = static_cast<double>(dest.Width()) / src.Width();
  double fy = static_cast<double>(dest.Height()) / src.Height();
  if (src.left < 0) {
    dest.left += NearestEven(-static_cast<double>(src.left) * fx);
    src.left = 0;
  }
  if (src.top < 0) {
    dest.top += NearestEven(-static_cast<double>(src.top) * fy);
    src.top = 0;
  }
  if (src.right > picture.width) {
    dest.right -= NearestEven(static_cast<double>(src.right - picture.width) * fx);
    src.right = picture.width;
  }
  if (src.bottom > picture.height) {
    dest.bottom -= NearestEven(static_cast<double>(src.bottom - picture.height) * fy);
    src.bottom = picture.height;
  }
}

void ClipFittingInto(Rect& src, Rect& dest, Size picture) {
  src.left = std::max(src.left, 0);
  src.top = std::max(src.top, 0);
  src.right = std::min(src.right, picture.width);
  src.bottom = std::min(src.bottom, picture.height);
  std::int32_t fullWidth = dest.Width(), fullHeight = dest.Height();
  double ratio = static_cast<double>(src.Width()) / fullWidth;
  std::int32_t width = fullWidth;
  std::int32_t height = NearestEven(src.Height() / ratio);
  if (height > fullHeight) {
    ratio = static_cast<double>(src.Height()) / fullHeight;
    width = NearestEven(src.Width() / ratio);
    height = fullHeight;
  }
  dest = Rect{0, 0, width, height};
}

}  // namespace

void ClipToPicture(Rect& src, Rect& dest, Size picture, bool keepProportions) {
  std::int32_t fullWidth = dest.Width(), fullHeight = dest.Height();
  if (keepProportions)
    ClipKeepingScale(src, dest, picture);
  else
    ClipFittingInto(src, dest, picture);
  std::int32_t width = dest.Width(), height = dest.Height();
  if (width < fullWidth) {
    dest.left = (fullWidth - width) / 2;
    dest.right = dest.left + width;
  }
  if (height < fullHeight) {
    dest.top = (fullHeight - height) / 2;
    dest.bottom = dest.top + height;
  }
}

ViewLayout LayoutView(Size space, Size picture, Size pane, bool fitIntoPane) {
  bool tooLarge = space.width > pane.width || space.height > pane.height;
  if (!fitIntoPane || !tooLarge) {
    Point offset = PictureOffsetIn(space, picture);
    return ViewLayout{space,
                      Rect{offset.x, offset.y, offset.x + picture.width, offset.y + picture.height},
                      false};
  }
  // A pane that has no client area yet still gets a view of at least one pixel.
  pane.width = std::max(pane.width, 1);
  pane.height = std::max(pane.height, 1);
  Size view, shown;
  auto scaleToHeight = [&] {
    view = {MulDiv(space.width, pane.height, space.height), pane.height};
    shown = {MulDiv(picture.width, pane.height, space.height),
             MulDiv(picture.height, pane.height, space.height)};
  };
  if (space.width <= pane.width) {
    scaleToHeight();
  } else {
    view = {pane.width, MulDiv(space.height, pane.width, space.width)};
    shown = {MulDiv(picture.width, pane.width, space.width),
             MulDiv(picture.height, pane.width, space.width)};
    if (view.height > pane.height) scaleToHeight();
  }
  view.width = std::max(view.width, 1);
  view.height = std::max(view.height, 1);
  Rect placed{(view.width - shown.width) / 2, (view.height - shown.height) / 2,
              (view.width + shown.width) / 2, (view.height + shown.height) / 2};
  return ViewLayout{view, placed, true};
}

Rect FrameToViewForDrawing(const Rect& frame, Size space, Size view) {
  std::int32_t a = MulDiv(frame.left, view.width, space.width);
  std::int32_t b = MulDiv(frame.top, view.height, space.height);
  std::int32_t c = MulDiv(frame.Width(), view.width, space.width);
  std::int32_t d = MulDiv(frame.Height(), view.height, space.height);
  return Rect{a, b, a + c, b + d};
}

Rect FrameToViewForHitTest(const Rect& frame, Size space, Size view, bool fitIntoPane) {
  if (!fitIntoPane) return frame;
  return Rect{
      MulDiv(frame.left, view.width, space.width), MulDiv(frame.top, view.width, space.width),
      MulDiv(frame.right, view.width, space.width), MulDiv(frame.bottom, view.width, space.width)};
}

}  // namespace quillet
