#include "core/compose/ImageStatus.h"

#include "core/compose/SourceImage.h"

namespace quillet {

namespace {

std::string SizeText(std::int32_t width, std::int32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

ImageStatusTexts InitialImageStatus() {
  return {"Source Image:", "Source Selection:", "Logo Screen:", "Logo Image:"};
}

ImageStatusTexts EmptyImageStatus() {
  return {"Source Image: ", "Source Selection: ", "Logo Screen: ", "Logo Image: "};
}

ImageStatusTexts LogoImageStatus(const TSourceImage& image) {
  const TLogoDirObject& logo = image.LogoObject;
  ImageStatusTexts texts;
  texts[0] = "Source Image: " + SizeText(image.PictureWidth, image.PictureHeight);
  texts[1] = "Source Selection: (" + std::to_string(logo.frameleft - image.PictureOffsetX()) + "," +
             std::to_string(logo.frametop - image.PictureOffsetY()) + "):(" +
             SizeText(logo.framewidth, logo.frameheight) + ")";
  texts[2] = "Logo Screen: " + SizeText(logo.logowidth, logo.logoheight);
  texts[3] = image.FrameOverlapsPicture()
                 ? "Logo Image: " + SizeText(image.LogoPicture.Width(), image.LogoPicture.Height())
                 : std::string("Logo Image: 0x0");
  return texts;
}

}  // namespace quillet
