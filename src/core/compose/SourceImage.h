#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/codecs/Bitmap.h"
#include "core/compose/FrameInteraction.h"
#include "core/compose/SelectionGeometry.h"
#include "core/logodir/LogoDirObject.h"
#include "core/platform/Prompts.h"

namespace quillet {

inline constexpr std::string_view kLoadErrorText =
    "Error loading image. Check if you have enough disk space and write permissions.";
inline constexpr std::string_view kTooSmallText = "Image dimensions must be at least 16x16.";
inline constexpr std::string_view kNoPictureInFrameText =
    "There is no part of source picture in the selection area. Please select some part of "
    "picture and try again";
inline constexpr std::int32_t kMinimumPictureSide = 16;
inline constexpr Color kLogoBorderGrey = MakeColor(128, 128, 128);

// What one rendering did: whether the frame covered part of the picture, and
// where in the logo the picture's part went.
struct RenderOutcome {
  bool covered = false;
  Rect dest;
};

// The decoded picture of the displayed logo, its selection space, the view
// shown in the source pane, and the last rendered logo. The frame itself
// belongs to the logo's node (`LogoObject`), in space coordinates.
class TSourceImage {
 public:
  // Decodes the file by its extension; PictureError propagates to the caller.
  TSourceImage(std::int32_t paneWidth, std::int32_t paneHeight, bool fitIntoPane,
               TLogoDirObject& logoObject, const std::string& fileName);
  // Takes an already decoded picture (a grab, a scan, a test).
  TSourceImage(std::int32_t paneWidth, std::int32_t paneHeight, bool fitIntoPane,
               TLogoDirObject& logoObject, Bitmap picture);
  TSourceImage(const TSourceImage&) = delete;
  TSourceImage& operator=(const TSourceImage&) = delete;

  // Whether a file may enter the logo directory: it must decode and be at
  // least 16 × 16. Tells the user why not.
  static bool CanLoadPicture(const std::string& fileName, Prompts& prompts);
  // The same check, giving the picture's size when it passes.
  static std::optional<Size> CheckPicture(const std::string& fileName, Prompts& prompts);

  void ComputeSelectionSpace();
  // Computes the space and builds `ViewPicture`, scaled down into the pane
  // when `FitIntoPane` is set and the space does not fit.
  const Bitmap& BuildView();
  // The same, except that a view at 1:1 is not built: `ViewPicture` stays
  // empty and DrawView and EraseFrame draw it from `SourcePicture` and the
  // white bands, which saves a copy of the whole space (for a large picture
  // shown unscaled). A scaled view is built as by BuildView.
  void PrepareView();
  // Whether the view is drawn from the picture instead of `ViewPicture`.
  bool ViewDrawnFromPicture() const { return ViewPicture.Empty() && ViewWidth > 0; }

  Size PictureSize() const { return Size{PictureWidth, PictureHeight}; }
  Size SpaceSize() const { return Size{SpaceWidth, SpaceHeight}; }
  Size ViewSize() const { return Size{ViewWidth, ViewHeight}; }
  std::int32_t PictureOffsetX() const { return (SpaceWidth - PictureWidth) / 2; }
  std::int32_t PictureOffsetY() const { return (SpaceHeight - PictureHeight) / 2; }

  // The node's frame moved into picture coordinates.
  Rect FrameInPicture() const;
  bool OverlapsPicture(const Rect& rect) const;
  bool FrameOverlapsPicture() const;

  // Renders the frame's part of the picture into `target` (made
  // `logowidth` × `logoheight`) and replaces `LogoPicture` when the frame
  // covers some of the picture. The fill colour is `emptyAreaColor` with
  // `fillEmptyArea`, white otherwise.
  RenderOutcome RenderLogo(Bitmap& target, bool fillEmptyArea, Color emptyAreaColor);
  void ClipToPicture(Rect& src, Rect& dest) const;

  // The frame in view pixels, for drawing and for hit testing.
  Rect FrameInView() const;
  Rect FrameForHitTest() const;
  // The view at (x, y) with its blue outline, then the frame.
  void DrawView(Bitmap& canvas, std::int32_t x, std::int32_t y) const;
  void DrawFrame(Bitmap& canvas) const;
  // Puts back the view's pixels under the frame and redraws the outline.
  void EraseFrame(Bitmap& canvas) const;
  // The part of the view whose top-left corner is at (x, y), as large as
  // `tile`, exactly as DrawView draws it at (0, 0): pixels, outline, frame.
  // The pane draws what it shows this way and holds no copy of the view.
  void DrawViewPart(Bitmap& tile, std::int32_t x, std::int32_t y) const;
  void AdvanceAnts();

 private:
  // Copies the view's pixels of `rect` (view coordinates) into `canvas`,
  // moved by (dx, dy); clipped to the view and to the canvas.
  void CopyView(Bitmap& canvas, const Rect& rect, std::int32_t dx, std::int32_t dy) const;

 public:
  std::int32_t PaneWidth;
  std::int32_t PaneHeight;
  bool FitIntoPane;
  TLogoDirObject& LogoObject;
  Bitmap SourcePicture;
  std::int32_t PictureWidth = 0;
  std::int32_t PictureHeight = 0;
  std::int32_t SpaceWidth = 0;
  std::int32_t SpaceHeight = 0;
  Bitmap ViewPicture;
  std::int32_t ViewWidth = 0;
  std::int32_t ViewHeight = 0;
  Bitmap LogoPicture;
  std::int32_t AntsPhase = 1;
  Color AntsColor = kBlack;
};

// Writes the default frame of the logo's fit kind into the node.
void InitialFrame(TLogoDirObject& logoObject, const TSourceImage& image);
// The rectangle that confines the frame while it is dragged.
Rect FitRect(const TLogoDirObject& logoObject, const TSourceImage& image);

// The drag state the main window keeps between mouse events.
struct FrameDrag {
  bool Dragging = false;
  FrameHit DragKind = FrameHit::None;
  Rect DragStartFrame;
  Point DragStartPoint;
};

// A press at (x, y) in view pixels: records the frame and the grabbed part.
void BeginFrameDrag(FrameDrag& drag, Point point, const TSourceImage& image);
// A mouse move while dragging: erases the frame from `canvas`, stores the new
// frame into the node and draws it. False when the press grabbed nothing.
bool ContinueFrameDrag(const FrameDrag& drag, Point point, TSourceImage& image, Bitmap& canvas);

}  // namespace quillet
