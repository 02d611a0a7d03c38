#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/codecs/Bitmap.h"
#include "core/codecs/Codecs.h"
#include "core/imageops/Transform.h"

namespace quillet {

// The encoder settings of one writer; each format ignores the other's.
struct EncoderSettings {
  int jpegQuality = 100;  // 1..100
  int gifBits = 8;        // bits per pixel, 1..8
};

// What convert, mirror and rotate use for the whole source picture.
inline constexpr EncoderSettings kSourcePictureSettings{100, 8};

// Encodes and writes the picture whole and atomically (see WritePictureFile).
void WritePicture(const std::string& path, const Bitmap& picture, LogoFormat format,
                  const EncoderSettings& settings);

// The picture side of mirror and rotate: the transformed picture written to
// `path` in `format` at quality 100 / 8 bits per pixel.
void WriteTransformedPicture(const std::string& path, const Bitmap& source,
                             PictureTransform transform, LogoFormat format);

}  // namespace quillet
