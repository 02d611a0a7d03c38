#include "core/acquire/GrabRectangle.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace quillet {

void GrabSelection::Show(std::int32_t width, std::int32_t height) {
  width_ = std::max<std::int32_t>(width, 0);
  height_ = std::max<std::int32_t>(height, 0);
  rect_ = GrabRect{};
  dragging_ = false;
  drawn_.reset();
  result_.reset();
}

std::int32_t GrabSelection::ClampX(std::int32_t x) const {
  return std::clamp<std::int32_t>(x, 0, std::max<std::int32_t>(width_ - 1, 0));
}

std::int32_t GrabSelection::ClampY(std::int32_t y) const {
  return std::clamp<std::int32_t>(y, 0, std::max<std::int32_t>(height_ - 1, 0));
}

Rect GrabSelection::Covered() const {
  if (!rect_.Chosen()) return Rect{};
  return Rect{std::min(rect_.Left, rect_.Right), std::min(rect_.Top, rect_.Bottom),
              std::max(rect_.Left, rect_.Right), std::max(rect_.Top, rect_.Bottom)};
}

std::optional<Rect> GrabSelection::Erase() {
  return std::exchange(drawn_, std::nullopt);
}

std::optional<Rect> GrabSelection::Draw() {
  drawn_ = Covered();
  return drawn_;
}

GrabChange GrabSelection::Press(std::int32_t x, std::int32_t y) {
  if (result_ || width_ == 0 || height_ == 0) return {};
  GrabChange change;
  // Two outlines on the picture at once would leave one of them inverted
  // for good.
  change.erase = Erase();
  x = ClampX(x);
  y = ClampY(y);
  rect_ = GrabRect{x, y, x + 1, y + 1};
  dragging_ = true;
  change.draw = Draw();
  return change;
}

GrabChange GrabSelection::Move(std::int32_t x, std::int32_t y) {
  if (result_ || !dragging_) return {};
  GrabChange change;
  change.erase = Erase();
  rect_.Right = ClampX(x) + 1;
  rect_.Bottom = ClampY(y) + 1;
  change.draw = Draw();
  return change;
}

GrabChange GrabSelection::Release() {
  if (result_) return {};
  GrabChange change;
  change.erase = Erase();
  dragging_ = false;
  if (rect_.Left > rect_.Right) std::swap(rect_.Left, rect_.Right);
  if (rect_.Top > rect_.Bottom) std::swap(rect_.Top, rect_.Bottom);
  result_ = GrabResult::Ok;
  change.close = true;
  return change;
}

GrabChange GrabSelection::Escape() {
  if (result_) return {};
  GrabChange change;
  change.erase = Erase();
  dragging_ = false;
  rect_ = GrabRect{};
  result_ = GrabResult::Cancel;
  change.close = true;
  return change;
}

void ForEachOutlinePixel(const Rect& covered,
                         const std::function<void(std::int32_t x, std::int32_t y)>& visit) {
  const std::int32_t left = covered.left;
  const std::int32_t top = covered.top;
  const std::int32_t right = std::max(covered.right, left + 1) - 1;  // inclusive
  const std::int32_t bottom = std::max(covered.bottom, top + 1) - 1;
  auto dot = [&](std::int32_t x, std::int32_t y) {
    if (((x + y) & 1) == 0) visit(x, y);
  };
  for (std::int32_t x = left; x <= right; ++x) {
    dot(x, top);
    if (bottom != top) dot(x, bottom);
  }
  for (std::int32_t y = top + 1; y < bottom; ++y) {
    dot(left, y);
    if (right != left) dot(right, y);
  }
}

GrabVerdict CheckGrabRectangle(const GrabRect& rect) {
  if (!rect.Chosen()) return GrabVerdict::NothingChosen;
  const std::int64_t width = std::llabs(std::int64_t{rect.Right} - rect.Left);
  const std::int64_t height = std::llabs(std::int64_t{rect.Bottom} - rect.Top);
  if (width < kMinimumGrabSide) return GrabVerdict::TooNarrow;
  if (height < kMinimumGrabSide) return GrabVerdict::TooLow;
  return GrabVerdict::Accepted;
}

std::string_view GrabVerdictText(GrabVerdict verdict) {
  switch (verdict) {
    case GrabVerdict::TooNarrow:
      return kGrabWidthText;
    case GrabVerdict::TooLow:
      return kGrabHeightText;
    case GrabVerdict::NothingChosen:
    case GrabVerdict::Accepted:
      break;
  }
  return {};
}

std::int32_t CapturePixelOf(double logical, double scale, std::int32_t size) {
  if (size <= 0) return 0;
  const double pixel = std::floor(logical * scale);
  // NaN and far-off values land on an edge like any other position off
  // the capture.
  if (!(pixel >= 0)) return 0;
  if (pixel >= size - 1) return size - 1;
  return static_cast<std::int32_t>(pixel);
}

Rect MagnifierBox(std::int32_t x, std::int32_t y, std::int32_t boxWidth, std::int32_t boxHeight,
                  std::int32_t width, std::int32_t height, std::int32_t gap) {
  std::int32_t left = x + gap;
  if (left + boxWidth > width) left = x - gap - boxWidth;
  std::int32_t top = y + gap;
  if (top + boxHeight > height) top = y - gap - boxHeight;
  left = std::clamp<std::int32_t>(left, 0, std::max<std::int32_t>(width - boxWidth, 0));
  top = std::clamp<std::int32_t>(top, 0, std::max<std::int32_t>(height - boxHeight, 0));
  return Rect{left, top, left + boxWidth, top + boxHeight};
}

std::string MagnifierCaption(const GrabSelection& selection, std::int32_t x, std::int32_t y) {
  std::string caption = std::to_string(x) + ", " + std::to_string(y);
  if (selection.Dragging()) {
    const Rect covered = selection.Covered();
    caption += "\n" + std::to_string(covered.Width()) + " \xC3\x97 " +
               std::to_string(covered.Height()) + " pixels";
  }
  return caption;
}

}  // namespace quillet
