#include "core/imageops/PictureWriter.h"

namespace quillet {

void WritePicture(const std::string& path, const Bitmap& picture, LogoFormat format,
                  const EncoderSettings& settings) {
  WritePictureFile(path, picture, format, settings.jpegQuality, settings.gifBits);
}

void WriteTransformedPicture(const std::string& path, const Bitmap& source,
                             PictureTransform transform, LogoFormat format) {
  WritePicture(path, TransformPicture(source, transform), format, kSourcePictureSettings);
}

}  // namespace quillet
