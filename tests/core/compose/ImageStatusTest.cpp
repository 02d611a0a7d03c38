#include <gtest/gtest.h>

#include "core/compose/ImageStatus.h"
#include "core/compose/SourceImage.h"

namespace quillet {
namespace {

TLogoDirObject SquareLogo() {
  TLogoDirObject logo(NodeKind::Logo, "wide.bmp");
  logo.logowidth = 128;
  logo.logoheight = 128;
  return logo;
}

TEST(ImageStatus, CaptionsBeforeDisplayAndForFolders) {
  EXPECT_EQ(
      InitialImageStatus(),
      (ImageStatusTexts{"Source Image:", "Source Selection:", "Logo Screen:", "Logo Image:"}));
  EXPECT_EQ(
      EmptyImageStatus(),
      (ImageStatusTexts{"Source Image: ", "Source Selection: ", "Logo Screen: ", "Logo Image: "}));
}

TEST(ImageStatus, LogoShowsPictureFrameAndSizes) {
  TLogoDirObject logo = SquareLogo();
  // 200 × 100 in a square space: the picture lies 50 pixels down.
  TSourceImage image(500, 500, false, logo, Bitmap(200, 100));
  image.BuildView();
  InitialFrame(logo, image);
  Bitmap target;
  image.RenderLogo(target, false, kWhite);
  ImageStatusTexts texts = LogoImageStatus(image);
  EXPECT_EQ(texts[0], "Source Image: 200x100");
  EXPECT_EQ(texts[1], "Source Selection: (0,-50):(200x200)");
  EXPECT_EQ(texts[2], "Logo Screen: 128x128");
  // Without filling, the logo image is only the picture's part: the bands
  // above and below are cut off.
  EXPECT_EQ(texts[3], "Logo Image: 128x64");
}

TEST(ImageStatus, FrameReachingLeftOfThePictureGivesNegativePosition) {
  TLogoDirObject logo = SquareLogo();
  // 100 × 200: the picture lies 50 pixels right in a 200 × 200 space.
  TSourceImage image(500, 500, false, logo, Bitmap(100, 200));
  image.BuildView();
  logo.frameleft = 40;
  logo.frametop = 0;
  logo.framewidth = 60;
  logo.frameheight = 60;
  EXPECT_EQ(LogoImageStatus(image)[1], "Source Selection: (-10,0):(60x60)");
}

TEST(ImageStatus, FrameOutsideThePictureGivesAnEmptyLogoImage) {
  TLogoDirObject logo = SquareLogo();
  TSourceImage image(500, 500, false, logo, Bitmap(200, 100));
  image.BuildView();
  logo.frameleft = 0;
  logo.frametop = 0;
  logo.framewidth = 40;
  logo.frameheight = 40;  // wholly in the white band above the picture
  EXPECT_EQ(LogoImageStatus(image)[3], "Logo Image: 0x0");
}

}  // namespace
}  // namespace quillet
