#include "core/compose/SourceImage.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "core/codecs/Codecs.h"
#include "core/codecs/Resample.h"

namespace quillet {
namespace {

Bitmap NonEmpty(Bitmap picture) {
  if (picture.Empty()) throw PictureError("the picture has no pixels");
  return picture;
}

}  // namespace

TSourceImage::TSourceImage(std::int32_t paneWidth, std::int32_t paneHeight, bool fitIntoPane,
                           TLogoDirObject& logoObject, const std::string& fileName)
    : TSourceImage(paneWidth, paneHeight, fitIntoPane, logoObject, DecodePictureFile(fileName)) {}

TSourceImage::TSourceImage(std::int32_t paneWidth, std::int32_t paneHeight, bool fitIntoPane,
                           TLogoDirObject& logoObject, Bitmap picture)
    : PaneWidth(paneWidth),
      PaneHeight(paneHeight),
      FitIntoPane(fitIntoPane),
      LogoObject(logoObject),
      SourcePicture(NonEmpty(std::move(picture))),
      PictureWidth(SourcePicture.Width()),
      PictureHeight(SourcePicture.Height()) {}

bool TSourceImage::CanLoadPicture(const std::string& fileName, Prompts& prompts) {
  return CheckPicture(fileName, prompts).has_value();
}

std::optional<Size> TSourceImage::CheckPicture(const std::string& fileName, Prompts& prompts) {
  Size size;
  try {
    Bitmap picture = DecodePictureFile(fileName);
    size = Size{picture.Width(), picture.Height()};
  } catch (const std::exception&) {
    prompts.Error(kLoadErrorText);
    return std::nullopt;
  }
  if (size.width < kMinimumPictureSide || size.height < kMinimumPictureSide) {
    prompts.Error(kTooSmallText);
    return std::nullopt;
  }
  return size;
}

void TSourceImage::ComputeSelectionSpace() {
  Size space = SelectionSpaceOf(PictureSize(), LogoSizeOf(LogoObject));
  SpaceWidth = space.width;
  SpaceHeight = space.height;
}

const Bitmap& TSourceImage::BuildView() {
  ComputeSelectionSpace();
  ViewLayout layout =
      LayoutView(SpaceSize(), PictureSize(), Size{PaneWidth, PaneHeight}, FitIntoPane);
  ViewWidth = layout.view.width;
  ViewHeight = layout.view.height;
  ViewPicture = Bitmap(ViewWidth, ViewHeight, kWhite);
  if (layout.scaled)
    ResampleRect(SourcePicture, Rect{0, 0, PictureWidth, PictureHeight}, ViewPicture,
                 layout.picture);
  else
    DrawBitmap(ViewPicture, SourcePicture, layout.picture.left, layout.picture.top);
  return ViewPicture;
}

void TSourceImage::PrepareView() {
  ComputeSelectionSpace();
  ViewLayout layout =
      LayoutView(SpaceSize(), PictureSize(), Size{PaneWidth, PaneHeight}, FitIntoPane);
  if (layout.scaled) {
    BuildView();
    return;
  }
  ViewWidth = layout.view.width;
  ViewHeight = layout.view.height;
  ViewPicture = Bitmap();
}

void TSourceImage::CopyView(Bitmap& canvas, const Rect& rect, std::int32_t dx,
                            std::int32_t dy) const {
  if (!ViewDrawnFromPicture()) {
    if (dx == 0 && dy == 0) {
      CopyRectAt(canvas, ViewPicture, rect);
    } else {
      DrawBitmap(canvas, ViewPicture, dx, dy);
    }
    return;
  }
  // The view is the space at 1:1: white, with the picture at its offset.
  auto intersect = [](const Rect& a, const Rect& b) {
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
  };
  const Rect canvasInView{-dx, -dy, canvas.Width() - dx, canvas.Height() - dy};
  const Rect part = intersect(intersect(rect, Rect{0, 0, ViewWidth, ViewHeight}), canvasInView);
  if (part.Width() <= 0 || part.Height() <= 0) return;
  canvas.FillRect(Rect{part.left + dx, part.top + dy, part.right + dx, part.bottom + dy}, kWhite);
  const std::int32_t ox = PictureOffsetX(), oy = PictureOffsetY();
  const Rect inPicture = intersect(part, Rect{ox, oy, ox + PictureWidth, oy + PictureHeight});
  if (inPicture.Width() <= 0 || inPicture.Height() <= 0) return;
  const std::size_t bytes = static_cast<std::size_t>(inPicture.Width()) * 3;
  for (std::int32_t y = inPicture.top; y < inPicture.bottom; ++y) {
    const std::uint8_t* from =
        SourcePicture.Row(y - oy) + static_cast<std::size_t>(inPicture.left - ox) * 3;
    std::uint8_t* to = canvas.Row(y + dy) + static_cast<std::size_t>(inPicture.left + dx) * 3;
    std::copy(from, from + bytes, to);
  }
}

Rect TSourceImage::FrameInPicture() const {
  return SpaceToPicture(FrameOf(LogoObject), Point{PictureOffsetX(), PictureOffsetY()});
}

bool TSourceImage::OverlapsPicture(const Rect& rect) const {
  return quillet::OverlapsPicture(rect, PictureSize());
}

bool TSourceImage::FrameOverlapsPicture() const {
  return OverlapsPicture(FrameInPicture());
}

void TSourceImage::ClipToPicture(Rect& src, Rect& dest) const {
  quillet::ClipToPicture(src, dest, PictureSize(), LogoObject.keepproportions);
}

RenderOutcome TSourceImage::RenderLogo(Bitmap& target, bool fillEmptyArea, Color emptyAreaColor) {
  const Size logo = LogoSizeOf(LogoObject);
  if (target.Width() != logo.width || target.Height() != logo.height)
    target = Bitmap(logo.width, logo.height);
  target.Fill(fillEmptyArea ? (emptyAreaColor & 0xFFFFFF) : kWhite);
  RenderOutcome outcome{false, Rect{0, 0, logo.width, logo.height}};
  Rect src = FrameInPicture();
  if (OverlapsPicture(src)) {
    outcome.covered = true;
    ClipToPicture(src, outcome.dest);
    const Rect& dest = outcome.dest;
    // A part that rounds away to nothing in the logo is not resampled at all.
    if (dest.Width() > 0 && dest.Height() > 0) ResampleRect(SourcePicture, src, target, dest);
    if (fillEmptyArea) {
      LogoPicture = target;
    } else {
      LogoPicture = Bitmap(std::max(dest.Width(), 0), std::max(dest.Height(), 0));
      DrawBitmap(LogoPicture, target, -dest.left, -dest.top);
    }
  }
  // The grey border is for the screen only; LogoPicture was taken before it.
  DrawOutline(target, Rect{0, 0, logo.width, logo.height}, kLogoBorderGrey);
  return outcome;
}

Rect TSourceImage::FrameInView() const {
  return FrameToViewForDrawing(FrameOf(LogoObject), SpaceSize(), ViewSize());
}

Rect TSourceImage::FrameForHitTest() const {
  return FrameToViewForHitTest(FrameOf(LogoObject), SpaceSize(), ViewSize(), FitIntoPane);
}

void TSourceImage::DrawView(Bitmap& canvas, std::int32_t x, std::int32_t y) const {
  CopyView(canvas, Rect{0, 0, ViewWidth, ViewHeight}, x, y);
  DrawOutline(canvas, Rect{x, y, x + ViewWidth, y + ViewHeight}, kViewOutlineBlue);
  DrawFrame(canvas);
}

void TSourceImage::DrawFrame(Bitmap& canvas) const {
  DrawAntsFrame(canvas, FrameInView(), AntsPhase, AntsColor);
}

void TSourceImage::EraseFrame(Bitmap& canvas) const {
  const Rect frame = FrameInView();
  const auto [left, top, right, bottom] = frame;
  CopyView(canvas, Rect{left, top, right, top + 1}, 0, 0);
  CopyView(canvas, Rect{left, bottom - 1, right, bottom}, 0, 0);
  CopyView(canvas, Rect{left, top, left + 1, bottom}, 0, 0);
  CopyView(canvas, Rect{right - 1, top, right, bottom}, 0, 0);
  // A frame lying on the view's border had covered the outline.
  DrawOutline(canvas, Rect{0, 0, ViewWidth, ViewHeight}, kViewOutlineBlue);
}

void TSourceImage::DrawViewPart(Bitmap& tile, std::int32_t x, std::int32_t y) const {
  tile.Fill(kWhite);
  CopyView(tile, Rect{x, y, x + tile.Width(), y + tile.Height()}, -x, -y);
  DrawOutline(tile, Rect{-x, -y, ViewWidth - x, ViewHeight - y}, kViewOutlineBlue);
  const Rect frame = FrameInView();
  DrawAntsFrame(tile, Rect{frame.left - x, frame.top - y, frame.right - x, frame.bottom - y},
                AntsPhase, AntsColor);
}

void TSourceImage::AdvanceAnts() {
  quillet::AdvanceAnts(AntsPhase, AntsColor);
}

void InitialFrame(TLogoDirObject& logoObject, const TSourceImage& image) {
  StoreFrame(logoObject, FitRect(logoObject, image));
}

Rect FitRect(const TLogoDirObject& logoObject, const TSourceImage& image) {
  return FitRectOf(logoObject.fitkind, image.PictureSize(), image.SpaceSize());
}

void BeginFrameDrag(FrameDrag& drag, Point point, const TSourceImage& image) {
  drag.Dragging = true;
  drag.DragStartFrame = FrameOf(image.LogoObject);
  drag.DragStartPoint = point;
  drag.DragKind = HitTestFrame(point.x, point.y, image.FrameForHitTest());
}

bool ContinueFrameDrag(const FrameDrag& drag, Point point, TSourceImage& image, Bitmap& canvas) {
  if (!drag.Dragging || drag.DragKind == FrameHit::None) return false;
  image.EraseFrame(canvas);
  DragBounds bounds{FitRect(image.LogoObject, image), image.LogoObject.keepproportions,
                    image.SpaceSize(), image.ViewSize()};
  StoreFrame(image.LogoObject,
             DragStep(drag.DragKind, drag.DragStartFrame, drag.DragStartPoint, point, bounds));
  image.DrawFrame(canvas);
  return true;
}

}  // namespace quillet
