#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/codecs/Codecs.h"
#include "core/compose/SourceImage.h"
#include "core/imageops/PictureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::ScriptedPrompts;
using testing::TempDir;

constexpr Color kRed = MakeColor(255, 0, 0);
constexpr Color kGreen = MakeColor(0, 200, 0);

bool Near(Color a, Color b) {
  return std::abs(RedOf(a) - RedOf(b)) <= 2 && std::abs(GreenOf(a) - GreenOf(b)) <= 2 &&
         std::abs(BlueOf(a) - BlueOf(b)) <= 2;
}

TLogoDirObject Logo(int width, int height, FitKind fit = FitKind::Bigger, bool keep = true) {
  TLogoDirObject logo(NodeKind::Logo, "sunset.jpg");
  logo.logowidth = width;
  logo.logoheight = height;
  logo.fitkind = fit;
  logo.keepproportions = keep;
  return logo;
}

TEST(SourceImage, PlacesTheInitialFrameByTheFitKind) {
  struct Case {
    FitKind fit;
    Rect frame;
  } cases[] = {{FitKind::Bigger, {0, 0, 200, 200}},
               {FitKind::Smaller, {50, 50, 150, 150}},
               {FitKind::Height, {50, 50, 150, 150}},
               {FitKind::Width, {0, 0, 200, 200}}};
  for (const auto& c : cases) {
    TLogoDirObject logo = Logo(128, 128, c.fit);
    TSourceImage image(500, 500, false, logo, Bitmap(200, 100, kRed));
    image.BuildView();
    EXPECT_EQ(image.SpaceSize(), (Size{200, 200}));
    EXPECT_EQ(image.PictureOffsetY(), 50);
    InitialFrame(logo, image);
    EXPECT_EQ(FrameOf(logo), c.frame);
    EXPECT_EQ(FitRect(logo, image), c.frame);
    EXPECT_TRUE(image.FrameOverlapsPicture());
  }
}

TEST(SourceImage, UnscaledViewIsTheSpaceWithThePictureCentred) {
  TLogoDirObject logo = Logo(128, 128);
  TSourceImage image(50, 50, false, logo, Bitmap(200, 100, kRed));
  const Bitmap& view = image.BuildView();
  ASSERT_EQ(view.Width(), 200);
  ASSERT_EQ(view.Height(), 200);
  EXPECT_EQ(view.Pixel(100, 49), kWhite);
  EXPECT_EQ(view.Pixel(100, 50), kRed);
  EXPECT_EQ(view.Pixel(199, 149), kRed);
  EXPECT_EQ(view.Pixel(100, 150), kWhite);
}

TEST(SourceImage, FittedViewIsScaledIntoThePane) {
  TLogoDirObject logo = Logo(128, 128);
  TSourceImage fitted(500, 300, true, logo, Bitmap(1000, 1000, kRed));
  const Bitmap& view = fitted.BuildView();
  EXPECT_EQ(view.Width(), 300);
  EXPECT_EQ(view.Height(), 300);
  EXPECT_TRUE(Near(view.Pixel(150, 150), kRed));

  TSourceImage unfitted(500, 300, false, logo, Bitmap(1000, 1000, kRed));
  EXPECT_EQ(unfitted.BuildView().Width(), 1000);
}

TEST(SourceImage, AFrameEndingOnThePicturesEdgeCoversNothing) {
  TLogoDirObject logo = Logo(128, 128);
  TSourceImage image(500, 500, false, logo, Bitmap(100, 200, kRed));  // offset (50, 0)
  image.BuildView();
  StoreFrame(logo, Rect{0, 0, 50, 50});
  EXPECT_FALSE(image.FrameOverlapsPicture());
  StoreFrame(logo, Rect{0, 0, 51, 50});
  EXPECT_TRUE(image.FrameOverlapsPicture());
  EXPECT_EQ(image.FrameInPicture(), (Rect{-50, 0, 1, 50}));
}

TEST(SourceImage, EmptyPicturesAreRefused) {
  TLogoDirObject logo = Logo(128, 128);
  EXPECT_THROW(TSourceImage(500, 500, false, logo, Bitmap()), PictureError);
}

struct RenderCase {
  const char* name;
  bool fill;
  Size logoPicture;
  Color band;  // a pixel of the empty band in the target
};

TEST(RenderLogo, LetterBoxesWithOrWithoutFill) {
  RenderCase cases[] = {{"fill off", false, {128, 64}, kWhite},
                        {"fill on", true, {128, 128}, kGreen}};
  for (const auto& c : cases) {
    TLogoDirObject logo = Logo(128, 128);
    TSourceImage image(500, 500, false, logo, Bitmap(200, 100, kRed));
    image.BuildView();
    InitialFrame(logo, image);
    Bitmap target;
    RenderOutcome outcome = image.RenderLogo(target, c.fill, kGreen);
    EXPECT_TRUE(outcome.covered) << c.name;
    EXPECT_EQ(outcome.dest, (Rect{0, 32, 128, 96})) << c.name;
    ASSERT_EQ(target.Width(), 128);
    ASSERT_EQ(target.Height(), 128);
    EXPECT_EQ(target.Pixel(0, 0), kLogoBorderGrey) << c.name;
    EXPECT_EQ(target.Pixel(64, 127), kLogoBorderGrey) << c.name;
    EXPECT_EQ(target.Pixel(64, 16), c.band) << c.name;
    EXPECT_EQ(target.Pixel(64, 110), c.band) << c.name;
    EXPECT_TRUE(Near(target.Pixel(64, 64), kRed)) << c.name;
    EXPECT_EQ(image.LogoPicture.Width(), c.logoPicture.width) << c.name;
    EXPECT_EQ(image.LogoPicture.Height(), c.logoPicture.height) << c.name;
    // The saved logo never has the screen's grey border.
    EXPECT_NE(image.LogoPicture.Pixel(0, 0), kLogoBorderGrey) << c.name;
  }
}

TEST(RenderLogo, AFrameInsideThePictureGivesTheWholeLogo) {
  for (bool fill : {false, true}) {
    TLogoDirObject logo = Logo(128, 128);
    TSourceImage image(500, 500, false, logo, Bitmap(200, 100, kRed));
    image.BuildView();
    StoreFrame(logo, Rect{20, 60, 100, 140});  // picture (20, 10, 100, 90)
    Bitmap target(128, 128);
    EXPECT_EQ(image.RenderLogo(target, fill, kGreen).dest, (Rect{0, 0, 128, 128}));
    EXPECT_EQ(image.LogoPicture.Width(), 128);
    EXPECT_EQ(image.LogoPicture.Height(), 128);
    EXPECT_TRUE(Near(image.LogoPicture.Pixel(0, 0), kRed));
  }
}

TEST(RenderLogo, WithoutProportionsThePartIsFittedUndistorted) {
  TLogoDirObject logo = Logo(128, 128, FitKind::Bigger, false);
  TSourceImage image(500, 500, false, logo, Bitmap(200, 100, kRed));
  image.BuildView();
  StoreFrame(logo, Rect{25, 75, 175, 125});  // 150 × 50 inside the picture
  Bitmap target(128, 128);
  EXPECT_EQ(image.RenderLogo(target, false, kGreen).dest, (Rect{0, 42, 128, 85}));
  EXPECT_EQ(image.LogoPicture.Width(), 128);
  EXPECT_EQ(image.LogoPicture.Height(), 43);
}

TEST(RenderLogo, APartThatRoundsAwayToNothingIsNotResampled) {
  // A 2000 × 16 strip fitted into a 16 × 16 logo is 0.128 pixels high.
  TLogoDirObject logo = Logo(16, 16, FitKind::Bigger, false);
  TSourceImage image(500, 500, false, logo, Bitmap(2000, 16, kRed));
  image.ComputeSelectionSpace();
  InitialFrame(logo, image);
  Bitmap target;
  RenderOutcome outcome = image.RenderLogo(target, false, kGreen);
  EXPECT_EQ(outcome.dest.Height(), 0);
  EXPECT_TRUE(image.LogoPicture.Empty());
  EXPECT_EQ(target.Pixel(8, 8), kWhite);
}

TEST(RenderLogo, AFrameOutsideThePictureKeepsThePreviousLogo) {
  TLogoDirObject logo = Logo(128, 128);
  TSourceImage image(500, 500, false, logo, Bitmap(200, 100, kRed));
  image.BuildView();
  InitialFrame(logo, image);
  Bitmap target(128, 128);
  image.RenderLogo(target, false, kGreen);
  const Bitmap previous = image.LogoPicture;

  for (Rect frame : {Rect{0, 0, 200, 40}, Rect{0, 0, 0, 100}, Rect{10, 60, 10, 60}}) {
    StoreFrame(logo, frame);
    RenderOutcome outcome = image.RenderLogo(target, true, kGreen);
    EXPECT_FALSE(outcome.covered);
    EXPECT_FALSE(image.FrameOverlapsPicture());
    EXPECT_EQ(image.LogoPicture, previous);
    EXPECT_EQ(target.Pixel(64, 64), kGreen);
    EXPECT_EQ(target.Pixel(0, 64), kLogoBorderGrey);
  }
}

TEST(SourceImageDrawing, DrawViewOutlinesTheViewAndDrawsTheFrame) {
  TLogoDirObject logo = Logo(128, 128, FitKind::Smaller);
  TSourceImage image(500, 500, false, logo, Bitmap(200, 100, kRed));
  image.BuildView();
  InitialFrame(logo, image);  // (50, 50, 150, 150)
  Bitmap canvas(200, 200);
  image.DrawView(canvas, 0, 0);
  EXPECT_EQ(canvas.Pixel(0, 0), kViewOutlineBlue);
  EXPECT_EQ(canvas.Pixel(199, 120), kViewOutlineBlue);
  EXPECT_EQ(canvas.Pixel(50, 50), kBlack);   // the first dash
  EXPECT_EQ(canvas.Pixel(51, 50), kWhite);   // then the other colour
  EXPECT_EQ(canvas.Pixel(100, 100), kRed);   // the picture inside the frame
  EXPECT_EQ(canvas.Pixel(100, 20), kWhite);  // the empty band

  image.EraseFrame(canvas);
  // The view's own pixels are back where the frame was.
  EXPECT_EQ(canvas.Pixel(50, 50), kRed);
  EXPECT_EQ(canvas.Pixel(51, 50), kRed);
  EXPECT_EQ(canvas.Pixel(149, 149), kRed);
  EXPECT_EQ(canvas.Pixel(0, 0), kViewOutlineBlue);
}

TEST(SourceImageDrawing, DraggingTheLeftEdgeMovesTheNodesFrameAndRedraws) {
  TLogoDirObject logo = Logo(128, 128);
  TSourceImage image(500, 500, false, logo, Bitmap(200, 100, kRed));
  image.BuildView();
  InitialFrame(logo, image);  // the whole space
  Bitmap canvas(200, 200);
  image.DrawView(canvas, 0, 0);

  FrameDrag drag;
  BeginFrameDrag(drag, Point{1, 100}, image);
  EXPECT_EQ(drag.DragKind, FrameHit::Left);
  EXPECT_TRUE(ContinueFrameDrag(drag, Point{51, 100}, image, canvas));
  EXPECT_EQ(FrameOf(logo), (Rect{50, 50, 200, 200}));
  EXPECT_EQ(canvas.Pixel(0, 100), kViewOutlineBlue);  // old frame erased, outline back
  EXPECT_EQ(canvas.Pixel(50, 50), kBlack);            // new frame drawn
  // The start is kept: a second step is computed from the press, not the last step.
  EXPECT_TRUE(ContinueFrameDrag(drag, Point{11, 100}, image, canvas));
  EXPECT_EQ(FrameOf(logo), (Rect{10, 10, 200, 200}));

  FrameDrag outside;
  StoreFrame(logo, Rect{50, 50, 150, 150});
  BeginFrameDrag(outside, Point{44, 100}, image);
  EXPECT_EQ(outside.DragKind, FrameHit::None);
  EXPECT_FALSE(ContinueFrameDrag(outside, Point{10, 100}, image, canvas));
  EXPECT_EQ(FrameOf(logo), (Rect{50, 50, 150, 150}));
}

Bitmap Gradient(int width, int height) {
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, MakeColor(x * 255 / width, y * 255 / height, (x * y) & 0xFF));
  return picture;
}

// A view at 1:1 drawn straight from the picture looks exactly like the
// built one, while drawing, erasing and dragging the frame.
TEST(SourceImageDrawing, AViewDrawnFromThePictureLooksLikeTheBuiltOne) {
  struct Case {
    const char* name;
    Size picture;
    FitKind fit;
    Point at;
  } cases[] = {{"bands above and below", {200, 100}, FitKind::Smaller, {0, 0}},
               {"bands left and right", {90, 160}, FitKind::Bigger, {0, 0}},
               {"drawn at an offset", {200, 100}, FitKind::Smaller, {7, 3}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TLogoDirObject builtLogo = Logo(128, 128, c.fit), drawnLogo = Logo(128, 128, c.fit);
    TSourceImage built(50, 50, false, builtLogo, Gradient(c.picture.width, c.picture.height));
    TSourceImage drawn(50, 50, false, drawnLogo, Gradient(c.picture.width, c.picture.height));
    built.BuildView();
    drawn.PrepareView();
    EXPECT_FALSE(built.ViewDrawnFromPicture());
    EXPECT_TRUE(drawn.ViewDrawnFromPicture());
    EXPECT_TRUE(drawn.ViewPicture.Empty()) << "no copy of the space";
    ASSERT_EQ(drawn.ViewSize(), built.ViewSize());
    InitialFrame(builtLogo, built);
    InitialFrame(drawnLogo, drawn);
    Bitmap builtCanvas(built.ViewWidth + 10, built.ViewHeight + 10, kGreen);
    Bitmap drawnCanvas = builtCanvas;
    built.DrawView(builtCanvas, c.at.x, c.at.y);
    drawn.DrawView(drawnCanvas, c.at.x, c.at.y);
    EXPECT_EQ(drawnCanvas, builtCanvas);
    if (c.at.x != 0) continue;  // the frame is drawn at view coordinates
    built.EraseFrame(builtCanvas);
    drawn.EraseFrame(drawnCanvas);
    EXPECT_EQ(drawnCanvas, builtCanvas);
    FrameDrag builtDrag, drawnDrag;
    const Rect frame = FrameOf(builtLogo);
    BeginFrameDrag(builtDrag, Point{frame.left + 1, frame.top + 20}, built);
    BeginFrameDrag(drawnDrag, Point{frame.left + 1, frame.top + 20}, drawn);
    EXPECT_TRUE(
        ContinueFrameDrag(builtDrag, Point{frame.left + 31, frame.top + 20}, built, builtCanvas));
    EXPECT_TRUE(
        ContinueFrameDrag(drawnDrag, Point{frame.left + 31, frame.top + 20}, drawn, drawnCanvas));
    EXPECT_EQ(drawnCanvas, builtCanvas);
  }
}

TEST(SourceImageDrawing, AScaledViewIsBuiltAlways) {
  TLogoDirObject logo = Logo(128, 128);
  TSourceImage prepared(500, 300, true, logo, Gradient(1000, 700));
  TSourceImage built(500, 300, true, logo, Gradient(1000, 700));
  prepared.PrepareView();
  EXPECT_FALSE(prepared.ViewDrawnFromPicture());
  EXPECT_EQ(prepared.ViewPicture, built.BuildView());
}

// --- With the real codecs --------------------------------------------------

TEST(CanLoadPicture, RefusesWhatCannotEnterTheLogoDirectory) {
  TempDir dir;
  WritePictureFile(dir.Path() + "narrow.png", Bitmap(15, 200), LogoFormat::Png, 90, 8);
  WritePictureFile(dir.Path() + "short.bmp", Bitmap(200, 15), LogoFormat::Bmp, 90, 8);
  WritePictureFile(dir.Path() + "smallest.png", Bitmap(16, 16), LogoFormat::Png, 90, 8);
  WritePictureFile(dir.Path() + "photo.jpg", Bitmap(40, 30, kRed), LogoFormat::Jpg, 90, 8);
  // Contents are not inspected: a PNG named .jpg goes to the JPEG decoder.
  WritePictureFile(dir.Path() + "png-named.jpg", Bitmap(40, 30), LogoFormat::Png, 90, 8);
  dir.Write("notes.jpg", "This is not a picture.\n");
  // Hostile files: cut short, and a header announcing 20000 × 12000 pixels
  // over 48 bytes of rows.
  std::vector<std::uint8_t> png = EncodePng(Bitmap(40, 30, kRed));
  dir.Write("truncated.png", std::string(png.begin(), png.begin() + png.size() / 2));
  std::vector<std::uint8_t> bmp = EncodeBmp(Bitmap(4, 4));
  for (int i = 0; i < 4; ++i) {
    bmp[18 + i] = static_cast<std::uint8_t>(20000 >> (8 * i));
    bmp[22 + i] = static_cast<std::uint8_t>(12000 >> (8 * i));
  }
  dir.Write("huge.bmp", std::string(bmp.begin(), bmp.end()));

  const std::string loadError = "Error: " + std::string(kLoadErrorText);
  const std::string tooSmall = "Error: Image dimensions must be at least 16x16.";
  struct Case {
    const char* file;
    bool loads;
    std::vector<std::string> messages;
  } cases[] = {
      {"narrow.png", false, {tooSmall}},
      {"short.bmp", false, {tooSmall}},
      {"notes.jpg", false, {loadError}},
      {"png-named.jpg", false, {loadError}},
      {"missing.png", false, {loadError}},
      {"truncated.png", false, {loadError}},
      {"huge.bmp", false, {loadError}},
      {"smallest.png", true, {}},
      {"photo.jpg", true, {}},
  };
  for (const auto& c : cases) {
    ScriptedPrompts prompts;
    EXPECT_EQ(TSourceImage::CanLoadPicture(dir.Path() + c.file, prompts), c.loads) << c.file;
    EXPECT_EQ(prompts.Lines(), c.messages) << c.file;
  }
  EXPECT_EQ(loadError,
            "Error: Error loading image. Check if you have enough disk space and write "
            "permissions.");
}

TEST(SourceImageFile, DecodesByTheExtensionAndFailsForTheCaller) {
  TempDir dir;
  WritePictureFile(dir.Path() + "pic.PNG", Bitmap(30, 20, kRed), LogoFormat::Png, 90, 8);
  TLogoDirObject logo = Logo(128, 128);
  TSourceImage image(500, 500, false, logo, dir.Path() + "pic.PNG");
  EXPECT_EQ(image.PictureSize(), (Size{30, 20}));
  EXPECT_EQ(image.SourcePicture.Pixel(0, 0), kRed);
  EXPECT_THROW(TSourceImage(500, 500, false, logo, dir.Path() + "gone.png"), PictureError);
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// The pane draws only what it shows: any part drawn alone is that part of
// the whole view, in both view kinds.
TEST(SourceImageView, APartDrawnAloneIsThatPartOfTheWholeView) {
  for (bool fit : {false, true}) {
    SCOPED_TRACE(fit ? "scaled view" : "1:1 view");
    Bitmap picture(300, 180);
    for (int y = 0; y < 180; ++y)
      for (int x = 0; x < 300; ++x)
        picture.SetPixel(x, y, MakeColor(x % 251, y % 241, (x * y) % 239));
    TLogoDirObject logo(NodeKind::Logo, "p.png");
    logo.logowidth = 100;
    logo.logoheight = 100;
    TSourceImage image(120, 120, fit, logo, picture);
    image.PrepareView();
    InitialFrame(logo, image);
    Bitmap whole(image.ViewWidth, image.ViewHeight);
    image.DrawView(whole, 0, 0);
    for (const Rect part : {Rect{0, 0, 17, 9}, Rect{40, 10, 97, 71},
                            Rect{image.ViewWidth - 5, 3, image.ViewWidth, 40}}) {
      Bitmap tile(part.Width(), part.Height());
      image.DrawViewPart(tile, part.left, part.top);
      for (int y = 0; y < part.Height(); ++y)
        for (int x = 0; x < part.Width(); ++x)
          ASSERT_EQ(tile.Pixel(x, y), whole.Pixel(part.left + x, part.top + y))
              << x + part.left << "," << y + part.top;
    }
  }
}

}  // namespace
}  // namespace quillet
