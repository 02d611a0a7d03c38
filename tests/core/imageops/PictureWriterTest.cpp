#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/codecs/Codecs.h"
#include "core/imageops/PictureWriter.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::TempDir;

TEST(WritableFormat, IsToldByTheExtensionAlone) {
  struct Case {
    const char* name;
    std::optional<LogoFormat> format;
  } cases[] = {
      {"logo.bmp", LogoFormat::Bmp}, {"logo.JPG", LogoFormat::Jpg}, {"logo.Jpeg", LogoFormat::Jpg},
      {"logo.gif", LogoFormat::Gif}, {"logo.PNG", LogoFormat::Png}, {"logo.png.txt", std::nullopt},
      {"logo", std::nullopt},        {"logo.tiff", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WritableFormatOfFileName(c.name), c.format) << c.name;
}

Bitmap Gradient(int width, int height) {
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(
          x, y, MakeColor(static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 8), 90));
  return picture;
}

TEST(WriteTransformedPicture, WritesTheTransformedPictureInTheFormat) {
  TempDir dir;
  const Bitmap source = Gradient(30, 20);
  struct Case {
    const char* file;
    LogoFormat format;
  } cases[] = {{"turned.png", LogoFormat::Png}, {"turned.bmp", LogoFormat::Bmp}};
  for (const auto& c : cases) {
    std::string path = dir.Path() + c.file;
    WriteTransformedPicture(path, source, PictureTransform::Rotate90, c.format);
    EXPECT_EQ(DecodePictureFile(path), TransformPicture(source, PictureTransform::Rotate90))
        << c.file;
  }
  // A JPEG is lossy but keeps the turned size.
  std::string jpeg = dir.Path() + "turned.jpg";
  WriteTransformedPicture(jpeg, source, PictureTransform::Rotate270, LogoFormat::Jpg);
  Bitmap decoded = DecodePictureFile(jpeg);
  EXPECT_EQ(decoded.Width(), 20);
  EXPECT_EQ(decoded.Height(), 30);
}

TEST(WritePicture, AFailedWriteLeavesNothingBehind) {
  TempDir dir;
  const std::string missingFolder = dir.Path() + "missing/logo.png";
  EXPECT_ANY_THROW(WritePicture(missingFolder, Gradient(4, 4), LogoFormat::Png, {}));
  EXPECT_FALSE(std::filesystem::exists(missingFolder));

  // An encoder that refuses keeps the old file as it was.
  const std::string old = dir.Write("logo.png", "old bytes");
  EXPECT_ANY_THROW(WritePicture(old, Bitmap(), LogoFormat::Png, {}));
  EXPECT_EQ(dir.Read("logo.png"), "old bytes");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

}  // namespace
}  // namespace quillet
