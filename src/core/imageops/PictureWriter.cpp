#include "core/imageops/PictureWriter.h"

#include "core/platform/Text.h"

namespace quillet {

std::optional<LogoFormat> WritableFormatOfFileName(std::string_view fileName) {
  std::string extension = LowerAscii(ExtensionOf(fileName));
  if (extension == ".bmp") return LogoFormat::Bmp;
  if (extension == ".jpg" || extension == ".jpeg") return LogoFormat::Jpg;
  if (extension == ".gif") return LogoFormat::Gif;
  if (extension == ".png") return LogoFormat::Png;
  return std::nullopt;
}

void WritePicture(const std::string& path, const Bitmap& picture, LogoFormat format,
                  const EncoderSettings& settings) {
  WritePictureFile(path, picture, format, settings.jpegQuality, settings.gifBits);
}

void WriteTransformedPicture(const std::string& path, const Bitmap& source,
                             PictureTransform transform, LogoFormat format) {
  WritePicture(path, TransformPicture(source, transform), format, kSourcePictureSettings);
}

}  // namespace quillet
